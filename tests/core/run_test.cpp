// The run driver over temporary folders: branch choice, the passes, stops and failures.
#include "base/Error.h"
#include "base/SafeWrite.h"
#include "run/FilePipeline.h"
#include "run/RunDriver.h"
#include "support/TestSupport.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>

using namespace vexlo;
using namespace vexlo::test;
namespace fs = std::filesystem;

namespace {

// "f<i>" and an extension, built without operator+ (which GCC 12 warns about wrongly here).
std::string numbered(int i, const char *extension = ".txt")
{
    std::string name = "f";
    name += std::to_string(i);
    name += extension;
    return name;
}

class RecordingObserver : public RunObserver {
  public:
    void message(const std::string &text) override { messages.push_back(text); }
    bool keepGoing() override
    {
        ++scanCalls;
        if (onScan)
            onScan();
        return true;
    }
    void fileDone(const std::string &path, Outcome outcome) override
    {
        if (outcome == Outcome::Skipped) {
            skipped.push_back(path);
            return;
        }
        if (outcome == Outcome::Found)
            return;
        done.push_back(path);
        if (onDone)
            onDone(path);
    }
    void error(const std::string &path, const Error &e) override
    {
        errorPaths.push_back(path);
        errorTexts.push_back(e.what());
    }

    std::vector<std::string> messages, done, skipped, errorPaths, errorTexts;
    int scanCalls = 0;
    std::function<void()> onScan;
    std::function<void(const std::string &)> onDone;
};

class RunTest : public ::testing::Test {
  protected:
    RunTest() : folder(tmp.path() / "program")
    {
        fs::create_directory(folder.dir());
        writeBytes(folder.file("vexlopro.ini"), "[Add_File_Procedure]\r\nWhatToFindHistory=9\r\n"
                                                "ReplaceWithHistory=3\r\nWhatToFindMultiLine=0\r\n"
                                                "ReplaceWithMultiLine=5\r\n");
    }

    // A file in the temporary folder with the given bytes; returns its path.
    std::string file(const std::string &name, std::string_view bytes)
    {
        const std::string path = tmp.file(name);
        fs::create_directories(fs::path(path).parent_path());
        writeBytes(path, bytes);
        return path;
    }

    RunResult run() { return RunReplace(request, folder, flag, observer); }

    TempDir tmp;
    ProgramFolder folder;
    RunRequest request;
    RunFlag flag;
    RecordingObserver observer;
};

} // namespace

TEST(ChooseBranch, CoversEveryCombination)
{
    using E = EngineKind;
    using I = InputTab;
    using T = TargetTab;
    using B = Branch;
    struct Row {
        E e;
        I i;
        T t;
        B expected;
    };
    const Row rows[] = {
        {E::Text, I::OneLine, T::FileList, B::TextFileList},
        {E::Text, I::OneLine, T::DirectoryList, B::TextDirectoryList},
        {E::Text, I::OneLine, T::Text, B::Nothing},
        {E::Text, I::MultiLine, T::FileList, B::TextMultiLine},
        {E::Text, I::MultiLine, T::DirectoryList, B::TextMultiLine},
        {E::Text, I::MultiLine, T::Text, B::Nothing},
        {E::Text, I::RealTime, T::FileList, B::TextRealTime},
        {E::Text, I::RealTime, T::DirectoryList, B::TextRealTime},
        {E::Text, I::RealTime, T::Text, B::TextRealTime},
        {E::Office, I::OneLine, T::FileList, B::OfficeFileList},
        {E::Office, I::OneLine, T::DirectoryList, B::OfficeDirectoryList},
        {E::Office, I::OneLine, T::Text, B::Nothing},
        {E::Office, I::MultiLine, T::FileList, B::Nothing},
        {E::Office, I::MultiLine, T::DirectoryList, B::Nothing},
        {E::Office, I::MultiLine, T::Text, B::Nothing},
        {E::Office, I::RealTime, T::FileList, B::OfficeRealTime},
        {E::Office, I::RealTime, T::DirectoryList, B::OfficeRealTime},
        {E::Office, I::RealTime, T::Text, B::OfficeRealTime},
    };
    for (const Row &row : rows)
        EXPECT_EQ(ChooseBranch(row.e, row.i, row.t), row.expected)
            << int(row.e) << " " << int(row.i) << " " << int(row.t);
}

