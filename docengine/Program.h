// A compiled find pattern: a small backtracking program over the characters of a story,
// and the matcher that runs it.
#pragma once

#include <string_view>
#include <vector>

namespace vexlo::doc {

struct CharRange {
    char32_t first, last;
};

/// A set of characters: ranges, possibly negated.
struct CharSet {
    std::vector<CharRange> ranges;
    bool negated = false;
    bool contains(char32_t c) const;
};

struct Instruction {
    enum class Op {
        Char,          // the character `c`
        AnyChar,       // any one character
        Digit,         // 0-9
        Letter,        // any letter
        Set,           // a character of `set`
        Never,         // never matches (items a plain-text document cannot hold)
        Split,         // try `x` first, then `y`
        Jump,          // go on at `x`
        Save,          // remember the position in capture slot `x`
        WordStart,     // between a non-word and a word character
        WordEnd,       // between a word and a non-word character
        WholeWordHead, // when the next character is a word character, the one before is not
        WholeWordTail, // when the last character is a word character, the next one is not
        Match,
    };
    explicit Instruction(Op code = Op::Never, char32_t ch = 0) : op(code), c(ch) {}
    Op op;
    char32_t c = 0;
    int x = 0, y = 0;
    CharSet set;
};

struct Program {
    std::vector<Instruction> code;
    int groups = 0; // numbered groups of a wildcard pattern
};

/// Whether the character at `i` of `text` belongs to a word: letters, digits, "_", and an
/// apostrophe between two letters or digits.
bool IsWordCharAt(std::u32string_view text, std::size_t i);

/// A match: where it starts and ends, and the capture slots (start, end per group; -1 unset).
struct MatchResult {
    std::size_t start = 0, end = 0;
    std::vector<long> captures;
};

/// Runs a program over `subject` (the text characters are compared with) while `text` (the
/// same length, unfolded) decides word boundaries. Matches may only lie in [0, limit).
class Matcher {
  public:
    Matcher(const Program &program, std::u32string_view subject, std::u32string_view text, std::size_t limit);
    /// Finds the leftmost non-empty match starting at or after `from`; false when none.
    bool find(std::size_t from, MatchResult &result);

  private:
    bool matchAt(std::size_t start, MatchResult &result);
    bool visited(int pc, std::size_t pos);
    void forget(std::size_t from, std::size_t to);
    bool step(const Instruction &in, std::size_t pos) const;

    const Program &m_program;
    std::u32string_view m_subject, m_text;
    std::size_t m_limit;
    std::vector<unsigned long long> m_visited; // one bit per (position, instruction)
    struct Entry {
        int pc;   // >= 0: a thread to try; < 0: restore capture slot -pc-1
        long pos; // the position, or the slot's earlier value
    };
    std::vector<Entry> m_stack;
    std::vector<long> m_captures;
    char32_t m_first = 0; // a character every match must start with; 0 when unknown
};

} // namespace vexlo::doc
