#include "base/Error.h"

#include <cerrno>
#include <charconv>
#include <cstring>

namespace vexlo {

namespace {

// Length of the valid, printable UTF-8 sequence at `text[i]` (a lead byte >= 0x80), 0 if none.
std::size_t printableSequence(std::string_view text, std::size_t i)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    char32_t code = 0;
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2;
        code = lead & 0x1f;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3;
        code = lead & 0x0f;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4;
        code = lead & 0x07;
    } else {
        return 0;
    }
    if (i + length > text.size())
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xc0) != 0x80)
            return 0;
        code = (code << 6) | (byte(i + k) & 0x3f);
    }
    const char32_t smallest = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
    if (code < smallest || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff))
        return 0; // overlong, beyond Unicode, or a surrogate
    if (code <= 0x9f)
        return 0; // C1 controls
    return length;
}

} // namespace

std::string EscapeControls(std::string_view text)
{
    static constexpr char Hex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x7f) {
            out.push_back(static_cast<char>(c));
            ++i;
            continue;
        }
        if (c >= 0x80) {
            if (const std::size_t length = printableSequence(text, i)) {
                out.append(text.substr(i, length));
                i += length;
                continue;
            }
        }
        out += "\\x";
        out.push_back(Hex[c >> 4]);
        out.push_back(Hex[c & 0xf]);
        ++i;
    }
    return out;
}

Error IoError(const std::string &verb, const std::string &path, int errnum)
{
    return Error(ErrorKind::Io, path,
                 "cannot " + verb + " '" + EscapeControls(path) + "': " + std::strerror(errnum));
}

int ToInt(const std::string &text)
{
    const char *first = text.data();
    const char *last = first + text.size();
    if (first != last && *first == '+')
        ++first; // a leading plus is accepted, as the usual string-to-integer conversions do
    int value = 0;
    auto [ptr, ec] = std::from_chars(first, last, value);
    if (text.empty() || ec != std::errc() || ptr != last || first == last)
        throw Error(ErrorKind::Conversion, {}, "'" + text + "' is not a valid integer value");
    return value;
}

} // namespace vexlo
