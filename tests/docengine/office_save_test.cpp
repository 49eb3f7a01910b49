// .docx and .odt saved in their own format: the replacement is made inside the main part, the
// story read back is the plain-text path's result, untouched runs and other members stay as
// they were; edits that would damage the document are refused.
#include "OfficeTestSupport.h"
#include "docengine/OfficeStory.h"

#include <cstdlib>

using namespace vexlo::doc;
using namespace vexlo::doc::officetest;

TEST(DocxSave, AMatchInOneRunKeepsEveryOtherRunByteForByte)
{
    const std::string untouched =
        R"(<w:r><w:rPr><w:i/></w:rPr><w:t xml:space="preserve">keep  &#233; </w:t></w:r>)";
    const std::string xml =
        DocxXml(R"(<w:p><w:pPr><w:jc w:val="center"/></w:pPr>)" + untouched +
                R"(<w:r><w:rPr><w:b/></w:rPr><w:t>say hello</w:t></w:r></w:p><w:sectPr/>)");
    const std::string bytes = Docx(xml);
    Result r = Replace(bytes, U"hello", U"goodbye & <more>");
    ExpectFaithful(bytes, r, "word/document.xml");
    const std::string out = Member(r.saved, "word/document.xml");
    EXPECT_NE(std::string::npos, out.find(untouched));
    EXPECT_NE(std::string::npos, out.find(R"(<w:pPr><w:jc w:val="center"/></w:pPr>)"));
    EXPECT_NE(
        std::string::npos,
        out.find(R"(<w:rPr><w:b/></w:rPr><w:t xml:space="preserve">say goodbye &amp; &lt;more&gt;</w:t>)"));
}

TEST(DocxSave, AMatchAcrossRunsTakesTheFormattingOfItsFirstCharacter)
{
    const std::string xml = DocxXml(R"(<w:p><w:r><w:rPr><w:b/></w:rPr><w:t>half</w:t></w:r>)"
                                    R"(<w:hyperlink w:anchor="x"><w:r><w:t>bold</w:t></w:r></w:hyperlink>)"
                                    R"(<w:r><w:t xml:space="preserve"> tail</w:t></w:r></w:p>)");
    const std::string bytes = Docx(xml);
    Result r = Replace(bytes, U"fbo", U"F-B");
    ExpectFaithful(bytes, r, "word/document.xml");
    EXPECT_EQ(U"halF-Bld tail\r", r.plain);
    const std::string out = Member(r.saved, "word/document.xml");
    EXPECT_NE(std::string::npos, out.find(R"(<w:b/></w:rPr><w:t xml:space="preserve">halF-B</w:t>)")) << out;
    EXPECT_NE(std::string::npos, out.find(R"(<w:r><w:t xml:space="preserve"> tail</w:t></w:r>)"));
}

TEST(DocxSave, ParagraphMarksInTheReplacementSplitAndInTheFindTextJoin)
{
    const std::string xml = DocxXml(
        R"(<w:p><w:pPr><w:pStyle w:val="A"/></w:pPr><w:r><w:rPr><w:u/></w:rPr><w:t>one two</w:t></w:r></w:p>)"
        R"(<w:p><w:pPr><w:pStyle w:val="B"/></w:pPr><w:r><w:t>three</w:t></w:r></w:p>)"
        R"(<w:p><w:r><w:t>end</w:t></w:r></w:p>)");
    const std::string bytes = Docx(xml);
    Result split = Replace(bytes, U" ", U"^p^t");
    ExpectFaithful(bytes, split, "word/document.xml");
    EXPECT_EQ(U"one\r\ttwo\rthree\rend\r", split.plain);
    const std::string out = Member(split.saved, "word/document.xml");
    EXPECT_NE(
        std::string::npos,
        out.find(
            R"(</w:t></w:r></w:p><w:p><w:pPr><w:pStyle w:val="A"/></w:pPr><w:r><w:rPr><w:u/></w:rPr><w:tab/>)"))
        << out;

    Result joined = Replace(bytes, U"two^pth", U"2+");
    ExpectFaithful(bytes, joined, "word/document.xml");
    EXPECT_EQ(U"one 2+ree\rend\r", joined.plain);
    const std::string out2 = Member(joined.saved, "word/document.xml");
    EXPECT_EQ(std::string::npos, out2.find(R"(w:val="B")")) << out2;
}

