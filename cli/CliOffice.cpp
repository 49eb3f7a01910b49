#include "base/Error.h"
#include "cli/CliRecord.h"
#include "cli/CliRun.h"
#include "run/office/BuiltInWord.h"
#include "run/office/DocumentBatch.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>

namespace vexlo::cli {

namespace {

// The reason of any failure, whatever its kind.
std::string ReasonOf(const std::exception &e)
{
    if (dynamic_cast<const std::bad_alloc *>(&e))
        return "not enough memory";
    return e.what();
}

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

// What the office engine's batch tells: failures and files left as they are on stderr, and
// each file in the run's record.
class OfficeReport : public RunObserver {
  public:
    explicit OfficeReport(RunRecord &record) : m_record(record) {}
    void message(const std::string &text) override
    {
        ReportFailure({}, text);
    } // names the file; not a failure
    void error(const std::string &path, const Error &e) override
    {
        ReportFailure(path, e.what());
        m_record.failed(path, e.what());
    }

  private:
    RunRecord &m_record;
};

} // namespace

int RunOffice(const CliRequest &request)
{
    std::size_t failures = 0;
    RunRecord record(request); // --dry-run, --diff, --report, --stats, --backup-dir
    OfficeReport report(record);
    DocumentBatch batch;
    batch.find = request.officeFind;
    batch.replace = request.officeReplace;
    batch.options = request.officeOptions;
    batch.saveAsText = request.officeSaveAsText;
    batch.hook = record.hook();
    std::vector<std::string> files; // files up to the next "-"
    for (const std::string &path : request.paths) {
        if (path != "-") {
            files.push_back(path);
            continue;
        }
        failures += ProcessDocuments(files, nullptr, batch, report);
        files.clear();
        failures += !FilterStandardStreams(request);
    }
    failures += ProcessDocuments(files, nullptr, batch, report);
    files.clear();
    // Each directory in turn; no folder link below it is followed while its files are processed.
    for (const std::string &dir : request.dirs) {
        std::error_code ec;
        if (!std::filesystem::is_directory(dir, ec)) {
            ReportFailure(dir, "cannot read directory '" + dir + "': not a directory");
            ++failures;
            continue;
        }
        failures += CollectDirectoryFiles(dir, request.mask, files);
        std::erase_if(files, [&](const std::string &path) { return record.isBackupCopy(path); });
        const std::vector<std::string> roots(files.size(), dir);
        failures += ProcessDocuments(files, &roots, batch, report);
        files.clear();
    }
    if (!record.finish())
        ++failures;
    return failures == 0 ? ExitOk : ExitFailed;
}

} // namespace vexlo::cli
