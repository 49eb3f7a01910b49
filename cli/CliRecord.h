// What a command-line run tells and keeps besides its work: the dry run's lines, the diff, the
// JSON Lines report, the summary line and the originals of --backup-dir; and --restore.
#pragma once

#include "cli/CliArgs.h"
#include "run/CommitHook.h"
#include "undo/RunReport.h"
#include "undo/UndoStore.h"

#include <chrono>
#include <memory>
#include <string>

namespace vexlo::cli {

class RunRecord {
  public:
    /// Sets up what `request` asks for; the report file is written by finish(). Never throws.
    explicit RunRecord(const CliRequest &request);

    /// The hook for the pipeline, or nullptr when nothing is asked for.
    CommitHook *hook() { return m_hooks.empty() ? nullptr : &m_hooks; }
    /// A file that failed (its reason is reported on stderr by the caller).
    void failed(const std::string &path, const std::string &reason);
    /// A file passed over before the run reaches it (a link the directory pass does not follow;
    /// its reason is reported on stderr by the caller).
    void skipped(const std::string &path, const std::string &reason);
    /// Whether `path` lies in the --backup-dir folder (never a target of the run).
    bool isBackupCopy(const std::string &path) const;
    /// Writes the report and the summary line. False after reporting a failure on stderr.
    bool finish();

  private:
    void add(const FileReport &report, std::string_view before, std::string_view after);
    // A failure or a skip met outside the pipeline: the dry run's line and the report's.
    void passedOver(FileReport report);

    const CliRequest &m_request;
    CommitHooks m_hooks;
    std::unique_ptr<ChangeRecorder> m_changes;
    std::unique_ptr<UndoRecorder> m_backup;
    std::string m_backupPrefix; // absolute --backup-dir with a final '/'
    std::string m_report;       // the JSON Lines kept for a report file
    std::size_t m_rewritten = 0, m_changed = 0, m_skipped = 0, m_failed = 0;
    std::uint64_t m_bytesBefore = 0, m_bytesAfter = 0;
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};

/// Puts back what --backup-dir kept in request.restoreDir. Returns ExitOk, or ExitFailed when
/// a file had changed since the run or could not be restored (each named on stderr); never
/// throws.
int RunRestore(const CliRequest &request);

} // namespace vexlo::cli
