#include "targets/SearchMask.h"

namespace vexlo {

const char *const StandardMasks[13] = {
    "*.html", "*.htm", "*.asp", "*.css", "*.jsp", "*.txt", "*.diz",
    "*.pas",  "*.dpr", "*.cpp", "*.c",   "*.h",   "*.*",
};

namespace {

// Only 'a'..'z' fold; bytes above 127 belong to the code page and compare as they are.
inline char foldAscii(char c) noexcept
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - ('a' - 'A')) : c;
}

// Star-and-question-mark match of an already folded pattern against a name. Iterative: on a
// mismatch it goes back to the most recent star and lets that star swallow one more character,
// which is enough because an earlier star can never do better than a later one.
bool wildcardMatch(std::string_view pattern, std::string_view name) noexcept
{
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t starP = std::string_view::npos; // position after the last star seen
    std::size_t starN = 0;                      // name position that star is matched up to
    while (n < name.size()) {
        if (p < pattern.size()) {
            const char pc = pattern[p];
            if (pc == '*') {
                starP = ++p;
                starN = n;
                continue;
            }
            if (pc == '?' || pc == foldAscii(name[n])) {
                ++p;
                ++n;
                continue;
            }
        }
        if (starP == std::string_view::npos)
            return false;
        p = starP;
        n = ++starN;
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

bool hasWildcard(std::string_view s) noexcept
{
    return s.find_first_of("*?") != std::string_view::npos;
}

} // namespace

SearchMask::SearchMask(std::string_view text) : m_text(text.empty() ? "*.*" : text)
{
    m_folded.reserve(m_text.size());
    for (char c : m_text)
        m_folded.push_back(foldAscii(c));
    // Any pattern made of stars only, or "*.*", takes every name.
    m_all = m_folded == "*.*" || m_folded.find_first_not_of('*') == std::string::npos;
}

bool SearchMask::matches(std::string_view name) const
{
    if (m_all)
        return true;
    const std::string_view pattern = m_folded;

    // "*.ext" and every other "*" + plain text: a suffix compare.
    if (pattern.size() > 1 && pattern[0] == '*' && !hasWildcard(pattern.substr(1))) {
        const std::string_view tail = pattern.substr(1);
        if (name.size() < tail.size())
            return false;
        const std::size_t off = name.size() - tail.size();
        for (std::size_t i = 0; i < tail.size(); ++i)
            if (foldAscii(name[off + i]) != tail[i])
                return false;
        return true;
    }

    if (wildcardMatch(pattern, name))
        return true;
    // A trailing ".*" also takes a name without that dot: "readme.*" finds "readme", the way
    // "*.*" finds names without any dot.
    if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*")
        return wildcardMatch(pattern.substr(0, pattern.size() - 2), name);
    return false;
}

} // namespace vexlo
