// Reading a whole text file as lines, for the loads of the input fields and the notes.
#pragma once

#include "base/Lines.h"

#include <string>

namespace vexlo {

/// The file's lines (CR LF, LF or CR end a line). Throws Error{Io} naming `path` when the
/// file cannot be opened or read.
Lines ReadTextLines(const std::string &path);

} // namespace vexlo
