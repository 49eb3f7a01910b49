#include "run/BufferEngine.h"

#include "run/FastSearch.h"

#include <algorithm>

// The whole file stays one buffer: the find text is searched in it directly, and only where
// it occurs is the line around the hit taken apart. Lines between hits are copied as they
// stand when they already end in CR LF. A find text holding CR or LF can never match, since
// no line holds a break, so such searches are not run at all.

namespace vexlo {

namespace {

constexpr std::size_t kCopyBelow = 4096; // shorter unchanged stretches are staged, not referenced
constexpr std::size_t kMaxRefs = 512;    // pieces per flush, well below the system's iovec limit

bool Searchable(std::string_view s)
{
    return !s.empty() && s.find_first_of("\r\n") == std::string_view::npos;
}

std::string FoldedCopy(std::string_view s, bool fold)
{
    std::string out(s);
    if (fold)
        for (char &c : out)
            c = static_cast<char>(FoldByte(static_cast<unsigned char>(c)));
    return out;
}

/// Trims the staged line that starts at `from`.
void TrimStagedTail(std::string &s, std::size_t from, const TextEngineOptions &options)
{
    if (!options.deleteBlanks && !options.deleteBlanksRight && !options.deleteBlanksLeft)
        return;
    const auto isBlank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    const bool right = options.deleteBlanks || options.deleteBlanksRight;
    const bool left = options.deleteBlanks || options.deleteBlanksLeft;
    if (right) {
        std::size_t end = s.size();
        while (end > from && isBlank(s[end - 1]))
            --end;
        s.resize(end);
    }
    if (left) {
        std::size_t first = from;
        while (first < s.size() && isBlank(s[first]))
            ++first;
        s.erase(from, first - from);
    }
}

class Pass {
public:
    Pass(std::string_view input, OutputSink &sink) : d(input.data()), n(input.size()), m_sink(sink) {}

    void inLine(const TextOperation &op);
    void block(const TextOperation &op);

private:
    std::size_t lineEnd(std::size_t pos) const { return pos + FindBreak(d + pos, n - pos); }
    std::size_t nextLine(std::size_t end) const
    {
        if (end >= n)
            return n;
        return (d[end] == '\r' && end + 1 < n && d[end + 1] == '\n') ? end + 2 : end + 1;
    }
    std::size_t find(std::size_t from, std::size_t to, std::string_view needle, bool fold) const
    {
        return from + FindBytes(d + from, to - from, needle, fold);
    }
    void put(std::size_t from, std::size_t to) { m_sink.staged().append(d + from, to - from); }
    void unchanged(std::size_t from, std::size_t size)
    {
        if (size >= kCopyBelow)
            m_sink.verbatim(d + from, size);
        else
            m_sink.staged().append(d + from, size);
    }
    void copyLines(std::size_t from, std::size_t to);

