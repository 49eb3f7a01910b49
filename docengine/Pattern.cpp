#include "docengine/Pattern.h"

#include "docengine/Document.h"
#include "docengine/TextCodec.h"

#include <unicode/uchar.h>

namespace vexlo::doc {

namespace {

using Op = Instruction::Op;

const char *const kBadPattern = "The Find What text contains a Pattern Match expression which is not valid.";
const char *const kTooComplex =
    "The Find What text contains a Pattern Match expression which is too complex.";
const char *const kBadGroup = "The Replace With text contains a group number which is out of range.";

enum class Box { Find, Replace };

// What one caret code stands for.
struct Caret {
    enum class Kind { Char, AnyChar, Digit, Letter, WhiteSpace, Never, WholeMatch, Clipboard } kind;
    char32_t c = 0;
};

[[noreturn]] void RefuseCode(std::u32string_view code, Box box)
{
    throw FindError("^" + ToUtf8(code) + " is not a valid special character for the " +
                    (box == Box::Find ? "Find What" : "Replace With") + " box.");
}

bool IsDigit(char32_t c)
{
    return c >= U'0' && c <= U'9';
}

// Reads up to `most` decimal digits at `i`.
std::u32string_view Digits(std::u32string_view s, std::size_t &i, std::size_t most)
{
    std::size_t from = i;
    while (i < s.size() && i - from < most && IsDigit(s[i]))
        ++i;
    return s.substr(from, i - from);
}

long Value(std::u32string_view digits)
{
    long v = 0;
    for (char32_t d : digits)
        v = v * 10 + static_cast<long>(d - U'0');
    return v;
}

// A numeric code after "^": "^0nnn" is a Windows-1252 character, "^nnn" an ASCII or DOS
// code page 437 character; a few numbers name items a plain-text document has none of.
Caret NumericCaret(std::u32string_view s, std::size_t &i, Box box)
{
    std::size_t from = i;
    if (s[i] == U'0') {
        ++i;
        std::u32string_view digits = Digits(s, i, 3);
        long v = Value(digits);
        if (digits.empty() || v == 0 || v > 255)
            RefuseCode(s.substr(from, i - from), box);
        return {Caret::Kind::Char, FromWindows1252(static_cast<unsigned char>(v))};
    }
    std::u32string_view digits = Digits(s, i, 3);
    long v = Value(digits);
    if (v == 0 || v > 255)
        RefuseCode(digits, box);
    switch (v) {
    case 1:  // inline graphic
    case 2:  // footnote or endnote mark
    case 5:  // comment mark
    case 19: // field
    case 21:
        if (box == Box::Replace)
            RefuseCode(digits, box);
        return {Caret::Kind::Never};
    case 12: // page or section break
        return {Caret::Kind::Char, kPageBreak};
    default:
        return {Caret::Kind::Char, FromCodePage437(static_cast<unsigned char>(v))};
    }
}

// Reads the caret code whose "^" is at `i`; `i` ends after it.
Caret ReadCaret(std::u32string_view s, std::size_t &i, Box box, bool wildcards)
{
    ++i;
    if (i >= s.size())
        RefuseCode(U"", box);
    if (IsDigit(s[i]))
        return NumericCaret(s, i, box);
    char32_t code = s[i++];
    const bool find = box == Box::Find;
    const bool plainFind = find && !wildcards;
    auto ch = [](char32_t c) { return Caret{Caret::Kind::Char, c}; };
    switch (code) {
    case U'p':
        if (find && wildcards)
            break;
        return ch(kParagraphMark);
    case U't':
        return ch(U'\t');
    case U'l':
        return ch(kLineBreak);
    case U'n':
        return ch(kColumnBreak);
    case U'm':
        return ch(kPageBreak);
    case U's':
        return ch(U'\u00A0');
    case U'~':
        return ch(kNonbreakingHyphen);
    case U'-':
        return ch(kOptionalHyphen);
    case U'+':
        return ch(U'\u2014');
    case U'=':
        return ch(U'\u2013');
    case U'^':
        return ch(U'^');
    case U'%':
        return ch(U'\u00A7');
    case U'v':
        return ch(U'\u00B6');
    case U'x':
        return ch(U'\u200C');
    case U'z':
        return ch(U'\u200D');
    case U'q':
        return ch(U'\u2005');
    case U'?':
        if (plainFind)
            return {Caret::Kind::AnyChar};
        break;
    case U'#':
        if (plainFind)
            return {Caret::Kind::Digit};
        break;
    case U'$':
        if (plainFind)
            return {Caret::Kind::Letter};
        break;
    case U'w':
        if (plainFind)
            return {Caret::Kind::WhiteSpace};
        break;
    case U'u': {
        if (!find)
            break;
        std::u32string_view digits = Digits(s, i, 7);
        long v = Value(digits);
        if (digits.empty() || v == 0 || v > 0x10FFFF)
            RefuseCode(U"u" + std::u32string(digits), box);
        return ch(static_cast<char32_t>(v));
    }
    case U'&':
        if (!find)
            return {Caret::Kind::WholeMatch};
        break;
    case U'c':
        if (!find)
            return {Caret::Kind::Clipboard};
        break;
    case U'g': // graphic: also valid with wildcards
        if (find)
            return {Caret::Kind::Never};
        break;
    case U'b': // section break, footnote, endnote, field, comment
    case U'f':
    case U'e':
    case U'd':
    case U'a':
        if (plainFind)
            return {Caret::Kind::Never};
        break;
    default:
        break;
    }
    RefuseCode(std::u32string(1, code), box);
}

Instruction Simple(Op op, char32_t c = 0)
{
    return Instruction(op, c);
}

CharSet WhiteSpaceSet()
{
    CharSet set;
    set.ranges = {{U' ', U' '}, {U'\t', U'\t'}, {U'\u00A0', U'\u00A0'}};
    return set;
}

// The wildcard syntax as a tree, compiled once parsed.
struct Node {
    enum class Kind { Atom, Group, Star, WordStart, WordEnd } kind = Kind::Atom;
    Instruction atom;
    std::vector<Node> children;
    int group = 0;
    int min = 1, max = 1; // max -1: no upper bound
};

std::size_t Add(std::size_t a, std::size_t b)
{
    return a == kUnbounded || b == kUnbounded ? kUnbounded : a + b;
}

std::size_t Times(std::size_t a, int n)
{
    if (n == -1)
        return a == 0 ? 0 : kUnbounded;
    return a == kUnbounded ? (n == 0 ? 0 : kUnbounded) : a * static_cast<std::size_t>(n);
}

struct Width {
    std::size_t lo = 0, hi = 0;
};

Width NodeWidth(const Node &node);

Width SequenceWidth(const std::vector<Node> &nodes)
{
    Width w;
    for (const Node &node : nodes) {
        Width c = NodeWidth(node);
        w.lo = Add(w.lo, c.lo);
        w.hi = Add(w.hi, c.hi);
    }
    return w;
}

Width NodeWidth(const Node &node)
{
    Width w;
    switch (node.kind) {
    case Node::Kind::Atom:
        w = {1, 1};
        break;
    case Node::Kind::Star:
        w = {0, kUnbounded};
        break;
    case Node::Kind::WordStart:
    case Node::Kind::WordEnd:
        return w;
    case Node::Kind::Group:
        w = SequenceWidth(node.children);
        break;
    }
    return {Times(w.lo, node.min), Times(w.hi, node.max)};
}

// Finds the runs of plain characters every match holds, and the offsets from the match's
// start at which each may begin.
class RequiredScan {
  public:
    void literal(char32_t c)
    {
        if (m_run.text.empty()) {
            m_run.minOffset = m_lo;
            m_run.maxOffset = m_hi;
        }
        m_run.text += c;
        m_lo = Add(m_lo, 1);
        m_hi = Add(m_hi, 1);
    }

