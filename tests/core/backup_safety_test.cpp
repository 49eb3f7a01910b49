// The backup store against a hostile tree and a hostile program folder: planted links, folders
// swapped at the moment of the write, files changed while copied, two instances at once.
#include "backup/BackupStore.h"
#include "base/Error.h"
#include "base/FileCopy.h"
#include "base/ReadFile.h"
#include "base/SafeWrite.h"
#include "settings/SettingsFile.h"
#include "support/TestSupport.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

using namespace vexlo;
using vexlo::test::CallbackObserver;
using vexlo::test::readBytes;
using vexlo::test::TempDir;
using vexlo::test::writeBytes;

namespace fs = std::filesystem;

namespace {

constexpr uid_t OtherUser = 4242; // plays the owner of the tree who plants links

std::function<int(fsseam::Step, const std::string &)> g_action;
int CallAction(fsseam::Step step, const std::string &path)
{
    return g_action ? g_action(step, path) : 0;
}

struct HookGuard {
    explicit HookGuard(std::function<int(fsseam::Step, const std::string &)> action)
    {
        g_action = std::move(action);
        fsseam::SetHook(CallAction);
    }
    ~HookGuard()
    {
        fsseam::SetHook(nullptr);
        g_action = nullptr;
    }
};

// A link made by another user (as root: its owner is changed; otherwise it is ours and the
// test that needs another owner is skipped).
void PlantLink(const fs::path &target, const fs::path &link)
{
    fs::create_symlink(target, link);
    ASSERT_EQ(::lchown(link.c_str(), OtherUser, OtherUser), 0);
}

mode_t Mode(const std::string &path)
{
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info.st_mode & 07777;
}

class BackupSafetyTest : public ::testing::Test {
  protected:
    TempDir program; // the program folder
    TempDir tree;    // the user's files
    TempDir outside; // a root-only place the user must not reach
    BackupStore store{ProgramFolder(program.path())};
    CallbackObserver quiet;
    std::vector<std::string> errors;

