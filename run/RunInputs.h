// The inputs of a run that belong to one page or one engine, as plain values.
#pragma once

#include <string>

namespace vexlo {

/// The five check boxes of "MS Word Engine Options", read when a run starts.
struct WordEngineOptions {
    bool matchCase = false;    // "Match Case"
    bool wholeWord = false;    // "Find whole words only"
    bool wildcards = false;    // "Use wildcards"
    bool soundsLike = false;   // "Sounds like (English)"
    bool allWordForms = false; // "Find all word forms"
};

/// The four inputs of the "Real time" page as the boxes hold them (whole texts). Both
/// engines' real-time branches read this one type.
struct RealTimeInputs {
    std::string findLine;        // Edit3
    std::string findMemo;        // Memo4
    std::string replacementLine; // Edit4
    std::string replacementMemo; // Memo5
};

} // namespace vexlo
