// The line-based find-and-replace engine: the two operations and text loading/saving.
#pragma once

#include "base/Lines.h"

#include <string>
#include <string_view>
#include <vector>

namespace vexlo {

/// The eight option check boxes of the own engine, read when a run starts.
struct TextEngineOptions {
    bool matchCase = false;         // "Match Case"
    bool wholeWord = false;         // "Only Whole Word"
    bool wholeWordRight = false;    // "Whole Word (Right)"
    bool wholeWordLeft = false;     // "Whole Word (Left)"
    bool deleteBlanks = false;      // "Delete Blanks"
    bool deleteBlanksRight = false; // "Delete Blanks (Right)"
    bool deleteBlanksLeft = false;  // "Delete Blanks (Left)"
    bool onlyDelete = false;        // "Only Delete": shown, consulted by no operation
};

/// Replacement of ReplaceInLine: one string (possibly empty) or, when it holds two
/// lines or more, a multi-line replacement.
struct InLineReplacement {
    Lines lines; // size 0 or 1: one string (empty when size 0); size >= 2: multi-line
    static InLineReplacement OneString(std::string s) { return {Lines{std::move(s)}}; }
    bool isMultiLine() const { return lines.size() >= 2; }
};

/// Replaces the first occurrence of `find` in every line. Never fails.
Lines ReplaceInLine(const Lines &text, std::string_view find, const InLineReplacement &replacement,
                    const TextEngineOptions &options);

/// Replaces blocks of lines matching `findLines` (at least one) by `replacementLines`. Never fails.
Lines ReplaceBlock(const Lines &text, const Lines &findLines, const Lines &replacementLines,
                   const TextEngineOptions &options);

/// One of the two operations with its inputs, as a run applies it to every file.
struct TextOperation {
    enum class Kind { InLine, Block } kind = Kind::InLine;
    std::string find;         // InLine
    InLineReplacement inLine; // InLine
    Lines findLines;          // Block (n >= 1)
    Lines replacementLines;   // Block (m >= 0)
    TextEngineOptions options;
};

/// Applies the operation to a whole file's bytes and returns the bytes to write
/// (every produced line followed by CR LF). Equivalent to
/// JoinLines(op(SplitLines(input))) but works on the buffer in one pass.
std::string ApplyToBuffer(std::string_view input, const TextOperation &op);

} // namespace vexlo
