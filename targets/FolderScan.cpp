#include "targets/FolderScan.h"

#include "targets/ScanDir.h"

#include <sys/stat.h>

namespace vexlo {

namespace {

// Whether a directory line of a scan ("<path>/") names a symbolic link.
bool IsLink(const std::string &line)
{
    struct stat st;
    const std::string path = line.substr(0, line.size() - 1);
    return !path.empty() && ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

// The tree listing: every entry into a list, the pace of the caller's observer, no errors.
class TreeList : public RunObserver {
  public:
    TreeList(std::vector<std::string> &out, RunObserver &pace) : m_out(out), m_pace(pace) {}
    bool keepGoing() override { return m_pace.keepGoing(); }
    void fileDone(const std::string &path, Outcome) override { m_out.push_back(path); }
    void error(const std::string &, const Error &) override {}

  private:
    std::vector<std::string> &m_out;
    RunObserver &m_pace;
};

// The caller's observer, remembering a stop so that no later phase starts.
class Phases : public RunObserver {
  public:
    explicit Phases(RunObserver &found) : m_found(found) {}
    bool stopped() const noexcept { return m_stopped; }
    bool keepGoing() override
    {
        m_stopped = m_stopped || !m_found.keepGoing();
        return !m_stopped;
    }
    void fileDone(const std::string &path, Outcome outcome) override { m_found.fileDone(path, outcome); }
    void error(const std::string &path, const Error &error) override { m_found.error(path, error); }
    void message(const std::string &text) override { m_found.message(text); }

  private:
    RunObserver &m_found;
    bool m_stopped = false;
};

} // namespace

void ScanFolder(std::string_view directory, std::string_view mask, bool subfolders, RunObserver &found,
                FolderScanLists &lists)
{
    lists.tree.clear();
    lists.subdirectories.clear();
    Phases phases(found);
    ScanDir(directory, mask, phases);
    if (!subfolders || phases.stopped())
        return;

    TreeList tree(lists.tree, phases);
    ScanDir(directory, "*.*", tree);
    if (phases.stopped())
        return;
    for (const std::string &line : lists.tree) {
        if (!line.empty() && line.back() == PathSeparator && !IsLink(line))
            lists.subdirectories.push_back(line);
    }
    for (const std::string &subdirectory : lists.subdirectories) {
        if (phases.stopped())
            return;
        ScanDir(subdirectory, mask, phases);
    }
}

} // namespace vexlo
