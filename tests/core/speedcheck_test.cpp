#include "base/Error.h"
#include "run/office/SpeedCheck.h"
#include "support/RecordingWord.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace vexlo;
using vexlo::test::RecordingWord;
using vexlo::test::TempDir;
using vexlo::test::writeBytes;

namespace {

// Records what the measure shows, on a clock that moves `step` ms at every reading.
struct RecordingView : SpeedCheckView {
    std::uint32_t now = 0, tick = 0;
    std::vector<std::string> events;
    std::uint32_t milliseconds() override { return now += tick; }
    void officePhase(int last) override { events.push_back("office " + std::to_string(last)); }
    void textPhase(int last) override { events.push_back("text " + std::to_string(last)); }
    void officeFailed() override { events.push_back("failed"); }
    void officeFigure(std::uint32_t ms) override { events.push_back("office " + std::to_string(ms) + " ms"); }
    void textFigure(std::uint32_t ms) override { events.push_back("text " + std::to_string(ms) + " ms"); }
};

} // namespace

TEST(SpeedCheck, AnOfficePassOpensClosesAndQuitsThenAsksForAFreshApplication)
{
    RecordingWord word;
    SpeedCheck check(word);
    EXPECT_TRUE(check.officePass("/p/sample.doc"));
    EXPECT_TRUE(check.officePass("/p/sample.doc"));
    EXPECT_EQ(word.names(), (std::vector<std::string>{"connect", "Documents.Open", "ActiveDocument.Close",
                                                      "Application.Quit", "connect", "Documents.Open",
                                                      "ActiveDocument.Close", "Application.Quit"}));
    const word::Arguments &open = word.calls[1].arguments;
    ASSERT_EQ(open.size(), 10u);
    EXPECT_EQ(open[0].asString(), "/p/sample.doc");
    EXPECT_EQ(open[9].asInt(), word::wdOpenFormatAuto);
}

TEST(SpeedCheck, AFailedCallEndsThePassAndKeepsTheApplication)
{
    RecordingWord word;
    word.failAt = 1; // the first Open
    SpeedCheck check(word);
    EXPECT_FALSE(check.officePass("d.doc"));
    EXPECT_EQ(word.names(), (std::vector<std::string>{"connect", "Documents.Open"}));
    EXPECT_TRUE(check.officePass("d.doc")); // no second connect: the application was not quit
    EXPECT_EQ(word.names().size(), 5u);
    EXPECT_EQ(word.names()[2], "Documents.Open");
}

TEST(SpeedCheck, TheRunShowsTheLastPassTimesAndOnlyASucceedingOfficeFigure)
{
    TempDir dir;
    writeBytes(dir.path() / "t.txt", "one\r\ntwo\r\n");
    RecordingWord word;
    RecordingView view;
    view.tick = 3; // every pass takes the time between two readings
    SpeedCheck(word).run("d.doc", dir.file("t.txt"), view);
    EXPECT_EQ(view.events, (std::vector<std::string>{"office 50", "office 3 ms", "text 10", "text 28 ms"}));
    EXPECT_EQ(word.calls.size(), 51u * 4);

    RecordingWord failingLast;
    failingLast.failAt = 51 * 3; // the Quit of the last pass
    RecordingView second;
    SpeedCheck(failingLast).run("d.doc", dir.file("t.txt"), second);
    EXPECT_EQ(second.events, (std::vector<std::string>{"office 50", "failed", "text 10", "text 25 ms"}));
}

TEST(SpeedCheck, AMissingOrNonRegularTextSampleFailsAfterTheOfficeFigure)
{
    TempDir dir;
    for (const std::string &path : {dir.file("missing.txt"), dir.path().string()}) {
        RecordingWord word;
        RecordingView view;
        try {
            SpeedCheck(word).run("d.doc", path, view);
            FAIL() << "no error for " << path;
        } catch (const Error &e) {
            EXPECT_EQ(e.kind(), ErrorKind::Io);
        }
        EXPECT_EQ(view.events, (std::vector<std::string>{"office 50", "office 0 ms", "text 10"}));
    }
}
