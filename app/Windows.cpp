#include "app/Windows.h"

#include "app/InputNotebook.h"
#include "app/MainWindow.h"
#include "app/TargetNotebook.h"
#include "backup/BackupWindows.h"
#include "targets/AdvancedAddWindows.h"
#include "targets/ScanDirectoryWindow.h"

namespace vexlo {

Windows::Windows(Platform &platform)
{
    m_main = std::make_unique<MainWindow>(platform, *this);
    m_scanDirectory = new ScanDirectoryWindow(platform, m_main->fileListModel(), m_main.get());
    MainWindow *main = m_main.get();
    const MainPages pages{
        [main] { main->inputNotebook().setCurrentIndex(InputNotebook::OneLinePage); },
        [main] { main->targetNotebook().setCurrentIndex(TargetNotebook::DirectoryListPage); }};
    m_advancedAdd =
        new AdvancedAddWindow(platform, main->fileListModel(), main->directoryListModel(), pages, main);
    m_addDirectory = new AddDirectoryWindow(platform, main->directoryListModel(), main);
    m_doBackup = new DoBackupWindow(
        platform, main->fileListModel(), main->directoryListModel(),
        [main] { return main->targetNotebook().currentIndex(); }, main);
    m_recovery = new RecoveryWindow(platform, main);
    m_deleteBackup = new DeleteBackupWindow(platform, main);
}

// The main window deletes the others as its children, without their close handlers.
Windows::~Windows() = default;

} // namespace vexlo
