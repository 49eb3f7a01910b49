#include "base/Error.h"
#include "settings/SettingsFile.h"
#include "support/TestSupport.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

using namespace vexlo;
using vexlo::test::readBytes;
using vexlo::test::TempDir;
using vexlo::test::writeBytes;

namespace {

class SettingsTest : public ::testing::Test {
  protected:
    TempDir tmp;
    std::filesystem::path ini = tmp.path() / "vexlopro.ini";
    SettingsFile settings{ini};
};

// Lets write() fail with EFBIG past `bytes`, which holds even for root.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }

  private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
};

} // namespace

TEST_F(SettingsTest, ReadsNamesWithoutRegardToCaseOrBlanksAndAnyLineEnd)
{
    writeBytes(ini, "top=0\n[Other]\rKey=wrong\r[ Sec ]\r\n  kEY = value  \nx=\"  quoted \"\r\n"
                    "[sec]\r\nlate=1\r\n");
    EXPECT_EQ(settings.read("SEC", "key", "d"), "value");
    EXPECT_EQ(settings.read("sec", "x", "d"), "  quoted ");
    EXPECT_EQ(settings.read("sec", "late", "d"), "d"); // a repeated section is not consulted
    EXPECT_EQ(settings.read("sec", "top", "d"), "d");
    EXPECT_EQ(settings.read("nosuch", "key", "d"), "d");
    EXPECT_EQ(SettingsFile(tmp.path() / "missing.ini").read("sec", "key", "Key"), "Key");

    writeBytes(ini, "[s]\r\nlong=" + std::string(3000, 'v') + "\r\n");
    EXPECT_EQ(settings.read("s", "long", ""), std::string(2047, 'v'));
}

TEST_F(SettingsTest, WriteChangesOnlyTheValueOfAnExistingKey)
{
    const std::string before = "; note\n[A]\r\nKey = old \r\nother=1\n\n[b]\r\nkey=keep\r\n";
    writeBytes(ini, before);
    settings.write("a", "KEY", "new");
    EXPECT_BYTES_EQ("; note\n[A]\r\nKey =new\r\nother=1\n\n[b]\r\nkey=keep\r\n", readBytes(ini));
}

TEST_F(SettingsTest, WriteAppendsMissingKeysAndSectionsAndCreatesTheFile)
{
    settings.write("s", "k", "v");
    EXPECT_BYTES_EQ("[s]\r\nk=v\r\n", readBytes(ini));

    writeBytes(ini, "[a]\r\nx=1\r\n\r\n[b]\r\ny=2");
    settings.write("A", "z", "3");
    settings.write("b", "w", "4");
    settings.write("c", "v", "5");
    EXPECT_BYTES_EQ("[a]\r\nx=1\r\nz=3\r\n\r\n[b]\r\ny=2\r\nw=4\r\n[c]\r\nv=5\r\n", readBytes(ini));

    writeBytes(ini, "[empty]\r\n\r\n");
    settings.write("empty", "k", "1");
    EXPECT_BYTES_EQ("[empty]\r\nk=1\r\n\r\n", readBytes(ini));
}

TEST_F(SettingsTest, ValuesReadBackAsWrittenAndLineBreaksCannotSplitAnEntry)
{
    for (const std::string value : {"", " lead", "trail ", "'q'", "\"dq\"", "a=b", "C:/x y/"}) {
        settings.write("s", "k", value);
        EXPECT_EQ(settings.read("s", "k", "d"), value);
    }
    settings.write("s", "k", "first\r\n[evil]\r\nk=2");
    EXPECT_EQ(settings.read("s", "k", "d"), "first");
    EXPECT_EQ(settings.read("evil", "k", "d"), "d");
    EXPECT_BYTES_EQ("[s]\r\nk=first\r\n", readBytes(ini));
}

