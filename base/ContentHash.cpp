#include "base/ContentHash.h"

#include <cstring>

namespace vexlo {

namespace {

constexpr std::uint64_t Prime1 = 0x9E3779B185EBCA87ULL;
constexpr std::uint64_t Prime2 = 0xC2B2AE3D27D4EB4FULL;
constexpr std::uint64_t Prime3 = 0x165667B19E3779F9ULL;
constexpr std::uint64_t Prime4 = 0x85EBCA77C2B2AE63ULL;
constexpr std::uint64_t Prime5 = 0x27D4EB2F165667C5ULL;

std::uint64_t rotl(std::uint64_t x, int r)
{
    return (x << r) | (x >> (64 - r));
}

std::uint64_t read64(const unsigned char *p)
{
    std::uint64_t v;
    std::memcpy(&v, p, 8); // the algorithm is defined little-endian, as every target here is
    return v;
}

std::uint32_t read32(const unsigned char *p)
{
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

std::uint64_t round(std::uint64_t acc, std::uint64_t input)
{
    acc += input * Prime2;
    acc = rotl(acc, 31);
    return acc * Prime1;
}

std::uint64_t merge(std::uint64_t acc, std::uint64_t lane)
{
    acc ^= round(0, lane);
    return acc * Prime1 + Prime4;
}

} // namespace

void ContentHash::add(std::string_view bytes)
{
    auto p = reinterpret_cast<const unsigned char *>(bytes.data());
    std::size_t n = bytes.size();
    m_total += n;
    if (m_pendingSize + n < 32) {
        std::memcpy(m_pending + m_pendingSize, p, n);
        m_pendingSize += n;
        return;
    }
    if (m_pendingSize > 0) {
        const std::size_t fill = 32 - m_pendingSize;
        std::memcpy(m_pending + m_pendingSize, p, fill);
        for (int i = 0; i < 4; ++i)
            m_lanes[i] = round(m_lanes[i], read64(m_pending + 8 * i));
        p += fill;
        n -= fill;
        m_pendingSize = 0;
    }
    std::uint64_t v0 = m_lanes[0], v1 = m_lanes[1], v2 = m_lanes[2], v3 = m_lanes[3];
    for (; n >= 32; p += 32, n -= 32) {
        v0 = round(v0, read64(p));
        v1 = round(v1, read64(p + 8));
        v2 = round(v2, read64(p + 16));
        v3 = round(v3, read64(p + 24));
    }
    m_lanes[0] = v0, m_lanes[1] = v1, m_lanes[2] = v2, m_lanes[3] = v3;
    std::memcpy(m_pending, p, n);
    m_pendingSize = n;
}

std::uint64_t ContentHash::value() const
{
    std::uint64_t h;
    if (m_total >= 32) {
        h = rotl(m_lanes[0], 1) + rotl(m_lanes[1], 7) + rotl(m_lanes[2], 12) + rotl(m_lanes[3], 18);
        for (int i = 0; i < 4; ++i)
            h = merge(h, m_lanes[i]);
    } else {
        h = m_lanes[2] + Prime5; // lane 2 still holds its starting value
    }
    h += m_total;
    const unsigned char *p = m_pending;
    std::size_t n = m_pendingSize;
    for (; n >= 8; p += 8, n -= 8) {
        h ^= round(0, read64(p));
        h = rotl(h, 27) * Prime1 + Prime4;
    }
    if (n >= 4) {
        h ^= std::uint64_t(read32(p)) * Prime1;
        h = rotl(h, 23) * Prime2 + Prime3;
        p += 4;
        n -= 4;
    }
    for (; n > 0; ++p, --n) {
        h ^= (*p) * Prime5;
        h = rotl(h, 11) * Prime1;
    }
    h ^= h >> 33;
    h *= Prime2;
    h ^= h >> 29;
    h *= Prime3;
    h ^= h >> 32;
    return h;
}

std::uint64_t HashBytes(std::string_view bytes)
{
    ContentHash hash;
    hash.add(bytes);
    return hash.value();
}

std::string HashText(std::uint64_t hash)
{
    static const char digits[] = "0123456789abcdef";
    std::string text(16, '0');
    for (int i = 15; i >= 0; --i, hash >>= 4)
        text[std::size_t(i)] = digits[hash & 15];
    return text;
}

} // namespace vexlo
