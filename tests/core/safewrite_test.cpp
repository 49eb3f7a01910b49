// The write unit under attack: folders swapped mid-run, other writers, signals, metadata, and a
// failure at each of its steps, for one file and through the pipeline.
#include "base/Error.h"
#include "base/SafeWrite.h"
#include "run/FilePipeline.h"
#include "run/RewriteFile.h"
#include "support/TestSupport.h"
#include "targets/DirectoryPass.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <random>

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

using namespace vexlo;
using test::CallbackObserver;
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

// The hook runs a test's action once, at the chosen step.
std::function<int(fsseam::Step, const std::string &)> g_action;
int CallAction(fsseam::Step step, const std::string &path)
{
    return g_action ? g_action(step, path) : 0;
}

struct HookGuard {
    explicit HookGuard(std::function<int(fsseam::Step)> action)
        : HookGuard([action](fsseam::Step step, const std::string &) { return action(step); })
    {
    }
    explicit HookGuard(std::function<int(fsseam::Step, const std::string &)> action)
    {
        g_action = std::move(action);
        fsseam::SetHook(CallAction);
    }
    ~HookGuard()
    {
        fsseam::SetHook(nullptr);
        g_action = nullptr;
        fsseam::SetUnnamedTemporaries(true);
    }
};

// Runs `action` just before the unchanged-check of the commit, once.
HookGuard BeforeCommit(std::function<void()> action)
{
    return HookGuard([action, done = false](fsseam::Step step) mutable {
        if (step == fsseam::Step::CheckUnchanged && !done) {
            done = true;
            action();
        }
        return 0;
    });
}

// Runs `action` once, at `when` of the file `path` (the pipeline's workers call the hook for
// other files at the same time).
HookGuard AtStepOf(fsseam::Step when, const std::string &path, std::function<void()> action)
{
    auto once = std::make_shared<std::once_flag>();
    return HookGuard([=](fsseam::Step step, const std::string &p) {
        if (step == when && p == path)
            std::call_once(*once, action);
        return 0;
    });
}

std::string ErrorOf(const std::function<void()> &f)
{
    try {
        f();
    } catch (const Error &e) {
        return e.what();
    }
    return {};
}

bool Contains(const std::string &text, const std::string &part)
{
    return text.find(part) != std::string::npos;
}

} // namespace

TEST(FileReplacement, AFolderSwappedForALinkBeforeTheCommitDoesNotRedirectTheResult)
{
    for (bool unnamed : {true, false}) {
        TempDir tmp;
        const fs::path tree = tmp.path() / "tree";
        fs::create_directories(tree / "sub");
        fs::create_directories(tmp.path() / "outside");
        writeBytes(tree / "sub" / "secret.txt", "foo\n");
        auto guard = BeforeCommit([&] {
            fs::rename(tree / "sub", tree / "sub.old");
            fs::create_directory_symlink(tmp.path() / "outside", tree / "sub");
        });
        fsseam::SetUnnamedTemporaries(unnamed);
        ReplaceOptions options;
        options.heldRoot = tree.string();
        RewriteFile((tree / "sub" / "secret.txt").string(), FooToBar(), options);
        // The result lands in the folder that was read; nothing reaches the link's target.
        EXPECT_BYTES_EQ("bar\r\n", readBytes(tree / "sub.old" / "secret.txt"));
        EXPECT_TRUE(fs::is_empty(tmp.path() / "outside"));
        EXPECT_EQ(listNames(tree / "sub.old"), std::vector<std::string>{"secret.txt"});
    }
}

TEST(FileReplacement, AFolderLinkBelowTheHeldRootIsNotEnteredButOneTheUserGaveIs)
{
    TempDir tmp;
    const fs::path tree = tmp.path() / "tree";
    fs::create_directories(tree);
    fs::create_directories(tmp.path() / "outside");
    writeBytes(tmp.path() / "outside" / "victim.txt", "foo\n");
    fs::create_directory_symlink(tmp.path() / "outside", tree / "sub");
    const std::string path = (tree / "sub" / "victim.txt").string();
    ReplaceOptions options;
    options.heldRoot = tree.string();
    EXPECT_NE(ErrorOf([&] { RewriteFile(path, FooToBar(), options); }), "");
    EXPECT_BYTES_EQ("foo\n", readBytes(tmp.path() / "outside" / "victim.txt"));
    // Without a held root (a path the user put in the list), the link is followed.
    RewriteFile(path, FooToBar());
    EXPECT_BYTES_EQ("bar\r\n", readBytes(tmp.path() / "outside" / "victim.txt"));
}

