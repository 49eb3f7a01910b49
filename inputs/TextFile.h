// Reading a whole text file as lines, for the loads of the input fields and the notes.
#pragma once

#include "base/Lines.h"

#include <string>

namespace vexlo {

/// The file's lines (CR LF, LF or CR end a line). Throws Error{Io} naming `path` and the reason
/// when the file cannot be opened or read, is no regular file, or is larger than TextFileCap.
Lines ReadTextLines(const std::string &path);

} // namespace vexlo
