#include "widgets/FieldEditing.h"

#include "widgets/Guarded.h"
#include "widgets/Platform.h"

#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTextCursor>

namespace vexlo {

namespace {

QString FirstLine(const QString &text)
{
    const qsizetype end = text.indexOf(QRegularExpression(QStringLiteral("[\r\n]")));
    return end < 0 ? text : text.left(end);
}

/// Builds the menu's items with the field's own operations and pops it up on request.
template <class Field, class Cut, class Copy, class Paste, class Clear>
QMenu *BuildMenu(Platform &platform, Field *field, const char *objectName, Cut cut, Copy copy, Paste paste,
                 Clear clear)
{
    auto *menu = new QMenu(field);
    menu->setObjectName(QString::fromLatin1(objectName));
    QObject::connect(menu->addAction(QObject::tr("Undo")), &QAction::triggered, field,
                     [field] { guarded([field] { field->undo(); }); });
    menu->addSeparator();
    QObject::connect(menu->addAction(QObject::tr("Cut")), &QAction::triggered, field,
                     [cut] { guarded(cut); });
    QObject::connect(menu->addAction(QObject::tr("Copy")), &QAction::triggered, field,
                     [copy] { guarded(copy); });
    QAction *pasteAction = menu->addAction(QObject::tr("Paste"));
    pasteAction->setShortcut(QKeySequence(QStringLiteral("Ctrl+V")));
    pasteAction->setShortcutContext(Qt::WidgetShortcut); // shown only; the field handles the key
    QObject::connect(pasteAction, &QAction::triggered, field, [paste] { guarded(paste); });
    QObject::connect(menu->addAction(QObject::tr("Clear")), &QAction::triggered, field,
                     [clear] { guarded(clear); });
    menu->addSeparator();
    QObject::connect(menu->addAction(QObject::tr("Select ALL")), &QAction::triggered, field,
                     [field] { guarded([field] { field->selectAll(); }); });

    field->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(field, &QWidget::customContextMenuRequested, menu,
                     [&platform, field, menu](const QPoint &pos) {
                         guarded([&] {
                             if (!field->hasFocus())
                                 field->setFocus(Qt::PopupFocusReason);
                             platform.popup(menu, field->mapToGlobal(pos));
                         });
                     });
    return menu;
}

} // namespace

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
    platform.setClipboardText(memo->toPlainText());
}

QMenu *CreateFieldMenu(Platform &platform, QLineEdit *edit, const char *objectName)
{
    return BuildMenu(
        platform, edit, objectName,
        [&platform, edit] {
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
