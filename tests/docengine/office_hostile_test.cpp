// Hostile .docx and .odt files, grouped by reader: each is refused with a message naming the
// limit or the fault (or read right), never a crash, a hang or gigabytes of memory.
#include "docengine/Document.h"
#include "docengine/Readers.h"
#include "docengine/ZipPackage.h"

#include "OfficeTestSupport.h"
#include "support/TestSupport.h"

#include <zip.h>

using namespace vexlo::doc;

namespace {

using officetest::Zip;

std::string Docx(const std::string &body)
{
    return Zip(
        {{"[Content_Types].xml", "<Types/>"},
         {"word/document.xml",
          R"(<w:document xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main"><w:body>)" +
              body + "</w:body></w:document>"}});
}

std::string Odt(const std::string &text)
{
    return Zip(
        {{"mimetype", "application/vnd.oasis.opendocument.text"},
         {"content.xml",
          R"(<office:document-content xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" )"
          R"(xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"><office:body><office:text>)" +
              text + "</office:text></office:body></office:document-content>"},
         {"META-INF/manifest.xml", "<manifest/>"}});
}

std::string Repeat(const std::string &s, std::size_t n)
{
    std::string out;
    out.reserve(s.size() * n);
    for (std::size_t i = 0; i < n; ++i)
        out += s;
    return out;
}

// The message a refusal gives.
std::string Refusal(const std::string &bytes)
{
    try {
        OpenZipDocument(bytes);
    } catch (const FormatError &e) {
        return e.what();
    }
    return "(read)";
}

} // namespace

TEST(DocxHostile, DeepNestingIsRefusedWithTheLimitNamed)
{
    // 20,000 nested content controls: a recursive walk runs out of stack.
    const std::string deep = "<w:p>" + Repeat("<w:sdt><w:sdtContent>", 20000) + "<w:r><w:t>x</w:t></w:r>" +
                             Repeat("</w:sdtContent></w:sdt>", 20000) + "</w:p>";
    EXPECT_NE(std::string::npos, Refusal(Docx(deep)).find("deeper than 512"));
    // Nesting within the limit reads.
    const std::string fine = "<w:p>" + Repeat("<w:sdt><w:sdtContent>", 100) + "<w:r><w:t>x</w:t></w:r>" +
                             Repeat("</w:sdtContent></w:sdt>", 100) + "</w:p>";
    EXPECT_EQ(U"x\r", OpenZipDocument(Docx(fine)).text);
}

TEST(DocxHostile, MisreadsAreReadRightOrRefused)
{
    // NUL by reference would cut the run short: refused.
    EXPECT_NE(std::string::npos, Refusal(Docx("<w:p><w:r><w:t>a&#0;b</w:t></w:r></w:p>")).find("&#0;"));
    // A document type declaration (entity expansion) and an unclosed field are refused.
    EXPECT_NE("(read)", Refusal(Zip({{"[Content_Types].xml", "<Types/>"},
                                     {"word/document.xml", "<!DOCTYPE x [<!ENTITY a \"aaaa\">]><x/>"}})));
    EXPECT_NE(std::string::npos,
              Refusal(Docx(R"(<w:p><w:r><w:fldChar w:fldCharType="begin"/><w:t>rest</w:t></w:r></w:p>)"))
                  .find("field"));
    // Moved-from text once, symbols kept.
    EXPECT_EQ(
        U"moved\uF0E0\r",
        OpenZipDocument(
            Docx(
                R"(<w:p><w:moveFrom><w:r><w:t>moved</w:t></w:r></w:moveFrom><w:moveTo><w:r><w:t>moved</w:t></w:r></w:moveTo>)"
                R"(<w:r><w:sym w:font="Symbol" w:char="F0E0"/></w:r></w:p>)"))
            .text);
}

