// The one way the program replaces or creates a file: new content goes to a temporary file in
// the target's folder, held open by descriptor from the first look to the rename, and is put in
// the target's place only once it is complete and the target is still the file that was read.
#pragma once

#include "base/ContentHash.h"

#include <sys/stat.h>
#include <sys/types.h>
#include <sys/uio.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vexlo {

namespace fsseam {

/// The steps of a replacement, in their order. Every file-system call of the unit belongs to one.
enum class Step {
    OpenFolder,      // opening the folder (and the folders below a held root)
    OpenSource,      // looking at the target and opening it for reading
    ReadSource,      // each read of the current content
    CreateTemporary, // creating the temporary in the held folder
    CopyMetadata,    // owner, group, permission bits, extended attributes
    WriteTemporary,  // each write of the new content
    CheckUnchanged,  // the check that the target is still the file that was read
    NameTemporary,   // giving an unnamed temporary its name, or closing it
    Rename,          // putting it in the target's place
};

/// Called before each step; a non-zero errno value makes that step fail with it. For tests,
/// which also use it to change the file system at a chosen moment. Not thread-safe to change
/// while a replacement is under way.
using Hook = int (*)(Step step, const std::string &path);
void SetHook(Hook hook);

/// Whether temporary files are created unnamed where the file system allows it (on by
/// default); tests turn it off to cover the named temporary as well.
void SetUnnamedTemporaries(bool on);

} // namespace fsseam

struct ReplaceOptions {
    /// A missing file is created (its folder must exist) instead of being refused.
    bool createIfMissing = false;
    /// A folder the path lies below (a scanned directory): the folders between it and the file
    /// are opened without following links, so a folder swapped for a link is not entered.
    std::string heldRoot;
    /// The held root already open (a directory pass opens it once for all its files); -1: it
    /// is opened for this file. The descriptor stays the caller's.
    int heldRootDescriptor = -1;
    /// The file's folder already open (a store of copies that writes many files into each of
    /// its folders): the folder part of the path then only names the file in messages. The
    /// descriptor stays the caller's, who keeps it open while the replacement lives; -1: the
    /// folder is opened for this file.
    int folderDescriptor = -1;
    /// The permission bits of a file created (0: what the umask leaves of 0666).
    mode_t newFileMode = 0;
    /// Only read: a file without write permission is not refused (commit() is then not used).
    bool readOnly = false;
    /// A symbolic link at the name is refused (Error{Io}) instead of written through.
    bool refuseLinks = false;
    /// The file is a copy of the program's own made from a file in this state (a backup copy):
    /// a read-only one is replaced, and the result takes the owner, group and permission bits
    /// of `copyOf` (owner read and write added), not its own earlier ones.
    const struct stat *copyOf = nullptr;
    /// The new content is hashed as it is written (see writtenHash()), so that a caller can
    /// tell later whether a file still holds it without reading it back.
    bool hashWritten = false;
};

/// Replaces one file. Construction looks at the target and opens it for reading; output()
/// creates the temporary, with the target's owner, group, mode and extended attributes;
/// commit() puts it in the target's place. Destroying an uncommitted replacement leaves the
/// target as it was and removes the temporary.
///
/// A symbolic link is written through (the file it points to is replaced, the link stays);
/// below a held root only when it leads inside that root (judged when the file is opened,
/// else Error{Io} "not followed: the link points outside '<root>'"), its target then reached
/// from the root without following any link.
/// Refused before anything is opened for reading: a directory, a FIFO, a socket, a device, a
/// dangling link; refused: a file whose owner has no write permission, or that this user may
/// not write. Every failure throws Error{Io} naming the path as the caller gave it.
class FileReplacement {
  public:
    explicit FileReplacement(std::string path, const ReplaceOptions &options = {});
    FileReplacement(FileReplacement &&other) noexcept;
    FileReplacement &operator=(FileReplacement &&other) noexcept;
    FileReplacement(const FileReplacement &) = delete;
    FileReplacement &operator=(const FileReplacement &) = delete;
    ~FileReplacement();

    const std::string &path() const noexcept { return m_path; }
    /// False when the file does not exist yet and is created by the commit.
    bool exists() const noexcept { return m_source >= 0; }
    /// The current content's size when it was opened (0 for a new file).
    std::size_t sourceSize() const noexcept { return static_cast<std::size_t>(m_sourceInfo.st_size); }
    /// The current content's status when it was opened (all zero for a new file).
    const struct stat &sourceInfo() const noexcept { return m_sourceInfo; }

