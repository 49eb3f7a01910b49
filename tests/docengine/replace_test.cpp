// The built-in document engine's replace-all: caret codes, wildcards, case, whole words,
// sounds like, word forms and the limits, each on plain-text documents.
#include "docengine/ReplaceAll.h"
#include "docengine/WordMatch.h"

#include "support/TestSupport.h"

using namespace vexlo::doc;

namespace {

FindOptions Wild()
{
    FindOptions o;
    o.wildcards = true;
    return o;
}

FindOptions Case()
{
    FindOptions o;
    o.matchCase = true;
    return o;
}

FindOptions Whole()
{
    FindOptions o;
    o.wholeWord = true;
    return o;
}

// Opens `bytes` as a plain-text file, replaces all, and returns the saved bytes.
std::string Replaced(std::string_view bytes, std::string_view find, std::string_view replace,
                     const FindOptions &options = {}, std::string_view clipboard = {})
{
    Document document = OpenPlainText(bytes);
    ReplaceAll(document, FromUtf8(find), FromUtf8(replace), options, FromUtf8(clipboard));
    return SavePlainText(document);
}

// The message of the refusal, or "" when the call succeeds.
std::string Refusal(std::string_view find, std::string_view replace, const FindOptions &options = {})
{
    Document document = OpenPlainText("text");
    try {
        ReplaceAll(document, FromUtf8(find), FromUtf8(replace), options);
    } catch (const FindError &e) {
        EXPECT_EQ(SavePlainText(document), "text\r\n") << "a refused call changed the document";
        return e.what();
    }
    return "";
}

std::string FindBox(std::string_view code)
{
    return std::string(code) + " is not a valid special character for the Find What box.";
}

std::string ReplaceBox(std::string_view code)
{
    return std::string(code) + " is not a valid special character for the Replace With box.";
}

const char *const kBadPattern = "The Find What text contains a Pattern Match expression which is not valid.";

} // namespace

TEST(CaretFind, StructureAndSpecialCharacters)
{
    struct Row {
        const char *text, *find, *expected;
    } rows[] = {
        {"a\r\nb\nc\rd", "^p", "a-b-c-d\r\n"},
        {"a\r\nb", "^13", "a-b\r\n"},
        {"a\tb", "^t", "a-b\r\n"},
        {"a\tb", "^9", "a-b\r\n"},
        {"a\vb", "^l", "a-b\r\n"},
        {"a\vb", "^11", "a-b\r\n"},
        {"a\x0E"
         "b",
         "^n", "a-b\r\n"},
        {"a\x0E"
         "b",
         "^14", "a-b\r\n"},
        {"a\fb", "^m", "a-b\r\n"},
        {"a\fb", "^12", "a-b\r\n"},
        {"a\xA0"
         "b",
         "^s", "a-b\r\n"},
        {"a\x1E"
         "b",
         "^~", "a-b\r\n"},
        {"a\x1F"
         "b",
         "^-", "a-b\r\n"},
        {"a\x97"
         "b",
         "^+", "a-b\r\n"},
        {"a\x96"
         "b",
         "^=", "a-b\r\n"},
        {"a^b", "^^", "a-b\r\n"},
        {"a\xA7"
         "b",
         "^%", "a-b\r\n"},
        {"a\xB6"
         "b",
         "^v", "a-b\r\n"},
        {"a\xE2\x80\x8C"
         "b",
         "^x", "a-b\r\n"},
        {"a\xE2\x80\x8D"
         "b",
         "^z", "a-b\r\n"},
        {"a\xE2\x80\x85"
         "b",
         "^q", "a-b\r\n"},
        {"a\x97"
         "b",
         "^u8212", "a-b\r\n"},
        {"a\x97"
         "b",
         "^0151", "a-b\r\n"},
        {"a\xF4"
         "b",
         "^147", "a-b\r\n"}, // DOS code page: 147 is o circumflex
        {"aAb", "^65", "a-b\r\n"},
        {"abc", "a^?c", "-\r\n"},
        {"a1b2", "^#", "a-b-\r\n"},
        {"1a2\xC9", "^$", "1-2-\r\n"},
        {"a \t\xA0 b", "a^wb", "-\r\n"},
    };
    for (const Row &c : rows)
        EXPECT_BYTES_EQ(c.expected, Replaced(c.text, c.find, "-", Case())) << c.find;
}

