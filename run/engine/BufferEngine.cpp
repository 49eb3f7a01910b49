#include "run/engine/BufferEngine.h"

#include "run/engine/FastSearch.h"

#include <algorithm>
#include <deque>
#include <unordered_map>

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

/// The ends of a produced line that blank trimming keeps, as offsets into the line: the line
/// is the pieces one after the other, and [first, last) of it stays.
struct Kept {
    std::size_t first = 0;
    std::size_t last = 0;
};

Kept TrimmedRange(std::initializer_list<std::string_view> pieces, const TextEngineOptions &options)
{
    std::size_t total = 0;
    for (std::string_view piece : pieces)
        total += piece.size();
    Kept kept{0, total};
    const auto isBlank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    if (options.deleteBlanks || options.deleteBlanksRight) {
        std::size_t end = total;
        for (auto it = std::rbegin(pieces); it != std::rend(pieces); ++it) {
            std::size_t k = it->size();
            while (k > 0 && isBlank((*it)[k - 1]))
                --k;
            end -= it->size() - k;
            if (k > 0)
                break;
        }
        kept.last = end;
    }
    if (options.deleteBlanks || options.deleteBlanksLeft) {
        std::size_t start = 0;
        for (std::string_view piece : pieces) {
            std::size_t k = 0;
            while (k < piece.size() && isBlank(piece[k]))
                ++k;
            start += k;
            if (k < piece.size())
                break;
        }
        kept.first = std::min(start, kept.last);
    }
    return kept;
}

/// End of the line that starts at `pos` in [d, d + n).
std::size_t LineEnd(const char *d, std::size_t n, std::size_t pos)
{
    return pos + FindBreak(d + pos, n - pos);
}

/// Start of the line after the one that ends at `end`, or `n`.
std::size_t NextLine(const char *d, std::size_t n, std::size_t end)
{
    if (end >= n)
        return n;
    return (d[end] == '\r' && end + 1 < n && d[end + 1] == '\n') ? end + 2 : end + 1;
}

/// Tests whether the lines after a block candidate's first line equal the find block's inner
/// lines. Candidates may overlap (every line may hold the first find line), so what earlier
/// tests saw is kept: a run of text lines known to equal the first inner lines. A later test
/// that starts inside that run learns from the inner lines' own repeats (their Z function)
/// how far it matches without looking at the text again, so every text line is compared a
/// bounded number of times, however long the block.
class InnerLines {
  public:
    enum class Result { Match, NoMatch, NeedMore };

    InnerLines(const Lines &findLines, const char *data, std::size_t size, bool final)
        : m_find(findLines), m_count(findLines.size() > 2 ? findLines.size() - 2 : 0), d(data), n(size),
          m_final(final)
    {
    }

    /// Compares the lines from `pos` (a line start) on with the inner lines. On a match,
    /// `after` is the start of the line that follows them. NeedMore: the window ends before
    /// the comparison is decided and more input follows.
    Result test(std::size_t pos, std::size_t &after)
    {
        if (m_count == 0) {
            after = pos;
            return Result::Match;
        }
        prepare();
        if (m_run.empty() || pos > m_run.back()) {
            m_run.assign(1, pos);
        } else {
            const auto t =
                static_cast<std::size_t>(std::lower_bound(m_run.begin(), m_run.end(), pos) - m_run.begin());
            const std::size_t known = m_run.size() - 1; // lines of the run
            if (t < known && m_z[t] < known - t)
                return Result::NoMatch; // the run shows the line where the inner lines differ
            m_run.erase(m_run.begin(), m_run.begin() + static_cast<std::ptrdiff_t>(t));
        }
        while (m_run.size() - 1 < m_count) {
            const std::size_t at = m_run.back();
            if (at >= n)
                return m_final ? Result::NoMatch : Result::NeedMore;
            const std::size_t end = LineEnd(d, n, at);
            if (!equals(at, end, m_run.size() - 1))
                return Result::NoMatch;
            m_run.push_back(NextLine(d, n, end));
        }
        after = m_run.back();
        return Result::Match;
    }

  private:
    /// Numbers the distinct inner lines and computes their Z function, once per pass.
    void prepare()
    {
        if (!m_ids.empty())
            return;
        m_pattern.reserve(m_count);
        for (std::size_t j = 0; j < m_count; ++j)
            m_pattern.push_back(m_ids.emplace(m_find[j + 1], static_cast<int>(m_ids.size())).first->second);
        m_z.assign(m_count, 0);
        m_z[0] = m_count;
        for (std::size_t i = 1, l = 0, r = 0; i < m_count; ++i) {
            std::size_t z = i < r ? std::min(r - i, m_z[i - l]) : 0;
            while (i + z < m_count && m_pattern[z] == m_pattern[i + z])
                ++z;
            m_z[i] = z;
            if (i + z > r) {
                l = i;
                r = i + z;
            }
        }
    }

