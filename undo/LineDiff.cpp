#include "undo/LineDiff.h"

#include <algorithm>
#include <unordered_map>

namespace vexlo {

namespace {

// Beyond this many differences the shortest edit is not searched for (its cost grows with
// their square); the differing middle is then taken as one changed block.
constexpr int kMaxEdits = 2000;

enum class Op { Same, Removed, Added };

// The lines of both sides as numbers, equal lines equal numbers, so that the comparisons of
// the search cost nothing whatever the lines' length.
void numberLines(const std::vector<TextLine> &a, const std::vector<TextLine> &b, std::vector<int> &na,
                 std::vector<int> &nb)
{
    std::unordered_map<std::string_view, int> ids;
    ids.reserve(a.size() + b.size());
    auto id = [&](std::string_view text) { return ids.emplace(text, int(ids.size())).first->second; };
    na.reserve(a.size());
    nb.reserve(b.size());
    for (const TextLine &line : a)
        na.push_back(id(line.text));
    for (const TextLine &line : b)
        nb.push_back(id(line.text));
}

// The shortest edit script of a[lo..) against b[lo..) (Myers), appended to `ops`; false when
// it needs more than kMaxEdits edits.
bool myers(const int *a, int n, const int *b, int m, std::vector<Op> &ops)
{
    const int max = std::min(n + m, kMaxEdits);
    const int offset = max + 1;
    std::vector<int> v(std::size_t(2 * max + 3), 0);
    std::vector<std::vector<int>> trace;
    int found = -1;
    for (int d = 0; d <= max && found < 0; ++d) {
        trace.emplace_back(v.begin() + (offset - d), v.begin() + (offset + d + 1));
        for (int k = -d; k <= d; k += 2) {
            int x = (k == -d || (k != d && v[std::size_t(offset + k - 1)] < v[std::size_t(offset + k + 1)]))
                        ? v[std::size_t(offset + k + 1)]
                        : v[std::size_t(offset + k - 1)] + 1;
            int y = x - k;
            while (x < n && y < m && a[x] == b[y])
                ++x, ++y;
            v[std::size_t(offset + k)] = x;
            if (x >= n && y >= m) {
                found = d;
                break;
            }
        }
    }
    if (found < 0)
        return false;
    // Walk back from the end through the saved frontiers.
    std::vector<Op> reversed;
    int x = n, y = m;
    for (int d = found; d > 0; --d) {
        const std::vector<int> &prev = trace[std::size_t(d)]; // the frontier before step d, k = -d..d
        auto before = [&](int kk) { return prev[std::size_t(kk + d)]; };
        const int k = x - y;
        const bool down = (k == -d || (k != d && before(k - 1) < before(k + 1)));
        const int prevK = down ? k + 1 : k - 1;
        const int prevX = before(prevK);
        const int prevY = prevX - prevK;
        while (x > prevX && y > prevY) {
            reversed.push_back(Op::Same);
            --x, --y;
        }
        reversed.push_back(down ? Op::Added : Op::Removed);
        x = prevX, y = prevY;
    }
    while (x > 0 && y > 0) {
        reversed.push_back(Op::Same);
        --x, --y;
    }
    ops.insert(ops.end(), reversed.rbegin(), reversed.rend());
    return true;
}

// The edit script of the whole texts: common ends first, the search only over the middle.
std::vector<Op> editScript(const std::vector<int> &a, const std::vector<int> &b)
{
    std::size_t head = 0;
    while (head < a.size() && head < b.size() && a[head] == b[head])
        ++head;
    std::size_t tail = 0;
    while (tail < a.size() - head && tail < b.size() - head &&
           a[a.size() - 1 - tail] == b[b.size() - 1 - tail])
        ++tail;
    std::vector<Op> ops(head, Op::Same);
    const int n = int(a.size() - head - tail), m = int(b.size() - head - tail);
    if (!myers(a.data() + head, n, b.data() + head, m, ops)) {
        ops.insert(ops.end(), std::size_t(n), Op::Removed);
        ops.insert(ops.end(), std::size_t(m), Op::Added);
    }
    ops.insert(ops.end(), tail, Op::Same);
    return ops;
}

struct Compared {
    std::vector<TextLine> a, b;
    std::vector<Op> ops;
};

Compared compare(std::string_view before, std::string_view after)
{
    Compared c;
    c.a = SplitTextLines(before);
    c.b = SplitTextLines(after);
    std::vector<int> na, nb;
    numberLines(c.a, c.b, na, nb);
    c.ops = editScript(na, nb);
    return c;
}

// The changed part of a line against the line it replaces: what lies between their common
// beginning and common end.
void markChange(std::string_view mine, std::string_view other, std::size_t &from, std::size_t &to)
{
    std::size_t head = 0;
    while (head < mine.size() && head < other.size() && mine[head] == other[head])
        ++head;
    std::size_t tail = 0;
    while (tail < mine.size() - head && tail < other.size() - head &&
           mine[mine.size() - 1 - tail] == other[other.size() - 1 - tail])
        ++tail;
    from = head;
    to = mine.size() - tail;
}

} // namespace

std::vector<TextLine> SplitTextLines(std::string_view bytes)
{
    std::vector<TextLine> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c != '\r' && c != '\n')
            continue;
        const std::size_t breakLength = (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ? 2 : 1;
        lines.push_back({bytes.substr(start, i - start), bytes.substr(i, breakLength)});
        i += breakLength - 1;
        start = i + 1;
    }
    if (start < bytes.size())
        lines.push_back({bytes.substr(start), {}});
    return lines;
}

