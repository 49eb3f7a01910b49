// One entry of the file list or the directory list.
#pragma once

#include <string>

namespace vexlo {

struct TargetEntry {
    std::string path; // as the adding operation produced it, never normalised
    bool checked = false;
};

} // namespace vexlo
