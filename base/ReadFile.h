// The one way the program reads a whole file of its own (index, set files, settings, history
// slots, notes) or a text file the user picked: opened without blocking, only a regular file,
// never more than the caller's cap, so a FIFO, a device or a folder in its place is refused
// instead of hanging the program or filling its memory.
#pragma once

#include "base/Error.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

namespace vexlo {

/// Caps that fit what the files hold.
constexpr std::size_t SettingsFileCap = std::size_t{4} << 20; // an INI of short values
constexpr std::size_t IndexFileCap = std::size_t{16} << 20;   // one backup name a line
constexpr std::size_t SetFileCap = std::size_t{256} << 20;    // one path a line, 100k+ files
constexpr std::size_t TextFileCap = std::size_t{64} << 20;    // notes, history slots, loaded text

/// The refusal of a file larger than the reader's cap (kind Io), so that a caller with a message
/// of its own for that case can tell it from the other failures.
class FileTooLarge : public Error {
  public:
    FileTooLarge(const std::string &path, std::size_t cap);
    std::size_t cap() const noexcept { return m_cap; }

  private:
    std::size_t m_cap;
};

struct ReadOptions {
    /// A symbolic link as the last component is refused (ELOOP) instead of followed.
    bool noFollow = false;
};

/// The whole content of `path`. Throws Error{Io} naming the path and the reason: missing,
/// unreadable, a folder, not a regular file (FIFO, socket, device), a link where `options`
/// refuses one; FileTooLarge when it holds more than `cap` bytes.
std::string ReadWholeFile(const std::string &path, std::size_t cap, const ReadOptions &options = {});

/// The same, but nothing when the file does not exist (ENOENT); every other failure throws.
std::optional<std::string> ReadFileIfPresent(const std::string &path, std::size_t cap,
                                             const ReadOptions &options = {});

/// Reads the whole content of an open descriptor of a regular file (`path` for messages), at
/// most `cap` bytes. Throws Error{Io} as ReadWholeFile does.
std::string ReadDescriptor(int fd, const std::string &path, std::size_t cap);

/// Reads up to `size` bytes into `data`, 0 at the end; throws Error{Io} on failure.
using ReadSome = std::function<std::size_t(char *data, std::size_t size)>;

/// Everything `readSome` gives until its end, with room for `sizeHint` bytes at first (the size
/// as opened; the file may grow meanwhile). Throws FileTooLarge (naming `path`) as soon as
/// more than `cap` bytes arrive, so nothing larger is held; what `readSome` throws passes.
std::string ReadUntilEnd(const ReadSome &readSome, std::size_t sizeHint, const std::string &path,
                         std::size_t cap);

} // namespace vexlo
