#include "undo/Hash.h"

#include "base/Error.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace vexlo {

std::uint64_t HashFile(const std::string &path, std::uint64_t &size)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw IoError("read", path, errno);
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