TEST(DocxSave, TablesTrackedChangesSymbolsAndFieldsAsTheStoryHasThem)
{
    const std::string xml = DocxXml(
        R"(<w:tbl><w:tblPr/><w:tr><w:tc><w:p><w:r><w:t>a1</w:t></w:r></w:p></w:tc><w:tc><w:p><w:r><w:t>b1</w:t></w:r></w:p></w:tc></w:tr></w:tbl>)"
        R"(<w:p><w:ins w:id="1"><w:r><w:t>new</w:t></w:r></w:ins><w:del w:id="2"><w:r><w:delText>old</w:delText></w:r></w:del>)"
        R"(<w:moveFrom w:id="3"><w:r><w:t>moved</w:t></w:r></w:moveFrom><w:moveTo w:id="4"><w:r><w:t>moved</w:t></w:r></w:moveTo>)"
        R"(<w:r><w:sym w:font="Wingdings" w:char="F04A"/></w:r>)"
        R"(<w:r><w:fldChar w:fldCharType="begin"/></w:r><w:r><w:instrText> PAGE </w:instrText></w:r>)"
        R"(<w:r><w:fldChar w:fldCharType="separate"/></w:r><w:r><w:t>7</w:t></w:r><w:r><w:fldChar w:fldCharType="end"/></w:r></w:p>)"
        R"(<w:p><w:r><w:drawing><wp:inline xmlns:wp="urn:x"><wp:docPr descr="alt text"/></wp:inline></w:drawing></w:r></w:p>)");
    const std::string bytes = Docx(xml);
    EXPECT_EQ(U"a1\ab1\a\anewmoved\uF04A7\r\r", Open(bytes).text);
    // Inside a cell, inside an insertion, next to a field: replaced; the deletion is kept.
    Result r = Replace(bytes, U"1", U"one");
    ExpectFaithful(bytes, r, "word/document.xml");
    Result ins = Replace(bytes, U"new", U"NEW");
    ExpectFaithful(bytes, ins, "word/document.xml");
    const std::string out = Member(ins.saved, "word/document.xml");
    EXPECT_NE(std::string::npos, out.find("<w:delText>old</w:delText>"));
    EXPECT_NE(std::string::npos, out.find(R"(<w:sym w:font="Wingdings" w:char="F04A"/>)"));
    Result field = Replace(bytes, U"\uF04A7", U"x");
    ExpectFaithful(bytes, field, "word/document.xml");
}

// The message a save that cannot be made gives, or "" when it succeeds.
std::string SaveRefusal(const Document &document)
{
    try {
        SaveInOwnFormat(document);
        return {};
    } catch (const FormatError &e) {
        return e.what();
    }
}

TEST(OfficeSave, AMatchThatTakesInACellMarkIsRefusedWithAMessageThatShowsIt)
{
    const std::string docx =
        Docx(DocxXml(R"(<w:tbl><w:tr><w:tc><w:p><w:r><w:t>a1</w:t></w:r></w:p></w:tc>)"
                     R"(<w:tc><w:p><w:r><w:t>b1</w:t></w:r></w:p></w:tc></w:tr></w:tbl><w:p/>)"));
    const std::string odt = Odt(OdtXml(
        "<table:table><table:table-row><table:table-cell><text:p>a1</text:p></table:table-cell>"
        "<table:table-cell><text:p>b1</text:p></table:table-cell></table:table-row></table:table><text:p/>"));
    for (const std::string &bytes : {docx, odt}) {
        Document document = Open(bytes);
        ASSERT_EQ(U"a1\ab1\a\a\r", document.text);
        // The replace-all's edit, as a wildcard "?" that matches the cell mark gives it.
        Document crossing = document;
        crossing.edits = {{0, 5, U"x"}};
        crossing.changedByReplaceAll = 1;
        const std::string why = SaveRefusal(crossing);
        EXPECT_NE(std::string::npos, why.find("cannot be made inside this document")) << why;
        EXPECT_NE(std::string::npos, why.find("character 1 (\"a1^7b1\")")) << why;
        EXPECT_NE(std::string::npos, why.find("end of a table cell or row")) << why;
        // Through the replace-all itself: refused the same way when the match takes the mark
        // in, saved as it was when it does not.
        if (ReplaceAll(document, U"a1?b1", U"x", Options(false, false, true)) != 0)
            EXPECT_NE(std::string::npos, SaveRefusal(document).find("end of a table cell or row"));
        else
            EXPECT_EQ(bytes, SaveInOwnFormat(document));
    }
}