    // Something that takes between `w.lo` and `w.hi` characters of any kind.
    void advance(Width w)
    {
        if (w.hi == 0)
            return;
        close();
        m_lo = Add(m_lo, w.lo);
        m_hi = Add(m_hi, w.hi);
    }

    void nodes(const std::vector<Node> &sequence)
    {
        for (const Node &node : sequence) {
            if (node.kind == Node::Kind::WordStart || node.kind == Node::Kind::WordEnd)
                continue; // takes no character
            if (node.min < 1 || node.kind == Node::Kind::Star) {
                advance(NodeWidth(node));
                continue;
            }
            Width once{1, 1};
            if (node.kind == Node::Kind::Group) {
                once = SequenceWidth(node.children);
                nodes(node.children); // the first copy is required
            } else if (node.atom.op == Instruction::Op::Char) {
                literal(node.atom.c);
            } else {
                advance(once);
            }
            // The other required copies stay in the run only for a plain character.
            int more = node.max == -1 ? -1 : node.max - 1;
            if (node.kind == Node::Kind::Atom && node.atom.op == Instruction::Op::Char) {
                for (int k = 1; k < node.min; ++k)
                    literal(node.atom.c);
                advance({0, Times(1, more == -1 ? -1 : node.max - node.min)});
            } else {
                advance({Times(once.lo, node.min - 1), Times(once.hi, more)});
            }
        }
    }

