// The standard context menu of a single-line field: Undo, Cut, Copy, Paste, Clear, Select All.
#pragma once

class QLineEdit;
class QMenu;

namespace vexlo {

/// Builds the menu (owned by `edit`) and installs it as the field's custom context menu.
QMenu *CreateEditMenu(QLineEdit *edit, const char *objectName);

} // namespace vexlo