    /// The current content's descriptor, open for reading (-1 for a new file); for mapping it.
    int sourceDescriptor() const noexcept { return m_source; }
    /// Reads up to `size` bytes of the current content; 0 at its end. Throws Error{Io}.
    std::size_t read(char *data, std::size_t size);
    /// The whole current content. Throws Error{Io}; FileTooLarge (base/ReadFile.h) as soon as
    /// more than `cap` bytes arrive.
    std::string readAll(std::size_t cap = SIZE_MAX);

    /// Creates the temporary on first use. Throws Error{Io}.
    void prepareOutput();
    /// Appends to the new content. May be called from another thread than the one that
    /// created the temporary, but not from two at once. Throws Error{Io}.
    void write(std::string_view bytes);
    void write(const struct iovec *pieces, int count);

    /// Appends the first `size` bytes of the open file `fd` from its start (fewer when it ends
    /// before), copied inside the kernel where it can be (not with hashWritten, whose hash needs
    /// the bytes). Throws Error{Io}, naming `from` for a failed read.
    void copyFrom(int fd, std::uint64_t size, const std::string &from);

    /// With ReplaceOptions::hashWritten: the XXH64 of everything written so far, and its size.
    std::uint64_t writtenHash() const noexcept { return m_written.value(); }
    std::uint64_t writtenSize() const noexcept { return m_written.size(); }
    bool hashesWritten() const noexcept { return m_hashWritten; }
    /// The temporary as written so far (size, modification time, which the commit keeps).
    /// Throws Error{Io}, also when there is no temporary yet.
    struct stat writtenInfo() const;

    /// Puts the new content in the target's place. When the target is no longer the file
    /// that was read (replaced, appended to, truncated, deleted; or created meanwhile, for a
    /// new file) the new content is discarded, the target left as the other writer left it,
    /// and Error{Io} "changed while being rewritten" is thrown.
    void commit();

  private:
    void discard() noexcept;
    void closeFolder() noexcept;
    // Opens m_folder; returns the held root's descriptor when the folder lies below it, else
    // -1. A root opened here is left in `ownedRoot` for the caller to close.
    int openFolder(const std::string &folder, const ReplaceOptions &options, int &ownedRoot);
    // A link at the target in a directory pass: m_folder and m_name become the file it leads
    // to, reached from `root` without links, or Error when it leads outside the tree.
    void followInsideTree(int root, const std::string &rootName);
    // Gives the finished temporary back the set-id bits and file capability that writing it
    // cleared.
    void restorePrivileges();
    // Throws "changed while being rewritten" when the target is no longer the file that was read.
    void checkUnchanged() const;
    // The last step of commit() for a file that existed: the temporary takes its place.
    void replaceTarget();

    std::string m_path;            // as the caller named it, for messages
    std::string m_name;            // the target's name in the held folder
    int m_folder = -1;             // the target's folder, held from the first look to the rename
    bool m_folderBorrowed = false; // m_folder is the caller's folderDescriptor: not closed here
    int m_source = -1;             // the current content, or -1 for a new file
    int m_output = -1;             // the temporary
    std::string m_tempName;        // empty while the temporary is unnamed
    struct stat m_sourceInfo {};
    bool m_created = false; // the target did not exist
    mode_t m_newFileMode = 0;
    mode_t m_mode = 0; // the permission bits the result gets, set-id bits included
    ino_t m_outputInode = 0;
    bool m_hashWritten = false;
    ContentHash m_written; // what was written, with hashWritten
};

/// Replaces the content of `path` with `bytes`, creating the file when it does not exist (its
/// folder must) with the permissions the umask leaves. An existing file keeps what
/// FileReplacement keeps. Throws Error{Io} naming `path`; the old file is then byte for byte
/// as it was and no temporary file is left.
void WriteFileSafely(const std::string &path, std::string_view bytes);

/// Copies the content of `from` to `to` in the same way (`to` created or replaced; a new `to`
/// gets the permission bits of `from`). Throws Error{Io} naming the path that failed; `to` is
/// then as it was.
void CopyFileSafely(const std::string &from, const std::string &to);

/// The file a path leads to: a symbolic link resolved (wholly, as realpath() does), any other
/// path as it is. Throws Error{Io} ("cannot read") naming `path` for a dangling link.
std::string ResolveLinks(const std::string &path);

/// Whether `name` (a bare file name) has the form of the unit's named temporaries
/// (".<name>.vexlo-" and six to sixteen letters and digits), so that a directory pass never
/// takes one for a target. Never fails.
bool IsTemporaryName(std::string_view name);

} // namespace vexlo
