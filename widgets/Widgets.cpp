#include "widgets/Widgets.h"

#include <QToolButton>

// The icon set is compiled into the static GUI library; nothing references it by symbol, so
// it is registered explicitly before the first icon is loaded.
static void RegisterIconResources()
{
    static const bool registered = [] {
        Q_INIT_RESOURCE(icons);
        return true;
    }();
    (void)registered;
}

namespace vexlo {

QIcon LoadIcon(const QString &name)
{
    RegisterIconResources();
    return QIcon(QStringLiteral(":/icons/%1.svg").arg(name));
}

QToolButton *MakeFlatButton(QWidget *parent, const char *objectName, const QString &hint,
                            const QString &iconName)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(objectName));
    button->setAutoRaise(true);
    button->setIcon(LoadIcon(iconName));
    button->setToolTip(hint);
    button->setAccessibleName(hint);
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}

} // namespace vexlo
