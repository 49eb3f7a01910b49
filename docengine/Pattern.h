// Reading find and replace texts: the caret codes for special characters, the wildcard
// syntax, and the parts of a replacement.
#pragma once

#include "base/Error.h"
#include "docengine/Program.h"

#include <string>
#include <vector>

namespace vexlo::doc {

/// A find or replace text the engine refuses (kind FindText, no path); `what()` is the message
/// shown to the user.
class FindError : public Error {
  public:
    explicit FindError(const std::string &message) : Error(ErrorKind::FindText, {}, message) {}
};

/// How a find text is read.
struct PatternOptions {
    bool matchCase = false; // otherwise characters are compared case-folded
    bool wildcards = false;
    bool wholeWord = false; // only when it applies (no wildcards, no space in the text)
};

/// Compiles a find text. Throws FindError for an unknown caret code ("^x is not a valid
/// special character for the Find What box."), an invalid wildcard pattern, or one that
/// would compile to more than kMostInstructions.
Program CompileFind(std::u32string_view find, const PatternOptions &options);

/// The most instructions a find text may compile to (repeats of repeats multiply).
inline constexpr std::size_t kMostInstructions = 1 << 16;

/// The find text of the word-by-word options (sounds like, all word forms) with its caret
/// codes for characters decoded; a code for a kind of character (any character, digit,
/// letter, white space) or an item separates words. Throws FindError for an unknown code.
std::u32string DecodeWordFind(std::u32string_view find);

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
