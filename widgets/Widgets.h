// Small builders shared by every window: flat picture buttons and the program's icon set.
#pragma once

#include <QIcon>
#include <QString>

class QGroupBox;
class QToolButton;
class QWidget;

namespace vexlo {

/// The icon ":/icons/<name>.svg" of the program's own set.
QIcon LoadIcon(const QString &name);

/// A flat (auto-raise) picture button without caption: `hint` becomes its tool tip and its
/// accessible name, `objectName` the component name tests find it by.
QToolButton *MakeFlatButton(QWidget *parent, const char *objectName, const QString &hint,
                            const QString &iconName);

/// A titled box around `content` (stretched), with `extra` beside it when given.
QGroupBox *MakeGroup(QWidget *parent, const QString &title, QWidget *content, QWidget *extra = nullptr);

/// The program's look, set once at start: group titles inside their frames, lists inside a
/// titled box without a second border.
void ApplyProgramLook();

} // namespace vexlo