    /// Whether the text line [at, end) equals inner line `j`. The first comparison with a
    /// line is direct (cheap when it differs early); should the same line be asked about
    /// again, it is looked up among the inner lines once and compared by number from then on.
    bool equals(std::size_t at, std::size_t end, std::size_t j)
    {
        const std::string_view line(d + at, end - at);
        if (m_lineAt != at) {
            m_lineAt = at;
            m_lineId = kUntried;
        }
        if (m_lineId == kUntried) {
            m_lineId = kUnknown;
            return line == m_find[j + 1];
        }
        if (m_lineId == kUnknown) {
            const auto it = m_ids.find(line);
            m_lineId = it == m_ids.end() ? kNone : it->second;
        }
        return m_lineId == m_pattern[j];
    }

    static constexpr int kUntried = -3, kUnknown = -2, kNone = -1;

    const Lines &m_find;
    std::size_t m_count; // inner lines: all but the first and the last find line
    const char *d;
    std::size_t n;
    bool m_final;
    std::unordered_map<std::string_view, int> m_ids; // distinct inner line -> its number
    std::vector<int> m_pattern;                      // the inner lines by number
    std::vector<std::size_t> m_z;    // m_z[t]: inner lines from t on that equal the first ones
    std::deque<std::size_t> m_run;   // starts of text lines equal to the first inner lines, and one more
    std::size_t m_lineAt = SIZE_MAX; // the one text line compared but not (yet) in the run
    int m_lineId = kUntried;
};

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
    std::size_t lineEnd(std::size_t pos) const { return LineEnd(d, n, pos); }
    std::size_t nextLine(std::size_t end) const { return NextLine(d, n, end); }
    std::size_t find(std::size_t from, std::size_t to, std::string_view needle, bool fold) const
    {
        return from + FindBytes(d + from, to - from, needle, fold);
    }
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

/// Puts out the lines a replacement produces: the input from `start` to `cut`, the
/// replacement, the input from `afterFrom` to `afterTo`. One string (or none) gives one
/// blank-trimmed line; two lines or more give untrimmed lines. Long pieces of the input are
/// passed on as references, so a huge line is never copied whole.
void Pass::putReplaced(std::size_t start, std::size_t cut, std::size_t afterFrom, std::size_t afterTo,
                       const Lines &r, bool oneString, const TextEngineOptions &options)
{
    ByteBuffer &out = m_sink.staged();
    if (oneString) {
        const std::string_view middle = r.empty() ? std::string_view() : std::string_view(r.front());
        const std::size_t beforeSize = cut - start;
        const std::size_t afterAt = beforeSize + middle.size(); // where `after` begins in the line
        const Kept kept = TrimmedRange({std::string_view(d + start, beforeSize), middle,
                                        std::string_view(d + afterFrom, afterTo - afterFrom)},
                                       options);
        // The part of [at, at + size) of the line that is kept, relative to `at`.
        const auto clip = [&](std::size_t at, std::size_t size, std::size_t &from, std::size_t &to) {
            from = std::clamp(kept.first, at, at + size) - at;
            to = std::clamp(kept.last, at, at + size) - at;
            return from < to;
        };
        std::size_t from = 0, to = 0;
        if (clip(0, beforeSize, from, to))
            unchanged(start + from, to - from);
        if (clip(beforeSize, middle.size(), from, to))
            out += middle.substr(from, to - from);
        if (clip(afterAt, afterTo - afterFrom, from, to))
            unchanged(afterFrom + from, to - from);
        out += "\r\n";
        return;
    }
    unchanged(start, cut - start);
    out += r.front();
    out += "\r\n";
    for (std::size_t j = 1; j + 1 < r.size(); ++j) {
        out += r[j];
        out += "\r\n";
    }
    out += r.back();
    unchanged(afterFrom, afterTo - afterFrom);
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
    InnerLines innerLines(f, d, n, m_final);

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
        if (f.size() > 1) {
            std::size_t pos = nextLine(end);
            const InnerLines::Result inner = innerLines.test(pos, pos);
            if (inner == InnerLines::Result::NeedMore)
                return start; // the rest of the block is still to be read
            matched = inner == InnerLines::Result::Match;
            if (matched && pos >= n) {
                if (!m_final)
                    return start;
                matched = false;
            }
            if (matched) {
                lastEnd = lineEnd(pos);
                p2 = find(pos, lastEnd, last, fold);
                matched = p2 < lastEnd;
            }
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
