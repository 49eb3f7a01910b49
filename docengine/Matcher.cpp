#include "docengine/Program.h"

#include <unicode/uchar.h>

#include <stdexcept>

namespace vexlo::doc {

namespace {

bool IsAlnum(char32_t c)
{
    return c == U'_' || u_isalnum(static_cast<UChar32>(c));
}

} // namespace

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

bool IsWordCharAt(std::u32string_view text, std::size_t i)
{
    if (i >= text.size())
        return false;
    char32_t c = text[i];
    if (IsAlnum(c))
        return true;
    if (c == U'\'' || c == U'\u2019')
        return i > 0 && i + 1 < text.size() && IsAlnum(text[i - 1]) && IsAlnum(text[i + 1]);
    return false;
}

Matcher::Matcher(const Program &program, std::u32string_view subject, std::u32string_view text,
                 std::size_t limit)
    : m_program(program), m_subject(subject), m_text(text), m_limit(limit)
{
    std::size_t bits = (limit + 1) * program.code.size();
    if (bits / program.code.size() != limit + 1 || bits > (std::size_t(1) << 34))
        throw std::length_error("the document is too large for this pattern");
    m_visited.assign(bits / 64 + 1, 0);
    m_captures.assign(2 * program.groups, -1);
    // A program that opens with a plain character lets the search skip ahead to it.
    for (const Instruction &in : program.code) {
        if (in.op == Instruction::Op::Save || in.op == Instruction::Op::WholeWordHead)
            continue;
        if (in.op == Instruction::Op::Char)
            m_first = in.c;
        break;
    }
}

bool Matcher::visited(int pc, std::size_t pos)
{
    std::size_t bit = pos * m_program.code.size() + static_cast<std::size_t>(pc);
    unsigned long long mask = 1ULL << (bit % 64);
    unsigned long long &word = m_visited[bit / 64];
    if (word & mask)
        return true;
    word |= mask;
    return false;
}

// States on the path of a success are not failures: drop them before searching again.
void Matcher::forget(std::size_t from, std::size_t to)
{
    std::size_t n = m_program.code.size();
    for (std::size_t bit = from * n; bit < (to + 1) * n; ++bit)
        m_visited[bit / 64] &= ~(1ULL << (bit % 64));
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

bool Matcher::find(std::size_t from, MatchResult &result)
{
    for (std::size_t start = from; start < m_limit; ++start) {
        if (m_first) {
            std::size_t next = m_subject.substr(0, m_limit).find(m_first, start);
            if (next == std::u32string_view::npos)
                return false;
            start = next;
        }
        if (matchAt(start, result)) {
            forget(start, result.end);
            return true;
        }
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
                ok = IsWordCharAt(m_text, pos) && !(pos > 0 && IsWordCharAt(m_text, pos - 1));
                ++pc;
                break;
            case Op::WordEnd:
                ok = pos > 0 && IsWordCharAt(m_text, pos - 1) && !IsWordCharAt(m_text, pos);
                ++pc;
                break;
            case Op::WholeWordHead:
                ok = !IsWordCharAt(m_text, pos) || pos == 0 || !IsWordCharAt(m_text, pos - 1);
                ++pc;
                break;
            case Op::WholeWordTail:
                ok = pos == 0 || !IsWordCharAt(m_text, pos - 1) || !IsWordCharAt(m_text, pos);
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
