// The main story of an OpenDocument text's content.xml, walked without recursion.
#include "docengine/Document.h"
#include "docengine/OfficeStory.h"
#include "docengine/Readers.h"
#include "docengine/XmlScanner.h"

#include <algorithm>
#include <array>

namespace vexlo::doc {

namespace {

constexpr std::string_view kOffice = "urn:oasis:names:tc:opendocument:xmlns:office:1.0";
constexpr std::string_view kText = "urn:oasis:names:tc:opendocument:xmlns:text:1.0";
constexpr std::string_view kTable = "urn:oasis:names:tc:opendocument:xmlns:table:1.0";

// Text elements whose content is another story, a declaration or a generated label.
constexpr std::array<std::string_view, 12> kSkippedText = {"note",
                                                           "tracked-changes",
                                                           "sequence-decls",
                                                           "variable-decls",
                                                           "user-field-decls",
                                                           "dde-connection-decls",
                                                           "number",
                                                           "ruby-text",
                                                           "table-of-content-source",
                                                           "alphabetical-index-source",
                                                           "illustration-index-source",
                                                           "bibliography-source"};

enum class Action { Descend, Skip, Paragraph, Wrapper, Cell, Row };

struct Frame {
    Action action;
    std::uint32_t element;
};

class OdtWalker {
  public:
    // Without `mapChars` the characters' places are not kept (the story is all that is wanted).
    OdtWalker(std::string_view xml, StoryMap &map, bool mapChars) : m_x(xml), m_map(map), m_mapChars(mapChars)
    {
        m_story.reserve(xml.size() / 8);
        if (mapChars)
            m_map.chars.reserve(xml.size() / 8);
    }

    std::u32string walk()
    {
        for (XmlScanner::Token t; (t = m_x.next()) != XmlScanner::Token::Eof;) {
            if (m_skipNested) {
                if (t == XmlScanner::Token::Start)
                    ++m_skipNested;
                else if (t == XmlScanner::Token::End && --m_skipNested == 0 && m_segment != kNoIndex)
                    m_map.segments[m_segment].end = static_cast<std::uint32_t>(m_x.tagEnd);
                continue;
            }
            if (t == XmlScanner::Token::Start)
                start();
            else if (t == XmlScanner::Token::End)
                end();
            else if (m_paragraph != kNoIndex)
                text();
        }
        if (!m_sawText)
            throw FormatError("not an OpenDocument text: no text body");
        return std::move(m_story);
    }

  private:
    XmlScanner m_x;
    StoryMap &m_map;
    const bool m_mapChars;
    StoryMap::Unit m_lastUnit = StoryMap::Unit::Segment; // of the story's last character
    std::u32string m_story;
    std::vector<Frame> m_frames;
    std::vector<std::size_t> m_cells;
    std::size_t m_skipNested = 0;
    std::uint32_t m_paragraph = kNoIndex, m_segment = kNoIndex;
    bool m_literalSpace = false; // the last character was white space written as such
    bool m_sawText = false;

    void add(char32_t c, StoryMap::Unit unit, std::uint32_t index)
    {
        if (m_story.size() >= kMaxStoryLength)
            throw FormatError("the document's text is longer than " + std::to_string(kMaxStoryLength) +
                              " characters (the limit)");
        m_story += c;
        m_lastUnit = unit;
        if (m_mapChars)
            m_map.chars.push_back({index, 0, 0, unit});
    }

    std::uint32_t record(StoryMap::ElementKind kind)
    {
        StoryMap::Element e;
        e.parent = m_frames.empty() ? kNoIndex : m_frames.back().element;
        e.tagBegin = static_cast<std::uint32_t>(m_x.tagBegin);
        e.tagEnd = static_cast<std::uint32_t>(m_x.tagEnd);
        e.kind = kind;
        m_map.elements.push_back(e);
        return static_cast<std::uint32_t>(m_map.elements.size() - 1);
    }

    void openSegment()
    {
        if (m_segment == kNoIndex) {
            StoryMap::Segment s;
            s.begin = static_cast<std::uint32_t>(m_x.tagBegin);
            s.element = m_frames.back().element;
            s.paragraph = m_paragraph;
            m_map.segments.push_back(s);
            m_segment = static_cast<std::uint32_t>(m_map.segments.size() - 1);
        }
        m_map.segments[m_segment].end = static_cast<std::uint32_t>(m_x.tagEnd);
    }

    // White space in a paragraph's text collapses: a run of it is one space.
    void text()
    {
        openSegment();
        for (char32_t c : m_x.text) {
            const bool space = c == U' ' || c == U'\t' || c == U'\n' || c == U'\r';
            if (space && m_literalSpace)
                continue;
            m_literalSpace = space;
            add(space ? U' ' : c, StoryMap::Unit::Segment, m_segment);
        }
    }

    void characters(char32_t c, std::uint32_t count)
    {
        openSegment();
        m_literalSpace = false;
        for (std::uint32_t k = 0; k < count; ++k)
            add(c, StoryMap::Unit::Segment, m_segment);
        m_skipNested = 1; // its content, if any, is not text
    }

