// Saving an RTF document with the replacements made inside its token stream: the tokens of
// the replaced characters go, the replacement stands where the first of them stood (so it
// takes that character's formatting), and every other byte of the file stays as it was.
#include "docengine/Readers.h"
#include "docengine/RtfDocument.h"

#include <string>

namespace vexlo::doc {

namespace {

bool IsLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Whether `out` ends with a control word that has no delimiter, such as "\b" or "\fs24".
bool EndsWithBareControlWord(std::string_view out)
{
    std::size_t i = out.size();
    while (i > 0 && (IsDigit(out[i - 1]) || out[i - 1] == '-'))
        --i;
    const std::size_t letters = i;
    while (i > 0 && IsLetter(out[i - 1]))
        --i;
    if (i == letters || i == 0 || out[i - 1] != '\\')
        return false;
    // The backslash starts a control word unless it is itself escaped.
    std::size_t backslashes = 0;
    for (std::size_t k = i; k > 0 && out[k - 1] == '\\'; --k)
        ++backslashes;
    return backslashes % 2 == 1;
}

// Appends `piece`, separating it from a control word it would otherwise run into.
void Splice(std::string &out, std::string_view piece)
{
    if (piece.empty())
        return;
    const char first = piece.front();
    if ((IsLetter(first) || IsDigit(first) || first == ' ' || first == '-') && EndsWithBareControlWord(out))
        out += ' ';
    out += piece;
}

// The replacement as RTF text: structure characters as their control words, everything
// outside ASCII as \uN with `fallback` question marks for readers without Unicode.
std::string Encode(std::u32string_view text, int fallback)
{
    std::string out;
    auto unit = [&](long value) {
        out += "\\u" + std::to_string(value > 32767 ? value - 65536 : value);
        out.append(static_cast<std::size_t>(fallback), '?');
    };
    for (char32_t c : text) {
        switch (c) {
        case kParagraphMark:
            out += "\\par ";
            continue;
        case U'\t':
            out += "\\tab ";
            continue;
        case kLineBreak:
            out += "\\line ";
            continue;
        case kPageBreak:
            out += "\\page ";
            continue;
        case kColumnBreak:
            out += "\\column ";
            continue;
        case kNonbreakingHyphen:
            out += "\\_";
            continue;
        case kOptionalHyphen:
            out += "\\-";
            continue;
        case U'\u00A0':
            out += "\\~";
            continue;
        case U'\\':
        case U'{':
        case U'}':
            out += '\\';
            out += static_cast<char>(c);
            continue;
        default:
            break;
        }
        if (c < 0x20 || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF)
            throw FormatError("a replacement holds a character that cannot be written in RTF");
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x10000) {
            unit(static_cast<long>(c));
        } else {
            unit(static_cast<long>(0xD800 + ((c - 0x10000) >> 10)));
            unit(static_cast<long>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        }
    }
    return out;
}

class RtfKeeper final : public FormatKeeper {
  public:
    RtfKeeper(std::string bytes, std::vector<RtfSource> sources, std::size_t textEnd)
        : m_bytes(std::move(bytes)), m_sources(std::move(sources)), m_textEnd(textEnd)
    {
    }

    std::string save(std::u32string_view story, const std::vector<StoryEdit> &edits) const override
    {
        // The story as read: one source per character, and perhaps a final paragraph mark the
        // file does not have.
        if (story.size() != m_sources.size() && story.size() != m_sources.size() + 1)
            throw FormatError("the story does not belong to this RTF document");
        std::string out;
        out.reserve(m_bytes.size() + 64 * edits.size());
        std::size_t kept = 0; // bytes before this are in `out`
        std::size_t previousEnd = 0;
        for (const StoryEdit &edit : edits) {
            if (edit.start < previousEnd || edit.end < edit.start || edit.end > m_sources.size())
                throw FormatError("replacements out of order or past the end of the RTF text");
            previousEnd = edit.end;
            for (std::size_t k = edit.start; k < edit.end; ++k)
                if (story[k] == kCellMark)
                    throw FormatError("a replacement across the end of a table cell cannot be saved as RTF");
            if (edit.text.find(kCellMark) != std::u32string::npos)
                throw FormatError("a replacement that ends a table cell cannot be saved as RTF");
            const bool atEnd = edit.start == m_sources.size();
            const std::size_t insertAt = atEnd ? m_textEnd : m_sources[edit.start].from;
            const int fallback = atEnd ? 1 : m_sources[edit.start].fallback;
            Splice(out, std::string_view(m_bytes).substr(kept, insertAt - kept));
            Splice(out, Encode(edit.text, fallback));
            kept = insertAt;
            // The tokens of the replaced characters go; whatever lies between them (formatting,
            // group ends, tracked deletions) stays.
            for (std::size_t k = edit.start; k < edit.end; ++k) {
                Splice(out, std::string_view(m_bytes).substr(kept, m_sources[k].from - kept));
                kept = m_sources[k].to;
            }
        }
        Splice(out, std::string_view(m_bytes).substr(kept));
        return out;
    }

  private:
    std::string m_bytes;
    std::vector<RtfSource> m_sources;
    std::size_t m_textEnd;
};

} // namespace

std::shared_ptr<const FormatKeeper> MakeRtfKeeper(std::string bytes, std::vector<RtfSource> sources,
                                                  std::size_t textEnd)
{
    return std::make_shared<RtfKeeper>(std::move(bytes), std::move(sources), textEnd);
}

} // namespace vexlo::doc