TEST_F(SettingsTest, FailedWriteKeepsTheOldFileAndLeavesNoTemporary)
{
    writeBytes(ini, "[s]\r\nk=v\r\n");
    chmod(ini.c_str(), 0640);
    settings.write("s", "k", "w");
    struct stat st;
    ASSERT_EQ(stat(ini.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    try {
        FileSizeLimit limit(8);
        settings.write("s", "k", std::string(100, 'x'));
        FAIL() << "write did not fail";
    } catch (const Error &e) {
        EXPECT_EQ(e.kind(), ErrorKind::SettingsWrite);
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + ini.string());
    }
    EXPECT_BYTES_EQ("[s]\r\nk=w\r\n", readBytes(ini));
    EXPECT_EQ(vexlo::test::listNames(tmp.path()), std::vector<std::string>{"vexlopro.ini"});

    SettingsFile nowhere(tmp.path() / "no" / "such.ini");
    EXPECT_THROW(nowhere.write("s", "k", "v"), Error);
}

TEST_F(SettingsTest, ADirectoryInPlaceOfTheFileReadsAsMissingAndRefusesWrites)
{
    std::filesystem::create_directory(ini);
    EXPECT_EQ(settings.read("Wich_Option_Top", "aGB", "aGB"), "aGB");
    try {
        settings.write("Wich_Option_Top", "aGB", "1");
        FAIL() << "writing over a directory must fail";
    } catch (const Error &e) {
        EXPECT_EQ(e.kind(), ErrorKind::SettingsWrite);
        EXPECT_NE(std::string(e.what()).find("Unable to write to " + ini.string()), std::string::npos);
    }
    EXPECT_TRUE(std::filesystem::is_directory(ini));
}

TEST_F(SettingsTest, DialogLocationRemembersFolderAndFilter)
{
    const DialogLocation location{"2"};
    location.write(settings, "/home/u/docs/a.txt", 3);
    EXPECT_EQ(settings.read("Add_File_Procedure", "Last_Opened_Directory2", ""), "/home/u/docs/");
    const auto value = location.read(settings);
    EXPECT_EQ(value.directory, "/home/u/docs/");
    EXPECT_EQ(value.filterIndex, 3);

    // A missing filter key reads as its own name and fails the conversion.
    try {
        DialogLocation{"15"}.read(settings);
        FAIL() << "no conversion error";
    } catch (const Error &e) {
        EXPECT_EQ(e.kind(), ErrorKind::Conversion);
    }
}

TEST_F(SettingsTest, MissingMainFileStopsTheProgramAfterTheMessage)
{
    struct RecordingStop : ProgramStop {
        std::vector<std::string> calls;
        void showMessage(const std::string &text) override { calls.push_back(text); }
        void terminate() override { calls.push_back("terminate"); }
    } stop;
    RequireSettingsFile(ProgramFolder(tmp.path()), "003", stop);
    EXPECT_EQ(stop.calls,
              (std::vector<std::string>{"Critical mistake!, Error Code: [003]\r\nSetup Vexlo Pro again..",
                                        "terminate"}));

    stop.calls.clear();
    writeBytes(ini, "");
    RequireSettingsFile(ProgramFolder(tmp.path()), "001", stop);
    EXPECT_TRUE(stop.calls.empty());
}

TEST(ShippedSettings, HoldsEveryNumericKeyWithAUsableValue)
{
    const SettingsFile shipped(VEXLO_SOURCE_DIR "/resources/vexlopro.ini");
    const char *section = "Add_File_Procedure";
    for (const char *suffix : {"", "1", "2", "3", "4", "5", "15", "16"}) {
        const DialogLocation location{suffix};
        const auto value = location.read(shipped);
        EXPECT_EQ(value.filterIndex, 5) << location.filterKey();
        EXPECT_NE(value.directory, location.directoryKey());
    }
    EXPECT_EQ(ToInt(shipped.read(section, "BackupCount", "BackupCount")), 0);
    for (const char *key :
         {"WhatToFindHistory", "ReplaceWithHistory", "WhatToFindMultiLine", "ReplaceWithMultiLine"})
        EXPECT_EQ(shipped.read(section, key, key), "9") << key;
    for (const char *key : {"aGB", "aTabbedNotebook1PageIndex", "aTabbedNotebook2PageIndex"})
        EXPECT_NO_THROW(ToInt(shipped.read("Wich_Option_Top", key, key))) << key;
}

// Two program instances writing keys into one file at the same time lose none of them.
TEST_F(SettingsTest, TwoProcessesWritingAtOnceLoseNoKey)
{
    writeBytes(ini, "[c]\r\n");
    pid_t children[2];
    for (int c = 0; c < 2; ++c) {
        children[c] = fork();
        if (children[c] == 0) {
            SettingsFile mine(ini);
            for (int i = 0; i < 300; ++i) {
                const std::string number = std::to_string(i);
                mine.write("c", "k" + std::to_string(c) + "_" + number, number);
            }
            _exit(0);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    int missing = 0;
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < 300; ++i) {
            const std::string writer = std::to_string(c), number = std::to_string(i);
            missing += settings.read("c", "k" + writer + "_" + number, "-") != number;
        }
    EXPECT_EQ(missing, 0);
}

TEST_F(SettingsTest, LineBreaksInNamesCannotInjectLinesAndReadOnlyFilesAreKept)
{
    settings.write("a\r\n[evil]", "k\nx=1", "v");
    EXPECT_EQ(readBytes(ini), "[a]\r\nk=v\r\n");
    chmod(ini.c_str(), 0444);
    EXPECT_THROW(settings.write("a", "k", "w"), Error);
    EXPECT_EQ(readBytes(ini), "[a]\r\nk=v\r\n");
}