TEST(CaretFind, ItemsPlainTextCannotHoldFindNothing)
{
    for (const char *code : {"^b", "^g", "^1", "^f", "^e", "^2", "^d", "^19", "^21", "^a", "^5"})
        EXPECT_BYTES_EQ("a\x01"
                        "b\x13"
                        "c\r\n",
                        Replaced("a\x01"
                                 "b\x13"
                                 "c",
                                 code, "-"))
            << code;
}

TEST(CaretFind, UnknownAndReplaceOnlyCodesAreRefused)
{
    EXPECT_EQ(FindBox("^y"), Refusal("a^y", "x"));
    EXPECT_EQ(FindBox("^"), Refusal("a^", "x"));
    EXPECT_EQ(FindBox("^&"), Refusal("^&", "x"));
    EXPECT_EQ(FindBox("^c"), Refusal("^c", "x"));
    EXPECT_EQ(FindBox("^0"), Refusal("^0", "x"));
    EXPECT_EQ(FindBox("^000"), Refusal("^000", "x"));
    EXPECT_EQ(FindBox("^256"), Refusal("^256", "x"));
    EXPECT_EQ(FindBox("^0256"), Refusal("^0256", "x"));
    EXPECT_EQ(FindBox("^u"), Refusal("^u", "x"));
    EXPECT_EQ(FindBox("^P"), Refusal("^P", "x"));
}

TEST(CaretReplace, InsertedCharacters)
{
    EXPECT_BYTES_EQ("a\r\nb\r\n", Replaced("a-b", "-", "^p"));
    EXPECT_BYTES_EQ("a\r\nb\r\n", Replaced("a-b", "-", "^13"));
    EXPECT_BYTES_EQ("a\tb\r\n", Replaced("a-b", "-", "^t"));
    EXPECT_BYTES_EQ("a\r\nb\r\n", Replaced("a-b", "-", "^l"));
    EXPECT_BYTES_EQ("a\r\nb\r\n", Replaced("a-b", "-", "^m"));
    EXPECT_BYTES_EQ("a\r\nb\r\n", Replaced("a-b", "-", "^n"));
    EXPECT_BYTES_EQ("a\xA0"
                    "b\r\n",
                    Replaced("a-b", "-", "^s"));
    EXPECT_BYTES_EQ("a-b\r\n", Replaced("a-b", "-", "^~"));
    EXPECT_BYTES_EQ("ab\r\n", Replaced("a-b", "-", "^-"));
    EXPECT_BYTES_EQ("a\x97"
                    "b\r\n",
                    Replaced("a-b", "-", "^+"));
    EXPECT_BYTES_EQ("a\x96"
                    "b\r\n",
                    Replaced("a-b", "-", "^="));
    EXPECT_BYTES_EQ("a^b\r\n", Replaced("a-b", "-", "^^"));
    EXPECT_BYTES_EQ("a\xA7\xB6"
                    "b\r\n",
                    Replaced("a-b", "-", "^%^v"));
    EXPECT_BYTES_EQ("a\x97"
                    "b\r\n",
                    Replaced("a-b", "-", "^0151"));
    EXPECT_BYTES_EQ("a\xF4"
                    "b\r\n",
                    Replaced("a-b", "-", "^147"));
    EXPECT_BYTES_EQ("a[-]b\r\n", Replaced("a-b", "-", "[^&]"));
    EXPECT_BYTES_EQ("a<clip>b\r\n", Replaced("a-b", "-", "<^c>", {}, "clip"));
    EXPECT_BYTES_EQ("a??b\r\n", Replaced("a-b", "-", "^x^z")); // no such characters in Windows-1252
}

