// A compiled find pattern: a small backtracking program over the characters of a story,
// and the matcher that runs it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
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

inline constexpr std::size_t kUnbounded = static_cast<std::size_t>(-1);

/// A run of plain characters every match holds, and how far from the match's start it may
/// begin; it lets the search skip stretches of the story where no match can start.
struct RequiredText {
    std::u32string text; // empty: nothing is known
    std::size_t minOffset = 0;
    std::size_t maxOffset = 0; // kUnbounded: anywhere from minOffset on
};

struct Program {
    std::vector<Instruction> code;
    int groups = 0;                     // numbered groups of a wildcard pattern
    std::vector<RequiredText> required; // every run of plain characters all matches hold
};

/// Whether `c` is a combining mark: it belongs to the character before it.
bool IsCombiningMark(char32_t c);

/// How many combining marks in a row are followed back to the character they belong to; a
/// longer run (more than stream-safe Unicode text holds) counts as non-word characters.
inline constexpr std::size_t kMostMarks = 30;

/// Whether the character at `i` of `text` belongs to a word: letters, digits, "_", an
/// apostrophe between two letters or digits, and a combining mark after a word character.
bool IsWordCharAt(std::u32string_view text, std::size_t i);

/// The story as a replace-all has edited it so far, for the word tests: left of `edge` lie
/// the last characters of `before` (the text already written, replacements included); from
/// `edge` on the story as read.
class WordView {
  public:
    explicit WordView(std::u32string_view text) : m_text(text) {}
    void setEdge(std::size_t edge, std::u32string_view before)
    {
        m_edge = edge;
        m_before = before;
    }
    /// Whether the character at `i` (story coordinates) belongs to a word; false outside.
    bool isWordChar(std::size_t i) const;
    /// How far left of a position a word test may look.
    static constexpr std::size_t kLookBehind = 2 * kMostMarks + 4;

  private:
    bool charAt(std::size_t i, char32_t &c) const;
    bool alnumAt(std::size_t i) const; // a letter, digit or "_", or a mark on one

    std::u32string_view m_text, m_before;
    std::size_t m_edge = 0;
};

/// The occurrences of a fixed text, found left to right in linear time whatever the text.
class LiteralSearch {
  public:
    LiteralSearch(std::u32string_view needle, std::u32string_view haystack, std::size_t limit);
    /// The first occurrence lying in [from, limit); kUnbounded when there is none. Calls with
    /// a growing `from` scan each character once.
    std::size_t next(std::size_t from);

  private:
    std::u32string m_needle;
    std::u32string_view m_hay;
    std::size_t m_limit;
    std::vector<std::size_t> m_fail; // the longest proper border of each prefix
    std::size_t m_i = 0, m_k = 0;    // scanned up to m_i, the last m_k characters matched
    std::size_t m_from = 0;
};

/// A match: where it starts and ends, and the capture slots (start, end per group; -1 unset).
struct MatchResult {
    std::size_t start = 0, end = 0;
    std::vector<long> captures;
};

/// Runs a program over `subject` (the text characters are compared with) while `text` (the
/// same length, unfolded) decides word boundaries. Matches may only lie in [0, limit).
/// A plain text is found with a literal search; otherwise a backtracking search remembers
/// the states that failed at branch targets, so no state is explored twice over a whole
/// replace-all, and a required run of plain characters skips starts that cannot match.
class Matcher {
  public:
    Matcher(const Program &program, std::u32string_view subject, std::u32string_view text, std::size_t limit);
    ~Matcher();
    /// Finds the leftmost non-empty match starting at or after `from`; false when none.
    /// `before` is the story left of `from` as edited so far (the word tests look at it);
    /// without it, the story as read. Calls are made with `from` at or after the end of the
    /// previous match.
    bool find(std::size_t from, MatchResult &result);
    bool find(std::size_t from, MatchResult &result, std::u32string_view before);
    /// The states and tests the search has gone through so far: its cost, apart from the
    /// literal scans, which look at each character once.
    std::size_t steps() const { return m_steps; }

  private:
    struct Check { // a zero-width test of a plain text, at an offset from the match's start
        Instruction::Op op;
        std::size_t offset;
        int slot;
    };
    void chooseRequired();
    bool findLiteral(std::size_t from, MatchResult &result);
    bool findProgram(std::size_t from, MatchResult &result);
    bool matchAt(std::size_t start, MatchResult &result);
    bool visited(int pc, std::size_t pos);
    void forget(std::size_t from, std::size_t to);
    void release(std::size_t below);
    bool step(const Instruction &in, std::size_t pos) const;
    bool zeroWidth(Instruction::Op op, std::size_t pos) const;

    const Program &m_program;
    std::u32string_view m_subject, m_text;
    std::size_t m_limit;
    WordView m_view;
    RequiredText m_needed; // the required run the search skips ahead to
    std::unique_ptr<LiteralSearch> m_required;
    bool m_literal = false; // the program is plain characters and zero-width tests only
    std::vector<Check> m_checks;
    std::size_t m_literalLength = 0;

    // Remembered states: one bit per position and branch target, in blocks of positions
    // made when first touched and dropped once the search has passed them.
    std::vector<int> m_join; // the branch-target index of each instruction, or -1
    std::size_t m_joins = 0;
    std::vector<std::unique_ptr<std::uint64_t[]>> m_blocks;
    std::size_t m_released = 0; // blocks below this are gone
    std::size_t m_lastStart = 0;

    struct Entry {
        int pc;   // >= 0: a thread to try; < 0: restore capture slot -pc-1
        long pos; // the position, or the slot's earlier value
    };
    std::vector<Entry> m_stack;
    std::vector<long> m_captures;
    std::size_t m_steps = 0;
};

} // namespace vexlo::doc
