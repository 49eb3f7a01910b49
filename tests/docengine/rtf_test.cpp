// RTF: the story the reader gives (code pages, Unicode, tables, revisions, other stories), the
// files it refuses, and the save in RTF with the replacements made inside the token stream.
#include "docengine/Document.h"
#include "docengine/Readers.h"
#include "docengine/ReplaceAll.h"
#include "docengine/RtfDocument.h"
#include "docengine/TextCodec.h"

#include "support/TestSupport.h"

#include <cstdlib>

using namespace vexlo::doc;
using vexlo::test::TempDir;

namespace {

std::string Refusal(std::string_view rtf)
{
    try {
        ReadRtf(rtf);
    } catch (const FormatError &e) {
        return e.what();
    }
    return "";
}

} // namespace

TEST(RtfReader, CodePagesOfTheDocumentAndOfFonts)
{
    // The document's code page, then fonts whose character sets name others.
    EXPECT_EQ(U"\u041F\u0440\u0438\u0432\u0435\u0442\r",
              ReadRtf(R"({\rtf1\ansi\ansicpg1251 \'cf\'f0\'e8\'e2\'e5\'f2\par})"));
    const char *fonts =
        R"({\rtf1\ansi\ansicpg1252\deff0{\fonttbl{\f0\froman\fcharset0 Times;}{\f1\fcharset161 Arial Greek;})"
        R"({\f2\fcharset238 Arial CE;}{\f3\fcharset128 MS Mincho;}{\f4\fcharset204 Arial Cyr;}})"
        R"(caf\'e9 {\f1 \'e1\'e2\'e3} {\f2 \'9a\'e8} {\f3 \'93\'fa\'96\'7b\'83A\'b1} {\f4 \'c0}\par})";
    EXPECT_EQ(U"caf\u00E9 \u03B1\u03B2\u03B3 \u0161\u010D \u65E5\u672C\u30A2\uFF71 \u0410\r", ReadRtf(fonts));
    // A lead byte without its trail byte, a byte the code page lacks, an unknown code page.
    EXPECT_FALSE(Refusal(R"({\rtf1{\fonttbl{\f0\fcharset128 M;}}\f0 \'93\par})").empty());
    EXPECT_FALSE(Refusal(R"({\rtf1\ansicpg932 \'81\'20\par})").empty());
    EXPECT_NE(std::string::npos, Refusal(R"({\rtf1\ansicpg9999 \'e9\par})").find("9999"));
    EXPECT_EQ(U"ascii\r", ReadRtf(R"({\rtf1\ansicpg9999 ascii\par})"));
}