TEST(CaretReplace, FindOnlyCodesAreRefused)
{
    for (const char *code : {"^?", "^#", "^$", "^w", "^b", "^g", "^1", "^f", "^e", "^2", "^d", "^19", "^21",
                             "^a", "^5", "^y", "^"})
        EXPECT_EQ(ReplaceBox(code), Refusal("t", std::string("x") + code)) << code;
    EXPECT_EQ(ReplaceBox("^u"), Refusal("t", "^u65"));
}

TEST(Wildcards, MicrosoftExamples)
{
    FindOptions w = Wild();
    EXPECT_BYTES_EQ("X X X\r\n", Replaced("sat set sit", "s?t", "X", w));
    EXPECT_BYTES_EQ("X X\r\n", Replaced("sad started", "s*d", "X", w));
    EXPECT_BYTES_EQ("Xesting Xcept splintered\r\n",
                    Replaced("interesting intercept splintered", "<(inter)", "X", w));
    EXPECT_BYTES_EQ("X withX interesting\r\n", Replaced("in within interesting", "(in)>", "X", w));
    EXPECT_BYTES_EQ("X X wan\r\n", Replaced("win won wan", "w[io]n", "X", w));
    EXPECT_BYTES_EQ("X X X might\r\n", Replaced("right sight tight might", "[r-t]ight", "X", w));
    EXPECT_BYTES_EQ("X X tack\r\n", Replaced("tock tuck tack", "t[!a-m]ck", "X", w));
    EXPECT_BYTES_EQ("fed X feeed\r\n", Replaced("fed feed feeed", "fe{2}d", "X", w));
    EXPECT_BYTES_EQ("X X X fd\r\n", Replaced("fed feed feeed fd", "fe{1,}d", "X", w));
    EXPECT_BYTES_EQ("1 X X X X0\r\n", Replaced("1 10 100 1000 10000", "10{1,3}", "X", w));
    EXPECT_BYTES_EQ("1 X X\r\n", Replaced("1 10 100", "10{1;3}", "X", w));
    EXPECT_BYTES_EQ("X X lt\r\n", Replaced("lot loot lt", "lo@t", "X", w));
    EXPECT_BYTES_EQ("Belinda Newman\r\n", Replaced("Newman Belinda", "(Newman) (Belinda)", "\\2 \\1", w));
    EXPECT_BYTES_EQ("aXb\r\n", Replaced("a?b", "\\?", "X", w));
}

TEST(Wildcards, LazyStarGreedyRepeatsAndEscapes)
{
    FindOptions w = Wild();
    EXPECT_BYTES_EQ("ZYb\r\n", Replaced("aXbYb", "a*b", "Z", w));
    EXPECT_BYTES_EQ("abc <12345> x\r\n", Replaced("abc 12345 x", "[0-9]@", "<^&>", w));
    EXPECT_BYTES_EQ("<abab>c\r\n", Replaced("ababc", "(ab)@", "<^&>", w));
    EXPECT_BYTES_EQ("X\r\n", Replaced("a\r\nb", "a*b", "X", w)); // a star runs across paragraphs
    EXPECT_BYTES_EQ("a b\r\n", Replaced("a\r\nb", "a^13b", "a b", w));
    EXPECT_BYTES_EQ("a- (b)\r\n", Replaced("a* (b)", "\\*", "-", w));
    EXPECT_BYTES_EQ("a* -\r\n", Replaced("a* (b)", "\\(?\\)", "-", w));
    EXPECT_BYTES_EQ("x-y\r\n", Replaced("x[y", "\\[", "-", w));
    EXPECT_BYTES_EQ("--b-\r\n", Replaced("a!b!", "[!b]", "-", w));
    EXPECT_BYTES_EQ("a-c\r\n", Replaced("a\tc", "[^t]", "-", w));
    EXPECT_BYTES_EQ("x X y\r\n", Replaced("x [A] y", "\\[?\\]", "X", w));
    EXPECT_BYTES_EQ("\\1 <b>\r\n", Replaced("a b", "(a) (b)", "\\\\1 <\\2>", w));
}