TEST(MemoLines, CountsLinesAsTheBoxDoes)
{
    EXPECT_EQ(MemoLines(""), Lines{});
    EXPECT_EQ(MemoLines("a"), Lines{"a"});
    EXPECT_EQ(MemoLines("a\r\n"), Lines{"a"});
    EXPECT_EQ(MemoLines("\r\n"), Lines{""});
    EXPECT_EQ(MemoLines("a\r\n\r\n"), (Lines{"a", ""}));
    EXPECT_EQ(MemoLines("a\nb\rc\r\nd"), (Lines{"a", "b", "c", "d"}));
    EXPECT_EQ(MemoLines("a\r\r\n"), (Lines{"a", ""}));
}

TEST(MemoLines, GiveBackEveryLineOfTheJoin)
{
    for (const Lines &lines :
         {Lines{}, Lines{""}, Lines{"", ""}, Lines{"a", ""}, Lines{"a", "", "b"}, Lines{"a"}}) {
        EXPECT_EQ(MemoLines(JoinLines(lines, "\n")), lines);
        EXPECT_EQ(MemoLines(JoinLines(lines)), lines);
    }
    EXPECT_EQ(JoinLines(Lines{"a", ""}, "\n"), "a\n\n");
}

TEST_F(RunTest, FileListRewritesCheckedEntriesInOrder)
{
    const auto a = file("a.txt", "foo foo\nbar\n");
    const auto b = file("b.txt", "Foo");
    const auto skipped = file("c.txt", "foo\n");
    request.oneLineFind = "foo";
    request.oneLineReplace = "X";
    request.fileList = {{a, true}, {skipped, false}, {b, true}};

    const RunResult result = run();
    EXPECT_EQ(result.branch, Branch::TextFileList);
    EXPECT_FALSE(result.failed);
    EXPECT_EQ(result.filesRewritten, 2u);
    EXPECT_EQ(observer.done, (std::vector<std::string>{a, b}));
    EXPECT_BYTES_EQ("X foo\r\nbar\r\n", readBytes(a));
    EXPECT_BYTES_EQ("X\r\n", readBytes(b));
    EXPECT_BYTES_EQ("foo\n", readBytes(skipped));
    EXPECT_TRUE(observer.messages.empty());
}

TEST_F(RunTest, EmptyFindRewritesLineBreaksOnly)
{
    const auto a = file("a.txt", "one\rtwo\nthree");
    const auto empty = file("e.txt", "");
    request.fileList = {{a, true}, {empty, true}};
    run();
    EXPECT_BYTES_EQ("one\r\ntwo\r\nthree\r\n", readBytes(a));
    EXPECT_BYTES_EQ("", readBytes(empty));
}

