// Replacing a small file in one step, so a reader sees the old bytes or the new, never half.
#pragma once

#include <filesystem>
#include <string_view>

namespace vexlo {

/// Writes `bytes` to a temporary file in the folder of `path` and renames it over `path`
/// (a link is replaced at its target; an existing file keeps its permissions).
/// Throws Error{Io} when any step fails; the old file is then untouched and no temporary
/// file is left behind.
void WriteFileAtomically(const std::filesystem::path &path, std::string_view bytes);

} // namespace vexlo
