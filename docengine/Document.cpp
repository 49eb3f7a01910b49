#include "docengine/Document.h"

#include "base/Error.h"
#include "base/SafeWrite.h"
#include "docengine/Readers.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace vexlo::doc {

namespace {

bool StartsWith(std::string_view bytes, std::string_view prefix)
{
    return bytes.substr(0, prefix.size()) == prefix;
}

std::string ReadWholeFile(const std::string &path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw IoError("open", path, errno);
    std::string bytes;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && info.st_size > 0)
        bytes.resize(static_cast<std::size_t>(info.st_size));
    std::size_t have = 0;
    for (;;) {
        if (have == bytes.size())
            bytes.resize(have + (have < 65536 ? 65536 : have)); // grown, or the size was not known
        const ssize_t got = ::read(fd, bytes.data() + have, bytes.size() - have);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            const int error = errno;
            ::close(fd);
            throw IoError("read", path, error);
        }
        if (got == 0)
            break;
        have += static_cast<std::size_t>(got);
    }
    ::close(fd);
    bytes.resize(have);
    return bytes;
}

} // namespace

Document OpenPlainText(std::string_view bytes)
{
    Document document;
    document.encoding = DetectEncoding(bytes);
    // CR, LF and CR LF each become one paragraph mark, in place.
    std::u32string &story = document.text;
    story = Decode(bytes, document.encoding);
    std::size_t kept = 0;
    for (std::size_t i = 0; i < story.size(); ++i) {
        const char32_t c = story[i];
        if (c == U'\n' || (c == U'\r' && (i + 1 == story.size() || story[i + 1] != U'\n')))
            story[kept++] = kParagraphMark;
        else if (c != U'\r')
            story[kept++] = c;
    }
    story.resize(kept);
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

Document DocumentFromStory(std::u32string story, SourceFormat format,
                           std::shared_ptr<const FormatKeeper> keeper)
{
    Document document = DocumentFromStory(std::move(story), format);
    document.keeper = std::move(keeper);
    if (document.keeper)
        document.storyAsRead = document.text;
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
        if (StartsWith(bytes, "PK\x03\x04"))
            return OpenZipDocument(std::move(bytes)); // .docx or .odt, told by the package's members
        if (StartsWith(bytes, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"))
            return DocumentFromStory(ReadLegacyDoc(bytes), SourceFormat::LegacyDoc);
        if (StartsWith(bytes, "{\\rtf"))
            return DocumentFromStory(ReadRtf(bytes), SourceFormat::Rtf);
    } catch (const FormatError &e) {
        throw refuse(e.what());
    }
    return OpenPlainText(bytes);
}

std::string SaveInOwnFormat(const Document &document)
{
    if (!document.keeper)
        throw FormatError("this document's format cannot be written");
    if (document.changedByReplaceAll > 1)
        throw FormatError("a document changed by more than one replace-all cannot be saved in its format");
    return document.keeper->save(document.storyAsRead, document.edits);
}

void SaveDocumentAsText(const Document &document, const std::string &path)
{
    WriteFileSafely(path, SavePlainText(document));
}

} // namespace vexlo::doc
