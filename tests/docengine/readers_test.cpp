// The document formats besides plain text, read from files the tests build, replaced and
// saved as plain text.
#include "docengine/Document.h"
#include "docengine/Readers.h"
#include "docengine/ReplaceAll.h"

#include "base/Error.h"
#include "support/TestSupport.h"

#include <zip.h>

using namespace vexlo::doc;
using vexlo::test::TempDir;

namespace {

// Writes a zip archive of (name, content) members.
void WriteZip(const std::string &path, const std::vector<std::pair<std::string, std::string>> &members)
{
    int error = 0;
    zip_t *archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    ASSERT_NE(nullptr, archive);
    for (const auto &[name, content] : members) {
        zip_source_t *source = zip_source_buffer(archive, content.data(), content.size(), 0);
        ASSERT_GE(zip_file_add(archive, name.c_str(), source, ZIP_FL_OVERWRITE), 0);
    }
    ASSERT_EQ(0, zip_close(archive));
}

const char *const kDocxBody =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<w:document xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main"><w:body>
<w:p><w:pPr><w:pStyle w:val="Title"/></w:pPr><w:r><w:rPr><w:b/></w:rPr><w:t xml:space="preserve">Hello </w:t></w:r><w:r><w:t>caf&#233; world</w:t></w:r></w:p>
<w:p><w:r><w:t>a</w:t><w:tab/><w:t>b</w:t><w:br/><w:t>c</w:t><w:br w:type="page"/><w:t>co</w:t><w:noBreakHyphen/><w:t>op</w:t><w:softHyphen/></w:r><w:del><w:r><w:delText>gone</w:delText></w:r></w:del></w:p>
<w:tbl><w:tr><w:tc><w:p><w:r><w:t>cell world</w:t></w:r></w:p></w:tc></w:tr></w:tbl>
<w:p><w:r><w:fldChar w:fldCharType="begin"/></w:r><w:r><w:instrText>PAGE</w:instrText></w:r><w:r><w:fldChar w:fldCharType="separate"/></w:r><w:r><w:t>last</w:t></w:r><w:r><w:fldChar w:fldCharType="end"/></w:r></w:p>
<w:sectPr/></w:body></w:document>)";

const char *const kOdtContent =
    R"(<?xml version="1.0" encoding="UTF-8"?>
<office:document-content xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"><office:body><office:text>
<text:sequence-decls><text:sequence-decl text:name="x"/></text:sequence-decls>
<text:h>Hello
  <text:span>world</text:span></text:h>
<text:p>a<text:tab/>b<text:line-break/>c<text:s text:c="3"/>d<text:note><text:note-body><text:p>note</text:p></text:note-body></text:note></text:p>
<text:list><text:list-item><text:p>item world</text:p></text:list-item></text:list>
</office:text></office:body></office:document-content>)";

std::string ReplaceAndSave(const std::string &path, std::u32string_view find, std::u32string_view replace)
{
    Document document = OpenDocumentFile(path);
    ReplaceAll(document, find, replace, {});
    SaveDocumentAsText(document, path);
    return vexlo::test::readBytes(path);
}

} // namespace

TEST(DocxReader, ParagraphsRunsTablesAndBreaks)
{
    TempDir dir;
    const std::string path = dir.file("t.docx");
    WriteZip(path, {{"[Content_Types].xml", "<Types/>"}, {"word/document.xml", kDocxBody}});
    Document document = OpenDocumentFile(path);
    EXPECT_EQ(SourceFormat::Docx, document.format);
    // The cell's paragraph ends with the cell mark, the row with the row-end mark.
    EXPECT_EQ(U"Hello caf\u00E9 world\ra\tb\vc\fco\x1Eop\x1F\rcell world\a\alast\r", document.text);
    EXPECT_EQ(2u, ReplaceAll(document, U"world", U"earth", {}));
    EXPECT_EQ(U"Hello caf\u00E9 earth\ra\tb\vc\fco\x1Eop\x1F\rcell earth\a\alast\r", document.text);
}

TEST(OdtReader, HeadingsSpacesListsAndNotesLeftOut)
{
    TempDir dir;
    const std::string path = dir.file("t.odt");
    WriteZip(path, {{"mimetype", "application/vnd.oasis.opendocument.text"}, {"content.xml", kOdtContent}});
    Document document = OpenDocumentFile(path);
    EXPECT_EQ(SourceFormat::Odt, document.format);
    EXPECT_BYTES_EQ("Hello earth\r\na\tb\r\nc   d\r\nitem earth\r\n",
                    ReplaceAndSave(path, U"world", U"earth"));
}

