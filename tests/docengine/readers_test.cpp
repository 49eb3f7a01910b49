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
<w:p><w:r><w:fldChar w:fldCharType="begin"/></w:r><w:r><w:instrText>PAGE</w:instrText></w:r><w:r><w:t>last</w:t></w:r></w:p>
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
    EXPECT_EQ(U"Hello caf\u00E9 world\ra\tb\vc\fco\x1Eop\x1F\rcell world\rlast\r", document.text);
    // Saved as UTF-8 plain text under its own name.
    EXPECT_BYTES_EQ("Hello caf\xC3\xA9 earth\r\na\tb\r\nc\r\nco-op\r\ncell earth\r\nlast\r\n",
                    ReplaceAndSave(path, U"world", U"earth"));
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
