// The built vexlopro-cli run in a temporary folder: output, exit status and file bytes.
#include "support/TestSupport.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

using namespace vexlo::test;
namespace fs = std::filesystem;

namespace {

struct Outcome {
    int status = -1;
    std::string out, err;
};

class CliTest : public ::testing::Test {
  protected:
    // Runs the program in the temporary folder with `input` on standard input.
    Outcome cli(const std::vector<std::string> &args, std::string_view input = {})
    {
        const fs::path in = tmp.path() / ".stdin", out = tmp.path() / ".stdout", err = tmp.path() / ".stderr";
        writeBytes(in, input);
        std::vector<char *> argv;
        std::string program = VEXLO_CLI_PATH;
        argv.push_back(program.data());
        std::vector<std::string> copies = args;
        for (auto &a : copies)
            argv.push_back(a.data());
        argv.push_back(nullptr);

        const pid_t pid = fork();
        if (pid == 0) {
            if (chdir(tmp.path().c_str()) != 0)
                _exit(126);
            const int fdIn = open(in.c_str(), O_RDONLY);
            const int fdOut = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int fdErr = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(fdIn, 0);
            dup2(fdOut, 1);
            dup2(fdErr, 2);
            // Permissions do not stop root: tests of unreadable folders run as "nobody".
            if (unprivileged && geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
                _exit(125);
            execv(argv[0], argv.data());
            _exit(127);
        }
        Outcome outcome;
        int status = 0;
        waitpid(pid, &status, 0);
        outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        outcome.out = readBytes(out);
        outcome.err = readBytes(err);
        fs::remove(in);
        fs::remove(out);
        fs::remove(err);
        return outcome;
    }

    std::string file(const std::string &name, std::string_view bytes)
    {
        const std::string path = tmp.file(name);
        fs::create_directories(fs::path(path).parent_path());
        writeBytes(path, bytes);
        return path;
    }

    // Standard input through the program with these arguments; fails the test on a non-zero exit.
    std::string filter(std::vector<std::string> args, std::string_view input)
    {
        args.push_back("-");
        const Outcome o = cli(args, input);
        EXPECT_EQ(o.status, 0) << o.err;
        return o.out;
    }

    TempDir tmp;
    bool unprivileged = false; // run the program without root's rights
};

// The entries of --scan output, each ended by `separator`.
std::vector<std::string> entries(const std::string &out, char separator)
{
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < out.size();) {
        const std::size_t end = out.find(separator, start);
        if (end == std::string::npos) {
            ADD_FAILURE() << "the last entry has no separator";
            break;
        }
        lines.push_back(out.substr(start, end - start));
        start = end + 1;
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

bool contains(const std::string &text, std::string_view part)
{
    return text.find(part) != std::string::npos;
}

} // namespace

TEST_F(CliTest, HelpAndVersion)
{
    Outcome o = cli({"--version"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, "vexlopro-cli 0.1.0\n");
    EXPECT_EQ(cli({"-V"}).out, "vexlopro-cli 0.1.0\n");
    o = cli({"--find", "x", "--help"});
    EXPECT_EQ(o.status, 0);
    EXPECT_TRUE(contains(o.out, "--find-lines FILE")) << o.out;
    EXPECT_TRUE(contains(o.out, "Exit status:"));
    EXPECT_TRUE(contains(o.out, "Examples:"));
    EXPECT_EQ(cli({"-h"}).out, o.out);
    // The help speaks of files and lines, not of the code's names for them.
    for (const char *word : {"ReplaceInLine", "ReplaceBlock", "RewriteFile", "ScanDir", "R[",
                             "m =", "n >=", "TextOperation", "Kind::"})
        EXPECT_FALSE(contains(o.out, word)) << word;
}

TEST_F(CliTest, RewritesEveryPathInPlace)
{
    const auto a = file("a.txt", "foo foo\nbar");
    const auto b = file("b.txt", "xFOOx\r");
    const Outcome o = cli({"--find", "foo", "--replace", "baz", a, "b.txt"});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(o.err, "");
    EXPECT_BYTES_EQ("baz foo\r\nbar\r\n", readBytes(a));
    EXPECT_BYTES_EQ("xbazx\r\n", readBytes(b));
}

TEST_F(CliTest, StandardInputGoesToStandardOutput)
{
    EXPECT_BYTES_EQ("a\r\nb\r\n", filter({"--find", ""}, "a\rb\n"));
    EXPECT_BYTES_EQ("", filter({"--find", "x"}, ""));
    // Bytes pass as they are, whatever they would mean in some encoding.
    EXPECT_BYTES_EQ("\xe4-\xff\r\n", filter({"--find", "\xc4", "--replace", "\xff"}, "\xe4-\xc4\n"));
}

TEST_F(CliTest, EachOptionReachesTheEngine)
{
    struct Case {
        std::vector<std::string> args;
        const char *input, *expected;
    };
    const Case cases[] = {
        {{"--find", "abc", "--replace", "R"}, "ABC abc", "R abc\r\n"},
        {{"--find", "abc", "--replace", "R", "--match-case"}, "ABC abc", "ABC R\r\n"},
        {{"--find", "foo", "--replace", "R", "--whole-word"}, "foo a foo b", "foo a R b\r\n"},
        {{"--find", "foo", "--replace", "R", "--whole-word-right"}, "foox foo b", "foox R b\r\n"},
        {{"--find", "foo", "--replace", "R", "--whole-word-left"}, "xfoo a foob", "xfoo a Rb\r\n"},
        {{"--find", "foo", "--delete-blanks"}, "  x foo  ", "x\r\n"},
        {{"--find", "foo", "--delete-blanks-right"}, "  x foo  ", "  x\r\n"},
        {{"--find", "foo", "--delete-blanks-left"}, "  x foo  ", "x   \r\n"},
        {{"--find", "foo", "--replace", "R", "--only-delete"}, "a foo", "a R\r\n"},
        {{"--find=foo", "--replace=a=b"}, "foo", "a=b\r\n"},
    };
    for (const Case &c : cases)
        EXPECT_BYTES_EQ(c.expected, filter(c.args, c.input)) << c.args[0] << " " << c.args.back();
}

TEST_F(CliTest, ReplacementLinesTakeTheirShapeFromTheFile)
{
    file("none.txt", "");
    file("one.txt", "R\r\n");
    file("two.txt", "R1\nR2");
    EXPECT_BYTES_EQ("x  y\r\n", filter({"--find", "foo", "--replace-lines", "none.txt"}, "x foo y"));
    EXPECT_BYTES_EQ("x R y\r\n", filter({"--find", "foo", "--replace-lines", "one.txt"}, "x foo y"));
    EXPECT_BYTES_EQ("x R1\r\nR2 y\r\n", filter({"--find", "foo", "--replace-lines", "two.txt"}, "x foo y"));
}

TEST_F(CliTest, FindLinesReplacesBlocks)
{
    file("block.txt", "begin\r\nend\r\n");
    file("two.txt", "R1\nR2\n");
    const char *input = "1 begin\nend 2\nz\n";
    EXPECT_BYTES_EQ("1  2\r\nz\r\n", filter({"--find-lines", "block.txt"}, input));
    EXPECT_BYTES_EQ("1 X 2\r\nz\r\n", filter({"--find-lines", "block.txt", "--replace", "X"}, input));
    EXPECT_BYTES_EQ("1 R1\r\nR2 2\r\nz\r\n",
                    filter({"--find-lines", "block.txt", "--replace-lines", "two.txt"}, input));
}

TEST_F(CliTest, DirectoriesAreScannedWithTheMaskAndTheirFilesRewritten)
{
    const auto a = file("d1/a.txt", "foo\n");
    const auto other = file("d1/a.dat", "foo\n");
    const auto b = file("d2/sub/b.txt", "foo\n");
    const auto c = file("d3/c.txt", "foo\n");
    Outcome o =
        cli({"--dir", "d1", "--dir", "d2/sub/", "--mask", "*.TXT", "--find", "foo", "--replace", "x"});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_BYTES_EQ("x\r\n", readBytes(a));
    EXPECT_BYTES_EQ("x\r\n", readBytes(b));
    EXPECT_BYTES_EQ("foo\n", readBytes(other));
    EXPECT_BYTES_EQ("foo\n", readBytes(c));

    // "*.*" lists the subdirectory too; its line is skipped, its file rewritten once.
    o = cli({"--dir", "d2", "--mask", "*.*", "--find", "x", "--replace", "xy"});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_BYTES_EQ("xy\r\n", readBytes(b));
}

TEST_F(CliTest, ScanPrintsTheEntriesAndChangesNothing)
{
    file("d/a.txt", "foo\n");
    file("d/s.txt/b.txt", "foo\n");
    file("d/c.dat", "foo\n");
    Outcome o = cli({"--scan", "d", "--mask", "*.txt"});
    EXPECT_EQ(o.status, 0) << o.err;
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < o.out.size();) {
        const std::size_t end = o.out.find('\n', start);
        ASSERT_NE(end, std::string::npos) << "the last line has its LF";
        lines.push_back(o.out.substr(start, end - start));
        start = end + 1;
    }
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, (std::vector<std::string>{"d/a.txt", "d/s.txt/", "d/s.txt/b.txt"}));
    EXPECT_BYTES_EQ("foo\n", readBytes(tmp.file("d/a.txt")));

