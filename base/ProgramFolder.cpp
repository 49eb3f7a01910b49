#include "base/ProgramFolder.h"

#include "base/Error.h"
#include "base/ReadFile.h"
#include "base/SafeWrite.h"

#include <sys/stat.h>

#include <cerrno>
#include <system_error>

namespace vexlo {

namespace fs = std::filesystem;

fs::path ProgramFolder::resource(const std::string &name) const
{
    const fs::path own = file(name);
    if (m_shared.empty())
        return own;
    std::error_code ec;
    if (fs::exists(own, ec))
        return own;
    const fs::path installed = m_shared / name;
    return fs::exists(installed, ec) ? installed : own;
}

fs::path ExecutableDirectory()
{
    std::error_code ec;
    auto exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec)
        return fs::current_path();
    return exe.parent_path();
}

fs::path PerUserFolder(const char *xdgDataHome, const char *home)
{
    // Relative values are ignored, as the XDG base directory rules ask.
    if (xdgDataHome && fs::path(xdgDataHome).is_absolute())
        return fs::path(xdgDataHome) / "vexlopro";
    if (home && fs::path(home).is_absolute())
        return fs::path(home) / ".local" / "share" / "vexlopro";
    throw Error(ErrorKind::Io, {},
                "cannot find the folder for the program's files: neither XDG_DATA_HOME nor HOME is an "
                "absolute path");
}

namespace {

// Each missing level is made with mkdir(): the per-user folder itself private (0700), the
// levels above it as a desktop would make them (0700 too, as the XDG rules ask).
void MakeFolders(const fs::path &dir)
{
    std::error_code ec;
    if (fs::is_directory(dir, ec))
        return;
    if (dir.has_parent_path() && dir.parent_path() != dir)
        MakeFolders(dir.parent_path());
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST)
        throw IoError("create folder", dir.string(), errno);
    if (!fs::is_directory(dir, ec))
        throw IoError("create folder", dir.string(), ENOTDIR);
}

} // namespace

ProgramFolder LocateProgramFolder(const fs::path &exeDir, const char *xdgDataHome, const char *home)
{
    const fs::path shared = (exeDir / kInstalledShareDir).lexically_normal();
    std::error_code ec;
    // Only the installed default settings file decides: a folder's writability does not (root
    // may write anywhere), and a build tree or unpacked copy has no share/vexlopro beside it.
    if (!fs::is_regular_file(shared / kDefaultSettingsName, ec))
        return ProgramFolder(exeDir);

    const fs::path folder = PerUserFolder(xdgDataHome, home);
    MakeFolders(folder);
    const fs::path settings = folder / kDefaultSettingsName;
    // A missing copy is given back at start-up; one deleted while the program runs is not.
    // Written, not copied with its mode: the installed file may be read-only for everybody.
    if (!fs::exists(fs::symlink_status(settings, ec)))
        WriteFileSafely(settings.string(),
                        ReadWholeFile((shared / kDefaultSettingsName).string(), SettingsFileCap));
    return ProgramFolder(folder, shared);
}

} // namespace vexlo