TEST_F(RunTest, MultiLineFollowsTheFindAndReplaceLineCounts)
{
    struct Case {
        const char *memo1, *memo2, *expected;
    };
    const std::string original = "a foo b\nbegin\nend x\n";
    const Case cases[] = {
        {"foo", "", "a  b\r\nbegin\r\nend x\r\n"},           // f = 1, r = 0
        {"foo\r\n", "R\r\n", "a R b\r\nbegin\r\nend x\r\n"}, // f = 1, r = 1
        {"foo", "R1\r\nR2", original.c_str()},               // f = 1, r = 2: untouched
        {"begin\r\nend", "", "a foo b\r\n x\r\n"},           // f = 2, r = 0
        {"begin\r\nend", "Y", "a foo b\r\nY x\r\n"},         // f = 2, r = 1
        {"begin\nend", "Y\nZ", "a foo b\r\nY\r\nZ x\r\n"},   // f = 2, r = 2
    };
    for (const Case &c : cases) {
        const auto path = file("m.txt", original);
        request = RunRequest{};
        request.inputTab = InputTab::MultiLine;
        request.targetTab = TargetTab::DirectoryList; // still the file list
        request.multiLineFind = c.memo1;
        request.multiLineReplace = c.memo2;
        request.fileList = {{path, true}};
        request.directoryList = {{tmp.path().string(), true}};
        request.mask = "*.*";
        run();
        EXPECT_BYTES_EQ(c.expected, readBytes(path)) << c.memo1 << " / " << c.memo2;
    }
    EXPECT_TRUE(observer.messages.empty());
    EXPECT_FALSE(fs::exists(folder.file("a.txt"))); // the directories were not scanned
}

TEST_F(RunTest, MultiLineWithoutFindLinesAsksWhatToFind)
{
    const auto path = file("m.txt", "x\n");
    request.inputTab = InputTab::MultiLine;
    request.multiLineReplace = "R";
    request.fileList = {{path, true}};
    run();
    EXPECT_EQ(observer.messages, std::vector<std::string>{"What to find?"});
    EXPECT_BYTES_EQ("x\n", readBytes(path));
}

TEST_F(RunTest, DirectoryPassListsAndRewritesMatchesOfEachDirectoryInOrder)
{
    const auto first = file("d1/one.txt", "foo\n");
    const auto other = file("d1/other.dat", "foo\n");
    const auto second = file("d2/two.txt", "foo\n");
    const auto unchecked = file("d3/three.txt", "foo\n");
    request.targetTab = TargetTab::DirectoryList;
    request.oneLineFind = "foo";
    request.oneLineReplace = "bar";
    request.mask = "*.txt";
    request.directoryList = {{tmp.file("d2"), true}, {tmp.file("d3"), false}, {tmp.file("d1") + "/", true}};

    const RunResult result = run();
    EXPECT_EQ(result.targetPaths, (std::vector<std::string>{second, first}));
    EXPECT_BYTES_EQ(second + "\r\n" + first + "\r\n", readBytes(folder.file("a.txt")));
    EXPECT_BYTES_EQ("bar\r\n", readBytes(first));
    EXPECT_BYTES_EQ("bar\r\n", readBytes(second));
    EXPECT_BYTES_EQ("foo\n", readBytes(other));
    EXPECT_BYTES_EQ("foo\n", readBytes(unchecked));
}

TEST_F(RunTest, DirectoryPassWithEmptyMaskShowsTheMessageAndChangesNothing)
{
    const auto path = file("d/one.txt", "foo\n");
    request.targetTab = TargetTab::DirectoryList;
    request.oneLineFind = "foo";
    request.directoryList = {{tmp.file("d"), true}};
    run();
    EXPECT_EQ(observer.messages, std::vector<std::string>{"Please select mask! and after try again."});
    EXPECT_FALSE(fs::exists(folder.file("a.txt")));
    EXPECT_BYTES_EQ("foo\n", readBytes(path));

    // No checked directory: an empty "a.txt" and nothing else, even without a mask.
    writeBytes(folder.file("a.txt"), "old\r\n");
    request.directoryList[0].checked = false;
    observer.messages.clear();
    run();
    EXPECT_TRUE(observer.messages.empty());
    EXPECT_BYTES_EQ("", readBytes(folder.file("a.txt")));
}

TEST_F(RunTest, DirectoryLinesOfTheScanAreSkipped)
{
    const auto top = file("d/top.txt", "a\n");
    const auto inner = file("d/sub/inner.txt", "a\n");
    request.targetTab = TargetTab::DirectoryList;
    request.mask = "*.*";
    request.directoryList = {{tmp.file("d"), true}};
    const RunResult result = run();
    EXPECT_FALSE(result.failed);
    EXPECT_TRUE(observer.errorPaths.empty());
    EXPECT_EQ(result.targetPaths.size(), 3u); // the directory line included
    EXPECT_EQ(result.filesRewritten, 2u);
    EXPECT_BYTES_EQ("a\r\n", readBytes(top));
    EXPECT_BYTES_EQ("a\r\n", readBytes(inner));
}

