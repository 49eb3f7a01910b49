// TForm16 "Computer speed": how long the office engine takes to open and close a sample
// document, and how long reading a sample text file takes.
#pragma once

#include "run/office/BuiltInWord.h"
#include "run/office/SpeedCheck.h"

#include <QDialog>

class QGroupBox;
class QLabel;
class QProgressBar;
class QToolButton;

namespace vexlo {

class Platform;

class ComputerSpeedWindow : public QDialog {
    Q_OBJECT

  public:
    /// `source` stands in for the window's own application connection (the built-in engine
    /// when null).
    ComputerSpeedWindow(Platform &platform, QWidget *parent, word::ApplicationSource *source = nullptr);

    /// "Calculate!": the 51 office passes, then the 11 text passes. Throws Error{Io} when the
    /// sample text file cannot be read (the steps after it are then left out).
    void calculate();

  private:
    class View;
    void refresh();

    Platform &m_platform;
    word::BuiltInApplicationSource m_builtIn;
    SpeedCheck m_check; // keeps the application between two measures when a quit failed
    QGroupBox *m_calculateBox;
    QLabel *m_counterLabel, *m_wordLabel, *m_textLabel;
    QProgressBar *m_progress;
    QToolButton *m_calculateButton, *m_closeButton;
};

} // namespace vexlo
