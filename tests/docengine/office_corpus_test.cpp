// The find options on one small contract saved as .docx and as .odt: wildcards with groups,
// case adjustment, whole words, sounds like and word forms, and text in a header and a
// footnote, which are other stories and are kept as they were. Each case checks that the
// saved story is what the plain-text path gives, that the parts of the main XML a case does
// not touch keep their bytes, and that the files open in python-docx and odfpy.
#include "docengine/Document.h"
#include "docengine/ReplaceAll.h"

#include "OfficeTestSupport.h"

using namespace vexlo::doc;
using namespace vexlo::doc::officetest;

namespace {

// Fragments of the main XML that a case may leave untouched.
enum Fragment { kTitle, kSecond, kThird, kNote, kFragments };

struct Corpus {
    std::string bytes, part;
    std::string fragments[kFragments];
};

Corpus DocxCorpus()
{
    Corpus c;
    c.part = "word/document.xml";
    c.fragments[kTitle] =
        R"(<w:p><w:pPr><w:pStyle w:val="Title"/></w:pPr><w:r><w:t>Contract Of Sale</w:t></w:r></w:p>)";
    c.fragments[kNote] =
        R"(<w:r><w:rPr><w:rStyle w:val="FootnoteReference"/></w:rPr><w:footnoteReference w:id="1"/></w:r>)";
    c.fragments[kSecond] =
        R"(<w:p><w:r><w:t xml:space="preserve">The buyer buys goods. </w:t></w:r>)"
        R"(<w:r><w:rPr><w:b/></w:rPr><w:t>THE SELLER sells</w:t></w:r>)"
        R"(<w:r><w:t xml:space="preserve"> them; the seller's smith and smyth went.</w:t></w:r>)" +
        c.fragments[kNote] + "</w:p>";
    c.fragments[kThird] =
        R"(<w:p><w:r><w:t>Mice ran; a mouse ran. Run, running, ran. Theseller is one word.</w:t></w:r></w:p>)";
    const std::string r = R"(xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships")";
    const std::string xml =
        DocxXml(c.fragments[kTitle] + c.fragments[kSecond] + c.fragments[kThird] +
                    R"(<w:sectPr><w:headerReference w:type="default" r:id="rId2"/></w:sectPr>)",
                kW + " " + r);
    const std::string office = "application/vnd.openxmlformats-officedocument.wordprocessingml.";
    const std::string relationship = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
    c.bytes = Zip(
        {{"[Content_Types].xml",
          R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
          R"(<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">)"
          R"(<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>)"
          R"(<Default Extension="xml" ContentType="application/xml"/>)"
          R"(<Override PartName="/word/document.xml" ContentType=")" +
              office + R"(document.main+xml"/><Override PartName="/word/header1.xml" ContentType=")" +
              office + R"(header+xml"/><Override PartName="/word/footnotes.xml" ContentType=")" + office +
              R"(footnotes+xml"/></Types>)"},
         {"_rels/.rels",
          R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
          R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
          R"(<Relationship Id="rId1" Type=")" +
              relationship + R"(officeDocument" Target="word/document.xml"/></Relationships>)"},
         {"word/document.xml", xml},
         {"word/_rels/document.xml.rels",
          R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
          R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
          R"(<Relationship Id="rId2" Type=")" +
              relationship + R"(header" Target="header1.xml"/><Relationship Id="rId3" Type=")" +
              relationship + R"(footnotes" Target="footnotes.xml"/></Relationships>)"},
         {"word/header1.xml",
          "<w:hdr " + kW +
              R"(><w:p><w:r><w:t>The seller in the header, and a smith.</w:t></w:r></w:p></w:hdr>)"},
         {"word/footnotes.xml", "<w:footnotes " + kW +
                                    R"(><w:footnote w:id="1"><w:p><w:r><w:t>The seller in a footnote, )"
                                    R"(running.</w:t></w:r></w:p></w:footnote></w:footnotes>)"}});
    return c;
}

Corpus OdtCorpus()
{
    Corpus c;
    c.part = "content.xml";
    c.fragments[kTitle] =
        R"(<text:h text:style-name="Title" text:outline-level="1">Contract Of Sale</text:h>)";
    c.fragments[kNote] =
        R"(<text:note text:id="ftn1" text:note-class="footnote"><text:note-citation>1</text:note-citation>)"
        R"(<text:note-body><text:p>The seller in a footnote, running.</text:p></text:note-body></text:note>)";
    c.fragments[kSecond] =
        R"(<text:p text:style-name="P">The buyer buys goods. <text:span text:style-name="B">)"
        R"(THE SELLER sells</text:span> them; the seller's smith and smyth went.)" +
        c.fragments[kNote] + "</text:p>";
    c.fragments[kThird] =
        R"(<text:p>Mice ran; a mouse ran. Run, running, ran. Theseller is one word.</text:p>)";
    const std::string office =
        R"(xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" )"
        R"(xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" )"
        R"(xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" office:version="1.2")";
    c.bytes = Zip(
        {{"mimetype", "application/vnd.oasis.opendocument.text"},
         {"content.xml", OdtXml(c.fragments[kTitle] + c.fragments[kSecond] + c.fragments[kThird])},
         {"styles.xml", R"(<?xml version="1.0" encoding="UTF-8"?><office:document-styles )" + office +
                            R"(><office:master-styles><style:master-page style:name="Standard">)"
                            R"(<style:header><text:p>The seller in the header, and a smith.</text:p>)"
                            R"(</style:header></style:master-page></office:master-styles>)"
                            R"(</office:document-styles>)"},
         {"META-INF/manifest.xml",
          R"(<?xml version="1.0" encoding="UTF-8"?><manifest:manifest )"
          R"(xmlns:manifest="urn:oasis:names:tc:opendocument:xmlns:manifest:1.0" manifest:version="1.2">)"
          R"(<manifest:file-entry manifest:full-path="/" manifest:media-type="application/vnd.oasis.opendocument.text"/>)"
          R"(<manifest:file-entry manifest:full-path="content.xml" manifest:media-type="text/xml"/>)"
          R"(<manifest:file-entry manifest:full-path="styles.xml" manifest:media-type="text/xml"/>)"
          R"(</manifest:manifest>)"}});
    return c;
}

