#include "base/SafeWrite.h"

#include "base/Error.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <climits>
#include <cstdlib>
#include <random>
#include <string>

namespace vexlo {

namespace {

// The file a write should land in: the target of a link, so that the link survives.
std::string resolveTarget(const std::filesystem::path &path)
{
    struct stat st;
    if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char resolved[PATH_MAX];
        if (realpath(path.c_str(), resolved))
            return resolved;
    }
    return path.string();
}

int createTemporary(const std::string &target, std::string &tempPath)
{
    const auto slash = target.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    std::random_device rd;
    for (int attempt = 0; attempt < 50; ++attempt) {
        tempPath = folder + "." + name + ".tmp" + std::to_string(rd() % 1000000000u);
        // 0666 lets the umask decide, as it would for a file created directly.
        const int fd = open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

bool writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

} // namespace

void WriteFileSafely(const std::string &pathText, std::string_view bytes)
{
    const std::filesystem::path path(pathText);
    const std::string target = resolveTarget(path);
    std::string tempPath;
    const int fd = createTemporary(target, tempPath);
    if (fd < 0)
        throw IoError("write", path.string(), errno);

    struct stat old;
    const bool hadFile = stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode);
    bool ok = writeAll(fd, bytes);
    if (ok && hadFile)
        ok = fchmod(fd, old.st_mode & 07777) == 0;
    if (ok)
        ok = fsync(fd) == 0;
    int err = errno;
    if (close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (ok && rename(tempPath.c_str(), target.c_str()) != 0) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        unlink(tempPath.c_str());
        throw IoError("write", path.string(), err);
    }
}

void CopyFileSafely(const std::string &from, const std::string &to)
{
    std::ifstream in(from, std::ios::binary);
    if (!in)
        throw IoError("read", from, errno);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    WriteFileSafely(to, bytes);
}

} // namespace vexlo