ChangeSummary Summarize(std::string_view before, std::string_view after)
{
    ChangeSummary summary;
    if (before == after) {
        summary.identical = true;
        return summary;
    }
    const Compared c = compare(before, after);
    std::size_t removed = 0, added = 0;
    auto close = [&] {
        summary.linesChanged += std::max(removed, added);
        removed = added = 0;
    };
    for (Op op : c.ops) {
        if (op == Op::Same)
            close();
        else
            ++(op == Op::Removed ? removed : added);
    }
    close();
    summary.lineEndsOnly = summary.linesChanged == 0;
    return summary;
}

namespace {

// Lines of the edit script grouped in hunks with `context` unchanged lines around changes.
struct Hunk {
    std::size_t first, last; // range of ops, [first, last)
};

std::vector<Hunk> hunks(const std::vector<Op> &ops, std::size_t context)
{
    std::vector<Hunk> result;
    for (std::size_t i = 0; i < ops.size(); ++i) {
        if (ops[i] == Op::Same)
            continue;
        const std::size_t first = i >= context ? i - context : 0;
        std::size_t end = i;
        // Extend while the next change is within two contexts of this one.
        std::size_t lastChange = i;
        for (std::size_t j = i; j < ops.size() && j <= lastChange + 2 * context; ++j)
            if (ops[j] != Op::Same)
                lastChange = j;
        end = std::min(ops.size(), lastChange + 1 + context);
        if (!result.empty() && first <= result.back().last)
            result.back().last = end;
        else
            result.push_back({first, end});
        i = lastChange;
    }
    return result;
}

std::string cut(std::string_view text, std::size_t limit)
{
    if (text.size() <= limit)
        return std::string(text);
    return std::string(text.substr(0, limit)) + "…";
}

} // namespace

