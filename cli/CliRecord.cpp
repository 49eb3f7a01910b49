#include "cli/CliRecord.h"

#include "base/Error.h"
#include "base/SafeWrite.h"
#include "cli/CliRun.h"
#include "undo/LineDiff.h"

#include <cstdio>
#include <filesystem>

namespace vexlo::cli {

namespace {

std::string absoluteFolder(const std::string &path)
{
    std::error_code ec;
    std::filesystem::path p = std::filesystem::absolute(path, ec);
    std::string text = p.lexically_normal().string();
    if (text.empty() || text.back() != '/')
        text += '/';
    return text;
}

bool print(std::string_view text)
{
    return text.empty() || std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
}

} // namespace

RunRecord::RunRecord(const CliRequest &request) : m_request(request)
{
    const bool preview = request.dryRun || request.diff;
    if (preview || !request.report.empty() || request.stats) {
        m_changes = std::make_unique<ChangeRecorder>(
            preview, [this](const FileReport &r, std::string_view before, std::string_view after) {
                add(r, before, after);
            });
        m_hooks.add(m_changes.get());
    }
    if (!request.backupDir.empty()) {
        m_backup = std::make_unique<UndoRecorder>(request.backupDir);
        m_backupPrefix = absoluteFolder(request.backupDir);
        m_hooks.add(m_backup.get());
    }
}

bool RunRecord::isBackupCopy(const std::string &path) const
{
    if (m_backupPrefix.empty())
        return false;
    std::error_code ec;
    const std::string absolute = std::filesystem::absolute(path, ec).lexically_normal().string();
    return absolute.compare(0, m_backupPrefix.size(), m_backupPrefix) == 0;
}

void RunRecord::add(const FileReport &report, std::string_view before, std::string_view after)
{
    m_rewritten += report.outcome == FileOutcome::Rewritten;
    m_skipped += report.outcome == FileOutcome::Skipped;
    m_changed += report.changed > 0;
    m_bytesBefore += report.bytesBefore;
    m_bytesAfter += report.bytesAfter;
    if (m_request.dryRun)
        print(EscapeControls(DryRunLine(report)) + "\n");
    if (m_request.diff)
        print(UnifiedDiff(report.path, before, after));
    if (!m_request.report.empty()) {
        m_report += JsonLine(report) + "\n";
        if (m_request.report == "-") {
            print(m_report);
            m_report.clear();
        }
    }
}

void RunRecord::failed(const std::string &path, const std::string &reason)
{
    FileReport report;
    report.path = path;
    report.outcome = FileOutcome::Failed;
    report.reason = reason;
    ++m_failed;
    passedOver(std::move(report));
}

void RunRecord::skipped(const std::string &path, const std::string &reason)
{
    FileReport report;
    report.path = path;
    report.outcome = FileOutcome::Skipped;
    report.reason = reason;
    ++m_skipped;
    passedOver(std::move(report));
}

void RunRecord::passedOver(FileReport report)
{
    std::error_code ec;
    const auto size = std::filesystem::file_size(report.path, ec);
    report.bytesBefore = report.bytesAfter = ec ? 0 : size;
    if (m_request.dryRun)
        print(EscapeControls(DryRunLine(report)) + "\n");
    if (!m_request.report.empty()) {
        m_report += JsonLine(report) + "\n";
        if (m_request.report == "-") {
            print(m_report);
            m_report.clear();
        }
    }
}

bool RunRecord::finish()
{
    bool ok = true;
    if (m_backup && !m_backup->lastError().empty()) {
        ReportFailure(m_request.backupDir, m_backup->lastError());
        ok = false;
    }
    if (!m_request.report.empty() && m_request.report != "-") {
        try {
            WriteFileSafely(m_request.report, m_report);
        } catch (const Error &e) {
            ReportFailure(m_request.report, e.what());
            ok = false;
        }
    }
    if (std::fflush(stdout) != 0) {
        ReportFailure("-", "cannot write standard output");
        ok = false;
    }
    if (m_request.stats) {
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
        std::fprintf(
            stderr,
            "vexlopro-cli: %zu files %s, %zu with changes, %zu skipped, %zu failed, %llu bytes before, "
            "%llu bytes after, %.2f seconds\n",
            m_rewritten, m_request.dryRun || m_request.diff ? "would be rewritten" : "rewritten", m_changed,
            m_skipped, m_failed, static_cast<unsigned long long>(m_bytesBefore),
            static_cast<unsigned long long>(m_bytesAfter), seconds);
    }
    return ok;
}

int RunRestore(const CliRequest &request)
{
    struct Told : RunObserver {
        bool trouble = false;
        void fileDone(const std::string &path, Outcome outcome) override
        {
            if (outcome == Outcome::Skipped) {
                ReportFailure(path, kChangedSinceText);
                trouble = true;
            }
        }
        void error(const std::string &path, const Error &e) override
        {
            ReportFailure(path, e.what());
            trouble = true;
        }
    } told;
    try {
        RestoreRun(request.restoreDir, told);
    } catch (const Error &e) {
        ReportFailure(request.restoreDir, e.what());
        return ExitFailed;
    }
    return told.trouble ? ExitFailed : ExitOk;
}

} // namespace vexlo::cli
