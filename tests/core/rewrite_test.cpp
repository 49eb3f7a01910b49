// Rewriting files on disk: the result, and what each kind of failure leaves behind.
#include "run/RewriteFile.h"
#include "run/SkippedFile.h"

#include "base/Error.h"
#include "base/SafeWrite.h"
#include "support/TestSupport.h"

#include <cerrno>
#include <filesystem>
#include <optional>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vexlo;
using test::listNames;
using test::readBytes;
using test::TempDir;
using test::writeBytes;
namespace fs = std::filesystem;

namespace {

TextOperation FooToBar()
{
    TextOperation op;
    op.find = "foo";
    op.inLine = InLineReplacement::OneString("bar");
    return op;
}

/// Runs the rewrite, expects an Io error naming `path`, and returns its message.
std::string ExpectIoError(const std::string &path, const TextOperation &op = FooToBar())
{
    try {
        RewriteFile(path, op);
    } catch (const Error &error) {
        EXPECT_EQ(error.kind(), ErrorKind::Io);
        EXPECT_EQ(error.path(), path);
        EXPECT_NE(std::string(error.what()).find(path), std::string::npos) << error.what();
        return error.what();
    }
    ADD_FAILURE() << "no error for " << path;
    return {};
}

/// A small tmpfs of our own over a folder (needs root); gone again at the end of the test.
class ScratchMount {
  public:
    ScratchMount(const fs::path &dir, const char *options) : m_dir(dir)
    {
        fs::create_directory(dir);
        m_mounted = ::mount("tmpfs", dir.c_str(), "tmpfs", 0, options) == 0;
    }
    ~ScratchMount()
    {
        if (m_mounted)
            ::umount2(m_dir.c_str(), MNT_DETACH);
    }
    bool mounted() const { return m_mounted; }
    bool makeReadOnly()
    {
        return ::mount(nullptr, m_dir.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }

  private:
    fs::path m_dir;
    bool m_mounted = false;
};

struct WriteHookGuard {
    ~WriteHookGuard()
    {
        fsseam::SetHook(nullptr);
        fsseam::SetUnnamedTemporaries(true);
    }
};

int FailingWrite(fsseam::Step step, const std::string &)
{
    return step == fsseam::Step::WriteTemporary ? EIO : 0;
}

} // namespace

TEST(RewriteFile, WritesTheResultWithCrLfBreaksAndKeepsThePermissionBits)
{
    TempDir dir;
    const std::string path = dir.file("a.txt");
    writeBytes(path, "foo foo\nnone\rlast foo");
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    RewriteFile(path, FooToBar());
    EXPECT_BYTES_EQ("bar foo\r\nnone\r\nlast bar\r\n", readBytes(path));
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(listNames(dir.path()), std::vector<std::string>{"a.txt"});
}

TEST(RewriteFile, RewritesFilesWithoutMatchesAndEmptyFiles)
{
    TempDir dir;
    writeBytes(dir.file("a.txt"), "x\ny");
    writeBytes(dir.file("e.txt"), "");
    RewriteFile(dir.file("a.txt"), FooToBar());
    RewriteFile(dir.file("e.txt"), FooToBar());
    EXPECT_BYTES_EQ("x\r\ny\r\n", readBytes(dir.file("a.txt")));
    EXPECT_BYTES_EQ("", readBytes(dir.file("e.txt")));
}

TEST(RewriteFile, LargeFilesComeOutAsTheBufferFormGivesThem)
{
    // Large enough for the writer thread, with long unchanged stretches and every break style.
    std::string input;
    for (int i = 0; input.size() < (40u << 20); ++i)
        input +=
            (i % 997 == 0 ? "some foo here" : "plain line of text") + std::string(i % 5 == 0 ? "\n" : "\r\n");
    input += "tail foo";
    TempDir dir;
    writeBytes(dir.file("big.txt"), input);
    RewriteFile(dir.file("big.txt"), FooToBar());
    EXPECT_TRUE(readBytes(dir.file("big.txt")) == ApplyToBuffer(input, FooToBar()));
}

TEST(RewriteFile, LargeFilesWithLoneCrBreaksAndVeryLongLinesComeOutWhole)
{
    // Stretches of a large file are cut at line breaks: every break style, CR LF pairs and
    // lines of several MB must come out as the buffer form gives them.
    std::string input;
    static const char *const kBreaks[] = {"\r", "\n", "\r\n"};
    for (int i = 0; input.size() < (36u << 20); ++i) {
        input += i % 13 == 0 ? "foo at the start" : "text then foo";
        if (i % 40000 == 7)
            input += std::string((3u << 20) + i % 5, 'y') + "foo";
        input += kBreaks[i % 3];
    }
    // And a file whose CR LF pairs straddle every multiple of 1 MB.
    constexpr std::size_t kMb = std::size_t{1} << 20;
    std::string straddling = "foo" + std::string(kMb - 4, 'c') + "\r\n";
    while (straddling.size() < (36u << 20))
        straddling += "foo" + std::string(kMb - 5, 'c') + "\r\n";
    ASSERT_EQ(straddling.substr(2 * kMb - 1, 2), "\r\n");
    TextOperation block;
    block.kind = TextOperation::Kind::Block;
    block.findLines = {"then foo"};
    block.replacementLines = {"a", "b"};
    for (const TextOperation &op : {FooToBar(), block}) {
        TempDir dir;
        writeBytes(dir.file("big.txt"), input);
        RewriteFile(dir.file("big.txt"), op);
        EXPECT_TRUE(readBytes(dir.file("big.txt")) == ApplyToBuffer(input, op));
        writeBytes(dir.file("big.txt"), straddling);
        RewriteFile(dir.file("big.txt"), op);
        EXPECT_TRUE(readBytes(dir.file("big.txt")) == ApplyToBuffer(straddling, op));
        EXPECT_EQ(listNames(dir.path()), std::vector<std::string>{"big.txt"});
    }
}

TEST(RewriteFile, KeepsTheOwnerWherePermitted)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can give a file away";
    TempDir dir;
    const std::string path = dir.file("a.txt");
    writeBytes(path, "foo\n");
    ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
    RewriteFile(path, FooToBar());
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, 65534u);
    EXPECT_EQ(info.st_gid, 65534u);
}

