// Carrying out a checked command-line request: rewriting targets, or listing a scan.
#pragma once

#include "cli/CliArgs.h"

namespace vexlo::cli {

enum ExitCode { ExitOk = 0, ExitFailed = 1, ExitUsage = 2 };

/// Rewrites the paths (and "-" through standard input and output), then the files found
/// under each --dir. A failing target is reported on stderr and the others still follow.
/// Returns ExitOk, or ExitFailed when at least one target failed; never throws.
int RunRewrite(const CliRequest &request);

/// Rewrites every target with the office engine: opened as a document, replaced all, saved
/// as plain text ("-": standard input to standard output). Returns like RunRewrite.
int RunOffice(const CliRequest &request);

/// Prints the scan of each directory, one entry a line. Returns ExitFailed when a directory
/// cannot be read or standard output cannot be written; never throws.
int RunScan(const CliRequest &request);

/// Prints "vexlopro-cli: <reason>" on stderr, naming `path` when the reason does not.
void ReportFailure(const std::string &path, const std::string &reason);

} // namespace vexlo::cli
