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

template <class Action> void InputHelpers::onClick(QToolButton *button, Action action)
{
    connect(button, &QToolButton::clicked, this, [action] { guarded(action); });
}

InputHelpers::InputHelpers(Platform &platform, const InputFields &fields, QToolButton *specialFind,
                           QToolButton *specialReplace)
    : QObject(fields.notebook), m_platform(platform), m_fields(fields), m_notebook(fields.notebook)
{
    CreateFieldMenu(platform, fields.oneLineFind, "PopupMenu12");
    CreateFieldMenu(platform, fields.oneLineReplace, "PopupMenu13");
    CreateFieldMenu(platform, fields.multiLineFind, "PopupMenu10");
    CreateFieldMenu(platform, fields.multiLineReplace, "PopupMenu11");
    CreateFieldMenu(platform, fields.realTimeFindLine, "PopupMenu5");
    CreateFieldMenu(platform, fields.realTimeReplacementLine, "PopupMenu6");
    CreateFieldMenu(platform, fields.realTimeFindMemo, "PopupMenu7");
    CreateFieldMenu(platform, fields.realTimeReplacementMemo, "PopupMenu8");

    wireOneLinePage();
    wireMultiLinePage();
    wireRealTimePage();
    buildSpecialMenus(specialFind, specialReplace);
}

void InputHelpers::wireOneLinePage()
{
    Platform &platform = m_platform;
    QWidget *parent = m_notebook;
    QLineEdit *find = m_fields.oneLineFind;
    QLineEdit *replace = m_fields.oneLineReplace;
    const FieldButtons &findButtons = m_fields.oneLineFindButtons;
    const FieldButtons &replaceButtons = m_fields.oneLineReplaceButtons;
    onClick(findButtons.clear, [find] { find->clear(); });
    onClick(findButtons.copy, [&platform, find] { CopySelection(platform, find); });
    onClick(findButtons.paste, [&platform, find] { PasteAtCaret(platform, find); });
    onClick(findButtons.load, [&platform, parent, find] {
        LoadFromFile(parent, platform, StringLoads::OneLineFind,
                     [find](const Lines &lines) { SetFirstLine(find, lines); });
    });
    onClick(findButtons.clipboard, [this] { showClipboard(); });
    onClick(findButtons.history, [this] { showHistory(HistoryKind::WhatToFind); });

    onClick(replaceButtons.clear, [replace] { replace->clear(); });
    onClick(replaceButtons.copy, [&platform, replace] { CopySelection(platform, replace); });
    onClick(replaceButtons.paste, [&platform, replace] { PasteAtCaret(platform, replace); });
    onClick(replaceButtons.load, [&platform, parent, replace] {
        LoadFromFile(parent, platform, StringLoads::OneLineReplace,
                     [replace](const Lines &lines) { SetFirstLine(replace, lines); });
    });
    onClick(replaceButtons.clipboard, [this] { showClipboard(); });
    onClick(replaceButtons.history, [this] { showHistory(HistoryKind::ReplaceWith); });
}

