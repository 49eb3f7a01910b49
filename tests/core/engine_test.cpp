// The text engine: the two operations, loading and saving, and the one-pass buffer form
// held against the line-based form on random input.
#include "run/engine/TextEngine.h"

#include "run/engine/BufferEngine.h"
#include "run/engine/FastSearch.h"

#include "support/TestSupport.h"

#include <random>

using namespace vexlo;

namespace {

TextEngineOptions Opts(std::initializer_list<bool TextEngineOptions::*> flags)
{
    TextEngineOptions options;
    for (auto flag : flags)
        options.*flag = true;
    return options;
}

constexpr auto kCase = &TextEngineOptions::matchCase;
constexpr auto kWhole = &TextEngineOptions::wholeWord;
constexpr auto kRight = &TextEngineOptions::wholeWordRight;
constexpr auto kLeft = &TextEngineOptions::wholeWordLeft;
constexpr auto kBlanks = &TextEngineOptions::deleteBlanks;
constexpr auto kBlanksRight = &TextEngineOptions::deleteBlanksRight;
constexpr auto kBlanksLeft = &TextEngineOptions::deleteBlanksLeft;

TextOperation InLineOp(std::string find, Lines replacement, TextEngineOptions options)
{
    TextOperation op;
    op.kind = TextOperation::Kind::InLine;
    op.find = std::move(find);
    op.inLine.lines = std::move(replacement);
    op.options = options;
    return op;
}

TextOperation BlockOp(Lines find, Lines replacement, TextEngineOptions options)
{
    TextOperation op;
    op.kind = TextOperation::Kind::Block;
    op.findLines = std::move(find);
    op.replacementLines = std::move(replacement);
    op.options = options;
    return op;
}

Lines Reference(const Lines &text, const TextOperation &op)
{
    if (op.kind == TextOperation::Kind::Block)
        return ReplaceBlock(text, op.findLines, op.replacementLines, op.options);
    return ReplaceInLine(text, op.find, op.inLine, op.options);
}

/// Applies the operation both ways, expects the same bytes, and returns the lines.
Lines Apply(const Lines &text, const TextOperation &op)
{
    const Lines lines = Reference(text, op);
    EXPECT_BYTES_EQ(JoinLines(lines), ApplyToBuffer(JoinLines(text), op));
    return lines;
}

Lines InLine(const Lines &text, const std::string &find, const std::string &replacement,
             TextEngineOptions options = {})
{
    return Apply(text, InLineOp(find, {replacement}, options));
}

} // namespace

TEST(LoadingAndSaving, EveryKindOfBreakEndsALineAndTheLastBreakStartsNoLine)
{
    EXPECT_EQ(SplitLines("a\r\nb\nc\rd"), (Lines{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitLines("a\r\n"), (Lines{"a"}));
    EXPECT_EQ(SplitLines("a\r\n\r\n"), (Lines{"a", ""}));
    EXPECT_EQ(SplitLines("a\n\r"), (Lines{"a", ""})); // LF then a lone CR: two breaks
    EXPECT_EQ(SplitLines("\r"), (Lines{""}));
    EXPECT_TRUE(SplitLines("").empty());
}

TEST(LoadingAndSaving, NulAndHighBytesAreOrdinaryCharacters)
{
    const std::string text("a\0b\xe4\xff\r\nc\0", 9);
    EXPECT_EQ(SplitLines(text), (Lines{std::string("a\0b\xe4\xff", 5), std::string("c\0", 2)}));
    EXPECT_BYTES_EQ(std::string("a\0b\xe4\xff\r\nc\0\r\n", 11), JoinLines(SplitLines(text)));
}

TEST(LoadingAndSaving, FileWithoutMatchesLeavesWithCrLfBreaks)
{
    const TextOperation op = InLineOp("zzz", {"y"}, {});
    EXPECT_BYTES_EQ("a\r\nb\r\nc\r\n\r\nd\r\n", ApplyToBuffer("a\nb\rc\r\n\nd", op));
    EXPECT_BYTES_EQ("", ApplyToBuffer("", op));
}

TEST(LoadingAndSaving, VeryLongLinesAreHandledInFull)
{
    std::string line(200000, 'x');
    line.replace(150000, 3, "foo");
    const Lines out = InLine({line}, "foo", "bar");
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].substr(150000, 3), "bar");
    EXPECT_EQ(out[0].size(), line.size());
}

