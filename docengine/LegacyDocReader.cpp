// The legacy binary Word format: a compound file whose "WordDocument" stream starts with the
// file information block, and whose table stream holds the piece table of the main text.
// Every size the file declares is checked against the file before anything is allocated.
#include "docengine/Readers.h"

#include "docengine/Document.h"
#include "docengine/TextCodec.h"

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

namespace vexlo::doc {

namespace {

constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFreeSector = 0xFFFFFFFF;
constexpr std::uint16_t kSprmDeleted = 0x0800; // sprmCFRMarkDel: the run is a tracked deletion

[[noreturn]] void Broken(const std::string &why)
{
    throw FormatError("not a readable binary Word document: " + why);
}

std::uint32_t U32(std::string_view s, std::size_t at)
{
    if (at > s.size() || s.size() - at < 4)
        Broken("a structure runs past its end");
    auto b = [&](std::size_t k) { return static_cast<std::uint32_t>(static_cast<unsigned char>(s[at + k])); };
    return b(0) | b(1) << 8 | b(2) << 16 | b(3) << 24;
}

std::uint16_t U16(std::string_view s, std::size_t at)
{
    if (at > s.size() || s.size() - at < 2)
        Broken("a structure runs past its end");
    return static_cast<std::uint16_t>(static_cast<unsigned char>(s[at]) |
                                      static_cast<unsigned char>(s[at + 1]) << 8);
}

// The compound file: sectors, the allocation table, the directory and the mini stream. No
// chain may be longer than the table it walks (a loop is refused), and no stream larger than
// the file that holds it.
class CompoundFile {
  public:
    explicit CompoundFile(std::string_view bytes) : m_bytes(bytes)
    {
        if (bytes.size() < 512 || bytes.substr(0, 8) != "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1")
            Broken("no compound file header");
        unsigned shift = U16(bytes, 30);
        unsigned miniShift = U16(bytes, 32);
        if (shift != 9 && shift != 12)
            Broken("unknown sector size");
        if (miniShift != 6)
            Broken("unknown mini sector size");
        m_sectorSize = std::size_t(1) << shift;
        m_miniSectorSize = std::size_t(1) << miniShift;
        m_miniCutoff = U32(bytes, 56);
        const std::size_t sectors = bytes.size() / m_sectorSize; // an upper bound for every table
        // The allocation table's sectors: 109 in the header, more in a chain of extra sectors.
        std::vector<std::uint32_t> fatSectors;
        for (std::size_t k = 0; k < 109; ++k) {
            std::uint32_t s = U32(bytes, 76 + 4 * k);
            if (s != kFreeSector)
                fatSectors.push_back(s);
        }
        std::uint32_t extra = U32(bytes, 68);
        for (std::size_t steps = 0; extra != kEndOfChain && extra != kFreeSector; ++steps) {
            if (steps >= sectors)
                Broken("the allocation table's sector chain loops (it may not be longer than the file's " +
                       std::to_string(sectors) + " sectors)");
            std::string_view sector = sectorAt(extra);
            std::size_t perSector = m_sectorSize / 4 - 1;
            for (std::size_t k = 0; k < perSector; ++k) {
                std::uint32_t s = U32(sector, 4 * k);
                if (s != kFreeSector)
                    fatSectors.push_back(s);
            }
            extra = U32(sector, 4 * perSector);
        }
        if (fatSectors.size() > sectors)
            Broken("the allocation table has more sectors than the file (" + std::to_string(sectors) + ")");
        m_fat.reserve(fatSectors.size() * (m_sectorSize / 4));
        for (std::uint32_t s : fatSectors) {
            std::string_view sector = sectorAt(s);
            for (std::size_t k = 0; k < m_sectorSize / 4; ++k)
                m_fat.push_back(U32(sector, 4 * k));
        }
        m_directory = chain(U32(bytes, 48), kUnknownSize);
        // The root entry holds the mini stream; the mini allocation table has its own chain.
        m_miniStream = chain(U32(m_directory, 116), U32(m_directory, 120));
        std::string miniFat = chain(U32(bytes, 60), kUnknownSize);
        for (std::size_t k = 0; k + 4 <= miniFat.size(); k += 4)
            m_miniFat.push_back(U32(miniFat, k));
    }

