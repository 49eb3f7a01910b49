#include "base/ReadFile.h"

#include "base/Error.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace vexlo {

namespace {

Error Refused(const std::string &path, const std::string &reason)
{
    return Error(ErrorKind::Io, path, "cannot read '" + EscapeControls(path) + "': " + reason);
}

// Opens `path` for reading without waiting on a FIFO or a device; -1 with errno on failure.
int OpenForReading(const std::string &path, const ReadOptions &options)
{
    int flags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    if (options.noFollow)
        flags |= O_NOFOLLOW;
    int fd;
    do
        fd = ::open(path.c_str(), flags);
    while (fd < 0 && errno == EINTR);
    return fd;
}

} // namespace

std::string ReadDescriptor(int fd, const std::string &path, std::size_t cap)
{
    struct stat info;
    if (::fstat(fd, &info) != 0)
        throw IoError("read", path, errno);
    if (S_ISDIR(info.st_mode))
        throw Refused(path, "it is a folder");
    if (!S_ISREG(info.st_mode))
        throw Refused(path, "not a regular file");
    const auto tooLarge = [&] { return Refused(path, "larger than " + std::to_string(cap) + " bytes"); };
    if (static_cast<std::size_t>(info.st_size) > cap)
        throw tooLarge();
    // The size is only a hint (the file may grow meanwhile): read until the end, within the cap.
    std::string bytes;
    bytes.resize(static_cast<std::size_t>(info.st_size) + 1);
    std::size_t used = 0;
    for (;;) {
        if (used == bytes.size()) {
            if (used > cap)
                throw tooLarge();
            bytes.resize(std::min(bytes.size() * 2, cap + 1));
        }
        const ssize_t got = ::read(fd, bytes.data() + used, bytes.size() - used);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw IoError("read", path, errno);
        if (got == 0)
            break;
        used += static_cast<std::size_t>(got);
    }
    if (used > cap)
        throw tooLarge();
    bytes.resize(used);
    return bytes;
}

std::optional<std::string> ReadFileIfPresent(const std::string &path, std::size_t cap,
                                             const ReadOptions &options)
{
    const int fd = OpenForReading(path, options);
    if (fd < 0) {
        if (errno == ENOENT)
            return std::nullopt;
        if (errno == ELOOP && options.noFollow)
            throw Refused(path, "a symbolic link stands in its place");
        throw IoError("read", path, errno);
    }
    try {
        std::string bytes = ReadDescriptor(fd, path, cap);
        ::close(fd);
        return bytes;
    } catch (...) {
        ::close(fd);
        throw;
    }
}

std::string ReadWholeFile(const std::string &path, std::size_t cap, const ReadOptions &options)
{
    std::optional<std::string> bytes = ReadFileIfPresent(path, cap, options);
    if (!bytes)
        throw IoError("read", path, ENOENT);
    return std::move(*bytes);
}

} // namespace vexlo
