#include "cli/CliRun.h"

#include "base/Error.h"
#include "cli/CliRecord.h"
#include "run/FilePipeline.h"
#include "targets/DirectoryPass.h"
#include "targets/ScanDir.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace vexlo::cli {

namespace {

constexpr std::size_t OutputChunk = std::size_t(1) << 20;

bool writeOut(std::string_view bytes)
{
    return bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size();
}

// Standard input through the operation to standard output. False after reporting a failure.
bool filterStandardStreams(const TextOperation &op)
{
    std::string input;
    char chunk[1 << 16];
    for (;;) {
        const std::size_t got = std::fread(chunk, 1, sizeof chunk, stdin);
        input.append(chunk, got);
        if (got < sizeof chunk)
            break;
    }
    if (std::ferror(stdin)) {
        ReportFailure("-", std::string("cannot read standard input: ") + std::strerror(errno));
        return false;
    }
    if (!writeOut(ApplyToBuffer(input, op)) || std::fflush(stdout) != 0) {
        ReportFailure("-", std::string("cannot write standard output: ") + std::strerror(errno));
        return false;
    }
    return true;
}

// Prints each entry as the scan finds it, in large writes; a directory that cannot be read is
// reported and marks the scan failed. A failed write ends the scan.
class PrintedScan : public RunObserver {
  public:
    explicit PrintedScan(char separator) : m_separator(separator) {}

    bool keepGoing() override { return !m_writeFailed; }

    void fileDone(const std::string &path, Outcome) override
    {
        m_buffer += path;
        m_buffer += m_separator;
        if (m_buffer.size() >= OutputChunk)
            flush();
    }

    void error(const std::string &path, const Error &e) override
    {
        flush(); // what was found before stays before the message
        std::fflush(stdout);
        ReportFailure(path, e.what());
        m_failed = true;
    }

    void flush()
    {
        if (!writeOut(m_buffer))
            m_writeFailed = true;
        m_buffer.clear();
    }

    bool failed() const { return m_failed; }
    bool writeFailed() const { return m_writeFailed; }

  private:
    std::string m_buffer;
    char m_separator;
    bool m_failed = false;
    bool m_writeFailed = false;
};

// The files of one --dir: directories that cannot be read and links that are not followed
// are reported as they are met; only the former count as failures.
class DirectoryTargets : public RunObserver {
  public:
    void error(const std::string &path, const Error &e) override
    {
        ReportFailure(path, e.what());
        ++failures;
    }
    // A link not followed: fileDone(path, Skipped), then "PATH: reason" as a message.
    void fileDone(const std::string &path, Outcome outcome) override
    {
        if (outcome == Outcome::Skipped)
            m_passedOver = path;
    }
    void message(const std::string &text) override
    {
        ReportFailure({}, text);
        const std::string head = m_passedOver + ": ";
        if (onSkipped && !m_passedOver.empty() && text.compare(0, head.size(), head) == 0)
            onSkipped(m_passedOver, text.substr(head.size()));
        m_passedOver.clear();
    }

    std::size_t failures = 0;
    std::function<void(const std::string &, const std::string &)> onSkipped;

  private:
    std::string m_passedOver;
};

} // namespace

std::size_t
CollectDirectoryFiles(const std::string &dir, const std::string &mask, std::vector<std::string> &files,
                      const std::function<void(const std::string &, const std::string &)> &skipped)
{
    DirectoryTargets targets;
    targets.onSkipped = skipped;
    std::vector<std::string> found;
    ScanForDirectoryPass(dir, mask, found, targets, false);
    for (std::string &path : found)
        files.push_back(std::move(path));
    return targets.failures;
}

void ReportFailure(const std::string &path, const std::string &reason)
{
    // Paths may hold escape sequences: none reaches the terminal raw.
    const std::string shownReason = EscapeControls(reason);
    std::string line = "vexlopro-cli: ";
    if (path.empty() || shownReason.find(EscapeControls(path)) != std::string::npos)
        line += shownReason;
    else
        line += EscapeControls(path) + ": " + shownReason;
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
}

int RunRewrite(const CliRequest &request)
{
    std::size_t failures = 0;
    PipelineOptions options;
    options.stopAtFirstError = false; // every target gets its turn
    RunRecord record(request);        // --dry-run, --diff, --report, --stats, --backup-dir
    options.hook = record.hook();
    struct Reporter : RunObserver {
        explicit Reporter(RunRecord &kept) : record(kept) {}
        void error(const std::string &path, const Error &e) override
        {
            ReportFailure(path, e.what());
            record.failed(path, e.what());
        }
        // Files left as they are (binary files): reported, not counted as failures.
        void message(const std::string &text) override { ReportFailure({}, text); }
        RunRecord &record;
    } reporter(record);

    std::vector<std::string> batch;
    auto rewriteBatch = [&] {
        failures += RewriteFiles(batch, request.op, options, reporter).failed;
        batch.clear();
    };
    for (const std::string &path : request.paths) {
        if (path != "-") {
            batch.push_back(path);
            continue;
        }
        rewriteBatch();
        if (!filterStandardStreams(request.op))
            ++failures;
    }

    rewriteBatch();

    // Each directory in turn, so that failures are reported in the order of the targets.
    // Directory lines of a scan are no targets; the files below them are listed anyway.
    for (const std::string &dir : request.dirs) {
        failures += CollectDirectoryFiles(
            dir, request.mask, batch,
            [&](const std::string &path, const std::string &reason) { record.skipped(path, reason); });
        std::erase_if(batch, [&](const std::string &path) { return record.isBackupCopy(path); });
        // No folder link below the scanned directory is followed while the files are rewritten.
        const std::vector<std::string> roots(batch.size(), dir);
        options.heldRoots = &roots;
        rewriteBatch();
        options.heldRoots = nullptr;
    }
    if (!record.finish())
        ++failures;
    return failures == 0 ? ExitOk : ExitFailed;
}

int RunScan(const CliRequest &request)
{
    PrintedScan printed(request.scanSeparator);
    for (const std::string &dir : request.scans) {
        ScanDir(dir, request.mask, printed);
        if (printed.writeFailed())
            break;
    }
    printed.flush();
    bool failed = printed.failed();
    if (printed.writeFailed() || std::fflush(stdout) != 0) {
        ReportFailure("-", std::string("cannot write standard output: ") + std::strerror(errno));
        failed = true;
    }
    return failed ? ExitFailed : ExitOk;
}

} // namespace vexlo::cli
