#include "run/TemporaryFile.h"

#include "base/Error.h"
#include "run/FileIo.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <random>
#include <utility>

namespace vexlo {

namespace {

std::string RandomSuffix()
{
    static thread_local std::mt19937_64 random{std::random_device{}()};
    static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::string s(8, 'x');
    for (char &c : s)
        c = kChars[random() % (sizeof kChars - 1)];
    return s;
}

} // namespace

TemporaryFile::TemporaryFile(std::string target, std::string path)
    : m_target(std::move(target)), m_path(std::move(path))
{
    const std::size_t slash = m_target.rfind('/');
    const std::string dir = slash == std::string::npos ? std::string() : m_target.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? m_target : m_target.substr(slash + 1);
    m_prefix = dir + "." + base.substr(0, 200) + ".vexlo-";
    // An unnamed file is given its name through /proc/self/fd at the commit.
    static const bool canNameLater = ::access("/proc/self/fd", X_OK) == 0;
    if (detail::g_useUnnamedTemporary && canNameLater) {
        m_fd = ::open(dir.empty() ? "." : dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
        if (m_fd >= 0)
            return;
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            throw IoError("create a temporary file for", m_path, errno);
    }
    std::string name = m_prefix + "XXXXXX";
    m_fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (m_fd < 0)
        throw IoError("create a temporary file for", m_path, errno);
    m_name = std::move(name);
}

TemporaryFile::TemporaryFile(TemporaryFile &&other) noexcept
    : m_target(std::move(other.m_target)), m_path(std::move(other.m_path)),
      m_prefix(std::move(other.m_prefix)), m_name(std::exchange(other.m_name, {})),
      m_fd(std::exchange(other.m_fd, -1))
{
}

TemporaryFile &TemporaryFile::operator=(TemporaryFile &&other) noexcept
{
    if (this != &other) {
        discard();
        m_target = std::move(other.m_target);
        m_path = std::move(other.m_path);
        m_prefix = std::move(other.m_prefix);
        m_name = std::exchange(other.m_name, {});
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

void TemporaryFile::commit()
{
    try {
        if (m_name.empty()) {
            const std::string self = "/proc/self/fd/" + std::to_string(m_fd);
            for (int attempt = 0; m_name.empty(); ++attempt) {
                std::string name = m_prefix + RandomSuffix();
                if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
                    m_name = std::move(name);
                else if (errno != EEXIST || attempt > 100)
                    throw IoError("write", m_path, errno);
            }
        }
        if (::close(std::exchange(m_fd, -1)) != 0)
            throw IoError("write", m_path, errno);
        if (::rename(m_name.c_str(), m_target.c_str()) != 0)
            throw IoError("replace", m_path, errno);
        m_name.clear();
    } catch (...) {
        discard();
        throw;
    }
}

void TemporaryFile::discard() noexcept
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    if (!m_name.empty())
        ::unlink(m_name.c_str());
    m_name.clear();
}

std::string ResolveTarget(const std::string &path, struct stat &info)
{
    if (::lstat(path.c_str(), &info) != 0)
        throw IoError("read", path, errno);
    if (!S_ISLNK(info.st_mode))
        return path;
    char *resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved)
        throw IoError("read", path, errno);
    std::string target = resolved;
    std::free(resolved);
    if (::lstat(target.c_str(), &info) != 0)
        throw IoError("read", path, errno);
    return target;
}

} // namespace vexlo
