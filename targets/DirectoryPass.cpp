#include "targets/DirectoryPass.h"

#include "base/SafeWrite.h"
#include "base/UndoFolder.h"

#include "targets/ScanDir.h"

#include <sys/stat.h>

#include <cstdlib>

namespace vexlo {

namespace {

// The last component of a path as the scan lists it (a file: no trailing separator).
std::string_view baseName(std::string_view path)
{
    const std::size_t slash = path.rfind(PathSeparator);
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string resolved(const std::string &path)
{
    char *real = ::realpath(path.c_str(), nullptr);
    if (!real)
        return {};
    std::string result = real;
    std::free(real);
    return result;
}

// Collects what the pass keeps and judges each entry the scan lists.
class PassFilter : public LinkAwareScanObserver {
  public:
    PassFilter(std::string_view directory, std::vector<std::string> &paths, RunObserver &observer,
               bool directoryLines)
        : m_boundary(directory), m_paths(paths), m_observer(observer), m_directoryLines(directoryLines)
    {
    }

    bool keepGoing() override { return m_observer.keepGoing(); }

    // Directory lines.
    void fileDone(const std::string &path, Outcome) override
    {
        if (m_directoryLines && !IsInUndoStore(path))
            m_paths.push_back(path);
    }

    void fileFound(const std::string &path, bool isLink) override
    {
        if (IsTemporaryName(baseName(path)) || IsInUndoStore(path))
            return; // the rewrite's temporaries and the undo store's originals are no targets
        if (isLink && m_boundary.linkLeadsOutside(path)) {
            m_observer.fileDone(path, Outcome::Skipped);
            m_observer.message(path + ": " + m_boundary.outsideReason());
            return;
        }
        m_paths.push_back(path);
        m_observer.fileDone(path, Outcome::Found); // progress, and a moment for pending events
    }

    void error(const std::string &path, const Error &error) override { m_observer.error(path, error); }

  private:
    TreeBoundary m_boundary;
    std::vector<std::string> &m_paths;
    RunObserver &m_observer;
    bool m_directoryLines;
};

} // namespace

TreeBoundary::TreeBoundary(std::string_view root) : m_root(root), m_resolved(resolved(m_root))
{
    if (!m_resolved.empty() && m_resolved.back() != PathSeparator)
        m_resolved.push_back(PathSeparator); // "/" stays as it is
}

bool TreeBoundary::leadsOutside(const std::string &path) const
{
    if (m_resolved.empty())
        return false;
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode) && linkLeadsOutside(path);
}

bool TreeBoundary::linkLeadsOutside(const std::string &path) const
{
    if (m_resolved.empty())
        return false;
    const std::string target = resolved(path);
    if (target.empty())
        return false;
    // Inside means below the root: the root itself is a directory and never a file's target.
    return target.compare(0, m_resolved.size(), m_resolved) != 0;
}

std::string TreeBoundary::outsideReason() const
{
    return "not followed: the link points outside '" + m_root + "'";
}

void ScanForDirectoryPass(std::string_view directory, std::string_view mask, std::vector<std::string> &paths,
                          RunObserver &observer, bool directoryLines)
{
    PassFilter filter(directory, paths, observer, directoryLines);
    ScanDir(directory, mask, filter);
}

} // namespace vexlo