    o = cli({"--scan", "nowhere"});
    EXPECT_EQ(o.status, 1);
    EXPECT_TRUE(contains(o.err, "nowhere")) << o.err;
}

TEST_F(CliTest, UsageErrorsExitWithTwoAndTouchNothing)
{
    const auto target = file("t.txt", "foo\n");
    file("empty.txt", "");
    const std::vector<std::vector<std::string>> cases = {
        {"t.txt"},                                             // no operation
        {"--find", "a", "--find", "b", "t.txt"},               // operation twice
        {"--find", "a", "--find-lines", "empty.txt", "t.txt"}, // two operations
        {"--find-lines", "empty.txt", "t.txt"},                // no find line
        {"--find-lines", "missing.txt", "t.txt"},              // unreadable lines file
        {"--find", "a", "--replace", "b", "--replace-lines", "empty.txt", "t.txt"},
        {"--find", "a"},                              // no target
        {"--find", "a", "--mask", "*.txt", "t.txt"},  // mask without a directory
        {"--find", "a", "--dir", "."},                // directory without a mask
        {"--find", "a", "--dir", ".", "--mask", ""},  // empty mask
        {"--find", "a", "-", "-"},                    // standard input twice
        {"--find", "a", "--bogus", "t.txt"},          // unknown option
        {"--find", "a", "--match-case=yes", "t.txt"}, // a flag with a value
        {"--scan", ".", "--find", "a"},               // scan with an operation
        {"--find"},                                   // missing value
    };
    for (const auto &args : cases) {
        const Outcome o = cli(args);
        EXPECT_EQ(o.status, 2) << args.front() << " " << args.back();
        EXPECT_TRUE(contains(o.err, "vexlopro-cli: ")) << o.err;
        EXPECT_EQ(o.out, "");
    }
    EXPECT_BYTES_EQ("foo\n", readBytes(target));
}

TEST_F(CliTest, AFailingTargetIsReportedAndTheOthersStillProcessed)
{
    const auto a = file("a.txt", "foo\n");
    const auto locked = file("locked.txt", "foo\n");
    fs::permissions(locked, fs::perms::owner_read);
    const auto c = file("c.txt", "foo\n");
    const Outcome o = cli({"--find", "foo", "--replace", "x", a, "missing.txt", locked, "d-none", c, "--dir",
                           "nodir", "--mask", "*"});
    EXPECT_EQ(o.status, 1);
    EXPECT_BYTES_EQ("x\r\n", readBytes(a));
    EXPECT_BYTES_EQ("x\r\n", readBytes(c));
    EXPECT_BYTES_EQ("foo\n", readBytes(locked));
    for (const char *name : {"missing.txt", "locked.txt", "d-none", "nodir"})
        EXPECT_TRUE(contains(o.err, name)) << name << " in " << o.err;
    // In the order of the targets.
    EXPECT_LT(o.err.find("missing.txt"), o.err.find("locked.txt"));
    EXPECT_LT(o.err.find("d-none"), o.err.find("nodir"));
}

TEST_F(CliTest, DoubleDashEndsTheOptions)
{
    const auto dashed = file("-x.txt", "foo\n");
    const Outcome o = cli({"--find", "foo", "--replace", "y", "--", "-x.txt"});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_BYTES_EQ("y\r\n", readBytes(dashed));
}

TEST_F(CliTest, ScanSeparatesEntriesByNulOnRequest)
{
    file("d/a b.txt", "");
    file("d/line\nbreak/c", "");
    const std::vector<std::string> expected = {"d/a b.txt", "d/line\nbreak/", "d/line\nbreak/c"};
    for (const char *option : {"-0", "--null"}) {
        const Outcome o = cli({"--scan", "d", option});
        EXPECT_EQ(o.status, 0) << o.err;
        EXPECT_EQ(o.out.find('\n', 0), o.out.find("\nbreak")) << "no LF but the one in the name";
        EXPECT_EQ(entries(o.out, '\0'), expected);
    }
    const Outcome wrong = cli({"--find", "a", "-0", "d/a b.txt"});
    EXPECT_EQ(wrong.status, 2);
    EXPECT_TRUE(contains(wrong.err, "-0")) << wrong.err;
    EXPECT_TRUE(contains(cli({"--help"}).out, "-0, --null"));
}

TEST_F(CliTest, AFolderThatCannotBeReadAtAnyDepthFailsTheScanAndTheDirectoryPass)
{
    file("d/ok.txt", "foo\n");
    file("d/locked/hidden.txt", "foo\n");
    ASSERT_EQ(chmod(tmp.file("d/locked").c_str(), 0), 0);
    unprivileged = true;
    Outcome o = cli({"--scan", "d"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(entries(o.out, '\n'), (std::vector<std::string>{"d/locked/", "d/ok.txt"}));
    EXPECT_TRUE(contains(o.err, "cannot read directory 'd/locked'")) << o.err;

    o = cli({"--dir", "d", "--mask", "*.none", "--find", "foo"});
    EXPECT_EQ(o.status, 0) << "nothing matches, nothing is entered: " << o.err;
    o = cli({"--dir", "d", "--mask", "*", "--find", "zzz"});
    EXPECT_EQ(o.status, 1);
    EXPECT_TRUE(contains(o.err, "cannot read directory 'd/locked'")) << o.err;
    chmod(tmp.file("d/locked").c_str(), 0755);
}

TEST_F(CliTest, TheDirectoryPassFollowsNoLinkOutOfItsTreeAndSkipsTemporaries)
{
    const auto victim = file("outside/victim.txt", "foo\n");
    const auto inside = file("tree/real.txt", "foo\n");
    const auto deep = file("tree/sub/deep.txt", "foo\n");
    const auto temporary = file("tree/.real.txt.vexlo-Ab12Cd", "foo\n");
    fs::create_symlink("../outside/victim.txt", tmp.path() / "tree" / "link.txt");
    fs::create_symlink("../real.txt", tmp.path() / "tree" / "sub" / "up.txt"); // inside: followed
    fs::create_symlink(victim, tmp.path() / "tree" / "absolute.txt");

    Outcome o = cli({"--dir", "tree", "--mask", "*", "--find", "foo", "--replace", "bar"});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_BYTES_EQ("foo\n", readBytes(victim));
    EXPECT_BYTES_EQ("foo\n", readBytes(temporary));
    EXPECT_BYTES_EQ("bar\r\n", readBytes(inside));
    EXPECT_BYTES_EQ("bar\r\n", readBytes(deep));
    EXPECT_TRUE(contains(o.err, "tree/link.txt: not followed: the link points outside 'tree'")) << o.err;
    EXPECT_TRUE(contains(o.err, "tree/absolute.txt: not followed: the link points outside 'tree'")) << o.err;
    EXPECT_FALSE(contains(o.err, "up.txt")) << o.err;
    EXPECT_TRUE(fs::is_symlink(tmp.path() / "tree" / "link.txt"));

    // The same link given by hand is followed, and so is a tree reached through a link.
    o = cli({"--find", "foo", "--replace", "bar", "tree/link.txt"});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_BYTES_EQ("bar\r\n", readBytes(victim));
    fs::create_directory_symlink("tree", tmp.path() / "alias");
    writeBytes(deep, "foo\n");
    o = cli({"--dir", "alias/", "--mask", "*", "--find", "foo", "--replace", "baz"});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_BYTES_EQ("baz\r\n", readBytes(deep));
    EXPECT_TRUE(contains(o.err, "alias/link.txt: not followed: the link points outside 'alias/'")) << o.err;
}

TEST_F(CliTest, ControlCharactersInPathsDoNotReachTheTerminalRaw)
{
    const std::string name = "gone\x1b]0;owned\x07\x1b[2J\xc3\xa9.txt";
    const Outcome o = cli({"--find", "a", name});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err.find('\x1b'), std::string::npos) << visible(o.err);
    EXPECT_EQ(o.err.find('\x07'), std::string::npos) << visible(o.err);
    EXPECT_TRUE(contains(o.err, "gone\\x1b]0;owned\\x07\\x1b[2J\xc3\xa9.txt")) << o.err;
    EXPECT_EQ(std::count(o.err.begin(), o.err.end(), '\n'), 1) << "the path is named once";
}

TEST_F(CliTest, OfficeEngineFiltersStandardInput)
{
    EXPECT_BYTES_EQ("bar Bar BAR\r\nx\r\n",
                    filter({"--office", "--find", "foo", "--replace", "bar"}, "foo Foo FOO\nx"));
    EXPECT_BYTES_EQ("a b\r\n", filter({"--office", "--find", "a^pb", "--replace", "a b"}, "a\r\nb\r\n"));
    EXPECT_BYTES_EQ("Belinda Newman\r\n", filter({"--office", "--wildcards", "--find", "(Newman) (Belinda)",
                                                  "--replace", "\\2 \\1"},
                                                 "Newman Belinda"));
    EXPECT_BYTES_EQ("x Foo\r\n",
                    filter({"--office", "--match-case", "--find", "foo", "--replace", "x"}, "foo Foo"));
    EXPECT_BYTES_EQ("x cats\r\n",
                    filter({"--office", "--whole-word", "--find", "cat", "--replace", "x"}, "cat cats"));
    EXPECT_BYTES_EQ("joy joy\r\n",
                    filter({"--office", "--sounds-like", "--find", "fun", "--replace", "joy"}, "fun funny"));
    EXPECT_BYTES_EQ("stood\r\n",
                    filter({"--office", "--word-forms", "--find", "sit", "--replace", "stand"}, "sat"));
    // A UTF-8 text stays UTF-8; an ASCII text is Windows-1252 and is written back so.
    EXPECT_BYTES_EQ(
        "\xC3\x89T\xC3\x89!\r\n",
        filter({"--office", "--find", "\xC3\xA9", "--replace", "\xC3\x89"}, "\xC3\xA9T\xC3\xA9!"));
    EXPECT_BYTES_EQ("\xC9T\xC9!\r\n",
                    filter({"--office", "--find", "summer", "--replace", "\xC3\xA9t\xC3\xA9"}, "SUMMER!"));
}

TEST_F(CliTest, OfficeEngineRewritesFilesAndReportsFailures)
{
    const std::string a = file("a.txt", "foo\n");
    const std::string b = file("d/b.txt", "foo");
    const std::string c = file("d/c.dat", "foo");
    Outcome o = cli({"--office", "--find", "foo", "--replace", "bar", a, "missing.txt"});
    EXPECT_EQ(1, o.status);
    EXPECT_NE(std::string::npos, o.err.find("missing.txt")) << o.err;
    EXPECT_BYTES_EQ("bar\r\n", readBytes(a));
    o = cli({"--office", "--find", "foo", "--replace", "baz", "--dir", "d", "--mask", "*.txt"});
    EXPECT_EQ(0, o.status) << o.err;
    EXPECT_BYTES_EQ("baz\r\n", readBytes(b));
    EXPECT_BYTES_EQ("foo", readBytes(c));
}

TEST_F(CliTest, OfficeTextsTheEngineRefusesAreUsageErrorsBeforeAnyFile)
{
    const std::string a = file("a.txt", "foo ^y\n"), b = file("b.txt", "(x\r");
    struct Case {
        std::vector<std::string> args;
        const char *message;
    };
    for (const Case &c : std::vector<Case>{
             {{"--find", "^y"}, "^y is not a valid special character for the Find What box."},
             {{"--find", "x", "--replace", "^#"},
              "^# is not a valid special character for the Replace With box."},
             {{"--wildcards", "--find", "(x"}, "Pattern Match expression which is not valid"},
             {{"--wildcards", "--find", "x{3,1}"}, "Pattern Match expression which is not valid"},
             {{"--find", std::string(256, 'x')}, "at most 255 characters"},
         }) {
        std::vector<std::string> args{"--office"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        args.insert(args.end(), {a, b});
        const Outcome o = cli(args);
        EXPECT_EQ(2, o.status) << c.message;
        // Said once, not once per file.
        const std::size_t at = o.err.find(c.message);
        EXPECT_NE(std::string::npos, at) << o.err;
        EXPECT_EQ(std::string::npos, o.err.find(c.message, at + 1)) << o.err;
        EXPECT_FALSE(contains(o.err, "a.txt")) << o.err;
    }
    EXPECT_BYTES_EQ("foo ^y\n", readBytes(a));
    EXPECT_BYTES_EQ("(x\r", readBytes(b));
    // 255 characters are still taken, and the text engine knows no caret codes.
    EXPECT_EQ(0, cli({"--office", "--find", std::string(255, 'x'), a}).status);
    EXPECT_EQ(0, cli({"--find", "^y", "--replace", "ok", a}).status);
    EXPECT_BYTES_EQ("foo ok\r\n", readBytes(a));
}

TEST_F(CliTest, OfficeEngineUsageErrors)
{
    const std::string a = file("a.txt", "x");
    for (const std::vector<std::string> &args : std::vector<std::vector<std::string>>{
             {"--office", "--delete-blanks", "--find", "x", a},
             {"--office", "--whole-word-left", "--find", "x", a},
             {"--office", "--only-delete", "--find", "x", a},
             {"--office", "--find-lines", a, a},
             {"--office", "--find", "x", "--replace-lines", a, a},
             {"--office", "--scan", "."},
             {"--office", "--find", "x"},
             {"--office", a},
             {"--wildcards", "--find", "x", a},
             {"--sounds-like", "--find", "x", a},
         }) {
        const Outcome o = cli(args);
        EXPECT_EQ(2, o.status) << args[1];
    }
    EXPECT_BYTES_EQ("x", readBytes(a));
}

TEST_F(CliTest, BinaryFilesAreLeftAsTheyAreByBothEnginesWithoutChangingTheStatus)
{
    const std::string png("\x89PNG\r\n\x1a\n\0\0\0\rIHDR foo\n", 21);
    const std::string late = std::string(100000, 'f') + "foo\n" + std::string(1, '\0');
    const std::string utf16("\xFF\xFE"
                            "f\0o\0o\0",
                            8); // NULs, but a text this engine knows
    for (const bool office : {false, true}) {
        SCOPED_TRACE(office ? "office engine" : "text engine");
        file("d/img.png", png);
        file("d/late.log", late);
        const std::string a = file("d/a.txt", "foo\n");
        std::vector<std::string> args{"--find", "foo", "--replace", "bar", "--dir", "d", "--mask", "*"};
        if (office)
            args.insert(args.begin(), "--office");
        const Outcome o = cli(args);
        EXPECT_EQ(0, o.status) << o.err;
        EXPECT_NE(std::string::npos,
                  o.err.find("vexlopro-cli: d/img.png: skipped: binary file (it holds NUL bytes)\n"))
            << o.err;
        EXPECT_NE(std::string::npos, o.err.find("d/late.log: skipped: binary file")) << o.err;
        EXPECT_BYTES_EQ(png, readBytes(tmp.file("d/img.png")));
        EXPECT_BYTES_EQ(late, readBytes(tmp.file("d/late.log")));
        EXPECT_BYTES_EQ("bar\r\n", readBytes(a));
        EXPECT_EQ((std::vector<std::string>{"a.txt", "img.png", "late.log"}), listNames(tmp.file("d")))
            << "no temporary is left";
    }
    const std::string u = file("u.txt", utf16);
    EXPECT_EQ(0, cli({"--office", "--find", "foo", "--replace", "bar", u}).status);
    EXPECT_BYTES_EQ(std::string("\xFF\xFE"
                                "b\0a\0r\0\r\0\n\0",
                                12),
                    readBytes(u));
    // Standard input is filtered in full.
    EXPECT_BYTES_EQ(std::string("Y\0x\r\n", 5),
                    filter({"--office", "--find", "foo", "--replace", "Y"}, std::string("foo\0x", 5)));
}

TEST_F(CliTest, OfficeEngineLeavesALegacyDocAsItIsUnlessAskedForText)
{
    const std::string sample = readBytes(std::string(VEXLO_SOURCE_DIR) + "/tests/data/documents/sample.doc");
    const std::string doc = file("old.doc", sample);
    Outcome o = cli({"--office", "--find", "e", "--replace", "E", doc});
    EXPECT_EQ(0, o.status) << o.err;
    EXPECT_NE(std::string::npos,
              o.err.find(doc + ": left as it is: a legacy .doc document cannot be saved in its own format\n"))
        << o.err;
    EXPECT_BYTES_EQ(sample, readBytes(doc));
    o = cli({"--office", "--find", "e", "--replace", "E", "-"}, sample);
    EXPECT_EQ(0, o.status);
    EXPECT_BYTES_EQ(sample, o.out);
    EXPECT_NE(std::string::npos, o.err.find("-: left as it is")) << o.err;

    o = cli({"--office", "--save-as-text", "--find", "e", "--replace", "E", doc});
    EXPECT_EQ(0, o.status) << o.err;
    EXPECT_TRUE(o.err.empty()) << o.err;
    const std::string text = readBytes(doc);
    EXPECT_NE(sample.substr(0, 8), text.substr(0, 8)) << "converted to plain text";
    EXPECT_EQ(std::string::npos, text.find('\0'));
    EXPECT_EQ(2, cli({"--save-as-text", "--find", "e", doc}).status) << "an option of the office engine";
}

TEST_F(CliTest, ALinesFileThatIsNoRegularFileIsAUsageErrorNotAWait)
{
    const auto target = file("t.txt", "foo\n");
    ASSERT_EQ(::mkfifo((tmp.path() / "fifo").c_str(), 0600), 0);
    fs::create_directory(tmp.path() / "folder");
    for (const std::string lines : {"fifo", "folder"}) {
        const Outcome o = cli({"--find-lines", lines, "t.txt"});
        EXPECT_EQ(o.status, 2) << o.err;
        EXPECT_TRUE(contains(o.err, "--find-lines: cannot read '" + lines + "': ")) << o.err;
    }
    EXPECT_BYTES_EQ("foo\n", readBytes(target));
}

TEST_F(CliTest, OfficeEngineRefusesAFileOverItsCapAndNamesIt)
{
    const std::string big = file("big.txt", "");
    fs::resize_file(big, (std::uintmax_t(24) << 20) + 1);
    const Outcome o = cli({"--office", "--find", "a", "--replace", "b", big});
    EXPECT_EQ(1, o.status);
    EXPECT_NE(std::string::npos, o.err.find("big.txt': it is larger than 24 MB")) << o.err;
    EXPECT_EQ((std::uintmax_t(24) << 20) + 1, fs::file_size(big));
}

TEST_F(CliTest, OfficeStandardInputNeverGoesThroughAFile)
{
    // A temporary folder nobody may write to: standard input must not need it.
    const fs::path scratch = tmp.path() / "tmpdir";
    fs::create_directory(scratch);
    fs::permissions(scratch, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                 fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    ::setenv("TMPDIR", scratch.c_str(), 1);
    unprivileged = true;
    const Outcome o = cli({"--office", "--find", "a", "--replace", "b", "-"}, "a\n");
    ::unsetenv("TMPDIR");
    EXPECT_EQ(0, o.status) << o.err;
    EXPECT_BYTES_EQ("b\r\n", o.out);
    EXPECT_TRUE(fs::is_empty(scratch));
}