    const char *d;
    std::size_t n;
    OutputSink &m_sink;
};

/// Copies the whole lines in [from, to) (`to` is a line start or the end), every break CR LF.
void Pass::copyLines(std::size_t from, std::size_t to)
{
    std::size_t p = from;
    while (p < to) {
        const std::size_t irregular = p + FindIrregularBreak(d + p, to - p, to < n);
        if (irregular >= to) {
            unchanged(p, to - p);
            break;
        }
        unchanged(p, irregular - p);
        m_sink.staged() += "\r\n";
        p = irregular + 1;
    }
    if (to == n && to > from && !IsBreak(static_cast<unsigned char>(d[n - 1])))
        m_sink.staged() += "\r\n"; // the last line had no break of its own
    m_sink.maybeFlush();
}

void Pass::inLine(const TextOperation &op)
{
    const TextEngineOptions &options = op.options;
    const InLinePattern pattern = MakeInLinePattern(op.find, options);
    const bool fold = !options.matchCase;
    if (!Searchable(pattern.search)) {
        copyLines(0, n);
        return;
    }
    const Lines &r = op.inLine.lines;
    std::string &out = m_sink.staged();
    std::size_t cur = 0;
    while (cur < n) {
        const std::size_t hit = find(cur, n, pattern.search, fold);
        if (hit >= n) {
            copyLines(cur, n);
            return;
        }
        const std::size_t start = cur + StartOfLine(d + cur, hit - cur);
        copyLines(cur, start);
        const std::size_t end = lineEnd(hit + pattern.search.size());
        const std::size_t q = hit + pattern.findOffset;
        const std::size_t afterFrom = q + pattern.findLength;

        if (!op.inLine.isMultiLine()) {
            const std::size_t produced = out.size();
            put(start, q);
            if (!r.empty())
                out += r.front();
            put(afterFrom, end);
            TrimStagedTail(out, produced, options);
            out += "\r\n";
        } else {
            put(start, q);
            out += r.front();
            out += "\r\n";
            for (std::size_t j = 1; j + 1 < r.size(); ++j) {
                out += r[j];
                out += "\r\n";
            }
            out += r.back();
            put(afterFrom, end);
            out += "\r\n";
        }
        m_sink.maybeFlush();
        cur = nextLine(end);
    }
}

void Pass::block(const TextOperation &op)
{
    const Lines &f = op.findLines;
    const Lines &r = op.replacementLines;
    const bool fold = !op.options.matchCase;
    if (f.empty() || !Searchable(f.front()) || !Searchable(f.back())) {
        copyLines(0, n);
        return;
    }
    const std::string first = FoldedCopy(f.front(), fold);
    const std::string last = FoldedCopy(f.back(), fold);
    std::string &out = m_sink.staged();

    std::size_t cur = 0;
    while (cur < n) {
        const std::size_t hit = find(cur, n, first, fold);
        if (hit >= n) {
            copyLines(cur, n);
            return;
        }
        const std::size_t start = cur + StartOfLine(d + cur, hit - cur);
        copyLines(cur, start);
        const std::size_t end = lineEnd(hit + first.size());

        // The candidate block: inner lines must be equal, the last must hold the last find line.
        bool matched = true;
        std::size_t lastEnd = end, p2 = hit;
        std::size_t pos = nextLine(end);
        for (std::size_t j = 1; matched && j < f.size(); ++j) {
            if (pos >= n) {
                matched = false;
                break;
            }
            const std::size_t e = lineEnd(pos);
            if (j + 1 < f.size()) {
                matched = std::string_view(d + pos, e - pos) == f[j];
            } else {
                p2 = find(pos, e, last, fold);
                matched = p2 < e;
                lastEnd = e;
            }
            pos = nextLine(e);
        }
        const std::size_t afterFrom = p2 + last.size();
        if (matched && r.size() == 1 && hit == start && afterFrom == lastEnd && r.front().empty())
            matched = false; // the block would leave an empty line: counts as no match

        if (!matched) {
            const std::size_t next = nextLine(end);
            copyLines(start, next);
            cur = next;
            continue;
        }
        if (r.size() <= 1) {
            const std::size_t produced = out.size();
            put(start, hit);
            if (!r.empty())
                out += r.front();
            put(afterFrom, lastEnd);
            TrimStagedTail(out, produced, op.options);
            out += "\r\n";
        } else {
            put(start, hit);
            out += r.front();
            out += "\r\n";
            for (std::size_t j = 1; j + 1 < r.size(); ++j) {
                out += r[j];
                out += "\r\n";
            }
            out += r.back();
            put(afterFrom, lastEnd);
            out += "\r\n";
        }
        m_sink.maybeFlush();
        cur = nextLine(lastEnd);
    }
}

} // namespace

OutputSink::OutputSink(std::string &target) : m_staging(target) {}

OutputSink::OutputSink(std::string &staging, FlushFn flush, std::size_t chunkBytes)
    : m_staging(staging), m_flush(std::move(flush)), m_chunkBytes(chunkBytes)
{
    m_staging.clear();
}

void OutputSink::verbatim(const char *data, std::size_t size)
{
    if (!m_flush) {
        m_staging.append(data, size);
        return;
    }
    closeStagedRun();
    m_refs.push_back({data, 0, size});
    m_pendingBytes += size;
    maybeFlush();
}

void OutputSink::closeStagedRun()
{
    if (m_staging.size() > m_stagedFrom) {
        m_refs.push_back({nullptr, m_stagedFrom, m_staging.size() - m_stagedFrom});
        m_stagedFrom = m_staging.size();
    }
}

void OutputSink::maybeFlush()
{
    if (m_flush && (m_pendingBytes + m_staging.size() >= m_chunkBytes || m_refs.size() >= kMaxRefs))
        flushAll();
}

void OutputSink::finish()
{
    if (m_flush)
        flushAll();
}

void OutputSink::flushAll()
{
    closeStagedRun();
    m_pieces.clear();
    for (const Ref &ref : m_refs)
        m_pieces.push_back({ref.data ? ref.data : m_staging.data() + ref.offset, ref.size});
    if (!m_pieces.empty())
        m_flush(m_pieces);
    m_refs.clear();
    m_staging.clear();
    m_stagedFrom = 0;
    m_pendingBytes = 0;
}

void ApplyToSink(std::string_view input, const TextOperation &op, OutputSink &sink)
{
    Pass pass(input, sink);
    if (op.kind == TextOperation::Kind::Block)
        pass.block(op);
    else
        pass.inLine(op);
}

} // namespace vexlo
