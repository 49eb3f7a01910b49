// The content hash of a file on disk, for telling whether it is still what a run wrote.
#pragma once

#include "base/ContentHash.h"

#include <cstdint>
#include <string>

namespace vexlo {

/// Hashes the file at `path` read from start to end; sets `size` to its length.
/// Throws Error{Io} when it cannot be opened or read.
std::uint64_t HashFile(const std::string &path, std::uint64_t &size);

} // namespace vexlo
