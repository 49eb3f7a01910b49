#include "app/MainWindow.h"

#include "app/ComputerSpeedWindow.h"
#include "run/PreviewWindow.h"
#include "run/UndoWindow.h"

#include "app/HelpWindow.h"
#include "app/InputNotebook.h"
#include "app/OptionsColumn.h"
#include "app/RunController.h"
#include "app/TargetNotebook.h"
#include "app/Windows.h"
#include "backup/BackupWindows.h"
#include "settings/SettingsFile.h"
#include "targets/AddFiles.h"
#include "targets/AdvancedAddWindows.h"
#include "targets/DirectoryListPanel.h"
#include "targets/FileListPanel.h"
#include "targets/ScanDirectoryWindow.h"
#include "targets/TargetListModel.h"
#include "widgets/FieldEditing.h"
#include "widgets/Guarded.h"
#include "widgets/Platform.h"
#include "widgets/Widgets.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <stdexcept>

namespace vexlo {

namespace {

// Section and keys of the window layout in "vexlopro.ini".
constexpr const char *LayoutSection = "Wich_Option_Top";
constexpr const char *PanelKey = "aGB";
constexpr const char *InputPageKey = "aTabbedNotebook1PageIndex";
constexpr const char *TargetPageKey = "aTabbedNotebook2PageIndex";

constexpr int ToolBarHeight = 65;
constexpr int OptionsWidth = 185;

const MainWindow *g_handlerOwner = nullptr;

/// "0", "1" or "2" selects that page; anything else leaves the first page.
int PageFromText(const std::string &text)
{
    if (text == "1")
        return 1;
    if (text == "2")
        return 2;
    return 0;
}

} // namespace

MainWindow::MainWindow(Platform &platform, Windows &windows, QWidget *parent)
    : QMainWindow(parent), m_platform(platform), m_windows(windows)
{
    setObjectName(QStringLiteral("TForm1"));
    setWindowTitle(tr("Vexlo Pro"));

    m_menu = BuildMainMenu(menuBar());
    buildToolBar();

    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("ClientArea"));
    m_options = new OptionsColumn(central);
    m_options->setFixedWidth(OptionsWidth);
    m_input = new InputNotebook(central);
    m_targets = new TargetNotebook(platform, central);

    auto *right = new QVBoxLayout;
    right->setSpacing(4);
    right->addWidget(m_input);
    right->addWidget(m_targets, 1);
    auto *layout = new QHBoxLayout(central);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setSpacing(4);
    layout->addWidget(m_options);
    layout->addLayout(right, 1);
    setCentralWidget(central);

    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    statusBar()->setSizeGripEnabled(true);

    m_run = new RunController(platform, this);
    m_run->setTextBox(m_targets->textBox());
    connectActions();

    // The option panel starts as the own engine's (OptionsColumn); then the handler, then
    // the remembered layout.
    g_handlerOwner = this;
    SetErrorHandler([this](std::exception_ptr error) { reportError(error); });
    guarded([this] { loadSettings(SettingsFile(m_platform.programFolder().file(MainSettingsName))); });
}

MainWindow::~MainWindow()
{
    if (g_handlerOwner == this) {
        SetErrorHandler(nullptr);
        g_handlerOwner = nullptr;
    }
}

QToolButton *MainWindow::addToolButton(const char *name, const QString &hint, const QString &icon)
{
    QToolButton *button = MakeFlatButton(m_toolBar, name, hint, icon);
    button->setIconSize(QSize(36, 36));
    button->setFixedSize(52, 52);
    m_toolBar->addWidget(button);
    return button;
}

