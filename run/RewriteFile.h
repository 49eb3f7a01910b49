// Applies a text operation to a file on disk, replacing it only once the new content is complete.
#pragma once

#include "base/SafeWrite.h"
#include "run/engine/TextEngine.h"

#include <string>

namespace vexlo {

/// Rewrites `path` with `op` through a FileReplacement (see base/SafeWrite.h for what it
/// keeps and refuses). On failure throws Error{Io} naming the path and the system's reason;
/// the original file is then byte for byte as it was and no temporary file is left. A target
/// changed by another writer during the rewrite is left as that writer left it and reported
/// as "changed while being rewritten". A file that holds a NUL byte is binary: it is left as
/// it was (whatever was prepared is discarded) and SkippedFile is thrown.
void RewriteFile(const std::string &path, const TextOperation &op, const ReplaceOptions &options = {});

/// Everything of RewriteFile but the commit: the new content waits in its temporary.
/// Throws as RewriteFile does.
FileReplacement PrepareRewrite(const std::string &path, const TextOperation &op,
                               const ReplaceOptions &options = {});

} // namespace vexlo
