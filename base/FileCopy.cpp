#include "base/FileCopy.h"

#include "base/Error.h"
#include "base/SafeWrite.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>
#include <vector>

namespace vexlo {

namespace {

constexpr std::size_t ChunkSize = std::size_t{1} << 20;

Error Refused(const std::string &verb, const std::string &path, const std::string &reason)
{
    return Error(ErrorKind::Io, path, "cannot " + verb + " '" + EscapeControls(path) + "': " + reason);
}

class Descriptor {
  public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const noexcept { return m_fd; }
    int release() noexcept { return std::exchange(m_fd, -1); }
    void reset(int fd)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }

  private:
    int m_fd;
};

// Whether a link owned by `linkOwner` may be followed to a file owned by `targetOwner`.
bool MayFollow(uid_t linkOwner, uid_t targetOwner)
{
    return linkOwner == 0 || linkOwner == ::geteuid() || linkOwner == targetOwner;
}

bool SameState(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

// Splits an absolute path into its folder and its last component.
std::pair<std::string, std::string> Split(const std::string &path, const std::string &verb)
{
    const std::size_t slash = path.rfind('/');
    if (path.empty() || path.front() != '/' || slash == std::string::npos)
        throw Refused(verb, path, "not an absolute path");
    std::string name = path.substr(slash + 1);
    if (name.empty() || name == "." || name == "..")
        throw Refused(verb, path, "not a file name");
    return {slash == 0 ? std::string("/") : path.substr(0, slash), std::move(name)};
}

// The path the kernel gives for an open descriptor.
std::string PathOf(int fd, const std::string &forPath)
{
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    std::vector<char> buffer(4096);
    for (;;) {
        const ssize_t length = ::readlink(self.c_str(), buffer.data(), buffer.size());
        if (length < 0)
            throw IoError("resolve the link", forPath, errno);
        if (static_cast<std::size_t>(length) < buffer.size())
            return std::string(buffer.data(), static_cast<std::size_t>(length));
        buffer.resize(buffer.size() * 4);
    }
}

// One try of the copy: true when done, false when the source changed meanwhile.
bool CopyOnce(const HeldFolder &folder, const std::string &fromName, const std::string &from,
              const std::string &to, const CopyOptions &options)
{
    int flags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    if (!options.followSourceLink)
        flags |= O_NOFOLLOW;
    const Descriptor source(::openat(folder.descriptor(), fromName.c_str(), flags));
    if (source.get() < 0) {
        if (errno == ELOOP && !options.followSourceLink)
            throw Refused("read", from, "a symbolic link stands in its place");
        throw IoError("read", from, errno);
    }
    struct stat before;
    if (::fstat(source.get(), &before) != 0)
        throw IoError("read", from, errno);
    if (S_ISDIR(before.st_mode))
        throw Refused("read", from, "it is a folder");
    if (!S_ISREG(before.st_mode))
        throw Refused("read", from, "not a regular file");

    ReplaceOptions replace;
    replace.createIfMissing = true;
    replace.heldRoot = folder.path();
    replace.heldRootDescriptor = folder.descriptor();
    replace.refuseLinks = true;
    std::string target = to;
    struct stat linked {};
    if (options.targetIsOwnCopy) {
        replace.copyOf = &before;
    } else {
        replace.newFileMode = (before.st_mode & 0777) | 0600;
        const std::string toName = Split(to, "write").second;
        struct stat entry;
        if (::fstatat(folder.descriptor(), toName.c_str(), &entry, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISLNK(entry.st_mode)) {
            // The user's own link is written through; a link someone else put there is not.
            const Descriptor end(
                ::openat(folder.descriptor(), toName.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
            if (end.get() < 0 || ::fstat(end.get(), &linked) != 0)
                throw IoError("write", to, errno);
            if (!MayFollow(entry.st_uid, linked.st_uid))
                throw Refused("write", to, "a symbolic link of another owner stands in its place");
            target = PathOf(end.get(), to);
            replace = ReplaceOptions{};
            replace.refuseLinks = true;
        }
    }

    FileReplacement out(target, replace);
    struct stat opened;
    if (linked.st_ino != 0 && (::fstat(out.sourceDescriptor(), &opened) != 0 ||
                               opened.st_ino != linked.st_ino || opened.st_dev != linked.st_dev))
        throw Refused("write", to, "the file its link leads to changed while it was opened");

    std::vector<char> buffer(std::min<std::size_t>(ChunkSize, static_cast<std::size_t>(before.st_size) + 1));
    for (;;) {
        const ssize_t got = ::read(source.get(), buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw IoError("read", from, errno);
        if (got == 0)
            break;
        out.write(std::string_view(buffer.data(), static_cast<std::size_t>(got)));
    }
    // Torn: the file was written to, truncated, or its name given to another file meanwhile.
    struct stat after, named;
    if (::fstat(source.get(), &after) != 0)
        throw IoError("read", from, errno);
    const int nameFlags = options.followSourceLink ? 0 : AT_SYMLINK_NOFOLLOW;
    if (!SameState(before, after) ||
        ::fstatat(folder.descriptor(), fromName.c_str(), &named, nameFlags) != 0 ||
        named.st_dev != before.st_dev || named.st_ino != before.st_ino)
        return false;
    out.commit();
    return true;
}

} // namespace

HeldFolder::HeldFolder(const std::string &path, const std::string &forPath) : m_path(path)
{
    const auto fail = [&](int err) { return IoError("open the folder of", forPath, err); };
    Descriptor current(
        ::open(path.empty() || path.front() != '/' ? "." : "/", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (current.get() < 0)
        throw fail(errno);
    std::size_t at = 0;
    while (at < path.size()) {
        while (at < path.size() && path[at] == '/')
            ++at;
        const std::size_t end = std::min(path.find('/', at), path.size());
        const std::string part = path.substr(at, end - at);
        at = end;
        if (part.empty() || part == ".")
            continue;
        int next = ::openat(current.get(), part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0 && (errno == ELOOP || errno == ENOTDIR)) {
            struct stat link, folder;
            if (::fstatat(current.get(), part.c_str(), &link, AT_SYMLINK_NOFOLLOW) != 0)
                throw fail(errno);
            if (!S_ISLNK(link.st_mode))
                throw fail(ENOTDIR);
            next = ::openat(current.get(), part.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (next < 0)
                throw fail(errno);
            current.reset(next);
            if (::fstat(next, &folder) != 0)
                throw fail(errno);
            if (!MayFollow(link.st_uid, folder.st_uid))
                throw Refused("open the folder of", forPath,
                              "the link '" + EscapeControls(part) +
                                  "' of another owner leads out of its folder");
            continue;
        }
        if (next < 0)
            throw fail(errno);
        current.reset(next);
    }
    m_fd = current.release();
}

HeldFolder::~HeldFolder()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void CopyFileHeld(const std::string &from, const std::string &to, const CopyOptions &options)
{
    const auto [folderPath, fromName] = Split(from, "read");
    const auto [toFolder, toName] = Split(to, "write");
    if (toFolder != folderPath)
        throw Refused("write", to, "not in the folder of '" + EscapeControls(from) + "'");
    const HeldFolder folder(folderPath, from);
    if (CopyOnce(folder, fromName, from, to, options) || CopyOnce(folder, fromName, from, to, options))
        return;
    throw Refused("copy", from, "changed while being copied");
}

void DeleteFileHeld(const std::string &path)
{
    const auto [folderPath, name] = Split(path, "delete");
    const HeldFolder folder(folderPath, path);
    struct stat entry;
    if (::fstatat(folder.descriptor(), name.c_str(), &entry, AT_SYMLINK_NOFOLLOW) != 0)
        throw IoError("delete", path, errno);
    if (S_ISLNK(entry.st_mode))
        throw Refused("delete", path, "a symbolic link stands in its place");
    if (S_ISDIR(entry.st_mode))
        throw Refused("delete", path, "it is a folder");
    if (!S_ISREG(entry.st_mode))
        throw Refused("delete", path, "not a regular file");
    // Whatever is swapped in between, unlinkat removes a name in this folder only, never what
    // a link leads to, and refuses a folder.
    if (::unlinkat(folder.descriptor(), name.c_str(), 0) != 0)
        throw IoError("delete", path, errno);
}

} // namespace vexlo
