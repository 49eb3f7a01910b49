// The target notebook of the main window: "File List", "Directory List" and "Text".
#pragma once

#include <QTabWidget>

class QPlainTextEdit;

namespace vexlo {

class DirectoryListPanel;
class FileListPanel;
class Platform;

/// TabbedNotebook2: the two target lists and the text of the "Real time" pass (RichEdit1).
class TargetNotebook : public QTabWidget {
    Q_OBJECT

  public:
    enum Page { FileListPage = 0, DirectoryListPage = 1, TextPage = 2 };

    TargetNotebook(Platform &platform, QWidget *parent = nullptr);

    FileListPanel *fileList() const noexcept { return m_fileList; }
    DirectoryListPanel *directoryList() const noexcept { return m_directoryList; }
    QPlainTextEdit *textBox() const noexcept { return m_textBox; }

    /// Brings the "Text" page forward and repaints at once.
    void showTextPage();

  private:
    FileListPanel *m_fileList = nullptr;
    DirectoryListPanel *m_directoryList = nullptr;
    QPlainTextEdit *m_textBox = nullptr;
};

} // namespace vexlo
