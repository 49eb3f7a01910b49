// The scan of the "Scan directory(s)" window: a folder with a mask, and with subfolders a
// second phase that scans every folder of the tree with the same mask.
#pragma once

#include "base/RunObserver.h"

#include <string>
#include <string_view>
#include <vector>

namespace vexlo {

/// The work lists of a scan with subfolders.
struct FolderScanLists {
    std::vector<std::string> tree;           // every entry of the folder's tree, as ScanDir lists it
    std::vector<std::string> subdirectories; // the directory lines of `tree` the second phase scanned
};

/// Scans `directory` with `mask` through `found` (ScanDir's order, errors and keepGoing). With
/// `subfolders`, then lists the whole tree ("*.*") into lists.tree, asking found.keepGoing()
/// before each entry but dropping its errors (the second phase meets the same folders), keeps
/// its directory lines that are not symbolic links as lists.subdirectories (a link to "/" would
/// bring in the whole disk), and scans each of them with `mask` through `found`, in order. So a
/// file of a subfolder is listed twice when the mask matches the subfolder's name too. A false
/// keepGoing() ends the whole scan there. Without `subfolders` the lists are
/// emptied. Never throws for file-system reasons.
void ScanFolder(std::string_view directory, std::string_view mask, bool subfolders, RunObserver &found,
                FolderScanLists &lists);

} // namespace vexlo
