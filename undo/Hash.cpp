#include "undo/Hash.h"

#include "base/Error.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace vexlo {

std::uint64_t HashFile(const std::string &path, std::uint64_t &size)
{
    // Without blocking: a FIFO put in the file's place is refused, not waited on for ever.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        throw IoError("read", path, errno);
    struct stat info;
    const bool known = ::fstat(fd, &info) == 0;
    const int statError = errno;
    if (!known || !S_ISREG(info.st_mode)) {
        ::close(fd);
        if (!known)
            throw IoError("read", path, statError);
        if (S_ISDIR(info.st_mode))
            throw IoError("read", path, EISDIR);
        throw Error(ErrorKind::Io, path, "cannot read '" + EscapeControls(path) + "': not a regular file");
    }
    ContentHash hash;
    static thread_local char buffer[1 << 16];
    size = 0;
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            const int err = errno;
            ::close(fd);
            throw IoError("read", path, err);
        }
        if (got == 0)
            break;
        hash.add({buffer, std::size_t(got)});
        size += std::uint64_t(got);
    }
    ::close(fd);
    return hash.value();
}

} // namespace vexlo
