#include "docengine/Program.h"

#include <unicode/uchar.h>

#include <algorithm>

namespace vexlo::doc {

namespace {

bool IsAlnum(char32_t c)
{
    if (c < 0x80)
        return c == U'_' || (c >= U'0' && c <= U'9') || ((c | 0x20) >= U'a' && (c | 0x20) <= U'z');
    return u_isalnum(static_cast<UChar32>(c));
}

bool IsApostrophe(char32_t c)
{
    return c == U'\'' || c == U'\u2019';
}

// Positions per block of remembered states.
constexpr std::size_t kBlockShift = 10;
constexpr std::size_t kBlockPositions = std::size_t(1) << kBlockShift;

} // namespace

bool IsCombiningMark(char32_t c)
{
    return c >= 0x300 && (U_GET_GC_MASK(static_cast<UChar32>(c)) & U_GC_M_MASK) != 0;
}

bool CharSet::contains(char32_t c) const
{
    bool in = false;
    for (const CharRange &r : ranges)
        if (c >= r.first && c <= r.last) {
            in = true;
            break;
        }
    return in != negated;
}

bool WordView::charAt(std::size_t i, char32_t &c) const
{
    if (i >= m_edge) {
        if (i >= m_text.size())
            return false;
        c = m_text[i];
        return true;
    }
    std::size_t back = m_edge - i;
    if (back > m_before.size())
        return false;
    c = m_before[m_before.size() - back];
    return true;
}

bool WordView::alnumAt(std::size_t i) const
{
    char32_t c;
    for (std::size_t marks = 0;; ++marks) {
        if (!charAt(i, c))
            return false;
        if (!IsCombiningMark(c))
            return IsAlnum(c);
        if (i == 0 || marks >= kMostMarks)
            return false;
        --i;
    }
}

bool WordView::isWordChar(std::size_t i) const
{
    char32_t c;
    if (!charAt(i, c))
        return false;
    if (IsAlnum(c))
        return true;
    // A mark takes the part of the character it belongs to.
    for (std::size_t marks = 0; IsCombiningMark(c); ++marks) {
        if (i == 0 || marks >= kMostMarks || !charAt(i - 1, c))
            return false;
        --i;
    }
    if (IsAlnum(c))
        return true;
    if (!IsApostrophe(c) || i == 0)
        return false;
    char32_t next;
    return alnumAt(i - 1) && charAt(i + 1, next) && IsAlnum(next);
}

bool IsWordCharAt(std::u32string_view text, std::size_t i)
{
    return WordView(text).isWordChar(i);
}

LiteralSearch::LiteralSearch(std::u32string_view needle, std::u32string_view haystack, std::size_t limit)
    : m_needle(needle), m_hay(haystack), m_limit(std::min(limit, haystack.size())), m_fail(needle.size(), 0)
{
    for (std::size_t i = 1, k = 0; i < m_needle.size(); ++i) {
        while (k > 0 && m_needle[i] != m_needle[k])
            k = m_fail[k - 1];
        if (m_needle[i] == m_needle[k])
            ++k;
        m_fail[i] = k;
    }
}

std::size_t LiteralSearch::next(std::size_t from)
{
    const std::size_t m = m_needle.size();
    if (m == 0)
        return kUnbounded;
    if (from < m_from || from > m_i) { // going back starts over; a jump ahead drops the partial match
        m_i = from;
        m_k = 0;
    }
    m_from = from;
    while (m_k > 0 && m_i - m_k < from)
        m_k = m_fail[m_k - 1];
    const char32_t first = m_needle[0];
    for (;;) {
        if (m_k == m)
            return m_i - m;
        if (m_k == 0) { // skip to the next candidate first character
            while (m_i < m_limit && m_hay[m_i] != first)
                ++m_i;
        }
        if (m_i >= m_limit)
            return kUnbounded;
        char32_t c = m_hay[m_i];
        while (m_k > 0 && c != m_needle[m_k])
            m_k = m_fail[m_k - 1];
        if (c == m_needle[m_k])
            ++m_k;
        ++m_i;
    }
}

Matcher::Matcher(const Program &program, std::u32string_view subject, std::u32string_view text,
                 std::size_t limit)
    : m_program(program), m_subject(subject), m_text(text), m_limit(limit), m_view(text)
{
    using Op = Instruction::Op;
    const auto &code = program.code;
    m_captures.assign(2 * program.groups, -1);

    // A plain text with zero-width tests only is found by a literal search alone.
    std::u32string chars;
    m_literal = true;
    for (const Instruction &in : code) {
        if (in.op == Op::Match)
            break;
        if (in.op == Op::Char)
            chars += in.c;
        else if (in.op == Op::Save || in.op == Op::WordStart || in.op == Op::WordEnd ||
                 in.op == Op::WholeWordHead || in.op == Op::WholeWordTail)
            m_checks.push_back({in.op, chars.size(), in.x});
        else
            m_literal = false;
    }
    if (m_literal && !chars.empty()) {
        m_literalLength = chars.size();
        m_required = std::make_unique<LiteralSearch>(chars, subject, limit);
        return;
    }
    m_literal = false;
    m_checks.clear();
    chooseRequired();

    // States are remembered only where paths join (a branch target or a loop's head): every
    // other state has one way in, so it is reached no more often than the state before it.
    std::vector<int> ways(code.size(), 0);
    ways[0] = 1;
    for (std::size_t pc = 0; pc < code.size(); ++pc) {
        const Instruction &in = code[pc];
        if (in.op == Op::Split) {
            ++ways[in.x];
            ++ways[in.y];
        } else if (in.op == Op::Jump) {
            ++ways[in.x];
        } else if (in.op != Op::Never && in.op != Op::Match && pc + 1 < code.size()) {
            ++ways[pc + 1];
        }
    }
    m_join.assign(code.size(), -1);
    for (std::size_t pc = 0; pc < code.size(); ++pc)
        if (ways[pc] >= 2)
            m_join[pc] = static_cast<int>(m_joins++);
    m_blocks.resize((limit >> kBlockShift) + 1);
}

Matcher::~Matcher() = default;

// Of the runs every match holds, the one whose rarest character is rarest in the story
// leaves the fewest starts to try.
void Matcher::chooseRequired()
{
    const auto &runs = m_program.required;
    if (runs.empty())
        return;
    std::size_t best = 0;
    if (runs.size() > 1) {
        std::vector<std::size_t> seen(256, 0); // by the low byte: a cheap estimate
        for (std::size_t i = 0; i < m_limit; ++i)
            ++seen[m_subject[i] & 0xFF];
        auto score = [&](const RequiredText &run) {
            std::size_t least = kUnbounded;
            for (char32_t c : run.text)
                least = std::min(least, seen[c & 0xFF]);
            return least;
        };
        for (std::size_t k = 1; k < runs.size(); ++k) {
            std::size_t a = score(runs[k]), b = score(runs[best]);
            if (a < b || (a == b && runs[k].text.size() > runs[best].text.size()))
                best = k;
        }
    }
    m_needed = runs[best];
    m_required = std::make_unique<LiteralSearch>(m_needed.text, m_subject, m_limit);
}

bool Matcher::visited(int pc, std::size_t pos)
{
    int join = m_join[pc];
    if (join < 0)
        return false;
    auto &block = m_blocks[pos >> kBlockShift];
    if (!block) {
        std::size_t words = (kBlockPositions * m_joins + 63) / 64;
        block = std::make_unique<std::uint64_t[]>(words); // zeroed
    }
    std::size_t bit = (pos & (kBlockPositions - 1)) * m_joins + static_cast<std::size_t>(join);
    std::uint64_t mask = std::uint64_t(1) << (bit % 64);
    std::uint64_t &word = block[bit / 64];
    if (word & mask)
        return true;
    word |= mask;
    return false;
}

// Drops what is remembered of the positions [from, to]: a success's own path, and states
// whose word tests may see a replacement made since.
void Matcher::forget(std::size_t from, std::size_t to)
{
    for (std::size_t pos = from; pos <= to; ++pos) {
        auto &block = m_blocks[pos >> kBlockShift];
        if (!block)
            continue;
        std::size_t first = (pos & (kBlockPositions - 1)) * m_joins;
        for (std::size_t bit = first; bit < first + m_joins; ++bit)
            block[bit / 64] &= ~(std::uint64_t(1) << (bit % 64));
    }
}

// A search never comes back before its start: the blocks there are freed.
void Matcher::release(std::size_t below)
{
    std::size_t upto = below >> kBlockShift;
    for (; m_released < upto; ++m_released)
        m_blocks[m_released].reset();
}

bool Matcher::step(const Instruction &in, std::size_t pos) const
{
    if (pos >= m_limit)
        return false;
    char32_t c = m_subject[pos];
    switch (in.op) {
    case Instruction::Op::Char:
        return c == in.c;
    case Instruction::Op::AnyChar:
        return true;
    case Instruction::Op::Digit:
        return c >= U'0' && c <= U'9';
    case Instruction::Op::Letter:
        return u_isalpha(static_cast<UChar32>(c));
    case Instruction::Op::Set:
        return in.set.contains(c);
    default:
        return false;
    }
}

bool Matcher::zeroWidth(Instruction::Op op, std::size_t pos) const
{
    using Op = Instruction::Op;
    auto word = [&](std::size_t i) { return m_view.isWordChar(i); };
    switch (op) {
    case Op::WordStart:
        return word(pos) && !(pos > 0 && word(pos - 1));
    case Op::WordEnd:
        return pos > 0 && word(pos - 1) && !word(pos);
    case Op::WholeWordHead:
        return pos == 0 || !word(pos) || !word(pos - 1);
    case Op::WholeWordTail:
        return pos == 0 || !word(pos - 1) || !word(pos);
    default:
        return true;
    }
}

bool Matcher::find(std::size_t from, MatchResult &result)
{
    m_view.setEdge(0, {});
    return m_literal ? findLiteral(from, result) : findProgram(from, result);
}

bool Matcher::find(std::size_t from, MatchResult &result, std::u32string_view before)
{
    m_view.setEdge(from, before);
    return m_literal ? findLiteral(from, result) : findProgram(from, result);
}

bool Matcher::findLiteral(std::size_t from, MatchResult &result)
{
    for (std::size_t start = from; start < m_limit; ++start) {
        std::size_t at = m_required->next(start);
        if (at == kUnbounded)
            return false;
        std::fill(m_captures.begin(), m_captures.end(), -1);
        bool ok = true;
        for (const Check &check : m_checks) {
            ++m_steps;
            std::size_t pos = at + check.offset;
            if (check.op == Instruction::Op::Save)
                m_captures[check.slot] = static_cast<long>(pos);
            else if (!zeroWidth(check.op, pos)) {
                ok = false;
                break;
            }
        }
        if (ok) {
            result.start = at;
            result.end = at + m_literalLength;
            result.captures = m_captures;
            return true;
        }
        start = at;
    }
    return false;
}

bool Matcher::findProgram(std::size_t from, MatchResult &result)
{
    if (from < m_lastStart) { // a search from further back: nothing remembered holds
        for (auto &block : m_blocks)
            block.reset();
        m_released = 0;
    }
    m_lastStart = from;
    forget(from, std::min(m_limit, from + WordView::kLookBehind));
    const RequiredText &required = m_needed;
    for (std::size_t start = from; start < m_limit; ++start) {
        if (m_required) {
            if (required.minOffset >= m_limit - start)
                return false;
            std::size_t at = m_required->next(start + required.minOffset);
            if (at == kUnbounded)
                return false;
            if (required.maxOffset != kUnbounded && at - start > required.maxOffset)
                start = at - required.maxOffset;
        }
        release(start);
        m_lastStart = start;
        if (matchAt(start, result))
            return true;
    }
    return false;
}

bool Matcher::matchAt(std::size_t start, MatchResult &result)
{
    using Op = Instruction::Op;
    const auto &code = m_program.code;
    std::fill(m_captures.begin(), m_captures.end(), -1);
    m_stack.clear();
    m_stack.push_back({0, static_cast<long>(start)});
    while (!m_stack.empty()) {
        Entry e = m_stack.back();
        m_stack.pop_back();
        if (e.pc < 0) {
            m_captures[-e.pc - 1] = e.pos;
            continue;
        }
        int pc = e.pc;
        auto pos = static_cast<std::size_t>(e.pos);
        for (;;) {
            ++m_steps;
            if (visited(pc, pos))
                break;
            const Instruction &in = code[pc];
            bool ok = true;
            switch (in.op) {
            case Op::Char:
            case Op::AnyChar:
            case Op::Digit:
            case Op::Letter:
            case Op::Set:
                ok = step(in, pos);
                ++pos;
                ++pc;
                break;
            case Op::Never:
                ok = false;
                break;
            case Op::Split:
                m_stack.push_back({in.y, static_cast<long>(pos)});
                pc = in.x;
                break;
            case Op::Jump:
                pc = in.x;
                break;
            case Op::Save:
                m_stack.push_back({-in.x - 1, m_captures[in.x]});
                m_captures[in.x] = static_cast<long>(pos);
                ++pc;
                break;
            case Op::WordStart:
            case Op::WordEnd:
            case Op::WholeWordHead:
            case Op::WholeWordTail:
                ok = zeroWidth(in.op, pos);
                ++pc;
                break;
            case Op::Match:
                if (pos > start) {
                    result.start = start;
                    result.end = pos;
                    result.captures = m_captures;
                    return true;
                }
                ok = false;
                break;
            }
            if (!ok)
                break;
        }
    }
    return false;
}

} // namespace vexlo::doc
