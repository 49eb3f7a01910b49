#include "base/SafeWrite.h"

#include "base/Error.h"
#include "base/ReadFile.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <linux/openat2.h>
#include <stdio.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <utility>
#include <vector>

// There is no fsync: the rename makes the new content replace the old atomically as far as
// other programs see, as the usual in-place editors do; a forced flush would cost a disk
// round trip per file. The folder is opened once and every later step is taken relative to
// it, so a folder renamed or swapped for a link meanwhile cannot redirect the result.

namespace vexlo {

namespace fsseam {
namespace {
std::atomic<Hook> g_hook{nullptr};
std::atomic<bool> g_unnamed{true};
} // namespace
void SetHook(Hook hook)
{
    g_hook = hook;
}
void SetUnnamedTemporaries(bool on)
{
    g_unnamed = on;
}
} // namespace fsseam

namespace {

using fsseam::Step;

constexpr std::string_view kTempMarker = ".vexlo-";
constexpr std::size_t kTempSuffix = 6;

// Fails the step when a test asks it to: errno is set as the real call would set it.
bool Injected(Step step, const std::string &path)
{
    const fsseam::Hook hook = fsseam::g_hook.load(std::memory_order_relaxed);
    if (!hook)
        return false;
    const int err = hook(step, path);
    if (err == 0)
        return false;
    errno = err;
    return true;
}

Error Changed(const std::string &path)
{
    return Error(ErrorKind::Io, path, "cannot rewrite '" + path + "': changed while being rewritten");
}

Error NotRegular(const std::string &path)
{
    return Error(ErrorKind::Io, path, "cannot rewrite '" + path + "': not a regular file");
}

Error Outside(const std::string &path, const std::string &root)
{
    return Error(ErrorKind::Io, path,
                 "cannot rewrite '" + path + "': not followed: the link points outside '" + root + "'");
}

// A folder descriptor of our own, closed on leaving the scope.
struct HeldFolder {
    int fd = -1;
    HeldFolder() = default;
    HeldFolder(const HeldFolder &) = delete;
    HeldFolder &operator=(const HeldFolder &) = delete;
    ~HeldFolder()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

// Paths below a held root are opened in pieces of whole components no longer than this, far
// below PATH_MAX, so a tree of any depth is reached and memory stays bounded by one piece.
constexpr std::size_t kPiece = 2048;

// Opens the folder `piece` (a few components) below `from` without following any link.
int OpenPiece(int from, const std::string &piece)
{
    // In one call where the kernel offers it, else one folder after the other.
    static std::atomic<bool> haveOpenat2{true};
    if (haveOpenat2) {
        open_how how{};
        how.flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
        how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_BENEATH;
        const int fd = static_cast<int>(::syscall(SYS_openat2, from, piece.c_str(), &how, sizeof how));
        if (fd >= 0)
            return fd;
        if (errno != ENOSYS && errno != EPERM) {
            if (errno == EXDEV)
                errno = ELOOP;
            return -1;
        }
        haveOpenat2 = false; // an older kernel, or a filter that refuses the call
    }
    int current = from;
    std::size_t at = 0;
    while (at < piece.size()) {
        const std::size_t end = std::min(piece.find('/', at), piece.size());
        const std::string part = piece.substr(at, end - at);
        at = end + 1;
        const int next = ::openat(current, part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        const int err = errno == ENOTDIR ? ELOOP : errno;
        if (current != from)
            ::close(current);
        if (next < 0) {
            errno = err;
            return -1;
        }
        current = next;
    }
    return current;
}

// Opens the folder `relative` below `from` without following a link or leaving it by "..", a
// piece at a time. Returns a new descriptor (a duplicate of `from` for an empty path), or -1
// with errno set.
int OpenBeneath(int from, std::string_view relative)
{
    int current = -1; // ours; -1 while still at `from`
    std::string piece;
    std::size_t at = 0;
    for (;;) {
        piece.clear();
        while (at < relative.size()) {
            while (at < relative.size() && relative[at] == '/')
                ++at;
            if (at == relative.size())
                break;
            const std::size_t end = std::min(relative.find('/', at), relative.size());
            const std::string_view part = relative.substr(at, end - at);
            if (part == "..") {
                if (current >= 0)
                    ::close(current);
                errno = ELOOP;
                return -1;
            }
            if (!piece.empty() && piece.size() + 1 + part.size() > kPiece)
                break;
            if (part != ".") {
                if (!piece.empty())
                    piece += '/';
                piece += part;
            }
            at = end;
        }
        if (piece.empty())
            break;
        const int next = OpenPiece(current >= 0 ? current : from, piece);
        const int err = errno;
        if (current >= 0)
            ::close(current);
        if (next < 0) {
            errno = err;
            return -1;
        }
        current = next;
    }
    return current >= 0 ? current : ::fcntl(from, F_DUPFD_CLOEXEC, 0);
}

// The path a descriptor's folder, or a name in it, leads to with every link resolved; empty
// with errno set when it has none (no /proc, a dangling link, longer than PATH_MAX).
std::string RealPathAt(int folder, const std::string &name)
{
    std::string through = "/proc/self/fd/" + std::to_string(folder);
    if (!name.empty())
        through += "/" + name;
    char *real = ::realpath(through.c_str(), nullptr);
    if (!real)
        return {};
    std::string result = real;
    std::free(real);
    return result;
}

// Whether the folder or the target itself refuses to lose a name (append-only or immutable):
// a replacement could create its temporary there but neither rename it nor remove it again.
bool KeepsItsNames(int fd)
{
    int flags = 0;
    return ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 && (flags & (FS_APPEND_FL | FS_IMMUTABLE_FL)) != 0;
}

constexpr const char *kCapability = "security.capability";

// ".<name>.vexlo-", the name cut short so that the suffix still fits.
std::string TempPrefix(const std::string &name)
{
    std::string prefix(1, '.');
    prefix.append(name, 0, 200);
    prefix.append(kTempMarker);
    return prefix;
}

std::string RandomSuffix()
{
    static thread_local std::mt19937_64 random{std::random_device{}()};
    static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string s(kTempSuffix, 'x');
    for (char &c : s)
        c = kChars[random() % (sizeof kChars - 1)];
    return s;
}

// The permission bits a new file gets: what the umask leaves of 0666. The umask is read from
// /proc, since asking for it means changing it for every thread.
mode_t NewFileMode()
{
    mode_t mask = 022;
    try {
        const std::string status = ReadWholeFile("/proc/self/status", std::size_t{1} << 20);
        const std::size_t at = status.find("\nUmask:");
        if (at != std::string::npos)
            mask = static_cast<mode_t>(std::strtoul(status.c_str() + at + 7, nullptr, 8));
    } catch (const Error &) {
        // No /proc: the usual umask is the best guess left.
    }
    return static_cast<mode_t>(0666 & ~mask);
}

bool SameContentState(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

// Copies every extended attribute (ACLs included) of `from` to `to`. Attributes of the
// security and trusted namespaces that this process may not set are left to the system;
// anything else that cannot be copied fails the replacement, since losing an ACL can widen
// who may read or write the file.
void CopyAttributes(int from, int to, const std::string &path)
{
    std::vector<char> names(1024);
    ssize_t length;
    while ((length = ::flistxattr(from, names.data(), names.size())) < 0) {
        if (errno == ENOTSUP)
            return;
        if (errno != ERANGE)
            throw IoError("read the attributes of", path, errno);
        names.resize(names.size() * 4);
    }
    std::vector<char> value(256);
    for (ssize_t at = 0; at < length; at += static_cast<ssize_t>(std::strlen(names.data() + at)) + 1) {
        const char *name = names.data() + at;
        ssize_t size;
        while ((size = ::fgetxattr(from, name, value.data(), value.size())) < 0) {
            if (errno != ERANGE)
                throw IoError("read the attributes of", path, errno);
            value.resize(value.size() * 4);
        }
        if (::fsetxattr(to, name, value.data(), static_cast<std::size_t>(size), 0) != 0) {
            const bool optional =
                std::strncmp(name, "security.", 9) == 0 || std::strncmp(name, "trusted.", 8) == 0;
            if (!(optional && (errno == EPERM || errno == ENOTSUP || errno == EACCES)))
                throw IoError("keep the attributes of", path, errno);
        }
    }
}

} // namespace

bool IsTemporaryName(std::string_view name)
{
    if (name.size() < 2 || name.front() != '.')
        return false;
    const std::size_t mark = name.rfind(kTempMarker);
    if (mark == std::string_view::npos || mark < 2)
        return false;
    const std::string_view suffix = name.substr(mark + kTempMarker.size());
    if (suffix.size() < kTempSuffix || suffix.size() > 16)
        return false;
    for (const char c : suffix)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            return false;
    return true;
}

std::string ResolveLinks(const std::string &path)
{
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
        return path;
    char *resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved)
        throw IoError("read", path, errno);
    std::string target = resolved;
    std::free(resolved);
    return target;
}

FileReplacement::FileReplacement(std::string path, const ReplaceOptions &options)
    : m_path(std::move(path)), m_newFileMode(options.newFileMode), m_hashWritten(options.hashWritten)
{
    try {
        std::string target = m_path;
        int heldRoot = -1; // the held root, when the path lies below it
        HeldFolder root;
        for (int hops = 0;; ++hops) {
            if (m_folder < 0) {
                const std::size_t slash = target.rfind('/');
                const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
                m_name = slash == std::string::npos ? target : target.substr(slash + 1);
                if (m_name.empty() || m_name == "." || m_name == "..")
                    throw IoError("rewrite", m_path, EISDIR);
                heldRoot = openFolder(folder, hops == 0 ? options : ReplaceOptions{}, root.fd);
            }

            struct stat entry;
            if (Injected(Step::OpenSource, m_path) ||
                ::fstatat(m_folder, m_name.c_str(), &entry, AT_SYMLINK_NOFOLLOW) != 0) {
                if (errno == ENOENT && options.createIfMissing && hops == 0) {
                    m_created = true;
                    if (options.copyOf)
                        m_newFileMode = (options.copyOf->st_mode & 0777) | 0600;
                    if (m_newFileMode == 0)
                        m_newFileMode = NewFileMode();
                    return;
                }
                throw IoError("read", m_path, errno);
            }
            if (S_ISLNK(entry.st_mode) && options.refuseLinks)
                throw Error(ErrorKind::Io, m_path,
                            "cannot write '" + m_path + "': a symbolic link stands in its place");
            if (S_ISLNK(entry.st_mode)) {
                // Written through: the file the link leads to is replaced, the link stays.
                if (hops > 0)
                    throw IoError("read", m_path, ELOOP);
                if (heldRoot >= 0) {
                    followInsideTree(heldRoot, options.heldRoot);
                    continue;
                }
                target = ResolveLinks(target);
                closeFolder();
                continue;
            }
            if (S_ISDIR(entry.st_mode))
                throw IoError("rewrite", m_path, EISDIR);
            if (!S_ISREG(entry.st_mode))
                throw NotRegular(m_path);
            if (!options.readOnly && !options.copyOf && !(entry.st_mode & S_IWUSR))
                throw IoError("write", m_path, EACCES);
            // The owner's bits decide for the owner (and root passes anyway); ask only for others.
            const uid_t me = ::geteuid();
            if (!options.readOnly && entry.st_uid != me && me != 0 &&
                ::faccessat(m_folder, m_name.c_str(), W_OK, AT_EACCESS) != 0)
                throw IoError("write", m_path, errno);

            // Non-blocking and without following links: an entry swapped since the look above
            // neither hangs on a FIFO nor leads somewhere else.
            m_source =
                ::openat(m_folder, m_name.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
            if (m_source < 0)
                throw IoError("read", m_path, errno);
            if (::fstat(m_source, &m_sourceInfo) != 0)
                throw IoError("read", m_path, errno);
            if (!S_ISREG(m_sourceInfo.st_mode) || m_sourceInfo.st_dev != entry.st_dev ||
                m_sourceInfo.st_ino != entry.st_ino)
                throw Error(ErrorKind::Io, m_path,
                            "cannot rewrite '" + m_path + "': the file changed while it was opened");
            if (options.copyOf) {
                // Only what the commit compares stays the copy's own: owner and mode follow the source.
                m_sourceInfo.st_uid = options.copyOf->st_uid;
                m_sourceInfo.st_gid = options.copyOf->st_gid;
                m_sourceInfo.st_mode =
                    (m_sourceInfo.st_mode & S_IFMT) | (options.copyOf->st_mode & 0777) | 0600;
            }
            return;
        }
    } catch (...) {
        discard();
        throw;
    }
}

void FileReplacement::followInsideTree(int root, const std::string &rootName)
{
    // The link is judged as the scan judges it, by where it leads when fully resolved; the
    // file is then reached from the held root through folders opened without following any
    // link, so what is opened lies inside the tree whatever changes after the judgement.
    const std::string rootPath = RealPathAt(root, {});
    if (rootPath.empty())
        throw Outside(m_path, rootName);
    const std::string targetPath = RealPathAt(m_folder, m_name);
    if (targetPath.empty())
        throw IoError("read", m_path, errno);
    const std::string prefix = rootPath == "/" ? rootPath : rootPath + "/";
    if (targetPath.size() <= prefix.size() || targetPath.compare(0, prefix.size(), prefix) != 0)
        throw Outside(m_path, rootName);
    const std::size_t slash = targetPath.rfind('/');
    // The last separator is the prefix's own at the earliest.
    const int folder =
        OpenBeneath(root, std::string_view(targetPath).substr(prefix.size(), slash + 1 - prefix.size()));
    if (folder < 0)
        throw IoError("open the folder of", m_path, errno);
    closeFolder();
    m_folder = folder;
    m_name = targetPath.substr(slash + 1);
}

int FileReplacement::openFolder(const std::string &folder, const ReplaceOptions &options, int &ownedRoot)
{
    if (Injected(Step::OpenFolder, m_path))
        throw IoError("open the folder of", m_path, errno);
    if (options.folderDescriptor >= 0) {
        m_folder = options.folderDescriptor; // the caller's: used as it is, never closed here
        m_folderBorrowed = true;
        return -1;
    }
    const std::string &root = options.heldRoot;
    std::size_t below = std::string::npos; // where the components below the held root start
    if (!root.empty() && folder.compare(0, root.size(), root) == 0 &&
        (root.back() == '/' || (folder.size() > root.size() && folder[root.size()] == '/')))
        below = root.size(); // the root itself too, when given with its separator

    if (below == std::string::npos) {
        m_folder = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (m_folder < 0)
            throw IoError("open the folder of", m_path, errno);
        return -1;
    }
    // The root as the caller holds it, or opened here; the folders below it without links.
    int fd = options.heldRootDescriptor;
    if (fd < 0) {
        fd = ownedRoot = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            throw IoError("open the folder of", m_path, errno);
    }
    m_folder = OpenBeneath(fd, std::string_view(folder).substr(below));
    if (m_folder < 0)
        throw IoError("open the folder of", m_path, errno);
    return fd;
}

FileReplacement::FileReplacement(FileReplacement &&other) noexcept
    : m_path(std::move(other.m_path)), m_name(std::move(other.m_name)),
      m_folder(std::exchange(other.m_folder, -1)),
      m_folderBorrowed(std::exchange(other.m_folderBorrowed, false)),
      m_source(std::exchange(other.m_source, -1)), m_output(std::exchange(other.m_output, -1)),
      m_tempName(std::exchange(other.m_tempName, {})), m_sourceInfo(other.m_sourceInfo),
      m_created(other.m_created), m_newFileMode(other.m_newFileMode), m_mode(other.m_mode),
      m_outputInode(other.m_outputInode), m_hashWritten(other.m_hashWritten), m_written(other.m_written)
{
}

FileReplacement &FileReplacement::operator=(FileReplacement &&other) noexcept
{
    if (this != &other) {
        discard();
        m_path = std::move(other.m_path);
        m_name = std::move(other.m_name);
        m_folder = std::exchange(other.m_folder, -1);
        m_folderBorrowed = std::exchange(other.m_folderBorrowed, false);
        m_source = std::exchange(other.m_source, -1);
        m_output = std::exchange(other.m_output, -1);
        m_tempName = std::exchange(other.m_tempName, {});
        m_sourceInfo = other.m_sourceInfo;
        m_created = other.m_created;
        m_newFileMode = other.m_newFileMode;
        m_mode = other.m_mode;
        m_outputInode = other.m_outputInode;
        m_hashWritten = other.m_hashWritten;
        m_written = other.m_written;
    }
    return *this;
}

FileReplacement::~FileReplacement()
{
    discard();
}

std::size_t FileReplacement::read(char *data, std::size_t size)
{
    if (m_source < 0)
        return 0;
    for (;;) {
        const ssize_t got = Injected(Step::ReadSource, m_path) ? -1 : ::read(m_source, data, size);
        if (got >= 0)
            return static_cast<std::size_t>(got);
        if (errno != EINTR)
            throw IoError("read", m_path, errno);
    }
}

std::string FileReplacement::readAll(std::size_t cap)
{
    return ReadUntilEnd([this](char *data, std::size_t size) { return read(data, size); }, sourceSize(),
                        m_path, cap);
}

void FileReplacement::prepareOutput()
{
    if (m_output >= 0)
        return;
    if (Injected(Step::CreateTemporary, m_path))
        throw IoError("create a temporary file for", m_path, errno);
    // Nothing is created where it could not be removed again on failure. The unnamed
    // temporary of a new file is never named but with the file's own name: nothing to remove.
    if (!m_created && (KeepsItsNames(m_folder) || (m_source >= 0 && KeepsItsNames(m_source))))
        throw IoError("replace", m_path, EPERM);
    // Given its name only at the commit, the temporary leaves nothing behind should the
    // program end before; /proc gives the name.
    static const bool canNameLater = ::access("/proc/self/fd", X_OK) == 0;
    if (fsseam::g_unnamed && canNameLater) {
        m_output = ::openat(m_folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
        if (m_output < 0 && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            throw IoError("create a temporary file for", m_path, errno);
    }
    if (m_output < 0) {
        if (m_created && KeepsItsNames(m_folder))
            throw IoError("replace", m_path, EPERM);
        const std::string prefix = TempPrefix(m_name);
        for (int attempt = 0; m_output < 0; ++attempt) {
            std::string name = prefix + RandomSuffix();
            m_output =
                ::openat(m_folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
            if (m_output >= 0)
                m_tempName = std::move(name);
            else if (errno != EEXIST || attempt > 100)
                throw IoError("create a temporary file for", m_path, errno);
        }
    }

    // The temporary was made 0600, stricter than anything it becomes; owner first, since
    // changing it may clear set-id bits that the mode then restores.
    if (Injected(Step::CopyMetadata, m_path))
        throw IoError("keep the permissions of", m_path, errno);
    if (m_created) {
        // A new file only gets its mode: no owner to keep, and its identity is never compared.
        m_mode = m_newFileMode;
        if (::fchmod(m_output, m_newFileMode) != 0)
            throw IoError("keep the permissions of", m_path, errno);
        return;
    }
    struct stat made;
    if (::fstat(m_output, &made) != 0)
        throw IoError("keep the permissions of", m_path, errno);
    m_outputInode = made.st_ino;
    mode_t mode = m_sourceInfo.st_mode & 07777;
    const uid_t uid = m_sourceInfo.st_uid;
    const gid_t gid = m_sourceInfo.st_gid;
    if (made.st_uid != uid || made.st_gid != gid) {
        if (::fchown(m_output, uid, gid) != 0) {
            if (errno != EPERM)
                throw IoError("keep the owner of", m_path, errno);
            // Someone else's file becomes ours; its group is kept where we belong to it.
            if (made.st_gid != gid && ::fchown(m_output, static_cast<uid_t>(-1), gid) != 0) {
                if (errno != EPERM)
                    throw IoError("keep the owner of", m_path, errno);
                // The new group must not gain what only the old group had.
                mode = (mode & ~mode_t{070}) | (mode & 070 & ((mode & 07) << 3));
            }
        }
    }
    m_mode = mode;
    if (::fchmod(m_output, mode) != 0)
        throw IoError("keep the permissions of", m_path, errno);
    CopyAttributes(m_source, m_output, m_path);
}

void FileReplacement::restorePrivileges()
{
    // Writing clears set-id bits (for a writer without CAP_FSETID) and a file capability; both
    // go back once the content is complete.
    if ((m_mode & (S_ISUID | S_ISGID)) != 0 && ::fchmod(m_output, m_mode) != 0)
        throw IoError("keep the permissions of", m_path, errno);
    if (m_source < 0)
        return;
    char value[64]; // the largest capability set (version 3) takes 24 bytes
    const ssize_t size = ::fgetxattr(m_source, kCapability, value, sizeof value);
    if (size < 0) {
        if (errno == ENODATA || errno == ENOTSUP)
            return;
        throw IoError("read the attributes of", m_path, errno);
    }
    if (::fsetxattr(m_output, kCapability, value, static_cast<std::size_t>(size), 0) != 0 && errno != EPERM &&
        errno != ENOTSUP && errno != EACCES)
        throw IoError("keep the attributes of", m_path, errno);
}

void FileReplacement::copyFrom(int fd, std::uint64_t size, const std::string &from)
{
    prepareOutput();
    // Not tried again once refused (another file system, or none of its kind): the bytes
    // then pass through here.
    static std::atomic<bool> inKernel{true};
    loff_t offset = 0;
    while (!m_hashWritten && inKernel && std::uint64_t(offset) < size) {
        if (Injected(Step::WriteTemporary, m_path))
            throw IoError("write", m_path, errno);
        const ssize_t put =
            ::copy_file_range(fd, &offset, m_output, nullptr, size - std::uint64_t(offset), 0);
        if (put == 0)
            return; // the file ended early
        if (put > 0 || errno == EINTR)
            continue;
        if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
            throw IoError("write", m_path, errno);
        inKernel = false; // what was copied stays: the rest follows at the temporary's offset
    }
    constexpr std::size_t kChunk = std::size_t(1) << 20;
    static thread_local std::unique_ptr<char[]> buffer;
    while (std::uint64_t(offset) < size) {
        if (!buffer)
            buffer.reset(new char[kChunk]);
        const std::size_t want = std::size_t(std::min<std::uint64_t>(kChunk, size - std::uint64_t(offset)));
        const ssize_t got = ::pread(fd, buffer.get(), want, offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw IoError("read", from, errno);
        if (got == 0)
            return;
        write(std::string_view(buffer.get(), std::size_t(got)));
        offset += got;
    }
}

void FileReplacement::write(std::string_view bytes)
{
    const iovec piece{const_cast<char *>(bytes.data()), bytes.size()};
    write(&piece, 1);
}

void FileReplacement::write(const struct iovec *pieces, int count)
{
    prepareOutput();
    if (m_hashWritten) // before the loop below moves on through the pieces
        for (int i = 0; i < count; ++i)
            m_written.add({static_cast<const char *>(pieces[i].iov_base), pieces[i].iov_len});
    std::vector<iovec> rest;
    while (count > 0 && pieces->iov_len == 0) {
        ++pieces;
        --count;
    }
    while (count > 0) {
        const ssize_t put = Injected(Step::WriteTemporary, m_path)
                                ? -1
                                : ::writev(m_output, pieces, std::min(count, IOV_MAX));
        if (put < 0) {
            if (errno == EINTR)
                continue;
            throw IoError("write", m_path, errno);
        }
        if (put == 0)
            throw IoError("write", m_path, EIO);
        std::size_t done = static_cast<std::size_t>(put);
        while (count > 0 && done >= pieces->iov_len) {
            done -= pieces->iov_len;
            ++pieces;
            --count;
        }
        if (count > 0 && done > 0) {
            // A short write inside a piece: go on from a copy of the rest.
            rest.assign(pieces, pieces + count);
            rest.front().iov_base = static_cast<char *>(rest.front().iov_base) + done;
            rest.front().iov_len -= done;
            pieces = rest.data();
        }
    }
}

struct stat FileReplacement::writtenInfo() const
{
    struct stat info;
    if (m_output < 0)
        throw IoError("write", m_path, EBADF);
    if (::fstat(m_output, &info) != 0)
        throw IoError("write", m_path, errno);
    return info;
}

void FileReplacement::commit()
{
    try {
        prepareOutput(); // an empty result still replaces the file
        restorePrivileges();
        if (Injected(Step::CheckUnchanged, m_path))
            throw IoError("rewrite", m_path, errno);
        if (!m_created) // a new file: the link that names it refuses a file created meanwhile
            checkUnchanged();

        if (Injected(Step::NameTemporary, m_path))
            throw IoError("write", m_path, errno);
        if (m_tempName.empty()) {
            const std::string self = "/proc/self/fd/" + std::to_string(m_output);
            if (m_created) {
                // A new file gets its name directly; a file created meanwhile is not replaced.
                if (Injected(Step::Rename, m_path))
                    throw IoError("replace", m_path, errno);
                if (::linkat(AT_FDCWD, self.c_str(), m_folder, m_name.c_str(), AT_SYMLINK_FOLLOW) != 0)
                    throw errno == EEXIST ? Changed(m_path) : IoError("write", m_path, errno);
                if (::close(std::exchange(m_output, -1)) != 0)
                    throw IoError("write", m_path, errno);
                discard();
                return;
            }
            for (int attempt = 0; m_tempName.empty(); ++attempt) {
                std::string name = TempPrefix(m_name) + RandomSuffix();
                if (::linkat(AT_FDCWD, self.c_str(), m_folder, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
                    m_tempName = std::move(name);
                else if (errno != EEXIST || attempt > 100)
                    throw IoError("write", m_path, errno);
            }
        }
        if (::close(std::exchange(m_output, -1)) != 0)
            throw IoError("write", m_path, errno);
        if (m_created) {
            if (Injected(Step::Rename, m_path))
                throw IoError("replace", m_path, errno);
            // A file created meanwhile is not replaced.
            if (::linkat(m_folder, m_tempName.c_str(), m_folder, m_name.c_str(), 0) != 0)
                throw errno == EEXIST ? Changed(m_path) : IoError("replace", m_path, errno);
        } else {
            checkUnchanged(); // again, now that the temporary is ready: the gap is one call wide
            if (Injected(Step::Rename, m_path))
                throw IoError("replace", m_path, errno);
            replaceTarget();
        }
        discard();
    } catch (...) {
        discard();
        throw;
    }
}

void FileReplacement::checkUnchanged() const
{
    struct stat now;
    const bool present = ::fstatat(m_folder, m_name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0;
    if (m_created ? present : !present)
        throw Changed(m_path);
    // The name still leads to the inode that was read, with its size and time as they were:
    // a write through another descriptor would show in both.
    if (!m_created && !SameContentState(now, m_sourceInfo))
        throw Changed(m_path);
}

void FileReplacement::replaceTarget()
{
    // The temporary and the target trade places in one step; what comes out is then checked to
    // be the file that was read. A writer that replaced it after the last check finds its file
    // traded back and only our result discarded.
    static std::atomic<bool> canExchange{true};
    if (canExchange) {
        if (::renameat2(m_folder, m_tempName.c_str(), m_folder, m_name.c_str(), RENAME_EXCHANGE) == 0) {
            struct stat out;
            if (::fstatat(m_folder, m_tempName.c_str(), &out, AT_SYMLINK_NOFOLLOW) == 0 &&
                SameContentState(out, m_sourceInfo)) {
                ::unlinkat(m_folder, m_tempName.c_str(), 0); // the old content
                m_tempName.clear();
                return;
            }
            struct stat back;
            if (::renameat2(m_folder, m_tempName.c_str(), m_folder, m_name.c_str(), RENAME_EXCHANGE) == 0 &&
                ::fstatat(m_folder, m_tempName.c_str(), &back, AT_SYMLINK_NOFOLLOW) == 0 &&
                back.st_ino == m_outputInode && back.st_dev == m_sourceInfo.st_dev)
                throw Changed(m_path); // ours again: discarded with the temporary
            // A third writer came between the two trades: what now has the temporary's name is
            // not ours and stays for the user to look at.
            const std::string kept = std::exchange(m_tempName, {});
            throw Error(ErrorKind::Io, m_path,
                        "cannot rewrite '" + m_path +
                            "': changed while being rewritten (another version was kept as '" + kept + "')");
        }
        if (errno == ENOENT)
            throw Changed(m_path); // deleted since the check
        if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
            throw IoError("replace", m_path, errno);
        canExchange = false; // a file system without exchange: rename, right after the check
        checkUnchanged();
    }
    if (::renameat(m_folder, m_tempName.c_str(), m_folder, m_name.c_str()) != 0)
        throw IoError("replace", m_path, errno);
    m_tempName.clear();
}

void FileReplacement::discard() noexcept
{
    if (m_output >= 0)
        ::close(m_output);
    m_output = -1;
    if (!m_tempName.empty() && m_folder >= 0)
        ::unlinkat(m_folder, m_tempName.c_str(), 0);
    m_tempName.clear();
    if (m_source >= 0)
        ::close(m_source);
    m_source = -1;
    closeFolder();
}

void FileReplacement::closeFolder() noexcept
{
    if (m_folder >= 0 && !m_folderBorrowed)
        ::close(m_folder);
    m_folder = -1;
    m_folderBorrowed = false;
}

void WriteFileSafely(const std::string &path, std::string_view bytes)
{
    ReplaceOptions options;
    options.createIfMissing = true;
    FileReplacement replacement(path, options);
    replacement.write(bytes);
    replacement.commit();
}

void CopyFileSafely(const std::string &from, const std::string &to)
{
    // Without blocking: a FIFO in the source's place is refused, not waited on.
    const int in = ::open(from.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (in < 0)
        throw IoError("read", from, errno);
    std::string bytes;
    struct stat info;
    try {
        bytes = ReadDescriptor(in, from, SIZE_MAX);
        if (::fstat(in, &info) != 0)
            throw IoError("read", from, errno);
    } catch (...) {
        ::close(in);
        throw;
    }
    ::close(in);
    ReplaceOptions options;
    options.createIfMissing = true;
    options.newFileMode = info.st_mode & 0777;
    FileReplacement replacement(to, options);
    replacement.write(bytes);
    replacement.commit();
}

} // namespace vexlo
