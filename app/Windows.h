// Every window of the program, created once at start in a fixed order and reused.
#pragma once

#include <memory>

namespace vexlo {

class MainWindow;
class Platform;
class ScanDirectoryWindow;
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
    /// TForm16 "Computer speed".
    ComputerSpeedWindow &computerSpeed() const noexcept { return *m_computerSpeed; }

  private:
    std::unique_ptr<MainWindow> m_main;
    ScanDirectoryWindow *m_scanDirectory = nullptr; // owned by the main window
    ComputerSpeedWindow *m_computerSpeed = nullptr; // owned by the main window
};

} // namespace vexlo
