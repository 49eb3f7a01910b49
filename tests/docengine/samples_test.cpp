// Documents made by another word processor's converter (tests/data/documents), read, replaced
// and saved as plain text by the built-in engine.
#include "docengine/Document.h"
#include "docengine/ReplaceAll.h"
#include "docengine/TextCodec.h"

#include "support/TestSupport.h"

#include <filesystem>

using namespace vexlo::doc;
using vexlo::test::TempDir;

namespace {

const std::filesystem::path kSamples = std::filesystem::path(VEXLO_SOURCE_DIR) / "tests/data/documents";

const char *const kFormats[] = {"doc", "docx", "odt", "rtf"};

// The story every sample holds, with the marks of the document model.
std::u32string ExpectedStory(const std::string &format)
{
    std::u32string story = U"A heading\rFirst paragraph with foo.\rTab\tthen a line\vbreak and Foo.\r"
                           U"Non-ASCII: Grüße, Привет, € and naïve café.";
    // The new page is a break character only in .docx; the others keep it as a paragraph
    // property.
    if (format == "docx")
        story += U"\f";
    return story + U"\rAfter a page break: foo, FOO.\r";
}

std::string Sample(const std::string &format)
{
    return (kSamples / ("sample." + format)).string();
}

} // namespace

TEST(SampleDocuments, EachFormatReadsToTheSameStory)
{
    const SourceFormat formats[] = {SourceFormat::LegacyDoc, SourceFormat::Docx, SourceFormat::Odt,
                                    SourceFormat::Rtf};
    for (std::size_t i = 0; i < std::size(kFormats); ++i) {
        SCOPED_TRACE(kFormats[i]);
        Document document = OpenDocumentFile(Sample(kFormats[i]));
        EXPECT_EQ(formats[i], document.format);
        EXPECT_EQ(ToUtf8(ExpectedStory(kFormats[i])), ToUtf8(document.text));
    }
}

TEST(SampleDocuments, ReplaceAllAndThePlainTextSave)
{
    TempDir dir;
    for (const char *format : kFormats) {
        SCOPED_TRACE(format);
        const std::string target = dir.file(std::string("copy.") + format);
        std::filesystem::copy_file(Sample(format), target, std::filesystem::copy_options::overwrite_existing);
        Document document = OpenDocumentFile(target);
        // Match Case off: every "foo" whatever its case, the replacement taking the found case.
        EXPECT_EQ(4u, ReplaceAll(document, U"foo", U"bar", FindOptions{}, U""));
        // ^t and ^l reach the tab and the manual line break.
        EXPECT_EQ(1u, ReplaceAll(document, U"^t", U" [tab] ", FindOptions{}, U""));
        EXPECT_EQ(1u, ReplaceAll(document, U"^l", U"^p", FindOptions{}, U""));
        SaveDocumentAsText(document, target);

        std::string page = std::string(format) == "docx" ? "\r\n" : "";
        EXPECT_EQ("A heading\r\nFirst paragraph with bar.\r\nTab [tab] then a line\r\nbreak and Bar.\r\n"
                  "Non-ASCII: Grüße, Привет, € and naïve café.\r\n" +
                      page + "After a page break: bar, BAR.\r\n",
                  vexlo::test::readBytes(target));
        // Saved as plain text, it opens as plain text under the same name.
        EXPECT_EQ(SourceFormat::PlainText, OpenDocumentFile(target).format);
    }
}

// The samples' main parts do not come first in their packages, so a save keeps the start of
// the archive as it is: that must not free memory the engine still owns.
TEST(SampleDocuments, SavedInTheirOwnFormatAndReadBack)
{
    for (const char *format : {"docx", "odt", "rtf"}) {
        SCOPED_TRACE(format);
        Document document = OpenDocumentFile(Sample(format));
        EXPECT_EQ(4u, ReplaceAll(document, U"foo", U"bar", FindOptions{}, U""));
        const std::string saved = SaveInOwnFormat(document);
        const Document again = OpenDocumentContent(saved, std::string("again.") + format);
        EXPECT_EQ(document.format, again.format);
        std::u32string expected = ExpectedStory(format);
        for (const auto &[from, to] : {std::pair<std::u32string, std::u32string>{U"foo.", U"bar."},
                                       {U"Foo.", U"Bar."},
                                       {U"foo,", U"bar,"},
                                       {U"FOO.", U"BAR."}})
            expected.replace(expected.find(from), from.size(), to);
        EXPECT_EQ(ToUtf8(expected), ToUtf8(again.text));
    }
}
