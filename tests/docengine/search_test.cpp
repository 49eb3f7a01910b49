// What a search costs: the number of states the matcher goes through stays a small multiple
// of the story's length, however long the find text, and long patterns run on long stories.
#include "docengine/ReplaceAll.h"

#include "support/TestSupport.h"

using namespace vexlo::doc;

namespace {

struct Cost {
    std::size_t matches = 0, steps = 0;
};

// Runs a find over `story` as a replace-all would (each search from the last match's end).
Cost Search(const std::u32string &story, std::u32string_view find, const PatternOptions &options)
{
    Program program = CompileFind(find, options);
    std::u32string subject = story;
    if (!options.matchCase && !options.wildcards)
        for (char32_t &c : subject)
            c = FoldCase(c);
    Matcher matcher(program, subject, story, story.size());
    MatchResult match;
    Cost cost;
    for (std::size_t from = 0; matcher.find(from, match); from = match.end)
        ++cost.matches;
    cost.steps = matcher.steps();
    return cost;
}

PatternOptions Plain(bool matchCase = false, bool wholeWord = false)
{
    PatternOptions o;
    o.matchCase = matchCase;
    o.wholeWord = wholeWord;
    return o;
}

PatternOptions Wildcards()
{
    PatternOptions o;
    o.wildcards = true;
    return o;
}

std::u32string Repeat(std::u32string_view unit, std::size_t times)
{
    std::u32string s;
    for (std::size_t i = 0; i < times; ++i)
        s += unit;
    return s;
}

} // namespace

TEST(SearchCost, LongFindTextsCostNoMorePerCharacter)
{
    const std::size_t n = 60000;
    const std::u32string as(n, U'a');
    const std::u32string longText = std::u32string(254, U'a') + U"b";
    const std::u32string carets = Repeat(U"^?", 126);
    struct Row {
        const char *name;
        std::u32string story, find;
        PatternOptions options;
        std::size_t matches;
    } rows[] = {
        {"254 a + b", as, longText, Plain(), 0},
        {"254 a + b, match case", as, longText, Plain(true), 0},
        {"254 a + b, whole word", as, longText, Plain(false, true), 0},
        {"254 a + b, wildcards", as, longText, Wildcards(), 0},
        {"254 a + b, found", Repeat(longText, 240), longText, Plain(), 240},
        {"a + ^? x 126 + b", as, U"a" + carets + U"b", Plain(), 0},
        {"?{1,255}b", as, U"?{1,255}b", Wildcards(), 0},
        {"?{1,255}b, b at the end", as + U"b", U"?{1,255}b", Wildcards(), 1},
        {"?{1,255}b, b every 300", Repeat(std::u32string(299, U'a') + U"b", n / 300), U"?{1,255}b",
         Wildcards(), n / 300},
        {"(a){1,255}b", as, U"(a){1,255}b", Wildcards(), 0},
        {"a*b", as, U"a*b", Wildcards(), 0},
        {"<[a-z]@>", Repeat(U"word ", n / 5), U"<[a-z]@>", Wildcards(), n / 5},
        {"<*>", Repeat(U"ab, ", n / 4), U"<*>", Wildcards(), n / 4},
        {"a whole word in one long word", as, U"aaa", Plain(false, true), 0},
    };
    for (const Row &row : rows) {
        Cost cost = Search(row.story, row.find, row.options);
        EXPECT_EQ(row.matches, cost.matches) << row.name;
        EXPECT_LE(cost.steps, 4 * row.story.size()) << row.name;
    }
}

TEST(SearchCost, LongPatternsRunOnLongStories)
{
    // A pattern of some 25,000 states over a story of a million characters: the states are
    // remembered where paths join only, and only near where the search is.
    Document document = OpenPlainText(std::string(1 << 20, 'a'));
    FindOptions options;
    options.wildcards = true;
    EXPECT_EQ(0u, ReplaceAll(document, U"(?{1,255}){1,50}b", U"x", options));
    EXPECT_EQ(83u, ReplaceAll(document, U"(?{1,255}){1,50}", U"x", options));
    EXPECT_EQ(std::u32string(83, U'x') + U"\r", document.text);
}

TEST(SearchCost, PatternsThatMultiplyAreRefused)
{
    Document document = OpenPlainText("aaa");
    FindOptions options;
    options.wildcards = true;
    try {
        ReplaceAll(document, U"(((a){255}){255}){255}", U"x", options);
        ADD_FAILURE() << "a pattern of 16 million states was compiled";
    } catch (const FindError &e) {
        EXPECT_STREQ("The Find What text contains a Pattern Match expression which is too complex.",
                     e.what());
    }
}

// The engine's refusals are the program's own errors: caught as vexlo::Error, told apart by
// their kind, with no file named and the message as it was.
TEST(EngineErrors, AreKindsOfTheProgramsError)
{
    Document document = OpenPlainText("aaa");
    try {
        ReplaceAll(document, U"^y", U"x", FindOptions{});
        ADD_FAILURE() << "an unknown caret code was read";
    } catch (const vexlo::Error &e) {
        EXPECT_EQ(vexlo::ErrorKind::FindText, e.kind());
        EXPECT_EQ("", e.path());
        EXPECT_STREQ("^y is not a valid special character for the Find What box.", e.what());
    }
    try {
        SaveInOwnFormat(document); // plain text has no format of its own to save in
        ADD_FAILURE() << "plain text saved in its own format";
    } catch (const vexlo::Error &e) {
        EXPECT_EQ(vexlo::ErrorKind::DocumentFormat, e.kind());
        EXPECT_EQ("", e.path());
        EXPECT_STREQ("this document's format cannot be written", e.what());
    }
}
