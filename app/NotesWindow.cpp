#include "app/NotesWindow.h"

#include "base/Error.h"
#include "base/Lines.h"
#include "inputs/NoteFiles.h"
#include "widgets/FieldEditing.h"
#include "widgets/Guarded.h"
#include "widgets/Platform.h"
#include "widgets/Widgets.h"

#include <QEvent>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>

#include <optional>

namespace vexlo {

namespace {

QToolButton *MakeNoteButton(QWidget *parent, const char *name, const QString &hint, const char *icon)
{
    QToolButton *button = MakeFlatButton(parent, name, hint, QString::fromLatin1(icon));
    button->setIconSize(QSize(18, 18));
    button->setFixedSize(26, 26);
    return button;
}

} // namespace

NotesWindow::NotesWindow(Platform &platform, QWidget *parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_platform(platform)
{
    setObjectName(QStringLiteral("TForm12"));
    setWindowTitle(tr("Notes"));
    setModal(false);

    // Places in the window: note 2, 1, 3 across the top, note 4, 6, 5 across the bottom.
    auto *grid = new QGridLayout;
    grid->setSpacing(6);
    grid->addWidget(buildNote(2, "SpeedButton5", "SpeedButton3", "SpeedButton16"), 0, 0);
    grid->addWidget(buildNote(1, "SpeedButton1", "SpeedButton2", "SpeedButton17"), 0, 1);
    grid->addWidget(buildNote(3, "SpeedButton7", "SpeedButton6", "SpeedButton18"), 0, 2);
    grid->addWidget(buildNote(4, "SpeedButton9", "SpeedButton8", "SpeedButton19"), 1, 0);
    grid->addWidget(buildNote(6, "SpeedButton13", "SpeedButton12", "SpeedButton20"), 1, 1);
    grid->addWidget(buildNote(5, "SpeedButton11", "SpeedButton10", "SpeedButton21"), 1, 2);

    QToolButton *clearAll = MakeNoteButton(this, "SpeedButton15", tr("Clear all notes..."), "clear");
    QToolButton *close = MakeNoteButton(this, "SpeedButton4", tr("Close notes..."), "close");
    close->setFixedSize(140, 30);
    close->setIconSize(QSize(22, 22));
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(clearAll);
    bottom->addStretch(1);
    bottom->addWidget(close);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addLayout(grid, 1);
    layout->addLayout(bottom);
    resize(720, 460);

    connect(clearAll, &QToolButton::clicked, this, [this] {
        guarded([this] {
            for (QPlainTextEdit *note : m_notes)
                note->clear();
        });
    });
    connect(close, &QToolButton::clicked, this, &QDialog::accept);
}

QWidget *NotesWindow::buildNote(int k, const char *copyName, const char *pasteName, const char *clearName)
{
    auto *cell = new QWidget(this);
    auto *memo = new QPlainTextEdit(cell);
    memo->setObjectName(QStringLiteral("Memo%1").arg(k));
    memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    memo->installEventFilter(this); // Esc closes the window from inside a note too
    m_notes[std::size_t(k - 1)] = memo;

    // Note 4's copy button has no hint of its own.
    const QString copyHint = k == 4 ? QString() : tr("Copy note in clipboad...");
    QToolButton *copy = MakeNoteButton(cell, copyName, copyHint, "copy");
    QToolButton *paste = MakeNoteButton(cell, pasteName, tr("Paste note from clipboard..."), "paste");
    QToolButton *clear = MakeNoteButton(cell, clearName, tr("Clear note..."), "clear");
    connect(copy, &QToolButton::clicked, this, [this, memo] { guarded([&] { CopyAll(m_platform, memo); }); });
    connect(paste, &QToolButton::clicked, this, [this, memo] {
        guarded([&] {
            memo->clear();
            memo->insertPlainText(m_platform.clipboardText());
        });
    });
    connect(clear, &QToolButton::clicked, this, [memo] { guarded([memo] { memo->clear(); }); });

    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(1);
    buttons->addWidget(copy);
    buttons->addWidget(paste);
    buttons->addWidget(clear);
    buttons->addStretch(1);
    auto *layout = new QVBoxLayout(cell);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(memo, 1);
    layout->addLayout(buttons);
    return cell;
}

QString NotesWindow::loadAll()
{
    QStringList failures;
    for (int k = 1; k <= NoteCount; ++k) {
        // What was typed and not saved yet is never replaced by the file.
        if (note(k)->document()->isModified())
            continue;
        // A note whose file is missing keeps its text, and the other notes still load, so a
        // later save cannot overwrite them with what the window happened to show.
        try {
            const std::optional<Lines> lines = ReadNote(m_platform.programFolder(), k);
            if (!lines)
                continue;
            QStringList text;
            for (const std::string &line : *lines)
                text << FromBytes(line);
            note(k)->setPlainText(text.join(QLatin1Char('\n')));
            note(k)->document()->setModified(false);
        } catch (const Error &e) {
            failures << tr("Note %1 could not be loaded: %2").arg(k).arg(FromBytes(e.what()));
        }
    }
    return failures.join(QStringLiteral("\r\n"));
}

QString NotesWindow::saveAll()
{
    QStringList failures;
    for (int k = 1; k <= NoteCount; ++k) {
        try {
            SaveNote(m_platform.programFolder(), k, ToBytes(note(k)->toPlainText()));
            note(k)->document()->setModified(false);
        } catch (const Error &e) {
            failures << tr("Note %1 could not be saved: %2").arg(k).arg(FromBytes(e.what()));
        }
    }
    return failures.join(QStringLiteral("\r\n"));
}

bool NotesWindow::confirmQuit()
{
    if (!isVisible())
        return true;
    const QString failures = saveAll();
    if (failures.isEmpty())
        return true;
    return m_platform.ask(this, failures + tr("\r\n\r\nQuit without saving these notes?"),
                          tr("Quit without saving"), tr("Go back"));
}

void NotesWindow::watchQuit(QWidget *main)
{
    m_main = main;
    main->installEventFilter(this);
}

void NotesWindow::showEvent(QShowEvent *event)
{
    if (!event->spontaneous()) {
        if (const QScreen *screen = QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - rect().center());
        // Loaded when opened, not on every return from another window.
        QDialog::showEvent(event);
        guarded([this] {
            if (const QString failures = loadAll(); !failures.isEmpty())
                m_platform.message(this, failures);
        });
        return;
    }
    QDialog::showEvent(event);
}

// Every way of closing the window saves the notes first; a note that cannot be written keeps
// the window open.
void NotesWindow::done(int result)
{
    QString failures;
    guarded([&] { failures = saveAll(); });
    if (failures.isEmpty()) {
        QDialog::done(result);
        return;
    }
    m_platform.message(this, failures);
}

bool NotesWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_main && event->type() == QEvent::Close) {
        bool quit = true;
        guarded([&] { quit = confirmQuit(); });
        if (!quit) {
            event->ignore(); // back to the program, the typed text still in the window
            return true;
        }
        return false;
    }
    if (watched != m_main && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
        reject();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace vexlo