TEST(DocxSave, EditsThatWouldCrossACellOrRowEndAreRefused)
{
    const std::string xml =
        DocxXml(R"(<w:tbl><w:tr><w:tc><w:p><w:r><w:t>a</w:t></w:r></w:p></w:tc></w:tr></w:tbl><w:p/>)");
    const std::string part = xml;
    EXPECT_THROW(EditDocxPart(part, U"a\a\a\r", {{0, 2, U"x"}}), FormatError);
    EXPECT_THROW(EditDocxPart(part, U"a\a\a\r", {{0, 1, U"\a"}}), FormatError);
    EXPECT_NO_THROW(EditDocxPart(part, U"a\a\a\r", {{0, 1, U"x"}}));
}

TEST(DocxSave, OtherPrefixesAndTheDefaultNamespaceAreEditedInTheirOwnTerms)
{
    const std::string ns = R"(xmlns="http://schemas.openxmlformats.org/wordprocessingml/2006/main")";
    const std::string plain =
        DocxXml("<p><r><t>dog cat</t></r></p><p><r><t>end</t></r></p>", ns, "document", "body");
    const std::string bytes = Docx(plain);
    EXPECT_EQ(U"dog cat\rend\r", Open(bytes).text);
    Result r = Replace(bytes, U"cat", U"^m^pcow");
    ExpectFaithful(bytes, r, "word/document.xml");
    const std::string custom = DocxXml(
        "<x:p><x:r><x:t>dog cat</x:t></x:r></x:p>",
        R"(xmlns:x="http://schemas.openxmlformats.org/wordprocessingml/2006/main")", "x:document", "x:body");
    EXPECT_EQ(U"dog cat\r", Open(Docx(custom)).text);
    Result c = Replace(Docx(custom), U"dog", U"pup^t");
    ExpectFaithful(Docx(custom), c, "word/document.xml");
    EXPECT_NE(std::string::npos, Member(c.saved, "word/document.xml").find("<x:tab/>"));
}

TEST(DocxSave, NothingReplacedGivesTheFileAsItWas)
{
    const std::string bytes = Docx(DocxXml("<w:p><w:r><w:t>x</w:t></w:r></w:p>"));
    Document document = Open(bytes);
    EXPECT_EQ(0u, ReplaceAll(document, U"zzz", U"y", {}));
    EXPECT_EQ(bytes, SaveInOwnFormat(document));
}

TEST(OdtSave, SpansSpacesSplitsAndTheMimetypeStayFirstAndStored)
{
    const std::string untouched = R"(<text:span text:style-name="I">kept  text</text:span>)";
    const std::string xml = OdtXml(
        R"(<text:h text:style-name="H">Title <text:span text:style-name="B">bold</text:span></text:h>)"
        R"(<text:p text:style-name="P">a<text:s text:c="2"/>b )" +
        untouched +
        R"(</text:p>)"
        R"(<table:table><table:table-row><table:table-cell><text:p>cell</text:p></table:table-cell></table:table-row></table:table>)"
        R"(<text:p>x<draw:frame xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0"><draw:text-box><text:p>box</text:p></draw:text-box></draw:frame></text:p>)");
    const std::string bytes = Odt(xml);
    EXPECT_EQ(U"Title bold\ra  b kept text\rcell\a\ax\r", Open(bytes).text);
    Result r = Replace(bytes, U"title b", U"T  ^pB");
    ExpectFaithful(bytes, r, "content.xml");
    EXPECT_EQ(U"T  \rBold\ra  b kept text\rcell\a\ax\r", r.plain);
    const std::string out = Member(r.saved, "content.xml");
    EXPECT_NE(std::string::npos, out.find(untouched));
    Result cell = Replace(bytes, U"  ", U"^t");
    ExpectFaithful(bytes, cell, "content.xml");
    Result join = Replace(bytes, U"bold^pa", U"-");
    ExpectFaithful(bytes, join, "content.xml");
    EXPECT_EQ(U"Title -  b kept text\rcell\a\ax\r", join.plain);
    // The package: same members, same order, mimetype first and stored.
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t *source = zip_source_buffer_create(r.saved.data(), r.saved.size(), 0, &error);
    zip_t *archive = zip_open_from_source(source, ZIP_RDONLY, &error);
    ASSERT_NE(nullptr, archive);
    zip_stat_t stat;
    zip_stat_index(archive, 0, 0, &stat);
    EXPECT_STREQ("mimetype", stat.name);
    EXPECT_EQ(ZIP_CM_STORE, stat.comp_method);
    zip_close(archive);
    EXPECT_EQ(0, r.saved.compare(30, 8, "mimetype"));
}

TEST(OdtSave, APageBreakCannotBeWrittenInsideAParagraphAndIsRefused)
{
    const std::string bytes = Odt(OdtXml("<text:p>a b</text:p>"));
    Document document = Open(bytes);
    ReplaceAll(document, U" ", U"^m", {});
    EXPECT_THROW(SaveInOwnFormat(document), FormatError);
}

TEST(OfficeSave, SavedFilesOpenInPythonDocxAndOdfpy)
{
    // Skipped where the python modules are not installed.
    // Debian's modules belong to the system's interpreter.
    const std::string python = std::system("test -x /usr/bin/python3") == 0 ? "/usr/bin/python3" : "python3";
    if (std::system((python + " -c 'import docx, odf' >/dev/null 2>&1").c_str()) != 0)
        GTEST_SKIP() << "python3-docx or python3-odf is not installed";
    vexlo::test::TempDir dir;
    const std::string types =
        R"(<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">)"
        R"(<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>)"
        R"(<Default Extension="xml" ContentType="application/xml"/><Override PartName="/word/document.xml" )"
        R"(ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml"/></Types>)";
    const std::string rels =
        R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship )"
        R"(Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" )"
        R"(Target="word/document.xml"/></Relationships>)";
    const std::string docx =
        Zip({{"[Content_Types].xml", types},
             {"_rels/.rels", rels},
             {"word/document.xml",
              DocxXml(R"(<w:p><w:pPr><w:jc w:val="center"/></w:pPr><w:r><w:rPr><w:b/></w:rPr>)"
                      R"(<w:t>one two</w:t></w:r></w:p><w:p><w:r><w:t>three</w:t></w:r></w:p>)")}});
    const std::string odt =
        Odt(OdtXml("<text:p>one <text:span>two</text:span></text:p><text:p>three</text:p>"));
    vexlo::test::writeBytes(dir.file("a.docx"), Replace(docx, U"two^pth", U"2^p^t3").saved);
    vexlo::test::writeBytes(dir.file("a.odt"), Replace(odt, U"two^pth", U"2^p^t3").saved);
    const std::string script = std::string(VEXLO_SOURCE_DIR) + "/tests/docengine/make_ooxml_corpus.py";
    EXPECT_EQ(0, std::system((python + " '" + script + "' check '" + dir.file("a.docx") + "' '" +
                              dir.file("a.odt") + "' >/dev/null")
                                 .c_str()));
}
