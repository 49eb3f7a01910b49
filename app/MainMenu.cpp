#include "app/MainMenu.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace vexlo {

namespace {

enum Visibility { Shown, Hidden };

QAction *Item(QMenu *menu, const char *name, const QString &text, Visibility visibility = Shown)
{
    QAction *action = menu->addAction(text);
    action->setObjectName(QString::fromLatin1(name));
    action->setVisible(visibility == Shown);
    return action;
}

void Separator(QMenu *menu, Visibility visibility = Shown)
{
    menu->addSeparator()->setVisible(visibility == Shown);
}

QMenu *TopMenu(QMenuBar *bar, const char *name, const QString &title, Visibility visibility = Shown)
{
    QMenu *menu = bar->addMenu(title);
    menu->setObjectName(QString::fromLatin1(name));
    menu->menuAction()->setObjectName(QString::fromLatin1(name) + QStringLiteral("Item"));
    // A hidden top-level item hides its whole submenu.
    menu->menuAction()->setVisible(visibility == Shown);
    return menu;
}

} // namespace

MainMenu BuildMainMenu(QMenuBar *bar)
{
    bar->setObjectName(QStringLiteral("MainMenu1"));
    MainMenu items;

    QMenu *project = TopMenu(bar, "Project1", QObject::tr("Project"), Hidden);
    Item(project, "CreatenewProject1", QObject::tr("Create new Project"));
    Separator(project);
    Item(project, "OpenProject1", QObject::tr("Open Project..."), Hidden);
    Item(project, "SaveProject1", QObject::tr("Save Project"), Hidden);
    Item(project, "SaveProjectAs1", QObject::tr("Save Project As..."), Hidden);
    Separator(project, Hidden);
    items.quit = Item(project, "QuitVexloPro1", QObject::tr("Quit Vexlo Pro"));

    QMenu *fileList = items.fileListMenu = TopMenu(bar, "FileList1", QObject::tr("File List"));
    items.addFiles = Item(fileList, "Addfiles1", QObject::tr("Add Files"));
    items.advancedAddFiles = Item(fileList, "AdvancedAddFiles3", QObject::tr("Advanced Add Files"));
    items.scanDirectory = Item(fileList, "Scandirectory1", QObject::tr("Scan Directory"));
    items.advancedAddDirectory = Item(fileList, "AdvancedAddFiles1", QObject::tr("Advanced Add Directory"));
    Separator(fileList, Hidden);
    Item(fileList, "RemoveselectedfilefromFileList1", QObject::tr("Remove selected file from File List"),
         Hidden);
    items.clearFileList = Item(fileList, "ClearFileList1", QObject::tr("Clear File List"), Hidden);
    Separator(fileList, Hidden);
    Item(fileList, "CheckALL1", QObject::tr("Check ALL"), Hidden);
    Item(fileList, "UnCheckALL1", QObject::tr("UnCheck ALL"), Hidden);
    Separator(fileList, Hidden);
    Item(fileList, "BrowseFile1", QObject::tr("Browse File"), Hidden);
    Item(fileList, "EditFile1", QObject::tr("Edit File"), Hidden);
    Separator(fileList, Hidden);
    Item(fileList, "OpenFile1", QObject::tr("Open File"), Hidden);
    Separator(fileList, Hidden);
    Item(fileList, "RemoveDuplicates1", QObject::tr("Remove Duplicates"), Hidden);
    Separator(fileList, Hidden);
    Item(fileList, "SaveFileList1", QObject::tr("Save File List"), Hidden);
    Item(fileList, "LoadFileList1", QObject::tr("Load File List"), Hidden);

    QMenu *backUp = items.backUpMenu = TopMenu(bar, "BackUp1", QObject::tr("BackUp"));
    Item(backUp, "DoBackUp1", QObject::tr("Do BackUp"));
    Item(backUp, "RecoveryALL1", QObject::tr("Recovery ALL"));
    Separator(backUp);
    items.deleteBackupFiles = Item(backUp, "Deletebackupfiles1", QObject::tr("Delete backup files"));

    QMenu *options = items.optionsMenu = TopMenu(bar, "Options1", QObject::tr("Options"), Hidden);
    Item(options, "GeneralOptions1", QObject::tr("General Options"));
    Separator(options);
    Item(options, "Logging1", QObject::tr("Logging"));
    Item(options, "Saving1", QObject::tr("Saving"));
    Item(options, "Priority1", QObject::tr("Priority"), Hidden);
    Separator(options, Hidden);
    items.computerSpeed = Item(options, "ComputerSpeed1", QObject::tr("Computer Speed"));
    Separator(options, Hidden);
    Item(options, "LoadMyOptions1", QObject::tr("Load My Options"));
    Item(options, "SaveMyOptions1", QObject::tr("Save My Options"), Hidden);

    QMenu *replace = TopMenu(bar, "Replace1", QObject::tr("Replace"));
    items.start = Item(replace, "Start1", QObject::tr("Start"));
    items.stop = Item(replace, "Stop1", QObject::tr("Stop"));
    items.preview = Item(replace, "Preview1", QObject::tr("Preview..."));
    items.undoLastRun = Item(replace, "UndoLastRun1", QObject::tr("Undo last run..."));
    Separator(replace, Hidden);
    Item(replace, "ShowStatistics1", QObject::tr("Show Statistics"), Hidden);

    QMenu *help = TopMenu(bar, "Help1", QObject::tr("Help"));
    items.helpContents = Item(help, "HelpContents1", QObject::tr("Help Contents"));
    Item(help, "TipoftheDay1", QObject::tr("Tip of the Day"), Hidden);
    Separator(help, Hidden);
    QMenu *support = help->addMenu(QObject::tr("Support"));
    support->setObjectName(QStringLiteral("Support1"));
    support->menuAction()->setObjectName(QStringLiteral("Support1Item"));
    support->menuAction()->setVisible(false);
    Item(support, "VexloProintheInternet1", QObject::tr("Vexlo Pro in the Internet"));
    Separator(support);
    Item(support, "FrequentlyAskedQuestions1", QObject::tr("Frequently Asked Questions"));
    Separator(support);
    Item(support, "ReportaBug1", QObject::tr("Report a Bug"));
    Item(support, "SuggestaFeature1", QObject::tr("Suggest a Feature"));
    Separator(support);
    Item(support, "OtherSupportOptions1", QObject::tr("Other Support Options..."));
    Separator(help, Hidden);
    items.about = Item(help, "About1", QObject::tr("About..."));

    return items;
}

} // namespace vexlo