TEST_F(RunTest, DirectoryPassFollowsNoLinkOutOfItsTreeAndSkipsTemporaries)
{
    const auto victim = file("outside/victim.txt", "foo\n");
    const auto real = file("tree/real.txt", "foo\n");
    const auto temporary = file("tree/.real.txt.vexlo-Xy12Zw", "foo\n");
    const std::string link = tmp.file("tree/link.txt");
    fs::create_symlink("../outside/victim.txt", link);
    fs::create_symlink("real.txt", tmp.file("tree/inner.txt")); // inside the tree: followed
    request.targetTab = TargetTab::DirectoryList;
    request.oneLineFind = "foo";
    request.oneLineReplace = "bar";
    request.mask = "*";
    request.directoryList = {{tmp.file("tree"), true}};

    const RunResult result = run();
    EXPECT_FALSE(result.failed);
    EXPECT_BYTES_EQ("foo\n", readBytes(victim));
    EXPECT_BYTES_EQ("foo\n", readBytes(temporary));
    EXPECT_BYTES_EQ("bar\r\n", readBytes(real));
    EXPECT_EQ(std::count(result.targetPaths.begin(), result.targetPaths.end(), link), 0);
    EXPECT_EQ(observer.skipped, std::vector<std::string>{link});
    EXPECT_EQ(observer.messages, std::vector<std::string>{link + ": not followed: the link points outside '" +
                                                          tmp.file("tree") + "'"});
    EXPECT_TRUE(observer.errorPaths.empty());
}

TEST_F(RunTest, ManyLinksOutOfTheTreeAreReportedInOneMessage)
{
    file("outside/victim.txt", "foo\n");
    fs::create_directories(tmp.file("tree"));
    for (int i = 0; i < 25; ++i)
        fs::create_symlink("../outside/victim.txt", tmp.file("tree/" + numbered(i)));
    request.targetTab = TargetTab::DirectoryList;
    request.oneLineFind = "foo";
    request.mask = "*.txt";
    request.directoryList = {{tmp.file("tree"), true}};
    run();
    EXPECT_EQ(observer.skipped.size(), 25u);
    ASSERT_EQ(observer.messages.size(), 1u);
    const std::string &text = observer.messages[0];
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 20); // twenty links, then the rest counted
    EXPECT_NE(text.find("(5 more links not followed)"), std::string::npos) << text;
}

TEST_F(RunTest, ADirectoryThatCannotBeReadIsPassedOverSilently)
{
    const auto top = file("d/top.txt", "a\n");
    request.targetTab = TargetTab::DirectoryList;
    request.mask = "*";
    request.directoryList = {{tmp.file("missing"), true}, {tmp.file("d"), true}};
    const RunResult result = run();
    EXPECT_FALSE(result.failed);
    EXPECT_TRUE(observer.errorPaths.empty());
    EXPECT_TRUE(observer.messages.empty());
    EXPECT_EQ(result.targetPaths, std::vector<std::string>{top});
}

TEST_F(RunTest, AFailingFileEndsTheRunThere)
{
    // Enough files that the workers are well ahead when the failure is met.
    std::vector<std::string> paths;
    for (int i = 0; i < 60; ++i)
        paths.push_back(file(numbered(i), "x\n"));
    const std::string missing = tmp.file("missing.txt");
    paths.insert(paths.begin() + 25, missing);
    for (const auto &p : paths)
        request.fileList.push_back({p, true});

    const RunResult result = run();
    EXPECT_TRUE(result.failed);
    EXPECT_EQ(result.filesRewritten, 25u);
    ASSERT_EQ(observer.errorPaths, std::vector<std::string>{missing});
    EXPECT_NE(observer.errorTexts[0].find("missing.txt"), std::string::npos);
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (i != 25) {
            EXPECT_BYTES_EQ(i < 25 ? "x\r\n" : "x\n", readBytes(paths[i])) << i;
        }
    }
    EXPECT_EQ(listNames(tmp.path()).size(), 61u); // 60 files and the program folder, no temporaries
}

