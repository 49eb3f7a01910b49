// Applies a text operation to a file on disk, replacing it only once the new content is complete.
#pragma once

#include "run/TextEngine.h"

#include <string>

namespace vexlo {

/// Rewrites `path` with `op`. The new content goes to a temporary file in the same
/// directory which is then renamed over the target (a symbolic link is followed, so the
/// file it points to is rewritten and the link stays). Permission bits (and the owner,
/// where permitted) are kept.
/// On failure throws Error{Io} naming the path and the system's reason; the original file
/// is then byte for byte as it was and no temporary file is left. Refused without opening
/// for a blocking read: anything that is not a regular file (directory, FIFO, socket,
/// dangling link). Refused: a file without write permission for its owner.
void RewriteFile(const std::string &path, const TextOperation &op);

} // namespace vexlo