    void SetUp() override
    {
        quiet.onError = [this](const std::string &, const Error &e) { errors.push_back(e.what()); };
    }
    std::string target(const std::string &name, const std::string &bytes)
    {
        writeBytes(tree.path() / name, bytes);
        return tree.file(name);
    }
    void writeSet(const std::string &name, const std::string &bytes)
    {
        writeBytes(program.path() / name, bytes);
    }
    bool asRoot() const { return ::geteuid() == 0; }
};

TEST_F(BackupSafetyTest, ACopyNamePresetAsALinkIsReportedAndLeftAlone)
{
    const std::string secret = outside.file("secret.txt");
    writeBytes(secret, "root only");
    const std::string a = target("a.txt", "user data");
    fs::create_symlink(secret, a + BackupSuffix);

    const BackupTally tally = store.copyFiles({a}, quiet);
    EXPECT_EQ(tally.failed, 1);
    EXPECT_NE(tally.firstFailure.find("symbolic link"), std::string::npos) << tally.firstFailure;
    EXPECT_EQ(readBytes(secret), "root only");
    EXPECT_TRUE(fs::is_symlink(a + BackupSuffix));
}

TEST_F(BackupSafetyTest, ALinkTheUserListedIsBackedUpAsItsFile)
{
    const std::string real = target("real.txt", "content");
    fs::create_symlink(real, tree.path() / "l.txt");
    const BackupTally tally = store.copyFiles({tree.file("l.txt")}, quiet);
    EXPECT_EQ(tally.done, 1);
    EXPECT_EQ(readBytes(tree.file("l.txt") + BackupSuffix), "content");
    EXPECT_FALSE(fs::is_symlink(tree.file("l.txt") + BackupSuffix));
}

TEST_F(BackupSafetyTest, RestoreDoesNotFollowALinkPlantedAtTheTargetOrTheCopy)
{
    if (!asRoot())
        GTEST_SKIP() << "needs root to play another user";
    const std::string secret = outside.file("secret.txt");
    writeBytes(secret, "root only");
    // (b) the target swapped for another user's link to a root file
    const std::string a = tree.file("a.txt");
    writeBytes(a + BackupSuffix, "old user data");
    PlantLink(secret, a);
    // (c) a copy swapped for a link to a root file
    const std::string b = target("b.txt", "user b");
    fs::create_symlink(secret, b + BackupSuffix);
    writeSet("S", a + BackupSuffix + "\r\n" + b + BackupSuffix + "\r\n");

    const BackupTally tally = store.restore("S", quiet);
    EXPECT_EQ(tally.done, 0);
    EXPECT_EQ(tally.failed, 2);
    EXPECT_EQ(readBytes(secret), "root only");
    EXPECT_EQ(readBytes(b), "user b");
    EXPECT_TRUE(fs::is_symlink(a));
}

TEST_F(BackupSafetyTest, RestoreWritesThroughTheUsersOwnLink)
{
    const std::string real = target("real.txt", "changed");
    fs::create_symlink(real, tree.path() / "l.txt");
    writeBytes(tree.file("l.txt") + BackupSuffix, "before");
    writeSet("S", tree.file("l.txt") + BackupSuffix + "\r\n");
    EXPECT_EQ(store.restore("S", quiet).done, 1);
    EXPECT_EQ(readBytes(real), "before");
    EXPECT_TRUE(fs::is_symlink(tree.path() / "l.txt"));
}

// (d) The folder is renamed and a link to a root-only folder put in its place at the moment the
// restored content is written: the write stays in the folder that was opened.
TEST_F(BackupSafetyTest, AFolderSwappedDuringRestoreDoesNotRedirectTheWrite)
{
    fs::create_directory(tree.path() / "sub");
    const std::string a = tree.file("sub/a.txt");
    writeBytes(a, "changed");
    writeBytes(a + BackupSuffix, "before");
    writeBytes(outside.path() / "a.txt", "root only");
    writeSet("S", a + BackupSuffix + "\r\n");
    bool swapped = false;
    const HookGuard hook([&](fsseam::Step step, const std::string &) {
        if (step == fsseam::Step::WriteTemporary && !swapped) {
            swapped = true;
            fs::rename(tree.path() / "sub", tree.path() / "moved");
            fs::create_symlink(outside.path(), tree.path() / "sub");
        }
        return 0;
    });
    EXPECT_EQ(store.restore("S", quiet).done, 1);
    EXPECT_TRUE(swapped);
    EXPECT_EQ(readBytes(outside.path() / "a.txt"), "root only");
    EXPECT_EQ(readBytes(tree.path() / "moved/a.txt"), "before");
}

// (e) A folder swapped before the deletion for another user's link to a root folder.
TEST_F(BackupSafetyTest, DeleteRefusesAFolderLinkOfAnotherOwnerAndAnythingButAFile)
{
    if (!asRoot())
        GTEST_SKIP() << "needs root to play another user";
    writeBytes(outside.path() / "a.txt.vexloProBackUps", "root's own backup");
    PlantLink(outside.path(), tree.path() / "sub");
    const std::string secret = outside.file("secret.txt");
    writeBytes(secret, "root only");
    fs::create_symlink(secret, tree.path() / "l.txt.vexloProBackUps");
    fs::create_directory(tree.path() / "d.vexloProBackUps");
    const std::string fine = target("f.txt.vexloProBackUps", "copy");
    writeSet("S", tree.file("sub/a.txt.vexloProBackUps") + "\r\n" + tree.file("l.txt.vexloProBackUps") +
                      "\r\n" + tree.file("d.vexloProBackUps") + "\r\n" + fine + "\r\n");

    const BackupTally tally = store.deleteCopies("S", quiet);
    EXPECT_EQ(tally.done, 1);
    EXPECT_EQ(tally.failed, 3);
    EXPECT_TRUE(fs::exists(outside.path() / "a.txt.vexloProBackUps"));
    EXPECT_TRUE(fs::is_symlink(tree.path() / "l.txt.vexloProBackUps"));
    EXPECT_EQ(readBytes(secret), "root only");
    EXPECT_TRUE(fs::is_directory(tree.path() / "d.vexloProBackUps"));
    EXPECT_FALSE(fs::exists(fine));
}

// Point 4: the source is rewritten in place while it is copied.
TEST_F(BackupSafetyTest, AFileChangedDuringItsCopyIsCopiedAgainOrReported)
{
    const std::string a = target("a.txt", std::string(1000, 'o'));
    int changes = 1;
    const HookGuard hook([&](fsseam::Step step, const std::string &path) {
        if (step == fsseam::Step::WriteTemporary && path == a + BackupSuffix && changes-- > 0)
            writeBytes(a, std::string(1000, 'n'));
        return 0;
    });
    BackupTally tally = store.copyFiles({a}, quiet);
    EXPECT_EQ(tally.done, 1);
    EXPECT_EQ(readBytes(a + BackupSuffix), std::string(1000, 'n'));

    changes = 2; // changed during both tries: reported, the earlier copy stays
    tally = store.copyFiles({a}, quiet);
    EXPECT_EQ(tally.done, 0);
    EXPECT_EQ(tally.failed, 1);
    EXPECT_NE(tally.firstFailure.find("changed while being copied"), std::string::npos) << tally.firstFailure;
    EXPECT_EQ(readBytes(a + BackupSuffix), std::string(1000, 'n'));
    EXPECT_EQ(tally.set, (Lines{a + BackupSuffix}));
}

// Issue point: a copy is ours, made with the source's current mode plus owner read and write.
TEST_F(BackupSafetyTest, ACopyFollowsTheSourcesCurrentModeAndReplacesAReadOnlyCopy)
{
    const std::string a = target("a.txt", "v1");
    ::chmod(a.c_str(), 0444);
    store.copyFiles({a}, quiet);
    EXPECT_EQ(Mode(a + BackupSuffix), 0644u);
    ::chmod((a + BackupSuffix).c_str(), 0444); // as an older version left it
    ::chmod(a.c_str(), 0644);
    writeBytes(a, "secret v2");
    ::chmod(a.c_str(), 0600);
    const BackupTally tally = store.copyFiles({a}, quiet);
    EXPECT_EQ(tally.done, 1) << tally.firstFailure;
    EXPECT_EQ(readBytes(a + BackupSuffix), "secret v2");
    EXPECT_EQ(Mode(a + BackupSuffix), 0600u);
}

TEST_F(BackupSafetyTest, FolderLinesAndPathsWithALineBreakGetNoCopyAndNoSetLine)
{
    fs::create_directory(tree.path() / "d");
    const std::string keep = target("d/.vexloProBackUps", "a user's file");
    const std::string lf = target("x\ny.txt", "z");
    const std::string cr = target("p\rq.txt", "z");
    const std::string a = target("a.txt", "a");
    const BackupTally tally =
        store.copyFiles({tree.file("d/"), tree.file("d"), lf, cr, "relative.txt", a}, quiet);
    EXPECT_EQ(tally.done, 1);
    EXPECT_EQ(tally.failed, 5);
    EXPECT_EQ(tally.set, (Lines{a + BackupSuffix}));
    EXPECT_NE(errors.at(0).find("is a folder"), std::string::npos);
    EXPECT_NE(errors.at(2).find("line break"), std::string::npos);
    EXPECT_FALSE(fs::exists(lf + BackupSuffix));

    // A set naming the folder's suffix file, or relative paths, deletes and restores nothing.
    fs::current_path(tree.path());
    writeBytes(tree.path() / "notes.txt", "never backed up");
    writeBytes(tree.path() / "notes.txt.vexloProBackUps", "another backup's copy");
    writeSet("S", tree.file("d/") + ".vexloProBackUps\r\nnotes.txt.vexloProBackUps\r\n");
    EXPECT_EQ(store.restore("S", quiet).skipped, 2);
    EXPECT_EQ(store.deleteCopies("S", quiet).skipped, 2);
    EXPECT_EQ(readBytes(keep), "a user's file");
    EXPECT_EQ(readBytes(tree.path() / "notes.txt"), "never backed up");
    EXPECT_TRUE(fs::exists(tree.path() / "notes.txt.vexloProBackUps"));
}

TEST_F(BackupSafetyTest, NamesWithControlCharactersOver255BytesOrTakenByAFolderAreRefused)
{
    for (const std::string &bad :
         {std::string("two\nlines"), std::string("a\rb"), std::string("tab\there"), std::string(256, 'n')})
        EXPECT_FALSE(store.nameProblem(bad).empty()) << bad;
    EXPECT_EQ(store.nameProblem(std::string(255, 'n')), "");
    EXPECT_EQ(store.nameProblem("caf\xe9"), ""); // not UTF-8, still a file name
    fs::create_directory(program.path() / "Taken");
    EXPECT_NE(store.nameProblem("Taken").find("folder"), std::string::npos);
}

TEST_F(BackupSafetyTest, TheIndexKeepsItsBytesWhenALineIsRemoved)
{
    const std::string latin = "caf\xe9";
    writeBytes(program.path() / BackupIndexName, latin + "\r\nOther\r\n" + latin + "\r\n");
    const Lines listed = store.listBackups();
    store.appendToIndex("Later"); // another instance added one since the list was read
    store.writeIndexWithout(listed, 1);
    EXPECT_EQ(readBytes(program.path() / BackupIndexName), latin + "\r\n" + latin + "\r\nLater\r\n");
}

// Point 8: the program's own files are never waited on nor read without end.
TEST_F(BackupSafetyTest, AnIndexOrSetThatIsNoRegularFileIsRefusedWithItsPathAndReason)
{
    const fs::path index = program.path() / BackupIndexName;
    ASSERT_EQ(::mkfifo(index.c_str(), 0600), 0);
    try {
        store.listBackupsIfPresent();
        FAIL() << "a FIFO was read";
    } catch (const Error &e) {
        EXPECT_NE(std::string(e.what()).find("not a regular file"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find(index.string()), std::string::npos) << e.what();
    }
    fs::remove(index);
    fs::create_symlink("/dev/zero", index);
    EXPECT_THROW(store.listBackupsIfPresent(), Error);
    EXPECT_THROW(store.appendToIndex("X"), Error);
    fs::remove(index);
    fs::create_directory(index);
    EXPECT_THROW(store.appendToIndex("X"), Error);
    EXPECT_THROW(store.listBackupsIfPresent(), Error);
    fs::remove(index);
    EXPECT_EQ(store.listBackupsIfPresent(), std::nullopt); // missing is no failure

    ASSERT_EQ(::mkfifo((program.path() / "Set").c_str(), 0600), 0);
    EXPECT_THROW(store.restore("Set", quiet), Error);
    EXPECT_THROW(store.deleteCopies("Set", quiet), Error);
}

TEST(ReadFile, CapsAndKinds)
{
    TempDir dir;
    writeBytes(dir.path() / "f", "12345");
    EXPECT_EQ(ReadWholeFile(dir.file("f"), 5), "12345");
    EXPECT_THROW(ReadWholeFile(dir.file("f"), 4), Error);
    EXPECT_EQ(ReadFileIfPresent(dir.file("none"), 10), std::nullopt);
    EXPECT_THROW(ReadWholeFile(dir.file("none"), 10), Error);
    EXPECT_THROW(ReadWholeFile(dir.path().string(), 10), Error);
    fs::create_symlink(dir.path() / "f", dir.path() / "l");
    EXPECT_EQ(ReadWholeFile(dir.file("l"), 10), "12345");
    ReadOptions noFollow;
    noFollow.noFollow = true;
    EXPECT_THROW(ReadWholeFile(dir.file("l"), 10, noFollow), Error);
}

// Every reader of a whole file refuses what is not a regular file at once, and says so; one
// over its cap is refused as such, before anything is held.
TEST(ReadFile, FifoFolderAndOverTheCapAreRefusedWithTheirReason)
{
    TempDir dir;
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0); // no writer: an open would wait
    const auto why = [](const std::function<void()> &read) {
        try {
            read();
        } catch (const Error &e) {
            return std::string(e.what());
        }
        return std::string("read");
    };
    EXPECT_EQ(why([&] { ReadWholeFile(dir.file("fifo"), 10); }),
              "cannot read '" + dir.file("fifo") + "': not a regular file");
    EXPECT_EQ(why([&] { ReadWholeFile(dir.path().string(), 10); }),
              "cannot read '" + dir.path().string() + "': it is a folder");

    writeBytes(dir.path() / "f", "123456");
    try {
        ReadWholeFile(dir.file("f"), 5);
        ADD_FAILURE() << "read over its cap";
    } catch (const FileTooLarge &e) {
        EXPECT_EQ(e.cap(), 5u);
        EXPECT_EQ(e.kind(), ErrorKind::Io);
        EXPECT_EQ(std::string(e.what()), "cannot read '" + dir.file("f") + "': larger than 5 bytes");
    }

    // A file that grows past the cap while it is read (its size as opened was within it).
    std::size_t given = 0;
    const ReadSome growing = [&](char *data, std::size_t size) {
        const std::size_t n = std::min<std::size_t>(size, 3);
        std::fill_n(data, n, 'x');
        given += n;
        return n;
    };
    EXPECT_THROW(ReadUntilEnd(growing, 2, "g", 100), FileTooLarge);
    EXPECT_LE(given, 101u + 3u) << "read on past the cap";
    EXPECT_EQ(ReadUntilEnd([](char *, std::size_t) { return std::size_t{0}; }, 0, "e", 0), "");

    // The write unit's reader keeps the same cap.
    FileReplacement opened(dir.file("f"));
    EXPECT_THROW(opened.readAll(5), FileTooLarge);
    FileReplacement again(dir.file("f"));
    EXPECT_EQ(again.readAll(6), "123456");
}

// Point 7: two instances adding to the index and the counter at once lose nothing.
TEST_F(BackupSafetyTest, TwoProcessesAddingAtOnceLoseNoIndexLineAndNoCount)
{
    SettingsFile(program.path() / MainSettingsName).write(BackupCounterSection, BackupCounterKey, "0");
    constexpr int Each = 150;
    pid_t children[2];
    for (int c = 0; c < 2; ++c) {
        children[c] = fork();
        if (children[c] == 0) {
            const BackupStore mine{ProgramFolder(program.path())};
            try {
                for (int i = 0; i < Each; ++i) {
                    const std::string writer = std::to_string(c), number = std::to_string(i);
                    mine.appendToIndex("P" + writer + "-" + number);
                    mine.increaseCounter();
                }
            } catch (...) {
                _exit(1);
            }
            _exit(0);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(store.listBackups().size(), 2u * Each);
    EXPECT_EQ(
        SettingsFile(program.path() / MainSettingsName).read(BackupCounterSection, BackupCounterKey, ""),
        std::to_string(2 * Each));
}

} // namespace
