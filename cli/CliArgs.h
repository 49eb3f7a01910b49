// The command line of vexlopro-cli: the raw parse and its conversion into a request.
#pragma once

#include "run/engine/TextEngine.h"
#include "run/office/WordEngine.h"

#include <string>
#include <vector>

namespace vexlo::cli {

/// The arguments as given, sorted by option; nothing is checked against anything else yet.
struct CliArgs {
    std::vector<std::string> find;         // --find TEXT, every occurrence
    std::vector<std::string> findLines;    // --find-lines FILE
    std::vector<std::string> replace;      // --replace TEXT
    std::vector<std::string> replaceLines; // --replace-lines FILE
    std::vector<std::string> masks;        // --mask MASK
    std::vector<std::string> dirs;         // --dir DIR
    std::vector<std::string> scans;        // --scan DIR
    std::vector<std::string> paths;        // operands, "-" included
    TextEngineOptions options;
    bool anyOption = false; // one of the engine options was given
    bool null = false;      // -0 / --null: --scan separates entries by NUL
    bool office = false;    // --office: the office engine instead of the text engine
    bool wildcards = false, soundsLike = false, wordForms = false; // its own options
    bool saveAsText = false; // --save-as-text: the office engine saves every document as plain text
    bool dryRun = false, diff = false, stats = false; // --dry-run, --diff, --stats
    std::vector<std::string> report;                  // --report FILE|-
    std::vector<std::string> backupDir;               // --backup-dir DIR
    std::vector<std::string> restore;                 // --restore DIR
    bool help = false;
    bool version = false;
    std::string error; // the first argument that could not be parsed, with the reason

    /// Anything given besides --restore (which then stands alone).
    bool argumentsBesidesRestore() const
    {
        return !find.empty() || !findLines.empty() || !replace.empty() || !replaceLines.empty() ||
               !masks.empty() || !dirs.empty() || !scans.empty() || !paths.empty() || anyOption || null ||
               office || wildcards || soundsLike || wordForms || dryRun || diff || stats || !report.empty() ||
               !backupDir.empty() || restore.size() > 1;
    }
};

/// Sorts argv into CliArgs. Never fails: an unknown option or a missing value is kept in
/// `error` (the first one only) and parsing goes on.
CliArgs ParseArgs(int argc, const char *const *argv);

/// What the program is asked to do, complete and consistent.
struct CliRequest {
    enum class Mode { Rewrite, Scan, Office, Restore } mode = Mode::Rewrite;
    TextOperation op;
    // Mode::Office: the find and replace texts and the five options.
    std::string officeFind, officeReplace;
    WordEngineOptions officeOptions;
    bool officeSaveAsText = false;  // every document saved as plain text
    std::vector<std::string> paths; // in order; "-" at most once
    std::vector<std::string> dirs;  // scanned after the paths, in order
    std::vector<std::string> scans;
    std::string mask;
    char scanSeparator = '\n'; // after every entry --scan prints
    // What a run tells and keeps besides doing its work.
    bool dryRun = false;    // nothing written; one line per file on stdout
    bool diff = false;      // nothing written; a unified diff of every file that would change
    bool stats = false;     // one summary line on stderr at the end
    std::string report;     // JSON Lines per target to this file ("-": stdout); empty: none
    std::string backupDir;  // originals of the rewritten files and their manifest
    std::string restoreDir; // Mode::Restore: the folder --backup-dir filled
};

/// Checks the combination and reads --find-lines / --replace-lines files.
/// Throws Error{Usage} saying what is wrong (a file that cannot be read included).
CliRequest ToRequest(const CliArgs &args);

/// The text printed by --help.
const char *HelpText();

/// "vexlopro-cli 0.1.0"
std::string VersionText();

} // namespace vexlo::cli