TEST(RtfReader, ControlWordsUnicodeAndSkippedGroups)
{
    EXPECT_EQ(U"Hello \u00E9\u2014x\r",
              ReadRtf(R"({\rtf1\ansi{\fonttbl{\f0 Times;}}{\*\generator W;}Hello \'e9\u8212?x\par})"));
    EXPECT_EQ(U"a\tb\vc\fd{}\\\u00A0\x1F\x1E\r", ReadRtf(R"({\rtf1 a\tab b\line c\page d\{\}\\\~\-\_\par})"));
    EXPECT_EQ(
        U"link \u201Cq\u201D\r",
        ReadRtf(R"({\rtf1{\field{\*\fldinst HYPERLINK x}{\fldrslt link}} \ldblquote q\rdblquote\par})"));
    EXPECT_EQ(U"\u00FC\u00FC", ReadRtf(R"({\rtf1\uc2\u252\'81\'81\uc0\u252})"));
    EXPECT_EQ(U"\uFFFD?", ReadRtf(R"({\rtf1\u-3??})")); // one fallback character by default
    EXPECT_THROW(ReadRtf("plain"), FormatError);

    TempDir dir;
    const std::string path = dir.file("t.rtf");
    vexlo::test::writeBytes(path, "{\\rtf1\\ansi one\\par two\\par}");
    EXPECT_BYTES_EQ("one\r\n2\r\n", ReplaceAndSave(path, U"two", U"2"));
}

TEST(DocumentFormats, UnreadableDocumentsGiveAClearError)
{
    TempDir dir;
    const std::string zip = dir.file("broken.docx");
    WriteZip(zip, {{"other.txt", "x"}});
    const std::string doc = dir.file("old.doc");
    vexlo::test::writeBytes(doc, std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(600, '\0'));
    const std::string bad = dir.file("bad.docx");
    vexlo::test::writeBytes(bad, std::string("PK\x03\x04word/document.xml", 21));
    for (const std::string &path : {zip, doc, bad}) {
        try {
            OpenDocumentFile(path);
            ADD_FAILURE() << path << " opened";
        } catch (const vexlo::Error &e) {
            EXPECT_NE(std::string::npos, std::string(e.what()).find(path)) << e.what();
        }
    }
}

