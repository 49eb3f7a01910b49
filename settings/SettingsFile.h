// The two INI files beside the executable, read and written with the private-profile rules.
#pragma once

#include "base/ProgramFolder.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace vexlo {

constexpr const char *MainSettingsName = "vexlopro.ini"; // layout, dialog locations, counters
constexpr const char *ScanSettingsName = "vexlo.ini";    // the directory-picking windows

/// One INI file. Every call opens the file, does its work and releases it; nothing is cached.
/// Section and key names compare without regard to ASCII case.
class SettingsFile {
  public:
    explicit SettingsFile(std::filesystem::path path) : m_path(std::move(path)) {}

    const std::filesystem::path &path() const noexcept { return m_path; }
    bool exists() const;

    /// The stored value (at most 2047 characters), or `fallback` when the file, the
    /// section or the key is missing. Never fails.
    std::string read(std::string_view section, std::string_view key, std::string_view fallback) const;

    /// Replaces the value in place, appends a missing key at the end of its section, a
    /// missing section at the end of the file, creates a missing file. The file is
    /// replaced atomically, under a SettingsLock. A line break in the section, key or value
    /// ends it there, so no line can be injected. Throws Error{SettingsWrite} "Unable to write
    /// to <full path>" (also for a read-only file, which is left as it is).
    void write(std::string_view section, std::string_view key, std::string_view value);

  private:
    std::filesystem::path m_path;
};

/// Holds the advisory lock (flock) of the folder of a settings file, so that a read, change and
/// write of settings by two program instances at once loses neither's keys. Re-entrant within
/// the process; held for as short a time as a settings access. Never fails: where the folder
/// cannot be locked, the access goes on unlocked.
class SettingsLock {
  public:
    explicit SettingsLock(const std::filesystem::path &settingsFile);
    ~SettingsLock();
    SettingsLock(const SettingsLock &) = delete;
    SettingsLock &operator=(const SettingsLock &) = delete;

  private:
    std::string m_folder;
};

/// "Last_Opened_Directory" + N and "Extension_Filter" + N of section "Add_File_Procedure":
/// where an open-file dialog was last used and which filter (1-based) it showed.
struct DialogLocation {
    std::string suffix; // "" for the file list's "Add Files", else "1".."5", "15", "16"

    std::string directoryKey() const { return "Last_Opened_Directory" + suffix; }
    std::string filterKey() const { return "Extension_Filter" + suffix; }

    /// Reads the folder (default: its key name) and the filter index.
    /// Throws Error{Conversion} when the filter value is not a decimal integer.
    struct Value {
        std::string directory;
        int filterIndex = 0;
    };
    Value read(const SettingsFile &settings) const;
    /// Stores the folder part (with its trailing separator) of `chosenFile` and the filter.
    void write(SettingsFile &settings, const std::string &chosenFile, int filterIndex) const;
};

/// The filter list shared by the open-file dialogs of the main window, index 1..5.
struct FileFilter {
    const char *label;    // the caption the user sees
    const char *patterns; // separated by single spaces
};
extern const FileFilter SharedFileFilters[5];

/// The filter as an open-file dialog takes it: the caption, then the patterns in parentheses,
/// "Text files (*.txt; *.diz) (*.txt *.diz)". The dialog reads the patterns from the last
/// parentheses and shows the caption alone. Never fails.
std::string DialogNameFilter(const FileFilter &filter);

/// What RequireSettingsFile needs from the outside: a message box and the end of the program.
class ProgramStop {
  public:
    virtual ~ProgramStop() = default;
    virtual void showMessage(const std::string &text) = 0;
    /// Ends the program at once, without the main window's close-time saving.
    virtual void terminate() = 0;
};

/// "Critical mistake!, Error Code: [<code>]\r\nSetup Vexlo Pro again.."
std::string MissingSettingsMessage(std::string_view code);

/// When "vexlopro.ini" is missing from `folder`: shows the message and stops the program.
void RequireSettingsFile(const ProgramFolder &folder, std::string_view code, ProgramStop &stop);

} // namespace vexlo
