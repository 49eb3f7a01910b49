#include "base/Error.h"
#include "base/SafeWrite.h"
#include "cli/CliRun.h"
#include "run/BuiltInWord.h"
#include "run/WordEngine.h"
#include "targets/ScanDir.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

namespace vexlo::cli {

namespace {

// One application at a time; after a failure the next target starts on a fresh one, since
// the failed document stays open in the old one.
class OfficeTargets {
  public:
    explicit OfficeTargets(const CliRequest &request) : m_request(request) { restart(); }

    /// False after reporting the failure.
    bool process(const std::string &path, const std::string &shownAs)
    {
        try {
            m_engine->processFile(path, m_request.officeFind, m_request.officeReplace,
                                  m_request.officeOptions);
            return true;
        } catch (const Error &e) {
            ReportFailure(shownAs, e.what());
            restart();
            return false;
        }
    }

    void finish()
    {
        try {
            m_engine->quit();
        } catch (const Error &) {
            // Quitting the built-in application after the work is done cannot lose anything.
        }
    }

  private:
    void restart()
    {
        m_source = std::make_unique<word::BuiltInApplicationSource>();
        m_engine = std::make_unique<WordEngine>(*m_source);
    }

    const CliRequest &m_request;
    std::unique_ptr<word::BuiltInApplicationSource> m_source;
    std::unique_ptr<WordEngine> m_engine;
};

std::string ReadStream(std::FILE *in, bool &ok)
{
    std::string input;
    char chunk[1 << 16];
    for (;;) {
        const std::size_t got = std::fread(chunk, 1, sizeof chunk, in);
        input.append(chunk, got);
        if (got < sizeof chunk)
            break;
    }
    ok = !std::ferror(in);
    return input;
}

// Standard input goes through a scratch file, since documents are opened from files.
bool FilterStandardStreams(OfficeTargets &targets)
{
    bool ok = true;
    std::string input = ReadStream(stdin, ok);
    if (!ok) {
        ReportFailure("-", std::string("cannot read standard input: ") + std::strerror(errno));
        return false;
    }
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path scratch =
        fs::temp_directory_path(ec) / ("vexlopro-cli-" + std::to_string(::getpid()) + ".txt");
    try {
        WriteFileSafely(scratch.string(), input);
    } catch (const Error &e) {
        ReportFailure("-", e.what());
        return false;
    }
    bool done = targets.process(scratch.string(), "-");
    std::string output;
    if (done) {
        std::ifstream in(scratch, std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        output = std::move(bytes).str();
    }
    fs::remove(scratch, ec);
    if (!done)
        return false;
    if (std::fwrite(output.data(), 1, output.size(), stdout) != output.size() || std::fflush(stdout) != 0) {
        ReportFailure("-", std::string("cannot write standard output: ") + std::strerror(errno));
        return false;
    }
    return true;
}

} // namespace

int RunOffice(const CliRequest &request)
{
    std::size_t failures = 0;
    OfficeTargets targets(request);
    for (const std::string &path : request.paths) {
        bool ok = path == "-" ? FilterStandardStreams(targets) : targets.process(path, path);
        failures += !ok;
    }
    std::vector<std::string> found;
    VectorScanResult sink(found);
    for (const std::string &dir : request.dirs) {
        std::error_code ec;
        if (!std::filesystem::is_directory(dir, ec)) {
            ReportFailure(dir, "cannot read directory '" + dir + "': not a directory");
            ++failures;
            continue;
        }
        found.clear();
        ScanDir(dir, request.mask, sink);
        for (const std::string &path : found)
            if (!path.empty() && path.back() != PathSeparator)
                failures += !targets.process(path, path);
    }
    targets.finish();
    return failures == 0 ? ExitOk : ExitFailed;
}

} // namespace vexlo::cli