TEST(FileReplacement, AThePipelineKeepsTheHeldRootOfEachPath)
{
    TempDir tmp;
    const fs::path tree = tmp.path() / "tree";
    fs::create_directories(tree / "sub");
    fs::create_directories(tmp.path() / "outside");
    std::vector<std::string> paths;
    for (int i = 0; i < 20; ++i) {
        const std::string number = std::to_string(i);
        paths.push_back((tree / "sub" / ("f" + number)).string());
        writeBytes(paths.back(), "foo\n");
    }
    const std::vector<std::string> roots(paths.size(), tree.string());
    auto guard = BeforeCommit([&] {
        fs::rename(tree / "sub", tree / "sub.old");
        fs::create_directory_symlink(tmp.path() / "outside", tree / "sub");
    });
    PipelineOptions options;
    options.stopAtFirstError = false;
    options.heldRoots = &roots;
    std::vector<std::string> failed;
    CallbackObserver observer;
    observer.onError = [&](const std::string &p, const Error &) { failed.push_back(p); };
    RewriteFiles(paths, FooToBar(), options, observer);
    EXPECT_TRUE(fs::is_empty(tmp.path() / "outside"));
    // Files prepared before the swap land in the folder they were read from; later ones are
    // refused at the link.
    for (int i = 0; i < 20; ++i) {
        const std::string number = std::to_string(i);
        const fs::path old = tree / "sub.old" / ("f" + number);
        const std::string bytes = readBytes(old);
        EXPECT_TRUE(bytes == "bar\r\n" || bytes == "foo\n") << bytes;
    }
    EXPECT_EQ(listNames(tree / "sub.old").size(), 20u);
}

TEST(FileReplacement, ALinkSwappedInAfterTheScanIsJudgedWhenTheFileIsOpened)
{
    // The scan lists t/z.txt as a file; just before the pass opens it, it becomes a link.
    TempDir tmp;
    const fs::path tree = tmp.path() / "t";
    fs::create_directories(tree / "in");
    writeBytes(tmp.file("secret.txt"), "foo\n");
    writeBytes(tree / "in" / "mine.txt", "foo\n");
    writeBytes(tree / "a.txt", "foo\n");
    writeBytes(tree / "z.txt", "foo\n");
    std::vector<std::string> listed;
    RunObserver quiet;
    ScanForDirectoryPass(tree.string(), "*.txt", listed, quiet);
    std::vector<std::string> paths;
    for (const std::string &p : listed)
        if (p.back() != '/')
            paths.push_back(p);
    const std::string z = (tree / "z.txt").string();
    ASSERT_EQ(std::count(paths.begin(), paths.end(), z), 1);
    for (const fsseam::Step when : {fsseam::Step::OpenFolder, fsseam::Step::OpenSource}) {
        // The scanned directory as given, with or without its separator.
        const bool absolute = when == fsseam::Step::OpenFolder;
        const std::vector<std::string> roots(paths.size(), tree.string() + (absolute ? "" : "/"));
        PipelineOptions options;
        options.stopAtFirstError = false;
        options.heldRoots = &roots;
        // Outside the tree: refused at the moment of the write, the outside file untouched.
        auto out = AtStepOf(when, z, [&] {
            fs::remove(z);
            fs::create_symlink(tmp.path() / "secret.txt", z);
        });
        std::vector<std::string> messages;
        CallbackObserver observer;
        observer.onError = [&](const std::string &p, const Error &e) {
            messages.push_back(p + ": " + e.what());
        };
        RewriteFiles(paths, FooToBar(), options, observer);
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_TRUE(Contains(messages[0], "not followed: the link points outside")) << messages[0];
        EXPECT_BYTES_EQ("foo\n", readBytes(tmp.file("secret.txt")));
        EXPECT_BYTES_EQ("bar\r\n", readBytes(tree / "a.txt"));
        EXPECT_TRUE(fs::is_symlink(z));

        // Inside the tree (by an absolute or a relative target): written through, as at scan time.
        writeBytes(tree / "in" / "mine.txt", "foo\n");
        fs::remove(z);
        writeBytes(z, "foo\n");
        auto in = AtStepOf(when, z, [&] {
            fs::remove(z);
            fs::create_symlink(absolute ? tree / "in" / "mine.txt" : fs::path("in/mine.txt"), z);
        });
        CallbackObserver strict;
        strict.onError = [&](const std::string &p, const Error &e) {
            ADD_FAILURE() << p << ": " << e.what();
        };
        RewriteFiles(paths, FooToBar(), options, strict);
        EXPECT_BYTES_EQ("bar\r\n", readBytes(tree / "in" / "mine.txt"));
        EXPECT_TRUE(fs::is_symlink(z));
        fs::remove(z);
        writeBytes(z, "foo\n");
    }
}