TEST_F(RunTest, ARefusedFileInTheMiddleStopsTheRun)
{
    const auto a = file("a.txt", "x\n");
    const auto locked = file("b.txt", "x\n");
    const auto c = file("c.txt", "x\n");
    fs::permissions(locked, fs::perms::owner_read | fs::perms::group_read);
    request.fileList = {{a, true}, {locked, true}, {c, true}};
    const RunResult result = run();
    EXPECT_TRUE(result.failed);
    EXPECT_EQ(observer.errorPaths, std::vector<std::string>{locked});
    EXPECT_BYTES_EQ("x\r\n", readBytes(a));
    EXPECT_BYTES_EQ("x\n", readBytes(locked));
    EXPECT_BYTES_EQ("x\n", readBytes(c));
}

TEST_F(RunTest, StopDuringTheScanSkipsEveryFileButStillWritesTheList)
{
    const auto path = file("d/one.txt", "foo\n");
    request.targetTab = TargetTab::DirectoryList;
    request.mask = "*.txt";
    request.directoryList = {{tmp.file("d"), true}};
    flag.set("0"); // left over from an earlier run: the run sets it again
    observer.onScan = [&] { flag.set("0"); };
    const RunResult result = run();
    EXPECT_GT(observer.scanCalls, 0);
    EXPECT_EQ(result.filesRewritten, 0u);
    EXPECT_BYTES_EQ("foo\n", readBytes(path));
    EXPECT_BYTES_EQ(path + "\r\n", readBytes(folder.file("a.txt")));
}

TEST_F(RunTest, StopAfterAFileSkipsTheRestAndLeavesNoTemporaryFiles)
{
    std::vector<std::string> paths;
    for (int i = 0; i < 40; ++i) {
        paths.push_back(file(numbered(i), "x\n"));
        request.fileList.push_back({paths.back(), true});
    }
    observer.onDone = [&](const std::string &) {
        if (observer.done.size() == 3)
            flag.set("0");
    };
    const RunResult result = run();
    EXPECT_FALSE(result.failed);
    EXPECT_EQ(result.filesRewritten, 3u);
    for (std::size_t i = 0; i < paths.size(); ++i)
        EXPECT_BYTES_EQ(i < 3 ? "x\r\n" : "x\n", readBytes(paths[i])) << i;
    EXPECT_EQ(listNames(tmp.path()).size(), 41u);
}

TEST_F(RunTest, AFileListedTwiceIsRewrittenTwice)
{
    const auto path = file("a.txt", "x\n");
    const auto link = tmp.file("link.txt");
    fs::create_symlink(path, link);
    const auto other = file("b.txt", "x\n");
    for (int i = 0; i < 10; ++i) {
        request.fileList.push_back({path, true});
        request.fileList.push_back({other, true});
        request.fileList.push_back({link, true});
    }
    request.oneLineFind = "x";
    request.oneLineReplace = "xx";
    const RunResult result = run();
    EXPECT_EQ(result.filesRewritten, 30u);
    EXPECT_BYTES_EQ(std::string(21, 'x') + "\r\n", readBytes(path));
    EXPECT_BYTES_EQ(std::string(11, 'x') + "\r\n", readBytes(other));
    EXPECT_TRUE(fs::is_symlink(link));
}

