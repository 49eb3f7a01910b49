// The main window TForm1: toolbar, options column, the two notebooks, menu bar, status bar.
#pragma once

#include "app/MainMenu.h"
#include "run/RunDriver.h"

#include <QMainWindow>

#include <exception>

class QToolBar;
class QToolButton;

namespace vexlo {

class HelpWindow;
class InputNotebook;
class OptionsColumn;
class Platform;
class RunController;
class SettingsFile;
class TargetListModel;
class TargetNotebook;
class Windows;

/// The program's window: it owns every input, option and target-list control, and closing
/// it ends the program. The panels are classes of their own; this class composes them and
/// wires the toolbar and the menu.
class MainWindow : public QMainWindow {
    Q_OBJECT

  public:
    /// Reads the layout keys and installs the program-wide error handler.
    MainWindow(Platform &platform, Windows &windows, QWidget *parent = nullptr);
    ~MainWindow() override;

    OptionsColumn &options() const noexcept { return *m_options; }
    InputNotebook &inputNotebook() const noexcept { return *m_input; }
    TargetNotebook &targetNotebook() const noexcept { return *m_targets; }
    RunController &runController() const noexcept { return *m_run; }
    TargetListModel &fileListModel() const;
    TargetListModel &directoryListModel() const;
    const MainMenu &menu() const noexcept { return m_menu; }
    /// The window that shows "help.txt" when the desktop cannot; null until then.
    HelpWindow *helpWindow() const noexcept { return m_helpWindow; }

    /// The window state a run reads, taken now.
    RunRequest runRequest() const;
    /// "Preview...": the run of the window's request with nothing written, in its own window.
    void showPreview();

  signals:
    /// The window has closed and saved its layout: the program ends.
    void closed();

  protected:
    void closeEvent(QCloseEvent *event) override;

  private:
    QToolButton *addToolButton(const char *name, const QString &hint, const QString &icon);
    void buildToolBar();
    void connectActions();
    void loadSettings(const SettingsFile &settings);
    void saveSettings(SettingsFile &settings);
    void reportError(std::exception_ptr error);

    void startRun();
    void addFiles();
    void scanDirectory();
    void showHelp();
    void setRunControlsEnabled(bool enabled);

    Platform &m_platform;
    Windows &m_windows;
    MainMenu m_menu;
    QToolBar *m_toolBar = nullptr; // ToolBar1
    struct ToolButtons {
        QToolButton *addFiles = nullptr;     // SpeedButton25
        QToolButton *addDirectory = nullptr; // SpeedButton26
        QToolButton *backup = nullptr;       // SpeedButton27
        QToolButton *recovery = nullptr;     // SpeedButton28
        QToolButton *go = nullptr;           // SpeedButton29
        QToolButton *preview = nullptr;      // SpeedButton32
        QToolButton *help = nullptr;         // SpeedButton31
        QToolButton *quit = nullptr;         // SpeedButton30
    } m_tools;
    OptionsColumn *m_options = nullptr;
    InputNotebook *m_input = nullptr;
    TargetNotebook *m_targets = nullptr;
    RunController *m_run = nullptr;
    bool m_closeAfterRun = false;       // closing was asked for during a run
    HelpWindow *m_helpWindow = nullptr; // made when the desktop cannot open "help.txt"
};

} // namespace vexlo
