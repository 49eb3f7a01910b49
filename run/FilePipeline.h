// Rewrites a list of files in list order, reading and transforming ahead on several threads.
#pragma once

#include "base/Error.h"
#include "base/RunObserver.h"
#include "base/SafeWrite.h"
#include "run/CommitHook.h"
#include "run/engine/TextEngine.h"

#include <cstddef>
#include <functional>
#include <string>
#include <unordered_map>
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
    /// nothing; none: every prepared file is committed. Its prepared() is called on the worker
    /// that prepared each file, the other steps on the calling thread.
    CommitHook *hook = nullptr;
};

struct PipelineResult {
    std::size_t rewritten = 0;
    std::size_t failed = 0;
    std::size_t skipped = 0; // left as they were on purpose (binary files)
    bool stopped = false;    // stopAtFirstError and a file failed
};

/// The scanned directories of a directory pass, each opened once for all the files below it
/// and held until the pass ends. A directory that cannot be opened is opened again per file,
/// which then fails on its own.
class HeldRoots {
  public:
    /// `roots`: the scanned directory of each path, or null when the paths are no pass's.
    explicit HeldRoots(const std::vector<std::string> *roots);
    ~HeldRoots();
    HeldRoots(const HeldRoots &) = delete;
    HeldRoots &operator=(const HeldRoots &) = delete;

    /// How the path at `index` is opened: below its held root, if it has one.
    ReplaceOptions options(std::size_t index) const;

  private:
    const std::vector<std::string> *m_roots = nullptr;
    std::unordered_map<std::string, int> m_open;
};

/// Rewrites every path with `op`, with the outcome of processing them one after the other
/// through RewriteFile: a path listed twice is rewritten twice, the second time from the
/// first result. The observer is called on the calling thread in list order: keepGoing()
/// before each file (false leaves it and every later file untouched), fileDone() for each
/// file rewritten, error() for each that failed; a file's failure never throws. A file that
/// holds a NUL byte is left as it was and neither rewritten nor failed: message() gets
/// "PATH: skipped: binary file (it holds NUL bytes)", then fileDone(path, Outcome::Skipped). An exception
/// thrown by the observer propagates after every prepared temporary file has been removed.
PipelineResult RewriteFiles(const std::vector<std::string> &paths, const TextOperation &op,
                            const PipelineOptions &options, RunObserver &observer);

} // namespace vexlo
