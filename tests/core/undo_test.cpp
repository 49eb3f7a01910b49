// The undo store, the line diff, the content hash and the preview against the run.
#include "support/TestSupport.h"

#include "base/SafeWrite.h"
#include "base/UndoFolder.h"
#include "run/FilePipeline.h"
#include "run/RunDriver.h"
#include "settings/SettingsFile.h"
#include "targets/DirectoryPass.h"
#include "undo/Hash.h"
#include "undo/LineDiff.h"
#include "undo/RunReport.h"
#include "undo/UndoStore.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>

using namespace vexlo;
using namespace vexlo::test;
namespace fs = std::filesystem;

namespace {

TEST(ContentHash, MatchesTheAlgorithmAndIsTheSameInPieces)
{
    EXPECT_EQ(HashBytes(""), 0xEF46DB3751D8E999ULL);
    EXPECT_EQ(HashBytes("a"), 0xD24EC4F1A98C6E5BULL);
    std::string text;
    for (int i = 0; i < 1000; ++i)
        text += char('a' + i * 7 % 26);
    for (std::size_t cut : {0u, 1u, 31u, 32u, 33u, 500u, 999u}) {
        ContentHash pieces;
        pieces.add(std::string_view(text).substr(0, cut));
        pieces.add(std::string_view(text).substr(cut));
        EXPECT_EQ(pieces.value(), HashBytes(text)) << cut;
    }
    EXPECT_NE(HashBytes(text), HashBytes(text.substr(1)));
}

TEST(LineDiff, CountsChangedLinesAndLineEndsApart)
{
    EXPECT_TRUE(Summarize("a\r\nb\r\n", "a\r\nb\r\n").identical);
    const ChangeSummary ends = Summarize("a\nb\nc", "a\r\nb\r\nc\r\n");
    EXPECT_FALSE(ends.identical);
    EXPECT_TRUE(ends.lineEndsOnly);
    EXPECT_EQ(ends.linesChanged, 0u);
    const ChangeSummary two = Summarize("x1\nsame\nx2\nsame\n", "y1\r\nsame\r\ny2\r\nsame\r\n");
    EXPECT_FALSE(two.lineEndsOnly);
    EXPECT_EQ(two.linesChanged, 2u);
    // A line replaced by three counts three; a deletion counts one.
    EXPECT_EQ(Summarize("a\nb\nc\n", "a\nB1\nB2\nB3\nc\n").linesChanged, 3u);
    EXPECT_EQ(Summarize("a\nb\nc\n", "a\nc\n").linesChanged, 1u);
}

TEST(LineDiff, UnifiedDiffHunksAndMarkedParts)
{
    std::string before, after;
    for (int i = 1; i <= 20; ++i) {
        before += "line " + std::to_string(i) + "\n";
        after += (i == 10 ? std::string("line ten") : "line " + std::to_string(i)) + "\r\n";
    }
    EXPECT_EQ(UnifiedDiff("f.txt", before, after), "--- a/f.txt\n+++ b/f.txt\n@@ -7,7 +7,7 @@\n"
                                                   " line 7\n line 8\n line 9\n-line 10\n+line ten\n"
                                                   " line 11\n line 12\n line 13\n");
    EXPECT_EQ(UnifiedDiff("f.txt", "a\n", "a\r\n"), ""); // line ends only: nothing to show

    const std::vector<DiffLine> lines = DiffLines(before, after);
    ASSERT_EQ(lines.size(), 9u); // gap, 3 context, removed, added, 3 context
    EXPECT_EQ(lines[0].kind, DiffLine::Kind::Skipped);
    EXPECT_EQ(lines[4].kind, DiffLine::Kind::Removed);
    EXPECT_EQ(lines[4].oldNumber, 10u);
    EXPECT_EQ(lines[4].text.substr(lines[4].changeFrom, lines[4].changeTo - lines[4].changeFrom), "10");
    EXPECT_EQ(lines[5].text.substr(lines[5].changeFrom, lines[5].changeTo - lines[5].changeFrom), "ten");
    EXPECT_EQ(lines[5].newNumber, 10u);
}

TEST(LineDiff, CapsTheChangedLinesShownAndSurvivesAHugeDifference)
{
    std::string before, after;
    for (int i = 0; i < 30000; ++i) {
        const std::string number = std::to_string(i);
        before += "a" + number + "\n";
        after += "b" + number + "\n";
    }
    EXPECT_EQ(Summarize(before, after).linesChanged, 30000u);
    DiffOptions options;
    options.maxChanged = 100;
    const std::vector<DiffLine> lines = DiffLines(before, after, options);
    EXPECT_EQ(lines.size(), 101u);
    EXPECT_EQ(lines.back().kind, DiffLine::Kind::Skipped);
}

// A program folder and a tree of files under one temporary folder.
class UndoTest : public ::testing::Test {
  protected:
    UndoTest() : folder(tmp.path() / "program")
    {
        fs::create_directory(folder.dir());
        writeBytes(folder.file("vexlopro.ini"), "[Add_File_Procedure]\r\nWhatToFindHistory=9\r\n"
                                                "ReplaceWithHistory=9\r\nWhatToFindMultiLine=9\r\n"
                                                "ReplaceWithMultiLine=9\r\n[Undo]\r\nMaxSizeMB=2048\r\n");
    }
    ~UndoTest() override { fsseam::SetHook(nullptr); }