TEST_F(RunTest, HistoriesAreRecordedBeforeAnythingElse)
{
    request.oneLineFind = "find";
    request.multiLineReplace = "r1\r\nr2\r\n";
    request.targetTab = TargetTab::Text; // nothing else to do
    run();
    EXPECT_BYTES_EQ("find\r\n", readBytes(folder.file("WhatToFind0.vexlopro"))); // counter "9"
    EXPECT_BYTES_EQ("r1\r\nr2\r\n", readBytes(folder.file("ReplaceWithMultiLine6.vexlopro")));
    EXPECT_FALSE(fs::exists(folder.file("ReplaceWith4.vexlopro")));         // empty Edit2
    EXPECT_FALSE(fs::exists(folder.file("WhatToFindMultiLine1.vexlopro"))); // empty Memo1
}

TEST_F(RunTest, ABadCounterStopsTheRunBeforeAnyFile)
{
    writeBytes(folder.file("vexlopro.ini"), "[Add_File_Procedure]\r\nReplaceWithMultiLine=1\r\n"
                                            "WhatToFindMultiLine=x\r\n");
    const auto path = file("a.txt", "foo\n");
    request.multiLineReplace = "r";
    request.multiLineFind = "f";
    request.oneLineFind = "foo";
    request.fileList = {{path, true}};
    try {
        run();
        FAIL() << "no error";
    } catch (const Error &e) {
        EXPECT_EQ(e.kind(), ErrorKind::Conversion);
    }
    EXPECT_TRUE(fs::exists(folder.file("ReplaceWithMultiLine2.vexlopro"))); // recorded before it
    EXPECT_BYTES_EQ("foo\n", readBytes(path));
}

TEST_F(RunTest, TheDriverCarriesOutTheOfficeAndRealTimeBranchesItself)
{
    const auto path = file("d/one.txt", "foo\n");
    request.engine = EngineKind::Office;
    request.targetTab = TargetTab::DirectoryList;
    request.mask = "*.txt";
    request.directoryList = {{tmp.file("d"), true}};
    request.oneLineFind = "foo";
    request.oneLineReplace = "bar";
    RunResult result = run(); // the built-in office application when none is given
    EXPECT_EQ(Branch::OfficeDirectoryList, result.branch);
    EXPECT_EQ(std::vector<std::string>{path}, result.targetPaths);
    EXPECT_EQ(1u, result.filesRewritten);
    EXPECT_BYTES_EQ("bar\r\n", readBytes(path));
    EXPECT_TRUE(fs::exists(folder.file("a.txt")));
    EXPECT_EQ(std::vector<std::string>{path}, observer.done) << "each saved file is reported";

    // Own engine, "Real time": the "Text" page's text comes back in the result.
    request.engine = EngineKind::Text;
    request.inputTab = InputTab::RealTime;
    request.realTime.findLine = "cat";
    request.realTime.replacementLine = "dog";
    request.text = "a cat\r\ncat";
    result = run();
    EXPECT_EQ(Branch::TextRealTime, result.branch);
    ASSERT_TRUE(result.text.has_value());
    EXPECT_EQ("a dog\ndog\n", *result.text); // every line ends in a break
    request.realTime.findMemo = "x";         // two find inputs choose nothing
    EXPECT_FALSE(run().text.has_value());
}

TEST_F(RunTest, TheOfficeFileListStopsLikeTheTextEngineAndShowsProgress)
{
    const auto a = file("a.txt", "foo"), b = file("b.txt", "foo"), c = file("c.txt", "foo");
    request.engine = EngineKind::Office;
    request.fileList = {{a, true}, {b, true}, {c, true}};
    request.oneLineFind = "foo";
    request.oneLineReplace = "bar";
    observer.onDone = [&](const std::string &path) {
        if (path == b)
            flag.set("0"); // "Stop" while the second file is saved
    };
    const RunResult result = run();
    EXPECT_EQ(2u, result.filesRewritten);
    EXPECT_EQ((std::vector<std::string>{a, b}), observer.done);
    EXPECT_BYTES_EQ("bar\r\n", readBytes(b));
    EXPECT_BYTES_EQ("foo", readBytes(c)) << "no file after the stop";
}

