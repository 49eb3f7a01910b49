// The Word branches: exact call sequences against a recording stand-in, and the same branches
// end to end through the built-in document engine.
#include "base/Error.h"
#include "run/BuiltInWord.h"
#include "run/OfficeRun.h"
#include "run/RunDriver.h"
#include "run/WordEngine.h"
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

Arguments SaveAsArgs(const std::string &path)
{
    return {path, 2, false, "", true, "", false, false, false, false, false};
}

const Arguments kThreeOmitted{kOmitted, kOmitted, kOmitted};

std::vector<std::string> FileSequence()
{
    return {"Documents.Open", "Find.ClearFormatting",  "Replacement.ClearFormatting",
            "Find.Execute",   "ActiveDocument.SaveAs", "ActiveDocument.Close"};
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

TEST(WordSequence, EveryArgumentOfOneFile)
{
    RecordingWord word;
    WordEngine engine(word);
    engine.fileListBranch({"/t/a.txt"}, "find", "replace", {});
    ASSERT_EQ(Concat({{"connect"}, FileSequence(), {"Application.Quit"}}), word.names());
    EXPECT_ARGS(OpenArgs("/t/a.txt"), word.calls[1].arguments);
    EXPECT_ARGS(Arguments{}, word.calls[2].arguments);
    EXPECT_ARGS(Arguments{}, word.calls[3].arguments);
    EXPECT_ARGS(ExecuteArgs("find", "replace"), word.calls[4].arguments);
    EXPECT_ARGS(SaveAsArgs("/t/a.txt"), word.calls[5].arguments);
    EXPECT_ARGS(kThreeOmitted, word.calls[6].arguments);
    EXPECT_ARGS(kThreeOmitted, word.calls[7].arguments);
    // Types matter, not only the printed values.
    EXPECT_EQ(Variant::Type::Int32, word.calls[1].arguments[9].type());
    EXPECT_EQ(Variant::Type::String, word.calls[1].arguments[4].type());
    EXPECT_TRUE(word.calls[7].arguments[0].isOmitted());
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
        const Arguments &execute = word.calls[4].arguments;
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
    EXPECT_ARGS(OpenArgs("b"), word.calls[7].arguments);

    RecordingWord empty;
    WordEngine(empty).fileListBranch({}, "x", "y", {});
    EXPECT_EQ((std::vector<std::string>{"connect", "Application.Quit"}), empty.names());
}

TEST(WordDirectoryList, QuitAfterEveryPathAndTheFlagBeforeEach)
{
    RunFlag flag;
    RecordingWord word;
    WordEngine(word).directoryListBranch({"a", "dir/", "b"}, "x", "y", {}, flag);
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
    WordEngine(stopped).directoryListBranch({"a", "b"}, "x", "y", {}, flag);
    EXPECT_EQ((std::vector<std::string>{"connect", "Application.Quit", "connect", "Application.Quit"}),
              stopped.names());

    RecordingWord empty;
    flag.set("1");
    WordEngine(empty).directoryListBranch({}, "x", "y", {}, flag);
    EXPECT_TRUE(empty.calls.empty());
}

TEST(WordFailure, TheNthCallEndsTheRunWithoutQuit)
{
    for (int n = 1; n <= 13; ++n) {
        RecordingWord word;
        word.failAt = n;
        WordEngine engine(word);
        try {
            engine.fileListBranch({"a", "b"}, "x", "y", {});
            FAIL() << "call " << n << " failed silently";
        } catch (const Error &e) {
            EXPECT_EQ(ErrorKind::Automation, e.kind());
            EXPECT_STREQ(RecordingWord::kFailure, e.what());
            EXPECT_EQ(n <= 6 ? "a" : (n <= 12 ? "b" : ""), e.path());
        }
        ASSERT_EQ(static_cast<std::size_t>(n + 1), word.calls.size())
            << "nothing is called after the failure";
        EXPECT_EQ(n == 13, word.calls.back().name == "Application.Quit");
    }
    RecordingWord quitFails;
    quitFails.failAt = 7;
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
        request.edit1 = "foo";
        request.edit2 = "bar";
    }

    std::string file(const std::string &name, std::string_view bytes)
    {
        std::string path = tmp.file(name);
        fs::create_directories(fs::path(path).parent_path());
        writeBytes(path, bytes);
        return path;
    }

    RunResult run(word::ApplicationSource &source, OfficeRunExtension **out = nullptr)
    {
        extension = std::make_unique<OfficeRunExtension>(source, folder, flag, observer);
        extension->options = options;
        extension->realTime = realTime;
        if (out)
            *out = extension.get();
        return RunReplace(request, folder, flag, observer, extension.get());
    }

    TempDir tmp;
    ProgramFolder folder;
    RunFlag flag;
    Observer observer;
    RunRequest request;
    WordEngineOptions options;
    RealTimeInputs realTime;
    std::unique_ptr<OfficeRunExtension> extension;
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
    OfficeRunExtension *ext = nullptr;
    run(source, &ext);
    EXPECT_TRUE(ext->failed());
    EXPECT_BYTES_EQ("bar\r\n", readBytes(a));
    EXPECT_BYTES_EQ("foo", readBytes(b));
    ASSERT_EQ(1u, observer.errorPaths.size());
    EXPECT_EQ(tmp.file("missing.txt"), observer.errorPaths[0]);

    request.fileList = {{a, true}};
    request.edit1 = "^y";
    run(source, &ext);
    ASSERT_EQ(2u, observer.errorTexts.size());
    EXPECT_EQ("^y is not a valid special character for the Find What box.", observer.errorTexts[1]);
}

TEST_F(OfficeRunTest, TabsThatStartNoWordWork)
{
    RecordingWord word;
    request.inputTab = InputTab::MultiLine;
    request.memo1 = "foo";
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
    realTime.edit3 = "foo";
    realTime.edit4 = "caf\xC3\xA9";
    realTime.richText = "foo one\nFOO two";
    word::BuiltInApplicationSource source;
    OfficeRunExtension *ext = nullptr;
    run(source, &ext);
    ASSERT_TRUE(ext->richTextResult().has_value());
    EXPECT_EQ("caf\xC3\xA9 one\nCAF\xC3\x89 two\n", *ext->richTextResult()); // every line ends in a break
    EXPECT_TRUE(fs::exists(folder.file("richedittext.vexlo")));
    EXPECT_TRUE(observer.messages.empty());

    RecordingWord word;
    realTime.memo4 = "x";
    run(word);
    EXPECT_EQ((std::vector<std::string>{kOneLineOnlyMessage}), observer.messages);
    EXPECT_EQ(Concat({{"connect"}, FileSequence(), {"Application.Quit"}}), word.names());
    EXPECT_ARGS(ExecuteArgs("foo", "caf\xC3\xA9"), word.calls[4].arguments);

    RecordingWord both;
    realTime.memo5 = "y";
    run(both, &ext);
    EXPECT_EQ(2u, observer.messages.size());
    EXPECT_TRUE(both.calls.empty());
    EXPECT_FALSE(ext->richTextResult().has_value());
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