TEST(ReplaceInLine, ReplacesOnlyTheFirstOccurrenceAndKeepsTheCaseOfTheRest)
{
    EXPECT_EQ(InLine({"foo foo"}, "foo", "bar"), (Lines{"bar foo"}));
    EXPECT_EQ(InLine({"xABCx", "xAbcx"}, "abc", "r"), (Lines{"xrx", "xrx"}));
    EXPECT_EQ(InLine({"xABCx"}, "abc", "r", Opts({kCase})), (Lines{"xABCx"}));
    EXPECT_EQ(InLine({"\xc4", "\xe4"}, "\xe4", "r"), (Lines{"\xc4", "r"})); // only a-z fold
    EXPECT_EQ(InLine({"barfoo"}, "foo", "foo"), (Lines{"barfoo"}));         // produced text not searched
}

TEST(ReplaceInLine, OnlyWholeWordNeedsASpaceOnBothSides)
{
    const auto whole = Opts({kWhole});
    EXPECT_EQ(InLine({"a foo b", "foo b", "a foo", "a foo,b", "a\tfoo b"}, "foo", "R", whole),
              (Lines{"a R b", "foo b", "a foo", "a foo,b", "a\tfoo b"}));
    // The one-sided options are not consulted alongside it.
    EXPECT_EQ(InLine({"a foo b"}, "foo", "R", Opts({kWhole, kRight, kLeft})), (Lines{"a R b"}));
}

TEST(ReplaceInLine, OneSidedWholeWordOptionsNeedASpaceOnTheirSideOnly)
{
    EXPECT_EQ(InLine({"foo b", "xfoo b", "a foo"}, "foo", "R", Opts({kRight})),
              (Lines{"R b", "xR b", "a foo"}));
    EXPECT_EQ(InLine({"a foob", "afoo b"}, "foo", "R", Opts({kLeft})), (Lines{"a Rb", "afoo b"}));
    EXPECT_EQ(InLine({"a foo b", "a foob"}, "foo", "R", Opts({kLeft, kRight})), (Lines{"a R b", "a foob"}));
}

TEST(ReplaceInLine, FindTextThatBeginsWithASpaceIsReplacedFromItsOwnFirstCharacter)
{
    EXPECT_EQ(InLine({"a bc"}, " b", "X"), (Lines{"aXc"}));
    EXPECT_EQ(InLine({"a  bc"}, " b", "X", Opts({kLeft})), (Lines{"a Xc"}));
}

TEST(ReplaceInLine, EmptyFindMatchesOnlyTheBlanksOfAWholeWordOption)
{
    EXPECT_EQ(InLine({"a b", ""}, "", "X"), (Lines{"a b", ""}));
    EXPECT_EQ(InLine({"a  b", "a b"}, "", "X", Opts({kWhole})), (Lines{"a X b", "a b"}));
    EXPECT_EQ(InLine({"a b c"}, "", "X", Opts({kRight})), (Lines{"aX b c"}));
    EXPECT_EQ(InLine({"a b c"}, "", "X", Opts({kLeft})), (Lines{"a Xb c"}));
}

TEST(ReplaceInLine, DeleteBlanksTrimsOnlyProducedLines)
{
    const Lines text{"  x foo  ", "  keep  "};
    EXPECT_EQ(InLine(text, "foo", "", Opts({kBlanks})), (Lines{"x", "  keep  "}));
    EXPECT_EQ(InLine(text, "foo", "", Opts({kBlanksRight})), (Lines{"  x", "  keep  "}));
    EXPECT_EQ(InLine(text, "foo", "", Opts({kBlanksLeft})), (Lines{"x   ", "  keep  "}));
    EXPECT_EQ(InLine({"\t\x01 foo \x1f"}, "foo", "", Opts({kBlanks})), (Lines{""}));
    EXPECT_EQ(InLine({"\xa0 foo \xa0"}, "foo", "", Opts({kBlanks})), (Lines{"\xa0  \xa0"})); // >= 128 stays
}

TEST(ReplaceInLine, MultiLineReplacementSplitsTheLineAndIsNotTrimmed)
{
    const TextOperation op = InLineOp("foo", {"A ", "mid", " B"}, Opts({kBlanks}));
    EXPECT_EQ(Apply({"x foo y", "none"}, op), (Lines{"x A ", "mid", " B y", "none"}));
    EXPECT_EQ(Apply({"x foo y"}, InLineOp("foo", {"A", "B"}, {})), (Lines{"x A", "B y"}));
}

TEST(ReplaceInLine, FindTextWithALineBreakNeverMatches)
{
    EXPECT_BYTES_EQ("a\r\nb\r\n", ApplyToBuffer("a\nb", InLineOp("a\nb", {"X"}, {})));
    EXPECT_BYTES_EQ("a\r\nb\r\n", ApplyToBuffer("a\r\nb", InLineOp("\r\n", {"X"}, {})));
}

