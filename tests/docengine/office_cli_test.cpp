// The built vexlopro-cli's office engine on documents of the feature corpus: a replacement is
// made inside the document, which stays a document of its format; a run without a match
// leaves its bytes as they were; a legacy .doc is left as it is.
#include "docengine/Document.h"

#include "base/Error.h"

#include "support/TestSupport.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

using namespace vexlo::doc;
using vexlo::test::TempDir;
namespace fs = std::filesystem;

namespace {

const fs::path kFeatures = fs::path(VEXLO_SOURCE_DIR) / "tests/data/documents/features";

struct Outcome {
    int status = -1;
    std::string err;
};

// Runs the program in `dir` with `args`; standard error is kept.
Outcome RunCli(const fs::path &dir, std::vector<std::string> args)
{
    const fs::path err = dir / ".stderr";
    std::string program = VEXLO_CLI_PATH;
    std::vector<char *> argv{program.data()};
    for (auto &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        const int fd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fd < 0 || dup2(fd, 2) < 0 || chdir(dir.c_str()) != 0)
            _exit(126);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    Outcome outcome;
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    outcome.err = vexlo::test::readBytes(err);
    fs::remove(err);
    return outcome;
}

// Whether the system Python opens `path` with python-docx or odfpy: 1 yes, 0 no, -1 when
// the module is not installed.
int OpensInPython(const fs::path &path, const std::string &format)
{
    if (access("/usr/bin/python3", X_OK) != 0)
        return -1;
    const std::string module = format == "docx" ? "docx" : "odf.opendocument";
    const std::string open =
        format == "docx" ? "docx.Document(sys.argv[1])" : "odf.opendocument.load(sys.argv[1])";
    if (std::system(("/usr/bin/python3 -c 'import " + module + "' 2>/dev/null").c_str()) != 0)
        return -1;
    const std::string command = "/usr/bin/python3 -c 'import sys, " + module + "; " + open + "' '" +
                                path.string() + "' >/dev/null 2>&1";
    return std::system(command.c_str()) == 0 ? 1 : 0;
}

} // namespace

TEST(OfficeCommandLine, ReplacesInsideEachFormatAndKeepsItADocument)
{
    for (const std::string format : {"docx", "odt", "rtf"}) {
        SCOPED_TRACE(format);
        TempDir tmp;
        const std::string name = "tracked-changes." + format;
        fs::copy_file(kFeatures / name, tmp.path() / name);
        const std::string before = vexlo::test::readBytes(tmp.path() / name);

        // Nothing found: the file is not rewritten.
        Outcome none = RunCli(tmp.path(), {"--office", "--find", "absent", "--replace", "x", name});
        EXPECT_EQ(0, none.status) << none.err;
        EXPECT_TRUE(before == vexlo::test::readBytes(tmp.path() / name))
            << "a run without a match changed it";

        // A match inside a tracked insertion; the deletion beside it stays out of the story.
        Outcome done = RunCli(tmp.path(), {"--office", "--find", "added", "--replace", "inserted", name});
        const std::string after = vexlo::test::readBytes(tmp.path() / name);
        if (done.err.find("format cannot be written") != std::string::npos) {
            // This build saves the format only as text (--save-as-text): refused, left whole.
            EXPECT_EQ(1, done.status);
            EXPECT_TRUE(before == after);
            std::printf("own-format save of .%s is not in this build: %s", format.c_str(), done.err.c_str());
            continue;
        }
        ASSERT_EQ(0, done.status) << done.err;
        EXPECT_EQ(after.substr(0, 4), before.substr(0, 4)) << "no longer a document of its format";
        EXPECT_EQ(U"Keep inserted end.\r", OpenDocumentContent(after, name).text);
        if (format != "rtf") {
            const int opens = OpensInPython(tmp.path() / name, format);
            if (opens >= 0) {
                EXPECT_EQ(1, opens) << "python-docx or odfpy cannot open the saved file";
            }
        }
    }
}

TEST(OfficeCommandLine, LegacyDocIsLeftAsItIs)
{
    TempDir tmp;
    fs::copy_file(kFeatures / "tracked-changes.doc", tmp.path() / "a.doc");
    const std::string before = vexlo::test::readBytes(tmp.path() / "a.doc");
    Outcome o = RunCli(tmp.path(), {"--office", "--find", "added", "--replace", "inserted", "a.doc"});
    EXPECT_EQ(0, o.status) << "a .doc left as it is alone does not change the exit status";
    EXPECT_EQ(
        "vexlopro-cli: a.doc: left as it is: a legacy .doc document cannot be saved in its own format\n",
        o.err);
    EXPECT_TRUE(before == vexlo::test::readBytes(tmp.path() / "a.doc"));
}