struct Case {
    const char *name;
    std::u32string find, replace;
    FindOptions options;
    std::vector<Fragment> untouched;
    std::u32string expected; // a piece of the replaced story
};

const std::vector<Case> &Cases()
{
    static const std::vector<Case> cases = {
        // Groups reordered, the match crossing from a plain run into a bold one.
        {"wildcards",
         U"(<[a-z]@) buys (goods). (THE)",
         U"\\3 \\2 for \\1",
         Options(false, false, true, false, false),
         {kTitle, kThird, kNote},
         U"The THE goods for buyer SELLER sells"},
        // All capitals stay capitals, a capital first letter stays one.
        {"case",
         U"the seller",
         U"a vendor",
         Options(false, false, false, false, false),
         {kTitle, kThird, kNote},
         U"A VENDOR sells them; a vendor's"},
        // "Theseller" is not the whole word, so the third paragraph keeps its bytes.
        {"whole word",
         U"seller",
         U"agent",
         Options(false, true, false, false, false),
         {kTitle, kThird, kNote},
         U"THE AGENT sells"},
        {"sounds like",
         U"smith",
         U"Jones",
         Options(false, false, false, true, false),
         {kTitle, kThird, kNote},
         U"Jones and Jones went"},
        {"word forms",
         U"run",
         U"walk",
         Options(false, false, false, false, true),
         {kTitle, kSecond, kNote},
         U"Walk, walking, walked."},
        // Found in the header and the footnote only: nothing is replaced, the file is as it was.
        {"other stories",
         U"in a footnote",
         U"x",
         Options(false, false, false, false, false),
         {kTitle, kSecond, kThird, kNote},
         U"Contract Of Sale"},
    };
    return cases;
}

void CheckCorpus(const Corpus &corpus, const std::string &extension)
{
    const std::string python = PythonWithOfficeModules();
    vexlo::test::TempDir dir;
    std::vector<std::string> files;
    for (const Case &c : Cases()) {
        SCOPED_TRACE(std::string(c.name) + " in " + extension);
        Result r = Replace(corpus.bytes, c.find, c.replace, c.options);
        EXPECT_NE(std::u32string::npos, r.plain.find(c.expected)) << ToUtf8(r.plain);
        ExpectFaithful(corpus.bytes, r, corpus.part);
        const std::string out = Member(r.saved, corpus.part);
        for (Fragment f : c.untouched)
            EXPECT_NE(std::string::npos, out.find(corpus.fragments[f])) << corpus.fragments[f];
        if (c.untouched.size() == kFragments) {
            EXPECT_EQ(corpus.bytes, r.saved);
        }
        // The header and the footnote are other stories: never searched.
        EXPECT_EQ(std::u32string::npos, r.plain.find(U"footnote"));
        EXPECT_EQ(std::u32string::npos, r.plain.find(U"header"));
        files.push_back(dir.file(std::string(c.name) + extension));
        vexlo::test::writeBytes(files.back(), r.saved);
    }
    // The header and footnote are kept as they were whatever matched in the main story.
    Result all = Replace(corpus.bytes, U"seller", U"buyer");
    ExpectFaithful(corpus.bytes, all, corpus.part);
    const std::string out = Member(all.saved, corpus.part);
    EXPECT_EQ(std::string::npos, out.find("THE SELLER"));
    EXPECT_NE(std::string::npos, out.find(corpus.fragments[kNote]));
    if (python.empty())
        GTEST_SKIP() << "python3-docx or python3-odf is not installed";
    EXPECT_TRUE(OpenInPython(python, files));
}

} // namespace

TEST(OfficeCorpus, DocxFindOptionsHeaderAndFootnote)
{
    const Corpus corpus = DocxCorpus();
    ASSERT_EQ(U"Contract Of Sale\rThe buyer buys goods. THE SELLER sells them; the seller's smith and smyth "
              U"went.\rMice ran; a mouse ran. Run, running, ran. Theseller is one word.\r",
              Open(corpus.bytes).text);
    CheckCorpus(corpus, ".docx");
}

TEST(OfficeCorpus, OdtFindOptionsHeaderAndFootnote)
{
    const Corpus corpus = OdtCorpus();
    ASSERT_EQ(U"Contract Of Sale\rThe buyer buys goods. THE SELLER sells them; the seller's smith and smyth "
              U"went.\rMice ran; a mouse ran. Run, running, ran. Theseller is one word.\r",
              Open(corpus.bytes).text);
    CheckCorpus(corpus, ".odt");
}
