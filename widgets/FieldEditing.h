// Clipboard commands of the input fields through the Platform, and their context menus.
#pragma once

#include <QString>

#include <string>
#include <vector>

class QLineEdit;
class QMenu;
class QPlainTextEdit;

namespace vexlo {

class Platform;

/// The whole text of a box as it holds it: no-break spaces and other characters kept as they
/// are, a line break as "\n". Every read of a memo's text goes through this.
QString BoxText(const QPlainTextEdit *memo);

/// Lines as the text of a box: "\n" after every line, so the box holds every line, a last
/// empty one too. Never fails.
QString LinesText(const std::vector<std::string> &lines);

/// Replaces the whole text of a box as one step of its undo history.
void ReplaceBoxText(QPlainTextEdit *memo, const QString &text);

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
/// separator, "Select ALL", each with its key beside it (Clear has none). Clear empties the
/// whole field as one undoable step; Cut without a selection does nothing. The menu (owned by
/// the field) pops up through the Platform after the field has taken the focus, with Undo
/// greyed out when there is nothing to undo, Cut and Copy without a selection, and Paste
/// when the clipboard holds no text.
QMenu *CreateFieldMenu(Platform &platform, QLineEdit *edit, const char *objectName);
QMenu *CreateFieldMenu(Platform &platform, QPlainTextEdit *memo, const char *objectName);

} // namespace vexlo
