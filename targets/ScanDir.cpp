#include "targets/ScanDir.h"

#include "targets/SearchMask.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

namespace vexlo {

namespace {

enum class EntryType { File, Directory, LinkToDirectory };

// What an entry is, asking the file system only when readdir did not say. A link is followed
// once, only to learn whether it leads to a directory; it is never entered.
EntryType entryType(int dirFd, const dirent &entry)
{
    unsigned char type = DT_UNKNOWN;
#ifdef _DIRENT_HAVE_D_TYPE
    type = entry.d_type;
#endif
    if (type == DT_UNKNOWN) {
        struct stat st;
        if (fstatat(dirFd, entry.d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            return EntryType::File; // vanished meanwhile: list it as found, enter nothing
        if (S_ISDIR(st.st_mode))
            return EntryType::Directory;
        type = S_ISLNK(st.st_mode) ? DT_LNK : DT_REG;
    }
    if (type == DT_DIR)
        return EntryType::Directory;
    if (type == DT_LNK) {
        struct stat st;
        if (fstatat(dirFd, entry.d_name, &st, 0) == 0 && S_ISDIR(st.st_mode))
            return EntryType::LinkToDirectory;
    }
    return EntryType::File;
}

class Scanner {
public:
    Scanner(std::string_view mask, ScanResult &result, const ScanProgress &progress)
        : m_mask(mask), m_result(result), m_progress(progress)
    {
    }

    // `m_path` holds the directory with its trailing separator; `dirFd` is owned and closed here.
    void scan(int dirFd)
    {
        DIR *dir = fdopendir(dirFd);
        if (!dir) {
            close(dirFd);
            return;
        }
        const std::size_t baseLength = m_path.size();
        while (const dirent *entry = readdir(dir)) {
            const char *name = entry->d_name;
            if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
                continue;
            const std::size_t nameLength = std::strlen(name);
            if (!m_mask.matches(std::string_view(name, nameLength)))
                continue;
            if (m_progress)
                m_progress();

            m_path.append(name, nameLength);
            const EntryType type = entryType(::dirfd(dir), *entry);
            if (type == EntryType::File) {
                m_result.append(m_path);
            } else {
                m_path.push_back(PathSeparator);
                m_result.append(m_path);
                if (type == EntryType::Directory) {
                    // O_NOFOLLOW: a directory swapped for a link since readdir is not followed.
                    const int childFd = openat(::dirfd(dir), name,
                                               O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
                    if (childFd >= 0)
                        scan(childFd);
                }
            }
            m_path.resize(baseLength);
        }
        closedir(dir);
    }

    std::string m_path;

private:
    SearchMask m_mask;
    ScanResult &m_result;
    const ScanProgress &m_progress;
};

} // namespace

void ScanDir(std::string_view directory, std::string_view mask, ScanResult &result,
             const ScanProgress &progress)
{
    if (directory.empty())
        return; // never the file system's root by accident
    Scanner scanner(mask, result, progress);
    scanner.m_path.reserve(4096);
    scanner.m_path.assign(directory);
    if (scanner.m_path.empty() || scanner.m_path.back() != PathSeparator)
        scanner.m_path.push_back(PathSeparator);

    // The starting directory itself may be reached through a link; only links met inside
    // the tree are left unentered.
    const int fd = open(scanner.m_path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    scanner.scan(fd);
}

} // namespace vexlo
