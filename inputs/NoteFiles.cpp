#include "inputs/NoteFiles.h"

#include "base/ProgramFolder.h"
#include "base/ReadFile.h"
#include "base/SafeWrite.h"

namespace vexlo {

std::string NoteFileName(int k)
{
    return "Memo" + std::to_string(k) + ".Notes";
}

std::optional<Lines> ReadNote(const ProgramFolder &folder, int k)
{
    const std::optional<std::string> bytes =
        ReadFileIfPresent(folder.file(NoteFileName(k)).string(), TextFileCap);
    if (!bytes)
        return std::nullopt;
    return SplitLines(*bytes);
}

Lines NoteLines(std::string_view text)
{
    Lines lines;
    if (text.empty())
        return lines;
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            lines.emplace_back(text.substr(start));
            return lines;
        }
        lines.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
}

void SaveNote(const ProgramFolder &folder, int k, std::string_view text)
{
    WriteFileSafely(folder.file(NoteFileName(k)).string(), JoinLines(NoteLines(text)));
}

} // namespace vexlo