TEST(ReplaceBlock, ReplacesABlockFromTheFirstFindToTheEndOfTheLast)
{
    const Lines text{"1 begin 2", "mid", "3 end 4"};
    EXPECT_EQ(Apply(text, BlockOp({"begin", "mid", "end"}, {"X"}, {})), (Lines{"1 X 4"}));
    EXPECT_EQ(Apply(text, BlockOp({"BEGIN", "mid", "END"}, {"A", "B", "C"}, {})), (Lines{"1 A", "B", "C 4"}));
    // Inner lines are compared exactly, whatever "Match Case" says.
    EXPECT_EQ(Apply({"1 begin 2", "Mid", "3 end 4"}, BlockOp({"begin", "mid", "end"}, {"X"}, {})),
              (Lines{"1 begin 2", "Mid", "3 end 4"}));
}

TEST(ReplaceBlock, IncompleteCandidatesAreWrittenUnchangedAndTheSearchGoesOn)
{
    const TextOperation op = BlockOp({"a", "b"}, {"X"}, {});
    EXPECT_EQ(Apply({"a", "a", "b", "c"}, op), (Lines{"a", "X", "c"}));
    EXPECT_EQ(Apply({"c", "a"}, op), (Lines{"c", "a"})); // the block would run past the end
    EXPECT_EQ(Apply({"a", "b", "a", "b"}, op), (Lines{"X", "X"}));
}

TEST(ReplaceBlock, EmptyResultsDependOnTheNumberOfReplacementLines)
{
    // No replacement lines: an empty line stays in place of the block.
    EXPECT_EQ(Apply({"a", "b", "z"}, BlockOp({"a", "b"}, {}, {})), (Lines{"", "z"}));
    // One empty replacement line leaving nothing counts as no match.
    EXPECT_EQ(Apply({"a", "b", "z"}, BlockOp({"a", "b"}, {""}, {})), (Lines{"a", "b", "z"}));
    EXPECT_EQ(Apply({" a", "b ", "z"}, BlockOp({"a", "b"}, {""}, Opts({kBlanks}))), (Lines{"", "z"}));
}

TEST(ReplaceBlock, SingleFindLineReplacesTheFirstOccurrenceOfEachLine)
{
    const TextOperation op = BlockOp({"foo"}, {"R"}, Opts({kWhole}));
    EXPECT_EQ(Apply({"xfoo foo", "foo"}, op), (Lines{"xR foo", "R"}));
}

TEST(ReplaceBlock, EmptyOrBrokenFirstOrLastFindLineNeverMatches)
{
    EXPECT_EQ(Apply({"a", "b"}, BlockOp({"", "b"}, {"X"}, {})), (Lines{"a", "b"}));
    EXPECT_EQ(Apply({"a", "b"}, BlockOp({"a", ""}, {"X"}, {})), (Lines{"a", "b"}));
    EXPECT_EQ(Apply({"a", "b", "c"}, BlockOp({"a", "b\nc"}, {"X"}, {})), (Lines{"a", "b", "c"}));
}

// ---------------------------------------------------------------------------------------
// The buffer form against the line form, on random texts over a small alphabet that holds
// every kind of break, blanks, NUL, a high byte and letters of both cases.

namespace {

class RandomCases {
  public:
    explicit RandomCases(unsigned start) : m_random(start) {}

    std::string text(std::size_t maxLength)
    {
        static const std::string kAlphabet("aA b\t\r\n\0\xe4xy", 11);
        std::string s(pick(maxLength + 1), ' ');
        for (char &c : s)
            c = kAlphabet[pick(kAlphabet.size())];
        return s;
    }
    std::string piece() // find or replacement text: mostly short and line-free
    {
        static const std::string kAlphabet("aAb xy", 6);
        if (pick(10) == 0)
            return text(3); // may hold a break
        std::string s(pick(4), ' ');
        for (char &c : s)
            c = kAlphabet[pick(kAlphabet.size())];
        return s;
    }
    Lines pieces(std::size_t count)
    {
        Lines lines;
        for (std::size_t i = 0; i < count; ++i)
            lines.push_back(piece());
        return lines;
    }
    TextEngineOptions options()
    {
        TextEngineOptions o;
        for (bool *flag : {&o.matchCase, &o.wholeWord, &o.wholeWordRight, &o.wholeWordLeft, &o.deleteBlanks,
                           &o.deleteBlanksRight, &o.deleteBlanksLeft, &o.onlyDelete})
            *flag = pick(3) == 0;
        return o;
    }
    std::size_t pick(std::size_t bound)
    {
        return std::uniform_int_distribution<std::size_t>(0, bound - 1)(m_random);
    }