    std::vector<RequiredText> result()
    {
        close();
        return std::move(m_runs);
    }

  private:
    void close()
    {
        if (!m_run.text.empty())
            m_runs.push_back(m_run);
        m_run.text.clear();
    }

    std::size_t m_lo = 0, m_hi = 0; // the current offset from the match's start
    RequiredText m_run;
    std::vector<RequiredText> m_runs;
};

class WildcardParser {
  public:
    explicit WildcardParser(std::u32string_view s) : m_s(s) {}

    std::vector<Node> parse(int &groups)
    {
        std::vector<Node> nodes = sequence(false);
        groups = m_groups;
        return nodes;
    }

  private:
    [[noreturn]] static void Invalid() { throw FindError(kBadPattern); }

    std::vector<Node> sequence(bool inGroup)
    {
        std::vector<Node> nodes;
        bool quantifiable = false;
        while (m_i < m_s.size()) {
            char32_t c = m_s[m_i];
            if (c == U')') {
                if (!inGroup)
                    Invalid();
                return nodes;
            }
            if (c == U'@' || c == U'{') {
                if (!quantifiable)
                    Invalid();
                quantifier(nodes.back());
                quantifiable = false;
                continue;
            }
            Node node;
            quantifiable = true;
            ++m_i;
            switch (c) {
            case U'?':
                node.atom = Simple(Op::AnyChar);
                break;
            case U'*':
                node.kind = Node::Kind::Star;
                quantifiable = false;
                break;
            case U'<':
                node.kind = Node::Kind::WordStart;
                quantifiable = false;
                break;
            case U'>':
                node.kind = Node::Kind::WordEnd;
                quantifiable = false;
                break;
            case U'[':
                node.atom = Instruction{Op::Set};
                node.atom.set = set();
                break;
            case U'(': {
                node.kind = Node::Kind::Group;
                node.group = ++m_groups;
                node.children = sequence(true);
                if (m_i >= m_s.size() || node.children.empty())
                    Invalid();
                ++m_i; // ")"
                break;
            }
            case U']':
            case U'}':
                Invalid();
            case U'\\':
                if (m_i >= m_s.size())
                    Invalid();
                node.atom = Simple(Op::Char, m_s[m_i++]);
                break;
            case U'^':
                --m_i;
                node.atom = caretAtom();
                break;
            default:
                node.atom = Simple(Op::Char, c);
            }
            nodes.push_back(std::move(node));
        }
        return nodes;
    }

    Instruction caretAtom()
    {
        Caret caret = ReadCaret(m_s, m_i, Box::Find, true);
        return caret.kind == Caret::Kind::Char ? Simple(Op::Char, caret.c) : Simple(Op::Never);
    }

    // One member of a set: a character, "\c", or a caret code for a character.
    char32_t setChar()
    {
        char32_t c = m_s[m_i];
        if (c == U'\\') {
            if (++m_i >= m_s.size())
                Invalid();
            return m_s[m_i++];
        }
        if (c == U'^') {
            Caret caret = ReadCaret(m_s, m_i, Box::Find, true);
            if (caret.kind != Caret::Kind::Char)
                Invalid();
            return caret.c;
        }
        ++m_i;
        return c;
    }