TEST(FileReplacement, AnotherWriterAfterTheLastCheckFindsItsFileTradedBack)
{
    // Another run renames its result over the target after this one's checks: the trade of
    // places shows it, and the other run's file is put back.
    for (bool unnamed : {true, false}) {
        TempDir tmp;
        const fs::path path = tmp.path() / "a.txt";
        writeBytes(path, "foo\n");
        auto guard = AtStepOf(fsseam::Step::Rename, path.string(), [&] {
            writeBytes(tmp.file("theirs"), "theirs\n");
            fs::rename(tmp.file("theirs"), path);
        });
        fsseam::SetUnnamedTemporaries(unnamed);
        const std::string message = ErrorOf([&] { RewriteFile(path.string(), FooToBar()); });
        EXPECT_TRUE(Contains(message, "changed while being rewritten")) << message;
        EXPECT_BYTES_EQ("theirs\n", readBytes(path));
        EXPECT_EQ(listNames(tmp.path()), std::vector<std::string>{"a.txt"});
    }
}

TEST(FileReplacement, AnAppendOnlyFolderGetsNoTemporaryThatCouldNotBeRemoved)
{
    TempDir tmp;
    const fs::path folder = tmp.path() / "log";
    fs::create_directory(folder);
    writeBytes(folder / "a.txt", "foo\n");
    const std::string chattr = "chattr +a '" + folder.string() + "' 2>/dev/null";
    if (std::system(chattr.c_str()) != 0)
        GTEST_SKIP() << "append-only folders need root and a file system that has them";
    for (bool unnamed : {true, false}) {
        fsseam::SetUnnamedTemporaries(unnamed);
        const std::string message = ErrorOf([&] { RewriteFile((folder / "a.txt").string(), FooToBar()); });
        fsseam::SetUnnamedTemporaries(true);
        EXPECT_TRUE(Contains(message, "a.txt")) << message;
        EXPECT_BYTES_EQ("foo\n", readBytes(folder / "a.txt"));
        EXPECT_EQ(listNames(folder), std::vector<std::string>{"a.txt"});
    }
    std::system(("chattr -a '" + folder.string() + "'").c_str());
}

TEST(FileReplacement, SetIdBitsAndAFileCapabilityAreKept)
{
    TempDir tmp;
    const fs::path path = tmp.path() / "tool";
    writeBytes(path, "foo\n");
    // Version 2 of the capability record: CAP_NET_RAW (13) permitted and effective.
    const unsigned char capability[20] = {0x01, 0x00, 0x00, 0x02, 0x00, 0x20};
    if (::setxattr(path.c_str(), "security.capability", capability, sizeof capability, 0) != 0)
        GTEST_SKIP() << "setting a file capability needs root";
    ::chmod(path.c_str(), 06755);
    RewriteFile(path.string(), FooToBar());
    EXPECT_BYTES_EQ("bar\r\n", readBytes(path));
    unsigned char after[32] = {};
    ASSERT_EQ(::getxattr(path.c_str(), "security.capability", after, sizeof after),
              ssize_t(sizeof capability));
    EXPECT_EQ(std::memcmp(after, capability, sizeof capability), 0);
    struct stat info;
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 06755u);
}

TEST(FileReplacement, AnotherWriterBetweenReadAndRenameIsReportedAndKept)
{
    struct Case {
        const char *name;
        std::function<void(const fs::path &)> change;
        std::function<bool(const std::string &)> kept;
    };
    const std::vector<Case> cases = {
        {"append",
         [](const fs::path &p) { std::system(("printf 'more\\n' >> '" + p.string() + "'").c_str()); },
         [](const std::string &b) { return b == "foo\nmore\n"; }},
        {"replace",
         [](const fs::path &p) {
             writeBytes(p.string() + ".new", "theirs\n");
             fs::rename(p.string() + ".new", p);
         },
         [](const std::string &b) { return b == "theirs\n"; }},
        {"truncate", [](const fs::path &p) { fs::resize_file(p, 0); },
         [](const std::string &b) { return b.empty(); }},
    };
    for (const Case &c : cases) {
        for (bool unnamed : {true, false}) {
            TempDir tmp;
            const fs::path path = tmp.path() / "a.txt";
            writeBytes(path, "foo\n");
            auto guard = BeforeCommit([&] { c.change(path); });
            fsseam::SetUnnamedTemporaries(unnamed);
            const std::string message = ErrorOf([&] { RewriteFile(path.string(), FooToBar()); });
            EXPECT_TRUE(Contains(message, "changed while being rewritten")) << c.name << ": " << message;
            EXPECT_TRUE(c.kept(readBytes(path))) << c.name;
            EXPECT_EQ(listNames(tmp.path()), std::vector<std::string>{"a.txt"}) << c.name;
        }
    }
}