void InputHelpers::wireMultiLinePage()
{
    Platform &platform = m_platform;
    QWidget *parent = m_notebook;
    QPlainTextEdit *find = m_fields.multiLineFind;
    QPlainTextEdit *replace = m_fields.multiLineReplace;
    const FieldButtons &findButtons = m_fields.multiLineFindButtons;
    const FieldButtons &replaceButtons = m_fields.multiLineReplaceButtons;
    onClick(findButtons.clear, [find] { find->clear(); });
    onClick(findButtons.copy, [&platform, find] { CopySelection(platform, find); });
    onClick(findButtons.paste, [&platform, find] { PasteAtCaret(platform, find); });
    onClick(findButtons.load, [&platform, parent, find] {
        LoadFromFile(parent, platform, StringLoads::MultiLineFind,
                     [find](const Lines &lines) { AppendLines(find, lines); });
    });
    onClick(findButtons.clipboard, [this] { showClipboard(); });
    onClick(findButtons.history, [this] { showHistory(HistoryKind::WhatToFindMultiLine); });
    onClick(findButtons.enlarge, [this] { enlarge(EditWindow::FindPage); });

    onClick(replaceButtons.clear, [replace] { replace->clear(); });
    onClick(replaceButtons.copy, [&platform, replace] { CopySelection(platform, replace); });
    onClick(replaceButtons.paste, [&platform, replace] { PasteAtCaret(platform, replace); });
    onClick(replaceButtons.load, [&platform, parent, replace] {
        LoadFromFile(parent, platform, StringLoads::MultiLineReplace,
                     [replace](const Lines &lines) { AppendLines(replace, lines); });
    });
    onClick(replaceButtons.clipboard, [this] { showClipboard(); });
    onClick(replaceButtons.history, [this] { showHistory(HistoryKind::ReplaceWithMultiLine); });
    onClick(replaceButtons.enlarge, [this] { enlarge(EditWindow::ReplacePage); });
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
            m_fields.realTimeFindLine->clear();
            m_fields.realTimeFindMemo->clear();
        });
    });
    connect(m_popupMenu3->addAction(tr("Copy \"Find\" string(s) to Clipboard...")), &QAction::triggered, this,
            [this] { guarded([this] { copyFindStrings(); }); });
    connect(m_popupMenu3->addAction(tr("Paste \"Find\" string(s) from Clipboard...")), &QAction::triggered,
            this, [this] { guarded([this] { pasteFindStrings(); }); });
    connect(m_popupMenu3->addAction(tr("Load \"Find\" string(s) from File...")), &QAction::triggered, this,
            [this, splitLoad] {
                guarded([&] {
                    splitLoad(StringLoads::RealTimeFind, m_fields.realTimeFindLine,
                              m_fields.realTimeFindMemo);
                });
            });

    m_popupMenu4 = new QMenu(m_notebook);
    m_popupMenu4->setObjectName(QStringLiteral("PopupMenu4"));
    connect(m_popupMenu4->addAction(tr("Load \"Replace\" string(s) from File...")), &QAction::triggered, this,
            [this, splitLoad] {
                guarded([&] {
                    splitLoad(StringLoads::RealTimeReplace, m_fields.realTimeReplacementLine,
                              m_fields.realTimeReplacementMemo);
                });
            });

    onClick(m_fields.realTimeFindMenuButton, [this] { popUp(m_popupMenu3); });
    onClick(m_fields.realTimeReplacementMenuButton, [this] { popUp(m_popupMenu4); });
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
    QLineEdit *line = m_fields.realTimeFindLine;
    if (!line->text().isEmpty()) {
        line->selectAll();
        m_platform.setClipboardText(line->text());
    } else {
        CopyAll(m_platform, m_fields.realTimeFindMemo);
    }
}

// The clipboard text goes through the scratch memo first; only text that makes at least one
// line there is pasted into Memo4.
void InputHelpers::pasteFindStrings()
{
    const QString text = m_platform.clipboardText();
    QPlainTextEdit *scratch = m_fields.pasteScratch;
    scratch->clear();
    scratch->insertPlainText(text);
    if (!MemoLines(ToBytes(BoxText(scratch))).empty())
        m_fields.realTimeFindMemo->insertPlainText(text);
}

void InputHelpers::appendSpecialCode(bool find, const char *code)
{
    if (m_notebook->currentIndex() != OneLinePage && m_notebook->currentIndex() != RealTimePage)
        m_notebook->setCurrentIndex(OneLinePage);
    QLineEdit *edit = m_notebook->currentIndex() == OneLinePage
                          ? (find ? m_fields.oneLineFind : m_fields.oneLineReplace)
                          : (find ? m_fields.realTimeFindLine : m_fields.realTimeReplacementLine);
    edit->setText(edit->text() + QString::fromLatin1(code));
}

} // namespace vexlo
