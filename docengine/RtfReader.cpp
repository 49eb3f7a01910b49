// RTF to the main story. Text bytes are read in the code page of their font (\fcharset,
// \cpg) or the document's (\ansicpg); \uN in UTF-16 with surrogate pairs combined. Every
// character remembers the tokens it came from, so that the document can be saved as RTF again.
#include "docengine/CodePages.h"
#include "docengine/Readers.h"
#include "docengine/RtfDocument.h"

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace vexlo::doc {

namespace {

constexpr std::size_t kMaxGroupDepth = 10000;

[[noreturn]] void Unreadable(const std::string &why)
{
    throw FormatError("an RTF document that cannot be read faithfully: " + why);
}

// Destinations whose content is not part of the main story: tables of the document, headers,
// footers, notes, comments, text boxes and shapes, field instructions, pictures, the fallback
// text for readers without nested tables.
bool SkippedDestination(std::string_view word)
{
    static const char *const kSkipped[] = {
        "fonttbl",
        "colortbl",
        "stylesheet",
        "info",
        "pict",
        "object",
        "fldinst",
        "header",
        "footer",
        "headerl",
        "headerr",
        "headerf",
        "footerl",
        "footerr",
        "footerf",
        "footnote",
        "annotation",
        "themedata",
        "colorschememapping",
        "datastore",
        "latentstyles",
        "listtable",
        "listoverridetable",
        // The list number as text, for readers without lists; the number itself is not
        // part of the story.
        "listtext",
        "pntext",
        "rsidtbl",
        "generator",
        "xmlnstbl",
        "mmathPr",
        "filetbl",
        "revtbl",
        "pgdsctbl",
        "bkmkstart",
        "bkmkend",
        "template",
        "nonshppict",
        "shpinst",
        "shprslt",
        "shptxt",
        "atnid",
        "atnauthor",
        "atrfstart",
        "atrfend",
        "atndate",
        "private",
        "nonesttables",
        "nesttableprops",
        "ftnsep",
        "ftnsepc",
        "aftnsep",
        "aftnsepc",
        "ftncn",
        "aftncn",
        "xe",
        "tc",
        "txe",
        "userprops",
        "docvar",
        "do",
    };
    for (const char *name : kSkipped)
        if (word == name)
            return true;
    return false;
}

struct GroupState {
    bool skip = false;      // not part of the main story
    bool deleted = false;   // a tracked deletion
    bool fontTable = false; // inside the font table
    bool nestProps = false; // the properties of a nested table's row (its \nestrow counts)
    int fallback = 1;       // \uc: characters that follow \uN for readers without Unicode
    int font = -1;
};

struct Font {
    int charset = 0, codePage = 0;
};

class RtfParser {
  public:
    explicit RtfParser(std::string_view s) : m_s(s) {}

    void parse()
    {
        std::vector<GroupState> stack;
        while (m_i < m_s.size()) {
            const std::size_t start = m_i;
            const char c = m_s[m_i];
            if (c == '{') {
                endOfText();
                ignorableGroup();
                if (stack.size() >= kMaxGroupDepth)
                    Unreadable("groups nested deeper than " + std::to_string(kMaxGroupDepth));
                stack.push_back(stack.empty() ? GroupState{} : stack.back());
                m_state = &stack.back();
                ++m_i;
                m_fallbackLeft = 0;
                continue;
            }
            if (c == '}') {
                endOfText();
                stack.pop_back();
                if (stack.empty()) {
                    m_textEnd = start; // the root group is closed; what follows is not read
                    break;
                }
                m_state = &stack.back();
                ++m_i;
                m_fallbackLeft = 0;
                continue;
            }
            if (stack.empty())
                Unreadable("text before the first group");
            if (c == '\r' || c == '\n') {
                ++m_i;
                continue;
            }
            if (c != '\\') {
                ++m_i;
                textByte(static_cast<unsigned char>(c), start);
                continue;
            }
            if (m_i + 1 >= m_s.size()) {
                ++m_i;
                break;
            }
            const char next = m_s[m_i + 1];
            if (next == '\'') {
                int value = 0;
                for (std::size_t k = 2; k < 4; ++k) {
                    const char h = m_i + k < m_s.size() ? m_s[m_i + k] : ' ';
                    const int digit = h >= '0' && h <= '9'   ? h - '0'
                                      : h >= 'a' && h <= 'f' ? h - 'a' + 10
                                      : h >= 'A' && h <= 'F' ? h - 'A' + 10
                                                             : -1;
                    if (digit < 0)
                        Unreadable("\\' without two hexadecimal digits");
                    value = value * 16 + digit;
                }
                m_i += 4;
                textByte(static_cast<unsigned char>(value), start);
                continue;
            }
            if (!IsLetter(next)) {
                m_i += 2;
                controlSymbol(next, start);
                continue;
            }
            ++m_i;
            const std::size_t wordStart = m_i;
            while (m_i < m_s.size() && IsLetter(m_s[m_i]) && m_i - wordStart < 32)
                ++m_i;
            const std::string_view word = m_s.substr(wordStart, m_i - wordStart);
            bool hasParameter = false;
            long long parameter = 0;
            if (m_i < m_s.size() && (m_s[m_i] == '-' || IsDigit(m_s[m_i]))) {
                const bool negative = m_s[m_i] == '-';
                if (negative)
                    ++m_i;
                for (int digits = 0; m_i < m_s.size() && IsDigit(m_s[m_i]); ++digits, ++m_i)
                    if (digits < 12)
                        parameter = parameter * 10 + (m_s[m_i] - '0');
                if (negative)
                    parameter = -parameter;
                hasParameter = true;
            }
            if (m_i < m_s.size() && m_s[m_i] == ' ')
                ++m_i;
            controlWord(word, hasParameter, parameter, start);
        }
        endOfText();
        if (m_highSurrogate)
            Unreadable("a \\u high surrogate without its low surrogate");
        if (stack.empty() && m_textEnd == std::string_view::npos)
            Unreadable("no group");
        if (m_textEnd == std::string_view::npos)
            m_textEnd = m_s.size();
    }

    std::u32string m_out;
    std::vector<RtfSource> m_sources;
    std::size_t m_textEnd = std::string_view::npos;

  private:
    static bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
    static bool IsDigit(char c) { return c >= '0' && c <= '9'; }

    // Characters a \uN stands in for are skipped; each token counts as one. True when this
    // token was one of them.
    bool consumedAsFallback()
    {
        if (m_fallbackLeft == 0)
            return false;
        --m_fallbackLeft;
        if (m_fallbackOwner != std::string_view::npos)
            m_sources[m_fallbackOwner].to = m_i;
        return true;
    }

    bool inStory() const { return !m_state->skip && !m_state->deleted; }

    int codePage() const
    {
        auto found = m_fonts.find(m_state->font);
        if (found != m_fonts.end()) {
            if (found->second.codePage > 0)
                return found->second.codePage;
            if (int page = CodePageOfCharset(found->second.charset))
                return page;
        }
        return m_ansiCodePage;
    }

    void emit(char32_t c, std::size_t from)
    {
        if (m_highSurrogate)
            Unreadable("a \\u high surrogate without its low surrogate");
        m_out += c;
        m_sources.push_back(RtfSource{from, m_i, m_state->fallback});
        m_fallbackOwner = std::string_view::npos;
    }

    // "\*" marks the group as a destination this reader may skip; whatever follows it.
    void ignorableGroup()
    {
        if (m_ignorableNext && m_state)
            m_state->skip = true;
        m_ignorableNext = false;
    }

    void textByte(unsigned char byte, std::size_t from)
    {
        ignorableGroup();
        if (consumedAsFallback() || !inStory())
            return;
        if (byte < 0x20 && byte != '\t')
            return; // control bytes are not text in RTF
        const int page = codePage();
        if (!m_pending.empty() && page != m_pendingPage)
            endOfText();
        // ASCII is ASCII in every code page read here (an unknown one is refused only for
        // the bytes it would have to decode).
        if (byte < 0x80 && m_pending.empty() && !m_decoders.knownDoubleByte(page)) {
            emit(byte, from);
            return;
        }
        if (!m_decoders.isDoubleByte(page)) {
            emit(m_decoders.single(page, byte), from);
            return;
        }
        // A double-byte code page: a lead byte waits for its trail byte.
        std::size_t taken = 0;
        if (m_pending.empty() && !IsLeadByte(page, byte)) {
            const char single = static_cast<char>(byte);
            emit(m_decoders.next(page, std::string_view(&single, 1), taken), from);
            return;
        }
        if (m_pending.empty()) {
            m_pending += static_cast<char>(byte);
            m_pendingPage = page;
            m_pendingFrom = from;
            return;
        }
        m_pending += static_cast<char>(byte);
        const char32_t c = m_decoders.next(page, m_pending, taken);
        if (taken != m_pending.size())
            Unreadable("bytes that code page " + std::to_string(page) + " does not map");
        m_pending.clear();
        emit(c, m_pendingFrom);
    }

    static bool IsLeadByte(int page, unsigned char b)
    {
        if (page == 932)
            return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
        return b >= 0x81 && b <= 0xFE;
    }

    // Bytes of a double-byte character must be complete at every token that is not text.
    void endOfText()
    {
        if (!m_pending.empty())
            Unreadable("an incomplete double-byte character in code page " + std::to_string(m_pendingPage));
    }

    void controlSymbol(char c, std::size_t from)
    {
        endOfText();
        if (c == '*') {
            m_ignorableNext = true;
            return;
        }
        ignorableGroup();
        if (consumedAsFallback() || !inStory())
            return;
        switch (c) {
        case '\\':
        case '{':
        case '}':
            emit(static_cast<char32_t>(c), from);
            break;
        case '~':
            emit(U'\u00A0', from);
            break;
        case '-':
            emit(kOptionalHyphen, from);
            break;
        case '_':
            emit(kNonbreakingHyphen, from);
            break;
        case '\r':
        case '\n':
            emit(kParagraphMark, from);
            break;
        default:
            break;
        }
    }

    void unicode(long long value, std::size_t from)
    {
        const int fallback = m_state->fallback;
        if (!inStory()) {
            m_fallbackLeft = fallback;
            m_fallbackOwner = std::string_view::npos;
            return;
        }
        if (value < -32768 || value > 65535)
            Unreadable("\\u" + std::to_string(value) + " is no UTF-16 code unit");
        const char32_t unit = static_cast<char32_t>(value < 0 ? value + 65536 : value);
        if (unit < 0x20 && unit != U'\t')
            Unreadable("\\u" + std::to_string(value) + " is a control character");
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (m_highSurrogate)
                Unreadable("two \\u high surrogates in a row");
            m_highSurrogate = unit;
            m_highFrom = from;
            m_fallbackLeft = fallback;
            m_fallbackOwner = std::string_view::npos;
            return;
        }
        if (unit >= 0xDC00 && unit <= 0xDFFF) {
            if (!m_highSurrogate)
                Unreadable("a \\u low surrogate without its high surrogate");
            const char32_t c = 0x10000 + ((m_highSurrogate - 0xD800) << 10) + (unit - 0xDC00);
            m_highSurrogate = 0;
            emit(c, m_highFrom);
        } else {
            emit(unit, from);
        }
        m_fallbackLeft = fallback;
        m_fallbackOwner = m_sources.size() - 1;
    }

    void controlWord(std::string_view word, bool hasParameter, long long parameter, std::size_t from)
    {
        endOfText();
        GroupState &state = *m_state;
        const int value =
            static_cast<int>(std::max<long long>(-1000000, std::min<long long>(parameter, 1000000)));
        if (word == "bin") {
            // Binary data of a picture or object: never text.
            if (!hasParameter || parameter < 0 ||
                static_cast<unsigned long long>(parameter) > m_s.size() - m_i)
                Unreadable("\\bin data runs past the end of the file");
            m_i += static_cast<std::size_t>(parameter);
            return;
        }
        if (consumedAsFallback())
            return;
        if (m_ignorableNext || SkippedDestination(word)) {
            m_ignorableNext = false;
            state.skip = true;
            if (word == "fonttbl")
                state.fontTable = true;
            if (word == "nesttableprops")
                state.nestProps = true;
            return;
        }
        if (state.fontTable) {
            if (word == "f" && hasParameter)
                m_definedFont = value;
            else if (word == "fcharset" && hasParameter)
                m_fonts[m_definedFont].charset = value;
            else if (word == "cpg" && hasParameter)
                m_fonts[m_definedFont].codePage = value;
            return;
        }
        // A row's cells are counted against its definition: a converter that writes one more
        // \cell than the row defines (seen after nested tables) leaves a cell no reader can
        // place, so the file is refused rather than read with a cell invented.
        if (!state.nestProps && word == "trowd")
            m_rowCellx = 0;
        else if (!state.nestProps && word == "cellx")
            ++m_rowCellx;
        else if (inStory() && !state.deleted && word == "cell")
            ++m_rowCells;
        else if (inStory() && !state.deleted && word == "row") {
            if (m_rowCellx > 0 && m_rowCells > m_rowCellx)
                Unreadable("a table row holds " + std::to_string(m_rowCells) + " cells but defines " +
                           std::to_string(m_rowCellx));
            m_rowCells = 0;
        }
        if (word == "ansicpg" && hasParameter)
            m_ansiCodePage = value;
        else if (word == "ansi")
            m_ansiCodePage = 1252;
        else if (word == "mac")
            m_ansiCodePage = 10000;
        else if (word == "pc")
            m_ansiCodePage = 437;
        else if (word == "pca")
            m_ansiCodePage = 850;
        else if (word == "deff" && hasParameter)
            m_defaultFont = state.font = value;
        else if (word == "f" && hasParameter)
            state.font = value;
        else if (word == "plain")
            state.font = m_defaultFont, state.deleted = false;
        else if (word == "deleted")
            state.deleted = !hasParameter || parameter != 0;
        else if (word == "uc" && hasParameter)
            state.fallback = std::max(0, std::min(value, 64));
        else if (word == "u" && hasParameter)
            unicode(parameter, from);
        else if (word == "nestrow" && state.nestProps && !state.deleted)
            emit(kCellMark, from);
        else if (inStory())
            mapped(word, from);
    }

    void mapped(std::string_view word, std::size_t from)
    {
        struct Mapping {
            const char *word;
            char32_t c;
        };
        static const Mapping kMappings[] = {
            {"par", kParagraphMark},  {"sect", kPageBreak},     {"page", kPageBreak},
            {"line", kLineBreak},     {"column", kColumnBreak}, {"tab", U'\t'},
            {"cell", kCellMark},      {"row", kCellMark},       {"nestcell", kCellMark},
            {"nestrow", kCellMark},   {"emdash", U'\u2014'},    {"endash", U'\u2013'},
            {"lquote", U'\u2018'},    {"rquote", U'\u2019'},    {"ldblquote", U'\u201C'},
            {"rdblquote", U'\u201D'}, {"bullet", U'\u2022'},    {"emspace", U'\u2003'},
            {"enspace", U'\u2002'},   {"qmspace", U'\u2005'},   {"zwnj", U'\u200C'},
            {"zwj", U'\u200D'},       {"ltrmark", U'\u200E'},   {"rtlmark", U'\u200F'},
        };
        for (const Mapping &m : kMappings)
            if (word == m.word) {
                emit(m.c, from);
                return;
            }
    }

    std::string_view m_s;
    std::size_t m_i = 0;
    GroupState *m_state = nullptr;
    bool m_ignorableNext = false;
    int m_fallbackLeft = 0;
    std::size_t m_fallbackOwner = std::string_view::npos; // the character the fallback belongs to
    char32_t m_highSurrogate = 0;
    std::size_t m_highFrom = 0;
    int m_ansiCodePage = 1252, m_defaultFont = -1, m_definedFont = -1;
    std::map<int, Font> m_fonts;
    CodePageDecoders m_decoders;
    std::string m_pending; // bytes of an incomplete double-byte character
    std::size_t m_pendingFrom = 0;
    int m_pendingPage = 0;
    int m_rowCellx = 0, m_rowCells = 0; // \cellx of the row definition, \cell since the last \row
};

} // namespace

RtfStory ReadRtfDocument(std::string_view bytes)
{
    if (bytes.substr(0, 5) != "{\\rtf")
        throw FormatError("not an RTF document");
    RtfParser parser(bytes);
    parser.parse();
    RtfStory result;
    result.keeper = MakeRtfKeeper(std::string(bytes), std::move(parser.m_sources), parser.m_textEnd);
    result.story = std::move(parser.m_out);
    return result;
}

std::u32string ReadRtf(std::string_view bytes)
{
    return ReadRtfDocument(bytes).story;
}

} // namespace vexlo::doc
