// The platform effects the windows use, behind one interface so tests can drive every window.
#pragma once

#include "base/ProgramFolder.h"

#include <QPoint>
#include <QString>
#include <QStringList>

#include <optional>

class QAction;
class QFileDialog;
class QMenu;
class QWidget;

namespace vexlo {

struct OpenFileRequest {
    QString title;
    QStringList filters; // "Caption (patterns)" entries, shown in this order by their caption
    int filterIndex = 1; // 1-based into filters
    QString directory;   // the folder the dialog opens in; a missing one leaves the dialog's own
    bool multiple = false;
};

struct OpenFileResult {
    QStringList files;   // full paths, in the dialog's order; never empty
    int filterIndex = 1; // 1-based filter in use when the dialog closed
};

/// Sets a file dialog up for `request`: its filters (each shown by its caption, the
/// patterns read from the last parentheses), the selected one, the folder and the mode.
void ConfigureOpenFileDialog(QFileDialog &dialog, const OpenFileRequest &request);
/// The 1-based filter of `request` the dialog shows now; the request's own when none matches.
int SelectedFilterIndex(const QFileDialog &dialog, const OpenFileRequest &request);

class Platform {
  public:
    virtual ~Platform() = default;

    /// A plain message box with an OK button (modal).
    virtual void message(QWidget *parent, const QString &text) = 0;
    /// The open-file dialog; nothing when the user cancels.
    virtual std::optional<OpenFileResult> openFiles(QWidget *parent, const OpenFileRequest &request) = 0;
    /// Asks the desktop to open a document or address with its associated application;
    /// false when the desktop reports that it could not (no application registered).
    virtual bool shellOpen(const QString &pathOrUrl) = 0;
    virtual void beep() = 0;
    /// Ends the program at once (no close-time saving).
    virtual void terminate(int exitCode) = 0;
    /// A millisecond tick counter.
    virtual qint64 tickCount() = 0;
    /// Pops `menu` up at `globalPos` and returns the chosen action (nullptr: none).
    virtual QAction *popup(QMenu *menu, const QPoint &globalPos) = 0;
    /// The clipboard's text; empty when it holds none (nothing, or only an image).
    virtual QString clipboardText() = 0;
    /// Puts `text` on the clipboard as plain text.
    virtual void setClipboardText(const QString &text) = 0;
    /// The folder of settings, histories and scratch files.
    virtual const ProgramFolder &programFolder() const = 0;
    /// A modal question with two buttons; true when the user chooses `yes`, false for `no` or
    /// closing the box.
    virtual bool ask(QWidget *parent, const QString &text, const QString &yes, const QString &no) = 0;
};

/// The real desktop: QMessageBox, QFileDialog, QDesktopServices, QClipboard, std::_Exit.
class DesktopPlatform : public Platform {
  public:
    explicit DesktopPlatform(ProgramFolder folder) : m_folder(std::move(folder)) {}

    void message(QWidget *parent, const QString &text) override;
    std::optional<OpenFileResult> openFiles(QWidget *parent, const OpenFileRequest &request) override;
    bool shellOpen(const QString &pathOrUrl) override;
    void beep() override;
    void terminate(int exitCode) override;
    qint64 tickCount() override;
    QAction *popup(QMenu *menu, const QPoint &globalPos) override;
    QString clipboardText() override;
    void setClipboardText(const QString &text) override;
    const ProgramFolder &programFolder() const override { return m_folder; }
    bool ask(QWidget *parent, const QString &text, const QString &yes, const QString &no) override;

  private:
    ProgramFolder m_folder;
};

/// Converts between the core's byte paths and Qt's strings (the file-system encoding).
QString FromBytes(const std::string &bytes);
std::string ToBytes(const QString &text);

} // namespace vexlo
