// The "Notes" window: six plain-text notes kept from one run of the program to the next.
#pragma once

#include <QDialog>

#include <array>

class QPlainTextEdit;

namespace vexlo {

class Platform;

/// TForm12, the one window that does not block the main window. Every note lives in
/// "Memo<k>.Notes" in the program folder. The notes are loaded when the window is opened (a
/// return to it from another window keeps what was typed) and saved whenever it closes (its
/// button, Esc, the frame) and at program end. A note that cannot be saved is named with the
/// reason, and its text stays in the window.
class NotesWindow : public QDialog {
    Q_OBJECT

  public:
    explicit NotesWindow(Platform &platform, QWidget *parent = nullptr);

    /// Notes 1 to 6 from their files. A note with unsaved edits, or whose file is missing, keeps
    /// its text; a file that cannot be read (a folder, a FIFO, too large) keeps the note's text
    /// and is named with the reason in the returned text (empty when all went well).
    QString loadAll();
    /// Notes 1 to 6 to their files, each tried even when an earlier one failed. Returns the
    /// notes that could not be saved, each with its reason (empty when all were saved).
    QString saveAll();
    /// At program end, when the window is open: saves the notes. When one cannot be saved, says
    /// which and why and asks whether to quit without saving; false: the user goes back.
    bool confirmQuit();
    /// Makes closing `main` (the program's end) go through confirmQuit().
    void watchQuit(QWidget *main);

    QPlainTextEdit *note(int k) const { return m_notes.at(std::size_t(k - 1)); }

  protected:
    void showEvent(QShowEvent *event) override;
    void done(int result) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    QWidget *buildNote(int k, const char *copyName, const char *pasteName, const char *clearName);

    Platform &m_platform;
    std::array<QPlainTextEdit *, 6> m_notes{};
    QWidget *m_main = nullptr;
};

} // namespace vexlo
