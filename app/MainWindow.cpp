#include "app/MainWindow.h"

#include "app/ComputerSpeedWindow.h"
#include "run/PreviewWindow.h"
#include "run/UndoWindow.h"

#include "app/HelpWindow.h"
#include "app/InputNotebook.h"
#include "app/OfficeEngineHook.h"
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
    m_run->setExtensions(new OfficeEngineHook(platform, this, m_run->flag()));
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
    QToolBar *bar = findChild<QToolBar *>(QStringLiteral("ToolBar1"));
    QToolButton *button = MakeFlatButton(bar, name, hint, icon);
    button->setIconSize(QSize(36, 36));
    button->setFixedSize(52, 52);
    bar->addWidget(button);
    return button;
}

void MainWindow::buildToolBar()
{
    auto *bar = new QToolBar(tr("Toolbar"), this);
    bar->setObjectName(QStringLiteral("ToolBar1"));
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setFixedHeight(ToolBarHeight);
    bar->toggleViewAction()->setEnabled(false);
    bar->setContextMenuPolicy(Qt::PreventContextMenu);
    addToolBar(Qt::TopToolBarArea, bar);

    addToolButton("SpeedButton25", tr("Add file (s) in File List..."), QStringLiteral("add-file"));
    addToolButton("SpeedButton26", tr("Add directory..."), QStringLiteral("add-directory"));
    bar->addSeparator();
    addToolButton("SpeedButton27", tr("Do backup..."), QStringLiteral("backup"));
    addToolButton("SpeedButton28", tr("Do recovery..."), QStringLiteral("recovery"));
    bar->addSeparator();
    addToolButton("SpeedButton29", tr("Let`s go..."), QStringLiteral("go"));
    addToolButton("SpeedButton32", tr("Preview..."), QStringLiteral("preview"));

    auto *spacer = new QWidget(bar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    bar->addWidget(spacer);
    addToolButton("SpeedButton31", tr("Help contents"), QStringLiteral("help"));
    addToolButton("SpeedButton30", tr("Quit Vexlo Pro"), QStringLiteral("quit"));
}

void MainWindow::connectActions()
{
    auto button = [this](const char *name) { return findChild<QToolButton *>(QString::fromLatin1(name)); };

    connect(button("SpeedButton25"), &QToolButton::clicked, this,
            [this] { guarded([this] { addFiles(); }); });
    connect(button("SpeedButton29"), &QToolButton::clicked, this,
            [this] { guarded([this] { startRun(); }); });
    connect(button("SpeedButton31"), &QToolButton::clicked, this,
            [this] { guarded([this] { showHelp(); }); });
    connect(button("SpeedButton30"), &QToolButton::clicked, this, &QWidget::close);
    connect(button("SpeedButton27"), &QToolButton::clicked, this, [this] {
        guarded([this] {
            m_windows.doBackup().exec();
            QCoreApplication::processEvents();
        });
    });
    connect(button("SpeedButton28"), &QToolButton::clicked, this, [this] {
        guarded([this] {
            m_windows.recovery().exec();
            QCoreApplication::processEvents();
        });
    });
    connect(button("SpeedButton26"), &QToolButton::clicked, this,
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
    connect(button("SpeedButton32"), &QToolButton::clicked, this,
            [this] { guarded([this] { showPreview(); }); });
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
    request.edit1 = ToBytes(m_input->edit1()->text());
    request.edit2 = ToBytes(m_input->edit2()->text());
    request.memo1 = ToBytes(BoxText(m_input->memo1()));
    request.memo2 = ToBytes(BoxText(m_input->memo2()));
    request.fileList = fileListModel().entries();
    request.directoryList = directoryListModel().entries();
    request.mask = m_targets->directoryList()->mask();
    request.options = m_options->textEngineOptions();
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
    for (const char *name :
         {"SpeedButton25", "SpeedButton26", "SpeedButton27", "SpeedButton28", "SpeedButton29"})
        if (auto *button = findChild<QToolButton *>(QString::fromLatin1(name)))
            button->setEnabled(enabled);
    for (const char *name : {"FileList1", "BackUp1", "Options1"})
        if (auto *menu = menuBar()->findChild<QMenu *>(QString::fromLatin1(name)))
            menu->menuAction()->setEnabled(enabled);
    m_menu.start->setEnabled(enabled);
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
