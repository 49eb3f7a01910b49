#include "base/Error.h"
#include "base/ProgramFolder.h"
#include "inputs/HistoryStore.h"
#include "inputs/NoteFiles.h"
#include "settings/SettingsFile.h"
#include "support/TestSupport.h"

#include <sys/wait.h>
#include <unistd.h>

using namespace vexlo;
using vexlo::test::listNames;
using vexlo::test::readBytes;
using vexlo::test::TempDir;
using vexlo::test::writeBytes;

namespace {

class HistoryTest : public ::testing::Test {
  protected:
    TempDir tmp;
    HistoryStore store{ProgramFolder(tmp.path())};
    std::filesystem::path ini = tmp.path() / "vexlopro.ini";

    void setCounter(const std::string &key, const std::string &value)
    {
        writeBytes(ini, "[Add_File_Procedure]\r\n" + key + "=" + value + "\r\n");
    }
    std::string counter(const char *key) const
    {
        return SettingsFile(ini).read("Add_File_Procedure", key, "<missing>");
    }
};

} // namespace

TEST_F(HistoryTest, CounterNineWrapsToSlotZero)
{
    setCounter("WhatToFindHistory", "9");
    EXPECT_EQ(store.record(HistoryKind::WhatToFind, {"foo"}), "0");
    EXPECT_BYTES_EQ("foo\r\n", readBytes(tmp.path() / "WhatToFind0.vexlopro"));
    EXPECT_EQ(counter("WhatToFindHistory"), "0");

    // The same string again takes the next slot; nothing is deduplicated.
    EXPECT_EQ(store.record(HistoryKind::WhatToFind, {"foo"}), "1");
    EXPECT_BYTES_EQ("foo\r\n", readBytes(tmp.path() / "WhatToFind1.vexlopro"));
    EXPECT_EQ(counter("WhatToFindHistory"), "1");
}

TEST_F(HistoryTest, CounterPastTheRingKeepsCountingUp)
{
    setCounter("ReplaceWithHistory", "15");
    EXPECT_EQ(store.record(HistoryKind::ReplaceWith, {"bar"}), "16");
    EXPECT_TRUE(std::filesystem::exists(tmp.path() / "ReplaceWith16.vexlopro"));
    EXPECT_EQ(counter("ReplaceWithHistory"), "16");
}

TEST_F(HistoryTest, BadOrMissingCounterFailsBeforeAnythingIsWritten)
{
    setCounter("WhatToFindMultiLine", "x1");
    const std::string before = readBytes(ini);
    for (HistoryKind kind : {HistoryKind::WhatToFindMultiLine, HistoryKind::ReplaceWithMultiLine}) {
        try {
            store.record(kind, {"a"});
            FAIL() << "no conversion error";
        } catch (const Error &e) {
            EXPECT_EQ(e.kind(), ErrorKind::Conversion);
        }
    }
    EXPECT_EQ(readBytes(ini), before);
    EXPECT_EQ(listNames(tmp.path()), std::vector<std::string>{"vexlopro.ini"});
}

TEST_F(HistoryTest, MultiLineRecordReplacesOldContentAndReadsBack)
{
    setCounter("ReplaceWithMultiLine", "3");
    writeBytes(tmp.path() / "ReplaceWithMultiLine4.vexlopro", "a much longer earlier text\r\n");
    const Lines lines = {"", "", "x", ""};
    EXPECT_EQ(store.record(HistoryKind::ReplaceWithMultiLine, lines), "4");
    EXPECT_BYTES_EQ("\r\n\r\nx\r\n\r\n", readBytes(tmp.path() / "ReplaceWithMultiLine4.vexlopro"));
    EXPECT_EQ(store.readSlot(HistoryKind::ReplaceWithMultiLine, 4), lines);

    writeBytes(tmp.path() / "WhatToFind2.vexlopro", "one\ntwo\rthree");
    EXPECT_EQ(store.readSlot(HistoryKind::WhatToFind, 2), (Lines{"one", "two", "three"}));
    EXPECT_EQ(store.readSlot(HistoryKind::WhatToFind, 3), std::nullopt);
}

TEST_F(HistoryTest, UnwritableSlotFileLeavesTheCounterAlone)
{
    setCounter("WhatToFindHistory", "9");
    std::filesystem::create_directory(tmp.path() / "WhatToFind0.vexlopro");
    try {
        store.record(HistoryKind::WhatToFind, {"foo"});
        FAIL() << "no error";
    } catch (const Error &e) {
        EXPECT_EQ(e.kind(), ErrorKind::Io);
    }
    EXPECT_EQ(counter("WhatToFindHistory"), "9");
    EXPECT_EQ(listNames(tmp.path()), (std::vector<std::string>{"WhatToFind0.vexlopro", "vexlopro.ini"}));
}

// Recordings of two instances at once: each takes its own slot, so the counter ends where 200
// recordings one after the other would leave it.
TEST_F(HistoryTest, TwoProcessesRecordingAtOnceLoseNoRecording)
{
    setCounter("WhatToFindHistory", "9");
    pid_t children[2];
    for (int c = 0; c < 2; ++c) {
        children[c] = fork();
        if (children[c] == 0) {
            HistoryStore mine{ProgramFolder(tmp.path())};
            for (int i = 0; i < 100; ++i)
                mine.record(HistoryKind::WhatToFind, Lines{"x"});
            _exit(0);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(counter("WhatToFindHistory"), "9");
}

// The notes: what is saved reads back as the same lines, an empty last line included.
TEST(NoteFiles, SavedNotesReadBackLineForLine)
{
    TempDir dir;
    const ProgramFolder folder(dir.path().string());
    EXPECT_EQ(NoteFileName(3), "Memo3.Notes");
    EXPECT_EQ(ReadNote(folder, 1), std::nullopt); // no file: the window keeps what it shows

    SaveNote(folder, 1, "first\n\xff line\n");
    EXPECT_EQ(readBytes(dir.path() / "Memo1.Notes"), "first\r\n\xff line\r\n\r\n");
    EXPECT_EQ(ReadNote(folder, 1), (Lines{"first", "\xff line", ""}));
    SaveNote(folder, 2, "");
    EXPECT_EQ(readBytes(dir.path() / "Memo2.Notes"), "");
    EXPECT_EQ(ReadNote(folder, 2), Lines{});
    EXPECT_EQ(NoteLines("a\r\nb"), (Lines{"a\r", "b"})); // the editor's text has LF only

    // Written by hand with other line ends: read all the same.
    writeBytes(dir.path() / "Memo4.Notes", "a\rb\nc");
    EXPECT_EQ(ReadNote(folder, 4), (Lines{"a", "b", "c"}));
}

TEST(NoteFiles, ANoteThatCannotBeReadOrWrittenSaysWhyAndKeepsTheOldFile)
{
    TempDir dir;
    const ProgramFolder folder(dir.path().string());
    std::filesystem::create_directory(dir.path() / "Memo5.Notes"); // a folder, not a note
    EXPECT_THROW(ReadNote(folder, 5), Error);
    EXPECT_THROW(SaveNote(folder, 5, "text"), Error);
    EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "Memo5.Notes"));

    const ProgramFolder missing((dir.path() / "missing").string());
    try {
        SaveNote(missing, 1, "text");
        ADD_FAILURE() << "saved into a missing folder";
    } catch (const Error &e) {
        EXPECT_NE(std::string(e.what()).find("Memo1.Notes"), std::string::npos) << e.what();
    }
}
