#include "app/Windows.h"

#include "app/AboutWindow.h"
#include "app/ClipboardWindow.h"
#include "app/ComputerSpeedWindow.h"
#include "app/InputNotebook.h"
#include "app/MainWindow.h"
#include "app/NotesWindow.h"
#include "app/OptionsColumn.h"
#include "app/RunController.h"
#include "app/TargetNotebook.h"
#include "backup/BackupWindows.h"
#include "inputs/EditWindow.h"
#include "inputs/HistoryWindows.h"
#include "inputs/InputHelpers.h"
#include "run/RealTimeTab.h"
#include "targets/AdvancedAddWindows.h"
#include "targets/DirectoryPicker.h"
#include "targets/ScanDirectoryWindow.h"
#include "widgets/Guarded.h"

#include <QAction>

namespace vexlo {

Windows::Windows(Platform &platform)
{
    m_main = std::make_unique<MainWindow>(platform, *this);
    QWidget *owner = m_main.get();
    MainWindow *main = m_main.get();
    m_scanDirectory = new ScanDirectoryWindow(platform, m_main->fileListModel(), owner); // TForm2
    const MainPages pages{
        [main] { main->inputNotebook().setCurrentIndex(InputNotebook::OneLinePage); },
        [main] { main->targetNotebook().setCurrentIndex(TargetNotebook::DirectoryListPage); }};
    m_advancedAdd = new AdvancedAddWindow(platform, main->fileListModel(), main->directoryListModel(), pages,
                                          main); // TForm3
    // TForm10 comes here.
    m_addDirectory = new AddDirectoryWindow(platform, main->directoryListModel(), main);             // TForm4
    m_clipboard = new ClipboardWindow(platform, owner);                                              // TForm5
    m_histories[0] = new OneLineHistoryWindow(platform, HistoryKind::WhatToFind, owner);             // TForm6
    m_histories[1] = new OneLineHistoryWindow(platform, HistoryKind::ReplaceWith, owner);            // TForm7
    m_histories[2] = new MultiLineHistoryWindow(platform, HistoryKind::WhatToFindMultiLine, owner);  // TForm8
    m_histories[3] = new MultiLineHistoryWindow(platform, HistoryKind::ReplaceWithMultiLine, owner); // TForm9
    m_edit = new EditWindow(platform, m_main->inputNotebook().fields().multiLineFind,
                            m_main->inputNotebook().fields().multiLineReplace, owner); // TForm11
    m_notes = new NotesWindow(platform, owner);                                        // TForm12
    m_doBackup = new DoBackupWindow(
        platform, main->fileListModel(), main->directoryListModel(),
        [main] { return main->targetNotebook().currentIndex(); }, main); // TForm13
    m_recovery = new RecoveryWindow(platform, main);                     // TForm14
    m_deleteBackup = new DeleteBackupWindow(platform, main);             // TForm15
    m_computerSpeed = new ComputerSpeedWindow(platform, m_main.get());   // TForm16
    m_about = new AboutWindow(platform, owner);                          // TForm17

    // The folder trees stop watching while a run rewrites files.
    FolderWatchers &watchers = m_main->runController().folderWatchers();
    watchers.add(m_scanDirectory->picker().model());
    watchers.add(m_advancedAdd->picker().model());
    watchers.add(m_addDirectory->picker().model());

    wireInputWindows(platform);
}

// The openers of the input notebook and the "Real time" page, once every window exists.
void Windows::wireInputWindows(Platform &platform)
{
    InputNotebook &input = m_main->inputNotebook();
    m_inputHelpers = new InputHelpers(platform, input.fields(), m_main->options().specialFindButton(),
                                      m_main->options().specialReplaceButton());
    InputHelpers::OpenedWindows opened;
    opened.clipboard = m_clipboard;
    for (std::size_t i = 0; i < m_histories.size(); ++i)
        opened.history[i] = m_histories[i];
    opened.edit = m_edit;
    m_inputHelpers->setWindows(opened);
    m_edit->setWindows(m_clipboard, m_histories[2], m_histories[3]);

    m_realTime = new RealTimeTab(platform, input.fields(), &m_main->targetNotebook(),
                                 m_main->targetNotebook().textBox());
    m_realTime->setWindows(m_clipboard, m_notes);

    QObject::connect(m_main->menu().about, &QAction::triggered, m_about,
                     [about = m_about] { guarded([about] { about->exec(); }); });
    // Notes still open when the program ends are kept, or the user is asked before they are lost.
    m_notes->watchQuit(m_main.get());
}

// The main window deletes the others as its children, without their close handlers.
Windows::~Windows() = default;

} // namespace vexlo