namespace {

void Put32(std::string &s, std::size_t at, std::uint32_t v)
{
    for (int k = 0; k < 4; ++k)
        s[at + k] = static_cast<char>((v >> (8 * k)) & 0xFF);
}

void Put16(std::string &s, std::size_t at, std::uint16_t v)
{
    s[at] = static_cast<char>(v & 0xFF);
    s[at + 1] = static_cast<char>(v >> 8);
}

void DirectoryEntry(std::string &dir, std::size_t index, std::u16string_view name, int type,
                    std::uint32_t start, std::uint32_t size)
{
    std::size_t at = 128 * index;
    for (std::size_t k = 0; k < name.size(); ++k)
        Put16(dir, at + 2 * k, name[k]);
    Put16(dir, at + 64, static_cast<std::uint16_t>(2 * (name.size() + 1)));
    dir[at + 66] = static_cast<char>(type);
    Put32(dir, at + 68, 0xFFFFFFFF); // no siblings or children: the reader walks the entries in order
    Put32(dir, at + 72, 0xFFFFFFFF);
    Put32(dir, at + 76, 0xFFFFFFFF);
    Put32(dir, at + 116, start);
    Put32(dir, at + 120, size);
}

// A small binary Word document: a compound file with the two streams, the text in two pieces
// (one of 8-bit characters, one of UTF-16 code units).
std::string LegacyDoc(std::string_view eightBit, std::u16string_view wide)
{
    std::string word(8192, '\0');
    Put16(word, 0, 0xA5EC);
    Put16(word, 2, 193);
    Put16(word, 0x0A, 0x0200); // the table stream is "1Table"
    Put32(word, 0x4C, static_cast<std::uint32_t>(eightBit.size() + wide.size()));
    word.replace(0x800, eightBit.size(), eightBit);
    for (std::size_t k = 0; k < wide.size(); ++k)
        Put16(word, 0x1000 + 2 * k, wide[k]);

    std::string table(4096, '\0');
    std::string plc(4 * 3 + 8 * 2, '\0');
    Put32(plc, 0, 0);
    Put32(plc, 4, static_cast<std::uint32_t>(eightBit.size()));
    Put32(plc, 8, static_cast<std::uint32_t>(eightBit.size() + wide.size()));
    Put32(plc, 12 + 2, 0x40000000u | (0x800 * 2));
    Put32(plc, 20 + 2, 0x1000);
    table[0] = 0x02;
    Put32(table, 1, static_cast<std::uint32_t>(plc.size()));
    table.replace(5, plc.size(), plc);
    Put32(word, 0x1A2, 0);
    Put32(word, 0x1A6, static_cast<std::uint32_t>(5 + plc.size()));

    std::string header(512, '\0');
    header.replace(0, 8, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1");
    Put16(header, 24, 0x3E);
    Put16(header, 26, 3);
    Put16(header, 28, 0xFFFE);
    Put16(header, 30, 9);
    Put16(header, 32, 6);
    Put32(header, 44, 1);
    Put32(header, 48, 1);
    Put32(header, 56, 4096);
    Put32(header, 60, 0xFFFFFFFE);
    Put32(header, 68, 0xFFFFFFFE);
    for (std::size_t k = 0; k < 109; ++k)
        Put32(header, 76 + 4 * k, k == 0 ? 0 : 0xFFFFFFFF);

    std::string fat(512, '\xFF');
    Put32(fat, 0, 0xFFFFFFFD);
    Put32(fat, 4, 0xFFFFFFFE);
    for (std::uint32_t s = 2; s <= 25; ++s)
        Put32(fat, 4 * s, (s == 17 || s == 25) ? 0xFFFFFFFE : s + 1);

    std::string dir(512, '\0');
    DirectoryEntry(dir, 0, u"Root Entry", 5, 0xFFFFFFFE, 0);
    DirectoryEntry(dir, 1, u"WordDocument", 2, 2, static_cast<std::uint32_t>(word.size()));
    DirectoryEntry(dir, 2, u"1Table", 2, 18, static_cast<std::uint32_t>(table.size()));
    return header + fat + dir + word + table;
}

} // namespace

TEST(LegacyDocReader, PiecesOfBothKindsAndFieldsResolved)
{
    std::string bytes = LegacyDoc("Hello caf\xE9 world\r", u"\u03A9 page \u0013 PAGE \u0014"
                                                           u"1\u0015 end\u000Bcell\u0007\r");
    EXPECT_EQ(U"Hello caf\u00E9 world\r\u03A9 page 1 end\vcell\a\r", ReadLegacyDoc(bytes));
    TempDir dir;
    const std::string path = dir.file("t.doc");
    vexlo::test::writeBytes(path, bytes);
    Document document = OpenDocumentFile(path);
    EXPECT_EQ(SourceFormat::LegacyDoc, document.format);
    EXPECT_BYTES_EQ("Hello caf\xC3\xA9 earth\r\n\xCE\xA9 page 1 end\r\ncell",
                    ReplaceAndSave(path, U"world", U"earth").substr(0, 38));
}

TEST(LegacyDocReader, DamagedFilesAreRefused)
{
    std::string good = LegacyDoc("abc\r", u"");
    std::string noText = good;
    Put16(noText, 512 * 3, 0x1234); // the Word stream's identifier
    std::string encrypted = good;
    Put16(encrypted, 512 * 3 + 0x0A, 0x0300);
    std::string shortFile = good.substr(0, 512 * 10);
    for (const std::string &bytes : {noText, encrypted, shortFile})
        EXPECT_THROW(ReadLegacyDoc(bytes), FormatError);
    EXPECT_EQ(U"abc\r", ReadLegacyDoc(good));
}

TEST(DocxReader, MemberThatInflatesFarBeyondItsSizeIsRefusedBeforeAllocating)
{
    // 8 MB of spaces deflate to a few kilobytes: refused by the ratio, named in the message.
    TempDir tmp;
    const std::string path = (tmp.path() / "bomb.docx").string();
    std::string xml =
        std::string(kDocxBody).insert(std::string(kDocxBody).find("<w:body>"), std::string(8u << 20, ' '));
    WriteZip(path, {{"[Content_Types].xml", "<Types/>"}, {"word/document.xml", xml}});
    try {
        OpenDocumentFile(path);
        FAIL() << "a zip bomb was read";
    } catch (const vexlo::Error &e) {
        EXPECT_NE(std::string(e.what()).find("is compressed more than 200"), std::string::npos) << e.what();
    }
}
