// The standard mask menu: thirteen wildcards, a choice replaces the text of its mask field.
#pragma once

class QLineEdit;
class QMenu;
class QWidget;

namespace vexlo {

class Platform;

/// A menu (owned by `edit`) whose items are the standard masks; choosing one replaces the
/// whole text of `edit` with the item's caption.
QMenu *CreateMaskMenu(QLineEdit *edit, const char *objectName);

/// Pops `menu` up at the mouse pointer.
void PopupAtPointer(Platform &platform, QMenu *menu);

} // namespace vexlo