  private:
    std::mt19937 m_random;
};

/// The result as RewriteFile produces it: handed over in pieces of about `chunk` bytes.
std::string Streamed(std::string_view input, const TextOperation &op, std::size_t chunk)
{
    ByteBuffer staging;
    std::string out;
    OutputSink sink(
        staging,
        [&](const std::vector<OutputSink::Piece> &pieces) {
            for (const auto &piece : pieces)
                out.append(piece.data, piece.size);
        },
        chunk);
    ApplyToSink(input, op, sink);
    sink.finish();
    return out;
}

/// The result as RewriteFile produces it when the file arrives a few bytes at a time.
std::string ReadInPieces(std::string_view input, const TextOperation &op, RandomCases &random)
{
    ByteBuffer staging;
    std::string out, window;
    OutputSink sink(
        staging,
        [&](const std::vector<OutputSink::Piece> &pieces) {
            for (const auto &piece : pieces)
                out.append(piece.data, piece.size);
        },
        5);
    std::size_t read = 0;
    for (;;) {
        const std::size_t take = std::min(input.size() - read, 1 + random.pick(12));
        window.append(input.substr(read, take));
        read += take;
        const bool end = take == 0;
        const std::size_t done = ApplyToSink(window, op, sink, end);
        sink.flush();
        if (end)
            break;
        window.erase(0, done);
    }
    sink.finish();
    return out;
}

} // namespace

TEST(ApplyToBuffer, GivesTheSameBytesAsTheLineOperationsOnRandomTexts)
{
    RandomCases random(20240611);
    for (int round = 0; round < 20000; ++round) {
        const std::string input = random.text(40);
        TextOperation op;
        if (random.pick(2) == 0) {
            const std::size_t shape = random.pick(3); // empty, one string, several lines
            op = InLineOp(random.piece(),
                          shape == 0 ? Lines{} : random.pieces(shape == 1 ? 1 : 2 + random.pick(3)),
                          random.options());
        } else {
            Lines find = random.pieces(1 + random.pick(3));
            if (find.size() > 2 && random.pick(2) == 0) // inner lines that can actually match
                find[1] = std::string(1, "aAb"[random.pick(3)]);
            op = BlockOp(std::move(find), random.pieces(random.pick(4)), random.options());
        }
        const std::string expected = JoinLines(Reference(SplitLines(input), op));
        const std::string actual = ApplyToBuffer(input, op);
        if (round % 4 == 0) { // the streaming forms too: output and input in small pieces
            ASSERT_EQ(test::visible(expected), test::visible(Streamed(input, op, 7))) << "round " << round;
            ASSERT_EQ(test::visible(expected), test::visible(ReadInPieces(input, op, random)))
                << "round " << round;
        }
        ASSERT_EQ(test::visible(expected), test::visible(actual))
            << "round " << round << ", input " << test::visible(input) << ", find "
            << test::visible(op.kind == TextOperation::Kind::Block ? op.findLines.front() : op.find);
    }
}

TEST(ApplyToBuffer, HandlesLongStretchesBetweenHitsInEveryBreakStyle)
{
    // Long hit-free stretches take the verbatim copy path; mix the break styles around them.
    RandomCases random(7);
    for (const char *brk : {"\r\n", "\n", "\r"}) {
        std::string input;
        for (int i = 0; i < 3000; ++i) {
            input += random.pick(400) == 0 ? "x foo y" : "plain text line";
            input += random.pick(100) == 0 ? "\n" : brk;
        }
        for (const TextOperation &op :
             {InLineOp("FOO", {"bar"}, {}), BlockOp({"foo", "plain"}, {"a", "b"}, {})}) {
            const std::string expected = JoinLines(Reference(SplitLines(input), op));
            EXPECT_EQ(expected, ApplyToBuffer(input, op));
            EXPECT_EQ(expected, Streamed(input, op, 10000));
        }
    }
}

// ---------------------------------------------------------------------------------------
// Inputs on which a search that checks every alignment in full does length x needle work:
// the results must be those of the plain search (the time is measured in bench/).

namespace {

std::size_t PlainFind(std::string_view hay, std::string_view needle, bool fold)
{
    std::string h(hay), f(needle);
    if (fold)
        for (std::string *s : {&h, &f})
            for (char &c : *s)
                c = static_cast<char>(FoldByte(static_cast<unsigned char>(c)));
    const std::size_t at = h.find(f);
    return at == std::string::npos ? hay.size() : at;
}

std::string Folded(std::string s)
{
    for (char &c : s)
        c = static_cast<char>(FoldByte(static_cast<unsigned char>(c)));
    return s;
}

} // namespace

