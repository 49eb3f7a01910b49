// The originals of the files a run rewrites, kept so that the run can be taken back: one
// folder per run holding each original under its mirrored path and a manifest of what the
// run left in each file (size, modification time, XXH64 hash).
#pragma once

#include "base/ProgramFolder.h"
#include "base/RunObserver.h"
#include "run/CommitHook.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include <sys/stat.h>

namespace vexlo {

inline constexpr const char *kUndoManifestName = "manifest.txt";
inline constexpr const char *kUndoSection = "Undo";
inline constexpr const char *kUndoLimitKey = "MaxSizeMB"; // in vexlopro.ini
inline constexpr std::uint64_t kUndoDefaultLimitMB = 2048;
inline constexpr int kUndoRunsKept = 5;

/// One rewritten file of a run.
struct UndoEntry {
    std::string path;     // as the run named it
    std::string original; // the original's path relative to the run folder
    std::uint64_t originalSize = 0;
    std::uint64_t newSize = 0;   // what the run left in the file
    std::int64_t newMtimeNs = 0; // its modification time, nanoseconds since the epoch
    std::uint64_t newHash = 0;   // its XXH64
};

/// A run folder's manifest. `note` holds why a run kept no originals (empty otherwise).
struct UndoManifest {
    std::string note;
    std::vector<UndoEntry> entries;
};

/// Reads the manifest of `runFolder` with its parts in order; a later line for a path listed
/// already updates what the run left in it. Throws Error{Io} when it cannot be read or is not
/// one.
UndoManifest ReadUndoManifest(const std::string &runFolder);

/// Keeps the originals of a run in `runFolder` (created on the first copy, mode 0700). On the
/// worker that prepared a file (prepared()), its bytes as the run read them are copied from
/// the descriptor the run read through the write unit (a new copy gets the original's
/// permission bits, and this user as owner, as backup copies do), and the new content's hash
/// is taken as it was written. Only once the file is committed does it go to the manifest,
/// which grows by a part every few files and at the end (never rewritten whole), so a run
/// that ends halfway can be undone for the files it rewrote and only for those: the copies
/// of files prepared but not committed are removed at the end. A path rewritten twice keeps
/// its first original. A failed copy fails that file (it is not rewritten). A file handed to
/// beforeCommit() without prepared() is copied there. Manifest write failures after a commit
/// are reported through lastError().
class UndoRecorder : public CommitHook {
  public:
    explicit UndoRecorder(std::string runFolder);
    ~UndoRecorder() override;
    UndoRecorder(const UndoRecorder &) = delete;
    UndoRecorder &operator=(const UndoRecorder &) = delete;

    bool wantsWrittenHash() const override { return true; }
    /// Thread-safe. Throws Error{Io} when the original cannot be kept.
    void prepared(const std::string &path, FileReplacement &file) override;
    void beforeCommit(const std::string &path, FileReplacement &prepared) override;
    void afterCommit(const std::string &path) override;
    void end() override;

    const std::string &folder() const { return m_folder; }
    std::size_t recorded() const { return m_entries.size(); }
    /// The last manifest write that failed, empty when none did.
    const std::string &lastError() const { return m_lastError; }

  private:
    // A file prepared and not yet committed: its original's copy and what the run wrote.
    struct Kept {
        std::string path;     // as the run named it
        std::string original; // relative to the run folder; empty when no copy was made
        std::uint64_t originalSize = 0;
        int source = -1;           // the descriptor it was read through, to match it at the commit
        bool fromPrepared = false; // made by prepared(), which sees every file of the pipeline
        bool hashed = false;       // the new state below is known
        std::uint64_t newSize = 0;
        std::int64_t newMtimeNs = 0;
        std::uint64_t newHash = 0;
    };
    struct HeldFolder; // a folder of the run folder held open while copies are made in it

