#include "base/Error.h"
#include "cli/CliRun.h"
#include "run/BuiltInWord.h"
#include "run/FilePipeline.h"
#include "run/SkippedFile.h"
#include "run/WordEngine.h"
#include "targets/ScanDir.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>
#include <optional>
#include <thread>

namespace vexlo::cli {

namespace {

// What became of one target: done, left as it is (with the line to print), or failed (with
// the reason).
struct TargetOutcome {
    std::optional<std::string> skipped;
    std::optional<std::string> failure;
};

// The reason of any failure, whatever its kind.
std::string ReasonOf(const std::exception &e)
{
    if (dynamic_cast<const std::bad_alloc *>(&e))
        return "not enough memory";
    return e.what();
}

// One application at a time; after a failure the next target starts on a fresh one, since
// the failed document stays open in the old one.
class OfficeTargets {
  public:
    explicit OfficeTargets(const CliRequest &request) : m_request(request) { restart(); }

    /// `below` says how the file is opened (the held root of a directory pass).
    TargetOutcome process(const std::string &path, const ReplaceOptions &below = {})
    {
        TargetOutcome outcome;
        try {
            m_source->holdRoot(below.heldRoot, below.heldRootDescriptor);
            m_engine->onSkipped([&](const SkippedFile &file) { outcome.skipped = file.what(); });
            m_engine->processFile(path, m_request.officeFind, m_request.officeReplace,
                                  m_request.officeOptions);
        } catch (const std::exception &e) {
            // Whatever its kind, one file's failure is reported with its name and the next goes on.
            restart();
            outcome.failure = ReasonOf(e);
        }
        return outcome;
    }

    void finish()
    {
        try {
            m_engine->quit();
        } catch (const std::exception &) {
            // Quitting the built-in application after the work is done cannot lose anything.
        }
    }

  private:
    void restart()
    {
        m_source = std::make_unique<word::BuiltInApplicationSource>(); // keeps no clipboard: "^c" is empty
        m_engine = std::make_unique<WordEngine>(*m_source);
        m_engine->setSaveAsText(m_request.officeSaveAsText);
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

// Standard input is worked on in memory: it never gets a name on disk.
bool FilterStandardStreams(const CliRequest &request)
{
    bool ok = true;
    std::string input = ReadStream(stdin, ok);
    if (!ok) {
        ReportFailure("-", std::string("cannot read standard input: ") + std::strerror(errno));
        return false;
    }
    const WordEngineOptions &o = request.officeOptions;
    const word::Arguments execute{
        request.officeFind, o.matchCase, o.wholeWord,          o.wildcards, o.soundsLike,
        o.allWordForms,     true,        word::wdFindContinue, false,       request.officeReplace,
        word::wdReplaceAll};
    std::string output;
    std::string leftAsItIs;
    try {
        output = word::ProcessContent(std::move(input), "-", execute, request.officeSaveAsText, leftAsItIs);
    } catch (const std::exception &e) {
        ReportFailure("-", ReasonOf(e));
        return false;
    }
    if (!leftAsItIs.empty())
        ReportFailure("-", leftAsItIs);
    if (std::fwrite(output.data(), 1, output.size(), stdout) != output.size() || std::fflush(stdout) != 0) {
        ReportFailure("-", std::string("cannot write standard output: ") + std::strerror(errno));
        return false;
    }
    return true;
}

// Files on both cores: each worker has an application of its own; what became of them is
// reported afterwards in the order of the files. `roots`: the scanned directory of each file
// of a directory pass (held open while the files are processed), or null.
std::size_t ProcessFiles(const CliRequest &request, OfficeTargets &first,
                         const std::vector<std::string> &paths,
                         const std::vector<std::string> *roots = nullptr)
{
    const HeldRoots held(roots);
    std::vector<TargetOutcome> outcomes(paths.size());
    std::atomic<std::size_t> next{0};
    auto work = [&](OfficeTargets &targets) {
        for (std::size_t i = next++; i < paths.size(); i = next++)
            outcomes[i] = targets.process(paths[i], held.options(i));
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
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (outcomes[i].skipped)
            ReportFailure({}, *outcomes[i].skipped); // names the file; not a failure
        if (outcomes[i].failure) {
            ReportFailure(paths[i], *outcomes[i].failure);
            ++failed;
        }
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
        failures += !FilterStandardStreams(request);
    }
    failures += ProcessFiles(request, targets, batch);
    batch.clear();
    // Each directory in turn; no folder link below it is followed while its files are processed.
    for (const std::string &dir : request.dirs) {
        std::error_code ec;
        if (!std::filesystem::is_directory(dir, ec)) {
            ReportFailure(dir, "cannot read directory '" + dir + "': not a directory");
            ++failures;
            continue;
        }
        failures += CollectDirectoryFiles(dir, request.mask, batch);
        const std::vector<std::string> roots(batch.size(), dir);
        failures += ProcessFiles(request, targets, batch, &roots);
        batch.clear();
    }
    targets.finish();
    return failures == 0 ? ExitOk : ExitFailed;
}

} // namespace vexlo::cli
