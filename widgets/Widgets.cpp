#include "widgets/Widgets.h"

#include <QHBoxLayout>

#include <QGroupBox>

#include <QApplication>
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

QGroupBox *MakeGroup(QWidget *parent, const QString &title, QWidget *content, QWidget *extra)
{
    auto *group = new QGroupBox(title, parent);
    auto *layout = new QHBoxLayout(group);
    layout->setContentsMargins(6, 4, 6, 6);
    layout->addWidget(content, 1);
    if (extra)
        layout->addWidget(extra);
    return group;
}

void ApplyProgramLook()
{
    qApp->setStyleSheet(QStringLiteral(
        "QGroupBox { border: 1px solid palette(mid); border-radius: 4px; margin-top: 0.6em;"
        " padding-top: 0.15em; }"
        "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left; left: 8px;"
        " padding: 0 3px; }"
        // A list in a titled box needs no border of its own: the box is its frame.
        "QGroupBox > QAbstractItemView { border: none; }"
        "QGroupBox > QPlainTextEdit, QGroupBox > QTextEdit { border: 1px solid palette(midlight); }"));
}

} // namespace vexlo
