#include "base/ReadFile.h"

#include "base/Error.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

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

FileTooLarge::FileTooLarge(const std::string &path, std::size_t cap)
    : Error(ErrorKind::Io, path,
            "cannot read '" + EscapeControls(path) + "': larger than " + std::to_string(cap) + " bytes"),
      m_cap(cap)
{
}

std::string ReadUntilEnd(const ReadSome &readSome, std::size_t sizeHint, const std::string &path,
                         std::size_t cap)
{
    if (sizeHint > cap)
        throw FileTooLarge(path, cap);
    // One byte past the cap is room enough to see that the file went past it.
    const std::size_t room = cap < SIZE_MAX ? cap + 1 : cap;
    std::string bytes;
    bytes.resize(sizeHint + 1); // one more, to see the end in the first round
    std::size_t used = 0;
    for (;;) {
        if (used == bytes.size()) {
            if (used > cap)
                throw FileTooLarge(path, cap);
            bytes.resize(bytes.size() > room / 2 ? room : bytes.size() * 2);
        }
        const std::size_t got = readSome(bytes.data() + used, bytes.size() - used);
        if (got == 0)
            break;
        used += got;
    }
    if (used > cap)
        throw FileTooLarge(path, cap);
    bytes.resize(used);
    return bytes;
}

std::string ReadDescriptor(int fd, const std::string &path, std::size_t cap)
{
    struct stat info;
    if (::fstat(fd, &info) != 0)
        throw IoError("read", path, errno);
    if (S_ISDIR(info.st_mode))
        throw Refused(path, "it is a folder");
    if (!S_ISREG(info.st_mode))
        throw Refused(path, "not a regular file");
    const auto readSome = [&](char *data, std::size_t size) {
        for (;;) {
            const ssize_t got = ::read(fd, data, size);
            if (got >= 0)
                return static_cast<std::size_t>(got);
            if (errno != EINTR)
                throw IoError("read", path, errno);
        }
    };
    return ReadUntilEnd(readSome, static_cast<std::size_t>(info.st_size), path, cap);
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