std::vector<DiffLine> DiffLines(std::string_view before, std::string_view after, const DiffOptions &options)
{
    std::vector<DiffLine> out;
    const Compared c = compare(before, after);
    std::size_t oldAt = 0, newAt = 0, opAt = 0, changed = 0;
    for (const Hunk &h : hunks(c.ops, options.context)) {
        // Advance the line counters over the unchanged lines before the hunk.
        for (; opAt < h.first; ++opAt) {
            if (c.ops[opAt] != Op::Added)
                ++oldAt;
            if (c.ops[opAt] != Op::Removed)
                ++newAt;
        }
        if (h.first > 0 || !out.empty()) {
            DiffLine gap;
            gap.kind = DiffLine::Kind::Skipped;
            gap.oldNumber = oldAt + 1;
            gap.newNumber = newAt + 1;
            out.push_back(gap);
        }
        while (opAt < h.last) {
            if (c.ops[opAt] == Op::Same) {
                DiffLine line;
                line.oldNumber = ++oldAt;
                line.newNumber = ++newAt;
                line.text = cut(c.a[oldAt - 1].text, options.maxLineChars);
                out.push_back(std::move(line));
                ++opAt;
                continue;
            }
            // One changed block: its removed lines, then its added ones, paired for marking.
            const std::size_t oldStart = oldAt, newStart = newAt;
            while (opAt < h.last && c.ops[opAt] != Op::Same)
                ++(c.ops[opAt++] == Op::Removed ? oldAt : newAt);
            const std::size_t removed = oldAt - oldStart, added = newAt - newStart;
            for (std::size_t i = 0; i < removed + added; ++i) {
                if (changed >= options.maxChanged) {
                    DiffLine rest;
                    rest.kind = DiffLine::Kind::Skipped;
                    out.push_back(rest);
                    return out;
                }
                const bool isRemoved = i < removed;
                const std::size_t k = isRemoved ? i : i - removed;
                const std::string_view mine = isRemoved ? c.a[oldStart + k].text : c.b[newStart + k].text;
                DiffLine line;
                line.kind = isRemoved ? DiffLine::Kind::Removed : DiffLine::Kind::Added;
                (isRemoved ? line.oldNumber : line.newNumber) = (isRemoved ? oldStart : newStart) + k + 1;
                const bool paired = k < std::min(removed, added);
                if (paired)
                    markChange(mine, isRemoved ? c.b[newStart + k].text : c.a[oldStart + k].text,
                               line.changeFrom, line.changeTo);
                else
                    line.changeTo = mine.size();
                line.text = cut(mine, options.maxLineChars);
                line.changeFrom = std::min(line.changeFrom, options.maxLineChars);
                line.changeTo = std::min(line.changeTo, options.maxLineChars);
                out.push_back(std::move(line));
                ++changed;
            }
        }
    }
    return out;
}

std::string UnifiedDiff(const std::string &path, std::string_view before, std::string_view after,
                        const DiffOptions &options)
{
    const Compared c = compare(before, after);
    const std::vector<Hunk> all = hunks(c.ops, options.context);
    if (all.empty())
        return {};
    std::string out = "--- a/" + path + "\n+++ b/" + path + "\n";
    std::size_t oldAt = 0, newAt = 0, opAt = 0, changed = 0;
    for (const Hunk &h : all) {
        for (; opAt < h.first; ++opAt) {
            if (c.ops[opAt] != Op::Added)
                ++oldAt;
            if (c.ops[opAt] != Op::Removed)
                ++newAt;
        }
        std::size_t oldCount = 0, newCount = 0;
        for (std::size_t i = h.first; i < h.last; ++i) {
            oldCount += c.ops[i] != Op::Added;
            newCount += c.ops[i] != Op::Removed;
        }
        out += "@@ -" + std::to_string(oldCount ? oldAt + 1 : oldAt) + "," + std::to_string(oldCount) + " +" +
               std::to_string(newCount ? newAt + 1 : newAt) + "," + std::to_string(newCount) + " @@\n";
        for (; opAt < h.last; ++opAt) {
            switch (c.ops[opAt]) {
            case Op::Same:
                out += ' ';
                out += c.a[oldAt++].text;
                ++newAt;
                break;
            case Op::Removed:
                out += '-';
                out += c.a[oldAt++].text;
                ++changed;
                break;
            case Op::Added:
                out += '+';
                out += c.b[newAt++].text;
                ++changed;
                break;
            }
            out += '\n';
            if (changed >= options.maxChanged) {
                out += "@@ more changes not shown @@\n";
                return out;
            }
        }
    }
    return out;
}

} // namespace vexlo
