// What a rewrite changes in a file, line by line: counts for a preview's list, a unified diff
// for the command line and the changed parts of lines for the preview window.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vexlo {

/// A line of a text without its line break; the break kept apart so that a change of line
/// ends alone can be told from a change of content.
struct TextLine {
    std::string_view text;
    std::string_view end; // "\r\n", "\n", "\r" or "" (the last line without a break)
};

/// Splits at CR LF, LF and a lone CR. Never fails.
std::vector<TextLine> SplitTextLines(std::string_view bytes);

/// How the new content differs from the old.
struct ChangeSummary {
    bool identical = false;       // byte for byte the same
    bool lineEndsOnly = false;    // same lines, other line breaks
    std::size_t linesChanged = 0; // per changed block, the larger of lines removed and added
};

/// Compares the two contents. Never fails; a very large difference is counted as one block
/// from its first to its last differing line.
ChangeSummary Summarize(std::string_view before, std::string_view after);

/// One line of a diff as the window shows it.
struct DiffLine {
    enum class Kind { Same, Removed, Added, Skipped } kind = Kind::Same;
    std::size_t oldNumber = 0, newNumber = 0; // 1-based; 0 where the line is not on that side
    std::string text;                         // cut to the display limit
    std::size_t changeFrom = 0, changeTo = 0; // the changed part of a Removed/Added line
};

struct DiffOptions {
    std::size_t context = 3;         // unchanged lines shown around a change
    std::size_t maxChanged = 10000;  // changed lines shown; the rest is summed up in a Skipped line
    std::size_t maxLineChars = 2000; // longer lines are cut for display
};

/// The changes as lines with their changed parts marked; a Skipped line stands for unchanged
/// lines left out between hunks, or for what lies past maxChanged. Never fails.
std::vector<DiffLine> DiffLines(std::string_view before, std::string_view after,
                                const DiffOptions &options = {});

/// A unified diff ("--- a/PATH", "+++ b/PATH", "@@ -l,n +l,n @@" hunks, LF after every line);
/// empty when the contents have the same lines. Lines changed only in their ends are not
/// shown. Never fails.
std::string UnifiedDiff(const std::string &path, std::string_view before, std::string_view after,
                        const DiffOptions &options = {});

} // namespace vexlo