TEST(FileReplacement, AFileCreatedMeanwhileIsNotReplacedByANewOne)
{
    TempDir tmp;
    const fs::path path = tmp.path() / "new.ini";
    auto guard = BeforeCommit([&] { writeBytes(path, "theirs\n"); });
    EXPECT_TRUE(Contains(ErrorOf([&] { WriteFileSafely(path.string(), "ours\r\n"); }), "changed while"));
    EXPECT_BYTES_EQ("theirs\n", readBytes(path));
    EXPECT_EQ(listNames(tmp.path()), std::vector<std::string>{"new.ini"});
}

TEST(FileReplacement, ALargeFileTruncatedDuringARunIsReportedAndTheRunGoesOn)
{
    TempDir tmp;
    std::vector<std::string> paths = {tmp.file("big.txt"), tmp.file("a.txt"), tmp.file("b.txt")};
    std::string big;
    for (int i = 0; i < 8000; ++i)
        big += "line foo " + std::to_string(i) + "\n";
    writeBytes(paths[0], big);
    // Just large enough to be streamed and mapped; the rest a hole, since it is cut off unread.
    fs::resize_file(paths[0], std::uintmax_t{33} << 20);
    writeBytes(paths[1], "foo\n");
    writeBytes(paths[2], "foo\n");
    // Cut short after it was opened and before it is read: the large file's pages past the new
    // end are gone when the engine reaches them. Only the large file's own step counts; the
    // small files' steps come at any moment on the workers.
    auto guard = AtStepOf(fsseam::Step::CopyMetadata, paths[0], [&] { fs::resize_file(paths[0], 1000); });
    std::vector<std::string> failed;
    CallbackObserver observer;
    observer.onError = [&](const std::string &p, const Error &e) {
        failed.push_back(p);
        EXPECT_TRUE(Contains(e.what(), "changed while being rewritten")) << e.what();
    };
    PipelineOptions options;
    options.stopAtFirstError = false;
    const PipelineResult result = RewriteFiles(paths, FooToBar(), options, observer);
    EXPECT_EQ(failed, std::vector<std::string>{paths[0]});
    EXPECT_EQ(result.rewritten, 2u);
    EXPECT_EQ(fs::file_size(paths[0]), 1000u);
    EXPECT_BYTES_EQ("bar\r\n", readBytes(paths[2]));
    EXPECT_EQ(listNames(tmp.path()).size(), 3u);
}

TEST(FileReplacement, ExtendedAttributesAndAclsAreKept)
{
    TempDir tmp;
    const fs::path path = tmp.path() / "a.txt";
    writeBytes(path, "foo\n");
    ::chmod(path.c_str(), 0640);
    if (::setxattr(path.c_str(), "user.origin", "mail", 4, 0) != 0)
        GTEST_SKIP() << "no user attributes on this file system";
    const bool haveAcl =
        std::system(("setfacl -m u:2000:rw '" + path.string() + "' 2>/dev/null").c_str()) == 0;
    struct stat before;
    ::stat(path.c_str(), &before);
    RewriteFile(path.string(), FooToBar());
    char value[16] = {};
    ASSERT_EQ(::getxattr(path.c_str(), "user.origin", value, sizeof value), 4);
    EXPECT_EQ(std::string(value, 4), "mail");
    struct stat after;
    ::stat(path.c_str(), &after);
    EXPECT_EQ(after.st_mode & 07777, before.st_mode & 07777);
    if (haveAcl) {
        char acl[256];
        EXPECT_GT(::getxattr(path.c_str(), "system.posix_acl_access", acl, sizeof acl), 0);
    }
    EXPECT_BYTES_EQ("bar\r\n", readBytes(path));
}

