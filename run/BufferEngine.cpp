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
void TrimStagedTail(ByteBuffer &s, std::size_t from, const TextEngineOptions &options)
{
    if (!options.deleteBlanks && !options.deleteBlanksRight && !options.deleteBlanksLeft)
        return;
    const auto isBlank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    const bool right = options.deleteBlanks || options.deleteBlanksRight;
    const bool left = options.deleteBlanks || options.deleteBlanksLeft;
    if (right) {
        std::size_t end = s.size();
        while (end > from && isBlank(s.data()[end - 1]))
            --end;
        s.truncate(end);
    }
    if (left) {
        std::size_t first = from;
        while (first < s.size() && isBlank(s.data()[first]))
            ++first;
        s.erase(from, first - from);
    }
}

class Pass {
  public:
    Pass(const char *data, std::size_t size, bool final, OutputSink &sink)
        : d(data), n(size), m_final(final), m_sink(sink)
    {
    }

    /// Both return how much of the window was done with (a line start, or the window's size).
    std::size_t inLine(const TextOperation &op);
    std::size_t block(const TextOperation &op);

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
    void convertBreaks(std::size_t from, std::size_t to);
    void putReplaced(std::size_t start, std::size_t cut, std::size_t afterFrom, std::size_t afterTo,
                     const Lines &r, bool oneString, const TextEngineOptions &options);

    const char *d;
    std::size_t n;
    bool m_final; // no more input follows the window
    OutputSink &m_sink;
};

/// Copies the whole lines in [from, to) (`to` is a line start or the end), every break CR LF.
/// Stretches already in CR LF form pass as they stand; elsewhere each break is rewritten.
void Pass::copyLines(std::size_t from, std::size_t to)
{
    if (from >= to)
        return;
    const std::size_t regular = from + FindIrregularBreak(d + from, to - from, to < n);
    unchanged(from, regular - from);
    if (regular < to)
        convertBreaks(regular, to);
    else if (to == n && !IsBreak(static_cast<unsigned char>(d[n - 1])))
        m_sink.staged() += "\r\n"; // the last line had no break of its own
    m_sink.maybeFlush();
}

/// Copies [from, to) turning every break (CR LF, LF or CR) into CR LF and ending a last
/// line without a break with one.
void Pass::convertBreaks(std::size_t from, std::size_t to)
{
    ByteBuffer &out = m_sink.staged();
    // At most every byte is a lone break and doubles; 16 spare bytes let whole blocks be stored.
    char *w = out.extend(2 * (to - from) + 2 + 16);
    const char *r = d + from;
    const char *const end = d + to;
    const char *const all = d + n;
    const auto takeBreak = [&] {
        r += (*r == '\r' && r + 1 < all && r[1] == '\n') ? 2 : 1;
        *w++ = '\r';
        *w++ = '\n';
    };
#if VEXLO_HAVE_SSE2
    const __m128i crs = _mm_set1_epi8('\r');
    const __m128i lfs = _mm_set1_epi8('\n');
    while (r + 16 <= end) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(r));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(w), v);
        const unsigned mask = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, crs), _mm_cmpeq_epi8(v, lfs))));
        if (!mask) {
            r += 16;
            w += 16;
            continue;
        }
        const int at = __builtin_ctz(mask);
        r += at;
        w += at;
        takeBreak();
    }
#endif
    while (r < end) {
        if (IsBreak(static_cast<unsigned char>(*r)))
            takeBreak();
        else
            *w++ = *r++;
    }
    if (to == n && !IsBreak(static_cast<unsigned char>(d[n - 1]))) {
        *w++ = '\r';
        *w++ = '\n';
    }
    out.truncate(static_cast<std::size_t>(w - out.data()));
}

