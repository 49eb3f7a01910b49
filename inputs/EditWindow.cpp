#include "inputs/EditWindow.h"

#include "inputs/StringLoad.h"
#include "widgets/FieldEditing.h"
#include "widgets/Guarded.h"
#include "widgets/Platform.h"
#include "widgets/Widgets.h"

#include <QCoreApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace vexlo {

namespace {

QWidget *MakePage(QPlainTextEdit *memo)
{
    auto *page = new QWidget;
    auto *box = new QGroupBox(QObject::tr("Text"), page);
    memo->setParent(box);
    auto *boxLayout = new QVBoxLayout(box);
    boxLayout->setContentsMargins(6, 4, 6, 6);
    boxLayout->addWidget(memo);
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(box);
    return page;
}

QPlainTextEdit *MakeEditorMemo(const char *name)
{
    auto *memo = new QPlainTextEdit;
    memo->setObjectName(QString::fromLatin1(name));
    memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    return memo;
}

} // namespace

EditWindow::EditWindow(Platform &platform, QPlainTextEdit *findSource, QPlainTextEdit *replaceSource,
                       QWidget *parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint),
      m_platform(platform), m_findSource(findSource), m_replaceSource(replaceSource)
{
    setObjectName(QStringLiteral("TForm11"));
    setWindowTitle(tr("Edit"));
    setModal(true);

    m_findEditor = MakeEditorMemo("Memo1");
    m_replaceEditor = MakeEditorMemo("Memo2");
    CreateFieldMenu(platform, m_findEditor, "PopupMenu1");
    CreateFieldMenu(platform, m_replaceEditor, "PopupMenu9");
    m_notebook = new QTabWidget(this);
    m_notebook->setObjectName(QStringLiteral("TabbedNotebook1"));
    m_notebook->addTab(MakePage(m_findEditor), tr("What to find"));
    m_notebook->addTab(MakePage(m_replaceEditor), tr("Replace with"));

    auto *panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    auto *buttons = new QVBoxLayout(panel);
    buttons->setContentsMargins(2, 2, 2, 2);
    buttons->setSpacing(2);
    auto button = [&](const char *name, const QString &hint, const char *icon) {
        QToolButton *made = MakeFlatButton(panel, name, hint, QString::fromLatin1(icon));
        made->setIconSize(QSize(24, 24));
        made->setFixedSize(34, 34);
        buttons->addWidget(made);
        return made;
    };
    QToolButton *close = button("SpeedButton1", tr("Close this window..."), "close");
    QToolButton *clear = button("SpeedButton13", tr("Clear \"What to find\" string..."), "clear");
    QToolButton *copy = button("SpeedButton14", tr("Copy \"What to find\" string..."), "copy");
    QToolButton *paste =
        button("SpeedButton15", tr("Paste \"What to find\" string from clipboard..."), "paste");
    QToolButton *load = button("SpeedButton16", tr("Load \"What to find\" string from file..."), "load");
    QToolButton *clipboard = button("SpeedButton17", tr("Show clipboard..."), "clipboard");
    QToolButton *history = button("SpeedButton18", tr("History - \"What to find\" strings..."), "history");
    buttons->addStretch(1);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(panel);
    layout->addWidget(m_notebook, 1);

    connect(close, &QToolButton::clicked, this, [this] { guarded([this] { closeAndReturn(); }); });
    connect(clear, &QToolButton::clicked, this, [this] { guarded([this] { shownMemo()->clear(); }); });
    connect(copy, &QToolButton::clicked, this,
            [this] { guarded([this] { CopySelection(m_platform, shownMemo()); }); });
    connect(paste, &QToolButton::clicked, this,
            [this] { guarded([this] { PasteAtCaret(m_platform, shownMemo()); }); });
    connect(load, &QToolButton::clicked, this, [this] { guarded([this] { this->load(); }); });
    connect(clipboard, &QToolButton::clicked, this, [this] {
        guarded([this] {
            if (m_clipboard)
                m_clipboard->exec();
        });
    });
    connect(history, &QToolButton::clicked, this, [this] {
        guarded([this] {
            if (QDialog *window = page() == FindPage ? m_findHistory : m_replaceHistory)
                window->exec();
        });
    });
}

void EditWindow::setWindows(QDialog *clipboard, QDialog *findHistory, QDialog *replaceHistory)
{
    m_clipboard = clipboard;
    m_findHistory = findHistory;
    m_replaceHistory = replaceHistory;
}

EditWindow::Page EditWindow::page() const
{
    return m_notebook->currentIndex() == ReplacePage ? ReplacePage : FindPage;
}

void EditWindow::open(Page page)
{
    m_notebook->setCurrentIndex(page);
    m_findEditor->clear();
    m_replaceEditor->clear();
    m_findEditor->setPlainText(BoxText(m_findSource));
    m_replaceEditor->setPlainText(BoxText(m_replaceSource));
    setWindowState(windowState() | Qt::WindowMaximized);
    exec();
    QCoreApplication::processEvents();
}

void EditWindow::closeAndReturn()
{
    QPlainTextEdit *target = page() == FindPage ? m_findSource : m_replaceSource;
    target->setPlainText(BoxText(shownMemo()));
    accept();
}

void EditWindow::load()
{
    const Page shown = page();
    LoadFromFile(this, m_platform,
                 shown == FindPage ? StringLoads::EnlargedFind : StringLoads::EnlargedReplace,
                 [this, shown](const Lines &lines) { AppendLines(memo(shown), lines); });
}

} // namespace vexlo
