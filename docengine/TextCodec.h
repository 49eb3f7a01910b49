// Character encodings of plain-text documents: decoding to code points and encoding back.
#pragma once

#include <string>
#include <string_view>

namespace vexlo::doc {

enum class TextEncoding {
    Windows1252, // no byte-order mark; also every pure-ASCII file
    Utf8,        // valid UTF-8 with non-ASCII bytes, no byte-order mark
    Utf8Bom,
    Utf16LeBom,
    Utf16BeBom,
};

/// Picks the encoding of a plain-text file from its bytes: a byte-order mark first, then
/// valid UTF-8 holding non-ASCII bytes, else Windows-1252. Never fails.
TextEncoding DetectEncoding(std::string_view bytes);

/// Decodes `bytes` (byte-order mark included, if the encoding has one) to code points.
/// Never fails: a malformed sequence becomes U+FFFD, a lone UTF-16 surrogate is kept as is.
std::u32string Decode(std::string_view bytes, TextEncoding encoding);

/// Encodes code points, with the encoding's byte-order mark. A character the encoding
/// cannot hold becomes "?". Never fails.
std::string Encode(std::u32string_view text, TextEncoding encoding);

/// The character a Windows-1252 byte stands for (the five unassigned bytes keep their value).
char32_t FromWindows1252(unsigned char byte);

/// The character a byte of the DOS code page 437 stands for.
char32_t FromCodePage437(unsigned char byte);

/// UTF-8 to code points and back, for strings that cross the automation interface.
/// Malformed input becomes U+FFFD; never fails.
std::u32string FromUtf8(std::string_view text);
std::string ToUtf8(std::u32string_view text);

/// The number of UTF-16 code units `text` takes.
std::size_t Utf16Length(std::u32string_view text);

} // namespace vexlo::doc
