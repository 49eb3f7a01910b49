#include "support/TestSupport.h"
#include "targets/ScanDir.h"
#include "targets/SearchMask.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

using namespace vexlo;
using vexlo::test::TempDir;
namespace fs = std::filesystem;

TEST(SearchMask, MatchesNamesByStarQuestionMarkAndAsciiCase)
{
    struct Row {
        const char *mask;
        const char *name;
        bool expected;
    };
    const Row rows[] = {
        {"*.txt", "a.txt", true},     {"*.txt", "A.TXT", true},      {"*.TXT", "b.Txt", true},
        {"*.txt", "a.txt.bak", false}, {"*.txt", ".txt", true},      {"*.txt", "txt", false},
        {"*.c", "x.cpp", false},      {"*.*", "readme", true},       {"*.*", ".hidden", true},
        {"", "no_dot", true},         {"*", "a.b.c", true},          {"?.c", "a.c", true},
        {"?.c", "ab.c", false},       {"?.c", ".c", false},          {"a?c", "ac", false},
        {"a*b*c", "aXXbYYc", true},   {"a*b*c", "aXXbYY", false},    {"*ab*ab", "xabyabab", true},
        {"*a*a", "a", false},         {"file", "FILE", true},        {"file", "file1", false},
        {"readme.*", "readme", true}, {"readme.*", "readme.md", true}, {"readme.*", "readmes", false},
        {"[a].txt", "[A].txt", true}, {"[a].txt", "a.txt", false},   // no character classes
        {"\xe4*", "\xc4x", false},    {"\xe4*", "\xe4x", true},       // only a..z fold
    };
    for (const Row &row : rows)
        EXPECT_EQ(SearchMask(row.mask).matches(row.name), row.expected)
            << "mask '" << row.mask << "' name '" << row.name << "'";
}

namespace {

void makeFile(const fs::path &path) { vexlo::test::writeBytes(path, "x"); }

std::vector<std::string> scan(const std::string &dir, const std::string &mask)
{
    std::vector<std::string> out;
    VectorScanResult result(out);
    ScanDir(dir, mask, result);
    return out;
}

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
    const std::vector<std::string> expected = {
        root + "/.hd/", root + "/.hd/x", root + "/.hidden", root + "/a.txt", root + "/s/",
        root + "/s/b.txt", root + "/s/deep/", root + "/s/deep/c"};
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
              (std::vector<std::string>{root + "/alias/", root + "/broken", root + "/flink",
                                        root + "/sub/", root + "/sub/f", root + "/sub/up/"}));
}

TEST_F(ScanDirTest, AppendsAfterWhatIsAlreadyThereAndReportsEveryEntry)
{
    makeFile(tmp.path() / "a");
    fs::create_directory(tmp.path() / "s");
    makeFile(tmp.path() / "s" / "b");
    std::vector<std::string> out = {"keep", "me/"};
    VectorScanResult result(out);
    int calls = 0;
    ScanDir(root, "*", result, [&] { ++calls; });
    ASSERT_EQ(out.size(), 5u);
    EXPECT_EQ(out[0], "keep");
    EXPECT_EQ(out[1], "me/");
    EXPECT_EQ(calls, 3);
}

TEST_F(ScanDirTest, DirectoriesThatCannotBeReadContributeNothing)
{
    EXPECT_TRUE(scan(root + "/missing", "*.*").empty());
    makeFile(tmp.path() / "plain");
    EXPECT_TRUE(scan(root + "/plain", "*.*").empty());

    // A subdirectory that disappears between being found and being entered.
    fs::create_directory(tmp.path() / "gone");
    makeFile(tmp.path() / "gone" / "f");
    std::vector<std::string> out;
    VectorScanResult result(out);
    ScanDir(root, "gone", result, [&] { fs::remove_all(tmp.path() / "gone"); });
    EXPECT_EQ(out, std::vector<std::string>{root + "/gone/"});
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
