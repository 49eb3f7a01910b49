// Clipboard commands of the input fields through the Platform, and their context menus.
#pragma once

#include <QString>

class QLineEdit;
class QMenu;
class QPlainTextEdit;

namespace vexlo {

class Platform;

/// The selected text of a memo with plain line breaks.
QString SelectedText(const QPlainTextEdit *memo);

/// Puts the selected text on the clipboard; nothing happens without a selection.
void CopySelection(Platform &platform, const QLineEdit *edit);
void CopySelection(Platform &platform, const QPlainTextEdit *memo);

/// Inserts the clipboard's text at the caret, replacing the selection; with no text on the
/// clipboard the field stays as it is. A one-line field takes the text up to its first line
/// break, since a find string can never match across lines.
void PasteAtCaret(Platform &platform, QLineEdit *edit);
void PasteAtCaret(Platform &platform, QPlainTextEdit *memo);

/// Selects the whole text and copies it.
void CopyAll(Platform &platform, QPlainTextEdit *memo);

/// The context menu of a field: "Undo", separator, "Cut", "Copy", "Paste", "Clear",
/// separator, "Select ALL". Clear empties the whole field as one undoable step. The menu
/// (owned by the field) pops up through the Platform after the field has taken the focus.
QMenu *CreateFieldMenu(Platform &platform, QLineEdit *edit, const char *objectName);
QMenu *CreateFieldMenu(Platform &platform, QPlainTextEdit *memo, const char *objectName);

} // namespace vexlo
