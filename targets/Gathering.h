// The work behind the two directory-gathering windows ("Advanced Add Directory or Files" and
// "Add directory"): what a folder holds, the gathered tree, the checked entries, the scans.
#pragma once

#include "targets/TargetEntry.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace vexlo {

/// The name of the file the full scan of "Add Directory (s)" is saved to.
constexpr const char *ScanFileName = "Vexloy.XXX";

/// Called once per directory entry of a scan, so a window can let events in.
using ScanProgress = std::function<void()>;

/// The names in `dir` of every entry that is not a directory (a dangling link counts as a
/// file), sorted byte by byte, read as bytes. A folder that cannot be listed gives none.
std::vector<std::string> FileNamesIn(const std::string &dir);

/// `dir` ending in one separator (a root keeps its single one). Never fails.
std::string WithTrailingSeparator(std::string dir);

/// False for a directory holding a line break: the settings file would keep only the part
/// before the break, another directory. Never fails.
bool StorableDirectory(const std::string &dir);

/// What "Add Directory (s)" with subdirectories gathered.
struct GatheredTree {
    std::vector<std::string> directories; // the tree's directories in the scan's order, checked
    std::size_t skippedLinks = 0;         // links to folders left out
    std::string saveError;                // why the scan file was not written; empty when it was
};

/// Scans the whole tree below `dir` (ScanDir's order, every entry, `progress` per entry) and
/// saves the scan's lines to `scanFile` through the write unit. The directories are taken from
/// the scan itself, not read back from the file: a name holding a line break would come back as
/// two lines, an unwritable file as none. Links to folders are left out (through a link to "/"
/// a later scan of the entry would reach the whole disk). A file that cannot be written is
/// reported in saveError and the directories are gathered all the same; never throws for
/// file-system reasons.
GatheredTree GatherTree(const std::string &dir, const std::string &scanFile, const ScanProgress &progress);

/// The paths of the entries whose check mark is `checked`, in their order. Never fails.
std::vector<std::string> PathsOf(const std::vector<TargetEntry> &entries, bool checked);

/// Every file of each of `directories` (with its subdirectories, as ScanDir lists them) whose
/// name matches `mask`, in order; `progress` per directory entry. Directories that cannot be
/// read add nothing; never throws for file-system reasons.
std::vector<std::string> ScanDirectories(const std::vector<std::string> &directories, const std::string &mask,
                                         const ScanProgress &progress);

} // namespace vexlo
