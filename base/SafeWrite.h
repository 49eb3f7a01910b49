// The one way the program replaces or creates a file: new content goes to a temporary file in
// the target's folder (held open by descriptor) and is renamed over the target once complete.
#pragma once

#include <string>
#include <string_view>

namespace vexlo {

/// Replaces the content of `path` with `bytes`, creating the file when it does not exist (its
/// folder must). An existing file keeps its permission bits, owner and group where permitted,
/// and extended attributes; a symbolic link is written through, and a file whose owner has no
/// write permission is refused. Throws Error{Io} naming `path` on failure; the old file is then
/// byte for byte as it was and no temporary file is left.
void WriteFileSafely(const std::string &path, std::string_view bytes);

/// Copies the content of `from` to `to` in the same way (`to` created or replaced; a new `to`
/// gets the permission bits of `from`). Throws Error{Io} naming the path that failed; `to` is
/// then as it was.
void CopyFileSafely(const std::string &from, const std::string &to);

} // namespace vexlo
