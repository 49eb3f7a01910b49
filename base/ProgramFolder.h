// The folder beside the executable that holds settings, histories and scratch files.
#pragma once

#include <filesystem>
#include <string>

namespace vexlo {

/// Decided once at start-up and passed to everything that touches the program's own files.
class ProgramFolder {
  public:
    explicit ProgramFolder(std::filesystem::path dir) : m_dir(std::move(dir)) {}

    const std::filesystem::path &dir() const noexcept { return m_dir; }
    /// The full path of a file in the folder.
    std::filesystem::path file(const std::string &name) const { return m_dir / name; }

  private:
    std::filesystem::path m_dir;
};

/// The directory of the running executable (/proc/self/exe); the current directory if unknown.
std::filesystem::path ExecutableDirectory();

} // namespace vexlo