    CharSet set()
    {
        CharSet result;
        if (m_i < m_s.size() && m_s[m_i] == U'!') {
            result.negated = true;
            ++m_i;
        }
        while (m_i < m_s.size() && m_s[m_i] != U']') {
            char32_t first = setChar();
            char32_t last = first;
            if (m_i + 1 < m_s.size() && m_s[m_i] == U'-' && m_s[m_i + 1] != U']') {
                ++m_i;
                last = setChar();
                if (last < first)
                    Invalid();
            }
            result.ranges.push_back({first, last});
        }
        if (m_i >= m_s.size() || result.ranges.empty())
            Invalid();
        ++m_i; // "]"
        return result;
    }

    int number()
    {
        std::u32string_view digits = Digits(m_s, m_i, 3);
        if (digits.empty())
            Invalid();
        long v = Value(digits);
        if (v > 255)
            Invalid();
        return static_cast<int>(v);
    }

    void quantifier(Node &node)
    {
        if (m_s[m_i++] == U'@') {
            node.min = 1;
            node.max = -1;
            return;
        }
        node.min = number();
        node.max = node.min;
        if (m_i < m_s.size() && (m_s[m_i] == U',' || m_s[m_i] == U';')) {
            ++m_i;
            node.max = (m_i < m_s.size() && IsDigit(m_s[m_i])) ? number() : -1;
        }
        if (m_i >= m_s.size() || m_s[m_i] != U'}')
            Invalid();
        ++m_i;
        if (node.max != -1 && node.max < node.min)
            Invalid();
    }

    std::u32string_view m_s;
    std::size_t m_i = 0;
    int m_groups = 0;
};

class Compiler {
  public:
    explicit Compiler(std::vector<Instruction> &code) : m_code(code) {}

    void sequence(const std::vector<Node> &nodes)
    {
        for (const Node &node : nodes)
            repeated(node);
    }

  private:
    int here() const { return static_cast<int>(m_code.size()); }

    void emit(Instruction in)
    {
        if (m_code.size() >= kMostInstructions)
            throw FindError(kTooComplex);
        m_code.push_back(std::move(in));
    }

    int split()
    {
        emit(Instruction{Op::Split});
        return here() - 1;
    }

    void once(const Node &node)
    {
        switch (node.kind) {
        case Node::Kind::Atom:
            emit(node.atom);
            break;
        case Node::Kind::Group: {
            Instruction save{Op::Save};
            save.x = 2 * (node.group - 1);
            emit(save);
            sequence(node.children);
            save.x += 1;
            emit(save);
            break;
        }
        case Node::Kind::Star: {
            // Lazy: leave the loop first, take one more character only when that fails.
            int loop = split();
            emit(Simple(Op::AnyChar));
            Instruction back{Op::Jump};
            back.x = loop;
            emit(back);
            m_code[loop].x = here();
            m_code[loop].y = loop + 1;
            break;
        }
        case Node::Kind::WordStart:
            emit(Simple(Op::WordStart));
            break;
        case Node::Kind::WordEnd:
            emit(Simple(Op::WordEnd));
            break;
        }
    }

    // Greedy repetition: the required copies, then optional ones tried before leaving.
    void repeated(const Node &node)
    {
        for (int k = 0; k < node.min; ++k)
            once(node);
        if (node.max == -1) {
            int loop = split();
            once(node);
            Instruction back{Op::Jump};
            back.x = loop;
            emit(back);
            m_code[loop].x = loop + 1;
            m_code[loop].y = here();
            return;
        }
        std::vector<int> exits;
        for (int k = node.min; k < node.max; ++k) {
            int s = split();
            exits.push_back(s);
            once(node);
            m_code[s].x = s + 1;
        }
        for (int s : exits)
            m_code[s].y = here();
    }