TEST(Wildcards, AreCaseSensitiveAndIgnoreWholeWord)
{
    FindOptions w = Wild();
    w.wholeWord = true;
    EXPECT_BYTES_EQ("ABC x cabc\r\n", Replaced("ABC abc cabc", "<abc>", "x", w));
    EXPECT_BYTES_EQ("ABC x cx\r\n", Replaced("ABC abc cabc", "abc", "x", w));
    EXPECT_BYTES_EQ("abc\r\n", Replaced("abc", "a(b)c", "abc", w)); // no case adjustment
    EXPECT_BYTES_EQ("xyz\r\n", Replaced("ABC", "[A-Z]@", "xyz", w));
}

TEST(Wildcards, InvalidPatternsAreRefused)
{
    FindOptions w = Wild();
    for (const char *pattern : {"(", "(a", "a)", "[a", "[]", "[z-a]", "{2}", "a{2", "a{x}", "a{3,2}", "()",
                                "@", "a@@", "<@", "*@", "\\", "a]", "a}", "x{2}{3}"})
        EXPECT_EQ(kBadPattern, Refusal(pattern, "x", w)) << pattern;
    EXPECT_EQ(FindBox("^p"), Refusal("a^p", "x", w));
    for (const char *code : {"^?", "^#", "^$", "^w", "^b", "^f", "^e", "^d", "^a"})
        EXPECT_EQ(FindBox(code), Refusal(code, "x", w)) << code;
    EXPECT_EQ("The Replace With text contains a group number which is out of range.",
              Refusal("(a)(b)", "\\3", w));
    EXPECT_EQ("The Replace With text contains a group number which is out of range.", Refusal("a", "\\0", w));
    EXPECT_EQ("", Refusal("(^g)^1^2^5^19^21^m^12^t^l^n^s^~^-^+^=^^^%^v^0151^65", "^p\\1x", w));
}

TEST(MatchCaseOff, FoldsAllLettersAndAdjustsTheReplacement)
{
    EXPECT_BYTES_EQ("bar Bar BAR bar\r\n", Replaced("foo Foo FOO fOO", "foo", "bar"));
    EXPECT_BYTES_EQ("XYZ\r\n", Replaced("ABC", "abc", "xyz"));
    EXPECT_BYTES_EQ("We\r\n", Replaced("I", "i", "we"));
    EXPECT_BYTES_EQ("ab ab\r\n", Replaced("12 12", "12", "ab"));
    EXPECT_BYTES_EQ("Bar\r\n", Replaced("Foo", "FOO", "bar"));
    EXPECT_BYTES_EQ("Bar-9\r\n", Replaced("F-1", "f-1", "bar-9"));
    EXPECT_BYTES_EQ("XBAR\r\n", Replaced("Foo", "foo", "xBAR"));
    // Non-ASCII letters fold too; the file stays UTF-8.
    EXPECT_BYTES_EQ("SUMMER summer\r\n",
                    Replaced("\xC3\x89T\xC3\x89 \xC3\xA9t\xC3\xA9", "\xC3\xA9t\xC3\xA9", "summer"));
    EXPECT_BYTES_EQ("\xC9"
                    "cole\r\n",
                    Replaced("Ecole", "ecole",
                             "\xC3\xA9"
                             "cole")); // an ASCII file is Windows-1252
}

TEST(MatchCaseOn, ComparesExactlyAndInsertsAsTyped)
{
    EXPECT_BYTES_EQ("foo bar FOO\r\n", Replaced("foo Foo FOO", "Foo", "bar", Case()));
    EXPECT_BYTES_EQ("xyz\r\n", Replaced("ABC", "ABC", "xyz", Case()));
}