    /// The stream of that name in the directory; empty when there is none.
    std::string stream(std::u16string_view name) const
    {
        for (std::size_t at = 0; at + 128 <= m_directory.size(); at += 128) {
            std::size_t nameBytes = U16(m_directory, at + 64);
            if (nameBytes < 2 || nameBytes > 64 || m_directory[at + 66] != 2)
                continue; // not a stream
            std::u16string entry;
            for (std::size_t k = 0; k + 2 < nameBytes; k += 2)
                entry += static_cast<char16_t>(U16(m_directory, at + k));
            if (entry != name)
                continue;
            std::uint32_t start = U32(m_directory, at + 116);
            std::uint32_t size = U32(m_directory, at + 120);
            return size < m_miniCutoff ? miniChain(start, size) : chain(start, size);
        }
        return {};
    }

  private:
    static constexpr std::size_t kUnknownSize = std::size_t(-1);

    std::string_view sectorAt(std::uint32_t index) const
    {
        std::size_t at = (static_cast<std::size_t>(index) + 1) * m_sectorSize;
        if (at > m_bytes.size() || m_bytes.size() - at < m_sectorSize)
            Broken("a sector lies beyond the end of the file");
        return m_bytes.substr(at, m_sectorSize);
    }

    std::string chain(std::uint32_t start, std::size_t size) const
    {
        if (size != kUnknownSize && size > m_bytes.size())
            Broken("a stream of " + std::to_string(size) + " bytes is larger than the file (" +
                   std::to_string(m_bytes.size()) + " bytes)");
        std::string out;
        if (size != kUnknownSize)
            out.reserve(size);
        std::size_t steps = 0;
        for (std::uint32_t s = start; s != kEndOfChain && s != kFreeSector && out.size() < size;) {
            if (s >= m_fat.size())
                Broken("a broken sector chain");
            if (++steps > m_fat.size())
                Broken("a sector chain loops (it may not be longer than the allocation table's " +
                       std::to_string(m_fat.size()) + " entries)");
            out += sectorAt(s);
            s = m_fat[s];
        }
        if (size != kUnknownSize) {
            if (out.size() < size)
                Broken("a stream is shorter than its size");
            out.resize(size);
        }
        return out;
    }

    std::string miniChain(std::uint32_t start, std::size_t size) const
    {
        if (size > m_miniStream.size())
            Broken("a small stream of " + std::to_string(size) + " bytes is larger than the mini stream (" +
                   std::to_string(m_miniStream.size()) + " bytes)");
        std::string out;
        out.reserve(size);
        std::size_t steps = 0;
        for (std::uint32_t s = start; s != kEndOfChain && out.size() < size;) {
            std::size_t at = static_cast<std::size_t>(s) * m_miniSectorSize;
            if (s >= m_miniFat.size() || at + m_miniSectorSize > m_miniStream.size())
                Broken("a broken mini sector chain");
            if (++steps > m_miniFat.size())
                Broken("a mini sector chain loops (it may not be longer than the mini table's " +
                       std::to_string(m_miniFat.size()) + " entries)");
            out.append(m_miniStream, at, m_miniSectorSize);
            s = m_miniFat[s];
        }
        if (out.size() < size)
            Broken("a stream is shorter than its size");
        out.resize(size);
        return out;
    }

