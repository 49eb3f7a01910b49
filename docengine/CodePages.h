// Legacy Windows code pages (single- and double-byte), for documents that store their text as
// bytes of a code page named in the document.
#pragma once

#include <array>
#include <cstddef>
#include <map>
#include <memory>
#include <string_view>

struct UConverter;

namespace vexlo::doc {

/// The code page a font's character set stands for (RTF \fcharset, Windows LOGFONT values);
/// 0 for a character set without one (ANSI and default: the document's own code page).
int CodePageOfCharset(int charset);

/// Decoders for the code pages met in one document, opened on first use.
class CodePageDecoders {
  public:
    CodePageDecoders();
    ~CodePageDecoders();
    CodePageDecoders(const CodePageDecoders &) = delete;
    CodePageDecoders &operator=(const CodePageDecoders &) = delete;

    /// Whether characters of `codePage` may take two bytes. Throws FormatError for a code
    /// page that is not known.
    bool isDoubleByte(int codePage);
    /// Whether `codePage` is known and may take two bytes; never fails.
    bool knownDoubleByte(int codePage);
    /// The character of a single-byte code page's byte. Throws FormatError when the code page
    /// is not known or does not map the byte.
    char32_t single(int codePage, unsigned char byte);
    /// Decodes the next character of `bytes` in a double-byte code page and says how many
    /// bytes it took. Throws FormatError for a byte sequence the code page does not map
    /// (an incomplete character included).
    char32_t next(int codePage, std::string_view bytes, std::size_t &taken);

  private:
    struct Page;
    Page &page(int codePage);
    std::map<int, std::unique_ptr<Page>> m_pages;
};

} // namespace vexlo::doc