TEST(WholeWords, BoundariesOnWordCharacters)
{
    EXPECT_BYTES_EQ("dog concat cats dog. Dog\r\n",
                    Replaced("cat concat cats cat. Cat", "cat", "dog", Whole()));
    EXPECT_BYTES_EQ("cat_x 9cat cat9 X\r\n", Replaced("cat_x 9cat cat9 cat", "cat", "X", Whole()));
    EXPECT_BYTES_EQ("don't X\r\n", Replaced("don't don", "don", "X", Whole()));
    EXPECT_BYTES_EQ("X Xx\r\n", Replaced("Inc. Inc.x", "Inc.", "X", Whole()));
    EXPECT_BYTES_EQ("xX\r\n", Replaced("xa b", "a b", "X", Whole())); // a space turns the option off
    EXPECT_BYTES_EQ("X cat\xC3\xA9\r\n", Replaced("cat cat\xC3\xA9", "cat", "X", Whole()));
}

TEST(SoundsLike, SoundexKeys)
{
    EXPECT_EQ("F500", SoundexKey(U"fun"));
    EXPECT_EQ("F500", SoundexKey(U"funny"));
    EXPECT_EQ("R163", SoundexKey(U"Robert"));
    EXPECT_EQ("R163", SoundexKey(U"Rupert"));
    EXPECT_EQ("A261", SoundexKey(U"Ashcraft"));
    EXPECT_EQ("T522", SoundexKey(U"Tymczak"));
    EXPECT_EQ("P236", SoundexKey(U"Pfister"));
    FindOptions o;
    o.soundsLike = true;
    EXPECT_BYTES_EQ("joy Joy joy phone\r\n", Replaced("fun Funny fan phone", "fun", "joy", o));
}

TEST(AllWordForms, InflectionsAndTheMatchingFormOfTheReplacement)
{
    FindOptions o;
    o.allWordForms = true;
    EXPECT_BYTES_EQ("stand stood standing stands Stood seat\r\n",
                    Replaced("sit sat sitting sits Sat seat", "sit", "stand", o));
    EXPECT_BYTES_EQ("walk walked walking\r\n", Replaced("try tried trying", "try", "walk", o));
    EXPECT_BYTES_EQ("mice mouse\r\n", Replaced("men man", "man", "mouse", o));
    EXPECT_BYTES_EQ("make making made\r\n", Replaced("take taking took", "take", "make", o));
    EXPECT_EQ(U"stopping", Inflect(U"stop", FormSlot::Ing));
    EXPECT_EQ(U"opened", Inflect(U"open", FormSlot::Past));
    EXPECT_EQ(U"boxes", Inflect(U"box", FormSlot::Plural));
    EXPECT_EQ(U"bigger", Inflect(U"big", FormSlot::Comparative));
    // Irregular forms beyond our own table come from WordNet's exception lists.
    EXPECT_BYTES_EQ("drink drank drinking\r\n", Replaced("swing swung swinging", "swing", "drink", o));
    EXPECT_BYTES_EQ("rule rules\r\n", Replaced("criterion criteria", "criterion", "rule", o));
    EXPECT_BYTES_EQ("bad worse worst\r\n", Replaced("good better best", "good", "bad", o));
}

TEST(Story, ParagraphMarksAcrossLinesAndTheFinalMark)
{
    EXPECT_BYTES_EQ("1-2\r\n", Replaced("one\r\ntwo\r\n", "one^ptwo", "1-2"));
    EXPECT_BYTES_EQ("ab\r\n", Replaced("a\r\nb\r\n", "^p", ""));
    EXPECT_BYTES_EQ("a\r\n", Replaced("a\r\n", "a^p", "x"));
    EXPECT_BYTES_EQ("a\r\n\r\n", Replaced("a\n\n", "^p^p", "^p"));
    EXPECT_BYTES_EQ("a\r\n\r\n", Replaced("a\n\n\n", "^p^p", "^p"));
    EXPECT_BYTES_EQ("", Replaced("x", "x", "")); // an emptied document saves as an empty file
}