void MainWindow::buildToolBar()
{
    auto *bar = m_toolBar = new QToolBar(tr("Toolbar"), this);
    bar->setObjectName(QStringLiteral("ToolBar1"));
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setFixedHeight(ToolBarHeight);
    bar->toggleViewAction()->setEnabled(false);
    bar->setContextMenuPolicy(Qt::PreventContextMenu);
    addToolBar(Qt::TopToolBarArea, bar);

    m_tools.addFiles =
        addToolButton("SpeedButton25", tr("Add file (s) in File List..."), QStringLiteral("add-file"));
    m_tools.addDirectory =
        addToolButton("SpeedButton26", tr("Add directory..."), QStringLiteral("add-directory"));
    bar->addSeparator();
    m_tools.backup = addToolButton("SpeedButton27", tr("Do backup..."), QStringLiteral("backup"));
    m_tools.recovery = addToolButton("SpeedButton28", tr("Do recovery..."), QStringLiteral("recovery"));
    bar->addSeparator();
    m_tools.go = addToolButton("SpeedButton29", tr("Let`s go..."), QStringLiteral("go"));
    m_tools.preview = addToolButton("SpeedButton32", tr("Preview..."), QStringLiteral("preview"));

    auto *spacer = new QWidget(bar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    bar->addWidget(spacer);
    m_tools.help = addToolButton("SpeedButton31", tr("Help contents"), QStringLiteral("help"));
    m_tools.quit = addToolButton("SpeedButton30", tr("Quit Vexlo Pro"), QStringLiteral("quit"));
}

void MainWindow::connectActions()
{
    connect(m_tools.addFiles, &QToolButton::clicked, this, [this] { guarded([this] { addFiles(); }); });
    connect(m_tools.go, &QToolButton::clicked, this, [this] { guarded([this] { startRun(); }); });
    connect(m_tools.help, &QToolButton::clicked, this, [this] { guarded([this] { showHelp(); }); });
    connect(m_tools.quit, &QToolButton::clicked, this, &QWidget::close);
    connect(m_tools.backup, &QToolButton::clicked, this, [this] {
        guarded([this] {
            m_windows.doBackup().exec();
            QCoreApplication::processEvents();
        });
    });
    connect(m_tools.recovery, &QToolButton::clicked, this, [this] {
        guarded([this] {
            m_windows.recovery().exec();
            QCoreApplication::processEvents();
        });
    });
    connect(m_tools.addDirectory, &QToolButton::clicked, this,
            [this] { guarded([this] { m_windows.addDirectory().exec(); }); });
    for (QAction *item : {m_menu.advancedAddFiles, m_menu.advancedAddDirectory})
        connect(item, &QAction::triggered, this,
                [this] { guarded([this] { m_windows.advancedAdd().exec(); }); });
    connect(m_targets->fileList(), &FileListPanel::advancedAddRequested, this,
            [this] { guarded([this] { m_windows.advancedAdd().exec(); }); });
    connect(m_menu.deleteBackupFiles, &QAction::triggered, this,
            [this] { guarded([this] { m_windows.deleteBackup().exec(); }); });
    connect(m_menu.computerSpeed, &QAction::triggered, this,
            [this] { guarded([this] { m_windows.computerSpeed().exec(); }); });

    connect(m_menu.quit, &QAction::triggered, this, &QWidget::close);
    connect(m_menu.addFiles, &QAction::triggered, this, [this] { guarded([this] { addFiles(); }); });
    connect(m_menu.scanDirectory, &QAction::triggered, this,
            [this] { guarded([this] { scanDirectory(); }); });
    connect(m_menu.clearFileList, &QAction::triggered, this,
            [this] { guarded([this] { m_targets->fileList()->clearList(); }); });
    connect(m_menu.start, &QAction::triggered, this, [this] { guarded([this] { startRun(); }); });
    connect(m_menu.stop, &QAction::triggered, this, [this] { guarded([this] { m_run->stop(); }); });
    connect(m_menu.preview, &QAction::triggered, this, [this] { guarded([this] { showPreview(); }); });
    connect(m_tools.preview, &QToolButton::clicked, this, [this] { guarded([this] { showPreview(); }); });
    connect(m_menu.undoLastRun, &QAction::triggered, this, [this] {
        guarded([this] {
            UndoWindow window(m_platform, this);
            window.exec();
        });
    });
    connect(m_menu.helpContents, &QAction::triggered, this, [this] { guarded([this] { showHelp(); }); });
    connect(m_run, &RunController::started, this, [this] { setRunControlsEnabled(false); });
    connect(m_run, &RunController::finished, this, [this] {
        setRunControlsEnabled(true);
        if (m_closeAfterRun) // after the run has returned from its handler
            QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    });

    FileListPanel *fileList = m_targets->fileList();
    connect(fileList, &FileListPanel::addFilesRequested, this, [this] { guarded([this] { addFiles(); }); });
    connect(fileList, &FileListPanel::scanDirectoryRequested, this,
            [this] { guarded([this] { scanDirectory(); }); });
}

TargetListModel &MainWindow::fileListModel() const
{
    return m_targets->fileList()->model();
}

TargetListModel &MainWindow::directoryListModel() const
{
    return m_targets->directoryList()->model();
}

RunRequest MainWindow::runRequest() const
{
    RunRequest request;
    request.engine = m_options->engineKind();
    request.inputTab = static_cast<InputTab>(m_input->currentIndex());
    request.targetTab = static_cast<TargetTab>(m_targets->currentIndex());
    const InputFields &input = m_input->fields();
    request.oneLineFind = ToBytes(input.oneLineFind->text());
    request.oneLineReplace = ToBytes(input.oneLineReplace->text());
    request.multiLineFind = ToBytes(BoxText(input.multiLineFind));
    request.multiLineReplace = ToBytes(BoxText(input.multiLineReplace));
    request.realTime.findLine = ToBytes(input.realTimeFindLine->text());
    request.realTime.findMemo = ToBytes(BoxText(input.realTimeFindMemo));
    request.realTime.replacementLine = ToBytes(input.realTimeReplacementLine->text());
    request.realTime.replacementMemo = ToBytes(BoxText(input.realTimeReplacementMemo));
    request.text = ToBytes(BoxText(m_targets->textBox()));
    request.fileList = fileListModel().entries();
    request.directoryList = directoryListModel().entries();
    request.mask = m_targets->directoryList()->mask();
    request.options = m_options->textEngineOptions();
    request.wordOptions = m_options->wordEngineOptions();
    return request;
}

void MainWindow::startRun()
{
    if (m_run->isRunning())
        return; // checked before the window state is copied
    m_run->start(runRequest());
}

void MainWindow::showPreview()
{
    if (m_run->isRunning())
        return;
    PreviewWindow window(
        m_platform, runRequest(), [this](const RunRequest &request) { m_run->start(request); }, this);
    window.show();
    window.runPreview();
    window.exec();
}

void MainWindow::addFiles()
{
    AddFileProcedure(this, m_platform, fileListModel());
}

void MainWindow::scanDirectory()
{
    m_windows.scanDirectory().exec();
}

void MainWindow::showHelp()
{
    const QString help = FromBytes(m_platform.programFolder().resource("help.txt").string());
    if (m_platform.shellOpen(help))
        return;
    // No viewer registered for the file (common on a bare desktop): show it ourselves.
    if (!m_helpWindow)
        m_helpWindow = new HelpWindow(this);
    m_helpWindow->showFile(help);
}

// While a run is in progress only "Stop", help and quitting stay enabled: nothing may change
// the run's inputs or lists, or open a window that would hold the run up.
void MainWindow::setRunControlsEnabled(bool enabled)
{
    for (QWidget *panel : {static_cast<QWidget *>(m_options), static_cast<QWidget *>(m_input),
                           static_cast<QWidget *>(m_targets)})
        panel->setEnabled(enabled);
    for (QToolButton *button : {m_tools.addFiles, m_tools.addDirectory, m_tools.backup, m_tools.recovery,
                                m_tools.go, m_tools.preview})
        button->setEnabled(enabled);
    for (QMenu *menu : {m_menu.fileListMenu, m_menu.backUpMenu, m_menu.optionsMenu})
        menu->menuAction()->setEnabled(enabled);
    m_menu.start->setEnabled(enabled);
    m_menu.preview->setEnabled(enabled);
    m_menu.undoLastRun->setEnabled(enabled);
    m_menu.about->setEnabled(enabled);
}

void MainWindow::loadSettings(const SettingsFile &settings)
{
    const std::string panel = settings.read(LayoutSection, PanelKey, PanelKey);
    if (panel == "1")
        m_options->showOptionPanel(OptionPanel::TextEngine);
    else if (panel == "2")
        m_options->showOptionPanel(OptionPanel::WordEngine);
    else if (panel == "3" || panel == "4")
        m_options->showOptionPanel(OptionPanel::ReplaceEngine);

    m_input->setCurrentIndex(PageFromText(settings.read(LayoutSection, InputPageKey, InputPageKey)));
    m_targets->setCurrentIndex(PageFromText(settings.read(LayoutSection, TargetPageKey, TargetPageKey)));
}

void MainWindow::saveSettings(SettingsFile &settings)
{
    settings.write(LayoutSection, PanelKey, std::to_string(int(m_options->optionPanel())));
    settings.write(LayoutSection, InputPageKey, std::to_string(m_input->currentIndex()));
    settings.write(LayoutSection, TargetPageKey, std::to_string(m_targets->currentIndex()));
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (m_run->isRunning()) {
        // The run uses this window: stop it, and close once it has returned.
        m_run->stop();
        m_closeAfterRun = true;
        event->ignore();
        return;
    }
    guarded([this] {
        SettingsFile settings(m_platform.programFolder().file(MainSettingsName));
        saveSettings(settings);
    });
    event->accept();
    emit closed();
}

// MyException: conversion errors show "mistake!"; a settings file that cannot be written
// shows its message (path and reason), so the user learns the layout or a counter was not
// kept. Every other error ends its action silently.
void MainWindow::reportError(std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (const Error &e) {
        if (e.kind() == ErrorKind::Conversion)
            m_platform.message(this, QStringLiteral("mistake!"));
        else if (e.kind() == ErrorKind::SettingsWrite)
            m_platform.message(this, FromBytes(e.what()));
    } catch (const std::invalid_argument &) {
        m_platform.message(this, QStringLiteral("mistake!")); // a standard text-to-number conversion
    } catch (...) {
    }
}

} // namespace vexlo
