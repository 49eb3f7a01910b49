// Copies and deletions of whole files in a folder held open by descriptor: the backup copy
// beside a file, the restore of a copy over its file, and the deletion of a copy. Every write
// goes through FileReplacement; a folder swapped for a link meanwhile cannot redirect them.
#pragma once

#include <string>

namespace vexlo {

/// A folder opened once and held for the steps done in it.
class HeldFolder {
  public:
    /// Opens `path` one component after the other. A symbolic link on the way is followed
    /// only when its owner is root, this process's user, or the owner of the folder it leads
    /// to, so a link planted by another user cannot lead into a place that user does not own.
    /// Throws Error{Io} naming `forPath` (the file the folder is opened for).
    HeldFolder(const std::string &path, const std::string &forPath);
    ~HeldFolder();
    HeldFolder(const HeldFolder &) = delete;
    HeldFolder &operator=(const HeldFolder &) = delete;

    int descriptor() const noexcept { return m_fd; }
    const std::string &path() const noexcept { return m_path; }

  private:
    std::string m_path;
    int m_fd = -1;
};

struct CopyOptions {
    /// A link at the source's name is followed (a file the user listed by hand); otherwise it
    /// is refused (the source is a copy of ours and a link there appeared since).
    bool followSourceLink = true;
    /// The target is a copy of ours: never written through a link, a read-only one replaced,
    /// and it takes the source's current owner, group and permission bits (plus owner read
    /// and write). Otherwise it is the user's file: it keeps its own, and a link there is
    /// followed only under HeldFolder's rule for links.
    bool targetIsOwnCopy = false;
};

/// Copies the absolute path `from` to `to` in the same folder. The source is opened once and
/// read from that descriptor; when it changed between the start and the end of the copy
/// (device, inode, size, modification time) the copy is made once more. Throws Error{Io}
/// naming the path that failed ("changed while being copied" after the second try); `to` is
/// then as it was.
void CopyFileHeld(const std::string &from, const std::string &to, const CopyOptions &options);

/// Deletes the absolute path `path` by its name in its held folder. Anything but a regular
/// file (a link, a folder, a FIFO) is refused and left alone. Throws Error{Io}.
void DeleteFileHeld(const std::string &path);

} // namespace vexlo
