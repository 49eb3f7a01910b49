// The one recursive directory scan: a directory and a mask in, full paths out.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vexlo {

/// Anything ScanDir appends to. Directories arrive as their path plus a trailing
/// separator, files without one.
class ScanResult {
public:
    virtual ~ScanResult() = default;
    virtual void append(std::string path) = 0;
};

/// A ScanResult over a plain vector of strings.
class VectorScanResult : public ScanResult {
public:
    explicit VectorScanResult(std::vector<std::string> &out) : m_out(out) {}
    void append(std::string path) override { m_out.push_back(std::move(path)); }

private:
    std::vector<std::string> &m_out;
};

/// Called once per directory entry found (the window processes pending events there).
using ScanProgress = std::function<void()>;

/// The platform's path separator ('/' here).
constexpr char PathSeparator = '/';

/// Appends, depth-first in the directory's own order, every entry of `directory` whose
/// name matches `mask` (empty = "*.*"); a matching subdirectory is listed with a trailing
/// separator and entered at once. Symbolic links to directories are listed as directories
/// but not entered. A directory that cannot be read contributes nothing; never throws for
/// file-system reasons.
void ScanDir(std::string_view directory, std::string_view mask, ScanResult &result,
             const ScanProgress &progress = {});

} // namespace vexlo
