// Loading a find or replace string from a file through the open-file dialog.
#pragma once

#include "base/Lines.h"

#include <functional>

class QPlainTextEdit;
class QWidget;

namespace vexlo {

class Platform;

/// Which remembered dialog keys a load reads and writes ("Last_Opened_Directory" + suffix,
/// "Extension_Filter" + suffix), and the code of its missing-settings stop.
struct LoadKeys {
    const char *readDirectory;
    const char *readFilter;
    const char *write;
    const char *code;
};

/// When "vexlopro.ini" exists: opens the dialog at the remembered folder and filter, reads
/// the chosen file as lines, hands them to `work`, then remembers the file's folder and the
/// filter. Afterwards a missing "vexlopro.ini" shows the stop message and ends the program.
/// Throws Error{Conversion} before the dialog for a stored filter that is not a number,
/// Error{Io} when the file cannot be read (nothing stored); a cancelled dialog changes
/// nothing. Whatever `work` throws also ends the load before anything is stored.
/// True when a file was loaded.
bool LoadFromFile(QWidget *parent, Platform &platform, const LoadKeys &keys,
                  const std::function<void(const Lines &)> &work);

/// Appends `lines` after the memo's existing lines (one undoable step); removes nothing.
void AppendLines(QPlainTextEdit *memo, const Lines &lines);

/// The loads of the main window and the "Edit" window, with the keys each one uses.
namespace StringLoads {
constexpr LoadKeys OneLineFind{"2", "2", "2", "001"};
constexpr LoadKeys OneLineReplace{"3", "3", "3", "001"};
// The multi-line find load starts in the folder of pair 3 with the filter of pair 4.
constexpr LoadKeys MultiLineFind{"3", "4", "4", "001"};
constexpr LoadKeys MultiLineReplace{"5", "5", "5", "001"};
constexpr LoadKeys EnlargedFind{"3", "3", "4", "001"};
constexpr LoadKeys EnlargedReplace{"5", "5", "5", "001"};
constexpr LoadKeys RealTimeFind{"15", "15", "15", "001"};
constexpr LoadKeys RealTimeReplace{"16", "16", "16", "001"};
constexpr LoadKeys RealTimeText{"1", "1", "1", "003"};
} // namespace StringLoads

} // namespace vexlo