TEST(DocxHostile, TheFormatIsToldByThePackagesMembers)
{
    // An .odt whose text names word/document.xml is an .odt.
    const Document odt = OpenZipDocument(Odt("<text:p>see word/document.xml</text:p>"));
    EXPECT_EQ(SourceFormat::Odt, odt.format);
    EXPECT_EQ(U"see word/document.xml\r", odt.text);
    // The main part is the one the relationships name.
    const std::string rels =
        R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
        R"(<Relationship Id="r" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="/word/main.xml"/></Relationships>)";
    const std::string docx = Zip(
        {{"[Content_Types].xml", "<Types/>"},
         {"_rels/.rels", rels},
         {"word/main.xml",
          R"(<document xmlns="http://schemas.openxmlformats.org/wordprocessingml/2006/main"><body><p><r><t>main</t></r></p></body></document>)"}});
    EXPECT_EQ(U"main\r", OpenZipDocument(docx).text);
    EXPECT_NE(std::string::npos, Refusal(Zip({{"a.txt", "word/document.xml content.xml"}})).find("neither"));
}

TEST(ZipHostile, SizesRatiosEntriesAndChecksumsAreCheckedBeforeAllocating)
{
    // A zip bomb: 8 MB of zeros deflate to about 8 KB.
    EXPECT_NE(std::string::npos, Refusal(Zip({{"[Content_Types].xml", "<Types/>"},
                                              {"word/document.xml", std::string(8u << 20, '\0')}}))
                                     .find("200 to 1"));
    // A member that declares 4 GiB: its central directory entry is patched.
    std::string big = Docx("<w:p/>");
    const std::size_t central = big.rfind(std::string("PK\x01\x02", 4));
    std::size_t entry = central;
    while (big.compare(entry + 46, 17, "word/document.xml") != 0)
        entry = big.find(std::string("PK\x01\x02", 4), entry + 4);
    for (int k = 0; k < 4; ++k)
        big[entry + 24 + k] = '\xFF'; // uncompressed size
    const std::string message = Refusal(big);
    EXPECT_TRUE(message.find("64 MiB") != std::string::npos ||
                message.find("broken zip") != std::string::npos)
        << message;
    // Too many members.
    std::vector<std::pair<std::string, std::string>> many{{"[Content_Types].xml", "<Types/>"}};
    for (int i = 0; i < 10001; ++i) {
        const std::string number = std::to_string(i);
        many.push_back({"m" + number, ""});
    }
    EXPECT_NE(std::string::npos, Refusal(Zip(many)).find("10000"));
    // A damaged member: the CRC-32 in both headers no longer matches the content.
    std::string damaged = Docx("<w:p><w:r><w:t>abc</w:t></w:r></w:p>");
    std::size_t at = 0;
    while ((at = damaged.find("PK", at)) != std::string::npos) {
        if (damaged.compare(at, 4, std::string("PK\x03\x04", 4)) == 0 &&
            damaged.compare(at + 30, 17, "word/document.xml") == 0)
            damaged[at + 14] ^= 1;
        if (damaged.compare(at, 4, std::string("PK\x01\x02", 4)) == 0 &&
            damaged.compare(at + 46, 17, "word/document.xml") == 0)
            damaged[at + 16] ^= 1;
        ++at;
    }
    EXPECT_NE("(read)", Refusal(damaged));
}

TEST(OdtHostile, RepeatCountsNestingAndOtherStoriesAreHandled)
{
    EXPECT_NE(std::string::npos,
              Refusal(Odt(R"(<text:p>a<text:s text:c="2147483648"/></text:p>)")).find("65536"));
    EXPECT_NE(std::string::npos, Refusal(Odt("<text:p>" + Repeat("<text:span>", 40000) + "x" +
                                             Repeat("</text:span>", 40000) + "</text:p>"))
                                     .find("deeper than 512"));
    // Notes, annotations and frames (alt text, text boxes) are other stories.
    const std::string other =
        R"(<text:p>body<text:note><text:note-body><text:p>note</text:p></text:note-body></text:note>)"
        R"(<office:annotation><text:p>comment</text:p></office:annotation>)"
        R"(<draw:frame xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0" xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0"><draw:text-box><text:p>box</text:p></draw:text-box><svg:desc>alt</svg:desc></draw:frame></text:p>)";
    EXPECT_EQ(U"body\r", OpenZipDocument(Odt(other)).text);
}
