// Opening plain-text files into the document model and saving them back as plain text.
#include "docengine/Document.h"
#include "docengine/ReplaceAll.h"

#include "base/Error.h"

#include "support/TestSupport.h"

using namespace vexlo::doc;

namespace {

std::string RoundTrip(std::string_view bytes)
{
    return SavePlainText(OpenPlainText(bytes));
}

} // namespace

TEST(PlainTextOpen, LineEndsBecomeParagraphMarks)
{
    EXPECT_EQ(U"a\rb\rc\rd\r", OpenPlainText("a\r\nb\nc\rd").text);
    EXPECT_EQ(U"a\r", OpenPlainText("a\r\n").text) << "a closing line end is the final mark";
    EXPECT_EQ(U"a\r\r", OpenPlainText("a\n\n").text);
    EXPECT_EQ(U"\r", OpenPlainText("").text);
    EXPECT_EQ(U"a\vb\fc\r", OpenPlainText("a\vb\fc").text);
    EXPECT_EQ(U"\r\r", OpenPlainText("\r\n\r\n").text);
}

TEST(PlainTextOpen, EncodingFromTheContent)
{
    EXPECT_EQ(TextEncoding::Windows1252, DetectEncoding("plain"));
    EXPECT_EQ(TextEncoding::Utf8, DetectEncoding("caf\xC3\xA9"));
    EXPECT_EQ(TextEncoding::Windows1252, DetectEncoding("caf\xE9"));
    EXPECT_EQ(TextEncoding::Windows1252, DetectEncoding("\xC3\x28"));     // broken sequence
    EXPECT_EQ(TextEncoding::Windows1252, DetectEncoding("\xED\xA0\x80")); // encoded surrogate
    EXPECT_EQ(TextEncoding::Windows1252, DetectEncoding("\xC0\xAF"));     // overlong
    EXPECT_EQ(TextEncoding::Utf8Bom, DetectEncoding("\xEF\xBB\xBFx"));
    EXPECT_EQ(TextEncoding::Utf16LeBom, DetectEncoding("\xFF\xFEx\0"));
    EXPECT_EQ(TextEncoding::Utf16BeBom, DetectEncoding("\xFE\xFF\0x"));
    EXPECT_EQ(U"\u20AC\u0081\u2019\u00E9\r", OpenPlainText("\x80\x81\x92\xE9").text);
    EXPECT_EQ(U"\u00E9\U0001F600\r", OpenPlainText("\xC3\xA9\xF0\x9F\x98\x80").text);
    EXPECT_EQ(U"a\U0001F600\r", OpenPlainText(std::string("\xFF\xFE"
                                                          "a\0\x3D\xD8\x00\xDE",
                                                          8))
                                    .text);
}

TEST(PlainTextSave, BreaksEndWithCrLfAndHyphensAreResolved)
{
    EXPECT_BYTES_EQ("a\r\nb\r\nc\r\n", RoundTrip("a\nb\rc"));
    EXPECT_BYTES_EQ("a\r\nb\r\nc\r\nd\r\n", RoundTrip("a\vb\fc\x0E"
                                                      "d\n"));
    EXPECT_BYTES_EQ("a\tb\r\n", RoundTrip("a\tb"));
    EXPECT_BYTES_EQ("co-op\r\n", RoundTrip("co\x1Eop\x1F"));
    EXPECT_BYTES_EQ("", RoundTrip(""));
    EXPECT_BYTES_EQ("\r\n\r\n", RoundTrip("\n\n"));
}

TEST(PlainTextSave, TableCellsBecomeTabsAndRowsLineEnds)
{
    auto save = [](std::u32string story) {
        return SavePlainText(DocumentFromStory(std::move(story), SourceFormat::Docx));
    };
    // The last cell of a row gives nothing before the row's CR LF.
    EXPECT_BYTES_EQ("a\tb\r\nc\td\r\nafter\r\n", save(U"a\ab\a\ac\ad\a\aafter\r"));
    EXPECT_BYTES_EQ("one\r\n\r\n", save(U"one\a\a\r")) << "a row of one cell";
    EXPECT_BYTES_EQ("p1\r\np2\tx\r\n\r\n", save(U"p1\rp2\ax\a\a")) << "a cell of two paragraphs";
    // A mark directly after a cell mark is a row end: "a\a\a\a" is the row "a" and then an
    // empty cell left open before the final mark.
    EXPECT_BYTES_EQ("a\r\n\t\r\n", save(U"a\a\a\a"));
    EXPECT_BYTES_EQ("\t\r\n", save(U"\a")) << "a cell mark alone";
    // A cell mark at the end of one written piece and the row mark at the start of the next.
    std::u32string big(std::size_t(1) << 20, U'x');
    big[big.size() - 1] = kCellMark;
    EXPECT_BYTES_EQ(std::string(big.size() - 1, 'x') + "\r\nz\r\n", save(big + U"\az"));
}

TEST(PlainTextSave, WrittenInTheEncodingItWasReadIn)
{
    EXPECT_BYTES_EQ("caf\xC3\xA9\r\n", RoundTrip("caf\xC3\xA9"));
    EXPECT_BYTES_EQ("caf\xE9\r\n", RoundTrip("caf\xE9"));
    EXPECT_BYTES_EQ("\xEF\xBB\xBFx\r\n", RoundTrip("\xEF\xBB\xBFx"));
    EXPECT_BYTES_EQ(std::string("\xFF\xFEx\0\r\0\n\0", 8), RoundTrip(std::string("\xFF\xFEx\0", 4)));
    EXPECT_BYTES_EQ(std::string("\xFE\xFF\0x\0\r\0\n", 8), RoundTrip(std::string("\xFE\xFF\0x\0\n", 6)));
    EXPECT_BYTES_EQ(std::string("\xFF\xFE\x3D\xD8\x00\xDE\r\0\n\0", 10),
                    RoundTrip(std::string("\xFF\xFE\x3D\xD8\x00\xDE", 6)));
    // Characters a code page cannot hold become "?".
    Document document = OpenPlainText("x");
    ReplaceAll(document, U"x", U"\u20AC\u03A9\u00E9", {});
    EXPECT_BYTES_EQ("\x80?\xE9\r\n", SavePlainText(document));
    Document utf8 = OpenPlainText("\xC3\xA9 x");
    ReplaceAll(utf8, U"x", U"\u03A9", {});
    EXPECT_BYTES_EQ("\xC3\xA9 \xCE\xA9\r\n", SavePlainText(utf8));
}

TEST(PlainTextFiles, OpenAndSaveThroughTheFileSystem)
{
    vexlo::test::TempDir dir;
    std::string path = dir.file("t.txt");
    vexlo::test::writeBytes(path, "one\ntwo");
    Document document = OpenDocumentFile(path);
    ReplaceAll(document, U"two", U"2", {});
    SaveDocumentAsText(document, path);
    EXPECT_BYTES_EQ("one\r\n2\r\n", vexlo::test::readBytes(path));
    EXPECT_EQ((std::vector<std::string>{"t.txt"}), vexlo::test::listNames(dir.path()));
    EXPECT_THROW(OpenDocumentFile(dir.file("missing.txt")), vexlo::Error);
}
