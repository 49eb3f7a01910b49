#include "base/Error.h"
#include "base/SafeWrite.h"
#include "run/FilePipeline.h"
#include "support/TestSupport.h"
#include "targets/DirectoryPass.h"
#include "targets/FolderScan.h"
#include "targets/Gathering.h"
#include "targets/ScanDir.h"
#include "targets/SearchMask.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <functional>

using namespace vexlo;
using vexlo::test::CallbackObserver;
using vexlo::test::listNames;
using vexlo::test::readBytes;
using vexlo::test::TempDir;
using vexlo::test::writeBytes;
namespace fs = std::filesystem;

TEST(SearchMask, MatchesNamesByStarQuestionMarkAndAsciiCase)
{
    struct Row {
        const char *mask;
        const char *name;
        bool expected;
    };
    const Row rows[] = {
        {"*.txt", "a.txt", true},
        {"*.txt", "A.TXT", true},
        {"*.TXT", "b.Txt", true},
        {"*.txt", "a.txt.bak", false},
        {"*.txt", ".txt", true},
        {"*.txt", "txt", false},
        {"*.c", "x.cpp", false},
        {"*.*", "readme", true},
        {"*.*", ".hidden", true},
        {"", "no_dot", true},
        {"*", "a.b.c", true},
        {"?.c", "a.c", true},
        {"?.c", "ab.c", false},
        {"?.c", ".c", false},
        {"a?c", "ac", false},
        {"a*b*c", "aXXbYYc", true},
        {"a*b*c", "aXXbYY", false},
        {"*ab*ab", "xabyabab", true},
        {"*a*a", "a", false},
        {"file", "FILE", true},
        {"file", "file1", false},
        {"readme.*", "readme", true},
        {"readme.*", "readme.md", true},
        {"readme.*", "readmes", false},
        {"[a].txt", "[A].txt", true},
        {"[a].txt", "a.txt", false}, // no character classes
        {"\xe4*", "\xc4x", false},
        {"\xe4*", "\xe4x", true}, // only a..z fold
    };
    for (const Row &row : rows)
        EXPECT_EQ(SearchMask(row.mask).matches(row.name), row.expected)
            << "mask '" << row.mask << "' name '" << row.name << "'";
}

namespace {

void makeFile(const fs::path &path)
{
    vexlo::test::writeBytes(path, "x");
}

std::vector<std::string> scan(const std::string &dir, const std::string &mask)
{
    return ScanDir(dir, mask);
}

// Everything a scan tells its observer, in order.
class Recorder : public RunObserver {
  public:
    bool keepGoing() override
    {
        ++asked;
        if (onEntry)
            onEntry();
        return asked <= allowed;
    }
    void fileDone(const std::string &path, Outcome outcome) override
    {
        EXPECT_EQ(outcome, Outcome::Found);
        found.push_back(path);
        if (onFound)
            onFound(path);
    }
    void error(const std::string &path, const Error &e) override
    {
        errorPaths.push_back(path);
        errorTexts.push_back(e.what());
    }

    std::vector<std::string> found, errorPaths, errorTexts;
    std::size_t asked = 0, allowed = SIZE_MAX;
    std::function<void()> onEntry;
    std::function<void(const std::string &)> onFound;
};

std::vector<std::string> sorted(std::vector<std::string> v)
{
    std::sort(v.begin(), v.end());
    return v;
}

// Every directory line is followed directly by everything below it, and by nothing else.
void expectDepthFirst(const std::vector<std::string> &lines)
{
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].back() != '/')
            continue;
        std::size_t j = i + 1;
        while (j < lines.size() && lines[j].rfind(lines[i], 0) == 0)
            ++j;
        for (std::size_t k = j; k < lines.size(); ++k)
            EXPECT_NE(lines[k].rfind(lines[i], 0), 0u) << lines[k] << " not right after " << lines[i];
    }
}

class ScanDirTest : public ::testing::Test {
  protected:
    TempDir tmp;
    std::string root = tmp.path().string();
};

} // namespace

