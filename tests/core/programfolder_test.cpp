// Where the program keeps its own files: beside the executable in a build tree or a portable
// copy, in the per-user folder when it runs from an installed tree.
#include "base/Error.h"
#include "base/ProgramFolder.h"
#include "settings/SettingsFile.h"
#include "support/TestSupport.h"

#include <sys/stat.h>

using namespace vexlo;
using vexlo::test::readBytes;
using vexlo::test::TempDir;
using vexlo::test::writeBytes;
namespace fs = std::filesystem;

namespace {

class ProgramFolderTest : public ::testing::Test {
  protected:
    TempDir tmp;
    fs::path prefix = tmp.path() / "usr";
    fs::path bin = prefix / "bin";
    fs::path share = prefix / "share" / "vexlopro";
    fs::path data = tmp.path() / "data";

    void install(std::string_view settings = "[Add_File_Procedure]\r\nBackupCount=0\r\n")
    {
        fs::create_directories(bin);
        fs::create_directories(share);
        writeBytes(share / "vexlopro.ini", settings);
        writeBytes(share / "help.txt", "installed help");
    }
};

struct RecordingStop : ProgramStop {
    std::vector<std::string> calls;
    void showMessage(const std::string &text) override { calls.push_back(text); }
    void terminate() override { calls.push_back("terminate"); }
};

TEST_F(ProgramFolderTest, ABuildTreeKeepsItsFilesBesideTheExecutable)
{
    // No installed settings beside it: the executable's folder, whatever else is there, and a
    // missing "vexlopro.ini" is not made up.
    fs::create_directories(bin);
    writeBytes(bin / "help.txt", "own help");
    const ProgramFolder folder = LocateProgramFolder(bin, data.c_str(), tmp.path().c_str());
    EXPECT_EQ(folder.dir(), bin);
    EXPECT_EQ(folder.resource("help.txt"), bin / "help.txt");
    EXPECT_FALSE(fs::exists(data));
    EXPECT_FALSE(fs::exists(bin / "vexlopro.ini"));

    RecordingStop stop;
    RequireSettingsFile(folder, "001", stop);
    EXPECT_EQ(stop.calls.size(), 2u);
}

TEST_F(ProgramFolderTest, AnInstalledTreeUsesThePerUserFolderSeededWithTheDefaultSettings)
{
    install();
    // The share folder being writable (as root finds /usr) changes nothing.
    const ProgramFolder folder = LocateProgramFolder(bin, data.c_str(), "/nonexistent-home");
    EXPECT_EQ(folder.dir(), data / "vexlopro");
    EXPECT_EQ(readBytes(data / "vexlopro" / "vexlopro.ini"), "[Add_File_Procedure]\r\nBackupCount=0\r\n");
    struct stat info {};
    ASSERT_EQ(::stat((data / "vexlopro").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0700u);
    EXPECT_EQ(test::listNames(data / "vexlopro"), std::vector<std::string>{"vexlopro.ini"});

    // Read-only files come from the installed tree until the folder has its own.
    EXPECT_EQ(folder.resource("help.txt"), share / "help.txt");
    writeBytes(data / "vexlopro" / "help.txt", "mine");
    EXPECT_EQ(folder.resource("help.txt"), data / "vexlopro" / "help.txt");
    EXPECT_EQ(folder.resource("Memo1.Notes"), data / "vexlopro" / "Memo1.Notes");
}

TEST_F(ProgramFolderTest, TheUsersSettingsAreNeverOverwrittenAndARemovedCopyStopsTheProgram)
{
    install();
    fs::create_directories(data / "vexlopro");
    writeBytes(data / "vexlopro" / "vexlopro.ini", "users own");
    const ProgramFolder folder = LocateProgramFolder(bin, data.c_str(), nullptr);
    EXPECT_EQ(readBytes(folder.file("vexlopro.ini")), "users own");

    // Deleted while the program runs: the next file-opening action stops it as before.
    fs::remove(folder.file("vexlopro.ini"));
    RecordingStop stop;
    RequireSettingsFile(folder, "001", stop);
    EXPECT_EQ(stop.calls,
              (std::vector<std::string>{"Critical mistake!, Error Code: [001]\r\nSetup Vexlo Pro again..",
                                        "terminate"}));
    // The next start gives the copy back.
    LocateProgramFolder(bin, data.c_str(), nullptr);
    EXPECT_TRUE(fs::exists(folder.file("vexlopro.ini")));
}

TEST_F(ProgramFolderTest, ThePerUserFolderFollowsTheXdgRules)
{
    EXPECT_EQ(PerUserFolder("/x/data", "/home/u"), fs::path("/x/data/vexlopro"));
    // Unset, empty and relative values fall back to HOME.
    EXPECT_EQ(PerUserFolder(nullptr, "/home/u"), fs::path("/home/u/.local/share/vexlopro"));
    EXPECT_EQ(PerUserFolder("", "/home/u"), fs::path("/home/u/.local/share/vexlopro"));
    EXPECT_EQ(PerUserFolder("rel/data", "/home/u"), fs::path("/home/u/.local/share/vexlopro"));
    EXPECT_THROW(PerUserFolder(nullptr, nullptr), Error);
    EXPECT_THROW(PerUserFolder("rel", "also-relative"), Error);

    // The missing levels above the folder are made too.
    install();
    const fs::path home = tmp.path() / "home";
    const ProgramFolder folder = LocateProgramFolder(bin, nullptr, home.c_str());
    EXPECT_EQ(folder.dir(), home / ".local" / "share" / "vexlopro");
    EXPECT_TRUE(fs::exists(folder.file("vexlopro.ini")));
}

TEST_F(ProgramFolderTest, AFolderThatCannotBeMadeIsAnErrorAndLeavesNothing)
{
    install();
    // A file where the folder should be.
    writeBytes(data, "in the way");
    EXPECT_THROW(LocateProgramFolder(bin, data.c_str(), nullptr), Error);
    EXPECT_EQ(readBytes(data), "in the way");
}

} // namespace
