// A read-only window of our own that shows "help.txt" when the desktop has no viewer for it.
#pragma once

#include <QDialog>

class QPlainTextEdit;

namespace vexlo {

/// Shown without blocking the main window; showing it again reloads the file.
class HelpWindow : public QDialog {
    Q_OBJECT

  public:
    explicit HelpWindow(QWidget *parent = nullptr);

    /// Loads `path` and shows it. A file that cannot be read shows why in place of the text.
    void showFile(const QString &path);
    QPlainTextEdit *text() const noexcept { return m_text; }

  private:
    QPlainTextEdit *m_text;
};

} // namespace vexlo