    std::string_view m_bytes;
    std::size_t m_sectorSize = 512, m_miniSectorSize = 64;
    std::uint32_t m_miniCutoff = 4096;
    std::vector<std::uint32_t> m_fat, m_miniFat;
    std::string m_directory, m_miniStream;
};

// The size of a property modifier's operand (after its two-byte code), or the variable size
// read from the bytes that follow.
std::size_t OperandSize(std::string_view grpprl, std::size_t at, std::uint16_t sprm)
{
    switch (sprm >> 13) {
    case 0:
    case 1:
        return 1;
    case 2:
    case 4:
    case 5:
        return 2;
    case 3:
        return 4;
    case 7:
        return 3;
    default:
        if (sprm == 0xD608 || sprm == 0xD606) // table definitions: a two-byte length
            return 2 + U16(grpprl, at);
        if (at >= grpprl.size())
            Broken("a property runs past its end");
        return 1 + static_cast<unsigned char>(grpprl[at]);
    }
}

// Whether a list of property modifiers marks its text as a tracked deletion; -1 when it says
// nothing about it.
int DeletionIn(std::string_view grpprl)
{
    int deleted = -1;
    for (std::size_t at = 0; at + 2 <= grpprl.size();) {
        std::uint16_t sprm = U16(grpprl, at);
        at += 2;
        if (sprm == kSprmDeleted && at < grpprl.size())
            deleted = (static_cast<unsigned char>(grpprl[at]) & 1) != 0;
        at += OperandSize(grpprl, at, sprm);
    }
    return deleted;
}

// The byte ranges of the Word stream whose characters are tracked deletions, from the
// character property pages, sorted.
std::vector<std::pair<std::uint32_t, std::uint32_t>> DeletedRanges(std::string_view word,
                                                                   std::string_view table)
{
    std::vector<std::pair<std::uint32_t, std::uint32_t>> ranges;
    std::uint32_t fc = U32(word, 0xFA), lcb = U32(word, 0xFE);
    if (lcb == 0)
        return ranges;
    if (fc > table.size() || table.size() - fc < lcb || lcb < 4 || (lcb - 4) % 8 != 0)
        Broken("the character property index lies beyond its stream");
    std::string_view plc = table.substr(fc, lcb);
    std::size_t pages = (lcb - 4) / 8;
    for (std::size_t p = 0; p < pages; ++p) {
        std::size_t pn = U32(plc, 4 * (pages + 1) + 4 * p) & 0x3FFFFF;
        if (pn * 512 > word.size() || word.size() - pn * 512 < 512)
            Broken("a character property page lies beyond the text");
        std::string_view page = word.substr(pn * 512, 512);
        std::size_t runs = static_cast<unsigned char>(page[511]);
        if (4 * (runs + 1) + runs > 511)
            Broken("a character property page with too many runs");
        for (std::size_t r = 0; r < runs; ++r) {
            std::size_t offset =
                2 * static_cast<std::size_t>(static_cast<unsigned char>(page[4 * (runs + 1) + r]));
            if (offset == 0)
                continue;
            if (offset >= 511)
                Broken("character properties beyond their page");
            std::size_t cb = static_cast<unsigned char>(page[offset]);
            if (offset + 1 + cb > 511)
                Broken("character properties beyond their page");
            if (DeletionIn(page.substr(offset + 1, cb)) == 1)
                ranges.emplace_back(U32(page, 4 * r), U32(page, 4 * (r + 1)));
        }
    }
    std::sort(ranges.begin(), ranges.end());
    return ranges;
}

// Whether any paragraph lies in a table nested in another table's cell. Such a table's cells
// and rows end with paragraph marks told apart only by their paragraph properties, which this
// reader does not apply to the story, so the document is refused rather than read with its
// inner cells run together. The paragraph property pages are looked through for the nesting
// depth (sprmPItap) and the inner-cell and inner-row flags.
bool HoldsNestedTables(std::string_view word, std::string_view table)
{
    constexpr std::uint16_t kSprmInnerCell = 0x244B, kSprmInnerRowEnd = 0x244C, kSprmTableDepth = 0x6649;
    std::uint32_t fc = U32(word, 0x102), lcb = U32(word, 0x106);
    if (lcb == 0)
        return false;
    if (fc > table.size() || table.size() - fc < lcb || lcb < 4 || (lcb - 4) % 8 != 0)
        Broken("the paragraph property index lies beyond its stream");
    std::string_view plc = table.substr(fc, lcb);
    std::size_t pages = (lcb - 4) / 8;
    for (std::size_t p = 0; p < pages; ++p) {
        std::size_t pn = U32(plc, 4 * (pages + 1) + 4 * p) & 0x3FFFFF;
        if (pn * 512 > word.size() || word.size() - pn * 512 < 512)
            Broken("a paragraph property page lies beyond the text");
        std::string_view page = word.substr(pn * 512, 512);
        std::size_t runs = static_cast<unsigned char>(page[511]);
        if (4 * (runs + 1) + 13 * runs > 511)
            Broken("a paragraph property page with too many paragraphs");
        for (std::size_t r = 0; r < runs; ++r) {
            std::size_t offset =
                2 * static_cast<std::size_t>(static_cast<unsigned char>(page[4 * (runs + 1) + 13 * r]));
            if (offset == 0)
                continue;
            if (offset + 1 >= 511)
                Broken("paragraph properties beyond their page");
            // A first byte of 0 gives the size in words in the next byte; otherwise the
            // properties take 2 * cb - 1 bytes.
            std::size_t cb = static_cast<unsigned char>(page[offset]), start = offset + 1, size = 0;
            if (cb == 0) {
                size = 2 * static_cast<std::size_t>(static_cast<unsigned char>(page[offset + 1]));
                ++start;
            } else {
                size = 2 * cb - 1;
            }
            if (size < 2 || start + size > 511)
                Broken("paragraph properties beyond their page");
            std::string_view grpprl = page.substr(start + 2, size - 2); // after the style index
            for (std::size_t at = 0; at + 2 <= grpprl.size();) {
                std::uint16_t sprm = U16(grpprl, at);
                at += 2;
                if (at < grpprl.size() && (sprm == kSprmInnerCell || sprm == kSprmInnerRowEnd) &&
                    grpprl[at] != 0)
                    return true;
                if (sprm == kSprmTableDepth && at + 4 <= grpprl.size() && U32(grpprl, at) > 1)
                    return true;
                at += OperandSize(grpprl, at, sprm);
            }
        }
    }
    return false;
}

bool InRanges(const std::vector<std::pair<std::uint32_t, std::uint32_t>> &ranges, std::size_t fc)
{
    auto it = std::upper_bound(
        ranges.begin(), ranges.end(),
        std::pair<std::uint32_t, std::uint32_t>(static_cast<std::uint32_t>(fc), 0xFFFFFFFFu));
    return it != ranges.begin() && fc < std::prev(it)->second;
}

// Field codes (between field begin and separator), pictures and note marks leave no text; a
// field's result stays. One pass, whatever the nesting: only the number of open fields still
// in their instructions matters.
std::u32string CleanStory(std::u32string_view raw)
{
    std::u32string out;
    out.reserve(raw.size());
    std::vector<bool> inInstruction; // one entry per open field
    std::size_t hiding = 0;          // open fields still in their instructions
    for (char32_t c : raw) {
        if (c == 0x13) {
            inInstruction.push_back(true);
            ++hiding;
            continue;
        }
        if (c == 0x14) {
            if (!inInstruction.empty() && inInstruction.back()) {
                inInstruction.back() = false;
                --hiding;
            }
            continue;
        }
        if (c == 0x15) {
            if (!inInstruction.empty()) {
                hiding -= inInstruction.back() ? 1 : 0;
                inInstruction.pop_back();
            }
            continue;
        }
        if (hiding > 0)
            continue;
        // Marks of pictures, notes, comments and drawn objects, and other control characters,
        // are not text.
        if (c < 0x20 && c != U'\t' && c != kParagraphMark && c != kLineBreak && c != kPageBreak &&
            c != kColumnBreak && c != kCellMark && c != kNonbreakingHyphen && c != kOptionalHyphen)
            continue;
        out += c; // 0x07 ends a cell, and a further one ends the row: both are the story's cell mark
    }
    if (hiding > 0)
        Broken("a field is never closed; its instructions would hide the rest of the text");
    return out;
}

struct Piece {
    std::size_t from = 0, bytes = 0; // where its characters lie in the Word stream
    std::size_t count = 0;           // characters
    bool compressed = false;
    bool deleted = false; // marked deleted as a whole by its property modifier
};

} // namespace

std::u32string ReadLegacyDoc(std::string_view bytes)
{
    CompoundFile file(bytes);
    std::string word = file.stream(u"WordDocument");
    if (word.size() < 0x1AA || U16(word, 0) != 0xA5EC)
        Broken("no Word document stream");
    std::uint16_t flags = U16(word, 0x0A);
    if (flags & 0x0100)
        Broken("the document is encrypted");
    std::string table = file.stream((flags & 0x0200) ? u"1Table" : u"0Table");
    std::uint32_t ccpText = U32(word, 0x4C);
    std::uint32_t fcClx = U32(word, 0x1A2);
    std::uint32_t lcbClx = U32(word, 0x1A6);
    if (lcbClx == 0 || fcClx > table.size() || table.size() - fcClx < lcbClx)
        Broken("no piece table");
    std::string_view clx = std::string_view(table).substr(fcClx, lcbClx);
    std::size_t at = 0;
    std::vector<std::string_view> modifiers; // the property lists pieces may name
    while (at < clx.size() && clx[at] == 0x01) {
        std::size_t cb = static_cast<std::int16_t>(U16(clx, at + 1)) < 0 ? 0 : U16(clx, at + 1);
        if (at + 3 + cb > clx.size())
            Broken("a piece property list runs past the piece table");
        modifiers.push_back(clx.substr(at + 3, cb));
        at += 3 + cb;
    }
    if (at >= clx.size() || clx[at] != 0x02)
        Broken("no piece table");
    std::uint32_t lcb = U32(clx, at + 1);
    if (lcb > clx.size() - at - 5)
        Broken("the piece table claims " + std::to_string(lcb) + " bytes, more than its stream holds");
    std::string_view plc = clx.substr(at + 5, lcb);
    if (plc.size() < 4 || (plc.size() - 4) % 12 != 0)
        Broken("a piece table of the wrong size");
    const std::size_t count = (plc.size() - 4) / 12;
    std::vector<Piece> pieces(count);
    std::size_t characters = 0;
    if (U32(plc, 0) != 0)
        Broken("a piece table that does not start at the first character");
    for (std::size_t p = 0; p < count; ++p) {
        std::uint32_t cpStart = U32(plc, 4 * p), cpEnd = U32(plc, 4 * (p + 1));
        if (cpEnd < cpStart)
            Broken("a piece table out of order");
        std::size_t descriptor = 4 * (count + 1) + 8 * p;
        std::uint32_t fc = U32(plc, descriptor + 2);
        std::uint16_t prm = U16(plc, descriptor + 6);
        Piece &piece = pieces[p];
        piece.count = cpEnd - cpStart;
        piece.compressed = fc & 0x40000000u;
        piece.from = piece.compressed ? (fc & 0x3FFFFFFFu) / 2 : (fc & 0x3FFFFFFFu);
        piece.bytes = piece.compressed ? piece.count : 2 * piece.count;
        if (piece.from > word.size() || word.size() - piece.from < piece.bytes)
            Broken("a piece lies beyond the end of the text stream");
        if (prm & 1) {
            std::size_t index = prm >> 1;
            if (index >= modifiers.size())
                Broken("a piece names a property list that does not exist");
            piece.deleted = DeletionIn(modifiers[index]) == 1;
        } else if ((prm >> 1) & 0x7F) {
            // A single property stored in the piece (a fast-saved document): its code is not
            // kept here, so a tracked deletion could not be told apart.
            Broken("a fast-saved document with properties in its piece table");
        }
        characters += piece.count;
    }
    // Pieces may not share bytes: overlapping pieces would repeat text (and are the way a small
    // file asks for a huge story).
    std::vector<std::pair<std::size_t, std::size_t>> spans;
    for (const Piece &piece : pieces)
        if (piece.bytes > 0)
            spans.emplace_back(piece.from, piece.from + piece.bytes);
    std::sort(spans.begin(), spans.end());
    for (std::size_t k = 1; k < spans.size(); ++k)
        if (spans[k].first < spans[k - 1].second)
            Broken("two pieces of the piece table overlap");
    if (ccpText > characters)
        Broken("the main text claims " + std::to_string(ccpText) +
               " characters, more than its pieces hold (" + std::to_string(characters) + ")");

    if (HoldsNestedTables(word, table))
        Broken("a table nested in another table's cell");
    const auto deletedRanges = DeletedRanges(word, table);
    std::u16string units;
    units.reserve(ccpText);
    std::vector<bool> deleted;
    deleted.reserve(ccpText);
    for (const Piece &piece : pieces) {
        for (std::size_t k = 0; k < piece.count && units.size() < ccpText; ++k) {
            std::size_t fc = piece.compressed ? piece.from + k : piece.from + 2 * k;
            // A compressed piece's bytes are Windows-1252 characters.
            units += piece.compressed
                         ? static_cast<char16_t>(FromWindows1252(static_cast<unsigned char>(word[fc])))
                         : static_cast<char16_t>(U16(word, fc));
            deleted.push_back(piece.deleted || InRanges(deletedRanges, fc));
        }
    }
    // UTF-16 to code points: a pair of surrogates is one character; a lone one cannot be read.
    std::u32string raw;
    raw.reserve(units.size());
    for (std::size_t k = 0; k < units.size(); ++k) {
        char32_t c = units[k];
        bool isDeleted = deleted[k];
        if (c >= 0xD800 && c <= 0xDBFF && k + 1 < units.size() && units[k + 1] >= 0xDC00 &&
            units[k + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (units[k + 1] - 0xDC00);
            ++k;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            Broken("a lone UTF-16 surrogate in the text");
        }
        // A tracked deletion is not part of the story; its field marks go with it.
        if (!isDeleted)
            raw += c;
    }
    return CleanStory(raw);
}

} // namespace vexlo::doc
