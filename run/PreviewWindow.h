// "Preview...": the run as "Let`s go..." would carry it out, with nothing written, and what it
// would change in each file.
#pragma once

#include "run/RunDriver.h"

#include <QDialog>

#include <functional>
#include <string>
#include <vector>

class QLabel;
class QListWidget;
class QPushButton;
class QTextEdit;

namespace vexlo {

class Platform;

class PreviewWindow : public QDialog {
    Q_OBJECT

  public:
    /// `startRun` carries out the real run of the same request ("Let`s go..." of the window).
    PreviewWindow(Platform &platform, RunRequest request, std::function<void(const RunRequest &)> startRun,
                  QWidget *parent = nullptr);

    /// Carries out the preview (events are let in meanwhile; "Stop" ends it). Never throws.
    void runPreview();
    /// Ends the preview in progress after the file at hand.
    void stop() { m_flag.set("0"); }

    QListWidget *fileList() const { return m_list; }
    QTextEdit *diffView() const { return m_diff; }

  private:
    struct Item {
        std::string path;
        std::string before, after; // kept while the preview holds little; else empty
        bool kept = false;
    };
    void showDiff(int row);
    void add(const QString &text, Item item);

    Platform &m_platform;
    RunRequest m_request;
    std::function<void(const RunRequest &)> m_startRun;
    RunFlag m_flag;
    bool m_running = false;
    std::size_t m_keptBytes = 0;
    std::vector<Item> m_items;
    QListWidget *m_list;
    QTextEdit *m_diff;
    QLabel *m_summary;
    QPushButton *m_go, *m_stop;
};

} // namespace vexlo
