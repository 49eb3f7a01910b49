// The name of the folder where runs keep the originals of the files they rewrite, known to
// the directory pass so that it never takes the store's own files for targets.
#pragma once

#include <string_view>

namespace vexlo {

inline constexpr const char *kUndoFolderName = "vexlopro-undo";

/// Whether `path` lies in a folder named like the undo store (at any depth). Never fails.
inline bool IsInUndoStore(std::string_view path)
{
    constexpr std::string_view name = "/vexlopro-undo/";
    if (path.find(name) != std::string_view::npos)
        return true;
    constexpr std::string_view start = "vexlopro-undo/";
    return path.substr(0, start.size()) == start;
}

} // namespace vexlo
