#include "docengine/Document.h"

#include "base/Error.h"
#include "base/ReadFile.h"
#include "base/SafeWrite.h"
#include "docengine/Readers.h"
#include "docengine/RtfDocument.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vexlo::doc {

namespace {

bool StartsWith(std::string_view bytes, std::string_view prefix)
{
    return bytes.substr(0, prefix.size()) == prefix;
}

// The bytes a UTF-32 text begins with: its NUL bytes make it a binary file to this engine.
bool StartsUtf32(std::string_view bytes)
{
    return StartsWith(bytes, std::string_view("\xFF\xFE\0\0", 4)) ||
           StartsWith(bytes, std::string_view("\0\0\xFE\xFF", 4));
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

void WritePlainText(const Document &document, const std::function<void(std::string_view)> &sink)
{
    // In pieces, so that a large document is never held twice more as characters and bytes.
    constexpr std::size_t kPiece = std::size_t(1) << 20;
    std::u32string_view body = document.body();
    std::u32string out;
    out.reserve(std::min(body.size(), kPiece) + std::min(body.size(), kPiece) / 16 + 2);
    bool first = true;
    auto emit = [&] {
        std::string bytes = Encode(out, document.encoding);
        out.clear();
        std::string_view piece = bytes;
        // The byte-order mark goes before the first piece only.
        if (!first && document.encoding == TextEncoding::Utf8Bom)
            piece.remove_prefix(std::min<std::size_t>(3, piece.size()));
        else if (!first && (document.encoding == TextEncoding::Utf16LeBom ||
                            document.encoding == TextEncoding::Utf16BeBom))
            piece.remove_prefix(std::min<std::size_t>(2, piece.size()));
        first = false;
        if (!piece.empty())
            sink(piece);
    };
    // Tables are written as the word processor's text save writes them: a cell's end becomes a
    // tab and a row's end CR LF, the last cell of a row giving nothing before it ("a\ab\a\a"
    // gives "a\tb\r\n"). Both marks are the same character, so a mark directly after a cell
    // mark is taken for a row end, and any other mark for a cell end: "a\a\a\a" reads as the
    // row "a" followed by an empty cell, not as two empty cells after "a". A cell's tab is
    // held back until the next character shows which it was.
    bool cellPending = false;
    for (std::size_t from = 0; from < body.size(); from += kPiece) {
        const std::u32string_view part = body.substr(from, kPiece);
        std::size_t plain = 0; // start of the run of characters that are copied as they are
        auto flush = [&](std::size_t to) { out.append(part.data() + plain, to - plain); };
        for (std::size_t i = 0; i < part.size(); ++i) {
            char32_t c = part[i];
            if (cellPending) {
                cellPending = false;
                if (c == kRowMark) {
                    plain = i + 1;
                    out += U"\r\n";
                    continue;
                }
                out += U'\t';
            }
            if (c >= 0x20 ||
                (c != kParagraphMark && c != kLineBreak && c != kPageBreak && c != kColumnBreak &&
                 c != kOptionalHyphen && c != kNonbreakingHyphen && c != kCellMark))
                continue;
            flush(i);
            plain = i + 1;
            if (c == kCellMark)
                cellPending = true;
            else if (c == kNonbreakingHyphen)
                out += U'-';
            else if (c != kOptionalHyphen)
                out += U"\r\n";
        }
        flush(part.size());
        if (from + kPiece >= body.size()) {
            if (cellPending) // a cell left open before the final mark
                out += U'\t';
            out += U"\r\n"; // the final paragraph mark
        }
        emit();
    }
    if (first)
        emit(); // an empty document: only the byte-order mark, if its encoding has one
}

std::string SavePlainText(const Document &document)
{
    std::string bytes;
    WritePlainText(document, [&](std::string_view piece) { bytes += piece; });
    return bytes;
}

bool HoldsBinaryContent(std::string_view bytes)
{
    // Documents this engine reads for what they are: zip packages (.docx, .odt), the legacy
    // compound file (.doc), text with a UTF-16 byte-order mark. Anything else is read as
    // 8-bit text, and a NUL byte there means it is not text.
    if (StartsWith(bytes, "PK\x03\x04") || StartsWith(bytes, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"))
        return false;
    if ((StartsWith(bytes, "\xFF\xFE") || StartsWith(bytes, "\xFE\xFF")) && !StartsUtf32(bytes))
        return false;
    return std::memchr(bytes.data(), 0, bytes.size()) != nullptr;
}

std::size_t DocumentCap(std::string_view head)
{
    return StartsWith(head, "PK\x03\x04") ? kMaxPackageBytes : kMaxTextDocumentBytes;
}

Error OverDocumentCap(const std::string &path, std::size_t cap)
{
    return Error(
        ErrorKind::Io, path,
        "cannot open '" + EscapeControls(path) + "': it is larger than " + std::to_string(cap >> 20) +
            " MB, the most the office engine reads of such a file (the text engine has no such limit)");
}

std::string ReadForOpening(FileReplacement &file)
{
    // The first bytes tell the cap; they are looked at without moving the read position, so
    // the whole content is then read as the write unit reads it.
    char head[4];
    ssize_t got = 0;
    if (file.sourceDescriptor() >= 0) {
        do
            got = ::pread(file.sourceDescriptor(), head, sizeof head, 0);
        while (got < 0 && errno == EINTR);
        if (got < 0)
            throw IoError("read", file.path(), errno);
    }
    const std::size_t cap = DocumentCap(std::string_view(head, static_cast<std::size_t>(got)));
    try {
        return file.readAll(cap); // refused before reading when the size as opened is over it
    } catch (const FileTooLarge &) {
        throw OverDocumentCap(file.path(), cap);
    }
}

Document OpenDocumentFile(const std::string &path)
{
    ReplaceOptions options;
    options.readOnly = true;
    FileReplacement file(path, options);
    return OpenDocumentContent(ReadForOpening(file), path);
}

Document OpenDocumentContent(std::string bytes, const std::string &path)
{
    auto refuse = [&](const std::string &why) {
        return Error(ErrorKind::Io, path, "cannot open '" + path + "': " + why);
    };
    try {
        if (StartsWith(bytes, "PK\x03\x04"))
            return OpenZipDocument(std::move(bytes)); // .docx or .odt, told by the package's members
        if (StartsWith(bytes, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"))
            return DocumentFromStory(ReadLegacyDoc(bytes), SourceFormat::LegacyDoc);
        if (StartsWith(bytes, "{\\rtf")) {
            RtfStory rtf = ReadRtfDocument(bytes);
            return DocumentFromStory(std::move(rtf.story), SourceFormat::Rtf, std::move(rtf.keeper));
        }
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
