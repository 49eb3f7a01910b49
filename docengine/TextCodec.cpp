#include "docengine/TextCodec.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace vexlo::doc {

namespace {

constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

constexpr std::array<char16_t, 128> kCodePage437High = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE,
    0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6,
    0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA,
    0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502,
    0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, 0x2514,
    0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550,
    0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C,
    0x2588, 0x2584, 0x258C, 0x2590, 0x2580, 0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320,
    0x2321, 0x00F7, 0x2248, 0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0};

constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

bool StartsWith(std::string_view bytes, std::string_view prefix)
{
    return bytes.substr(0, prefix.size()) == prefix;
}

// Decodes one UTF-8 sequence at `i`; returns false (and leaves `i`) when it is malformed.
bool NextUtf8(std::string_view s, std::size_t &i, char32_t &out)
{
    auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    unsigned char b0 = byte(i);
    if (b0 < 0x80) {
        out = b0;
        ++i;
        return true;
    }
    int extra;
    char32_t cp;
    char32_t least;
    if ((b0 & 0xE0) == 0xC0) {
        extra = 1, cp = b0 & 0x1F, least = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        extra = 2, cp = b0 & 0x0F, least = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        extra = 3, cp = b0 & 0x07, least = 0x10000;
    } else {
        return false;
    }
    if (i + extra >= s.size())
        return false;
    for (int k = 1; k <= extra; ++k) {
        unsigned char b = byte(i + k);
        if ((b & 0xC0) != 0x80)
            return false;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return false;
    out = cp;
    i += extra + 1;
    return true;
}

void AppendUtf8(std::string &out, char32_t cp)
{
    if (cp >= 0xD800 && cp <= 0xDFFF) {
        out += '?';
    } else if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::u32string DecodeUtf16(std::string_view s, bool bigEndian)
{
    std::u32string out;
    out.reserve(s.size() / 2);
    auto unit = [&](std::size_t k) -> char32_t {
        auto a = static_cast<unsigned char>(s[k]), b = static_cast<unsigned char>(s[k + 1]);
        return bigEndian ? (a << 8 | b) : (b << 8 | a);
    };
    std::size_t i = 0;
    for (; i + 1 < s.size(); i += 2) {
        char32_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 3 < s.size()) {
            char32_t v = unit(i + 2);
            if (v >= 0xDC00 && v <= 0xDFFF) {
                out += 0x10000 + ((u - 0xD800) << 10) + (v - 0xDC00);
                i += 2;
                continue;
            }
        }
        out += u;
    }
    if (i < s.size())
        out += U'\uFFFD';
    return out;
}

void AppendUtf16(std::string &out, char32_t cp, bool bigEndian)
{
    auto put = [&](char32_t u) {
        char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
        out += bigEndian ? hi : lo;
        out += bigEndian ? lo : hi;
    };
    if (cp >= 0x10000) {
        put(0xD800 + ((cp - 0x10000) >> 10));
        put(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
        put(cp);
    }
}

char ToWindows1252(char32_t cp)
{
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF))
        return static_cast<char>(cp);
    for (std::size_t k = 0; k < kWindows1252High.size(); ++k)
        if (kWindows1252High[k] == cp)
            return static_cast<char>(0x80 + k);
    return '?';
}

} // namespace

char32_t FromWindows1252(unsigned char byte)
{
    return (byte >= 0x80 && byte < 0xA0) ? kWindows1252High[byte - 0x80] : byte;
}

char32_t FromCodePage437(unsigned char byte)
{
    return byte < 0x80 ? byte : kCodePage437High[byte - 0x80];
}

TextEncoding DetectEncoding(std::string_view bytes)
{
    if (StartsWith(bytes, "\xEF\xBB\xBF"))
        return TextEncoding::Utf8Bom;
    if (StartsWith(bytes, "\xFF\xFE"))
        return TextEncoding::Utf16LeBom;
    if (StartsWith(bytes, "\xFE\xFF"))
        return TextEncoding::Utf16BeBom;
    bool nonAscii = false;
    char32_t cp;
    for (std::size_t i = 0; i < bytes.size();) {
        // Runs of ASCII are skipped eight bytes at a time.
        std::uint64_t eight;
        while (i + 8 <= bytes.size() && (std::memcpy(&eight, bytes.data() + i, 8), (eight & kHighBits) == 0))
            i += 8;
        if (i == bytes.size())
            break;
        if (static_cast<unsigned char>(bytes[i]) >= 0x80)
            nonAscii = true;
        if (!NextUtf8(bytes, i, cp))
            return TextEncoding::Windows1252;
    }
    return nonAscii ? TextEncoding::Utf8 : TextEncoding::Windows1252;
}

std::u32string Decode(std::string_view bytes, TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Utf8Bom:
        return FromUtf8(bytes.substr(3));
    case TextEncoding::Utf8:
        return FromUtf8(bytes);
    case TextEncoding::Utf16LeBom:
        return DecodeUtf16(bytes.substr(2), false);
    case TextEncoding::Utf16BeBom:
        return DecodeUtf16(bytes.substr(2), true);
    case TextEncoding::Windows1252:
        break;
    }
    std::u32string out(bytes.size(), U'\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        out[i] = FromWindows1252(static_cast<unsigned char>(bytes[i]));
    return out;
}

std::string Encode(std::u32string_view text, TextEncoding encoding)
{
    std::string out;
    switch (encoding) {
    case TextEncoding::Utf8Bom:
        out = "\xEF\xBB\xBF";
        [[fallthrough]];
    case TextEncoding::Utf8:
        out.reserve(out.size() + text.size());
        for (char32_t cp : text)
            AppendUtf8(out, cp);
        return out;
    case TextEncoding::Utf16LeBom:
    case TextEncoding::Utf16BeBom: {
        bool big = encoding == TextEncoding::Utf16BeBom;
        out = big ? "\xFE\xFF" : "\xFF\xFE";
        out.reserve(2 + 2 * text.size());
        for (char32_t cp : text)
            AppendUtf16(out, cp, big);
        return out;
    }
    case TextEncoding::Windows1252:
        break;
    }
    out.resize(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        out[i] = cp < 0x80 ? static_cast<char>(cp) : ToWindows1252(cp);
    }
    return out;
}

std::u32string FromUtf8(std::string_view text)
{
    std::u32string out;
    out.reserve(text.size());
    char32_t cp;
    for (std::size_t i = 0; i < text.size();) {
        if (NextUtf8(text, i, cp)) {
            out += cp;
        } else {
            out += U'\uFFFD';
            ++i;
        }
    }
    return out;
}

std::string ToUtf8(std::u32string_view text)
{
    return Encode(text, TextEncoding::Utf8);
}

std::size_t Utf16Length(std::u32string_view text)
{
    std::size_t n = text.size();
    for (char32_t cp : text)
        n += cp >= 0x10000;
    return n;
}

} // namespace vexlo::doc
