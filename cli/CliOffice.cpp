#include "base/Error.h"
#include "base/SafeWrite.h"
#include "cli/CliRun.h"
#include "run/BuiltInWord.h"
#include "run/WordEngine.h"
#include "targets/ScanDir.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <thread>

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
        std::optional<std::string> failure = tryProcess(path);
        if (failure)
            ReportFailure(shownAs, *failure);
        return !failure;
    }

    /// The failure's reason, or nothing when the file is done.
    std::optional<std::string> tryProcess(const std::string &path)
    {
        try {
            m_engine->processFile(path, m_request.officeFind, m_request.officeReplace,
                                  m_request.officeOptions);
            return std::nullopt;
        } catch (const Error &e) {
            restart();
            return std::string(e.what());
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

// Files on both cores: each worker has an application of its own; failures are reported
// afterwards in the order of the files.
std::size_t ProcessFiles(const CliRequest &request, OfficeTargets &first,
                         const std::vector<std::string> &paths)
{
    std::vector<std::optional<std::string>> failures(paths.size());
    std::atomic<std::size_t> next{0};
    auto work = [&](OfficeTargets &targets) {
        for (std::size_t i = next++; i < paths.size(); i = next++)
            failures[i] = targets.tryProcess(paths[i]);
    };
    if (paths.size() > 1 && std::thread::hardware_concurrency() > 1) {
        OfficeTargets second(request);
        std::thread helper([&] { work(second); });
        work(first);
        helper.join();
        second.finish();
    } else {
        work(first);
    }
    std::size_t failed = 0;
    for (std::size_t i = 0; i < paths.size(); ++i)
        if (failures[i]) {
            ReportFailure(paths[i], *failures[i]);
            ++failed;
        }
    return failed;
}

} // namespace

int RunOffice(const CliRequest &request)
{
    std::size_t failures = 0;
    OfficeTargets targets(request);
    std::vector<std::string> batch; // files up to the next "-"
    for (const std::string &path : request.paths) {
        if (path != "-") {
            batch.push_back(path);
            continue;
        }
        failures += ProcessFiles(request, targets, batch);
        batch.clear();
        failures += !FilterStandardStreams(targets);
    }
    for (const std::string &dir : request.dirs) {
        std::error_code ec;
        if (!std::filesystem::is_directory(dir, ec)) {
            failures += ProcessFiles(request, targets, batch);
            batch.clear();
            ReportFailure(dir, "cannot read directory '" + dir + "': not a directory");
            ++failures;
            continue;
        }
        failures += CollectDirectoryFiles(dir, request.mask, batch);
    }
    failures += ProcessFiles(request, targets, batch);
    targets.finish();
    return failures == 0 ? ExitOk : ExitFailed;
}

} // namespace vexlo::cli
