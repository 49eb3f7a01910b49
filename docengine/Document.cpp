#include "docengine/Document.h"

#include "base/Error.h"
#include "base/SafeWrite.h"
#include "docengine/Readers.h"

#include <cerrno>
#include <fstream>
#include <sstream>

namespace vexlo::doc {

namespace {

bool StartsWith(std::string_view bytes, std::string_view prefix)
{
    return bytes.substr(0, prefix.size()) == prefix;
}

std::string ReadWholeFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw IoError("open", path, errno);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (in.bad())
        throw IoError("read", path, errno);
    return std::move(bytes).str();
}

} // namespace

Document OpenPlainText(std::string_view bytes)
{
    Document document;
    document.encoding = DetectEncoding(bytes);
    std::u32string chars = Decode(bytes, document.encoding);
    std::u32string &story = document.text;
    story.clear();
    story.reserve(chars.size() + 1);
    std::size_t plain = 0; // start of the run copied as it is
    for (std::size_t i = 0; i < chars.size(); ++i) {
        char32_t c = chars[i];
        if (c != U'\r' && c != U'\n')
            continue;
        story.append(chars, plain, i - plain);
        story += kParagraphMark;
        if (c == U'\r' && i + 1 < chars.size() && chars[i + 1] == U'\n')
            ++i;
        plain = i + 1;
    }
    story.append(chars, plain, std::u32string::npos);
    // The line end that closes the last line is the final mark; a last line without one
    // gets it.
    if (story.empty() || story.back() != kParagraphMark)
        story += kParagraphMark;
    return document;
}

Document DocumentFromStory(std::u32string story, SourceFormat format)
{
    Document document;
    document.format = format;
    document.encoding = TextEncoding::Utf8;
    if (story.empty() || story.back() != kParagraphMark)
        story += kParagraphMark;
    document.text = std::move(story);
    return document;
}

std::string SavePlainText(const Document &document)
{
    std::u32string_view body = document.body();
    std::u32string out;
    out.reserve(body.size() + body.size() / 16 + 2);
    std::size_t plain = 0; // start of the run of characters that are copied as they are
    auto flush = [&](std::size_t to) { out.append(body.data() + plain, to - plain); };
    for (std::size_t i = 0; i < body.size(); ++i) {
        char32_t c = body[i];
        if (c >= 0x20 || (c != kParagraphMark && c != kLineBreak && c != kPageBreak && c != kColumnBreak &&
                          c != kOptionalHyphen && c != kNonbreakingHyphen))
            continue;
        flush(i);
        plain = i + 1;
        if (c == kNonbreakingHyphen)
            out += U'-';
        else if (c != kOptionalHyphen)
            out += U"\r\n";
    }
    flush(body.size());
    if (!body.empty())
        out += U"\r\n";
    return Encode(out, document.encoding);
}

Document OpenDocumentFile(const std::string &path)
{
    std::string bytes = ReadWholeFile(path);
    auto refuse = [&](const std::string &why) {
        return Error(ErrorKind::Io, path, "cannot open '" + path + "': " + why);
    };
    try {
        // Zip members' names stand uncompressed in the archive's directory.
        if (StartsWith(bytes, "PK\x03\x04")) {
            if (bytes.find("word/document.xml") != std::string::npos)
                return DocumentFromStory(ReadDocx(bytes), SourceFormat::Docx);
            if (bytes.find("content.xml") != std::string::npos)
                return DocumentFromStory(ReadOdt(bytes), SourceFormat::Odt);
            throw refuse("a zip archive that is neither a Word nor an OpenDocument text");
        }
        if (StartsWith(bytes, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"))
            return DocumentFromStory(ReadLegacyDoc(bytes), SourceFormat::LegacyDoc);
        if (StartsWith(bytes, "{\\rtf"))
            return DocumentFromStory(ReadRtf(bytes), SourceFormat::Rtf);
    } catch (const FormatError &e) {
        throw refuse(e.what());
    }
    return OpenPlainText(bytes);
}

void SaveDocumentAsText(const Document &document, const std::string &path)
{
    WriteFileSafely(path, SavePlainText(document));
}

} // namespace vexlo::doc
