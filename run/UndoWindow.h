// "Undo last run...": the files of the last run, which of them still hold what the run wrote,
// and putting their originals back.
#pragma once

#include <QDialog>

#include <string>

class QLabel;
class QListWidget;
class QPushButton;

namespace vexlo {

class Platform;

class UndoWindow : public QDialog {
    Q_OBJECT

  public:
    explicit UndoWindow(Platform &platform, QWidget *parent = nullptr);

    /// Lists the last run's files with what the undo would do to each. Never throws.
    void reload();
    /// Restores every file still as the run left it; the others are listed as left. Never throws.
    void undo();

    QListWidget *fileList() const { return m_list; }

  private:
    Platform &m_platform;
    std::string m_run; // the run folder, empty when there is none
    QListWidget *m_list;
    QLabel *m_summary;
    QPushButton *m_undo;
};

} // namespace vexlo
