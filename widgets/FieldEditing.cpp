#include "widgets/FieldEditing.h"

#include "base/Lines.h"
#include "widgets/Guarded.h"
#include "widgets/Platform.h"

#include <QAction>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTextCursor>
#include <QTextDocument>

namespace vexlo {

namespace {

QString FirstLine(const QString &text)
{
    const qsizetype end = text.indexOf(QRegularExpression(QStringLiteral("[\r\n]")));
    return end < 0 ? text : text.left(end);
}

bool CanUndo(const QLineEdit *edit)
{
    return edit->isUndoAvailable();
}

bool CanUndo(const QPlainTextEdit *memo)
{
    return memo->document()->isUndoAvailable();
}

bool HasSelection(const QLineEdit *edit)
{
    return edit->hasSelectedText();
}

bool HasSelection(const QPlainTextEdit *memo)
{
    return memo->textCursor().hasSelection();
}

QAction *AddItem(QMenu *menu, const QString &text, QKeySequence::StandardKey key)
{
    QAction *action = menu->addAction(text);
    action->setShortcut(QKeySequence(key));
    action->setShortcutContext(Qt::WidgetShortcut); // shown only; the field handles the key
    return action;
}

/// Builds the menu's items with the field's own operations and pops it up on request, with
/// the items that would do nothing greyed out.
template <class Field, class Cut, class Copy, class Paste, class Clear>
QMenu *BuildMenu(Platform &platform, Field *field, const char *objectName, Cut cut, Copy copy, Paste paste,
                 Clear clear)
{
    auto *menu = new QMenu(field);
    menu->setObjectName(QString::fromLatin1(objectName));
    QAction *undoAction = AddItem(menu, QObject::tr("Undo"), QKeySequence::Undo);
    QObject::connect(undoAction, &QAction::triggered, field,
                     [field] { guarded([field] { field->undo(); }); });
    menu->addSeparator();
    QAction *cutAction = AddItem(menu, QObject::tr("Cut"), QKeySequence::Cut);
    QObject::connect(cutAction, &QAction::triggered, field, [cut] { guarded(cut); });
    QAction *copyAction = AddItem(menu, QObject::tr("Copy"), QKeySequence::Copy);
    QObject::connect(copyAction, &QAction::triggered, field, [copy] { guarded(copy); });
    QAction *pasteAction = AddItem(menu, QObject::tr("Paste"), QKeySequence::Paste);
    QObject::connect(pasteAction, &QAction::triggered, field, [paste] { guarded(paste); });
    // No key: the Delete key removes one character, this item the whole text.
    QObject::connect(menu->addAction(QObject::tr("Clear")), &QAction::triggered, field,
                     [clear] { guarded(clear); });
    menu->addSeparator();
    QAction *selectAllAction = AddItem(menu, QObject::tr("Select ALL"), QKeySequence::SelectAll);
    QObject::connect(selectAllAction, &QAction::triggered, field,
                     [field] { guarded([field] { field->selectAll(); }); });

    field->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(field, &QWidget::customContextMenuRequested, menu, [=, &platform](const QPoint &pos) {
        guarded([&] {
            if (!field->hasFocus())
                field->setFocus(Qt::PopupFocusReason);
            undoAction->setEnabled(CanUndo(field));
            cutAction->setEnabled(HasSelection(field));
            copyAction->setEnabled(HasSelection(field));
            pasteAction->setEnabled(!platform.clipboardText().isEmpty());
            platform.popup(menu, field->mapToGlobal(pos));
        });
    });
    return menu;
}

} // namespace

QString BoxText(const QPlainTextEdit *memo)
{
    // toPlainText() would turn every no-break space into a space.
    QString text = memo->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    return text;
}

QString LinesText(const std::vector<std::string> &lines)
{
    return FromBytes(JoinLines(lines, "\n"));
}

void ReplaceBoxText(QPlainTextEdit *memo, const QString &text)
{
    QTextCursor cursor(memo->document());
    cursor.beginEditBlock();
    cursor.select(QTextCursor::Document);
    cursor.insertText(text);
    cursor.endEditBlock();
}

QString SelectedText(const QPlainTextEdit *memo)
{
    QString text = memo->textCursor().selectedText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    return text;
}

void CopySelection(Platform &platform, const QLineEdit *edit)
{
    if (edit->hasSelectedText())
        platform.setClipboardText(edit->selectedText());
}

void CopySelection(Platform &platform, const QPlainTextEdit *memo)
{
    if (memo->textCursor().hasSelection())
        platform.setClipboardText(SelectedText(memo));
}

void PasteAtCaret(Platform &platform, QLineEdit *edit)
{
    const QString text = FirstLine(platform.clipboardText());
    if (!text.isEmpty())
        edit->insert(text);
}

void PasteAtCaret(Platform &platform, QPlainTextEdit *memo)
{
    const QString text = platform.clipboardText();
    if (!text.isEmpty())
        memo->insertPlainText(text);
}

void CopyAll(Platform &platform, QPlainTextEdit *memo)
{
    memo->selectAll();
    platform.setClipboardText(BoxText(memo));
}

QMenu *CreateFieldMenu(Platform &platform, QLineEdit *edit, const char *objectName)
{
    return BuildMenu(
        platform, edit, objectName,
        [&platform, edit] {
            if (!edit->hasSelectedText())
                return; // del() would remove the character after the caret
            CopySelection(platform, edit);
            edit->del();
        },
        [&platform, edit] { CopySelection(platform, edit); },
        [&platform, edit] { PasteAtCaret(platform, edit); },
        [edit] {
            edit->selectAll();
            edit->del();
        });
}

QMenu *CreateFieldMenu(Platform &platform, QPlainTextEdit *memo, const char *objectName)
{
    return BuildMenu(
        platform, memo, objectName,
        [&platform, memo] {
            CopySelection(platform, memo);
            memo->textCursor().removeSelectedText();
        },
        [&platform, memo] { CopySelection(platform, memo); },
        [&platform, memo] { PasteAtCaret(platform, memo); },
        [memo] {
            QTextCursor cursor(memo->document());
            cursor.select(QTextCursor::Document);
            cursor.removeSelectedText();
        });
}

} // namespace vexlo
