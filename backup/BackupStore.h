// Named backups of target files: a copy beside each file, a set file per backup naming its
// copies, the index "BackUp.vexloPro" of backup names, and the counter that proposes names.
#pragma once

#include "base/Lines.h"
#include "base/ProgramFolder.h"
#include "base/RunObserver.h"

#include <optional>
#include <string>
#include <vector>

namespace vexlo {

constexpr const char *BackupSuffix = ".vexloProBackUps";
constexpr const char *BackupIndexName = "BackUp.vexloPro";
constexpr const char *BackupCounterSection = "Add_File_Procedure";
constexpr const char *BackupCounterKey = "BackupCount";

/// What became of the files of one backup, restore or delete.
struct BackupTally {
    int done = 0;
    int failed = 0;  // copies or deletions that did not happen
    int skipped = 0; // set lines that do not name a backup copy
    std::string firstFailedPath;
    std::string firstFailure; // the reason of the first failure
    Lines set;                // the set being built by a backup

    void fail(const std::string &path, const std::string &reason);
};

/// "The end." and, when something went wrong, how many files and the first one with its reason.
/// `verb` names what failed: "copied", "restored", "deleted".
std::string EndMessage(const BackupTally &tally, const std::string &verb);

/// Why `name` cannot name a set file in the program folder (empty, a path, one of the
/// program's own files); empty when it can.
std::string BackupNameProblem(const std::string &name);

/// The backup store of one program folder. Every text file it writes has CR LF after every
/// line and goes through WriteFileSafely; every copy and deletion goes through CopyFileHeld
/// and DeleteFileHeld.
class BackupStore {
  public:
    explicit BackupStore(ProgramFolder folder) : m_folder(std::move(folder)) {}

    const ProgramFolder &folder() const noexcept { return m_folder; }

    /// BackupNameProblem's answer, or why the set file cannot be created in the program
    /// folder (a folder or another non-file of that name); empty when the name can be used.
    std::string nameProblem(const std::string &name) const;

    /// "BackUp" followed by the counter plus one.
    /// Throws Error{Conversion} when "BackupCount" is missing or not a decimal integer.
    std::string proposeName() const;

    /// One whole backup named `name`: every path copied (as copyFiles does), then the set file
    /// written, then the name added to the index, then the counter increased. Success is the
    /// return; the tally tells the files that could not be copied.
    /// Throws Error{Io} before anything is copied when nameProblem refuses the name, and when the
    /// set file or the index cannot be written: the backup is then not completed and no index
    /// line names it (copies already made stay beside their files). Throws the counter's
    /// Error{Conversion} or Error{SettingsWrite} once the backup itself is complete.
    BackupTally backup(const std::string &name, const std::vector<std::string> &paths,
                       RunObserver &observer) const;

    /// Copies every path to path + ".vexloProBackUps" in order, one observer call per file
    /// (fileDone or error), and collects the set lines (one per path, copied or not). A path
    /// that is a folder, not absolute, or holds a line break gets no copy and no set line.
    /// A failed copy is counted in the tally and leaves an earlier copy as it was; never throws.
    BackupTally copyFiles(const std::vector<std::string> &paths, RunObserver &observer) const;

    /// Adds `name` as the last line of the index (created when missing), under the settings
    /// lock so that another instance's line is not lost.
    /// Throws Error{Io} when the index cannot be read or written; it is then as it was.
    void appendToIndex(const std::string &name) const;
    /// Writes the set file `name`, replacing one of that name.
    /// Throws Error{Io} when it cannot be written, or for a name BackupNameProblem refuses.
    void writeSet(const std::string &name, const Lines &set) const;
    /// Adds one to "BackupCount" under the settings lock. Throws Error{Conversion} when it is not a number,
    /// and Error{SettingsWrite} when "vexlopro.ini" cannot be written.
    void increaseCounter() const;

    /// The lines of the index. Throws Error{Io} when it cannot be read (missing included).
    Lines listBackups() const;
    /// The same, but nothing when the index does not exist; any other failure (a folder, a
    /// FIFO, a file over the size cap) throws Error{Io} naming it and the reason.
    std::optional<Lines> listBackupsIfPresent() const;
    /// The lines of the set file `name`. Throws Error{Io} when it cannot be read (missing,
    /// an empty name, a name that is not a plain file name).
    Lines readSet(const std::string &name) const;

    /// Copies each copy of the set `name` back over its target; lines that do not end in
    /// ".vexloProBackUps" are skipped, a missing or unreadable copy leaves the target as it is.
    /// Throws Error{Io} only when the set cannot be read (nothing is restored then).
    BackupTally restore(const std::string &name, RunObserver &observer) const;
    /// Deletes each copy of the set `name` (lines that do not end in the suffix are left
    /// alone and counted as skipped). The set file and the index stay.
    /// Throws Error{Io} only when the set cannot be read (nothing is deleted then).
    BackupTally deleteCopies(const std::string &name, RunObserver &observer) const;
    /// Removes the line at `position` of `listed` (the index as shown) from the index as it is
    /// now, under the settings lock; every other line keeps its bytes. Throws Error{Io} when it
    /// cannot be read or written; it is then as it was.
    void writeIndexWithout(const Lines &listed, int position) const;

  private:
    std::string indexPath() const;

    ProgramFolder m_folder;
};

} // namespace vexlo
