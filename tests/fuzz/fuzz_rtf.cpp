// The RTF reader and its save: any bytes either read or give a FormatError; a document read is
// saved byte for byte without edits, and with its first character replaced it reads back as
// the story with that edit.
#include "docengine/Readers.h"
#include "docengine/RtfDocument.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace vexlo::doc;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    RtfStory rtf;
    try {
        rtf = ReadRtfDocument(bytes);
    } catch (const FormatError &) {
        return 0;
    }
    if (rtf.keeper->save(rtf.story, {}) != bytes)
        std::abort();
    if (rtf.story.empty() || rtf.story[0] == kCellMark)
        return 0;
    std::u32string expected = rtf.story;
    expected.replace(0, 1, U"x\u00E9\r");
    std::string saved = rtf.keeper->save(rtf.story, {StoryEdit{0, 1, U"x\u00E9\r"}});
    if (ReadRtf(saved) != expected)
        std::abort();
    return 0;
}