TEST(RewriteFiles, ContinuesAfterFailuresAndMatchesTheOneByOneResult)
{
    TempDir tmp;
    TextOperation op;
    op.find = "a";
    op.inLine = InLineReplacement::OneString("aa");
    std::vector<std::string> paths;
    for (int i = 0; i < 30; ++i) {
        paths.push_back(tmp.file(numbered(i % 12, "")));
        if (i < 12)
            writeBytes(paths.back(), "a\n");
    }
    paths[7] = tmp.file("none");
    paths[20] = tmp.path().string(); // a directory
    std::vector<std::string> failed;
    CallbackObserver callbacks;
    callbacks.onError = [&](const std::string &p, const Error &) { failed.push_back(p); };
    PipelineOptions options;
    options.stopAtFirstError = false;
    const PipelineResult result = RewriteFiles(paths, op, options, callbacks);
    EXPECT_EQ(failed, (std::vector<std::string>{paths[7], paths[20]}));
    EXPECT_EQ(result.rewritten, 28u);

    // The same list one file after the other through RewriteFile gives the same bytes.
    TempDir tmp2;
    std::vector<std::string> paths2;
    for (const auto &p : paths) {
        const std::string name = fs::path(p).filename().string();
        paths2.push_back(p == tmp.path().string() ? tmp2.path().string() : tmp2.file(name));
    }
    for (int i = 0; i < 12; ++i)
        writeBytes(tmp2.file(numbered(i, "")), "a\n");
    options.threads = 1;
    failed.clear();
    RewriteFiles(paths2, op, options, callbacks);
    EXPECT_EQ(failed.size(), 2u);
    for (int i = 0; i < 12; ++i) {
        const std::string name = numbered(i, "");
        EXPECT_BYTES_EQ(readBytes(tmp2.file(name)), readBytes(tmp.file(name))) << name;
    }
    EXPECT_EQ(listNames(tmp.path()).size(), 12u);
}

TEST(RewriteFiles, NamedTemporariesAreGoneAfterAStopAtTheFirstError)
{
    // Where unnamed temporary files cannot be had, the prepared files carry names: those
    // prepared ahead of a failure must not stay behind.
    fsseam::SetUnnamedTemporaries(false);
    struct Restore {
        ~Restore() { fsseam::SetUnnamedTemporaries(true); }
    } restore;
    TempDir tmp;
    std::vector<std::string> paths;
    for (int i = 0; i < 40; ++i) {
        paths.push_back(tmp.file(numbered(i, ".txt")));
        writeBytes(paths.back(), "foo\n");
    }
    paths[5] = tmp.file("missing.txt");
    TextOperation op;
    op.find = "foo";
    op.inLine = InLineReplacement::OneString("bar");
    RunObserver quiet;
    const PipelineResult result = RewriteFiles(paths, op, PipelineOptions{}, quiet);
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(result.rewritten, 5u);
    EXPECT_BYTES_EQ("bar\r\n", readBytes(paths[4]));
    EXPECT_BYTES_EQ("foo\n", readBytes(paths[6]));
    EXPECT_EQ(listNames(tmp.path()).size(), 40u); // the 40 files written, no temporary
}

