// The six notes of the "Notes" window, each a file of lines in the program folder.
#pragma once

#include "base/Lines.h"

#include <optional>
#include <string>
#include <string_view>

namespace vexlo {

class ProgramFolder;

/// How many notes the window shows.
constexpr int NoteCount = 6;

/// The file name of note `k` (1 to NoteCount): "Memo<k>.Notes". Never fails.
std::string NoteFileName(int k);

/// The lines of note `k` as saved (CR LF, LF or CR end a line); nothing when it has no file, so
/// the window keeps what it shows. Throws Error{Io} naming the file and the reason when the file
/// cannot be read, is no regular file or is larger than TextFileCap.
std::optional<Lines> ReadNote(const ProgramFolder &folder, int k);

/// The lines of a note's text (lines separated by LF): every line, an empty last one included,
/// so that a note read back shows exactly what was saved; an empty text has none. Never fails.
Lines NoteLines(std::string_view text);

/// Saves `text` as note `k` through the write unit, every line ending in CR LF; an empty note
/// is an empty file. Throws Error naming the file and the reason when it cannot be written; the
/// file saved before is then left as it was.
void SaveNote(const ProgramFolder &folder, int k, std::string_view text);

} // namespace vexlo
