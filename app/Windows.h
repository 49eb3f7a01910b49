// Every window of the program, created once at start in a fixed order and reused.
#pragma once

#include <array>
#include <memory>

namespace vexlo {

class AboutWindow;
class ClipboardWindow;
class EditWindow;
class HistoryWindow;
class InputHelpers;
class MainWindow;
class NotesWindow;
class Platform;
class RealTimeTab;
class ScanDirectoryWindow;
class AdvancedAddWindow;
class AddDirectoryWindow;
class DoBackupWindow;
class RecoveryWindow;
class DeleteBackupWindow;
class ComputerSpeedWindow;

/// The main window first (its creation reads the layout and installs the error handler),
/// then the other windows, hidden, as children of it; they live until the program ends.
class Windows {
  public:
    explicit Windows(Platform &platform);
    ~Windows();
    Windows(const Windows &) = delete;
    Windows &operator=(const Windows &) = delete;

    MainWindow &main() const noexcept { return *m_main; }
    /// TForm2 "Scan directory(s)".
    ScanDirectoryWindow &scanDirectory() const noexcept { return *m_scanDirectory; }
    /// TForm5 "Clipboard".
    ClipboardWindow &clipboard() const noexcept { return *m_clipboard; }
    /// TForm6..TForm9, indexed by HistoryKind.
    HistoryWindow &history(int kind) const { return *m_histories.at(std::size_t(kind)); }
    /// TForm11 "Edit".
    EditWindow &edit() const noexcept { return *m_edit; }
    /// TForm12 "Notes".
    NotesWindow &notes() const noexcept { return *m_notes; }
    /// TForm17 "About...".
    AboutWindow &about() const noexcept { return *m_about; }
    /// The buttons and menus around the find and replace fields.
    InputHelpers &inputHelpers() const noexcept { return *m_inputHelpers; }
    /// The "Real time" page's text tools and pass.
    RealTimeTab &realTime() const noexcept { return *m_realTime; }
    /// TForm3 "Advanced Add Directory or Files" and TForm4 "Add directory".
    AdvancedAddWindow &advancedAdd() const noexcept { return *m_advancedAdd; }
    AddDirectoryWindow &addDirectory() const noexcept { return *m_addDirectory; }
    /// TForm13 "Do backup", TForm14 "Recovery", TForm15 "Delete backup".
    DoBackupWindow &doBackup() const noexcept { return *m_doBackup; }
    RecoveryWindow &recovery() const noexcept { return *m_recovery; }
    DeleteBackupWindow &deleteBackup() const noexcept { return *m_deleteBackup; }
    /// TForm16 "Computer speed".
    ComputerSpeedWindow &computerSpeed() const noexcept { return *m_computerSpeed; }

  private:
    void wireInputWindows(Platform &platform);

    std::unique_ptr<MainWindow> m_main;
    // Owned by the main window:
    ScanDirectoryWindow *m_scanDirectory = nullptr;
    ClipboardWindow *m_clipboard = nullptr;
    std::array<HistoryWindow *, 4> m_histories{};
    EditWindow *m_edit = nullptr;
    NotesWindow *m_notes = nullptr;
    AboutWindow *m_about = nullptr;
    InputHelpers *m_inputHelpers = nullptr;
    RealTimeTab *m_realTime = nullptr;
    AdvancedAddWindow *m_advancedAdd = nullptr;
    AddDirectoryWindow *m_addDirectory = nullptr;
    DoBackupWindow *m_doBackup = nullptr;
    RecoveryWindow *m_recovery = nullptr;
    DeleteBackupWindow *m_deleteBackup = nullptr;
    ComputerSpeedWindow *m_computerSpeed = nullptr;
};

} // namespace vexlo