    std::vector<std::string> makeFiles(int count)
    {
        std::vector<std::string> paths;
        fs::create_directories(tmp.path() / "tree" / "sub");
        for (int i = 0; i < count; ++i) {
            const std::string path =
                tmp.file("tree/" + std::string(i % 2 ? "sub/" : "") + "f" + std::to_string(i) + ".txt");
            writeBytes(path, "head\nfind me " + std::to_string(i) + "\nfind\ttail\n");
            paths.push_back(path);
        }
        return paths;
    }

    static TextOperation op()
    {
        TextOperation op;
        op.find = "find";
        op.inLine = InLineReplacement::OneString("FOUND");
        return op;
    }

    PipelineResult runWithUndo(const std::vector<std::string> &paths, RunObserver &observer,
                               std::string *notice = nullptr)
    {
        StoreRecorder recorder(folder, [&](const std::string &text) {
            if (notice)
                *notice = text;
        });
        PipelineOptions options;
        options.hook = &recorder;
        return RewriteFiles(paths, op(), options, observer);
    }

    std::map<std::string, std::string> contents(const std::vector<std::string> &paths)
    {
        std::map<std::string, std::string> all;
        for (const std::string &p : paths)
            all[p] = readBytes(p);
        return all;
    }

    TempDir tmp;
    ProgramFolder folder;
};

TEST_F(UndoTest, UndoOfARunOverAThousandFilesRestoresEveryByte)
{
    const std::vector<std::string> paths = makeFiles(1000);
    ::chmod(paths[3].c_str(), 0640);
    const auto before = contents(paths);
    CallbackObserver observer;
    EXPECT_EQ(runWithUndo(paths, observer).rewritten, 1000u);
    EXPECT_NE(readBytes(paths[0]), before.at(paths[0]));

    UndoStore store(folder);
    ASSERT_EQ(store.runs().size(), 1u);
    struct stat st;
    ASSERT_EQ(::stat(store.lastRun().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u); // copies of other people's files are not shown around
    CallbackObserver quiet;
    const UndoTally tally = RestoreRun(store.lastRun(), quiet);
    EXPECT_EQ(tally.restored, 1000u);
    EXPECT_EQ(tally.changedSince + tally.failed, 0u);
    EXPECT_EQ(contents(paths), before);
    ASSERT_EQ(::stat(paths[3].c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_F(UndoTest, AFileEditedAfterTheRunIsLeftAsEditedAndListed)
{
    const std::vector<std::string> paths = makeFiles(3);
    const auto before = contents(paths);
    CallbackObserver observer;
    runWithUndo(paths, observer);
    writeBytes(paths[1], "edited by hand\n");
    fs::remove(paths[2]);

    struct Listing : RunObserver {
        std::vector<std::string> left;
        void fileDone(const std::string &path, Outcome outcome) override
        {
            if (outcome == Outcome::Skipped)
                left.push_back(path);
        }
    } listing;
    const UndoTally tally = RestoreRun(UndoStore(folder).lastRun(), listing);
    EXPECT_EQ(tally.restored, 1u);
    EXPECT_EQ(tally.changedSince, 2u);
    EXPECT_EQ(listing.left, (std::vector<std::string>{paths[1], paths[2]}));
    EXPECT_EQ(readBytes(paths[0]), before.at(paths[0]));
    EXPECT_EQ(readBytes(paths[1]), "edited by hand\n");
    EXPECT_FALSE(fs::exists(paths[2]));
}

TEST_F(UndoTest, ARunStoppedHalfwayUndoesTheFilesItRewrote)
{
    const std::vector<std::string> paths = makeFiles(400);
    const auto before = contents(paths);
    int asked = 0;
    CallbackObserver observer;
    observer.onKeepGoing = [&] { return ++asked <= 250; };
    EXPECT_EQ(runWithUndo(paths, observer).rewritten, 250u);
    const auto afterRun = contents(paths);

    CallbackObserver quiet;
    EXPECT_EQ(RestoreRun(UndoStore(folder).lastRun(), quiet).restored, 250u);
    EXPECT_EQ(contents(paths), before);
    EXPECT_EQ(readBytes(paths[300]), afterRun.at(paths[300]));
}

TEST_F(UndoTest, AFailingFileEndsTheRunAndTheRewrittenOnesCanBeUndone)
{
    std::vector<std::string> paths = makeFiles(10);
    const auto before = contents(paths);
    paths.insert(paths.begin() + 5, tmp.file("missing.txt"));
    CallbackObserver observer;
    const PipelineResult result = runWithUndo(paths, observer);
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(result.rewritten, 5u);
    CallbackObserver quiet;
    EXPECT_EQ(RestoreRun(UndoStore(folder).lastRun(), quiet).restored, 5u);
    paths.erase(paths.begin() + 5);
    EXPECT_EQ(contents(paths), before);
}

// The undo ends abruptly (the process is gone) at the rename of one file: every file is
// either as the run left it or as it was before the run.
TEST_F(UndoTest, AKillDuringTheUndoLeavesEachFileInOneOfItsTwoStates)
{
    const std::vector<std::string> paths = makeFiles(60);
    const auto before = contents(paths);
    CallbackObserver observer;
    runWithUndo(paths, observer);
    const auto afterRun = contents(paths);
    const std::string run = UndoStore(folder).lastRun();

    for (int killAt : {1, 2, 7, 31, 60}) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            static int renames = 0;
            static int at = 0;
            at = killAt;
            fsseam::SetHook([](fsseam::Step step, const std::string &) {
                if ((step == fsseam::Step::Rename || step == fsseam::Step::WriteTemporary) &&
                    ++renames >= at * 2)
                    ::_exit(0); // in the middle of a file: written, not yet renamed
                return 0;
            });
            CallbackObserver quiet;
            RestoreRun(run, quiet);
            ::_exit(0);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        int restored = 0;
        for (const std::string &p : paths) {
            const std::string now = readBytes(p);
            EXPECT_TRUE(now == before.at(p) || now == afterRun.at(p)) << p;
            restored += now == before.at(p);
        }
        EXPECT_LE(restored, killAt);
        // The next undo finishes the job: the restored files no longer hold what the run wrote.
        CallbackObserver quiet;
        const UndoTally tally = RestoreRun(run, quiet);
        EXPECT_EQ(tally.failed, 0u);
        EXPECT_EQ(contents(paths), before);
        for (const std::string &p : paths) // back to the run's result for the next round
            writeBytes(p, afterRun.at(p));
    }
}

// The files under a run folder's copies, relative to it.
std::vector<std::string> copiesIn(const std::string &run)
{
    std::vector<std::string> found;
    if (fs::exists(run + "/files"))
        for (const auto &entry : fs::recursive_directory_iterator(run + "/files"))
            if (entry.is_regular_file())
                found.push_back(entry.path().string().substr(run.size() + 1));
    std::sort(found.begin(), found.end());
    return found;
}

// A file prepared, copied on the worker, and then found changed at its commit is not
// rewritten: it is not in the manifest, its copy is gone, and the undo leaves it as it is.
TEST_F(UndoTest, AFilePreparedButNotCommittedIsNeitherListedNorKept)
{
    const std::vector<std::string> paths = makeFiles(40);
    const auto before = contents(paths);
    static std::string changed;
    changed = paths[20];
    fsseam::SetHook([](fsseam::Step step, const std::string &path) {
        if (step == fsseam::Step::CheckUnchanged && path == changed) {
            FILE *f = std::fopen(changed.c_str(), "a"); // another program writes meanwhile
            std::fputs("appended\n", f);
            std::fclose(f);
        }
        return 0;
    });
    StoreRecorder recorder(folder, nullptr);
    PipelineOptions options;
    options.hook = &recorder;
    options.stopAtFirstError = false;
    std::vector<std::string> failed;
    CallbackObserver observer;
    observer.onError = [&](const std::string &path, const Error &) { failed.push_back(path); };
    EXPECT_EQ(RewriteFiles(paths, op(), options, observer).rewritten, 39u);
    fsseam::SetHook(nullptr);
    EXPECT_EQ(failed, std::vector<std::string>{changed});

    const std::string run = UndoStore(folder).lastRun();
    const UndoManifest manifest = ReadUndoManifest(run);
    ASSERT_EQ(manifest.entries.size(), 39u);
    std::vector<std::string> listed;
    for (const UndoEntry &e : manifest.entries) {
        EXPECT_NE(e.path, changed);
        listed.push_back(e.original);
    }
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(copiesIn(run), listed); // no copy of the file that was not rewritten

    CallbackObserver quiet;
    EXPECT_EQ(RestoreRun(run, quiet).restored, 39u);
    for (const std::string &p : paths)
        EXPECT_EQ(readBytes(p), p == changed ? before.at(p) + "appended\n" : before.at(p)) << p;
}

// A failure that ends the run leaves files after it prepared by the workers, maybe copied:
// none of them is listed or kept.
TEST_F(UndoTest, FilesPreparedAfterAFailureThatEndsTheRunAreNotKept)
{
    std::vector<std::string> paths = makeFiles(200);
    static std::string failing;
    failing = paths[50];
    fsseam::SetHook([](fsseam::Step step, const std::string &path) {
        return step == fsseam::Step::Rename && path == failing ? EIO : 0;
    });
    CallbackObserver observer;
    const PipelineResult result = runWithUndo(paths, observer);
    fsseam::SetHook(nullptr);
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(result.rewritten, 50u);
    const std::string run = UndoStore(folder).lastRun();
    const UndoManifest manifest = ReadUndoManifest(run);
    ASSERT_EQ(manifest.entries.size(), 50u);
    for (std::size_t i = 0; i < 50; ++i)
        EXPECT_EQ(manifest.entries[i].path, paths[i]);
    EXPECT_EQ(copiesIn(run).size(), 50u);
}

// The original is copied from the descriptor the run read: a file put in the target's place
// once the run has read it is not what the undo puts back.
TEST_F(UndoTest, TheCopyComesFromWhatTheRunReadNotFromThePathAgain)
{
    const std::vector<std::string> paths = makeFiles(6);
    const auto before = contents(paths);
    static std::string target;
    static bool swapped;
    target = paths[3];
    swapped = false;
    fsseam::SetHook([](fsseam::Step step, const std::string &path) {
        const bool ofTheCopy = path.find("/vexlopro-undo/") != std::string::npos &&
                               path.size() > target.size() &&
                               path.compare(path.size() - target.size(), target.size(), target) == 0;
        if (path == target && step == fsseam::Step::WriteTemporary && !swapped) {
            swapped = true; // read, now being written: the path leads to another file
            fs::rename(target, target + ".away");
            std::ofstream(target) << "decoy\n";
        } else if (ofTheCopy && step == fsseam::Step::Rename) {
            fs::rename(target + ".away", target); // the file the run read is back in its place
        }
        return 0;
    });
    CallbackObserver observer;
    EXPECT_EQ(runWithUndo(paths, observer).rewritten, 6u);
    fsseam::SetHook(nullptr);
    EXPECT_NE(readBytes(target), before.at(target)); // rewritten: it was the file read

    const std::string run = UndoStore(folder).lastRun();
    EXPECT_EQ(readBytes(run + "/files" + fs::absolute(target).lexically_normal().string()),
              before.at(target));
    CallbackObserver quiet;
    EXPECT_EQ(RestoreRun(run, quiet).restored, 6u);
    EXPECT_EQ(contents(paths), before);
}

// The step on the worker sees every file of a run with the hash of what the commit then puts
// in place (a large file too, written in stretches by two threads), and never a preview's.
TEST_F(UndoTest, ThePreparedStepSeesEachFileWithTheHashOfItsNewContent)
{
    std::vector<std::string> paths = makeFiles(30);
    paths.push_back(tmp.file("large.txt"));
    {
        std::string large;
        while (large.size() < (std::size_t(33) << 20))
            large += "a line to find in a large file " + std::to_string(large.size()) + "\n";
        writeBytes(paths.back(), large);
    }
    struct Seen : CommitHook {
        bool preview = false;
        std::mutex mutex;
        std::map<std::string, std::pair<std::uint64_t, std::uint64_t>> hashes;
        bool commits() const override { return !preview; }
        bool wantsWrittenHash() const override { return true; }
        void prepared(const std::string &path, FileReplacement &file) override
        {
            std::lock_guard lock(mutex);
            hashes[path] = {file.writtenHash(), file.writtenSize()};
        }
    } seen;
    PipelineOptions options;
    options.hook = &seen;
    CallbackObserver observer;
    seen.preview = true;
    RewriteFiles(paths, op(), options, observer);
    EXPECT_TRUE(seen.hashes.empty());
    seen.preview = false;
    EXPECT_EQ(RewriteFiles(paths, op(), options, observer).rewritten, paths.size());
    ASSERT_EQ(seen.hashes.size(), paths.size());
    for (const std::string &p : paths) {
        const std::string now = readBytes(p);
        EXPECT_EQ(seen.hashes[p], std::make_pair(HashBytes(now), std::uint64_t(now.size()))) << p;
    }
}

TEST_F(UndoTest, KeepsFiveRunsAndHonoursTheSizeLimit)
{
    const std::vector<std::string> paths = makeFiles(4);
    CallbackObserver observer;
    for (int i = 0; i < 7; ++i)
        runWithUndo(paths, observer);
    UndoStore store(folder);
    const std::vector<std::string> runs = store.runs();
    ASSERT_EQ(runs.size(), 5u);
    EXPECT_EQ(fs::path(runs.front()).filename(), "run-000003");

    // Targets beyond the limit: the run goes on without originals and says so.
    SettingsFile(folder.file("vexlopro.ini")).write(kUndoSection, kUndoLimitKey, "0");
    std::string notice;
    EXPECT_EQ(runWithUndo(paths, observer, &notice).rewritten, 4u);
    EXPECT_NE(notice.find("without undo copy"), std::string::npos) << notice;
    const UndoManifest refused = ReadUndoManifest(store.lastRun());
    EXPECT_TRUE(refused.entries.empty());
    EXPECT_FALSE(refused.note.empty());

    // A limit that holds one run's originals but not two: the older runs make room.
    SettingsFile(folder.file("vexlopro.ini")).write(kUndoSection, kUndoLimitKey, "1");
    std::vector<std::string> big;
    for (int i = 0; i < 2; ++i) {
        big.push_back(tmp.file("big" + std::to_string(i)));
        writeBytes(big.back(), std::string(400 << 10, 'x') + "find\n");
    }
    runWithUndo(big, observer);
    EXPECT_FALSE(ReadUndoManifest(store.lastRun()).entries.empty());
    runWithUndo(big, observer);
    std::uint64_t total = 0;
    for (const auto &entry : fs::recursive_directory_iterator(store.root()))
        if (entry.is_regular_file())
            total += entry.file_size();
    EXPECT_LE(total, std::uint64_t(1) << 20);
    EXPECT_EQ(ReadUndoManifest(store.lastRun()).entries.size(), 2u);
}

// The undo reads only regular files of the size it recorded: a FIFO or a grown copy is refused
// at once (never waited on, never held whole) and the target is left as the run left it.
TEST_F(UndoTest, AnOriginalOrManifestThatIsNoLongerWhatTheRunWroteIsRefused)
{
    const std::vector<std::string> paths = makeFiles(2);
    CallbackObserver observer;
    runWithUndo(paths, observer);
    const std::string run = UndoStore(folder).lastRun();
    const UndoManifest manifest = ReadUndoManifest(run);
    ASSERT_EQ(manifest.entries.size(), 2u);
    const auto after = contents(paths);

    // A copy grown past the size the manifest gives for it.
    const UndoEntry &grown = manifest.entries[0];
    writeBytes(run + "/" + grown.original, std::string(grown.originalSize + 100, 'x'));
    std::vector<std::string> failures;
    CallbackObserver listing;
    listing.onError = [&](const std::string &, const Error &e) { failures.push_back(e.what()); };
    EXPECT_EQ(RestoreRun(run, listing).failed, 1u);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_NE(failures[0].find("is damaged"), std::string::npos) << failures[0];
    EXPECT_EQ(readBytes(grown.path), after.at(grown.path));

    // A FIFO where a file the undo hashes or reads should be.
    fs::remove(paths[1]);
    ASSERT_EQ(::mkfifo(paths[1].c_str(), 0600), 0);
    std::uint64_t size = 0;
    EXPECT_THROW(HashFile(paths[1], size), Error);
    fs::remove(run + "/" + std::string(kUndoManifestName));
    ASSERT_EQ(::mkfifo((run + "/" + std::string(kUndoManifestName)).c_str(), 0600), 0);
    EXPECT_THROW(ReadUndoManifest(run), Error);
}

TEST_F(UndoTest, ADirectoryPassOverTheProgramFolderSkipsTheStore)
{
    const std::vector<std::string> paths = makeFiles(2);
    CallbackObserver observer;
    runWithUndo(paths, observer);
    std::vector<std::string> found;
    ScanForDirectoryPass(tmp.path().string(), "*.*", found, observer);
    ASSERT_FALSE(found.empty());
    for (const std::string &path : found)
        EXPECT_FALSE(IsInUndoStore(path)) << path;
    EXPECT_TRUE(IsInUndoStore(UndoStore(folder).lastRun() + "/files/x"));
}

// The preview and the run are the same code: what the preview says a run changes is exactly
// what the run then changes, and nothing else.
class PreviewTest : public UndoTest {
  protected:
    struct Seen {
        std::string before, after;
        FileReport report;
    };

    std::map<std::string, Seen> preview(RunRequest request)
    {
        std::map<std::string, Seen> seen;
        ChangeRecorder recorder(true, [&](const FileReport &r, std::string_view b, std::string_view a) {
            seen[r.path] = {std::string(b), std::string(a), r};
        });
        request.hook = &recorder;
        RunFlag flag;
        CallbackObserver observer;
        RunReplace(request, folder, flag, observer);
        return seen;
    }

    // Preview, check nothing moved, run, check every file against the preview.
    void checkSameAsRun(const RunRequest &request, std::size_t expectChanging)
    {
        std::map<std::string, std::pair<std::string, struct timespec>> files;
        for (const auto &entry : fs::recursive_directory_iterator(tmp.path() / "tree")) {
            struct stat st;
            ::stat(entry.path().c_str(), &st);
            if (entry.is_regular_file())
                files[entry.path().string()] = {readBytes(entry.path()), st.st_mtim};
        }
        const std::vector<std::string> historiesBefore = listNames(folder.dir());
        const std::map<std::string, Seen> seen = preview(request);
        EXPECT_EQ(listNames(folder.dir()), historiesBefore); // no history, no "a.txt"
        std::size_t changing = 0;
        for (const auto &[path, file] : files) {
            struct stat st;
            ::stat(path.c_str(), &st);
            EXPECT_EQ(readBytes(path), file.first);
            EXPECT_EQ(st.st_mtim.tv_sec, file.second.tv_sec);
            EXPECT_EQ(st.st_mtim.tv_nsec, file.second.tv_nsec);
        }
        for (const auto &[path, s] : seen)
            changing += s.report.outcome == FileOutcome::Rewritten && s.report.changed > 0;
        EXPECT_EQ(changing, expectChanging);

        RunFlag flag;
        CallbackObserver observer;
        RunReplace(request, folder, flag, observer);
        for (const auto &[path, file] : files) {
            const auto it = seen.find(path);
            if (it == seen.end() || it->second.report.outcome == FileOutcome::Skipped) {
                EXPECT_TRUE(readBytes(path) == file.first) << path << " was not to change";
                continue;
            }
            EXPECT_EQ(it->second.before, file.first) << path;
            EXPECT_EQ(readBytes(path), it->second.after) << path;
        }
    }
};

TEST_F(PreviewTest, FileListOneLine)
{
    const std::vector<std::string> paths = makeFiles(40);
    writeBytes(paths[7], "nothing to see\n");
    RunRequest request;
    request.oneLineFind = "find";
    request.oneLineReplace = "FOUND";
    for (std::size_t i = 0; i < paths.size(); i += 2) // every other file checked
        request.fileList.push_back({paths[i], true});
    checkSameAsRun(request, 20);
}

TEST_F(PreviewTest, DirectoryListOneLine)
{
    makeFiles(40);
    RunRequest request;
    request.targetTab = TargetTab::DirectoryList;
    request.oneLineFind = "me";
    request.oneLineReplace = "you";
    request.mask = "*.txt";
    request.directoryList.push_back({(tmp.path() / "tree" / "sub").string(), true});
    checkSameAsRun(request, 20);
}

TEST_F(PreviewTest, MultiLineBlock)
{
    const std::vector<std::string> paths = makeFiles(30);
    RunRequest request;
    request.inputTab = InputTab::MultiLine;
    request.multiLineFind = "head\r\nfind me 3";
    request.multiLineReplace = "one\r\ntwo\r\nthree";
    for (const std::string &p : paths)
        request.fileList.push_back({p, true});
    checkSameAsRun(request, 1);
}

TEST_F(PreviewTest, MultiLineOneLineAndAFailureReportedLikeTheRun)
{
    std::vector<std::string> paths = makeFiles(10);
    RunRequest request;
    request.inputTab = InputTab::MultiLine;
    request.multiLineFind = "tail";
    request.multiLineReplace = "end";
    for (const std::string &p : paths)
        request.fileList.push_back({p, true});
    checkSameAsRun(request, 10);

    request.fileList.insert(request.fileList.begin() + 3, {tmp.file("tree/missing"), true});
    ChangeRecorder recorder(true, nullptr);
    request.hook = &recorder;
    std::vector<std::string> errors;
    CallbackObserver observer;
    observer.onError = [&](const std::string &path, const Error &) { errors.push_back(path); };
    RunFlag flag;
    const RunResult result = RunReplace(request, folder, flag, observer);
    EXPECT_TRUE(result.failed);
    EXPECT_EQ(errors, (std::vector<std::string>{tmp.file("tree/missing")}));
}

// The office engine's branches: documents kept in their format, plain text saved as plain
// text, a legacy .doc left as it is; what the preview shows is what the run writes.
class OfficePreviewTest : public PreviewTest {
  protected:
    std::vector<std::string> makeDocuments()
    {
        std::vector<std::string> paths = makeFiles(6);
        const std::string data = std::string(VEXLO_SOURCE_DIR) + "/tests/data/documents/";
        for (const char *name : {"sample.docx", "sample.odt", "sample.rtf", "sample.doc"}) {
            paths.push_back(tmp.file(std::string("tree/sub/") + name));
            writeBytes(paths.back(), readBytes(data + name));
        }
        writeBytes(paths[2], "no match here\n");
        return paths;
    }

    static RunRequest officeRequest()
    {
        RunRequest request;
        request.engine = EngineKind::Office;
        request.oneLineFind = "foo";
        request.oneLineReplace = "bar";
        return request;
    }
};

TEST_F(OfficePreviewTest, FileListOneLine)
{
    const std::vector<std::string> paths = makeDocuments();
    RunRequest request = officeRequest();
    request.oneLineFind = "find";
    request.oneLineReplace = "FOUND";
    for (const std::string &p : paths)
        request.fileList.push_back({p, true});
    checkSameAsRun(request, 5); // five plain-text files with a match; the documents hold no "find"
}

TEST_F(OfficePreviewTest, DirectoryListOneLineWithDocuments)
{
    makeDocuments();
    RunRequest request = officeRequest();
    request.targetTab = TargetTab::DirectoryList;
    request.mask = "*.*";
    request.directoryList.push_back({(tmp.path() / "tree" / "sub").string(), true});
    const auto seen = preview(request);
    const auto docx = seen.find(tmp.file("tree/sub/sample.docx"));
    ASSERT_NE(docx, seen.end());
    EXPECT_TRUE(docx->second.report.replacements);
    EXPECT_EQ(docx->second.report.changed, 4u); // foo, Foo, foo, FOO
    const auto doc = seen.find(tmp.file("tree/sub/sample.doc"));
    ASSERT_NE(doc, seen.end());
    EXPECT_EQ(doc->second.report.outcome, FileOutcome::Skipped) << "a legacy .doc is left as it is";
    checkSameAsRun(request, 3); // .docx, .odt, .rtf
}

TEST_F(OfficePreviewTest, AnOfficeRunCanBeUndone)
{
    const std::vector<std::string> paths = makeDocuments();
    const auto before = contents(paths);
    RunRequest request = officeRequest();
    for (const std::string &p : paths)
        request.fileList.push_back({p, true});
    StoreRecorder recorder(folder, nullptr);
    request.hook = &recorder;
    RunFlag flag;
    CallbackObserver observer;
    const RunResult result = RunReplace(request, folder, flag, observer);
    EXPECT_EQ(result.filesRewritten, paths.size() - 1); // all but the .doc
    EXPECT_NE(readBytes(tmp.file("tree/sub/sample.docx")), before.at(tmp.file("tree/sub/sample.docx")));

    UndoStore store(folder);
    ASSERT_EQ(store.runs().size(), 1u);
    CallbackObserver quiet;
    const UndoTally tally = RestoreRun(store.lastRun(), quiet);
    EXPECT_EQ(tally.restored, paths.size() - 1);
    EXPECT_EQ(contents(paths), before);
}

TEST(RunReport, JsonLinesAndDryRunLines)
{
    FileReport r;
    r.path = "dir/\"a\"\tb\xff.txt";
    r.changed = 3;
    r.bytesBefore = 10;
    r.bytesAfter = 12;
    EXPECT_EQ(JsonLine(r),
              "{\"path\":\"dir/\\\"a\\\"\\tb\\u00ff.txt\",\"outcome\":\"rewritten\",\"changed\":3,"
              "\"bytes_before\":10,\"bytes_after\":12}");
    EXPECT_EQ(DryRunLine(r), r.path + ": 3 lines changed");
    r.lineEndsOnly = true;
    r.changed = 0;
    EXPECT_EQ(DryRunLine(r), r.path + ": line ends only");
    r.outcome = FileOutcome::Failed;
    r.reason = "cannot read";
    EXPECT_EQ(JsonLine(r).substr(JsonLine(r).find("\"outcome\"")),
              "\"outcome\":\"failed\",\"changed\":0,\"bytes_before\":10,\"bytes_after\":12,\"reason\":"
              "\"cannot read\"}");
    EXPECT_EQ(DryRunLine(r), r.path + ": fails: cannot read");
}

} // namespace
