#include "inputs/InputHelpers.h"

#include "inputs/CaretCodes.h"
#include "inputs/EditWindow.h"
#include "inputs/StringLoad.h"
#include "run/RunDriver.h"
#include "widgets/FieldEditing.h"
#include "widgets/Guarded.h"
#include "widgets/Platform.h"

#include <QCursor>
#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QToolButton>

#include <stdexcept>

namespace vexlo {

namespace {

// Pages of the input notebook.
constexpr int OneLinePage = 0;
constexpr int RealTimePage = 2;

void SetFirstLine(QLineEdit *edit, const Lines &lines)
{
    // An empty file has no first line: the load ends without changing the field.
    if (lines.empty())
        throw std::out_of_range("the file holds no line");
    edit->setText(FromBytes(lines.front()));
}

} // namespace

template <class T> T *InputHelpers::child(const char *name) const
{
    T *found = m_notebook->findChild<T *>(QString::fromLatin1(name));
    if (!found)
        throw std::logic_error(std::string("the input notebook has no ") + name);
    return found;
}

template <class Action> void InputHelpers::onClick(const char *name, Action action)
{
    connect(child<QToolButton>(name), &QToolButton::clicked, this, [action] { guarded(action); });
}

InputHelpers::InputHelpers(Platform &platform, QTabWidget *notebook, QToolButton *specialFind,
                           QToolButton *specialReplace)
    : QObject(notebook), m_platform(platform), m_notebook(notebook)
{
    m_edit1 = child<QLineEdit>("Edit1");
    m_edit2 = child<QLineEdit>("Edit2");
    m_edit3 = child<QLineEdit>("Edit3");
    m_edit4 = child<QLineEdit>("Edit4");
    m_memo1 = child<QPlainTextEdit>("Memo1");
    m_memo2 = child<QPlainTextEdit>("Memo2");
    m_memo4 = child<QPlainTextEdit>("Memo4");
    m_memo5 = child<QPlainTextEdit>("Memo5");
    m_tempMemo1 = child<QPlainTextEdit>("TempMemo1");

    CreateFieldMenu(platform, m_edit1, "PopupMenu12");
    CreateFieldMenu(platform, m_edit2, "PopupMenu13");
    CreateFieldMenu(platform, m_memo1, "PopupMenu10");
    CreateFieldMenu(platform, m_memo2, "PopupMenu11");
    CreateFieldMenu(platform, m_edit3, "PopupMenu5");
    CreateFieldMenu(platform, m_edit4, "PopupMenu6");
    CreateFieldMenu(platform, m_memo4, "PopupMenu7");
    CreateFieldMenu(platform, m_memo5, "PopupMenu8");

    wireOneLinePage();
    wireMultiLinePage();
    wireRealTimePage();
    buildSpecialMenus(specialFind, specialReplace);
}

void InputHelpers::wireOneLinePage()
{
    Platform &platform = m_platform;
    QWidget *parent = m_notebook;
    QLineEdit *find = m_edit1;
    QLineEdit *replace = m_edit2;
    onClick("SpeedButton1", [find] { find->clear(); });
    onClick("SpeedButton2", [&platform, find] { CopySelection(platform, find); });
    onClick("SpeedButton3", [&platform, find] { PasteAtCaret(platform, find); });
    onClick("SpeedButton4", [&platform, parent, find] {
        LoadFromFile(parent, platform, StringLoads::OneLineFind,
                     [find](const Lines &lines) { SetFirstLine(find, lines); });
    });
    onClick("SpeedButton5", [this] { showClipboard(); });
    onClick("SpeedButton6", [this] { showHistory(HistoryKind::WhatToFind); });

    onClick("SpeedButton7", [replace] { replace->clear(); });
    onClick("SpeedButton12", [&platform, replace] { CopySelection(platform, replace); });
    onClick("SpeedButton11", [&platform, replace] { PasteAtCaret(platform, replace); });
    onClick("SpeedButton10", [&platform, parent, replace] {
        LoadFromFile(parent, platform, StringLoads::OneLineReplace,
                     [replace](const Lines &lines) { SetFirstLine(replace, lines); });
    });
    onClick("SpeedButton9", [this] { showClipboard(); });
    onClick("SpeedButton8", [this] { showHistory(HistoryKind::ReplaceWith); });
}

void InputHelpers::wireMultiLinePage()
{
    Platform &platform = m_platform;
    QWidget *parent = m_notebook;
    QPlainTextEdit *find = m_memo1;
    QPlainTextEdit *replace = m_memo2;
    onClick("SpeedButton13", [find] { find->clear(); });
    onClick("SpeedButton14", [&platform, find] { CopySelection(platform, find); });
    onClick("SpeedButton15", [&platform, find] { PasteAtCaret(platform, find); });
    onClick("SpeedButton16", [&platform, parent, find] {
        LoadFromFile(parent, platform, StringLoads::MultiLineFind,
                     [find](const Lines &lines) { AppendLines(find, lines); });
    });
    onClick("SpeedButton17", [this] { showClipboard(); });
    onClick("SpeedButton18", [this] { showHistory(HistoryKind::WhatToFindMultiLine); });
    onClick("SpeedButton40", [this] { enlarge(EditWindow::FindPage); });

    onClick("SpeedButton19", [replace] { replace->clear(); });
    onClick("SpeedButton20", [&platform, replace] { CopySelection(platform, replace); });
    onClick("SpeedButton21", [&platform, replace] { PasteAtCaret(platform, replace); });
    onClick("SpeedButton22", [&platform, parent, replace] {
        LoadFromFile(parent, platform, StringLoads::MultiLineReplace,
                     [replace](const Lines &lines) { AppendLines(replace, lines); });
    });
    onClick("SpeedButton23", [this] { showClipboard(); });
    onClick("SpeedButton24", [this] { showHistory(HistoryKind::ReplaceWithMultiLine); });
    onClick("SpeedButton39", [this] { enlarge(EditWindow::ReplacePage); });
}

void InputHelpers::wireRealTimePage()
{
    // A file of exactly one line goes into the one-line field, anything else is appended
    // to the memo.
    auto splitLoad = [this](const LoadKeys &keys, QLineEdit *edit, QPlainTextEdit *memo) {
        LoadFromFile(m_notebook, m_platform, keys, [edit, memo](const Lines &lines) {
            if (lines.size() == 1)
                edit->setText(FromBytes(lines.front()));
            else
                AppendLines(memo, lines);
        });
    };

    m_popupMenu3 = new QMenu(m_notebook);
    m_popupMenu3->setObjectName(QStringLiteral("PopupMenu3"));
    connect(m_popupMenu3->addAction(tr("Clear \"Find\" string(s)...")), &QAction::triggered, this, [this] {
        guarded([this] {
            m_edit3->clear();
            m_memo4->clear();
        });
    });
    connect(m_popupMenu3->addAction(tr("Copy \"Find\" string(s) to Clipboard...")), &QAction::triggered, this,
            [this] { guarded([this] { copyFindStrings(); }); });
    connect(m_popupMenu3->addAction(tr("Paste \"Find\" string(s) from Clipboard...")), &QAction::triggered,
            this, [this] { guarded([this] { pasteFindStrings(); }); });
    connect(m_popupMenu3->addAction(tr("Load \"Find\" string(s) from File...")), &QAction::triggered, this,
            [this, splitLoad] { guarded([&] { splitLoad(StringLoads::RealTimeFind, m_edit3, m_memo4); }); });

    m_popupMenu4 = new QMenu(m_notebook);
    m_popupMenu4->setObjectName(QStringLiteral("PopupMenu4"));
    connect(
        m_popupMenu4->addAction(tr("Load \"Replace\" string(s) from File...")), &QAction::triggered, this,
        [this, splitLoad] { guarded([&] { splitLoad(StringLoads::RealTimeReplace, m_edit4, m_memo5); }); });

    onClick("SpeedButton48", [this] { popUp(m_popupMenu3); });
    onClick("SpeedButton49", [this] { popUp(m_popupMenu4); });
}

void InputHelpers::buildSpecialMenus(QToolButton *specialFind, QToolButton *specialReplace)
{
    auto build = [this](const char *name, std::span<const SpecialCode> codes, bool find) {
        auto *menu = new QMenu(m_notebook);
        menu->setObjectName(QString::fromLatin1(name));
        for (const SpecialCode &entry : codes) {
            const char *code = entry.code;
            connect(menu->addAction(tr(entry.label)), &QAction::triggered, this,
                    [this, find, code] { guarded([&] { appendSpecialCode(find, code); }); });
        }
        return menu;
    };
    m_popupMenu14 = build("PopupMenu14", FindSpecialCodes(), true);
    m_popupMenu15 = build("PopupMenu15", ReplaceSpecialCodes(), false);
    connect(specialFind, &QToolButton::clicked, this, [this] { guarded([this] { popUp(m_popupMenu14); }); });
    connect(specialReplace, &QToolButton::clicked, this,
            [this] { guarded([this] { popUp(m_popupMenu15); }); });
}

void InputHelpers::popUp(QMenu *menu)
{
    m_platform.popup(menu, QCursor::pos());
}

void InputHelpers::showClipboard()
{
    if (m_windows.clipboard)
        m_windows.clipboard->exec();
}

void InputHelpers::showHistory(HistoryKind kind)
{
    if (QDialog *window = m_windows.history.at(std::size_t(kind)))
        window->exec();
}

void InputHelpers::enlarge(int page)
{
    if (m_windows.edit)
        m_windows.edit->open(static_cast<EditWindow::Page>(page));
}

void InputHelpers::copyFindStrings()
{
    if (!m_edit3->text().isEmpty()) {
        m_edit3->selectAll();
        m_platform.setClipboardText(m_edit3->text());
    } else {
        CopyAll(m_platform, m_memo4);
    }
}

// The clipboard text goes through the scratch memo first; only text that makes at least one
// line there is pasted into Memo4.
void InputHelpers::pasteFindStrings()
{
    const QString text = m_platform.clipboardText();
    m_tempMemo1->clear();
    m_tempMemo1->insertPlainText(text);
    if (!MemoLines(ToBytes(BoxText(m_tempMemo1))).empty())
        m_memo4->insertPlainText(text);
}

void InputHelpers::appendSpecialCode(bool find, const char *code)
{
    if (m_notebook->currentIndex() != OneLinePage && m_notebook->currentIndex() != RealTimePage)
        m_notebook->setCurrentIndex(OneLinePage);
    QLineEdit *edit =
        m_notebook->currentIndex() == OneLinePage ? (find ? m_edit1 : m_edit2) : (find ? m_edit3 : m_edit4);
    edit->setText(edit->text() + QString::fromLatin1(code));
}

} // namespace vexlo