// Runs `body` in a child process as user 2000 with the given groups; returns its exit status.
int AsUser(gid_t primary, std::vector<gid_t> groups, const std::function<int()> &body)
{
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgroups(groups.size(), groups.data()) != 0 || ::setgid(primary) != 0 || ::setuid(2000) != 0)
            ::_exit(99);
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
}

TEST(FileReplacement, TheGroupIsKeptForAMemberAndNeverWidenedOtherwise)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to play other users";
    TempDir tmp;
    ::chmod(tmp.path().c_str(), 0777);
    const fs::path member = tmp.path() / "member.txt";
    const fs::path stranger = tmp.path() / "stranger.txt";
    writeBytes(member, "foo\n");
    writeBytes(stranger, "foo\n");
    ::chown(member.c_str(), 1000, 3000);
    ::chmod(member.c_str(), 0664);
    ::chown(stranger.c_str(), 1000, 3001);
    ::chmod(stranger.c_str(), 0776); // the group may run it, others only read and write
    const int status = AsUser(2000, {2000, 3000}, [&] {
        try {
            RewriteFile(member.string(), FooToBar());
            RewriteFile(stranger.string(), FooToBar());
        } catch (const std::exception &e) {
            std::cerr << e.what() << "\n";
            return 1;
        }
        return 0;
    });
    ASSERT_EQ(status, 0);
    struct stat info;
    ::stat(member.c_str(), &info);
    EXPECT_EQ(info.st_gid, 3000u);
    EXPECT_EQ(info.st_mode & 07777, 0664u);
    ::stat(stranger.c_str(), &info);
    EXPECT_EQ(info.st_gid, 2000u);
    // The new group gets no more than everybody had.
    EXPECT_EQ(info.st_mode & 07777, 0766u);
    EXPECT_BYTES_EQ("bar\r\n", readBytes(stranger));
}

TEST(FileReplacement, AFailureAtEachStepLeavesTheOriginalAndNoTemporary)
{
    using fsseam::Step;
    const Step steps[] = {Step::OpenFolder,      Step::OpenSource,    Step::ReadSource,
                          Step::CreateTemporary, Step::CopyMetadata,  Step::WriteTemporary,
                          Step::CheckUnchanged,  Step::NameTemporary, Step::Rename};
    for (const Step failing : steps) {
        for (bool unnamed : {true, false}) {
            const auto label =
                "step " + std::to_string(static_cast<int>(failing)) + (unnamed ? " unnamed" : " named");
            HookGuard guard([failing](Step step) { return step == failing ? EIO : 0; });
            fsseam::SetUnnamedTemporaries(unnamed);

            // One file.
            TempDir one;
            writeBytes(one.file("a.txt"), "foo\n");
            const std::string message = ErrorOf([&] { RewriteFile(one.file("a.txt"), FooToBar()); });
            EXPECT_TRUE(Contains(message, "a.txt")) << label << ": " << message;
            EXPECT_BYTES_EQ("foo\n", readBytes(one.file("a.txt")));
            EXPECT_EQ(listNames(one.path()), std::vector<std::string>{"a.txt"}) << label;

            // A new file.
            if (failing != Step::OpenSource && failing != Step::ReadSource) {
                EXPECT_NE(ErrorOf([&] { WriteFileSafely(one.file("new.ini"), "x\r\n"); }), "") << label;
                fs::remove(one.file("new.ini"));
                EXPECT_EQ(listNames(one.path()), std::vector<std::string>{"a.txt"}) << label;
            }

            // A list through the pipeline: every file fails, each is reported, none changes.
            TempDir many;
            std::vector<std::string> paths;
            for (int i = 0; i < 24; ++i) {
                const std::string number = std::to_string(i);
                paths.push_back(many.file("f" + number + ".txt"));
                writeBytes(paths.back(), "foo\n");
            }
            PipelineOptions options;
            options.stopAtFirstError = false;
            std::size_t errors = 0;
            CallbackObserver observer;
            observer.onError = [&](const std::string &, const Error &) { ++errors; };
            const PipelineResult result = RewriteFiles(paths, FooToBar(), options, observer);
            EXPECT_EQ(result.rewritten, 0u) << label;
            EXPECT_EQ(errors, paths.size()) << label;
            for (const std::string &p : paths)
                EXPECT_BYTES_EQ("foo\n", readBytes(p));
            EXPECT_EQ(listNames(many.path()).size(), paths.size()) << label;
        }
    }
}

