// The office engine over a batch of files outside a window's run (the command line): every
// file gets its turn, whatever became of the one before.
#pragma once

#include "base/RunObserver.h"
#include "run/RunInputs.h"

#include <string>
#include <vector>

namespace vexlo {

class CommitHook;

struct DocumentBatch {
    std::string find, replace;
    WordEngineOptions options;
    bool saveAsText = false; // every document saved as plain text
    /// Sees every save (a preview's are not written); its calls come on one thread in the
    /// order of the files, so a batch with a hook is worked on one file at a time.
    CommitHook *hook = nullptr;
};

/// Opens, replaces all in and saves each of `paths` with the built-in office engine (`roots`,
/// when given, holds the scanned directory of each path: no folder link below it is followed).
/// Without a hook the files are shared out between two workers, each with an application of
/// its own. What became of them is reported afterwards, in the order of the paths:
/// fileDone(path, Done) for a file saved; message(text naming the file) and fileDone(path,
/// Skipped) for one left as it is (a legacy .doc, a binary file); error(path, reason) for a
/// failure of any kind, after which that worker goes on with a fresh application. Returns
/// how many failed; never throws.
std::size_t ProcessDocuments(const std::vector<std::string> &paths, const std::vector<std::string> *roots,
                             const DocumentBatch &batch, RunObserver &observer);

} // namespace vexlo