TEST(RewriteFiles, KeepsModeOwnerAndGroupAlsoInASetGroupIdFolder)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "changing owners needs root";
    TempDir tmp;
    const fs::path shared = tmp.path() / "shared";
    fs::create_directory(shared);
    // New files in a set-group-ID folder take the folder's group: one file keeps that group
    // without help, the other must be given its own group back.
    ASSERT_EQ(::chown(shared.c_str(), 0, 65534), 0);
    ASSERT_EQ(::chmod(shared.c_str(), 02755), 0);
    const std::string others = tmp.file("others"), inGroup = (shared / "in-group").string(),
                      ownGroup = (shared / "own-group").string();
    for (const auto &p : {others, inGroup, ownGroup})
        writeBytes(p, "foo\n");
    ASSERT_EQ(::chown(others.c_str(), 65534, 65534), 0);
    ASSERT_EQ(::chmod(others.c_str(), 0640), 0);
    ASSERT_EQ(::chmod(inGroup.c_str(), 0644), 0);
    ASSERT_EQ(::chmod(ownGroup.c_str(), 0644), 0);
    ASSERT_EQ(::chown(inGroup.c_str(), 0, 65534), 0);
    ASSERT_EQ(::chown(ownGroup.c_str(), 0, 0), 0);

    TextOperation op;
    op.find = "foo";
    op.inLine = InLineReplacement::OneString("bar");
    RunObserver quiet;
    const PipelineResult result = RewriteFiles({others, inGroup, ownGroup}, op, PipelineOptions{}, quiet);
    EXPECT_EQ(result.rewritten, 3u);
    const auto owner = [](const std::string &p) {
        struct stat st {};
        ::stat(p.c_str(), &st);
        return std::to_string(st.st_uid) + ":" + std::to_string(st.st_gid) + " " +
               std::to_string(st.st_mode & 07777);
    };
    EXPECT_EQ(owner(others), "65534:65534 " + std::to_string(0640));
    EXPECT_EQ(owner(inGroup), "0:65534 " + std::to_string(0644));
    EXPECT_EQ(owner(ownGroup), "0:0 " + std::to_string(0644));
    EXPECT_BYTES_EQ("bar\r\n", readBytes(ownGroup));
}

TEST(RewriteFiles, ALargeFileAmongSmallOnesIsRewrittenInItsTurn)
{
    // The large file is streamed by the calling thread; the order and the stop at the first
    // failure stay as for the small ones around it.
    TempDir tmp;
    std::string big;
    while (big.size() < (33u << 20))
        big += "a line with foo\n";
    std::vector<std::string> paths;
    for (int i = 0; i < 6; ++i) {
        paths.push_back(tmp.file(numbered(i, "")));
        writeBytes(paths.back(), i == 2 ? big : "foo\n");
    }
    paths.push_back(paths[2]); // the large file once more, after its first rewrite
    paths.push_back(tmp.file("none"));
    paths.push_back(tmp.file(numbered(0, "")));
    TextOperation op;
    op.find = "foo";
    op.inLine = InLineReplacement::OneString("bar");
    std::vector<std::string> done;
    CallbackObserver callbacks;
    callbacks.onDone = [&](const std::string &p) { done.push_back(p); };
    const PipelineResult result = RewriteFiles(paths, op, PipelineOptions{}, callbacks);
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(done, std::vector<std::string>(paths.begin(), paths.begin() + 7));
    const std::string once = ApplyToBuffer(big, op);
    EXPECT_TRUE(readBytes(paths[2]) == ApplyToBuffer(once, op));
    EXPECT_BYTES_EQ("bar\r\n", readBytes(paths[0]));
    EXPECT_EQ(listNames(tmp.path()).size(), 6u);
}

TEST(RewriteFiles, ACallbackThatThrowsLeavesNoTemporaryFiles)
{
    TempDir tmp;
    std::vector<std::string> paths;
    for (int i = 0; i < 30; ++i) {
        paths.push_back(tmp.file(numbered(i)));
        writeBytes(paths.back(), "a\n");
    }
    CallbackObserver callbacks;
    int done = 0;
    callbacks.onDone = [&](const std::string &) {
        if (++done == 2)
            throw std::runtime_error("observer gave up");
    };
    EXPECT_THROW(RewriteFiles(paths, TextOperation{}, PipelineOptions{}, callbacks), std::runtime_error);
    EXPECT_EQ(listNames(tmp.path()).size(), 30u);
    EXPECT_BYTES_EQ("a\n", readBytes(paths[2]));
}
