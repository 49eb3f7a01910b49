// Small binary Word documents built byte by byte for the reader's tests: a compound file with a
// "WordDocument" and a "1Table" stream, the text in pieces the test describes. Hostile files
// (looping chains, overlapping pieces, unclosed fields) are the same builder with one field
// changed, so each test says which.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vexlo::test {

inline void Put32(std::string &s, std::size_t at, std::uint32_t v)
{
    for (int k = 0; k < 4; ++k)
        s[at + k] = static_cast<char>((v >> (8 * k)) & 0xFF);
}

inline void Put16(std::string &s, std::size_t at, std::uint16_t v)
{
    s[at] = static_cast<char>(v & 0xFF);
    s[at + 1] = static_cast<char>(v >> 8);
}

struct DocPiece {
    std::uint32_t fc = 0; // byte offset in the Word stream
    std::uint32_t count = 0;
    bool compressed = true;
};

struct LegacyDocParts {
    std::string word = std::string(8192, '\0'); // the Word stream; the text goes from 0x800
    std::vector<DocPiece> pieces;
    std::uint32_t ccpText = 0;
    std::string chpxIndex; // the character property index (PlcBteChpx), put in the table stream
};

// Places 8-bit text at `fc` of the Word stream and returns its piece.
inline DocPiece EightBit(LegacyDocParts &parts, std::uint32_t fc, std::string_view text)
{
    if (parts.word.size() < fc + text.size())
        parts.word.resize((fc + text.size() + 511) / 512 * 512, '\0');
    parts.word.replace(fc, text.size(), text);
    return DocPiece{fc, static_cast<std::uint32_t>(text.size()), true};
}

// Places UTF-16 text at `fc` (odd offsets allowed) and returns its piece.
inline DocPiece Wide(LegacyDocParts &parts, std::uint32_t fc, std::u16string_view text)
{
    if (parts.word.size() < fc + 2 * text.size())
        parts.word.resize((fc + 2 * text.size() + 511) / 512 * 512, '\0');
    for (std::size_t k = 0; k < text.size(); ++k)
        Put16(parts.word, fc + 2 * k, text[k]);
    return DocPiece{fc, static_cast<std::uint32_t>(text.size()), false};
}

inline void DirectoryEntry(std::string &dir, std::size_t index, std::u16string_view name, int type,
                           std::uint32_t start, std::uint32_t size)
{
    std::size_t at = 128 * index;
    for (std::size_t k = 0; k < name.size(); ++k)
        Put16(dir, at + 2 * k, name[k]);
    Put16(dir, at + 64, static_cast<std::uint16_t>(2 * (name.size() + 1)));
    dir[at + 66] = static_cast<char>(type);
    Put32(dir, at + 68, 0xFFFFFFFF);
    Put32(dir, at + 72, 0xFFFFFFFF);
    Put32(dir, at + 76, 0xFFFFFFFF);
    Put32(dir, at + 116, start);
    Put32(dir, at + 120, size);
}

// Offsets of the parts in the built file, for tests that damage one of them.
struct LegacyDocLayout {
    std::size_t fatAt = 512, directoryAt = 0, wordAt = 0, tableAt = 0;
    std::uint32_t directorySector = 0, wordSector = 0, tableSector = 0;
};