TEST(RewriteFile, FollowsASymbolicLinkAndLeavesTheLinkInPlace)
{
    TempDir dir;
    fs::create_directory(dir.path() / "real");
    writeBytes(dir.path() / "real" / "t.txt", "foo\n");
    fs::create_symlink("real/t.txt", dir.path() / "link.txt");
    RewriteFile(dir.file("link.txt"), FooToBar());
    EXPECT_TRUE(fs::is_symlink(dir.path() / "link.txt"));
    EXPECT_BYTES_EQ("bar\r\n", readBytes(dir.path() / "real" / "t.txt"));
    EXPECT_EQ(listNames(dir.path() / "real"), std::vector<std::string>{"t.txt"});
}

TEST(RewriteFile, GivesTheNamedPathNewBytesWhileOtherHardLinksKeepTheOld)
{
    // A rename replaces the name, not the file: other names keep the old content.
    TempDir dir;
    writeBytes(dir.file("a.txt"), "foo\n");
    fs::create_hard_link(dir.file("a.txt"), dir.file("b.txt"));
    RewriteFile(dir.file("a.txt"), FooToBar());
    EXPECT_BYTES_EQ("bar\r\n", readBytes(dir.file("a.txt")));
    EXPECT_BYTES_EQ("foo\n", readBytes(dir.file("b.txt")));
}

TEST(RewriteFile, RefusesWhatIsNotAWritableRegularFileAndChangesNothing)
{
    TempDir dir;
    writeBytes(dir.file("ro.txt"), "foo\n");
    fs::permissions(dir.file("ro.txt"), fs::perms::owner_read | fs::perms::group_read);
    fs::create_directory(dir.path() / "sub");
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0644), 0);
    fs::create_symlink("nowhere.txt", dir.path() / "dangling");
    const auto before = listNames(dir.path());

    EXPECT_NE(ExpectIoError(dir.file("ro.txt")).find("ermission"), std::string::npos);
    EXPECT_BYTES_EQ("foo\n", readBytes(dir.file("ro.txt")));
    ExpectIoError(dir.file("sub"));
    ExpectIoError(dir.file("fifo")); // must be refused, not block on an open or read
    ExpectIoError(dir.file("dangling"));
    ExpectIoError(dir.file("missing.txt"));
    EXPECT_EQ(listNames(dir.path()), before);
    EXPECT_TRUE(fs::is_empty(dir.path() / "sub"));
}

TEST(RewriteFile, FileDeletedBeforeTheRewriteIsReportedAndNotCreated)
{
    TempDir dir;
    writeBytes(dir.file("gone.txt"), "foo\n");
    fs::remove(dir.file("gone.txt"));
    EXPECT_NE(ExpectIoError(dir.file("gone.txt")).find("No such file"), std::string::npos);
    EXPECT_TRUE(listNames(dir.path()).empty());
}

