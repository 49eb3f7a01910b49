#include "targets/Gathering.h"

#include "base/Error.h"
#include "base/Lines.h"
#include "base/RunObserver.h"
#include "base/SafeWrite.h"
#include "targets/ScanDir.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>

namespace vexlo {

namespace {

// Every entry a scan lists, in its order; the caller's progress per entry; never stops.
class Collect : public RunObserver {
  public:
    Collect(std::vector<std::string> &out, const ScanProgress &progress) : m_out(out), m_progress(progress) {}
    bool keepGoing() override
    {
        if (m_progress)
            m_progress();
        return true;
    }
    void fileDone(const std::string &path, Outcome) override { m_out.push_back(path); }

  private:
    std::vector<std::string> &m_out;
    const ScanProgress &m_progress;
};

// Whether a directory line of a scan ("<path>/") names a symbolic link (to a folder: the scan
// lists only those with a trailing separator).
bool IsFolderLink(const std::string &line)
{
    struct stat st;
    const std::string path = line.substr(0, line.size() - 1);
    return !path.empty() && ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

} // namespace

std::vector<std::string> FileNamesIn(const std::string &dir)
{
    std::vector<std::string> names;
    DIR *listing = ::opendir(dir.c_str());
    if (!listing)
        return names;
    while (const dirent *entry = ::readdir(listing)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat st;
        const std::string path = dir + "/" + name;
        if (::stat(path.c_str(), &st) == 0 ? !S_ISDIR(st.st_mode) : ::lstat(path.c_str(), &st) == 0)
            names.push_back(name); // a dangling link is shown as a file
    }
    ::closedir(listing);
    std::sort(names.begin(), names.end());
    return names;
}

std::string WithTrailingSeparator(std::string dir)
{
    if (dir.empty() || dir.back() != PathSeparator)
        dir.push_back(PathSeparator);
    return dir;
}

bool StorableDirectory(const std::string &dir)
{
    return dir.find_first_of("\r\n") == std::string::npos;
}

GatheredTree GatherTree(const std::string &dir, const std::string &scanFile, const ScanProgress &progress)
{
    std::vector<std::string> tree;
    Collect collect(tree, progress);
    ScanDir(dir, "", collect);
    GatheredTree gathered;
    try {
        WriteFileSafely(scanFile, JoinLines(tree));
    } catch (const Error &error) {
        gathered.saveError = error.what();
    }
    for (const std::string &line : tree) {
        if (line.empty() || line.back() != PathSeparator)
            continue;
        if (IsFolderLink(line))
            ++gathered.skippedLinks;
        else
            gathered.directories.push_back(line);
    }
    return gathered;
}

std::vector<std::string> PathsOf(const std::vector<TargetEntry> &entries, bool checked)
{
    std::vector<std::string> paths;
    for (const TargetEntry &entry : entries) {
        if (entry.checked == checked)
            paths.push_back(entry.path);
    }
    return paths;
}

std::vector<std::string> ScanDirectories(const std::vector<std::string> &directories, const std::string &mask,
                                         const ScanProgress &progress)
{
    std::vector<std::string> found;
    Collect collect(found, progress);
    for (const std::string &dir : directories)
        ScanDir(dir, mask, collect);
    return found;
}

} // namespace vexlo
