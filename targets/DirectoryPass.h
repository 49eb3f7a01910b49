// What a directory pass may rewrite of a scanned tree: nothing a link leads to outside the
// tree, and none of the temporary files a rewrite leaves while it works.
#pragma once

#include "base/RunObserver.h"

#include <string>
#include <string_view>
#include <vector>

namespace vexlo {

/// The scanned directory of a pass, resolved once, and the test of links against it.
class TreeBoundary {
  public:
    /// `root` as the user gave it (messages name it so). A root that cannot be resolved lets
    /// no link count as leading outside.
    explicit TreeBoundary(std::string_view root);

    /// True when `path` is a symbolic link whose target, fully resolved, lies outside the
    /// root. A link that cannot be resolved (dangling, a loop) is not judged: opening it
    /// fails later like opening any missing file. Never throws.
    bool leadsOutside(const std::string &path) const;
    /// The same for a `path` known to be a symbolic link (no lstat first).
    bool linkLeadsOutside(const std::string &path) const;

    /// "not followed: the link points outside '<root>'"
    std::string outsideReason() const;

  private:
    std::string m_root;     // as given
    std::string m_resolved; // realpath of the root, empty when it has none
};

/// Scans `directory` with `mask` like ScanDir and appends to `paths` what the pass may work
/// on: every entry the scan lists (directory lines included) except the rewrite's temporary
/// files, which are dropped silently, and links that lead outside `directory`, each of which
/// goes to observer.fileDone(path, Outcome::Skipped) and then observer.message(
/// "<path>: not followed: the link points outside '<directory>'"). keepGoing() and the
/// errors of directories that cannot be read are the scan's own. Without `directoryLines` only
/// the files are kept: the directory lines of a deep tree alone take memory that grows with
/// the square of its depth. Never throws for file-system reasons.
void ScanForDirectoryPass(std::string_view directory, std::string_view mask, std::vector<std::string> &paths,
                          RunObserver &observer, bool directoryLines = true);

} // namespace vexlo
