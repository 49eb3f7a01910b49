#include "backup/BackupStore.h"
#include "base/Error.h"
#include "settings/SettingsFile.h"
#include "support/TestSupport.h"

#include <filesystem>

using namespace vexlo;
using vexlo::test::readBytes;
using vexlo::test::TempDir;
using vexlo::test::writeBytes;

namespace fs = std::filesystem;

namespace {

// Records every observer call in order.
struct Recorder : RunObserver {
    std::vector<std::string> done, skipped, failed;
    void fileDone(const std::string &path, Outcome outcome) override
    {
        (outcome == Outcome::Skipped ? skipped : done).push_back(path);
    }
    void error(const std::string &path, const Error &) override { failed.push_back(path); }
};

class BackupTest : public ::testing::Test {
  protected:
    TempDir program; // the program folder
    TempDir targets; // the user's files
    BackupStore store{ProgramFolder(program.path())};
    Recorder seen;

    std::string target(const std::string &name, const std::string &bytes)
    {
        writeBytes(targets.path() / name, bytes);
        return targets.file(name);
    }
    void setCounter(const std::string &value)
    {
        SettingsFile(program.path() / "vexlopro.ini").write("Add_File_Procedure", "BackupCount", value);
    }
    std::string counter() const
    {
        return SettingsFile(program.path() / "vexlopro.ini").read("Add_File_Procedure", "BackupCount", "");
    }
    // A whole "Do backup!" with the steps in their order.
    void backup(const std::string &name, const std::vector<std::string> &paths)
    {
        const BackupTally tally = store.copyFiles(paths, seen);
        store.appendToIndex(name);
        store.writeSet(name, tally.set);
        store.increaseCounter();
    }
};

TEST_F(BackupTest, ProposedNameFollowsTheCounterNotTheNameUsed)
{
    setCounter("0");
    EXPECT_EQ(store.proposeName(), "BackUp1");
    backup("Mine", {target("a.txt", "x")});
    EXPECT_EQ(counter(), "1");
    EXPECT_EQ(store.proposeName(), "BackUp2");
}

TEST_F(BackupTest, CounterThatIsNoNumberFailsAsConversionAfterEverythingElseIsWritten)
{
    try {
        store.proposeName(); // missing: the key's own name is read
        FAIL() << "no error";
    } catch (const Error &e) {
        EXPECT_EQ(e.kind(), ErrorKind::Conversion);
    }
    setCounter("seven");
    const std::string a = target("a.txt", "x");
    const BackupTally tally = store.copyFiles({a}, seen);
    store.appendToIndex("B");
    store.writeSet("B", tally.set);
    EXPECT_THROW(store.increaseCounter(), Error);
    EXPECT_EQ(counter(), "seven");
    EXPECT_TRUE(fs::exists(a + ".vexloProBackUps"));
    EXPECT_BYTES_EQ("B\r\n", readBytes(program.path() / "BackUp.vexloPro"));
}

TEST_F(BackupTest, CopiesLieBesideTheFilesAndTheSetNamesEveryEntryInOrder)
{
    setCounter("0");
    const std::string a = target("a.txt", "one");
    const std::string missing = targets.file("gone.txt");
    const std::string b = target("b", "two");
    backup("Set", {a, missing, b});

    EXPECT_EQ(readBytes(a + ".vexloProBackUps"), "one");
    EXPECT_EQ(readBytes(b + ".vexloProBackUps"), "two");
    EXPECT_FALSE(fs::exists(missing + ".vexloProBackUps"));
    // The set names the missing file's copy too, and every line ends in CR LF.
    EXPECT_BYTES_EQ(a + ".vexloProBackUps\r\n" + missing + ".vexloProBackUps\r\n" + b +
                        ".vexloProBackUps\r\n",
                    readBytes(program.path() / "Set"));
    EXPECT_EQ(seen.done, (std::vector<std::string>{a, b}));
    EXPECT_EQ(seen.failed, (std::vector<std::string>{missing}));
}

TEST_F(BackupTest, FailedCopiesAreCountedAndNamedInTheEndMessage)
{
    const std::string missing = targets.file("gone.txt");
    const BackupTally tally = store.copyFiles({target("a", "1"), missing, targets.file("gone2")}, seen);
    EXPECT_EQ(tally.done, 1);
    EXPECT_EQ(tally.failed, 2);
    EXPECT_EQ(tally.firstFailedPath, missing);
    const std::string text = EndMessage(tally, "copied");
    EXPECT_EQ(text.rfind("The end.\r\n2 files could not be copied, the first: " + missing, 0), 0u) << text;
    EXPECT_EQ(EndMessage(BackupTally{}, "copied"), "The end.");
}

TEST_F(BackupTest, AFailedCopyLeavesTheEarlierCopy)
{
    const std::string a = target("a", "first");
    store.copyFiles({a}, seen);
    fs::remove(a);
    fs::create_directory(a); // cannot be read as a file now
    const BackupTally tally = store.copyFiles({a}, seen);
    EXPECT_EQ(tally.failed, 1);
    EXPECT_EQ(readBytes(a + ".vexloProBackUps"), "first");
}

TEST_F(BackupTest, SameFileTwiceKeepsOneCopyOfTheSecondStateNamedByBothSets)
{
    setCounter("0");
    const std::string a = target("a.txt", "old");
    backup("BackUp1", {a});
    writeBytes(a, "new");
    backup("BackUp2", {a, a});
    EXPECT_EQ(readBytes(a + ".vexloProBackUps"), "new");
    EXPECT_EQ(readBytes(program.path() / "BackUp1"), a + ".vexloProBackUps\r\n");
    EXPECT_EQ(readBytes(program.path() / "BackUp2"), a + ".vexloProBackUps\r\n" + a + ".vexloProBackUps\r\n");
    EXPECT_BYTES_EQ("BackUp1\r\nBackUp2\r\n", readBytes(program.path() / "BackUp.vexloPro"));
    EXPECT_EQ(store.listBackups(), (Lines{"BackUp1", "BackUp2"}));
}

TEST_F(BackupTest, ANameUsedTwiceReplacesTheSetAndIsIndexedTwice)
{
    setCounter("0");
    const std::string a = target("a", "1");
    const std::string b = target("b", "2");
    backup("X", {a});
    backup("X", {b});
    EXPECT_EQ(readBytes(program.path() / "X"), b + ".vexloProBackUps\r\n");
    EXPECT_EQ(store.listBackups(), (Lines{"X", "X"}));
    EXPECT_EQ(counter(), "2");
}

TEST_F(BackupTest, AnEmptyListStillWritesAnEmptySet)
{
    setCounter("3");
    backup("Empty", {});
    EXPECT_TRUE(fs::exists(program.path() / "Empty"));
    EXPECT_EQ(readBytes(program.path() / "Empty"), "");
    EXPECT_EQ(store.listBackups(), (Lines{"Empty"}));
    EXPECT_EQ(counter(), "4");
}

TEST_F(BackupTest, NamesThatAreNoPlainFileNameOrTheProgramsOwnAreRefused)
{
    for (const char *bad :
         {"", ".", "..", "../x", "sub/x", "a\\b", "vexlopro.ini", "VEXLO.INI", "BackUp.vexloPro", "help.txt",
          "a.txt", "richedittext.vexlo", "Vexloy.XXX", "WhatToFind0.vexlopro",
          "ReplaceWithMultiLine9.vexlopro", "Memo3.Notes", "TextFileTesting.txt", "vexlopro"}) {
        EXPECT_FALSE(BackupNameProblem(bad).empty()) << bad;
        EXPECT_THROW(store.writeSet(bad, {"x"}), Error) << bad;
    }
    for (const char *good : {"BackUp1", "before run.txt", "..hidden", "WhatToFind10.vexlopro"})
        EXPECT_EQ(BackupNameProblem(good), "") << good;
    EXPECT_FALSE(fs::exists(program.path() / "vexlopro.ini"));
    EXPECT_FALSE(fs::exists(program.path().parent_path() / "x"));
}

TEST_F(BackupTest, RestoreWritesTheCopiesBackAndLeavesTheStoreAsItWas)
{
    setCounter("0");
    const std::string a = target("a.txt", "before");
    backup("BackUp1", {a});
    writeBytes(a, "after a run");
    const std::string setBefore = readBytes(program.path() / "BackUp1");

    const BackupTally tally = store.restore("BackUp1", seen);
    EXPECT_EQ(tally.done, 1);
    EXPECT_EQ(readBytes(a), "before");
    EXPECT_EQ(readBytes(a + ".vexloProBackUps"), "before");
    EXPECT_EQ(readBytes(program.path() / "BackUp1"), setBefore);
    EXPECT_EQ(store.listBackups(), (Lines{"BackUp1"}));
}

TEST_F(BackupTest, RestoreSkipsLinesThatNameNoCopyAndKeepsTargetsWhoseCopyIsMissing)
{
    const std::string victim = target("victim.txt", "keep me");
    const std::string a = target("a", "now");
    writeBytes(program.path() / "Hand",
               ".vexloProBackUps\r\nBackUps\r\n" + victim + "\r\n" + a + ".vexloProBackUps\r\n");
    const BackupTally tally = store.restore("Hand", seen);
    EXPECT_EQ(tally.skipped, 3); // the short line, the line shorter than the suffix, the plain path
    EXPECT_EQ(tally.failed, 1);  // a's copy is missing
    EXPECT_EQ(readBytes(victim), "keep me");
    EXPECT_EQ(readBytes(a), "now");
    EXPECT_NE(EndMessage(tally, "restored").find("3 lines"), std::string::npos);
}

TEST_F(BackupTest, NothingSelectedOrAMissingSetStopsBeforeAnything)
{
    EXPECT_THROW(store.restore("", seen), Error);
    EXPECT_THROW(store.restore("NoSuchSet", seen), Error);
    EXPECT_THROW(store.deleteCopies("", seen), Error);
    EXPECT_THROW(store.deleteCopies("../" + targets.path().filename().string(), seen), Error);
    EXPECT_THROW(store.listBackups(), Error); // no index yet
    EXPECT_TRUE(seen.done.empty() && seen.failed.empty());
}

TEST_F(BackupTest, DeleteRemovesOnlyCopiesAndOnlyTheSelectedIndexLine)
{
    setCounter("0");
    const std::string a = target("a.txt", "A");
    const std::string b = target("b.txt", "B");
    backup("Dup", {a});
    backup("Other", {b});
    backup("Dup", {a});
    // A hand-edited line naming an original file is never deleted.
    writeBytes(program.path() / "Dup", a + ".vexloProBackUps\r\n" + b + "\r\n");

    const Lines listed = store.listBackups();
    ASSERT_EQ(listed, (Lines{"Dup", "Other", "Dup"}));
    const BackupTally tally = store.deleteCopies("Dup", seen);
    store.writeIndexWithout(listed, 2);

    EXPECT_EQ(tally.done, 1);
    EXPECT_EQ(tally.skipped, 1);
    EXPECT_FALSE(fs::exists(a + ".vexloProBackUps"));
    EXPECT_TRUE(fs::exists(a));
    EXPECT_TRUE(fs::exists(b));
    EXPECT_TRUE(fs::exists(b + ".vexloProBackUps"));
    EXPECT_TRUE(fs::exists(program.path() / "Dup")); // the set file stays
    EXPECT_BYTES_EQ("Dup\r\nOther\r\n", readBytes(program.path() / "BackUp.vexloPro"));

    // Deleting again: the copy is gone, which is counted, and nothing else changes.
    const BackupTally again = store.deleteCopies("Dup", seen);
    EXPECT_EQ(again.failed, 1);
}

TEST_F(BackupTest, IndexKeepsItsLinesAndGetsCrLfWhenAppended)
{
    writeBytes(program.path() / "BackUp.vexloPro", "Old1\nOld2");
    store.appendToIndex("New");
    EXPECT_BYTES_EQ("Old1\r\nOld2\r\nNew\r\n", readBytes(program.path() / "BackUp.vexloPro"));
}

} // namespace