TEST(FindBytes, LongNeedlesOfRepeatsAreFoundWhereThePlainSearchFindsThem)
{
    const std::string spaces(200000, ' ');
    const std::string spaced = std::string(500, ' ') + "x" + std::string(500, ' ');
    for (bool fold : {false, true}) {
        const std::string pattern = fold ? Folded(spaced) : spaced; // folding wants it upper-cased
        EXPECT_EQ(FindBytes(spaces.data(), spaces.size(), pattern, fold), spaces.size());
        const std::string hay = spaces + "x" + spaces;
        EXPECT_EQ(FindBytes(hay.data(), hay.size(), pattern, fold), spaces.size() - 500);
        const std::string upper = spaces + "X" + spaces; // letters match either case when folding
        EXPECT_EQ(FindBytes(upper.data(), upper.size(), pattern, fold),
                  fold ? spaces.size() - 500 : upper.size());
    }
    // Random periodic haystacks and needles, folded and not, over letters of both cases.
    RandomCases random(99);
    for (int round = 0; round < 3000; ++round) {
        const std::string unit = std::string("aAb").substr(0, 1 + random.pick(3));
        std::string hay, needle;
        for (std::size_t i = 0, count = 100 + random.pick(3000); i < count; ++i)
            hay += unit[random.pick(50) == 0 ? random.pick(unit.size()) : i % unit.size()];
        for (std::size_t i = 0, count = 9 + random.pick(400); i < count; ++i)
            needle += unit[random.pick(80) == 0 ? random.pick(unit.size()) : i % unit.size()];
        const bool fold = random.pick(2) == 0;
        const std::string pattern = fold ? Folded(needle) : needle;
        ASSERT_EQ(FindBytes(hay.data(), hay.size(), pattern, fold), PlainFind(hay, needle, fold))
            << "round " << round;
    }
}

TEST(ReplaceBlock, ManyOverlappingCandidatesGiveTheLineFormsResult)
{
    // Texts and blocks over a few short lines, so inner lines repeat and candidates overlap.
    RandomCases random(4242);
    const char *const kLines[] = {"a", "a", "a", "b", "ab", ""};
    const auto someLines = [&](std::size_t count) {
        Lines lines;
        for (std::size_t i = 0; i < count; ++i)
            lines.push_back(kLines[random.pick(6)]);
        return lines;
    };
    for (int round = 0; round < 4000; ++round) {
        const Lines text = someLines(random.pick(60));
        Lines find = someLines(3 + random.pick(10));
        find.front() = "a";
        find.back() = random.pick(2) ? "a" : "b";
        const TextOperation op = BlockOp(find, someLines(random.pick(3)), random.options());
        const std::string input = JoinLines(text);
        const std::string expected = JoinLines(Reference(text, op));
        ASSERT_EQ(test::visible(expected), test::visible(ApplyToBuffer(input, op))) << "round " << round;
        ASSERT_EQ(test::visible(expected), test::visible(ReadInPieces(input, op, random)))
            << "round " << round;
    }
}

TEST(ApplyToBuffer, TrimsLongBlankRunsAroundAReplacementLikeTheLineForm)
{
    // Pieces this long are passed on by reference rather than copied; trimming must still
    // reach into them, and through an empty or blank replacement.
    RandomCases random(31);
    const std::string blanks(6000, ' ');
    const std::string mixed = std::string(3000, '\t') + "w" + std::string(3000, ' ');
    for (int round = 0; round < 200; ++round) {
        const std::string &left = random.pick(2) ? blanks : mixed;
        const std::string &right = random.pick(2) ? blanks : mixed;
        const Lines text{left + "foo" + right, "foo", " foo ", "x"};
        const char *const kReplacements[] = {"", " ", "R", " R "};
        const std::string replacement = kReplacements[random.pick(4)];
        const TextEngineOptions options = random.options();
        Apply(text, InLineOp("foo", {replacement}, options));
        Apply(text, BlockOp({"foo"}, random.pick(2) ? Lines{} : Lines{replacement}, options));
        EXPECT_EQ(Streamed(JoinLines(text), InLineOp("foo", {replacement}, options), 100),
                  JoinLines(Reference(text, InLineOp("foo", {replacement}, options))));
    }
}

TEST(ByteBuffer, EraseOfNothingFromAnEmptyBufferIsHarmless)
{
    ByteBuffer buffer;
    buffer.erase(0, 0);
    EXPECT_EQ(buffer.size(), 0u);
    buffer += "abc";
    buffer.erase(1, 1);
    EXPECT_EQ(std::string(buffer.data(), buffer.size()), "ac");
}
