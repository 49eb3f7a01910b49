// RTF documents read into the main story, with what is needed to save them as RTF again:
// the replacements are made inside the token stream, everything else is kept byte for byte.
#pragma once

#include "docengine/Document.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vexlo::doc {

/// Where one character of the story came from in the RTF bytes: the tokens [from, to) that
/// gave it (a \uN with its fallback, the bytes of a double-byte character, a control word
/// with its delimiter), and the \uc count in force there.
struct RtfSource {
    std::size_t from = 0, to = 0;
    int fallback = 1;
};

struct RtfStory {
    std::u32string story;
    std::shared_ptr<const FormatKeeper> keeper;
};

/// Reads an RTF document. Throws FormatError when it is not RTF or holds something this reader
/// cannot read faithfully (an unknown code page, a byte its code page does not map, a \u value
/// that is no character, groups nested deeper than the cap).
RtfStory ReadRtfDocument(std::string_view bytes);

/// The keeper of an RTF document: saves it with the edits made in its token stream.
std::shared_ptr<const FormatKeeper> MakeRtfKeeper(std::string bytes, std::vector<RtfSource> sources,
                                                  std::size_t textEnd);

} // namespace vexlo::doc
