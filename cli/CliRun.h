// Carrying out a checked command-line request: rewriting targets, or listing a scan.
#pragma once

#include "cli/CliArgs.h"

namespace vexlo::cli {

enum ExitCode { ExitOk = 0, ExitFailed = 1, ExitUsage = 2 };

/// Rewrites the paths (and "-" through standard input and output), then the files found
/// under each --dir. A failing target, and a directory that cannot be read, is reported on
/// stderr and the others still follow; a link out of a --dir tree is reported and skipped
/// without counting as a failure. Returns ExitOk, or ExitFailed when at least one target
/// failed; never throws.
int RunRewrite(const CliRequest &request);

/// Prints the scan of each directory, each entry followed by the request's separator (LF or
/// NUL). Returns ExitFailed when a directory (at any depth) cannot be read or standard output
/// cannot be written; never throws.
int RunScan(const CliRequest &request);

/// Prints "vexlopro-cli: <reason>" on stderr, naming `path` when the reason does not;
/// control characters are escaped (EscapeControls).
void ReportFailure(const std::string &path, const std::string &reason);

} // namespace vexlo::cli