    std::vector<Instruction> &m_code;
};

void CompilePlain(std::u32string_view find, const PatternOptions &options, Program &program)
{
    std::vector<Instruction> &code = program.code;
    RequiredScan required;
    if (options.wholeWord)
        code.push_back(Simple(Op::WholeWordHead));
    for (std::size_t i = 0; i < find.size();) {
        if (find[i] != U'^') {
            char32_t c = find[i++];
            code.push_back(Simple(Op::Char, options.matchCase ? c : FoldCase(c)));
            required.literal(code.back().c);
            continue;
        }
        Caret caret = ReadCaret(find, i, Box::Find, false);
        switch (caret.kind) {
        case Caret::Kind::Char:
            code.push_back(Simple(Op::Char, options.matchCase ? caret.c : FoldCase(caret.c)));
            required.literal(code.back().c);
            break;
        case Caret::Kind::AnyChar:
            code.push_back(Simple(Op::AnyChar));
            required.advance({1, 1});
            break;
        case Caret::Kind::Digit:
            code.push_back(Simple(Op::Digit));
            required.advance({1, 1});
            break;
        case Caret::Kind::Letter:
            code.push_back(Simple(Op::Letter));
            required.advance({1, 1});
            break;
        case Caret::Kind::WhiteSpace: {
            // A whole run of spaces, nonbreaking spaces and tabs.
            Instruction white{Op::Set};
            white.set = WhiteSpaceSet();
            code.push_back(white);
            int loop = static_cast<int>(code.size());
            Instruction s{Op::Split};
            s.x = loop + 1;
            s.y = loop + 3;
            code.push_back(s);
            code.push_back(white);
            Instruction back{Op::Jump};
            back.x = loop;
            code.push_back(back);
            required.advance({1, kUnbounded});
            break;
        }
        default:
            code.push_back(Simple(Op::Never));
            required.advance({1, 1});
        }
    }
    if (options.wholeWord)
        code.push_back(Simple(Op::WholeWordTail));
    program.required = required.result();
}

} // namespace

char32_t FoldCase(char32_t c)
{
    if (c < 0x80)
        return (c >= U'A' && c <= U'Z') ? c + 32 : c;
    return static_cast<char32_t>(u_foldCase(static_cast<UChar32>(c), U_FOLD_CASE_DEFAULT));
}

bool FindHasSpace(std::u32string_view find)
{
    return find.find(U' ') != std::u32string_view::npos;
}

Program CompileFind(std::u32string_view find, const PatternOptions &options)
{
    Program program;
    if (options.wildcards) {
        std::vector<Node> nodes = WildcardParser(find).parse(program.groups);
        Compiler(program.code).sequence(nodes);
        RequiredScan required;
        required.nodes(nodes);
        program.required = required.result();
    } else {
        CompilePlain(find, options, program);
    }
    program.code.push_back(Simple(Op::Match));
    return program;
}

std::u32string DecodeWordFind(std::u32string_view find)
{
    std::u32string out;
    for (std::size_t i = 0; i < find.size();) {
        if (find[i] != U'^') {
            out += find[i++];
            continue;
        }
        Caret caret = ReadCaret(find, i, Box::Find, false);
        out += caret.kind == Caret::Kind::Char ? caret.c : U' ';
    }
    return out;
}

std::vector<ReplacePart> ParseReplacement(std::u32string_view replace, bool wildcards, int groups)
{
    std::vector<ReplacePart> parts;
    auto text = [&](char32_t c) {
        if (parts.empty() || parts.back().kind != ReplacePart::Kind::Text)
            parts.push_back({});
        parts.back().text += c;
    };
    for (std::size_t i = 0; i < replace.size();) {
        char32_t c = replace[i];
        if (wildcards && c == U'\\' && i + 1 < replace.size()) {
            char32_t next = replace[i + 1];
            i += 2;
            if (IsDigit(next)) {
                int n = static_cast<int>(next - U'0');
                if (n == 0 || n > groups)
                    throw FindError(kBadGroup);
                ReplacePart part;
                part.kind = ReplacePart::Kind::Group;
                part.group = n;
                parts.push_back(part);
            } else {
                text(next);
            }
            continue;
        }
        if (c != U'^') {
            text(c);
            ++i;
            continue;
        }
        Caret caret = ReadCaret(replace, i, Box::Replace, wildcards);
        if (caret.kind == Caret::Kind::Char)
            text(caret.c);
        else
            parts.emplace_back().kind = caret.kind == Caret::Kind::WholeMatch ? ReplacePart::Kind::WholeMatch
                                                                              : ReplacePart::Kind::Clipboard;
    }
    return parts;
}

} // namespace vexlo::doc