inline std::string BuildLegacyDoc(LegacyDocParts parts, LegacyDocLayout *layout = nullptr)
{
    std::string &word = parts.word;
    word.resize((word.size() + 511) / 512 * 512, '\0');
    Put16(word, 0, 0xA5EC);
    Put16(word, 2, 193);
    Put16(word, 0x0A, 0x0200); // the table stream is "1Table"
    Put32(word, 0x4C, parts.ccpText);

    std::string table(4096, '\0');
    const std::size_t n = parts.pieces.size();
    std::string plc(4 * (n + 1) + 8 * n, '\0');
    std::uint32_t cp = 0;
    for (std::size_t p = 0; p < n; ++p) {
        Put32(plc, 4 * p, cp);
        cp += parts.pieces[p].count;
        std::uint32_t fc =
            parts.pieces[p].compressed ? (0x40000000u | (parts.pieces[p].fc * 2)) : parts.pieces[p].fc;
        Put32(plc, 4 * (n + 1) + 8 * p + 2, fc);
    }
    Put32(plc, 4 * n, cp);
    table[0] = 0x02;
    Put32(table, 1, static_cast<std::uint32_t>(plc.size()));
    table.replace(5, plc.size(), plc);
    Put32(word, 0x1A2, 0);
    Put32(word, 0x1A6, static_cast<std::uint32_t>(5 + plc.size()));
    if (!parts.chpxIndex.empty()) {
        table.replace(2048, parts.chpxIndex.size(), parts.chpxIndex);
        Put32(word, 0xFA, 2048);
        Put32(word, 0xFE, static_cast<std::uint32_t>(parts.chpxIndex.size()));
    }

    // Sectors: the allocation table's, the directory, the Word stream, the table stream.
    const std::size_t dataSectors = 1 + word.size() / 512 + table.size() / 512;
    std::size_t fatSectors = 1;
    while (fatSectors * 128 < fatSectors + dataSectors)
        ++fatSectors;
    LegacyDocLayout l;
    l.directorySector = static_cast<std::uint32_t>(fatSectors);
    l.wordSector = l.directorySector + 1;
    l.tableSector = l.wordSector + static_cast<std::uint32_t>(word.size() / 512);
    std::string fat(512 * fatSectors, '\xFF');
    for (std::size_t s = 0; s < fatSectors; ++s)
        Put32(fat, 4 * s, 0xFFFFFFFD);
    Put32(fat, 4 * l.directorySector, 0xFFFFFFFE);
    for (std::uint32_t s = l.wordSector; s < l.tableSector; ++s)
        Put32(fat, 4 * s, s + 1 == l.tableSector ? 0xFFFFFFFE : s + 1);
    const std::uint32_t tableEnd = l.tableSector + static_cast<std::uint32_t>(table.size() / 512);
    for (std::uint32_t s = l.tableSector; s < tableEnd; ++s)
        Put32(fat, 4 * s, s + 1 == tableEnd ? 0xFFFFFFFE : s + 1);

    std::string header(512, '\0');
    header.replace(0, 8, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1");
    Put16(header, 24, 0x3E);
    Put16(header, 26, 3);
    Put16(header, 28, 0xFFFE);
    Put16(header, 30, 9);
    Put16(header, 32, 6);
    Put32(header, 44, static_cast<std::uint32_t>(fatSectors));
    Put32(header, 48, l.directorySector);
    Put32(header, 56, 4096);
    Put32(header, 60, 0xFFFFFFFE);
    Put32(header, 68, 0xFFFFFFFE);
    for (std::size_t k = 0; k < 109; ++k)
        Put32(header, 76 + 4 * k, k < fatSectors ? static_cast<std::uint32_t>(k) : 0xFFFFFFFF);

    std::string dir(512, '\0');
    DirectoryEntry(dir, 0, u"Root Entry", 5, 0xFFFFFFFE, 0);
    DirectoryEntry(dir, 1, u"WordDocument", 2, l.wordSector, static_cast<std::uint32_t>(word.size()));
    DirectoryEntry(dir, 2, u"1Table", 2, l.tableSector, static_cast<std::uint32_t>(table.size()));
    l.directoryAt = 512 * (1 + l.directorySector);
    l.wordAt = 512 * (1 + l.wordSector);
    l.tableAt = 512 * (1 + l.tableSector);
    if (layout)
        *layout = l;
    return header + fat + dir + word + table;
}

// A document of one 8-bit piece holding `text`, all of it the main story.
inline std::string SimpleLegacyDoc(std::string_view text, LegacyDocLayout *layout = nullptr)
{
    LegacyDocParts parts;
    parts.pieces.push_back(EightBit(parts, 0x800, text));
    parts.ccpText = static_cast<std::uint32_t>(text.size());
    return BuildLegacyDoc(std::move(parts), layout);
}

} // namespace vexlo::test