    Kept keep(const std::string &path, const std::string &absolute, FileReplacement &file);
    void openFolder(); // with m_mutex held
    // The folder of `relative`, made if need be; with m_mutex held.
    std::shared_ptr<HeldFolder> heldFolder(const std::string &relative);
    void removeCopy(const Kept &kept) noexcept;
    void writePart();

    std::string m_folder;
    std::string m_absoluteFolder;
    std::mutex m_mutex; // guards the members below, up to m_committing
    int m_folderFd = -1;
    std::unordered_map<std::string, std::shared_ptr<HeldFolder>> m_heldFolders; // the last few
    std::unordered_map<std::string, Kept> m_kept; // absolute path -> prepared, not committed
    std::vector<UndoEntry> m_entries;
    std::map<std::string, std::size_t> m_index; // absolute path -> entry
    std::string m_committing;                   // between beforeCommit and afterCommit
    std::string m_unsaved;                      // manifest lines not yet written
    std::size_t m_unsavedCount = 0;
    int m_parts = 0;
    std::string m_lastError;
};

/// What became of the files of an undo.
struct UndoTally {
    std::size_t restored = 0;
    std::size_t changedSince = 0; // left as they are
    std::size_t failed = 0;
};

/// "changed since the run: left as it is"
inline constexpr const char *kChangedSinceText = "changed since the run: left as it is";

/// Puts back every original of `runFolder` whose file still holds exactly what the run left
/// (size and hash; the modification time alone does not count), each through one write-unit
/// replacement that also checks the file did not change while being read, so that an end at
/// any moment leaves each file either as the run left it or as it was before. Per file:
/// fileDone(path, Done) restored, fileDone(path, Skipped) changed since the run (left as it
/// is), error() could not be restored (left as it is). Throws Error{Io} only when the
/// manifest cannot be read (nothing is restored then).
UndoTally RestoreRun(const std::string &runFolder, RunObserver &observer);

/// The undo store of a program folder: "vexlopro-undo" with one folder per run, the last
/// kUndoRunsKept runs and at most the size limit of vexlopro.ini ([Undo] MaxSizeMB).
class UndoStore {
  public:
    explicit UndoStore(ProgramFolder folder) : m_folder(std::move(folder)) {}

    std::string root() const;
    /// The size limit in bytes; the default when the key is missing or not a number.
    std::uint64_t limitBytes() const;
    /// Run folders, oldest first. Never fails (an unreadable store has none).
    std::vector<std::string> runs() const;
    /// The newest run folder, empty when there is none.
    std::string lastRun() const;

    /// A folder for a new run over `paths` (directory lines ignored). Drops the oldest runs
    /// so that at most kUndoRunsKept remain with the new one and the store stays within the
    /// limit. When the targets alone exceed the limit, the run folder only records that and
    /// `refusal` says why; the run then goes on without originals. Throws Error{Io} when
    /// the store cannot be made.
    struct Plan {
        std::string folder;
        std::string refusal;
    };
    Plan beginRun(const std::vector<std::string> &paths) const;

  private:
    ProgramFolder m_folder;
};

/// The commit hook of a run that keeps its originals in the program folder's undo store.
/// `notice` hears, when the run begins, that it goes without undo copy.
class StoreRecorder : public CommitHook {
  public:
    StoreRecorder(ProgramFolder folder, std::function<void(const std::string &)> notice);
    void begin(const std::vector<std::string> &paths) override;
    bool wantsWrittenHash() const override { return m_recorder != nullptr; }
    void prepared(const std::string &path, FileReplacement &file) override;
    void beforeCommit(const std::string &path, FileReplacement &prepared) override;
    void afterCommit(const std::string &path) override;
    void end() override;

  private:
    UndoStore m_store;
    std::function<void(const std::string &)> m_notice;
    std::unique_ptr<UndoRecorder> m_recorder;
};

/// Removes a folder of the store and everything in it, each entry through the folder held
/// open (no link followed). Throws Error{Io} naming what could not be removed.
void RemoveStoreFolder(const std::string &folder);

} // namespace vexlo
