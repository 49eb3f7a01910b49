// Carrying out a checked command-line request: rewriting targets, or listing a scan.
#pragma once

#include "cli/CliArgs.h"

#include <functional>
#include <string>
#include <vector>

namespace vexlo::cli {

enum ExitCode { ExitOk = 0, ExitFailed = 1, ExitUsage = 2 };

/// Rewrites the paths (and "-" through standard input and output), then the files found
/// under each --dir. A failing target, and a directory that cannot be read, is reported on
/// stderr and the others still follow; a link out of a --dir tree is reported and skipped
/// without counting as a failure, and so is a file that holds NUL bytes (a binary file, left
/// as it is; "-" is filtered in full). Returns ExitOk, or ExitFailed when at least one target
/// failed; never throws.
int RunRewrite(const CliRequest &request);

/// Rewrites every target with the office engine: opened as a document, replaced all, saved
/// in its own format, or as plain text with --save-as-text ("-": standard input, held in
/// memory, to standard output). A legacy .doc and a binary file are left as they are and
/// reported without counting as failures; any other failure, whatever its kind, is reported
/// with the file's name and the next file follows. Returns like RunRewrite.
int RunOffice(const CliRequest &request);

/// Prints the scan of each directory, each entry followed by the request's separator (LF or
/// NUL). Returns ExitFailed when a directory (at any depth) cannot be read or standard output
/// cannot be written; never throws.
int RunScan(const CliRequest &request);

/// Prints "vexlopro-cli: <reason>" on stderr, naming `path` when the reason does not;
/// control characters are escaped (EscapeControls).
void ReportFailure(const std::string &path, const std::string &reason);

/// Appends the files a directory pass of `dir` with `mask` works on (no directory lines, no
/// link out of the tree, no temporary of ours), reporting on stderr what it passes over.
/// Returns how many directories could not be read. `skipped` hears each link passed over
/// with its reason.
std::size_t CollectDirectoryFiles(
    const std::string &dir, const std::string &mask, std::vector<std::string> &files,
    const std::function<void(const std::string &path, const std::string &reason)> &skipped = {});

} // namespace vexlo::cli
