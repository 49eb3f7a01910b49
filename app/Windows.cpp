#include "app/Windows.h"

#include "app/MainWindow.h"
#include "app/TargetNotebook.h"
#include "backup/BackupWindows.h"
#include "targets/ScanDirectoryWindow.h"

namespace vexlo {

Windows::Windows(Platform &platform)
{
    m_main = std::make_unique<MainWindow>(platform, *this);
    m_scanDirectory = new ScanDirectoryWindow(platform, m_main->fileListModel(), m_main.get());
    MainWindow *main = m_main.get();
    m_doBackup = new DoBackupWindow(platform, main->fileListModel(), main->directoryListModel(),
                                    [main] { return main->targetNotebook().currentIndex(); }, main);
    m_recovery = new RecoveryWindow(platform, main);
    m_deleteBackup = new DeleteBackupWindow(platform, main);
}

// The main window deletes the others as its children, without their close handlers.
Windows::~Windows() = default;

} // namespace vexlo
