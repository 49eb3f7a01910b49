#include "docengine/Readers.h"

#include "docengine/Document.h"
#include "docengine/TextCodec.h"

#include <cstdlib>
#include <vector>

namespace vexlo::doc {

namespace {

// Destinations whose content is not part of the main text.
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
        "atnid",
        "atnauthor",
        "private",
    };
    for (const char *name : kSkipped)
        if (word == name)
            return true;
    return false;
}

struct GroupState {
    bool skip = false;
    int unicodeSkip = 1; // characters that follow \uN as a fallback
};

class RtfParser {
  public:
    explicit RtfParser(std::string_view s) : m_s(s) {}

    std::u32string parse()
    {
        std::vector<GroupState> stack{GroupState{}};
        int pendingFallback = 0;
        while (m_i < m_s.size()) {
            char c = m_s[m_i];
            if (c == '{') {
                stack.push_back(stack.back());
                ++m_i;
                pendingFallback = 0;
                continue;
            }
            if (c == '}') {
                if (stack.size() > 1)
                    stack.pop_back();
                ++m_i;
                pendingFallback = 0;
                continue;
            }
            if (c == '\r' || c == '\n') {
                ++m_i;
                continue;
            }
            GroupState &state = stack.back();
            if (c != '\\') {
                ++m_i;
                if (pendingFallback > 0) {
                    --pendingFallback;
                    continue;
                }
                if (!state.skip)
                    m_out += FromWindows1252(static_cast<unsigned char>(c));
                continue;
            }
            ++m_i;
            if (m_i >= m_s.size())
                break;
            char next = m_s[m_i];
            if (next == '\'') {
                // Two hex digits: a byte of the document's code page (Windows-1252 assumed).
                auto value = static_cast<unsigned>(
                    std::strtoul(std::string(m_s.substr(m_i + 1, 2)).c_str(), nullptr, 16));
                m_i += 3;
                if (pendingFallback > 0) {
                    --pendingFallback;
                    continue;
                }
                if (!state.skip)
                    m_out += FromWindows1252(static_cast<unsigned char>(value));
                continue;
            }
            if (!IsLetter(next)) {
                ++m_i;
                controlSymbol(next, state);
                continue;
            }
            std::string word;
            while (m_i < m_s.size() && IsLetter(m_s[m_i]))
                word += m_s[m_i++];
            bool hasParameter = false;
            long parameter = 0;
            std::size_t from = m_i;
            if (m_i < m_s.size() && (m_s[m_i] == '-' || IsDigit(m_s[m_i]))) {
                ++m_i;
                while (m_i < m_s.size() && IsDigit(m_s[m_i]))
                    ++m_i;
                parameter = std::strtol(std::string(m_s.substr(from, m_i - from)).c_str(), nullptr, 10);
                hasParameter = true;
            }
            if (m_i < m_s.size() && m_s[m_i] == ' ')
                ++m_i;
            if (word == "u" && hasParameter) {
                if (!state.skip)
                    m_out += static_cast<char32_t>(parameter < 0 ? parameter + 65536 : parameter);
                pendingFallback = state.unicodeSkip;
                continue;
            }
            if (word == "uc" && hasParameter) {
                state.unicodeSkip = static_cast<int>(parameter);
                continue;
            }
            if (SkippedDestination(word) || m_ignorableNext) {
                state.skip = state.skip || SkippedDestination(word) || m_ignorableNext;
                m_ignorableNext = false;
                if (state.skip)
                    continue;
            }
            if (!state.skip)
                controlWord(word);
        }
        return m_out;
    }

  private:
    static bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
    static bool IsDigit(char c) { return c >= '0' && c <= '9'; }

    void controlSymbol(char c, GroupState &state)
    {
        if (c == '*') {
            m_ignorableNext = true;
            return;
        }
        if (state.skip)
            return;
        switch (c) {
        case '\\':
        case '{':
        case '}':
            m_out += static_cast<char32_t>(c);
            break;
        case '~':
            m_out += U'\u00A0';
            break;
        case '-':
            m_out += kOptionalHyphen;
            break;
        case '_':
            m_out += kNonbreakingHyphen;
            break;
        case '\r':
        case '\n':
            m_out += kParagraphMark;
            break;
        default:
            break;
        }
    }

    void controlWord(const std::string &word)
    {
        struct Mapping {
            const char *word;
            char32_t c;
        };
        static const Mapping kMappings[] = {
            {"par", kParagraphMark},  {"row", kParagraphMark},  {"sect", kPageBreak},  {"page", kPageBreak},
            {"line", kLineBreak},     {"column", kColumnBreak}, {"tab", U'\t'},        {"cell", U'\t'},
            {"emdash", U'\u2014'},    {"endash", U'\u2013'},    {"lquote", U'\u2018'}, {"rquote", U'\u2019'},
            {"ldblquote", U'\u201C'}, {"rdblquote", U'\u201D'}, {"bullet", U'\u2022'}, {"emspace", U'\u2003'},
            {"enspace", U'\u2002'},   {"qmspace", U'\u2005'},   {"zwnj", U'\u200C'},   {"zwj", U'\u200D'},
        };
        for (const Mapping &m : kMappings)
            if (word == m.word) {
                m_out += m.c;
                return;
            }
    }

    std::string_view m_s;
    std::size_t m_i = 0;
    bool m_ignorableNext = false;
    std::u32string m_out;
};

} // namespace

std::u32string ReadRtf(std::string_view bytes)
{
    if (bytes.substr(0, 5) != "{\\rtf")
        throw FormatError("not an RTF document");
    std::u32string story = RtfParser(bytes).parse();
    return story;
}

} // namespace vexlo::doc
