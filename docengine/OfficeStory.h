// The main story of a .docx or .odt document together with where each of its characters stands
// in the XML of the main part, so that replacements can be made inside the document.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vexlo::doc {

inline constexpr std::uint32_t kNoIndex = 0xFFFFFFFFu;
/// The longest story a document may give, in characters; a longer one is refused.
inline constexpr std::size_t kMaxStoryLength = 32u << 20;
/// The most spaces one <text:s text:c="…"/> may stand for.
inline constexpr std::uint32_t kMaxRepeatCount = 65536;

struct StoryMap {
    enum class ElementKind : std::uint8_t { Paragraph, Run, Wrapper, Other };
    // An element of the part that the reader walked into (skipped subtrees are left out).
    struct Element {
        std::uint32_t parent = kNoIndex;
        std::uint32_t tagBegin = 0, tagEnd = 0, endBegin = 0, endEnd = 0;
        ElementKind kind = ElementKind::Other;
    };
    // Contiguous character content under one element (.docx: the text, tab, break… children of
    // one run; .odt: text and text:s/tab/line-break of one paragraph or span). A segment that a
    // replacement touches is written anew; the others keep their bytes.
    struct Segment {
        std::uint32_t begin = 0, end = 0; // bytes
        std::uint32_t element = kNoIndex; // the run (.docx) or paragraph/span (.odt)
        std::uint32_t paragraph = kNoIndex;
        std::uint32_t propertiesBegin = 0, propertiesEnd = 0; // the run's w:rPr
        bool editable = true;
    };
    struct Paragraph {
        std::uint32_t element = kNoIndex;
        std::uint32_t contentBegin = 0; // after the start tag and the paragraph properties
        std::uint32_t propertiesBegin = 0, propertiesEnd = 0; // w:pPr
        std::uint32_t lastRun = kNoIndex;
        bool sectionBreak = false; // its properties end a section
        bool markDeleted = false;  // its mark is a tracked deletion: not in the story
    };
    enum class Unit : std::uint8_t { Segment, Paragraph, Cell, Row };
    struct Char {
        std::uint32_t index = kNoIndex;   // segment or paragraph
        std::uint32_t begin = 0, end = 0; // .docx: the element that gives the character, if any
        Unit unit = Unit::Segment;
    };

    std::vector<Element> elements;
    std::vector<Segment> segments;
    std::vector<Paragraph> paragraphs;
    std::vector<Char> chars; // one per character of the story
};

/// The story of word/document.xml (or the main part a package names); `map`, when given, is
/// filled. Throws FormatError when the part cannot be read faithfully.
std::u32string ReadDocxPart(std::string_view xml, StoryMap *map);

/// The story of an OpenDocument text's content.xml. Throws FormatError.
std::u32string ReadOdtPart(std::string_view xml, StoryMap *map);

/// The part's XML with `edits` (ascending, not overlapping, in the story's coordinates) made;
/// re-read, it gives the edited story. Throws FormatError when an edit cannot be made
/// faithfully (it crosses a table cell or row end, splits what cannot be split, inserts what
/// the format cannot hold).
struct StoryEdit;
std::string EditDocxPart(std::string_view xml, std::u32string_view story,
                         const std::vector<StoryEdit> &edits);
std::string EditOdtPart(std::string_view xml, std::u32string_view story, const std::vector<StoryEdit> &edits);

/// The same with the map the part was read with (so that it is not read again before the
/// edit): `story` is the story that read gave, perhaps with a final mark added. Throws
/// FormatError as above, or when the story does not fit the map.
std::string EditMappedDocxPart(std::string_view xml, const StoryMap &map, std::u32string_view story,
                               const std::vector<StoryEdit> &edits);
std::string EditMappedOdtPart(std::string_view xml, const StoryMap &map, std::u32string_view story,
                              const std::vector<StoryEdit> &edits);

} // namespace vexlo::doc
