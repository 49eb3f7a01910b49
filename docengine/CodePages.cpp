#include "docengine/CodePages.h"

#include "docengine/Readers.h"
#include "docengine/TextCodec.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>

#include <string>

namespace vexlo::doc {

namespace {

constexpr char32_t kUnmapped = 0xFFFFFFFF;

[[noreturn]] void Unreadable(const std::string &why)
{
    throw FormatError("text that cannot be read faithfully: " + why);
}

} // namespace

int CodePageOfCharset(int charset)
{
    switch (charset) {
    case 77:
        return 10000;
    case 128:
        return 932;
    case 129:
        return 949;
    case 134:
        return 936;
    case 136:
        return 950;
    case 161:
        return 1253;
    case 162:
        return 1254;
    case 163:
        return 1258;
    case 177:
        return 1255;
    case 178:
        return 1256;
    case 186:
        return 1257;
    case 204:
        return 1251;
    case 222:
        return 874;
    case 238:
        return 1250;
    case 254:
        return 437;
    case 255:
        return 850;
    default:
        return 0; // ANSI (0), default (1), symbol (2) and the rest: the document's code page
    }
}

struct CodePageDecoders::Page {
    UConverter *converter = nullptr;
    bool doubleByte = false;
    std::array<char32_t, 256> table{}; // single-byte pages
    ~Page()
    {
        if (converter)
            ucnv_close(converter);
    }
};

CodePageDecoders::CodePageDecoders() = default;
CodePageDecoders::~CodePageDecoders() = default;

CodePageDecoders::Page &CodePageDecoders::page(int codePage)
{
    auto found = m_pages.find(codePage);
    if (found != m_pages.end())
        return *found->second;
    auto page = std::make_unique<Page>();
    if (codePage == 1252) {
        for (unsigned b = 0; b < 256; ++b)
            page->table[b] = FromWindows1252(static_cast<unsigned char>(b));
    } else {
        const std::string name =
            (codePage == 437 || codePage == 850 ? "ibm-" : "windows-") + std::to_string(codePage);
        UErrorCode error = U_ZERO_ERROR;
        page->converter = codePage > 0 && codePage < 100000 ? ucnv_open(name.c_str(), &error) : nullptr;
        if (!page->converter || U_FAILURE(error))
            Unreadable("code page " + std::to_string(codePage) + " is not known");
        error = U_ZERO_ERROR;
        ucnv_setToUCallBack(page->converter, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &error);
        page->doubleByte = ucnv_getMaxCharSize(page->converter) > 1;
        if (!page->doubleByte) {
            for (unsigned b = 0; b < 256; ++b) {
                const char byte = static_cast<char>(b);
                const char *source = &byte;
                error = U_ZERO_ERROR;
                ucnv_reset(page->converter);
                UChar32 c = ucnv_getNextUChar(page->converter, &source, &byte + 1, &error);
                page->table[b] = U_SUCCESS(error) ? static_cast<char32_t>(c) : kUnmapped;
            }
        }
    }
    return *m_pages.emplace(codePage, std::move(page)).first->second;
}

bool CodePageDecoders::isDoubleByte(int codePage)
{
    return page(codePage).doubleByte;
}

bool CodePageDecoders::knownDoubleByte(int codePage)
{
    try {
        return page(codePage).doubleByte;
    } catch (const FormatError &) {
        return false;
    }
}

char32_t CodePageDecoders::single(int codePage, unsigned char byte)
{
    char32_t c = page(codePage).table[byte];
    if (c == kUnmapped)
        Unreadable("byte " + std::to_string(byte) + " has no character in code page " +
                   std::to_string(codePage));
    return c;
}

char32_t CodePageDecoders::next(int codePage, std::string_view bytes, std::size_t &taken)
{
    Page &p = page(codePage);
    ucnv_reset(p.converter);
    const char *source = bytes.data();
    UErrorCode error = U_ZERO_ERROR;
    UChar32 c = ucnv_getNextUChar(p.converter, &source, bytes.data() + bytes.size(), &error);
    if (U_FAILURE(error) || c < 0 || source == bytes.data())
        Unreadable("bytes that code page " + std::to_string(codePage) + " does not map");
    taken = static_cast<std::size_t>(source - bytes.data());
    return static_cast<char32_t>(c);
}

} // namespace vexlo::doc
