// The legacy binary Word format: a compound file whose "WordDocument" stream starts with the
// file information block, and whose table stream holds the piece table of the main text.
#include "docengine/Readers.h"

#include "docengine/Document.h"
#include "docengine/TextCodec.h"

#include <cstdint>
#include <vector>

namespace vexlo::doc {

namespace {

constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFreeSector = 0xFFFFFFFF;

[[noreturn]] void Broken(const std::string &why)
{
    throw FormatError("not a readable binary Word document: " + why);
}

std::uint32_t U32(std::string_view s, std::size_t at)
{
    if (at + 4 > s.size())
        Broken("a structure runs past its end");
    auto b = [&](std::size_t k) { return static_cast<std::uint32_t>(static_cast<unsigned char>(s[at + k])); };
    return b(0) | b(1) << 8 | b(2) << 16 | b(3) << 24;
}

std::uint16_t U16(std::string_view s, std::size_t at)
{
    if (at + 2 > s.size())
        Broken("a structure runs past its end");
    return static_cast<std::uint16_t>(static_cast<unsigned char>(s[at]) |
                                      static_cast<unsigned char>(s[at + 1]) << 8);
}

// The compound file: sectors, the allocation table, the directory and the mini stream.
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
        m_sectorSize = std::size_t(1) << shift;
        m_miniSectorSize = std::size_t(1) << miniShift;
        m_miniCutoff = U32(bytes, 56);
        // The allocation table's sectors: 109 in the header, more in a chain of extra sectors.
        std::vector<std::uint32_t> fatSectors;
        for (std::size_t k = 0; k < 109; ++k) {
            std::uint32_t s = U32(bytes, 76 + 4 * k);
            if (s != kFreeSector)
                fatSectors.push_back(s);
        }
        std::uint32_t extra = U32(bytes, 68);
        for (std::size_t guard = 0; extra != kEndOfChain && extra != kFreeSector && guard < 1 << 16;
             ++guard) {
            std::string_view sector = sectorAt(extra);
            std::size_t perSector = m_sectorSize / 4 - 1;
            for (std::size_t k = 0; k < perSector; ++k) {
                std::uint32_t s = U32(sector, 4 * k);
                if (s != kFreeSector)
                    fatSectors.push_back(s);
            }
            extra = U32(sector, 4 * perSector);
        }
        for (std::uint32_t s : fatSectors) {
            std::string_view sector = sectorAt(s);
            for (std::size_t k = 0; k < m_sectorSize / 4; ++k)
                m_fat.push_back(U32(sector, 4 * k));
        }
        m_directory = chain(U32(bytes, 48), std::size_t(-1));
        // The root entry holds the mini stream; the mini allocation table has its own chain.
        m_miniStream = chain(U32(m_directory, 116), U32(m_directory, 120));
        std::string miniFat = chain(U32(bytes, 60), std::size_t(-1));
        for (std::size_t k = 0; k + 4 <= miniFat.size(); k += 4)
            m_miniFat.push_back(U32(miniFat, k));
    }

    /// The stream of that name in the directory; throws when there is none.
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
    std::string_view sectorAt(std::uint32_t index) const
    {
        std::size_t at = (static_cast<std::size_t>(index) + 1) * m_sectorSize;
        if (at + m_sectorSize > m_bytes.size())
            Broken("a sector lies beyond the end of the file");
        return m_bytes.substr(at, m_sectorSize);
    }

    std::string chain(std::uint32_t start, std::size_t size) const
    {
        std::string out;
        for (std::uint32_t s = start; s != kEndOfChain && s != kFreeSector && out.size() < size;) {
            if (s >= m_fat.size() || out.size() > m_bytes.size())
                Broken("a broken sector chain");
            out += sectorAt(s);
            s = m_fat[s];
        }
        if (size != std::size_t(-1)) {
            if (out.size() < size)
                Broken("a stream is shorter than its size");
            out.resize(size);
        }
        return out;
    }

    std::string miniChain(std::uint32_t start, std::size_t size) const
    {
        std::string out;
        for (std::uint32_t s = start; s != kEndOfChain && out.size() < size;) {
            std::size_t at = static_cast<std::size_t>(s) * m_miniSectorSize;
            if (s >= m_miniFat.size() || at + m_miniSectorSize > m_miniStream.size())
                Broken("a broken mini sector chain");
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

// Field codes (between field begin and separator), pictures and note marks leave no text.
std::u32string CleanStory(std::u32string_view raw)
{
    std::u32string out;
    std::vector<bool> inInstruction; // one entry per open field
    for (char32_t c : raw) {
        if (c == 0x13) {
            inInstruction.push_back(true);
            continue;
        }
        if (c == 0x14) {
            if (!inInstruction.empty())
                inInstruction.back() = false;
            continue;
        }
        if (c == 0x15) {
            if (!inInstruction.empty())
                inInstruction.pop_back();
            continue;
        }
        bool hidden = false;
        for (bool instruction : inInstruction)
            hidden = hidden || instruction;
        if (hidden || c == 0x01 || c == 0x02 || c == 0x05 || c == 0x08)
            continue;
        out += c == 0x07 ? U'\t' : c; // cell and row marks
    }
    return out;
}

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
    if (lcbClx == 0 || static_cast<std::size_t>(fcClx) + lcbClx > table.size())
        Broken("no piece table");
    std::string_view clx = std::string_view(table).substr(fcClx, lcbClx);
    std::size_t at = 0;
    while (at < clx.size() && clx[at] == 0x01) // property runs before the piece table
        at += 3 + U16(clx, at + 1);
    if (at >= clx.size() || clx[at] != 0x02)
        Broken("no piece table");
    std::uint32_t lcb = U32(clx, at + 1);
    std::string_view plc = clx.substr(at + 5, lcb);
    if (plc.size() < 4 || (plc.size() - 4) % 12 != 0)
        Broken("a piece table of the wrong size");
    std::size_t pieces = (plc.size() - 4) / 12;
    std::u32string raw;
    for (std::size_t p = 0; p < pieces && raw.size() < ccpText; ++p) {
        std::uint32_t cpStart = U32(plc, 4 * p), cpEnd = U32(plc, 4 * (p + 1));
        if (cpEnd < cpStart)
            Broken("a piece table out of order");
        std::uint32_t fc = U32(plc, 4 * (pieces + 1) + 8 * p + 2);
        bool compressed = fc & 0x40000000u;
        std::size_t count = cpEnd - cpStart;
        if (compressed) {
            std::size_t from = (fc & 0x3FFFFFFFu) / 2;
            if (from + count > word.size())
                Broken("a piece lies beyond the text");
            for (std::size_t k = 0; k < count; ++k)
                raw += FromWindows1252(static_cast<unsigned char>(word[from + k]));
        } else {
            std::size_t from = fc;
            if (from + 2 * count > word.size())
                Broken("a piece lies beyond the text");
            for (std::size_t k = 0; k < count; ++k)
                raw += U16(word, from + 2 * k);
        }
    }
    if (raw.size() > ccpText)
        raw.resize(ccpText);
    return CleanStory(raw);
}

} // namespace vexlo::doc