// The whole backup as one call, as the "Do backup" window makes it.
TEST_F(BackupTest, OneBackupCallCopiesWritesTheSetIndexesAndCounts)
{
    setCounter("4");
    const std::string a = target("a.txt", "x"), b = target("b.txt", "y");
    const BackupTally tally = store.backup("Mine", {a, b}, seen);
    EXPECT_EQ(tally.done, 2);
    EXPECT_EQ(readBytes(a + BackupSuffix), "x");
    EXPECT_EQ(readBytes(program.path() / "Mine"), a + BackupSuffix + "\r\n" + b + BackupSuffix + "\r\n");
    EXPECT_EQ(store.listBackups(), Lines{"Mine"});
    EXPECT_EQ(counter(), "5");
    EXPECT_EQ(seen.done, (std::vector<std::string>{a, b}));
}

TEST_F(BackupTest, OneBackupCallRefusesABadNameBeforeCopyingAnything)
{
    setCounter("0");
    const std::string a = target("a.txt", "x");
    fs::create_directory(program.path() / "Taken");
    for (const std::string name : {"", "a/b", "vexlopro.ini", "Taken"}) {
        try {
            store.backup(name, {a}, seen);
            FAIL() << "no error for '" << name << "'";
        } catch (const Error &e) {
            EXPECT_EQ(e.kind(), ErrorKind::Io) << name;
            EXPECT_EQ(e.what(), store.nameProblem(name)) << name;
        }
    }
    EXPECT_FALSE(fs::exists(a + BackupSuffix));
    EXPECT_TRUE(seen.done.empty());
    EXPECT_FALSE(fs::exists(program.path() / BackupIndexName));
    EXPECT_EQ(counter(), "0");
}

TEST_F(BackupTest, OneBackupCallWhoseIndexCannotBeWrittenIsNotCompletedAndNotCounted)
{
    setCounter("2");
    const std::string a = target("a.txt", "x");
    fs::create_directory(program.path() / BackupIndexName); // the index cannot be read or written
    try {
        store.backup("Mine", {a}, seen);
        FAIL() << "no error";
    } catch (const Error &e) {
        EXPECT_EQ(e.kind(), ErrorKind::Io);
    }
    EXPECT_EQ(counter(), "2"); // no name is used up by a backup that did not happen
    EXPECT_TRUE(fs::is_directory(program.path() / BackupIndexName));
}

TEST_F(BackupTest, OneBackupCallWithABadCounterFailsOnlyAfterTheBackupIsComplete)
{
    setCounter("seven");
    const std::string a = target("a.txt", "x");
    try {
        store.backup("Mine", {a}, seen);
        FAIL() << "no error";
    } catch (const Error &e) {
        EXPECT_EQ(e.kind(), ErrorKind::Conversion);
    }
    EXPECT_EQ(store.listBackups(), Lines{"Mine"});
    EXPECT_EQ(store.readSet("Mine"), Lines{a + BackupSuffix});
}
