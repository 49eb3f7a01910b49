// Byte scans the text engine runs over whole file buffers: substring search, line breaks.
#pragma once

#include <cstddef>
#include <cstring>
#include <new>
#include <string.h> // memmem
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#define VEXLO_HAVE_SSE2 1
#endif

namespace vexlo {

/// Upper-cases 'a'..'z' and leaves every other byte as it is. Cannot fail.
constexpr unsigned char FoldByte(unsigned char c) noexcept
{
    return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 32) : c;
}

constexpr bool IsBreak(unsigned char c) noexcept
{
    return c == '\r' || c == '\n';
}

namespace detail {

inline bool EqualFolded(const unsigned char *hay, const unsigned char *foldedNeedle, std::size_t n) noexcept
{
    for (std::size_t i = 0; i < n; ++i)
        if (FoldByte(hay[i]) != foldedNeedle[i])
            return false;
    return true;
}

inline bool IsLetter(unsigned char c) noexcept
{
    return (c | 32) >= 'a' && (c | 32) <= 'z';
}

inline int CountTrailingZeros(unsigned v) noexcept
{
    return __builtin_ctz(v);
}

/// Needles up to this length are checked in full at every candidate: the work per position
/// stays small. Longer ones fall back to a linear search once the checks cost too much.
constexpr std::size_t kShortNeedle = 8;

/// First occurrence by memmem, which runs in linear time whatever the needle (Two-Way for
/// long needles). With `fold` the haystack is upper-cased piece by piece into a buffer of a
/// few needle lengths and searched there. Returns `size` when there is none, or when the
/// buffer cannot be had (`ok` false: the caller searches on its own).
inline std::size_t FindLinear(const unsigned char *hay, std::size_t size, const unsigned char *pat,
                              std::size_t k, bool fold, bool &ok) noexcept
{
    ok = true;
    if (!fold) {
        const void *hit = ::memmem(hay, size, pat, k);
        return hit ? static_cast<std::size_t>(static_cast<const unsigned char *>(hit) - hay) : size;
    }
    // Each piece holds the starts [at, at + step) and the k - 1 bytes the last start needs.
    const std::size_t step = k > (std::size_t{1} << 16) ? k : (std::size_t{1} << 16);
    unsigned char *folded = new (std::nothrow) unsigned char[step + k - 1];
    if (!folded) {
        ok = false;
        return size;
    }
    std::size_t found = size;
    for (std::size_t at = 0; at + k <= size; at += step) {
        const std::size_t length = size - at < step + k - 1 ? size - at : step + k - 1;
        for (std::size_t i = 0; i < length; ++i)
            folded[i] = FoldByte(hay[at + i]);
        if (const void *hit = ::memmem(folded, length, pat, k)) {
            found = at + static_cast<std::size_t>(static_cast<const unsigned char *>(hit) - folded);
            break;
        }
    }
    delete[] folded;
    return found;
}

} // namespace detail

/// Offset of the first occurrence of `needle` in [hay, hay + size), or `size` when there is
/// none. With `fold` the needle must already be upper-cased and letters match either case.
/// An empty needle never occurs. Runs in time linear in `size` + the needle's length. Cannot fail.
inline std::size_t FindBytes(const char *hayChars, std::size_t size, std::string_view needle,
                             bool fold) noexcept
{
    const std::size_t k = needle.size();
    if (k == 0 || k > size)
        return size;
    const auto *hay = reinterpret_cast<const unsigned char *>(hayChars);
    const auto *pat = reinterpret_cast<const unsigned char *>(needle.data());
    const std::size_t lastStart = size - k; // last position where the needle still fits
    const unsigned char first = pat[0];
    const unsigned char last = pat[k - 1];
    const bool foldFirst = fold && detail::IsLetter(first);
    const bool foldLast = fold && detail::IsLetter(last);

    const auto matchesAt = [&](std::size_t i) {
        return fold ? detail::EqualFolded(hay + i, pat, k) : std::memcmp(hay + i, pat, k) == 0;
    };

    if (!fold && k == 1) {
        const void *hit = std::memchr(hay, first, size);
        return hit ? static_cast<std::size_t>(static_cast<const unsigned char *>(hit) - hay) : size;
    }

    // Positions where the first and last byte agree are checked in full. Where that happens at
    // nearly every position (a long needle of repeats in a haystack of the same), the checks
    // would cost length x needle: once they have cost a few times the distance covered, the
    // rest is searched in linear time.
    std::size_t spent = 0;
    bool fallbackOk = true;
    const auto tooCostly = [&](std::size_t at) {
        if (k <= detail::kShortNeedle || !fallbackOk)
            return false;
        spent += k;
        return spent > 4 * (at + k);
    };
    const auto linearFrom = [&](std::size_t at) {
        return at + detail::FindLinear(hay + at, size - at, pat, k, fold, fallbackOk);
    };

    std::size_t i = 0;
#if VEXLO_HAVE_SSE2
    // Compare the needle's first and last byte at 16 positions at once; only positions where
    // both agree are checked in full. Letters are compared with the case bit set.
    const __m128i caseBitFirst = _mm_set1_epi8(foldFirst ? 32 : 0);
    const __m128i caseBitLast = _mm_set1_epi8(foldLast ? 32 : 0);
    const __m128i wantFirst = _mm_set1_epi8(static_cast<char>(foldFirst ? (first | 32) : first));
    const __m128i wantLast = _mm_set1_epi8(static_cast<char>(foldLast ? (last | 32) : last));
    while (i + 16 <= lastStart + 1) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(hay + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(hay + i + k - 1));
        const __m128i eq = _mm_and_si128(_mm_cmpeq_epi8(_mm_or_si128(a, caseBitFirst), wantFirst),
                                         _mm_cmpeq_epi8(_mm_or_si128(b, caseBitLast), wantLast));
        unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(eq));
        while (mask) {
            const std::size_t at = i + static_cast<std::size_t>(detail::CountTrailingZeros(mask));
            if (tooCostly(at)) {
                const std::size_t found = linearFrom(at);
                if (fallbackOk)
                    return found;
            }
            if (matchesAt(at))
                return at;
            mask &= mask - 1;
        }
        i += 16;
    }
