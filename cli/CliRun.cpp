#include "cli/CliRun.h"

#include "base/Error.h"
#include "run/FilePipeline.h"
#include "targets/ScanDir.h"

#include <fcntl.h>
#include <unistd.h>

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

// Whether `dir` can be listed; reports the reason when it cannot.
bool openableDirectory(const std::string &dir)
{
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        ReportFailure(dir, IoError("read directory", dir, errno).what());
        return false;
    }
    ::close(fd);
    return true;
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

// Prints each entry as the scan finds it, in large writes.
class PrintedScan : public ScanResult {
  public:
    void append(std::string path) override
    {
        m_buffer += path;
        m_buffer += '\n';
        if (m_buffer.size() >= OutputChunk)
            flush();
    }

    void flush()
    {
        if (!writeOut(m_buffer))
            m_failed = true;
        m_buffer.clear();
    }

    bool failed() const { return m_failed; }

  private:
    std::string m_buffer;
    bool m_failed = false;
};

} // namespace

void ReportFailure(const std::string &path, const std::string &reason)
{
    std::string line = "vexlopro-cli: ";
    if (path.empty() || reason.find(path) != std::string::npos)
        line += reason;
    else
        line += path + ": " + reason;
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
}

int RunRewrite(const CliRequest &request)
{
    std::size_t failures = 0;
    PipelineOptions options;
    options.stopAtFirstError = false; // every target gets its turn
    struct Reporter : RunObserver {
        void error(const std::string &path, const Error &e) override { ReportFailure(path, e.what()); }
    } reporter;

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
    std::vector<std::string> found;
    VectorScanResult sink(found);
    for (const std::string &dir : request.dirs) {
        if (!openableDirectory(dir)) {
            ++failures;
            continue;
        }
        found.clear();
        ScanDir(dir, request.mask, sink);
        for (std::string &path : found)
            if (path.empty() || path.back() != PathSeparator)
                batch.push_back(std::move(path));
        rewriteBatch();
    }
    return failures == 0 ? ExitOk : ExitFailed;
}

int RunScan(const CliRequest &request)
{
    bool failed = false;
    PrintedScan printed;
    for (const std::string &dir : request.scans) {
        if (!openableDirectory(dir)) {
            failed = true;
            continue;
        }
        ScanDir(dir, request.mask, printed);
    }
    printed.flush();
    if (printed.failed() || std::fflush(stdout) != 0) {
        ReportFailure("-", std::string("cannot write standard output: ") + std::strerror(errno));
        failed = true;
    }
    return failed ? ExitFailed : ExitOk;
}

} // namespace vexlo::cli
