// Reading find and replace texts: the caret codes for special characters, the wildcard
// syntax, and the parts of a replacement.
#pragma once

#include "docengine/Program.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace vexlo::doc {

/// A find or replace text the engine refuses; `what()` is the message shown to the user.
class FindError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

/// How a find text is read.
struct PatternOptions {
    bool matchCase = false; // otherwise characters are compared case-folded
    bool wildcards = false;
    bool wholeWord = false; // only when it applies (no wildcards, no space in the text)
};

/// Compiles a find text. Throws FindError for an unknown caret code ("^x is not a valid
/// special character for the Find What box.") or an invalid wildcard pattern.
Program CompileFind(std::u32string_view find, const PatternOptions &options);

/// Whether the compiled find text (without wildcards) holds a plain space, which turns the
/// whole-word option off.
bool FindHasSpace(std::u32string_view find);

/// One piece of a replacement.
struct ReplacePart {
    enum class Kind { Text, WholeMatch, Group, Clipboard } kind = Kind::Text;
    std::u32string text; // Kind::Text
    int group = 0;       // Kind::Group, 1..9
};

/// Reads a replace text. Throws FindError for a caret code the Replace With box does not
/// take, or a group number (wildcards only) beyond the groups of the find text.
std::vector<ReplacePart> ParseReplacement(std::u32string_view replace, bool wildcards, int groups);

/// The simple case fold of one character (one to one, so lengths stay unchanged).
char32_t FoldCase(char32_t c);

} // namespace vexlo::doc
