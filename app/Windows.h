// Every window of the program, created once at start in a fixed order and reused.
#pragma once

#include <memory>

namespace vexlo {

class MainWindow;
class Platform;
class ScanDirectoryWindow;
class AdvancedAddWindow;
class AddDirectoryWindow;
class DoBackupWindow;
class RecoveryWindow;
class DeleteBackupWindow;

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
    /// TForm3 "Advanced Add Directory or Files" and TForm4 "Add directory".
    AdvancedAddWindow &advancedAdd() const noexcept { return *m_advancedAdd; }
    AddDirectoryWindow &addDirectory() const noexcept { return *m_addDirectory; }
    /// TForm13 "Do backup", TForm14 "Recovery", TForm15 "Delete backup".
    DoBackupWindow &doBackup() const noexcept { return *m_doBackup; }
    RecoveryWindow &recovery() const noexcept { return *m_recovery; }
    DeleteBackupWindow &deleteBackup() const noexcept { return *m_deleteBackup; }

  private:
    std::unique_ptr<MainWindow> m_main;
    ScanDirectoryWindow *m_scanDirectory = nullptr; // owned by the main window
    AdvancedAddWindow *m_advancedAdd = nullptr;
    AddDirectoryWindow *m_addDirectory = nullptr;
    DoBackupWindow *m_doBackup = nullptr;
    RecoveryWindow *m_recovery = nullptr;
    DeleteBackupWindow *m_deleteBackup = nullptr;
};

} // namespace vexlo