TEST(Story, ReplacementIsNotSearchedAgainAndLimitsHold)
{
    EXPECT_BYTES_EQ("aaaa\r\n", Replaced("aa", "a", "aa"));
    EXPECT_BYTES_EQ("xbxb\r\n", Replaced("abab", "a", "x"));
    EXPECT_BYTES_EQ("aaa\r\n", Replaced("aaa", "", "x"));
    EXPECT_EQ("String parameter too long", Refusal(std::string(256, 'a'), "x"));
    EXPECT_EQ("String parameter too long", Refusal("a", std::string(256, 'b')));
    EXPECT_EQ("", Refusal(std::string(255, 'a'), std::string(255, 'b')));
    EXPECT_BYTES_EQ("XX\r\n", Replaced(std::string(300, 'a'), std::string(150, 'a'), "X"));
}

namespace {

FindOptions SoundsLike()
{
    FindOptions o;
    o.soundsLike = true;
    return o;
}

} // namespace

TEST(WordTests, SeeTheStoryAsEditedSoFar)
{
    // Once "a" is gone, "t" starts the story and so a word.
    EXPECT_BYTES_EQ("", Replaced("at", "<?", "", Wild()));
    EXPECT_BYTES_EQ(" \r\n", Replaced("ab b", "<?", "", Wild()));
    // The second "a." follows the "x" written for the first: not a whole word any more.
    EXPECT_BYTES_EQ("xa.\r\n", Replaced("a.a.", "a.", "x", Whole()));
    EXPECT_BYTES_EQ("..\r\n", Replaced("a.a.", "a.", ".", Whole()));
    EXPECT_BYTES_EQ("", Replaced("a.a.", "a.", "", Whole()));
    EXPECT_BYTES_EQ("xa.\r\n", Replaced("a.a.", "<a.", "x", Wild()));
}

TEST(WordTests, ACombiningMarkBelongsToTheLetterBeforeIt)
{
    const std::string cafe = "cafe\xCC\x81"; // e and U+0301
    EXPECT_BYTES_EQ(cafe + "\r\n", Replaced(cafe, "[A-z]>", "", Wild()));
    EXPECT_BYTES_EQ(cafe + " X\r\n", Replaced(cafe + " cafe", "cafe", "X", Whole()));
    EXPECT_BYTES_EQ("X X\r\n", Replaced(cafe + " " + cafe, "<*>", "X", Wild()));
    // A mark after a space belongs to no word.
    EXPECT_BYTES_EQ(" \xCC\x81X\r\n", Replaced(" \xCC\x81x", "<x", "X", Wild()));
    EXPECT_BYTES_EQ("joy joy\r\n", Replaced(cafe + " cafe", cafe, "joy", SoundsLike()));
}

TEST(SoundsLike, OnlyWordsStartingWithAToZHaveAKey)
{
    EXPECT_EQ("", SoundexKey(U"\u00E9t\u00E9"));
    EXPECT_EQ("", SoundexKey(U"1fun"));
    EXPECT_EQ("", SoundexKey(U"_fun"));
    EXPECT_EQ("F500", SoundexKey(U"Fun"));
    // é, 中, ß and ω share no key: each sounds like itself alone.
    EXPECT_BYTES_EQ("\xC3\xA9 \xE4\xB8\xAD \xC3\x9F X\r\n",
                    Replaced("\xC3\xA9 \xE4\xB8\xAD \xC3\x9F \xCF\x89", "\xCF\x89", "X", SoundsLike()));
    EXPECT_BYTES_EQ("X 1fun _fun X\r\n", Replaced("fun 1fun _fun Funny", "fun", "X", SoundsLike()));
    EXPECT_BYTES_EQ("X 2fun\r\n", Replaced("1fun 2fun", "1fun", "X", SoundsLike()));
}

TEST(SoundsLike, CaretCodesInTheFindTextAreDecoded)
{
    EXPECT_BYTES_EQ("X\tt X\r\n", Replaced("fun\tt fun", "fun^t", "X", SoundsLike()));
    EXPECT_BYTES_EQ("X\r\n", Replaced("caf\xC3\xA9", "caf^0233", "X", SoundsLike()));
    EXPECT_BYTES_EQ("X X\r\n", Replaced("fun fan", "f^117n", "X", SoundsLike()));
    EXPECT_EQ(FindBox("^y"), Refusal("f^yn", "x", SoundsLike()));
}
