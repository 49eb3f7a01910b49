// The office engine's branches of a run: the file list, the directory list and "Real time",
// carried out by the run driver.
#pragma once

#include "run/RunDriver.h"

#include <optional>
#include <string>
#include <vector>

namespace vexlo {

struct OfficeBranchResult {
    std::size_t saved = 0;
    bool failed = false;             // an error ended the branch
    std::optional<std::string> text; // "Real time": the "Text" page's new text
};

/// Carries out one of the office branches with the applications `source` hands out. The
/// files are `paths` (for the directory list, `roots` holds the scanned directory of each);
/// `observer` is asked before each file whether to go on and told what became of it. The
/// files left as they are come in one message at the end; an error of any kind ends the
/// branch and goes to observer.error naming the file (the files before it stay saved). A
/// preview (`request.hook` that does not commit) writes nothing, and the "Real time" branch
/// is not previewed. Never throws.
OfficeBranchResult RunOfficeBranch(Branch branch, const RunRequest &request,
                                   const std::vector<std::string> &paths,
                                   const std::vector<std::string> *roots, word::ApplicationSource &source,
                                   const ProgramFolder &folder, RunObserver &observer);

} // namespace vexlo
