#include "widgets/EditMenu.h"

#include <QLineEdit>
#include <QMenu>

namespace vexlo {

QMenu *CreateEditMenu(QLineEdit *edit, const char *objectName)
{
    auto *menu = new QMenu(edit);
    menu->setObjectName(QString::fromLatin1(objectName));
    QObject::connect(menu->addAction(QObject::tr("Undo")), &QAction::triggered, edit, &QLineEdit::undo);
    menu->addSeparator();
    QObject::connect(menu->addAction(QObject::tr("Cut")), &QAction::triggered, edit, &QLineEdit::cut);
    QObject::connect(menu->addAction(QObject::tr("Copy")), &QAction::triggered, edit, &QLineEdit::copy);
    QObject::connect(menu->addAction(QObject::tr("Paste")), &QAction::triggered, edit, &QLineEdit::paste);
    // Cleared as one edit step, so Undo brings the text back.
    QObject::connect(menu->addAction(QObject::tr("Clear")), &QAction::triggered, edit, [edit] {
        edit->selectAll();
        edit->del();
    });
    menu->addSeparator();
    QObject::connect(menu->addAction(QObject::tr("Select All")), &QAction::triggered, edit,
                     &QLineEdit::selectAll);

    edit->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(edit, &QWidget::customContextMenuRequested, menu,
                     [edit, menu](const QPoint &pos) { menu->exec(edit->mapToGlobal(pos)); });
    return menu;
}

} // namespace vexlo
