// The one way the program reads a whole file of its own (index, set files, settings, history
// slots, notes) or a text file the user picked: opened without blocking, only a regular file,
// never more than the caller's cap, so a FIFO, a device or a folder in its place is refused
// instead of hanging the program or filling its memory.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace vexlo {

/// Caps that fit what the files hold.
constexpr std::size_t SettingsFileCap = std::size_t{4} << 20; // an INI of short values
constexpr std::size_t IndexFileCap = std::size_t{16} << 20;   // one backup name a line
constexpr std::size_t SetFileCap = std::size_t{256} << 20;    // one path a line, 100k+ files
constexpr std::size_t TextFileCap = std::size_t{64} << 20;    // notes, history slots, loaded text

struct ReadOptions {
    /// A symbolic link as the last component is refused (ELOOP) instead of followed.
    bool noFollow = false;
};

/// The whole content of `path`. Throws Error{Io} naming the path and the reason: missing,
/// unreadable, a folder, not a regular file (FIFO, socket, device), larger than `cap` bytes,
/// or a link where `options` refuses one.
std::string ReadWholeFile(const std::string &path, std::size_t cap, const ReadOptions &options = {});

/// The same, but nothing when the file does not exist (ENOENT); every other failure throws.
std::optional<std::string> ReadFileIfPresent(const std::string &path, std::size_t cap,
                                             const ReadOptions &options = {});

/// Reads the whole content of an open descriptor of a regular file (`path` for messages), at
/// most `cap` bytes. Throws Error{Io} as ReadWholeFile does.
std::string ReadDescriptor(int fd, const std::string &path, std::size_t cap);

} // namespace vexlo
