// vexlopro-cli's --dry-run, --diff, --report, --stats, --backup-dir and --restore.
#include "support/TestSupport.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace vexlo::test;
namespace fs = std::filesystem;

namespace {

struct Ran {
    int status = -1;
    std::string out, err;
};

class CliRecordTest : public ::testing::Test {
  protected:
    CliRecordTest()
    {
        fs::create_directories(tmp.path() / "d" / "sub");
        writeBytes(tmp.path() / "d" / "a.txt", "one foo\ntwo\nfoo three\n");
        writeBytes(tmp.path() / "d" / "b.txt", "no match\r\n");
        writeBytes(tmp.path() / "d" / "sub" / "c.txt", "lf only\n");
        writeBytes(tmp.path() / "d" / "sub" / "e.txt", "foo");
    }

    Ran cli(std::vector<std::string> args)
    {
        const fs::path out = tmp.path() / ".stdout", err = tmp.path() / ".stderr";
        std::vector<char *> argv;
        std::string program = VEXLO_CLI_PATH;
        argv.push_back(program.data());
        for (auto &a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        const pid_t pid = fork();
        if (pid == 0) {
            if (chdir(tmp.path().c_str()) != 0)
                _exit(126);
            dup2(open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
            dup2(open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
            execv(argv[0], argv.data());
            _exit(127);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        Ran ran{WIFEXITED(status) ? WEXITSTATUS(status) : -1, readBytes(out), readBytes(err)};
        fs::remove(out);
        fs::remove(err);
        return ran;
    }

    // Every file of the tree with its bytes and modification time.
    std::map<std::string, std::pair<std::string, long long>> tree()
    {
        std::map<std::string, std::pair<std::string, long long>> all;
        for (const auto &e : fs::recursive_directory_iterator(tmp.path() / "d")) {
            struct stat st;
            if (e.is_regular_file() && ::stat(e.path().c_str(), &st) == 0)
                all[e.path().string()] = {readBytes(e.path()),
                                          st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec};
        }
        return all;
    }

    TempDir tmp;
};

TEST_F(CliRecordTest, DryRunAndDiffWriteNothingAndSayWhatWouldChange)
{
    const auto before = tree();
    Ran ran = cli({"--find", "foo", "--replace", "bar", "--dry-run", "--stats", "d/missing.txt", "d/a.txt",
                   "d/b.txt", "d/sub/c.txt", "d/sub/e.txt"});
    EXPECT_EQ(ran.status, 1);
    EXPECT_EQ(ran.out, "d/missing.txt: fails: cannot read 'd/missing.txt': No such file or directory\n"
                       "d/a.txt: 2 lines changed\n"
                       "d/b.txt: unchanged\n"
                       "d/sub/c.txt: line ends only\n"
                       "d/sub/e.txt: 1 line changed\n");
    EXPECT_NE(ran.err.find("vexlopro-cli: 3 files would be rewritten, 2 with changes, 0 skipped, 1 failed"),
              std::string::npos)
        << ran.err;
    EXPECT_EQ(tree(), before); // bytes and modification times

    ran = cli({"--find", "foo", "--replace", "bar", "--diff", "d/a.txt", "d/b.txt", "d/sub/c.txt"});
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_EQ(ran.out, "--- a/d/a.txt\n+++ b/d/a.txt\n@@ -1,3 +1,3 @@\n-one foo\n+one bar\n two\n-foo three\n"
                       "+bar three\n");
    EXPECT_EQ(tree(), before);
}

TEST_F(CliRecordTest, ReportHasOneJsonLinePerTarget)
{
    Ran ran = cli(
        {"--find", "foo", "--replace", "bar", "--report", "report.jsonl", "d/a.txt", "d/nope", "d/b.txt"});
    EXPECT_EQ(ran.status, 1);
    EXPECT_EQ(
        readBytes(tmp.path() / "report.jsonl"),
        "{\"path\":\"d/"
        "a.txt\",\"outcome\":\"rewritten\",\"changed\":2,\"bytes_before\":22,\"bytes_after\":25}\n"
        "{\"path\":\"d/nope\",\"outcome\":\"failed\",\"changed\":0,\"bytes_before\":0,\"bytes_after\":0,"
        "\"reason\":\"cannot read 'd/nope': No such file or directory\"}\n"
        "{\"path\":\"d/"
        "b.txt\",\"outcome\":\"unchanged\",\"changed\":0,\"bytes_before\":10,\"bytes_after\":10}\n");
    EXPECT_EQ(readBytes(tmp.path() / "d" / "a.txt"), "one bar\r\ntwo\r\nbar three\r\n");

    ran = cli({"--find", "bar", "--replace", "baz", "--report", "-", "d/a.txt"});
    EXPECT_EQ(ran.status, 0);
    EXPECT_EQ(ran.out, "{\"path\":\"d/a.txt\",\"outcome\":\"rewritten\",\"changed\":2,\"bytes_before\":25,"
                       "\"bytes_after\":25}\n");
}

// Files the run passes over on purpose (a binary file, a link out of the tree) are in the
// report and the dry run as skipped, with the reason, and left as they were.
TEST_F(CliRecordTest, FilesPassedOverAreReportedAsSkippedWithTheirReason)
{
    writeBytes(tmp.path() / "d" / "bin.dat", std::string("foo\0bar", 7));
    writeBytes(tmp.path() / "outside.txt", "foo\n");
    fs::create_symlink(tmp.path() / "outside.txt", tmp.path() / "d" / "out.txt");
    const auto before = tree();
    Ran ran =
        cli({"--find", "foo", "--replace", "bar", "--report", "-", "--stats", "--dir", "d", "--mask", "*.*"});
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_NE(ran.out.find("{\"path\":\"d/bin.dat\",\"outcome\":\"skipped\",\"changed\":0,\"bytes_before\":7,"
                           "\"bytes_after\":7,\"reason\":\"binary file (it holds NUL bytes)\"}\n"),
              std::string::npos)
        << ran.out;
    EXPECT_NE(ran.out.find("{\"path\":\"d/out.txt\",\"outcome\":\"skipped\",\"changed\":0,\"bytes_before\":4,"
                           "\"bytes_after\":4,\"reason\":\"not followed: the link points outside 'd'\"}\n"),
              std::string::npos)
        << ran.out;
    EXPECT_NE(ran.err.find(", 2 skipped, 0 failed"), std::string::npos) << ran.err;
    EXPECT_EQ(readBytes(tmp.path() / "d" / "bin.dat"), std::string("foo\0bar", 7));
    EXPECT_EQ(readBytes(tmp.path() / "outside.txt"), "foo\n");

    ran = cli({"--find", "foo", "--replace", "bar", "--dry-run", "d/bin.dat"});
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_EQ(ran.out, "d/bin.dat: skipped: binary file (it holds NUL bytes)\n");
    EXPECT_EQ(tree().at((tmp.path() / "d" / "bin.dat").string()),
              before.at((tmp.path() / "d" / "bin.dat").string()));
}

// A --backup-dir used again holds the last run's manifest only: the earlier run's parts are
// gone (and a file of the user's beside them stays).
TEST_F(CliRecordTest, BackupDirUsedAgainListsTheLastRunOnly)
{
    fs::create_directories(tmp.path() / "m");
    // Each name built first: GCC 12 takes "f" + std::to_string(i) for an overlapping copy.
    auto name = [](int i) {
        std::string file = "f";
        file += std::to_string(i);
        return file;
    };
    for (int i = 0; i < 130; ++i) // two parts of the manifest
        writeBytes(tmp.path() / "m" / name(i), "foo");
    ASSERT_EQ(
        cli({"--find", "foo", "--replace", "bar", "--backup-dir", "k", "--dir", "m", "--mask", "*"}).status,
        0);
    writeBytes(tmp.path() / "k" / "manifest-notes.txt", "mine\n");
    ASSERT_EQ(cli({"--find", "foo", "--replace", "bar", "--backup-dir", "k", "d/a.txt"}).status, 0);
    EXPECT_EQ(readBytes(tmp.path() / "k" / "manifest-notes.txt"), "mine\n");
    Ran ran = cli({"--restore", "k"});
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_EQ(readBytes(tmp.path() / "d" / "a.txt"), "one foo\ntwo\nfoo three\n");
    for (int i = 0; i < 130; ++i) // not the last run's files
        EXPECT_EQ(readBytes(tmp.path() / "m" / name(i)), "bar\r\n") << i;
}

TEST_F(CliRecordTest, BackupDirAndRestoreLeaveAFileChangedSinceAlone)
{
    const auto before = tree();
    Ran ran =
        cli({"--find", "foo", "--replace", "bar", "--backup-dir", "d/keep", "--dir", "d", "--mask", "*.*"});
    ASSERT_EQ(ran.status, 0) << ran.err;
    EXPECT_EQ(readBytes(tmp.path() / "d" / "sub" / "e.txt"), "bar\r\n");
    EXPECT_TRUE(fs::exists(tmp.path() / "d" / "keep" / "manifest.txt"));
    // The pass did not take the originals it was keeping for targets.
    EXPECT_EQ(readBytes(tmp.path() / "d" / "keep" / "files" /
                        fs::relative(tmp.path() / "d" / "sub" / "e.txt", "/")),
              "foo");

    writeBytes(tmp.path() / "d" / "b.txt", "edited\n");
    ran = cli({"--restore", "d/keep"});
    EXPECT_EQ(ran.status, 1);
    EXPECT_EQ(ran.err, "vexlopro-cli: d/b.txt: changed since the run: left as it is\n");
    auto now = tree();
    for (const auto &[path, file] : before)
        if (path.find("b.txt") == std::string::npos) {
            EXPECT_EQ(now.at(path).first, file.first) << path;
        }
    EXPECT_EQ(readBytes(tmp.path() / "d" / "b.txt"), "edited\n");

    EXPECT_EQ(cli({"--restore", "d/keep", "d/a.txt"}).status, 2);
    EXPECT_EQ(cli({"--find", "a", "--dry-run", "--backup-dir", "k", "d/a.txt"}).status, 2);
}

TEST_F(CliRecordTest, TheOfficeEngineCountsReplacementsAndKeepsWhatItRewrites)
{
    const auto before = tree();
    Ran ran = cli({"--office", "--find", "foo", "--replace", "bar", "--dry-run", "--stats", "--dir", "d",
                   "--mask", "*.*"});
    ASSERT_EQ(ran.status, 0) << ran.err;
    EXPECT_NE(ran.out.find("d/a.txt: 2 replacements\n"), std::string::npos) << ran.out;
    EXPECT_NE(ran.out.find("d/sub/e.txt: 1 replacement\n"), std::string::npos) << ran.out;
    EXPECT_NE(ran.out.find("d/b.txt: unchanged\n"), std::string::npos) << ran.out;
    EXPECT_NE(ran.err.find("files would be rewritten"), std::string::npos) << ran.err;
    EXPECT_EQ(tree(), before); // bytes and modification times

    ran = cli({"--office", "--find", "foo", "--replace", "bar", "--diff", "d/a.txt"});
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_EQ(ran.out, "--- a/d/a.txt\n+++ b/d/a.txt\n@@ -1,3 +1,3 @@\n-one foo\n+one bar\n two\n-foo three\n"
                       "+bar three\n");
    EXPECT_EQ(tree(), before);

    ran = cli({"--office", "--find", "foo", "--replace", "bar", "--report", "-", "--backup-dir", "keep",
               "d/a.txt", "d/missing.txt"});
    EXPECT_EQ(ran.status, 1);
    EXPECT_EQ(ran.out.substr(0, ran.out.find('\n') + 1),
              "{\"path\":\"d/a.txt\",\"outcome\":\"rewritten\",\"changed\":2,\"bytes_before\":22,"
              "\"bytes_after\":25}\n");
    EXPECT_NE(ran.out.find("{\"path\":\"d/missing.txt\",\"outcome\":\"failed\""), std::string::npos)
        << ran.out;
    EXPECT_EQ(readBytes(tmp.path() / "d" / "a.txt"), "one bar\r\ntwo\r\nbar three\r\n");

    ran = cli({"--restore", "keep"});
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_EQ(readBytes(tmp.path() / "d" / "a.txt"), "one foo\ntwo\nfoo three\n");
}

} // namespace