TEST(RewriteFile, LeavesTheOriginalWhenTheWriteFails)
{
    WriteHookGuard guard;
    for (bool unnamed : {true, false}) {
        TempDir dir;
        writeBytes(dir.file("a.txt"), "foo\n");
        fsseam::SetUnnamedTemporaries(unnamed);
        fsseam::SetHook(FailingWrite);
        EXPECT_NE(ExpectIoError(dir.file("a.txt")).find("write"), std::string::npos);
        EXPECT_BYTES_EQ("foo\n", readBytes(dir.file("a.txt")));
        EXPECT_EQ(listNames(dir.path()), std::vector<std::string>{"a.txt"});

        fsseam::SetHook(nullptr);
        RewriteFile(dir.file("a.txt"), FooToBar());
        EXPECT_BYTES_EQ("bar\r\n", readBytes(dir.file("a.txt")));
        EXPECT_EQ(listNames(dir.path()), std::vector<std::string>{"a.txt"});
    }
}

TEST(RewriteFile, LeavesTheOriginalWhenAWriteOfALargeFileFails)
{
    WriteHookGuard guard;
    TempDir dir;
    const std::string original(40u << 20, 'x');
    writeBytes(dir.file("big.txt"), original);
    fsseam::SetHook(FailingWrite);
    ExpectIoError(dir.file("big.txt"));
    EXPECT_TRUE(readBytes(dir.file("big.txt")) == original);
    EXPECT_EQ(listNames(dir.path()), std::vector<std::string>{"big.txt"});
}

TEST(RewriteFile, LeavesTheOriginalWhenTheDiskIsFull)
{
    TempDir dir;
    ScratchMount mount(dir.path() / "small", "size=64k");
    if (!mount.mounted())
        GTEST_SKIP() << "cannot mount a small file system here";
    const std::string path = (dir.path() / "small" / "a.txt").string();
    std::string original;
    while (original.size() < 40000)
        original += "foo\n";
    writeBytes(path, original);
    TextOperation grow = FooToBar();
    grow.inLine = InLineReplacement::OneString("a much longer replacement");
    EXPECT_NE(ExpectIoError(path, grow).find("No space"), std::string::npos);
    EXPECT_TRUE(readBytes(path) == original);
    EXPECT_EQ(listNames(dir.path() / "small"), std::vector<std::string>{"a.txt"});
}

TEST(RewriteFile, LeavesTheOriginalWhenTheFolderIsReadOnly)
{
    TempDir dir;
    const fs::path folder = dir.path() / "ro";
    std::optional<ScratchMount> mount;
    if (::geteuid() == 0) {
        // Root may write into any folder; a read-only file system stops it as well.
        mount.emplace(folder, "size=64k");
        if (!mount->mounted())
            GTEST_SKIP() << "cannot mount a file system here";
        writeBytes(folder / "a.txt", "foo\n");
        ASSERT_TRUE(mount->makeReadOnly());
    } else {
        fs::create_directory(folder);
        writeBytes(folder / "a.txt", "foo\n");
        fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
    }
    ExpectIoError((folder / "a.txt").string());
    EXPECT_BYTES_EQ("foo\n", readBytes(folder / "a.txt"));
    EXPECT_EQ(listNames(folder), std::vector<std::string>{"a.txt"});
}

TEST(RewriteFile, ANulLateInALargeFileLeavesItAsItWasAndNoTemporary)
{
    TempDir tmp;
    const std::string path = tmp.file("big.log");
    // Large enough to be mapped and rewritten in stretches; the NUL sits in the last one.
    std::string bytes(std::size_t(33) << 20, 'a');
    for (std::size_t i = 99; i < bytes.size(); i += 100)
        bytes[i] = '\n';
    bytes[bytes.size() - 3] = '\0';
    writeBytes(path, bytes);
    vexlo::TextOperation op;
    op.kind = vexlo::TextOperation::Kind::InLine;
    op.find = "a";
    op.inLine = vexlo::InLineReplacement::OneString("b");
    try {
        vexlo::RewriteFile(path, op);
        FAIL() << "a binary file was rewritten";
    } catch (const vexlo::SkippedFile &e) {
        EXPECT_EQ(path + ": skipped: binary file (it holds NUL bytes)", std::string(e.what()));
    }
    EXPECT_TRUE(readBytes(path) == bytes);
    EXPECT_EQ((std::vector<std::string>{"big.log"}), listNames(tmp.path()));
}
