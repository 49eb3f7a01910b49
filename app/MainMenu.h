// The menu bar of the main window, with its hidden and inert items.
#pragma once

#include <QObject>

class QAction;
class QMenu;
class QMenuBar;

namespace vexlo {

/// The items that do something; every other item is present and does nothing.
struct MainMenu {
    QAction *quit = nullptr;                 // "Project" > "Quit Vexlo Pro" (menu hidden)
    QAction *addFiles = nullptr;             // "File List" > "Add Files"
    QAction *advancedAddFiles = nullptr;     // "File List" > "Advanced Add Files"
    QAction *scanDirectory = nullptr;        // "File List" > "Scan Directory"
    QAction *advancedAddDirectory = nullptr; // "File List" > "Advanced Add Directory"
    QAction *clearFileList = nullptr;        // "File List" > "Clear File List" (hidden)
    QAction *deleteBackupFiles = nullptr;    // "BackUp" > "Delete backup files"
    QAction *computerSpeed = nullptr;        // "Options" > "Computer Speed" (menu hidden)
    QAction *start = nullptr;                // "Replace" > "Start"
    QAction *stop = nullptr;                 // "Replace" > "Stop"
    QAction *preview = nullptr;              // "Replace" > "Preview..."
    QAction *undoLastRun = nullptr;          // "Replace" > "Undo last run..."
    QAction *helpContents = nullptr;         // "Help" > "Help Contents"
    QAction *about = nullptr;                // "Help" > "About..."

    // The top-level menus closed while a run is in progress.
    QMenu *fileListMenu = nullptr; // "File List"
    QMenu *backUpMenu = nullptr;   // "BackUp"
    QMenu *optionsMenu = nullptr;  // "Options" (hidden)
};

/// Fills `bar` with the six top-level menus in their order.
MainMenu BuildMainMenu(QMenuBar *bar);

} // namespace vexlo
