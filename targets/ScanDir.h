// The one directory scan: a directory and a mask in, full paths out.
#pragma once

#include "base/RunObserver.h"

#include <string>
#include <string_view>
#include <vector>

namespace vexlo {

/// The platform's path separator ('/' here).
constexpr char PathSeparator = '/';

/// An observer that also learns which listed files are symbolic links, as the scan knows
/// without asking the file system again (a directory pass judges those).
class LinkAwareScanObserver : public RunObserver {
  public:
    /// Called instead of fileDone(path, Outcome::Found) for every entry that is not a
    /// directory; `isLink` for a symbolic link that does not lead to a directory (a dangling
    /// one included).
    virtual void fileFound(const std::string &path, bool isLink)
    {
        (void)isLink;
        fileDone(path, Outcome::Found);
    }
};

/// Lists, depth-first in each directory's own order, every entry of `directory` whose name
/// matches `mask` (empty = "*.*"), each through observer.fileDone(path, Outcome::Found): a
/// file as its full path, a directory as its path plus a trailing separator, directly before
/// its contents. A directory whose name does not match is neither listed nor entered; a
/// symbolic link to a directory is listed as a directory but not entered. keepGoing() is asked
/// before each entry; false ends the scan there. A directory that cannot be read (the given
/// one included) goes to observer.error with "cannot read directory '<path>'" and contributes
/// nothing more; the scan goes on with the rest. Never throws for file-system reasons; the
/// walk holds a bounded number of descriptors and no call-stack frame per level, so depth is
/// limited by memory only.
void ScanDir(std::string_view directory, std::string_view mask, RunObserver &observer);

/// The same scan gathered into a list; directories that cannot be read are left out silently.
std::vector<std::string> ScanDir(std::string_view directory, std::string_view mask);

} // namespace vexlo