#endif
    for (; i <= lastStart; ++i) {
        const unsigned char c = hay[i];
        if ((fold ? FoldByte(c) : c) != first)
            continue;
        if (tooCostly(i)) {
            const std::size_t found = linearFrom(i);
            if (fallbackOk)
                return found;
        }
        if (matchesAt(i))
            return i;
    }
    return size;
}

/// Offset of the first CR or LF in [p, p + size), or `size`. Cannot fail.
inline std::size_t FindBreak(const char *p, std::size_t size) noexcept
{
    std::size_t i = 0;
#if VEXLO_HAVE_SSE2
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    for (; i + 16 <= size; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + i));
        const unsigned mask = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf))));
        if (mask)
            return i + static_cast<std::size_t>(detail::CountTrailingZeros(mask));
    }
#endif
    for (; i < size; ++i)
        if (IsBreak(static_cast<unsigned char>(p[i])))
            return i;
    return size;
}

/// Offset just past the last CR or LF in [p, p + size), or 0 when there is none: the start
/// of the line that holds p[size]. Cannot fail.
inline std::size_t StartOfLine(const char *p, std::size_t size) noexcept
{
    std::size_t i = size;
#if VEXLO_HAVE_SSE2
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    while (i >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + i - 16));
        const unsigned mask = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf))));
        if (mask)
            return i - 16 + static_cast<std::size_t>(31 - __builtin_clz(mask)) + 1;
        i -= 16;
    }
#endif
    for (; i > 0; --i)
        if (IsBreak(static_cast<unsigned char>(p[i - 1])))
            return i;
    return 0;
}

/// Offset of the first line break in [p, p + size) that is not a CR LF pair (a lone CR or a
/// lone LF), or `size` when every break there is CR LF. `p[size]`, when `more` is set, may be
/// read to see whether a CR at the end is followed by LF. Cannot fail.
inline std::size_t FindIrregularBreak(const char *p, std::size_t size, bool more) noexcept
{
    std::size_t i = 0;
#if VEXLO_HAVE_SSE2
    const __m128i crs = _mm_set1_epi8('\r');
    const __m128i lfs = _mm_set1_epi8('\n');
    unsigned carry = 0; // a CR ended the previous block
    for (; i + 16 <= size; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + i));
        const unsigned cr = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, crs)));
        const unsigned lf = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, lfs)));
        const unsigned expected = ((cr << 1) | carry) & 0xFFFFu;
        if (lf != expected)
            break; // something irregular in this block: the exact place is found below
        carry = cr >> 15;
    }
    if (carry) { // the CR just before p[i] still waits for its LF
        if (i < size) {
            if (p[i] != '\n')
                return i - 1;
            ++i;
        } else {
            return more && p[size] == '\n' ? size : size - 1;
        }
    }
#endif
    for (; i < size; ++i) {
        const char c = p[i];
        if (c == '\n')
            return i; // an LF whose CR was not seen: pairs are skipped whole below
        if (c == '\r') {
            const bool pair = i + 1 < size ? p[i + 1] == '\n' : (more && p[i + 1] == '\n');
            if (!pair)
                return i;
            ++i;
        }
    }
    return size;
}

} // namespace vexlo
