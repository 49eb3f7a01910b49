// The folder that holds the program's settings, histories, notes and scratch files.
#pragma once

#include <filesystem>
#include <string>

namespace vexlo {

/// Decided once at start-up and passed to everything that touches the program's own files.
class ProgramFolder {
  public:
    explicit ProgramFolder(std::filesystem::path dir, std::filesystem::path shared = {})
        : m_dir(std::move(dir)), m_shared(std::move(shared))
    {
    }

    const std::filesystem::path &dir() const noexcept { return m_dir; }
    /// The full path of a file in the folder.
    std::filesystem::path file(const std::string &name) const { return m_dir / name; }
    /// A file the program only reads (help, samples): the folder's own copy when there is
    /// one, else the installed one; the folder's path when neither exists.
    std::filesystem::path resource(const std::string &name) const;

  private:
    std::filesystem::path m_dir;
    std::filesystem::path m_shared; // the installed read-only files; empty in a build tree
};

/// The directory of the running executable (/proc/self/exe); the current directory if unknown.
std::filesystem::path ExecutableDirectory();

/// Where an installed tree keeps its read-only files, relative to the executable's folder.
inline constexpr const char *kInstalledShareDir = "../share/vexlopro";
/// The default settings file whose presence there marks an installed tree.
inline constexpr const char *kDefaultSettingsName = "vexlopro.ini";

/// The per-user folder of an installed program: $XDG_DATA_HOME/vexlopro, or
/// ~/.local/share/vexlopro when XDG_DATA_HOME is unset, empty or relative. Throws Error{Io}
/// when neither XDG_DATA_HOME nor HOME gives an absolute folder.
std::filesystem::path PerUserFolder(const char *xdgDataHome, const char *home);

/// The program folder for an executable in `exeDir`. When `exeDir`/../share/vexlopro holds
/// "vexlopro.ini" (an installed tree) it is the per-user folder, created on first use (mode
/// 0700) and given a copy of that default "vexlopro.ini" when it has none; otherwise it is
/// `exeDir` itself, unchanged. Throws Error{Io} when the per-user folder or its copy cannot
/// be made; nothing is left half-written.
ProgramFolder LocateProgramFolder(const std::filesystem::path &exeDir, const char *xdgDataHome,
                                  const char *home);

} // namespace vexlo