TEST(FileReplacement, NewFilesGetTheUmaskModeAndLinksAreWrittenThrough)
{
    TempDir tmp;
    const mode_t old = ::umask(027);
    WriteFileSafely(tmp.file("new.ini"), "a\r\n");
    ::umask(old);
    EXPECT_EQ(fs::status(tmp.file("new.ini")).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    writeBytes(tmp.file("real.ini"), "old\n");
    fs::create_symlink("real.ini", tmp.file("link.ini"));
    WriteFileSafely(tmp.file("link.ini"), "new\r\n");
    EXPECT_TRUE(fs::is_symlink(tmp.file("link.ini")));
    EXPECT_BYTES_EQ("new\r\n", readBytes(tmp.file("real.ini")));

    // A dangling link and a read-only file are refused and left as they are.
    fs::create_symlink("nowhere.ini", tmp.file("dangling.ini"));
    EXPECT_NE(ErrorOf([&] { WriteFileSafely(tmp.file("dangling.ini"), "x"); }), "");
    EXPECT_TRUE(fs::is_symlink(tmp.file("dangling.ini")));
    EXPECT_FALSE(fs::exists(tmp.file("nowhere.ini")));
    writeBytes(tmp.file("ro.ini"), "keep\n");
    ::chmod(tmp.file("ro.ini").c_str(), 0444);
    EXPECT_TRUE(Contains(ErrorOf([&] { WriteFileSafely(tmp.file("ro.ini"), "x"); }), "ermission"));
    EXPECT_BYTES_EQ("keep\n", readBytes(tmp.file("ro.ini")));
}

TEST(FileReplacement, CopiesKeepTheSourceAndGiveANewCopyItsMode)
{
    TempDir tmp;
    writeBytes(tmp.file("a.txt"), "data\n");
    ::chmod(tmp.file("a.txt").c_str(), 0440); // read-only sources are copied all the same
    CopyFileSafely(tmp.file("a.txt"), tmp.file("a.txt.copy"));
    EXPECT_BYTES_EQ("data\n", readBytes(tmp.file("a.txt.copy")));
    EXPECT_EQ(fs::status(tmp.file("a.txt.copy")).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::group_read);
    EXPECT_NE(ErrorOf([&] { CopyFileSafely(tmp.file("missing"), tmp.file("b")); }), "");
    EXPECT_FALSE(fs::exists(tmp.file("b")));
}

TEST(FileReplacement, TemporaryNamesAreKnown)
{
    EXPECT_TRUE(IsTemporaryName(".a.txt.vexlo-Ab12Cd"));
    EXPECT_FALSE(IsTemporaryName("a.txt.vexlo-Ab12Cd"));
    EXPECT_FALSE(IsTemporaryName(".a.txt"));
    EXPECT_FALSE(IsTemporaryName(".vexlo-"));
}

// A run killed at random moments: every file is wholly old or wholly new, and whatever the kill
// left is recognisably one of our temporaries.
TEST(FileReplacement, KillsAtRandomMomentsLeaveEveryFileWhole)
{
    TempDir tmp;
    std::vector<std::string> paths;
    for (int i = 0; i < 5000; ++i) {
        const std::string number = std::to_string(i);
        paths.push_back(tmp.file("f" + number + ".txt"));
        writeBytes(paths.back(), "a\n");
    }
    TextOperation grow;
    grow.find = "a";
    grow.inLine = InLineReplacement::OneString("aa");
    std::mt19937 random(7);
    for (int kill = 0; kill < 200; ++kill) {
        const pid_t child = ::fork();
        if (child == 0) {
            RunObserver quiet;
            RewriteFiles(paths, grow, PipelineOptions{}, quiet);
            ::_exit(0);
        }
        ::usleep(std::uniform_int_distribution<int>(0, 20000)(random));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
    }
    std::size_t leftovers = 0;
    for (const auto &entry : fs::directory_iterator(tmp.path())) {
        const std::string name = entry.path().filename().string();
        if (IsTemporaryName(name)) {
            ++leftovers;
            continue;
        }
        const std::string bytes = readBytes(entry.path());
        const bool whole =
            bytes == "a\n" || (bytes.size() >= 3 && bytes.compare(bytes.size() - 2, 2, "\r\n") == 0 &&
                               bytes.find_first_not_of('a') == bytes.size() - 2);
        EXPECT_TRUE(whole) << name << ": " << test::visible(bytes);
    }
    EXPECT_EQ(fs::directory_iterator(tmp.path()) == fs::directory_iterator(), false);
    std::cout << "temporaries left by 200 kills: " << leftovers << "\n";
}