TEST_F(ScanDirTest, TrailingSlashAndEmptyMaskGiveTheWholeTreeDepthFirst)
{
    fs::create_directories(tmp.path() / "s" / "deep");
    makeFile(tmp.path() / "a.txt");
    makeFile(tmp.path() / "s" / "b.txt");
    makeFile(tmp.path() / "s" / "deep" / "c");
    makeFile(tmp.path() / ".hidden");
    fs::create_directory(tmp.path() / ".hd");
    makeFile(tmp.path() / ".hd" / "x");

    const auto withoutSlash = scan(root, "");
    EXPECT_EQ(withoutSlash, scan(root + "/", "*.*"));
    const std::vector<std::string> expected = {root + "/.hd/",    root + "/.hd/x",   root + "/.hidden",
                                               root + "/a.txt",   root + "/s/",      root + "/s/b.txt",
                                               root + "/s/deep/", root + "/s/deep/c"};
    EXPECT_EQ(sorted(withoutSlash), expected);
    expectDepthFirst(withoutSlash);
}

TEST_F(ScanDirTest, MaskFiltersDirectoriesAsItFiltersFiles)
{
    makeFile(tmp.path() / "a.txt");
    makeFile(tmp.path() / "B.TXT");
    fs::create_directory(tmp.path() / "s");
    makeFile(tmp.path() / "s" / "b.txt");
    fs::create_directory(tmp.path() / "d.txt");
    makeFile(tmp.path() / "d.txt" / "in.txt");
    makeFile(tmp.path() / "d.txt" / "in.dat");

    EXPECT_EQ(sorted(scan(root, "*.txt")),
              (std::vector<std::string>{root + "/B.TXT", root + "/a.txt", root + "/d.txt/",
                                        root + "/d.txt/in.txt"}));
}

TEST_F(ScanDirTest, LinksToDirectoriesAreListedButNotEntered)
{
    fs::create_directories(tmp.path() / "sub");
    makeFile(tmp.path() / "sub" / "f");
    fs::create_directory_symlink("..", tmp.path() / "sub" / "up"); // a loop
    fs::create_directory_symlink(tmp.path() / "sub", tmp.path() / "alias");
    fs::create_symlink("sub/f", tmp.path() / "flink");
    fs::create_symlink("nowhere", tmp.path() / "broken");

    EXPECT_EQ(sorted(scan(root, "*.*")),
              (std::vector<std::string>{root + "/alias/", root + "/broken", root + "/flink", root + "/sub/",
                                        root + "/sub/f", root + "/sub/up/"}));
}

TEST_F(ScanDirTest, AsksBeforeEveryEntryAndStopsWhenToldTo)
{
    makeFile(tmp.path() / "a");
    fs::create_directory(tmp.path() / "s");
    makeFile(tmp.path() / "s" / "b");
    makeFile(tmp.path() / "skipped.dat");
    Recorder all;
    ScanDir(root, "?", all);
    EXPECT_EQ(all.found.size(), 3u);
    EXPECT_EQ(all.asked, 3u); // only the entries the mask lets through

    Recorder stopped;
    stopped.allowed = 1;
    ScanDir(root, "?", stopped);
    EXPECT_EQ(stopped.found.size(), 1u);
    EXPECT_EQ(stopped.asked, 2u);
    EXPECT_TRUE(stopped.errorPaths.empty());
}

TEST_F(ScanDirTest, DirectoriesThatCannotBeReadContributeNothingAndAreReported)
{
    EXPECT_TRUE(scan(root + "/missing", "*.*").empty());
    makeFile(tmp.path() / "plain");
    Recorder plain;
    ScanDir(root + "/plain", "*.*", plain);
    EXPECT_TRUE(plain.found.empty());
    EXPECT_EQ(plain.errorPaths, std::vector<std::string>{root + "/plain"});
    ASSERT_EQ(plain.errorTexts.size(), 1u);
    EXPECT_EQ(plain.errorTexts[0], "cannot read directory '" + root + "/plain': Not a directory");

    // A subdirectory that disappears between being found and being entered.
    fs::create_directory(tmp.path() / "gone");
    makeFile(tmp.path() / "gone" / "f");
    Recorder gone;
    gone.onEntry = [&] { fs::remove_all(tmp.path() / "gone"); };
    ScanDir(root, "gone", gone);
    EXPECT_EQ(gone.found, std::vector<std::string>{root + "/gone/"});
    EXPECT_EQ(gone.errorPaths, std::vector<std::string>{root + "/gone"});
}

