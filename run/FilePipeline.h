// Rewrites a list of files in list order, reading and transforming ahead on several threads.
#pragma once

#include "base/Error.h"
#include "base/RunObserver.h"
#include "run/CommitHook.h"
#include "run/TextEngine.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace vexlo {

struct PipelineOptions {
    /// true: the first failing file ends the run; files after it are left untouched.
    /// false: a failing file is reported and the next one follows.
    bool stopAtFirstError = true;
    /// Skip entries ending in the path separator (directory lines of a scan result).
    bool skipDirectoryLines = false;
    /// Worker threads that read and transform ahead; 0 = one per core besides the calling
    /// thread (at least one), 1 = everything on the calling thread through RewriteFile.
    unsigned threads = 0;
    /// For a directory pass: the scanned directory of each path (as many as paths), below
    /// which no folder link is followed (see ReplaceOptions::heldRoot).
    const std::vector<std::string> *heldRoots = nullptr;
    /// Sees every commit (undo copies, reports) or turns the run into a preview that writes
    /// nothing; none: every prepared file is committed.
    CommitHook *hook = nullptr;
};

struct PipelineResult {
    std::size_t rewritten = 0;
    std::size_t failed = 0;
    bool stopped = false; // stopAtFirstError and a file failed
};

/// Rewrites every path with `op`, with the outcome of processing them one after the other
/// through RewriteFile: a path listed twice is rewritten twice, the second time from the
/// first result. The observer is called on the calling thread in list order: keepGoing()
/// before each file (false leaves it and every later file untouched), fileDone() for each
/// file rewritten, error() for each that failed; a file's failure never throws. An exception
/// thrown by the observer propagates after every prepared temporary file has been removed.
PipelineResult RewriteFiles(const std::vector<std::string> &paths, const TextOperation &op,
                            const PipelineOptions &options, RunObserver &observer);

} // namespace vexlo
