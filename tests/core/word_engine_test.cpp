// The Word branches: exact call sequences against a recording stand-in, and the same branches
// end to end through the built-in document engine.
#include "base/Error.h"
#include "base/SafeWrite.h"
#include "run/RunDriver.h"
#include "run/SkippedFile.h"
#include "run/office/BuiltInWord.h"
#include "run/office/WordEngine.h"
#include "support/RecordingWord.h"
#include "support/TestSupport.h"

using namespace vexlo;
using namespace vexlo::test;
using word::Arguments;
using word::Variant;
namespace fs = std::filesystem;

namespace {

const Variant kOmitted;

Arguments OpenArgs(const std::string &path)
{
    return {path, false, false, false, "", "", false, "", "", 0};
}

Arguments ExecuteArgs(const std::string &find, const std::string &replace, const WordEngineOptions &o = {})
{
    return {
        find, o.matchCase, o.wholeWord, o.wildcards, o.soundsLike, o.allWordForms, true, 1, false, replace,
        2};
}

Arguments SaveAsArgs(const std::string &path, std::int32_t format = 2)
{
    return {path, format, false, "", true, "", false, false, false, false, false};
}

const Arguments kThreeOmitted{kOmitted, kOmitted, kOmitted};

std::vector<std::string> FileSequence()
{
    return {
        "Documents.Open", "ActiveDocument.SaveFormat", "Find.ClearFormatting", "Replacement.ClearFormatting",
        "Find.Execute",   "ActiveDocument.SaveAs",     "ActiveDocument.Close"};
}

std::vector<std::string> Concat(std::initializer_list<std::vector<std::string>> parts)
{
    std::vector<std::string> out;
    for (const auto &p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

std::string Describe(const Arguments &arguments)
{
    std::string out;
    for (const Variant &v : arguments)
        out += v.describe() + " ";
    return out;
}

#define EXPECT_ARGS(expected, actual) EXPECT_EQ(Describe(expected), Describe(actual))

class Observer : public RunObserver {
  public:
    void message(const std::string &text) override { messages.push_back(text); }
    void error(const std::string &path, const Error &e) override
    {
        errorPaths.push_back(path);
        errorTexts.push_back(e.what());
    }
    std::vector<std::string> messages, errorPaths, errorTexts;
};

} // namespace

namespace {

// Goes on while the flag reads "1", as a run's observer does.
struct FlagReader : RunObserver {
    explicit FlagReader(const RunFlag &read) : flag(read) {}
    bool keepGoing() override { return flag.isRunning(); }
    const RunFlag &flag;
};

} // namespace

TEST(WordSequence, EveryArgumentOfOneFile)
{
    RecordingWord word;
    WordEngine engine(word);
    engine.fileListBranch({"/t/a.txt"}, "find", "replace", {});
    ASSERT_EQ(Concat({{"connect"}, FileSequence(), {"Application.Quit"}}), word.names());
    EXPECT_ARGS(OpenArgs("/t/a.txt"), word.calls[1].arguments);
    EXPECT_ARGS(Arguments{}, word.calls[2].arguments);
    EXPECT_ARGS(Arguments{}, word.calls[3].arguments);
    EXPECT_ARGS(Arguments{}, word.calls[4].arguments);
    EXPECT_ARGS(ExecuteArgs("find", "replace"), word.calls[5].arguments);
    EXPECT_ARGS(SaveAsArgs("/t/a.txt"), word.calls[6].arguments);
    EXPECT_ARGS(kThreeOmitted, word.calls[7].arguments);
    EXPECT_ARGS(kThreeOmitted, word.calls[8].arguments);
    // Types matter, not only the printed values.
    EXPECT_EQ(Variant::Type::Int32, word.calls[1].arguments[9].type());
    EXPECT_EQ(Variant::Type::String, word.calls[1].arguments[4].type());
    EXPECT_EQ(Variant::Type::Int32, word.calls[6].arguments[1].type());
    EXPECT_TRUE(word.calls[8].arguments[0].isOmitted());
}

TEST(WordSequence, EachOptionInItsPlace)
{
    using Flag = bool WordEngineOptions::*;
    const Flag flags[] = {&WordEngineOptions::matchCase, &WordEngineOptions::wholeWord,
                          &WordEngineOptions::wildcards, &WordEngineOptions::soundsLike,
                          &WordEngineOptions::allWordForms};
    for (std::size_t k = 0; k < 5; ++k) {
        WordEngineOptions options;
        options.*flags[k] = true;
        RecordingWord word;
        WordEngine(word).processFile("p", "^p", "^t", options);
        const Arguments &execute = word.calls[5].arguments;
        ASSERT_EQ(11u, execute.size());
        EXPECT_EQ("\"^p\"", execute[0].describe()) << "caret codes reach the engine unchanged";
        for (std::size_t j = 0; j < 5; ++j)
            EXPECT_EQ(j == k, execute[1 + j].asBool()) << k << " " << j;
    }
}

TEST(WordFileList, OneConnectionAndOneQuitAfterTheLast)
{
    RecordingWord word;
    WordEngine(word).fileListBranch({"a", "b"}, "x", "y", {});
    EXPECT_EQ(Concat({{"connect"}, FileSequence(), FileSequence(), {"Application.Quit"}}), word.names());
    EXPECT_ARGS(OpenArgs("b"), word.calls[8].arguments);

    RecordingWord empty;
    WordEngine(empty).fileListBranch({}, "x", "y", {});
    EXPECT_EQ((std::vector<std::string>{"connect", "Application.Quit"}), empty.names());
}

TEST(WordDirectoryList, QuitAfterEveryPathAndTheFlagBeforeEach)
{
    RunFlag flag;
    FlagReader reader(flag);
    RecordingWord word;
    WordEngine(word).directoryListBranch({"a", "dir/", "b"}, "x", "y", {}, reader);
    EXPECT_EQ(Concat({{"connect"},
                      FileSequence(),
                      {"Application.Quit"},
                      {"connect", "Application.Quit"},
                      {"connect"},
                      FileSequence(),
                      {"Application.Quit"}}),
              word.names());

    RecordingWord stopped;
    flag.set("0");
    WordEngine(stopped).directoryListBranch({"a", "b"}, "x", "y", {}, reader);
    EXPECT_EQ((std::vector<std::string>{"connect", "Application.Quit", "connect", "Application.Quit"}),
              stopped.names());

    RecordingWord empty;
    flag.set("1");
    WordEngine(empty).directoryListBranch({}, "x", "y", {}, reader);
    EXPECT_TRUE(empty.calls.empty());
}

TEST(WordFailure, TheNthCallEndsTheRunWithoutQuit)
{
    for (int n = 1; n <= 15; ++n) {
        RecordingWord word;
        word.failAt = n;
        WordEngine engine(word);
        try {
            engine.fileListBranch({"a", "b"}, "x", "y", {});
            FAIL() << "call " << n << " failed silently";
        } catch (const Error &e) {
            EXPECT_EQ(ErrorKind::Automation, e.kind());
            EXPECT_STREQ(RecordingWord::kFailure, e.what());
            EXPECT_EQ(n <= 7 ? "a" : (n <= 14 ? "b" : ""), e.path());
        }
        ASSERT_EQ(static_cast<std::size_t>(n + 1), word.calls.size())
            << "nothing is called after the failure";
        EXPECT_EQ(n == 15, word.calls.back().name == "Application.Quit");
    }
    RecordingWord quitFails;
    quitFails.failAt = 8;
    EXPECT_THROW(WordEngine(quitFails).fileListBranch({"a"}, "x", "y", {}), Error);
}

class OfficeRunTest : public ::testing::Test {
  protected:
    OfficeRunTest() : folder(tmp.path() / "program")
    {
        fs::create_directory(folder.dir());
        writeBytes(folder.file("vexlopro.ini"), "[Add_File_Procedure]\r\nWhatToFindHistory=0\r\n"
                                                "ReplaceWithHistory=0\r\nWhatToFindMultiLine=0\r\n"
                                                "ReplaceWithMultiLine=0\r\n");
        request.engine = EngineKind::Office;
        request.oneLineFind = "foo";
        request.oneLineReplace = "bar";
    }

    std::string file(const std::string &name, std::string_view bytes)
    {
        std::string path = tmp.file(name);
        fs::create_directories(fs::path(path).parent_path());
        writeBytes(path, bytes);
        return path;
    }

    RunResult run(word::ApplicationSource &source)
    {
        request.wordOptions = options;
        request.realTime = realTime;
        request.text = text;
        return last = RunReplace(request, folder, flag, observer, &source);
    }

    TempDir tmp;
    ProgramFolder folder;
    RunFlag flag;
    Observer observer;
    RunRequest request;
    WordEngineOptions options;
    RealTimeInputs realTime;
    std::string text; // the "Text" tab's
    RunResult last;
};

TEST_F(OfficeRunTest, FileListThroughTheBuiltInEngine)
{
    std::string a = file("a.txt", "foo Foo\nxfoo");
    std::string b = file("b.txt", "none");
    std::string c = file("c.txt", "foo");
    request.fileList = {{a, true}, {b, true}, {c, false}};
    word::BuiltInApplicationSource source;
    run(source);
    EXPECT_BYTES_EQ("bar Bar\r\nxbar\r\n", readBytes(a));
    EXPECT_BYTES_EQ("none\r\n", readBytes(b)) << "a file without a match is saved all the same";
    EXPECT_BYTES_EQ("foo", readBytes(c));
    EXPECT_EQ(1, source.started());
    EXPECT_TRUE(observer.errorTexts.empty());
}

TEST_F(OfficeRunTest, DirectoryListWithAMaskAndANewApplicationAfterEachQuit)
{
    file("d/one.txt", "foo");
    file("d/sub/two.txt", "a foo");       // the mask filters folder names too
    file("d/more.txt/three.txt", "foo!"); // listed as a folder line, then its file
    file("d/skip.dat", "foo");
    request.targetTab = TargetTab::DirectoryList;
    request.directoryList = {{(tmp.path() / "d").string(), true}};
    request.mask = "*.txt";
    options.matchCase = true;
    word::BuiltInApplicationSource source;
    RunResult result = run(source);
    EXPECT_BYTES_EQ("bar\r\n", readBytes(tmp.file("d/one.txt")));
    EXPECT_BYTES_EQ("a foo", readBytes(tmp.file("d/sub/two.txt")));
    EXPECT_BYTES_EQ("bar!\r\n", readBytes(tmp.file("d/more.txt/three.txt")));
    EXPECT_EQ(3u, result.targetPaths.size());
    EXPECT_BYTES_EQ("foo", readBytes(tmp.file("d/skip.dat")));
    EXPECT_EQ(static_cast<int>(result.targetPaths.size()), source.started());
    EXPECT_TRUE(fs::exists(folder.file("a.txt")));
    EXPECT_TRUE(observer.errorTexts.empty()) << observer.errorTexts.front();
}

TEST_F(OfficeRunTest, AFailureIsReportedAndEarlierFilesStay)
{
    std::string a = file("a.txt", "foo");
    std::string b = file("b.txt", "foo");
    request.fileList = {{a, true}, {tmp.file("missing.txt"), true}, {b, true}};
    word::BuiltInApplicationSource source;
    run(source);
    EXPECT_TRUE(last.failed);
    EXPECT_BYTES_EQ("bar\r\n", readBytes(a));
    EXPECT_BYTES_EQ("foo", readBytes(b));
    ASSERT_EQ(1u, observer.errorPaths.size());
    EXPECT_EQ(tmp.file("missing.txt"), observer.errorPaths[0]);

    request.fileList = {{a, true}};
    request.oneLineFind = "^y";
    run(source);
    ASSERT_EQ(2u, observer.errorTexts.size());
    EXPECT_EQ("^y is not a valid special character for the Find What box.", observer.errorTexts[1]);
}

TEST_F(OfficeRunTest, TabsThatStartNoWordWork)
{
    RecordingWord word;
    request.inputTab = InputTab::MultiLine;
    request.multiLineFind = "foo";
    run(word);
    request.inputTab = InputTab::OneLine;
    request.targetTab = TargetTab::Text;
    run(word);
    EXPECT_TRUE(word.calls.empty());
    request.targetTab = TargetTab::DirectoryList;
    request.directoryList = {{tmp.path().string(), true}};
    run(word);
    EXPECT_EQ((std::vector<std::string>{"Please select mask! and after try again."}), observer.messages);
    EXPECT_TRUE(word.calls.empty());
}

TEST_F(OfficeRunTest, RealTimeThroughTheScratchFile)
{
    request.inputTab = InputTab::RealTime;
    realTime.findLine = "foo";
    realTime.replacementLine = "caf\xC3\xA9";
    text = "foo one\nFOO two";
    word::BuiltInApplicationSource source;
    run(source);
    ASSERT_TRUE(last.text.has_value());
    EXPECT_EQ("caf\xC3\xA9 one\nCAF\xC3\x89 two\n", *last.text); // every line ends in a break
    EXPECT_TRUE(fs::exists(folder.file("richedittext.vexlo")));
    EXPECT_TRUE(observer.messages.empty());

    RecordingWord word;
    realTime.findMemo = "x";
    run(word);
    EXPECT_EQ((std::vector<std::string>{kOneLineOnlyMessage}), observer.messages);
    EXPECT_EQ(Concat({{"connect"}, FileSequence(), {"Application.Quit"}}), word.names());
    EXPECT_ARGS(ExecuteArgs("foo", "caf\xC3\xA9"), word.calls[5].arguments);

    RecordingWord both;
    realTime.replacementMemo = "y";
    run(both);
    EXPECT_EQ(2u, observer.messages.size());
    EXPECT_TRUE(both.calls.empty());
    EXPECT_FALSE(last.text.has_value());
}

TEST(BuiltInApplication, RefusesWhatItCannotDo)
{
    auto app = word::NewBuiltInApplication();
    EXPECT_FALSE(app->documents().Open({"x"}).ok);
    bool found = true;
    EXPECT_FALSE(app->selection().find().Execute(ExecuteArgs("a", "b"), found).ok) << "no document open";
    EXPECT_FALSE(found);
    EXPECT_FALSE(app->activeDocument().SaveAs(SaveAsArgs("x")).ok);
    EXPECT_TRUE(app->Quit(kThreeOmitted).ok);
    EXPECT_TRUE(word::HasQuit(*app));
    EXPECT_FALSE(app->documents().Open(OpenArgs("x")).ok) << "an application that quit takes no calls";
}

TEST(WordSequence, SavesInTheFormatTheDocumentWasOpenedIn)
{
    using word::wdFormatText;
    const std::pair<std::int32_t, std::int32_t> cases[] = {
        {wdFormatText, wdFormatText},
        {word::wdFormatUnicodeText, wdFormatText},
        {word::wdFormatXMLDocument, word::wdFormatDocumentDefault},
        {word::wdFormatDocumentDefault, word::wdFormatDocumentDefault},
        {word::wdFormatOpenDocumentText, word::wdFormatOpenDocumentText},
        {word::wdFormatRTF, word::wdFormatRTF},
    };
    for (const bool asText : {false, true})
        for (const auto &[opened, saved] : cases) {
            RecordingWord word;
            word.format = opened;
            WordEngine engine(word);
            engine.setSaveAsText(asText);
            EXPECT_TRUE(engine.processFile("p", "x", "y", {}));
            ASSERT_EQ(Concat({{"connect"}, FileSequence()}), word.names());
            EXPECT_ARGS(SaveAsArgs("p", asText ? wdFormatText : saved), word.calls[6].arguments) << opened;
        }
}

TEST(WordSequence, ALegacyDocIsClosedUnsavedAndReportedAsLeftAsItIs)
{
    RecordingWord word;
    word.format = word::wdFormatDocument;
    WordEngine engine(word);
    std::vector<std::string> skipped;
    engine.onSkipped([&](const SkippedFile &file) { skipped.push_back(file.what()); });
    engine.fileListBranch({"old.doc", "new.txt"}, "x", "y", {});
    EXPECT_EQ(Concat({{"connect", "Documents.Open", "ActiveDocument.SaveFormat", "ActiveDocument.Close"},
                      {"Documents.Open", "ActiveDocument.SaveFormat", "ActiveDocument.Close"},
                      {"Application.Quit"}}),
              word.names());
    EXPECT_ARGS((Arguments{word::wdDoNotSaveChanges, kOmitted, kOmitted}), word.calls[3].arguments);
    EXPECT_EQ((std::vector<std::string>{"old.doc: " + std::string(kLegacyDocReason),
                                        "new.txt: " + std::string(kLegacyDocReason)}),
              skipped);

    RecordingWord converted;
    converted.format = word::wdFormatDocument;
    WordEngine asText(converted);
    asText.setSaveAsText(true);
    EXPECT_TRUE(asText.processFile("old.doc", "x", "y", {}));
    EXPECT_ARGS(SaveAsArgs("old.doc", word::wdFormatText), converted.calls[6].arguments);
}

TEST(WordDirectoryList, EachPathIsOpenedBelowItsScannedDirectory)
{
    RunFlag flag;
    FlagReader reader(flag);
    RecordingWord word;
    const std::vector<std::string> roots{"/r1", "/r2", "/r2"};
    WordEngine(word).directoryListBranch({"/r1/a", "/r2/d/", "/r2/b"}, "x", "y", {}, reader, &roots);
    EXPECT_EQ((std::vector<std::string>{"/r1", "/r2", ""}), word.heldRoots);
}

namespace {

// A built-in application with one document open, for changing the file between the calls.
struct OpenedDocument {
    explicit OpenedDocument(const std::string &path) : app(word::NewBuiltInApplication())
    {
        opened = app->documents().Open(OpenArgs(path));
    }
    word::CallResult replaceAndSave(const std::string &path)
    {
        bool found = false;
        const word::CallResult replaced = app->selection().find().Execute(ExecuteArgs("foo", "bar"), found);
        if (!replaced.ok)
            return replaced;
        return app->activeDocument().SaveAs(SaveAsArgs(path));
    }
    std::unique_ptr<word::Application> app;
    word::CallResult opened;
};

} // namespace

TEST(BuiltInApplication, AnotherWritersChangeSinceTheOpenIsKept)
{
    TempDir tmp;
    const std::string path = tmp.file("f.txt");
    const std::vector<std::pair<std::string, std::function<void()>>> writers{
        {"appended", [&] { writeBytes(path, "foo\nmore\n"); }}, // same inode: written in place
        {"truncated", [&] { fs::resize_file(path, 0); }},
        {"replaced",
         [&] {
             writeBytes(tmp.file("new"), "editor's\n");
             fs::rename(tmp.file("new"), path);
         }},
    };
    for (const auto &[name, change] : writers) {
        writeBytes(path, "foo\n");
        OpenedDocument document(path);
        ASSERT_TRUE(document.opened.ok) << document.opened.description;
        change();
        const std::string theirs = readBytes(path);
        const word::CallResult saved = document.replaceAndSave(path);
        EXPECT_FALSE(saved.ok) << name;
        EXPECT_NE(std::string::npos, saved.description.find("changed while being rewritten")) << name;
        EXPECT_BYTES_EQ(theirs, readBytes(path)) << name;
        EXPECT_TRUE(document.app->activeDocument().Close(kThreeOmitted).ok);
        EXPECT_EQ((std::vector<std::string>{"f.txt"}), listNames(tmp.path())) << name;
    }
}

TEST(BuiltInApplication, AFolderSwappedForALinkAfterTheOpenIsNotFollowed)
{
    TempDir tmp;
    fs::create_directories(tmp.path() / "t" / "sub");
    fs::create_directories(tmp.path() / "outside");
    writeBytes(tmp.path() / "t" / "sub" / "f.txt", "foo\n");
    writeBytes(tmp.path() / "outside" / "f.txt", "secret\n");
    const std::string path = (tmp.path() / "t" / "sub" / "f.txt").string();
    OpenedDocument document(path);
    ASSERT_TRUE(document.opened.ok) << document.opened.description;
    fs::rename(tmp.path() / "t" / "sub", tmp.path() / "t" / "moved");
    fs::create_directory_symlink(tmp.path() / "outside", tmp.path() / "t" / "sub");
    const word::CallResult saved = document.replaceAndSave(path);
    EXPECT_TRUE(saved.ok) << saved.description;
    EXPECT_BYTES_EQ("secret\n", readBytes(tmp.path() / "outside" / "f.txt"));
    EXPECT_BYTES_EQ("bar\r\n", readBytes(tmp.path() / "t" / "moved" / "f.txt"));
}

TEST(BuiltInApplication, ReportsTheFormatItOpenedAndSavesOnlyAsTextOrInThatFormat)
{
    const std::string samples = std::string(VEXLO_SOURCE_DIR) + "/tests/data/documents/";
    const std::pair<const char *, std::int32_t> formats[] = {
        {"sample.docx", word::wdFormatDocumentDefault},
        {"sample.odt", word::wdFormatOpenDocumentText},
        {"sample.rtf", word::wdFormatRTF},
        {"sample.doc", word::wdFormatDocument},
    };
    TempDir tmp;
    for (const auto &[name, format] : formats) {
        const std::string path = tmp.file(name);
        const std::string bytes = readBytes(samples + name);
        writeBytes(path, bytes);
        auto app = word::NewBuiltInApplication();
        ASSERT_TRUE(app->documents().Open(OpenArgs(path)).ok) << name;
        std::int32_t reported = -1;
        EXPECT_TRUE(app->activeDocument().SaveFormat(reported).ok);
        EXPECT_EQ(format, reported) << name;
        const std::int32_t other =
            format == word::wdFormatRTF ? word::wdFormatOpenDocumentText : word::wdFormatRTF;
        EXPECT_FALSE(app->activeDocument().SaveAs(SaveAsArgs(path, other)).ok) << name;
        if (format != word::wdFormatDocument) {
            // Nothing replaced: saving in its own format leaves the file as it is.
            EXPECT_TRUE(app->activeDocument().SaveAs(SaveAsArgs(path, format)).ok) << name;
        } else {
            EXPECT_FALSE(app->activeDocument().SaveAs(SaveAsArgs(path, format)).ok);
        }
        EXPECT_BYTES_EQ(bytes, readBytes(path)) << name;
        EXPECT_TRUE(app->activeDocument().SaveAs(SaveAsArgs(path, word::wdFormatText)).ok) << name;
        EXPECT_EQ(std::string::npos, readBytes(path).find('\0')) << name << " converted to plain text";
    }
}

TEST(BuiltInApplication, BinaryContentIsLeftAsItIsUnlessItIsADocumentItKnows)
{
    TempDir tmp;
    const std::pair<std::string, bool> cases[] = {
        {std::string("foo\0bar", 7), true},
        {std::string("%PDF-1.4 foo\n\0\0", 15), true},
        {std::string("junkPK\x03\x04\0\0", 10), true}, // a zip with junk in front
        {std::string("\xFF\xFE\0\0f\0\0\0", 8), true}, // UTF-32
        {std::string("f\0o\0o\0", 6), true},           // UTF-16 without a mark
        {std::string("\xFF\xFE"
                     "f\0o\0o\0",
                     8),
         false}, // UTF-16 with its mark
        {std::string("\xFE\xFF\0f\0o\0o", 8), false},
        {std::string("foo bar\n"), false},
    };
    for (const auto &[bytes, binary] : cases) {
        const std::string path = tmp.file("f");
        writeBytes(path, bytes);
        auto app = word::NewBuiltInApplication();
        const word::CallResult opened = app->documents().Open(OpenArgs(path));
        EXPECT_EQ(!binary, opened.ok) << visible(bytes);
        if (binary) {
            EXPECT_EQ(word::kLeftAsItIs, opened.code);
            EXPECT_EQ(kBinaryFileReason, opened.description);
        }
    }
}

TEST_F(OfficeRunTest, FilesLeftAsTheyAreAreListedInOneMessageAtTheEnd)
{
    const std::string sample = readBytes(std::string(VEXLO_SOURCE_DIR) + "/tests/data/documents/sample.doc");
    const std::string a = file("a.txt", "foo");
    const std::string b = file("b.bin", std::string("foo\0", 4));
    const std::string c = file("c.doc", sample);
    const std::string d = file("d.txt", "foo");
    request.fileList = {{a, true}, {b, true}, {c, true}, {d, true}};
    word::BuiltInApplicationSource source;
    run(source);
    EXPECT_FALSE(last.failed);
    EXPECT_TRUE(observer.errorTexts.empty());
    EXPECT_BYTES_EQ("bar\r\n", readBytes(a));
    EXPECT_BYTES_EQ("bar\r\n", readBytes(d));
    EXPECT_BYTES_EQ(std::string("foo\0", 4), readBytes(b));
    EXPECT_BYTES_EQ(sample, readBytes(c));
    EXPECT_EQ((std::vector<std::string>{b + ": " + kBinaryFileReason + "\n" + c + ": " + kLegacyDocReason}),
              observer.messages);

    // The text engine lists its binary files the same way; to it, a .doc is one of them.
    writeBytes(a, "foo");
    request.engine = EngineKind::Text;
    observer.messages.clear();
    const RunResult result = run(source);
    EXPECT_FALSE(result.failed);
    EXPECT_EQ(2u, result.filesRewritten);
    EXPECT_BYTES_EQ(std::string("foo\0", 4), readBytes(b));
    EXPECT_BYTES_EQ(sample, readBytes(c));
    EXPECT_EQ((std::vector<std::string>{b + ": " + kBinaryFileReason + "\n" + c + ": " + kBinaryFileReason}),
              observer.messages);
}

namespace {

// An application whose Open fails with something other than the engine's own error.
class ThrowingWord : public RecordingWord {
    word::CallResult Open(const word::Arguments &a) override
    {
        if (a[0].asString().find("bad") != std::string::npos)
            throw std::bad_alloc();
        return word::CallResult::Success();
    }
};

std::string g_swapRoot; // the folder the hook swaps for a link, once

int SwapFolderOnce(fsseam::Step step, const std::string &path)
{
    if (step == fsseam::Step::OpenFolder && !g_swapRoot.empty() && path.find("sub") != std::string::npos) {
        fs::rename(g_swapRoot + "/sub", g_swapRoot + "/moved");
        fs::create_directory_symlink(g_swapRoot + "/../outside", g_swapRoot + "/sub");
        g_swapRoot.clear();
    }
    return 0;
}

} // namespace

TEST_F(OfficeRunTest, AFailureOfAnyKindEndsTheRunWithAMessageNamingTheFile)
{
    request.fileList = {{"good.txt", true}, {"bad.txt", true}, {"later.txt", true}};
    ThrowingWord word;
    run(word);
    EXPECT_TRUE(last.failed);
    ASSERT_EQ(1u, observer.errorPaths.size());
    EXPECT_EQ("bad.txt", observer.errorPaths[0]);
    EXPECT_EQ("cannot process 'bad.txt': not enough memory", observer.errorTexts[0]);
}

TEST_F(OfficeRunTest, ADirectoryPassNeverFollowsAFolderSwappedForALink)
{
    file("d/sub/f.txt", "foo");
    file("outside/f.txt", "foo");
    request.targetTab = TargetTab::DirectoryList;
    request.directoryList = {{(tmp.path() / "d").string(), true}};
    request.mask = "*";
    word::BuiltInApplicationSource source;
    // After the scan, as the file's folder is opened, "d/sub" becomes a link out of the tree.
    g_swapRoot = (tmp.path() / "d").string();
    fsseam::SetHook(SwapFolderOnce);
    run(source);
    fsseam::SetHook(nullptr);
    EXPECT_TRUE(g_swapRoot.empty()) << "the hook ran";
    EXPECT_BYTES_EQ("foo", readBytes(tmp.file("outside/f.txt")));
    EXPECT_BYTES_EQ("foo", readBytes(tmp.file("d/moved/f.txt")));
    EXPECT_EQ(1u, observer.errorPaths.size());
}
