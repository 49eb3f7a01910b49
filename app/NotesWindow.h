// The "Notes" window: six plain-text notes kept from one run of the program to the next.
#pragma once

#include <QDialog>

#include <array>

class QPlainTextEdit;

namespace vexlo {

class Platform;

/// TForm12, the one window that does not block the main window. Every note lives in
/// "Memo<k>.Notes" in the program folder. The notes are loaded whenever the window becomes
/// active and saved whenever it closes (its button, Esc, the frame) and at program end.
class NotesWindow : public QDialog {
    Q_OBJECT

  public:
    explicit NotesWindow(Platform &platform, QWidget *parent = nullptr);

    /// Notes 1 to 6 from their files; a note whose file cannot be read keeps its text.
    void loadAll();
    /// Notes 1 to 6 to their files. Throws Error{Io} at the first note that cannot be
    /// written; the notes after it are not written.
    void saveAll();
    /// At program end: saves the notes when the window is open.
    void saveIfOpen();

    QPlainTextEdit *note(int k) const { return m_notes.at(std::size_t(k - 1)); }

  protected:
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void done(int result) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    QWidget *buildNote(int k, const char *copyName, const char *pasteName, const char *clearName);

    Platform &m_platform;
    std::array<QPlainTextEdit *, 6> m_notes{};
};

} // namespace vexlo