TEST(RtfReader, UnicodeEscapesSurrogatesAndOutOfRangeValues)
{
    EXPECT_EQ(U"\U0001F600 \U0001D400\r", ReadRtf(R"({\rtf1 \u-10179?\u-8704? \u-10187?\u-9216?\par})"));
    EXPECT_EQ(U"\U0001F600\r", ReadRtf(R"({\rtf1\uc2 \u55357\'3f\'3f\u56832??\par})"));
    for (const char *bad : {R"({\rtf1 \u-10179?x\par})", R"({\rtf1 \u-8704?\par})", R"({\rtf1 \u0?\par})",
                            R"({\rtf1 \u70000?\par})", R"({\rtf1 \u-40000?\par})", R"({\rtf1 \'zz\par})"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(Refusal(bad).empty());
    }
    // Whatever is read comes out as valid UTF-8 without NUL.
    std::u32string story = ReadRtf(R"({\rtf1 \u65535?\u-1?\par})");
    EXPECT_EQ(std::u32string::npos, story.find(U'\0'));
}

TEST(RtfReader, TablesRevisionsFieldsAndOtherStories)
{
    EXPECT_EQ(U"a\ab\a\aafter\r",
              ReadRtf(R"({\rtf1\trowd\cellx1\cellx2\intbl a\cell b\cell\row\pard after\par})"));
    // A cell holding a nested table: inner cells and row, then the outer cell and row.
    EXPECT_EQ(U"x\ap\aq\a\a\a\a",
              ReadRtf(R"({\rtf1\intbl x\cell \itap2 p\nestcell q\nestcell{\*\nesttableprops\trowd\nestrow})"
                      R"({\nonesttables\par }\itap1\cell\row})"));
    EXPECT_EQ(U"keep new text\r",
              ReadRtf(R"({\rtf1 keep {\deleted gone }{\revised new }te{\deleted\b x}\plain xt\par})"));
    EXPECT_EQ(
        U"see result here\r",
        ReadRtf(R"({\rtf1{\header head\par}{\footer foot\par}see{\footnote\chftn note}{\*\annotation c} )"
                R"({\field{\*\fldinst REF x}{\fldrslt result}} {\shp{\*\shpinst{\sp}{\shptxt box}}})"
                R"({\shprslt box}here\par})"));
    // "\*" makes its group skippable whatever follows it (found by fuzzing: text there was
    // read, and a replacement put before it was then skipped).
    EXPECT_EQ(U"ab\r", ReadRtf(R"({\rtf1 a{\*;x}b\par})"));
    // Binary data is skipped by its length, braces and all.
    EXPECT_EQ(U"ab\r", ReadRtf(std::string("{\\rtf1 a{\\pict\\bin4 }{\\'}b\\par}")));
    EXPECT_FALSE(Refusal(R"({\rtf1 a{\pict\bin400 xx}})").empty());
    // Groups nested past the cap are refused with a message naming it.
    std::string deep = "{\\rtf1 " + std::string(20000, '{') + "x" + std::string(20000, '}') + "}";
    EXPECT_NE(std::string::npos, Refusal(deep).find("10000"));
}

namespace {

struct Saved {
    std::string bytes;     // the document saved as RTF
    std::u32string story;  // the story after the replace-all
    std::u32string reread; // the story of the saved bytes
};

Saved ReplaceInRtf(const std::string &rtf, std::u32string_view find, std::u32string_view replace,
                   FindOptions options = {})
{
    TempDir dir;
    const std::string path = dir.file("t.rtf");
    vexlo::test::writeBytes(path, rtf);
    Document document = OpenDocumentFile(path);
    EXPECT_EQ(SourceFormat::Rtf, document.format);
    ReplaceAll(document, find, replace, options);
    Saved saved;
    saved.bytes = SaveInOwnFormat(document);
    saved.story = document.text;
    saved.reread = DocumentFromStory(ReadRtf(saved.bytes), SourceFormat::Rtf).text;
    return saved;
}

const std::string kHead =
    R"({\rtf1\ansi\ansicpg1252\deff0{\fonttbl{\f0 Times;}}{\colortbl;\red255\green0\blue0;})"
    R"({\header\pard head foo\par}\pard )";

} // namespace

TEST(RtfSave, ReplacementsAreMadeInsideTheTokenStream)
{
    struct Case {
        std::string body;
        std::u32string find, replace;
        FindOptions options;
        std::string expectedBody;
    };
    const Case cases[] = {
        {R"(one foo two\par})", U"foo", U"bar", {}, R"(one bar two\par})"},
        // Across runs: the replacement takes the first character's formatting; group ends stay.
        {R"({\b fo}{\i o} x\par})", U"foo", U"bar", {}, R"({\b bar}{\i } x\par})"},
        {R"(a {\cf1 Foo} b\par})", U"foo", U"bar", {}, R"(a {\cf1 Bar} b\par})"},
        // Paragraph marks, tabs and non-ASCII in the replacement; a join of two paragraphs.
        {R"(x foo y\par})",
         U"foo",
         U"1^p2^t\u00E9\U0001F600",
         {},
         R"(x 1\par 2\tab \u233?\u-10179?\u-8704? y\par})"},
        {R"(end\par next\par})", U"end^pnext", U"joined", {}, R"(joined\par})"},
        // A match next to a control word without delimiter keeps it a control word.
        {R"(\b\'e9t\par})", U"\u00E9", U"y", {}, R"(\b yt\par})"},
        {R"(\uc2 x\par})", U"x", U"\u00E9", {}, R"(\uc2 \u233??\par})"},
        // Inside a table cell and inside a field's result; a tracked deletion is neither
        // searched nor touched.
        {R"(\intbl foo\cell\row\pard {\field{\*\fldinst REF foo}{\fldrslt foo}}{\deleted foo}\par})",
         U"foo",
         U"x",
         {},
         R"(\intbl x\cell\row\pard {\field{\*\fldinst REF foo}{\fldrslt x}}{\deleted foo}\par})"},
        // Wildcards with groups, whole words.
        {R"(ab {\b foo} food\par})", U"(a)(b)", U"\\2\\1", {.wildcards = true}, R"(ba {\b foo} food\par})"},
        {R"(ab {\b foo} food\par})", U"foo", U"x", {.wholeWord = true}, R"(ab {\b x} food\par})"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.body);
        Saved saved = ReplaceInRtf(kHead + c.body, c.find, c.replace, c.options);
        EXPECT_EQ(ToUtf8(saved.story), ToUtf8(saved.reread));
        EXPECT_EQ(kHead + c.expectedBody, saved.bytes); // the header and the tables byte for byte
    }
}

TEST(RtfSave, WithoutAMatchTheFileIsUnchangedAndACellMarkIsNeverCrossed)
{
    const std::string rtf = kHead + R"(\intbl a\cell b\cell\row\pard c{\*\ignored foo}\par})";
    EXPECT_EQ(rtf, ReplaceInRtf(rtf, U"zzz", U"y").bytes);
    EXPECT_THROW(ReplaceInRtf(rtf, U"a?b", U"y", {.wildcards = true}), FormatError);
}

TEST(RtfSave, OpensInLibreOfficeWhenInstalled)
{
    if (std::system("command -v soffice >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "LibreOffice is not installed";
    TempDir dir;
    Saved saved = ReplaceInRtf(kHead + R"(one {\b foo} two\par})", U"foo", U"b\u00E4r");
    const std::string path = dir.file("s.rtf");
    vexlo::test::writeBytes(path, saved.bytes);
    const std::string command =
        "cd '" + dir.file("") + "' && soffice --headless --convert-to txt:Text s.rtf >/dev/null 2>&1";
    ASSERT_EQ(0, std::system(command.c_str()));
    EXPECT_NE(std::string::npos, vexlo::test::readBytes(dir.file("s.txt")).find("one b\xC3\xA4r two"));
}

TEST(RtfReader, TableRowWithMoreCellsThanItDefinesIsRefused)
{
    // Definition before the cells (as most writers put it) and after them: both read.
    EXPECT_EQ(U"a\ab\a\a", ReadRtf(R"({\rtf1\trowd\cellx100\cellx200 a\cell b\cell\row})"));
    EXPECT_EQ(U"a\ab\a\a", ReadRtf(R"({\rtf1 a\cell b\cell\trowd\cellx100\cellx200\row})"));
    EXPECT_EQ(
        U"i\a\a\a\ao\a\a",
        ReadRtf(
            R"({\rtf1\trowd\cellx100 i\nestcell{\*\nesttableprops\trowd\cellx50\nestrow}\cell\row o\cell\row})"));
    // One \cell more than the row defines: no cell to put it in, so no story is made up.
    EXPECT_THROW(ReadRtf(R"({\rtf1\trowd\cellx100\cellx200 a\cell b\cell\cell\row})"), FormatError);
}
