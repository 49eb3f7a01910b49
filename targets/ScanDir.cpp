#include "targets/ScanDir.h"

#include "base/Error.h"
#include "targets/SearchMask.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vexlo {

namespace {

// Directories this close to the top keep their descriptor while the scan is below them;
// deeper ones hold one only while they are being listed, so a tree of any depth needs at
// most this many plus one.
constexpr std::size_t HeldLevels = 16;

constexpr int DirectoryFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

enum class Kind : unsigned char { File, LinkToFile, Directory, LinkToDirectory };

struct Entry {
    std::string name;
    Kind kind;
};

// What an entry is, asking the file system only when readdir did not say. A link is followed
// once, only to learn whether it leads to a directory; it is never entered.
Kind kindOf(int dirFd, const dirent &entry)
{
    unsigned char type = DT_UNKNOWN;
#ifdef _DIRENT_HAVE_D_TYPE
    type = entry.d_type;
#endif
    if (type == DT_UNKNOWN) {
        struct stat st;
        if (fstatat(dirFd, entry.d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            return Kind::File; // vanished meanwhile: list it as found, enter nothing
        if (S_ISDIR(st.st_mode))
            return Kind::Directory;
        type = S_ISLNK(st.st_mode) ? DT_LNK : DT_REG;
    }
    if (type == DT_DIR)
        return Kind::Directory;
    if (type == DT_LNK) {
        struct stat st;
        if (fstatat(dirFd, entry.d_name, &st, 0) == 0 && S_ISDIR(st.st_mode))
            return Kind::LinkToDirectory;
        return Kind::LinkToFile;
    }
    return Kind::File;
}

bool isDotOrDotDot(const char *name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// One directory on the way from the top to the entry being listed.
struct Frame {
    DIR *dir = nullptr; // still being read; owns its descriptor
    int fd = -1;        // a descriptor of the directory, -1 when none is held
    dev_t device = 0;   // identity, to find the directory again once released
    ino_t inode = 0;
    std::size_t pathLength = 0; // the path up to and including this directory's separator
    std::vector<Entry> rest;    // entries not yet listed, once the reading is finished early
    std::size_t next = 0;       // next entry of `rest`
    int lostErrno = 0;          // why the directory could not be opened again
};

class Scanner {
  public:
    Scanner(std::string_view mask, RunObserver &observer)
        : m_mask(mask), m_observer(observer), m_linkAware(dynamic_cast<LinkAwareScanObserver *>(&observer))
    {
    }
    ~Scanner()
    {
        while (!m_stack.empty()) {
            release(m_stack.back());
            m_stack.pop_back();
        }
    }
    Scanner(const Scanner &) = delete;
    Scanner &operator=(const Scanner &) = delete;

    void run(std::string_view directory)
    {
        m_path.reserve(4096);
        m_path.assign(directory);
        if (m_path.back() != PathSeparator)
            m_path.push_back(PathSeparator);
        // The starting directory itself may be reached through a link; only links met inside
        // the tree are left unentered.
        const int fd = ::open(m_path.c_str(), DirectoryFlags);
        if (fd < 0 || !push(fd)) {
            const int errnum = errno;
            report(std::string(directory), errnum);
            return;
        }
        while (!m_stack.empty()) {
            Entry entry;
            if (!nextEntry(entry)) {
                pop();
                continue;
            }
            if (!m_observer.keepGoing())
                return;
            m_path.resize(m_stack.back().pathLength);
            m_path += entry.name;
            if (entry.kind == Kind::File || entry.kind == Kind::LinkToFile) {
                if (m_linkAware)
                    m_linkAware->fileFound(m_path, entry.kind == Kind::LinkToFile);
                else
                    m_observer.fileDone(m_path, Outcome::Found);
                continue;
            }
            m_path.push_back(PathSeparator);
            m_observer.fileDone(m_path, Outcome::Found);
            if (entry.kind == Kind::Directory)
                enter(entry.name);
        }
    }

  private:
    void report(const std::string &path, int errnum)
    {
        m_observer.error(path, IoError("read directory", path, errnum));
    }

    // Takes `fd` over as the newest level; false (fd closed, errno kept) when it cannot be read.
    bool push(int fd)
    {
        struct stat st;
        DIR *dir = ::fstat(fd, &st) == 0 ? ::fdopendir(fd) : nullptr;
        if (!dir) {
            const int saved = errno;
            ::close(fd);
            errno = saved;
            return false;
        }
        Frame frame;
        frame.dir = dir;
        frame.fd = fd;
        frame.device = st.st_dev;
        frame.inode = st.st_ino;
        frame.pathLength = m_path.size();
        m_stack.push_back(std::move(frame));
        return true;
    }

    // The next entry of the newest level that the mask lets through; false at its end.
    bool nextEntry(Entry &entry)
    {
        Frame &frame = m_stack.back();
        if (!frame.dir) {
            if (frame.next == frame.rest.size())
                return false;
            entry = std::move(frame.rest[frame.next++]);
            return true;
        }
        return readEntry(frame, entry);
    }

    bool readEntry(Frame &frame, Entry &entry)
    {
        for (;;) {
            errno = 0;
            const dirent *found = ::readdir(frame.dir);
            if (!found) {
                if (errno != 0)
                    report(directoryPath(frame), errno);
                return false;
            }
            const char *name = found->d_name;
            if (isDotOrDotDot(name))
                continue;
            const std::size_t length = std::strlen(name);
            if (!m_mask.matches(std::string_view(name, length)))
                continue;
            entry.name.assign(name, length);
            entry.kind = kindOf(frame.fd, *found);
            return true;
        }
    }

    // The path of a level without its trailing separator, as messages name it.
    std::string directoryPath(const Frame &frame) const { return m_path.substr(0, frame.pathLength - 1); }

    // Enters the subdirectory `name` of the newest level; m_path holds its path with separator.
    void enter(const std::string &name)
    {
        Frame &parent = m_stack.back();
        const std::string path = m_path.substr(0, m_path.size() - 1);
        if (parent.fd < 0) {
            report(path, parent.lostErrno);
            return;
        }
        // O_NOFOLLOW: a directory swapped for a link since it was read is not followed.
        const int fd = ::openat(parent.fd, name.c_str(), DirectoryFlags | O_NOFOLLOW);
        if (fd < 0) {
            report(path, errno);
            return;
        }
        if (!push(fd)) {
            report(path, errno);
            return;
        }
        const std::size_t parentLevel = m_stack.size() - 2;
        if (parentLevel + 1 >= HeldLevels) {
            // Deep down: the parent gives its descriptor up and keeps what it has not listed.
            Frame &released = m_stack[parentLevel];
            finishReading(released);
            release(released);
        }
    }

    void finishReading(Frame &frame)
    {
        if (!frame.dir)
            return; // read to the end before, when it first gave its descriptor up
        Entry entry;
        while (readEntry(frame, entry))
            frame.rest.push_back(std::move(entry));
    }

    static void release(Frame &frame)
    {
        if (frame.dir)
            ::closedir(frame.dir);
        else if (frame.fd >= 0)
            ::close(frame.fd);
        frame.dir = nullptr;
        frame.fd = -1;
    }

    // Leaves the newest level; a parent that gave up its descriptor gets one back.
    void pop()
    {
        const std::size_t child = m_stack.size() - 1;
        if (child > 0 && m_stack[child - 1].fd < 0 && m_stack[child - 1].lostErrno == 0)
            reopen(child - 1);
        release(m_stack[child]);
        m_stack.pop_back();
    }

    static bool sameDirectory(int fd, const Frame &frame)
    {
        struct stat st;
        return ::fstat(fd, &st) == 0 && st.st_dev == frame.device && st.st_ino == frame.inode;
    }

    // Opens level `i` again: through ".." of its child, or, when that is no longer its child
    // (the tree was moved meanwhile), by name from the nearest level that holds a descriptor,
    // checking every step against what was read before.
    void reopen(std::size_t i)
    {
        Frame &frame = m_stack[i];
        const Frame &child = m_stack[i + 1];
        if (child.fd >= 0) {
            const int fd = ::openat(child.fd, "..", DirectoryFlags);
            if (fd >= 0 && sameDirectory(fd, frame)) {
                frame.fd = fd;
                return;
            }
            if (fd >= 0)
                ::close(fd);
        }
        std::size_t held = i;
        while (held > 0 && m_stack[held].fd < 0)
            --held;
        if (m_stack[held].fd < 0) {
            frame.lostErrno = ENOENT;
            return;
        }
        int fd = m_stack[held].fd;
        for (std::size_t k = held + 1; k <= i; ++k) {
            const std::size_t start = m_stack[k - 1].pathLength;
            const std::string name = m_path.substr(start, m_stack[k].pathLength - 1 - start);
            const int next = ::openat(fd, name.c_str(), DirectoryFlags | O_NOFOLLOW);
            const int saved = errno;
            if (k > held + 1)
                ::close(fd);
            if (next < 0 || !sameDirectory(next, m_stack[k])) {
                if (next >= 0)
                    ::close(next);
                frame.lostErrno = next < 0 ? saved : ENOENT;
                return;
            }
            fd = next;
        }
        frame.fd = fd;
    }

    SearchMask m_mask;
    RunObserver &m_observer;
    LinkAwareScanObserver *m_linkAware; // the same observer, when it wants to know about links
    std::string m_path;
    std::vector<Frame> m_stack;
};

class Gathered : public RunObserver {
  public:
    explicit Gathered(std::vector<std::string> &out) : m_out(out) {}
    void fileDone(const std::string &path, Outcome) override { m_out.push_back(path); }

  private:
    std::vector<std::string> &m_out;
};

} // namespace

void ScanDir(std::string_view directory, std::string_view mask, RunObserver &observer)
{
    if (directory.empty())
        return; // never the file system's root by accident
    Scanner scanner(mask, observer);
    scanner.run(directory);
}

std::vector<std::string> ScanDir(std::string_view directory, std::string_view mask)
{
    std::vector<std::string> out;
    Gathered gathered(out);
    ScanDir(directory, mask, gathered);
    return out;
}

} // namespace vexlo
