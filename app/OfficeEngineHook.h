// The main window's side of the office engine: reads its option boxes and "Real time" fields
// when a Word branch starts, and shows the result on the "Text" page.
#pragma once

#include "run/BuiltInWord.h"
#include "run/RunDriver.h"

#include <QObject>

class QWidget;

namespace vexlo {

class Platform;

/// The run driver's extension for the three Word branches, owned by the main window.
class OfficeEngineHook : public QObject, public RunExtensions {
    Q_OBJECT

  public:
    OfficeEngineHook(Platform &platform, QWidget *window, const RunFlag &flag);

    void run(Branch branch, const RunRequest &request, const std::vector<std::string> &paths) override;

  private:
    Platform &m_platform;
    QWidget *m_window;
    const RunFlag &m_flag;
    word::BuiltInApplicationSource m_source;
};

} // namespace vexlo
