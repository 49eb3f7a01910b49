// Replace-all over the main story of a document, with the word processor's five options.
#pragma once

#include "docengine/Document.h"
#include "docengine/Pattern.h"

#include <string>

namespace vexlo::doc {

struct FindOptions {
    bool matchCase = false;
    bool wholeWord = false;
    bool wildcards = false;
    bool soundsLike = false;
    bool allWordForms = false;
};

/// The longest find or replace text, in UTF-16 code units.
inline constexpr std::size_t kMaxFindLength = 255;

/// Replaces every occurrence of `find` in the document, left to right, once over the whole
/// main story; inserted text is never searched again and the final paragraph mark stays.
/// `clipboard` is what "^c" inserts. Returns the number of replacements (0 leaves the document
/// as it was; an empty find text finds nothing). Throws FindError for a text over 255
/// characters, an unknown caret code or an invalid wildcard pattern; the document is then
/// unchanged.
std::size_t ReplaceAll(Document &document, std::u32string_view find, std::u32string_view replace,
                       const FindOptions &options, std::u32string_view clipboard = {});

/// The replacement adjusted to the case of the found text: all capitals (two letters or
/// more) give a replacement in capitals; a capital first letter capitalises a lower-case
/// first letter of the replacement; otherwise it stays as typed.
std::u32string MatchFoundCase(std::u32string_view found, std::u32string_view replacement);

} // namespace vexlo::doc
