#include "widgets/EditMenu.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenu>

namespace vexlo {

namespace {

QAction *AddItem(QMenu *menu, const QString &text, QKeySequence::StandardKey key)
{
    QAction *action = menu->addAction(text);
    action->setShortcut(QKeySequence(key));
    action->setShortcutContext(Qt::WidgetShortcut); // shown only; the field handles the key
    return action;
}

} // namespace

QMenu *CreateEditMenu(QLineEdit *edit, const char *objectName)
{
    auto *menu = new QMenu(edit);
    menu->setObjectName(QString::fromLatin1(objectName));
    QAction *undo = AddItem(menu, QObject::tr("Undo"), QKeySequence::Undo);
    QObject::connect(undo, &QAction::triggered, edit, &QLineEdit::undo);
    menu->addSeparator();
    QAction *cut = AddItem(menu, QObject::tr("Cut"), QKeySequence::Cut);
    QObject::connect(cut, &QAction::triggered, edit, &QLineEdit::cut);
    QAction *copy = AddItem(menu, QObject::tr("Copy"), QKeySequence::Copy);
    QObject::connect(copy, &QAction::triggered, edit, &QLineEdit::copy);
    QAction *paste = AddItem(menu, QObject::tr("Paste"), QKeySequence::Paste);
    QObject::connect(paste, &QAction::triggered, edit, &QLineEdit::paste);
    // Cleared as one edit step, so Undo brings the text back. No key: Delete removes one character.
    QObject::connect(menu->addAction(QObject::tr("Clear")), &QAction::triggered, edit, [edit] {
        edit->selectAll();
        edit->del();
    });
    menu->addSeparator();
    QAction *selectAll = AddItem(menu, QObject::tr("Select All"), QKeySequence::SelectAll);
    QObject::connect(selectAll, &QAction::triggered, edit, &QLineEdit::selectAll);

    // The items that would do nothing are greyed out.
    QObject::connect(menu, &QMenu::aboutToShow, edit, [=] {
        undo->setEnabled(edit->isUndoAvailable());
        cut->setEnabled(edit->hasSelectedText());
        copy->setEnabled(edit->hasSelectedText());
        paste->setEnabled(!QApplication::clipboard()->text().isEmpty());
    });
    edit->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(edit, &QWidget::customContextMenuRequested, menu,
                     [edit, menu](const QPoint &pos) { menu->exec(edit->mapToGlobal(pos)); });
    return menu;
}

} // namespace vexlo