TEST_F(ScanDirTest, UnreadableSubdirectoryIsListedButContributesNothing)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "permissions do not stop root";
    fs::create_directory(tmp.path() / "locked");
    makeFile(tmp.path() / "locked" / "f");
    makeFile(tmp.path() / "z");
    chmod((tmp.path() / "locked").c_str(), 0);
    EXPECT_EQ(sorted(scan(root, "*.*")), (std::vector<std::string>{root + "/locked/", root + "/z"}));
}

namespace {

// A chain of `depth` directories "d" below `root`, each holding a file "f" (listed after or
// before its subdirectory, as the file system has it), and a file "end" at the bottom.
void makeChain(const std::string &root, int depth)
{
    const int dirFd = open(root.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(dirFd, 0);
    int fd = dirFd;
    for (int level = 0; level < depth; ++level) {
        ASSERT_EQ(mkdirat(fd, "d", 0755), 0) << level;
        const int file = openat(fd, "f", O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(file, 0);
        close(file);
        const int next = openat(fd, "d", O_RDONLY | O_DIRECTORY);
        ASSERT_GE(next, 0);
        close(fd);
        fd = next;
    }
    const int end = openat(fd, "end", O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(end, 0);
    close(end);
    close(fd);
}

// Removes a chain made by makeChain from the bottom up, without long paths and holding two
// descriptors at most (the temporary folder's own removal would need paths of any length).
void removeChain(const std::string &root, int depth)
{
    int fd = open(root.c_str(), O_RDONLY | O_DIRECTORY);
    for (int level = 0; level < depth && fd >= 0; ++level) {
        const int next = openat(fd, "d", O_RDONLY | O_DIRECTORY);
        close(fd);
        fd = next;
    }
    ASSERT_GE(fd, 0);
    unlinkat(fd, "end", 0);
    for (int level = depth; level > 0; --level) {
        const int parent = openat(fd, "..", O_RDONLY | O_DIRECTORY);
        close(fd);
        ASSERT_GE(parent, 0);
        unlinkat(parent, "f", 0);
        ASSERT_EQ(unlinkat(parent, "d", AT_REMOVEDIR), 0) << level;
        fd = parent;
    }
    close(fd);
}

// A folder for a deep chain, in memory where the system offers one (tens of thousands of
// directories on a busy disk take minutes); removed with the chain in it.
class ChainFolder {
  public:
    ChainFolder(const std::string &fallback, int depth) : m_depth(depth)
    {
        std::string pattern = "/dev/shm/vexlo-chain-XXXXXX";
        if (access("/dev/shm", W_OK) == 0 && mkdtemp(pattern.data()))
            m_path = pattern;
        else
            m_path = fallback;
        makeChain(m_path, depth);
    }
    ~ChainFolder()
    {
        removeChain(m_path, m_depth);
        if (m_path.rfind("/dev/shm/", 0) == 0)
            rmdir(m_path.c_str());
    }
    const std::string &path() const { return m_path; }

  private:
    std::string m_path;
    int m_depth;
};

// Counts what a scan lists and checks the order as it goes: each directory line comes
// directly before its contents, so the path only ever grows by one level at a time.
class ChainCounter : public RunObserver {
  public:
    void fileDone(const std::string &path, Outcome) override
    {
        if (!path.empty() && path.back() == '/') {
            ++directories;
            EXPECT_EQ(path.size(), lastDirectory.size() + 2) << "depth " << directories;
            lastDirectory = path;
        } else {
            ++files;
            EXPECT_EQ(path.compare(0, lastDirectory.size(), lastDirectory) == 0 ||
                          path.size() < lastDirectory.size(),
                      true);
            if (path.size() >= 4 && path.compare(path.size() - 4, 4, "/end") == 0)
                sawEnd = path.size() == lastDirectory.size() + 3;
        }
    }
    void error(const std::string &path, const Error &e) override
    {
        ADD_FAILURE() << path.size() << ": " << e.what();
    }

    std::string lastDirectory;
    std::size_t directories = 0, files = 0;
    bool sawEnd = false;
};

} // namespace

TEST_F(ScanDirTest, ATreeDeeperThanTheOpenFileLimitIsListedWhole)
{
    constexpr int Depth = 5000;
    const ChainFolder chain(root, Depth);
    // The scan runs in a child whose open-file limit is 256; it reports through its exit code.
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        const rlimit limit{256, 256};
        if (setrlimit(RLIMIT_NOFILE, &limit) != 0)
            _exit(3);
        ChainCounter counter;
        counter.lastDirectory = chain.path() + "/";
        ScanDir(chain.path(), "*", counter);
        const bool whole = counter.directories == Depth && counter.files == Depth + 1 && counter.sawEnd;
        _exit(::testing::Test::HasFailure() ? 2 : whole ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status)) << "the scan crashed";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: entries missing, 2: wrong order or an error, 3: no limit";
}

TEST_F(ScanDirTest, AVeryDeepTreeDoesNotExhaustTheStack)
{
    constexpr int Depth = 30000;
    const ChainFolder chain(root, Depth);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ChainCounter counter;
        counter.lastDirectory = chain.path() + "/";
        ScanDir(chain.path(), "*", counter);
        _exit(counter.directories == Depth && counter.sawEnd && !::testing::Test::HasFailure() ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status)) << "the scan crashed";
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

// Calls `visit` with each level's descriptor of a chain made by makeChain, top first, without
// long paths.
void walkChain(const std::string &root, int depth, const std::function<void(int fd, int level)> &visit)
{
    int fd = open(root.c_str(), O_RDONLY | O_DIRECTORY);
    for (int level = 0; fd >= 0; ++level) {
        visit(fd, level);
        const int next = level < depth ? openat(fd, "d", O_RDONLY | O_DIRECTORY) : -1;
        close(fd);
        fd = next;
    }
}

TEST_F(ScanDirTest, EveryFileOfATreeDeeperThanAPathCanNameIsListedAndRewritten)
{
    // 2,500 levels: the paths of the lower half are longer than PATH_MAX.
    constexpr int Depth = 2500;
    const ChainFolder chain(root, Depth);
    walkChain(chain.path(), Depth, [](int fd, int level) {
        const int file = openat(fd, level < Depth ? "f" : "end", O_WRONLY | O_TRUNC);
        ASSERT_GE(file, 0) << level;
        ASSERT_EQ(write(file, "foo\n", 4), 4);
        close(file);
    });

    std::vector<std::string> listed;
    CallbackObserver failures;
    failures.onError = [](const std::string &path, const Error &e) {
        const std::string what = e.what(); // the reason, without a path of thousands of bytes
        ADD_FAILURE() << "a path of " << path.size() << " bytes: " << what.substr(what.rfind("': ") + 3);
    };
    ScanForDirectoryPass(chain.path(), "*", listed, failures);
    std::vector<std::string> files;
    for (const std::string &path : listed)
        if (path.back() != '/')
            files.push_back(path);
    ASSERT_EQ(files.size(), std::size_t(Depth + 1));
    // The files alone, as the command line keeps them: the directory lines would take memory
    // that grows with the square of the depth.
    std::vector<std::string> alone;
    ScanForDirectoryPass(chain.path(), "*", alone, failures, false);
    EXPECT_EQ(alone, files);
    ASSERT_GT(files.back().size(), std::size_t(PATH_MAX));

    TextOperation op;
    op.find = "foo";
    op.inLine = InLineReplacement::OneString("bar");
    PipelineOptions options;
    options.stopAtFirstError = false;
    const std::vector<std::string> roots(files.size(), chain.path());
    options.heldRoots = &roots;
    const PipelineResult result = RewriteFiles(files, op, options, failures);
    EXPECT_EQ(result.rewritten, files.size());
    int rewritten = 0;
    walkChain(chain.path(), Depth, [&](int fd, int level) {
        char bytes[16] = {};
        const int file = openat(fd, level < Depth ? "f" : "end", O_RDONLY);
        ASSERT_GE(file, 0) << level;
        const ssize_t got = read(file, bytes, sizeof bytes);
        close(file);
        rewritten += std::string(bytes, std::size_t(std::max<ssize_t>(got, 0))) == "bar\r\n";
    });
    EXPECT_EQ(rewritten, Depth + 1);
}

TEST_F(ScanDirTest, DeepDirectoriesMovedDuringTheScanAreFoundAgainOrLeftAlone)
{
    // Twenty levels, then two subdirectories: when the first of them is done, the scan has to
    // find their parent again, which gave its descriptor up.
    std::string bottom = root;
    for (int i = 0; i < 20; ++i)
        bottom += "/d";
    const std::string prefix = bottom + "/";
    for (const char *name : {"a/x", "b/y"}) {
        fs::create_directories(fs::path(prefix + name).parent_path());
        makeFile(prefix + name);
    }
    EXPECT_EQ(scan(root, "*").size(), 20u + 4u);

    const auto firstChild = [&](const std::string &file) {
        const bool inChild = file.back() != '/' && file.compare(0, prefix.size(), prefix) == 0;
        return inChild ? file.substr(prefix.size(), 1) : std::string();
    };
    {
        // The first child moves out of the tree: its ".." is no longer the parent, so the
        // parent is found again by name, and the second child is listed all the same.
        Recorder moved;
        std::string first;
        moved.onFound = [&](const std::string &path) {
            if (first.empty() && !(first = firstChild(path)).empty())
                fs::rename(prefix + first, root + "/moved");
        };
        ScanDir(root, "*", moved);
        ASSERT_FALSE(first.empty());
        const std::string second = first == "a" ? "b" : "a";
        EXPECT_EQ(std::count(moved.found.begin(), moved.found.end(), prefix + second + "/"), 1);
        EXPECT_EQ(moved.found.size(), 20u + 4u);
        EXPECT_TRUE(moved.errorPaths.empty());
        fs::rename(root + "/moved", prefix + first);
    }
    {
        // The parent itself is replaced by another directory: the scan goes on in the one it
        // read and never enters the newcomer.
        Recorder replaced;
        std::string first;
        replaced.onFound = [&](const std::string &path) {
            if (first.empty() && !(first = firstChild(path)).empty()) {
                fs::rename(bottom, root + "/elsewhere");
                fs::create_directories(prefix + (first == "a" ? "b" : "a") + "/intruder");
            }
        };
        ScanDir(root, "*", replaced);
        ASSERT_FALSE(first.empty());
        EXPECT_EQ(replaced.found.size(), 20u + 4u);
        for (const std::string &line : replaced.found)
            EXPECT_EQ(line.find("intruder"), std::string::npos) << line;
    }
}

TEST(IsTemporaryName, KnowsTheRewritesTemporariesAndNothingElse)
{
    for (const char *name : {".a.txt.vexlo-Ab12Cd", "..bashrc.vexlo-Qw8Er7Ty", ".x.vexlo-abcdef"})
        EXPECT_TRUE(IsTemporaryName(name)) << name;
    for (const char *name : {"a.txt.vexlo-Ab12Cd", ".vexlo-Ab12Cd", ".a.txt.vexlo-Ab1", ".a.txt.vexlo-Ab12C!",
                             ".a.txt.vexlo-", ".a.txt", "a.txt"})
        EXPECT_FALSE(IsTemporaryName(name)) << name;
}

TEST(TreeBoundary, JudgesLinksByWhereTheyFinallyLead)
{
    TempDir tmp;
    const std::string tree = tmp.file("tree");
    fs::create_directories(tmp.path() / "tree" / "sub");
    fs::create_directories(tmp.path() / "treeish");
    makeFile(tmp.path() / "tree" / "in.txt");
    makeFile(tmp.path() / "treeish" / "out.txt");
    makeFile(tmp.path() / "outside.txt");
    fs::create_symlink("in.txt", tmp.path() / "tree" / "near");
    fs::create_symlink("../in.txt", tmp.path() / "tree" / "sub" / "up");
    fs::create_symlink("../outside.txt", tmp.path() / "tree" / "far");
    fs::create_symlink("../treeish/out.txt",
                       tmp.path() / "tree" / "prefix");       // "tree" is a prefix of "treeish"
    fs::create_symlink("far", tmp.path() / "tree" / "chain"); // inside, to a link outside
    fs::create_symlink("nowhere", tmp.path() / "tree" / "dangling");

    const TreeBoundary boundary(tree + "/");
    EXPECT_FALSE(boundary.leadsOutside(tree + "/in.txt"));
    EXPECT_FALSE(boundary.leadsOutside(tree + "/near"));
    EXPECT_FALSE(boundary.leadsOutside(tree + "/sub/up"));
    EXPECT_TRUE(boundary.leadsOutside(tree + "/far"));
    EXPECT_TRUE(boundary.leadsOutside(tree + "/prefix"));
    EXPECT_TRUE(boundary.leadsOutside(tree + "/chain"));
    EXPECT_FALSE(boundary.leadsOutside(tree + "/dangling"));
    EXPECT_EQ(boundary.outsideReason(), "not followed: the link points outside '" + tree + "/'");

    // A tree reached through a link is judged by where it lies.
    fs::create_directory_symlink("tree", tmp.path() / "alias");
    EXPECT_FALSE(TreeBoundary(tmp.file("alias")).leadsOutside(tmp.file("alias/near")));
    EXPECT_TRUE(TreeBoundary(tmp.file("alias")).leadsOutside(tmp.file("alias/far")));
    EXPECT_FALSE(TreeBoundary("/").leadsOutside(tree + "/far"));
}

TEST(EscapeControls, KeepsPrintableTextAndShowsControlBytes)
{
    EXPECT_EQ(EscapeControls("plain/path name.txt"), "plain/path name.txt");
    EXPECT_EQ(EscapeControls("caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80"),
              "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80");
    EXPECT_EQ(EscapeControls("a\x1b[31mb\x07\r\n\x7f"), "a\\x1b[31mb\\x07\\x0d\\x0a\\x7f");
    EXPECT_EQ(EscapeControls(std::string_view("\0x", 2)), "\\x00x");
    // C1 controls, lone and truncated sequences, overlong forms: every byte shown.
    EXPECT_EQ(EscapeControls("\xc2\x9b"
                             "1m"),
              "\\xc2\\x9b1m");
    EXPECT_EQ(EscapeControls("\x9b"
                             "2J"),
              "\\x9b2J");
    EXPECT_EQ(EscapeControls("\xe2\x82"), "\\xe2\\x82");
    EXPECT_EQ(EscapeControls("\xc0\xaf"), "\\xc0\\xaf");
    EXPECT_EQ(EscapeControls("caf\xe9"), "caf\\xe9"); // a Latin-1 name
    const std::string once = EscapeControls("x\x1by\xff");
    EXPECT_EQ(EscapeControls(once), once);
    EXPECT_EQ(IoError("read", "bad\x1b]0;t\x07", 2).what(),
              std::string("cannot read 'bad\\x1b]0;t\\x07': No such file or directory"));
    EXPECT_EQ(IoError("read", "bad\x1b", 2).path(), "bad\x1b");
}

namespace {

// The tree of the two-phase scan: F/a.txt, F/s/b.txt, F/s/t/c.txt, F/s.txt/d.txt, F/link -> /.
struct TwoPhaseTree {
    TempDir tmp;
    std::string root = tmp.path().string();
    TwoPhaseTree()
    {
        fs::create_directories(tmp.path() / "s" / "t");
        fs::create_directories(tmp.path() / "s.txt");
        vexlo::test::writeBytes(tmp.path() / "a.txt", "a");
        vexlo::test::writeBytes(tmp.path() / "s" / "b.txt", "b");
        vexlo::test::writeBytes(tmp.path() / "s" / "t" / "c.txt", "c");
        vexlo::test::writeBytes(tmp.path() / "s.txt" / "d.txt", "d");
        fs::create_directory_symlink("/", tmp.path() / "link");
    }
    std::string f(const std::string &name) const { return root + "/" + name; }
};

std::vector<std::string> Sorted(std::vector<std::string> v)
{
    std::sort(v.begin(), v.end());
    return v;
}

} // namespace

TEST(ScanFolder, WithoutSubfoldersScansTheFolderOnlyAndEmptiesTheWorkLists)
{
    TwoPhaseTree tree;
    FolderScanLists lists{{"stale"}, {"stale"}};
    std::vector<std::string> found;
    CallbackObserver observer;
    observer.onDone = [&](const std::string &path) { found.push_back(path); };
    ScanFolder(tree.root, "*.txt", false, observer, lists);
    // s.txt matches the mask, so ScanDir lists it and its file.
    EXPECT_EQ(Sorted(found),
              (std::vector<std::string>{tree.f("a.txt"), tree.f("s.txt/"), tree.f("s.txt/d.txt")}));
    EXPECT_TRUE(lists.tree.empty());
    EXPECT_TRUE(lists.subdirectories.empty());
}

TEST(ScanFolder, WithSubfoldersScansEveryFolderOfTheTreeAgainButNoLinkedOne)
{
    TwoPhaseTree tree;
    FolderScanLists lists;
    std::vector<std::string> found;
    CallbackObserver observer;
    observer.onDone = [&](const std::string &path) { found.push_back(path); };
    ScanFolder(tree.root, "*.txt", true, observer, lists);
    EXPECT_EQ(
        Sorted(lists.tree),
        (std::vector<std::string>{tree.f("a.txt"), tree.f("link/"), tree.f("s.txt/"), tree.f("s.txt/d.txt"),
                                  tree.f("s/"), tree.f("s/b.txt"), tree.f("s/t/"), tree.f("s/t/c.txt")}));
    // The link to "/" is in the tree but never scanned; the folders keep the tree's order.
    EXPECT_EQ(Sorted(lists.subdirectories),
              (std::vector<std::string>{tree.f("s.txt/"), tree.f("s/"), tree.f("s/t/")}));
    std::vector<std::string> expectedOrder;
    for (const std::string &line : lists.tree)
        if (line.back() == '/' && line != tree.f("link/"))
            expectedOrder.push_back(line);
    EXPECT_EQ(lists.subdirectories, expectedOrder);
    // Phase one, then each folder's own scan: a file under a matching folder comes twice.
    EXPECT_EQ(Sorted(found),
              (std::vector<std::string>{tree.f("a.txt"), tree.f("s.txt/"), tree.f("s.txt/d.txt"),
                                        tree.f("s.txt/d.txt"), tree.f("s/b.txt"), tree.f("s/t/c.txt")}));
}

TEST(ScanFolder, AStopEndsTheWholeScan)
{
    TwoPhaseTree tree;
    FolderScanLists lists;
    int asked = 0, done = 0;
    CallbackObserver observer;
    observer.onKeepGoing = [&] { return ++asked <= 3; };
    observer.onDone = [&](const std::string &) { ++done; };
    ScanFolder(tree.root, "*.*", true, observer, lists);
    EXPECT_EQ(done, 3);
    EXPECT_EQ(asked, 4); // no phase asks again after the stop
    EXPECT_TRUE(lists.subdirectories.empty());
}

TEST(ScanFolder, TheTreeListingReportsNoErrorsOfItsOwn)
{
    // A folder that cannot be read: its error comes once, from the scan with the mask.
    TempDir tmp;
    FolderScanLists lists;
    std::vector<std::string> errors;
    CallbackObserver observer;
    observer.onError = [&](const std::string &path, const Error &) { errors.push_back(path); };
    ScanFolder(tmp.file("missing"), "*.txt", true, observer, lists);
    EXPECT_EQ(errors, std::vector<std::string>{tmp.file("missing")});
    EXPECT_TRUE(lists.tree.empty());
    EXPECT_TRUE(lists.subdirectories.empty());
}

// The gathering windows' work: what a folder shows, the gathered tree, the checked entries.

TEST(Gathering, FolderShowsItsNonDirectoriesSortedByBytesDanglingLinksIncluded)
{
    TempDir dir;
    writeBytes(dir.path() / "b.txt", "b");
    writeBytes(dir.path() / "a.txt", "a");
    writeBytes(dir.path() / "\xff.bin", "not UTF-8");
    fs::create_directory(dir.path() / "sub");
    fs::create_symlink("sub", dir.path() / "to-sub");       // a folder: not shown
    fs::create_symlink("nowhere", dir.path() / "dangling"); // shown as a file
    EXPECT_EQ(FileNamesIn(dir.path().string()),
              (std::vector<std::string>{"a.txt", "b.txt", "dangling", "\xff.bin"}));
    EXPECT_TRUE(FileNamesIn(dir.file("missing")).empty());
    EXPECT_TRUE(FileNamesIn(dir.file("a.txt")).empty());
}

TEST(Gathering, TreeIsSavedAndItsFoldersGatheredWithoutFolderLinks)
{
    TempDir dir;
    const std::string root = dir.file("root") + "/";
    fs::create_directories(dir.path() / "root" / "a" / "b");
    fs::create_directory(dir.path() / "root" / "line\nbreak");
    writeBytes(dir.path() / "root" / "f.txt", "x");
    fs::create_symlink("/", dir.path() / "root" / "to-root");
    fs::create_directory(dir.path() / "program");
    const std::string scanFile = dir.file("program/" + std::string(ScanFileName));

    int paces = 0;
    GatheredTree tree = GatherTree(root, scanFile, [&paces] { ++paces; });
    std::vector<std::string> folders = tree.directories;
    std::sort(folders.begin(), folders.end());
    EXPECT_EQ(folders, (std::vector<std::string>{root + "a/", root + "a/b/", root + "line\nbreak/"}));
    EXPECT_EQ(tree.skippedLinks, 1u);
    EXPECT_TRUE(tree.saveError.empty());
    EXPECT_GE(paces, 5); // once per entry: the window lets events in meanwhile
    // The whole scan went to the file, folder links and files included, one line each.
    const std::string saved = readBytes(scanFile);
    for (const std::string &line : {root + "f.txt", root + "to-root/", root + "a/b/"})
        EXPECT_NE(saved.find(line), std::string::npos) << line;

    // A file that cannot be written: said why, the folders gathered all the same.
    const GatheredTree unsaved =
        GatherTree(root, dir.file("no-such-folder/" + std::string(ScanFileName)), {});
    EXPECT_FALSE(unsaved.saveError.empty());
    EXPECT_NE(unsaved.saveError.find("no-such-folder"), std::string::npos) << unsaved.saveError;
    EXPECT_EQ(unsaved.directories.size(), 3u);
    EXPECT_EQ(unsaved.skippedLinks, 1u);
    EXPECT_EQ(listNames(dir.path()), (std::vector<std::string>{"program", "root"})); // nothing left behind
}

TEST(Gathering, CheckedOrUncheckedEntriesKeepTheirOrder)
{
    const std::vector<TargetEntry> entries{{"c/", true}, {"a/", false}, {"b/", true}, {"d/", false}};
    EXPECT_EQ(PathsOf(entries, true), (std::vector<std::string>{"c/", "b/"}));
    EXPECT_EQ(PathsOf(entries, false), (std::vector<std::string>{"a/", "d/"}));
    EXPECT_TRUE(PathsOf({}, true).empty());
}

TEST(Gathering, CheckedFoldersAreScannedWithTheMaskInTheirOrder)
{
    TempDir dir;
    fs::create_directories(dir.path() / "one");
    fs::create_directories(dir.path() / "two");
    writeBytes(dir.path() / "one" / "x.txt", "x");
    writeBytes(dir.path() / "one" / "x.bin", "x");
    writeBytes(dir.path() / "two" / "y.txt", "y");
    const std::string one = dir.file("one") + "/", two = dir.file("two") + "/";
    int paces = 0;
    const std::vector<std::string> found =
        ScanDirectories({two, dir.file("missing") + "/", one}, "*.txt", [&paces] { ++paces; });
    EXPECT_EQ(found, (std::vector<std::string>{two + "y.txt", one + "x.txt"}));
    EXPECT_GT(paces, 0); // the window lets events in meanwhile
}

TEST(Gathering, FolderNamesForTheListAndTheSettings)
{
    EXPECT_EQ(WithTrailingSeparator("/home/a"), "/home/a/");
    EXPECT_EQ(WithTrailingSeparator("/home/a/"), "/home/a/");
    EXPECT_EQ(WithTrailingSeparator("/"), "/");
    EXPECT_EQ(WithTrailingSeparator(""), "/");
    EXPECT_TRUE(StorableDirectory("/home/a b"));
    EXPECT_FALSE(StorableDirectory("/home/a\nb"));
    EXPECT_FALSE(StorableDirectory("/home/a\rb"));
}
