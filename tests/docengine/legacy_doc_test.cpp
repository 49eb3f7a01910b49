// The legacy .doc reader on hostile and unusual files, all built by LegacyDocBuilder.h: what it
// reads right, and what it refuses before allocating (with a message naming the limit).
#include "docengine/Document.h"
#include "docengine/Readers.h"

#include "LegacyDocBuilder.h"

#include <gtest/gtest.h>

using namespace vexlo::doc;
using namespace vexlo::test;

namespace {

// The message of the FormatError reading `bytes` gives, or "" when it reads.
std::string Refusal(const std::string &bytes)
{
    try {
        ReadLegacyDoc(bytes);
    } catch (const FormatError &e) {
        return e.what();
    }
    return "";
}

} // namespace

TEST(LegacyDocHostile, ChainsAndStreamSizesAreCheckedBeforeAllocating)
{
    LegacyDocLayout layout;
    const std::string good = SimpleLegacyDoc("abc\r", &layout);
    ASSERT_EQ(U"abc\r", ReadLegacyDoc(good));

    std::string loop = good; // the directory's chain points back at itself
    Put32(loop, layout.fatAt + 4 * layout.directorySector, layout.directorySector);
    EXPECT_NE(std::string::npos, Refusal(loop).find("loops")) << Refusal(loop);

    std::string wordLoop = good; // the Word stream's last sector leads back to its first
    Put32(wordLoop, layout.fatAt + 4 * (layout.tableSector - 1), layout.wordSector);
    Put32(wordLoop, layout.directoryAt + 128 + 120, 0x7FFFFF00);
    EXPECT_NE(std::string::npos, Refusal(wordLoop).find("larger than the file")) << Refusal(wordLoop);

    std::string fatLoop = good; // the extra allocation sectors' chain loops
    Put32(fatLoop, 68, layout.directorySector);
    Put32(fatLoop, layout.directoryAt + 508, layout.directorySector);
    EXPECT_FALSE(Refusal(fatLoop).empty());
}

TEST(LegacyDocHostile, PiecesMayNotOverlapOrRunPastTheirStream)
{
    LegacyDocParts overlap;
    DocPiece piece = EightBit(overlap, 0x800, "repeated\r");
    overlap.pieces = {piece, piece, piece};
    overlap.ccpText = 27;
    EXPECT_NE(std::string::npos, Refusal(BuildLegacyDoc(overlap)).find("overlap"));

    LegacyDocParts past;
    past.pieces = {EightBit(past, 0x800, "abc\r")};
    past.pieces[0].count = 1u << 30;
    past.ccpText = 4;
    EXPECT_NE(std::string::npos, Refusal(BuildLegacyDoc(past)).find("beyond the end"));

    // The main text claims more characters than the pieces hold: refused, not read as empty.
    LegacyDocParts longer;
    longer.pieces = {EightBit(longer, 0x800, "abc\r")};
    longer.ccpText = 400000;
    EXPECT_NE(std::string::npos, Refusal(BuildLegacyDoc(longer)).find("more than its pieces hold"));

    // The piece table's own length runs past the table stream.
    LegacyDocLayout layout;
    std::string table = SimpleLegacyDoc("abc\r", &layout);
    Put32(table, layout.wordAt + 0x1A6, 4000);
    Put32(table, layout.tableAt + 1, 3990);
    EXPECT_FALSE(Refusal(table).empty());
}

TEST(LegacyDocHostile, FieldsResolveInOnePassAndAnUnclosedFieldIsRefused)
{
    // 200,000 field begin marks and no end: refused at once (no text is silently dropped).
    std::string marks(200000, '\x13');
    EXPECT_NE(std::string::npos, Refusal(SimpleLegacyDoc(marks + "text\r")).find("never closed"));
    // One unclosed field before the text: refused rather than read as an empty document.
    EXPECT_FALSE(Refusal(SimpleLegacyDoc("before \x13 PAGE after\r")).empty());

    // 100,000 nested fields, each closed: only the innermost result is text.
    std::string nested =
        std::string(100000, '\x13') + "x\x14" + "result" + std::string(100000, '\x15') + "\r";
    EXPECT_EQ(U"\r", ReadLegacyDoc(SimpleLegacyDoc(nested)));
    std::string results;
    for (int k = 0; k < 1000; ++k)
        results += "\x13 REF a \x14r\x13 PAGE \x14"
                   "1\x15\x15";
    std::u32string expected;
    for (int k = 0; k < 1000; ++k)
        expected += U"r1";
    EXPECT_EQ(expected + U"\r", ReadLegacyDoc(SimpleLegacyDoc(results + "\r")));
}

TEST(LegacyDocReader, UnicodePiecesSurrogatesAndOddOffsets)
{
    LegacyDocParts parts;
    // An emoji and a CJK Extension B character as surrogate pairs, in a piece at an odd offset.
    parts.pieces = {EightBit(parts, 0x800, "a "), Wide(parts, 0x1001, u"\U0001F600 \U00020000 \u00E9\r")};
    parts.ccpText = 2 + 8;
    EXPECT_EQ(U"a \U0001F600 \U00020000 \u00E9\r", ReadLegacyDoc(BuildLegacyDoc(parts)));

    LegacyDocParts lone;
    lone.pieces = {Wide(lone, 0x1000, u"x\xD83Dy\r")};
    lone.ccpText = 4;
    EXPECT_NE(std::string::npos, Refusal(BuildLegacyDoc(lone)).find("surrogate"));
}

TEST(LegacyDocReader, TableMarksAndTheMainStoryOnly)
{
    // A row of two cells: each cell's text ends with a cell mark, the row with one more.
    // What follows the main text's length (notes, headers) is another story.
    LegacyDocParts parts;
    parts.pieces = {EightBit(parts, 0x800,
                             "a\x07"
                             "b\x07\x07"
                             "after\rfootnote text\r")};
    parts.ccpText = 11;
    EXPECT_EQ(U"a\ab\a\aafter\r", ReadLegacyDoc(BuildLegacyDoc(parts)));
}

TEST(LegacyDocReader, TrackedDeletionsAreLeftOut)
{
    LegacyDocParts parts;
    parts.pieces = {EightBit(parts, 0x800, "keep gone more\r")};
    parts.ccpText = 15;
    // One page of character properties: the run "gone " carries the deletion mark.
    std::string page(512, '\0');
    Put32(page, 0, 0x800);
    Put32(page, 4, 0x805);
    Put32(page, 8, 0x80A);
    Put32(page, 12, 0x80F);
    page[16 + 1] = static_cast<char>(0x100 / 2);
    page[0x100] = 3;
    Put16(page, 0x101, 0x0800);
    page[0x103] = 1;
    page[511] = 3;
    parts.word.replace(0x1000, 512, page);
    parts.chpxIndex = std::string(12, '\0');
    Put32(parts.chpxIndex, 0, 0x800);
    Put32(parts.chpxIndex, 4, 0x80F);
    Put32(parts.chpxIndex, 8, 0x1000 / 512);
    EXPECT_EQ(U"keep more\r", ReadLegacyDoc(BuildLegacyDoc(parts)));

    // A property page that lies past the stream is refused, not ignored.
    Put32(parts.chpxIndex, 8, 0x3FFFFF);
    EXPECT_FALSE(Refusal(BuildLegacyDoc(parts)).empty());
}
