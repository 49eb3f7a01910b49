// How a long loop over files (a scan, a rewrite, a run, a backup, a speed test) reports what
// it does and asks whether to go on.
#pragma once

#include "base/Error.h"

#include <cstddef>
#include <string>

namespace vexlo {

/// What became of one item of a loop.
enum class Outcome {
    Done,    // rewritten, copied, restored or deleted
    Found,   // listed by a scan
    Skipped, // passed over (a directory line, a link that is not followed, a stop)
};

/// Every method is called on the thread that runs the loop, in the loop's order.
class RunObserver {
  public:
    virtual ~RunObserver() = default;
    /// A loop over `count` items begins (not called by loops that cannot count ahead).
    virtual void starting(std::size_t count) { (void)count; }
    /// Asked before each item; false ends the loop there (later items are left alone).
    virtual bool keepGoing() { return true; }
    /// One item is done with.
    virtual void fileDone(const std::string &path, Outcome outcome)
    {
        (void)path;
        (void)outcome;
    }
    /// One item failed; `error` names the path and the reason.
    virtual void error(const std::string &path, const Error &error)
    {
        (void)path;
        (void)error;
    }
    /// A fixed-text message for the user ("What to find?").
    virtual void message(const std::string &text) { (void)text; }
};

} // namespace vexlo
