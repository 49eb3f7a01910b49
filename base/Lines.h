// Text as lines: how the program's files are split into lines and joined again.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vexlo {

using Lines = std::vector<std::string>;

/// Splits bytes into lines: CR LF, lone LF and lone CR end a line; a break at the very end
/// starts no further line; NUL is an ordinary byte.
Lines SplitLines(std::string_view bytes);

/// Joins lines with CR LF after every line, the last included.
std::string JoinLines(const Lines &lines);

/// Joins lines with `lineEnd` after every line, the last included, so that splitting the
/// result gives every line back, a last empty one too. The one join of lines into a text.
/// Never fails.
std::string JoinLines(const Lines &lines, std::string_view lineEnd);

} // namespace vexlo
