#include "app/Windows.h"

#include "app/ComputerSpeedWindow.h"
#include "app/MainWindow.h"
#include "targets/ScanDirectoryWindow.h"

namespace vexlo {

Windows::Windows(Platform &platform)
{
    m_main = std::make_unique<MainWindow>(platform, *this);
    m_scanDirectory = new ScanDirectoryWindow(platform, m_main->fileListModel(), m_main.get());
    m_computerSpeed = new ComputerSpeedWindow(platform, m_main.get());
}

// The main window deletes the others as its children, without their close handlers.
Windows::~Windows() = default;

} // namespace vexlo