    void start()
    {
        const std::string_view local = m_x.local, uri = m_x.uri;
        if (m_frames.empty()) {
            if (uri != kOffice || local != "document-content")
                throw FormatError("not an OpenDocument text: its content is not a document");
            m_frames.push_back({Action::Descend, record(StoryMap::ElementKind::Other)});
            return;
        }
        const bool inParagraph = m_paragraph != kNoIndex;
        if (inParagraph && uri == kText) {
            if (local == "s") {
                const std::string *count = m_x.attribute(kText, "c");
                std::uint32_t n = 1;
                if (count) {
                    n = 0;
                    for (char d : *count) {
                        if (d < '0' || d > '9' || n > kMaxRepeatCount)
                            throw FormatError("a run of spaces (text:s) with a count that is not a number of "
                                              "at most " +
                                              std::to_string(kMaxRepeatCount) + " (the limit)");
                        n = n * 10 + static_cast<std::uint32_t>(d - '0');
                    }
                    if (n > kMaxRepeatCount)
                        throw FormatError("a run of " + *count + " spaces (text:s), over the limit of " +
                                          std::to_string(kMaxRepeatCount));
                    n = std::max<std::uint32_t>(n, 1);
                }
                characters(U' ', n);
                return;
            }
            if (local == "tab")
                return characters(U'\t', 1);
            if (local == "line-break")
                return characters(kLineBreak, 1);
            if (local == "soft-hyphen")
                return characters(kOptionalHyphen, 1);
        }
        m_segment = kNoIndex; // any other element ends the character content before it
        if (uri == kOffice && (local == "body" || local == "text")) {
            m_sawText = m_sawText || local == "text";
            m_frames.push_back({Action::Descend, record(StoryMap::ElementKind::Other)});
        } else if (uri == kText && (local == "p" || local == "h")) {
            if (inParagraph)
                throw FormatError("a paragraph inside a paragraph");
            StoryMap::Paragraph p;
            p.element = record(StoryMap::ElementKind::Paragraph);
            p.contentBegin = static_cast<std::uint32_t>(m_x.tagEnd);
            m_map.paragraphs.push_back(p);
            m_paragraph = static_cast<std::uint32_t>(m_map.paragraphs.size() - 1);
            m_literalSpace = false;
            m_frames.push_back({Action::Paragraph, p.element});
        } else if (uri == kText &&
                   std::find(kSkippedText.begin(), kSkippedText.end(), local) == kSkippedText.end() &&
                   local.find("-source") == std::string_view::npos &&
                   local.find("-decls") == std::string_view::npos) {
            const bool wrapper = inParagraph && (local == "span" || local == "a");
            m_frames.push_back({Action::Descend, record(wrapper ? StoryMap::ElementKind::Wrapper
                                                                : StoryMap::ElementKind::Other)});
        } else if (uri == kTable &&
                   (local == "table" || local == "table-rows" || local == "table-header-rows" ||
                    local == "table-row-group" || local == "table-row" || local == "table-cell" ||
                    local == "covered-table-cell")) {
            if (m_x.attribute(kTable, "number-columns-repeated") ||
                m_x.attribute(kTable, "number-rows-repeated")) {
                const std::string *n = m_x.attribute(kTable, "number-columns-repeated");
                if (!n)
                    n = m_x.attribute(kTable, "number-rows-repeated");
                if (*n != "1")
                    throw FormatError("a table with repeated rows or cells cannot be read faithfully");
            }
            Action action = Action::Descend;
            if (local == "table-row")
                action = Action::Row;
            else if (local == "table-cell" || local == "covered-table-cell") {
                action = Action::Cell;
                m_cells.push_back(m_story.size());
            }
            m_frames.push_back({action, record(StoryMap::ElementKind::Other)});
        } else {
            m_segment = kNoIndex;
            m_skipNested = 1; // notes, annotations, frames (images, text boxes, alt text), forms…
        }
    }

    void end()
    {
        Frame frame = m_frames.back();
        m_frames.pop_back();
        StoryMap::Element &e = m_map.elements[frame.element];
        e.endBegin = static_cast<std::uint32_t>(m_x.tagBegin);
        e.endEnd = static_cast<std::uint32_t>(m_x.tagEnd);
        m_segment = kNoIndex;
        if (frame.action == Action::Paragraph) {
            add(kParagraphMark, StoryMap::Unit::Paragraph, m_paragraph);
            m_paragraph = kNoIndex;
        } else if (frame.action == Action::Cell) {
            const std::size_t from = m_cells.back();
            m_cells.pop_back();
            if (m_story.size() > from && m_lastUnit == StoryMap::Unit::Paragraph) {
                m_story.back() = kCellMark;
                m_lastUnit = StoryMap::Unit::Cell;
                if (m_mapChars)
                    m_map.chars.back().unit = StoryMap::Unit::Cell;
            } else {
                add(kCellMark, StoryMap::Unit::Cell, kNoIndex);
            }
        } else if (frame.action == Action::Row) {
            add(kRowMark, StoryMap::Unit::Row, kNoIndex);
        }
    }
};

} // namespace

std::u32string ReadOdtPart(std::string_view xml, StoryMap *map)
{
    StoryMap local;
    OdtWalker walker(xml, map ? *map : local, map != nullptr);
    return walker.walk();
}

} // namespace vexlo::doc