/// Stages the lines a replacement produces: the input from `start` to `cut`, the
/// replacement, the input from `afterFrom` to `afterTo`. One string (or none) gives one
/// blank-trimmed line; two lines or more give untrimmed lines.
void Pass::putReplaced(std::size_t start, std::size_t cut, std::size_t afterFrom, std::size_t afterTo,
                       const Lines &r, bool oneString, const TextEngineOptions &options)
{
    ByteBuffer &out = m_sink.staged();
    if (oneString) {
        const std::size_t produced = out.size();
        put(start, cut);
        if (!r.empty())
            out += r.front();
        put(afterFrom, afterTo);
        TrimStagedTail(out, produced, options);
        out += "\r\n";
        return;
    }
    put(start, cut);
    out += r.front();
    out += "\r\n";
    for (std::size_t j = 1; j + 1 < r.size(); ++j) {
        out += r[j];
        out += "\r\n";
    }
    out += r.back();
    put(afterFrom, afterTo);
    out += "\r\n";
}

std::size_t Pass::inLine(const TextOperation &op)
{
    const TextEngineOptions &options = op.options;
    const InLinePattern pattern = MakeInLinePattern(op.find, options);
    const bool fold = !options.matchCase;
    if (!Searchable(pattern.search)) {
        copyLines(0, n);
        return n;
    }
    const Lines &r = op.inLine.lines;
    std::size_t cur = 0;
    while (cur < n) {
        const std::size_t hit = find(cur, n, pattern.search, fold);
        if (hit >= n) {
            copyLines(cur, n);
            return n;
        }
        const std::size_t start = cur + StartOfLine(d + cur, hit - cur);
        copyLines(cur, start);
        const std::size_t end = lineEnd(hit + pattern.search.size());
        const std::size_t q = hit + pattern.findOffset;
        const std::size_t afterFrom = q + pattern.findLength;

        putReplaced(start, q, afterFrom, end, r, !op.inLine.isMultiLine(), options);
        m_sink.maybeFlush();
        cur = nextLine(end);
    }
    return n;
}

std::size_t Pass::block(const TextOperation &op)
{
    const Lines &f = op.findLines;
    const Lines &r = op.replacementLines;
    const bool fold = !op.options.matchCase;
    if (f.empty() || !Searchable(f.front()) || !Searchable(f.back())) {
        copyLines(0, n);
        return n;
    }
    const std::string first = FoldedCopy(f.front(), fold);
    const std::string last = FoldedCopy(f.back(), fold);

    std::size_t cur = 0;
    while (cur < n) {
        const std::size_t hit = find(cur, n, first, fold);
        if (hit >= n) {
            copyLines(cur, n);
            return n;
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
                if (!m_final)
                    return start; // the rest of the block is still to be read
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
        putReplaced(start, hit, afterFrom, lastEnd, r, r.size() <= 1, op.options);
        m_sink.maybeFlush();
        cur = nextLine(lastEnd);
    }
    return n;
}

} // namespace

OutputSink::OutputSink(ByteBuffer &staging, FlushFn flush, std::size_t chunkBytes, bool referInput)
    : m_staging(staging), m_flush(std::move(flush)), m_chunkBytes(chunkBytes), m_referInput(referInput)
{
    m_staging.clear();
}

void OutputSink::verbatim(const char *data, std::size_t size)
{
    if (!m_referInput) {
        m_staging.append(data, size);
        maybeFlush();
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
    if ((m_pendingBytes + m_staging.size() >= m_chunkBytes || m_refs.size() >= kMaxRefs))
        flushAll();
}

void OutputSink::finish()
{
    flushAll();
}

void OutputSink::flush()
{
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

std::size_t ApplyToSink(std::string_view window, const TextOperation &op, OutputSink &sink, bool final)
{
    std::size_t size = window.size();
    if (!final) {
        // Only whole lines: up to the last break, and not a CR whose LF may still follow.
        const std::size_t upTo = size > 0 && window[size - 1] == '\r' ? size - 1 : size;
        size = StartOfLine(window.data(), upTo);
        if (size == 0)
            return 0;
    }
    Pass pass(window.data(), size, final, sink);
    return op.kind == TextOperation::Kind::Block ? pass.block(op) : pass.inLine(op);
}

} // namespace vexlo
