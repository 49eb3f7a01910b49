// The temporary file a rewrite writes before it replaces the target, and how a target is found.
#pragma once

#include <sys/stat.h>

#include <string>

namespace vexlo {

/// New content waiting beside its target for the rename. Where the file system allows it the
/// temporary has no name until the commit, so not even a crash leaves it behind; otherwise it
/// is removed unless committed.
class TemporaryFile {
public:
    /// Creates the temporary in the folder of `target`. Throws Error{Io} naming `path`.
    TemporaryFile(std::string target, std::string path);
    TemporaryFile(TemporaryFile &&other) noexcept;
    TemporaryFile &operator=(TemporaryFile &&other) noexcept;
    TemporaryFile(const TemporaryFile &) = delete;
    TemporaryFile &operator=(const TemporaryFile &) = delete;
    ~TemporaryFile() { discard(); }

    int fd() const noexcept { return m_fd; }

    /// Closes the temporary and puts it in the target's place. Throws Error{Io} naming the
    /// path; the temporary is then gone and the target as it was.
    void commit();

private:
    void discard() noexcept;

    std::string m_target;
    std::string m_path;   // the path as the caller named it, for messages
    std::string m_prefix; // "<folder>/.<name>.vexlo-"
    std::string m_name;   // empty while unnamed, and once committed
    int m_fd = -1;
};

/// The file a path names: a symbolic link is resolved so that its target is rewritten, and
/// `info` is that file's lstat(). Throws Error{Io} ("cannot read") naming `path`.
std::string ResolveTarget(const std::string &path, struct stat &info);

} // namespace vexlo
