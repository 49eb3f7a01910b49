#include "targets/MaskMenu.h"

#include "targets/SearchMask.h"
#include "widgets/Platform.h"

#include <QCursor>
#include <QLineEdit>
#include <QMenu>

namespace vexlo {

QMenu *CreateMaskMenu(QLineEdit *edit, const char *objectName)
{
    auto *menu = new QMenu(edit);
    menu->setObjectName(QString::fromLatin1(objectName));
    for (const char *mask : StandardMasks) {
        const QString text = QString::fromLatin1(mask);
        QAction *item = menu->addAction(text);
        QObject::connect(item, &QAction::triggered, edit, [edit, text] { edit->setText(text); });
    }
    return menu;
}

void PopupAtPointer(Platform &platform, QMenu *menu)
{
    platform.popup(menu, QCursor::pos());
}

} // namespace vexlo
