// The main story of a WordprocessingML part, walked without recursion: namespaces are resolved
// by their URI, so any prefix (or the default namespace) reads the same.
#include "docengine/Document.h"
#include "docengine/OfficeStory.h"
#include "docengine/Readers.h"
#include "docengine/XmlScanner.h"

#include <algorithm>
#include <array>

namespace vexlo::doc {

namespace {

constexpr std::string_view kWordNamespace = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";
constexpr std::string_view kWordStrictNamespace = "http://purl.oclc.org/ooxml/wordprocessingml/main";
constexpr std::string_view kCompatibilityNamespace =
    "http://schemas.openxmlformats.org/markup-compatibility/2006";

// Word elements whose content is not part of the main story's final text.
constexpr std::array<std::string_view, 21> kSkipped = {
    "sectPr", "del",     "moveFrom",    "delText", "instrText", "delInstrText", "drawing",
    "pict",   "object",  "txbxContent", "sdtPr",   "sdtEndPr",  "customXmlPr",  "smartTagPr",
    "tblPr",  "tblGrid", "trPr",        "tcPr",    "rt",        "rubyPr",       "background"};
// Wrappers inside a paragraph that a paragraph may be split through (closed and opened again).
constexpr std::array<std::string_view, 6> kWrappers = {"hyperlink", "ins", "moveTo",
                                                       "smartTag",  "dir", "bdo"};

template <std::size_t N> bool OneOf(std::string_view name, const std::array<std::string_view, N> &names)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

enum class Action {
    Descend,
    Skip,
    Paragraph,
    Run,
    Text,
    CharElement,
    Cell,
    Row,
    ParagraphProperties,
    RunProperties
};

struct Frame {
    Action action;
    std::uint32_t element;
};

class DocxWalker {
  public:
    // Without `mapChars` the characters' places are not kept (the story is all that is wanted).
    DocxWalker(std::string_view xml, StoryMap &map, bool mapChars)
        : m_x(xml), m_map(map), m_mapChars(mapChars)
    {
        m_story.reserve(xml.size() / 8);
        if (mapChars)
            m_map.chars.reserve(xml.size() / 8);
    }

    std::u32string walk()
    {
        for (XmlScanner::Token t; (t = m_x.next()) != XmlScanner::Token::Eof;) {
            if (m_skipNested) {
                skipped(t);
                continue;
            }
            if (t == XmlScanner::Token::Start)
                start();
            else if (t == XmlScanner::Token::End)
                end();
            else if (!m_frames.empty() && m_frames.back().action == Action::Text && m_inFieldCode == 0)
                addText(m_x.text);
        }
        if (!m_sawBody)
            throw FormatError("not a Word document: no document body");
        if (!m_fields.empty()) // the text after it would be taken for its code
            throw FormatError("a field that is never closed");
        return std::move(m_story);
    }

  private:
    XmlScanner m_x;
    StoryMap &m_map;
    const bool m_mapChars;
    StoryMap::Unit m_lastUnit = StoryMap::Unit::Segment; // of the story's last character
    std::u32string m_story;
    std::vector<Frame> m_frames;
    std::vector<std::size_t> m_cells; // story length where each open table cell began
    std::vector<bool> m_fields;       // open complex fields: still in their code?
    int m_inFieldCode = 0, m_alternate = 0;
    std::size_t m_skipNested = 0;
    Action m_skipAction = Action::Skip;
    std::uint32_t m_skipBegin = 0;
    std::uint32_t m_paragraph = kNoIndex, m_run = kNoIndex, m_segment = kNoIndex;
    std::uint32_t m_runPropertiesBegin = 0, m_runPropertiesEnd = 0;
    bool m_sawBody = false;

    bool isWord() const { return m_x.uri == kWordNamespace || m_x.uri == kWordStrictNamespace; }

    void add(char32_t c, StoryMap::Unit unit, std::uint32_t index, std::uint32_t begin = 0,
             std::uint32_t end = 0)
    {
        if (m_story.size() >= kMaxStoryLength)
            throw FormatError("the document's text is longer than " + std::to_string(kMaxStoryLength) +
                              " characters (the limit)");
        m_story += c;
        m_lastUnit = unit;
        if (m_mapChars)
            m_map.chars.push_back({index, begin, end, unit});
    }

    // The characters of a w:t, all in the current segment.
    void addText(std::u32string_view text)
    {
        if (text.empty())
            return;
        if (m_story.size() + text.size() > kMaxStoryLength)
            throw FormatError("the document's text is longer than " + std::to_string(kMaxStoryLength) +
                              " characters (the limit)");
        m_story += text;
        m_lastUnit = StoryMap::Unit::Segment;
        if (m_mapChars)
            m_map.chars.insert(m_map.chars.end(), text.size(), {m_segment, 0, 0, StoryMap::Unit::Segment});
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

    void push(Action action, std::uint32_t element) { m_frames.push_back({action, element}); }

    void skip(Action action)
    {
        m_skipNested = 1;
        m_skipAction = action;
        m_skipBegin = static_cast<std::uint32_t>(m_x.tagBegin);
    }

    bool inRun() const { return !m_frames.empty() && m_frames.back().action == Action::Run; }

    // The segment of the current run that a character element joins.
    void openSegment()
    {
        if (m_segment == kNoIndex) {
            StoryMap::Segment s;
            s.begin = static_cast<std::uint32_t>(m_x.tagBegin);
            s.element = m_run;
            s.paragraph = m_paragraph;
            s.propertiesBegin = m_runPropertiesBegin;
            s.propertiesEnd = m_runPropertiesEnd;
            s.editable = m_alternate == 0;
            m_map.segments.push_back(s);
            m_segment = static_cast<std::uint32_t>(m_map.segments.size() - 1);
        }
    }

    void skipped(XmlScanner::Token t)
    {
        if (t == XmlScanner::Token::Start) {
            ++m_skipNested;
            if (m_skipAction == Action::ParagraphProperties && isWord()) {
                if (m_x.local == "sectPr")
                    m_map.paragraphs[m_paragraph].sectionBreak = true;
                else if (m_x.local == "del" || m_x.local == "moveFrom")
                    m_map.paragraphs[m_paragraph].markDeleted = true;
            }
            return;
        }
        if (t != XmlScanner::Token::End || --m_skipNested != 0)
            return;
        const auto end = static_cast<std::uint32_t>(m_x.tagEnd);
        switch (m_skipAction) {
        case Action::ParagraphProperties: {
            StoryMap::Paragraph &p = m_map.paragraphs[m_paragraph];
            p.propertiesBegin = m_skipBegin;
            p.propertiesEnd = end;
            p.contentBegin = end;
            break;
        }
        case Action::RunProperties:
            m_runPropertiesBegin = m_skipBegin;
            m_runPropertiesEnd = end;
            break;
        case Action::CharElement:
            if (m_mapChars)
                m_map.chars.back().end = end;
            m_map.segments[m_segment].end = end;
            break;
        default:
            break;
        }
    }

    void charElement(char32_t c)
    {
        openSegment();
        add(c, StoryMap::Unit::Segment, m_segment, static_cast<std::uint32_t>(m_x.tagBegin),
            static_cast<std::uint32_t>(m_x.tagEnd));
        m_map.segments[m_segment].end = static_cast<std::uint32_t>(m_x.tagEnd);
        skip(Action::CharElement);
    }

    const std::string *wordAttribute(std::string_view local) const
    {
        const std::string *value = m_x.attribute(kWordNamespace, local);
        return value ? value : m_x.attribute(kWordStrictNamespace, local);
    }

    void start()
    {
        if (m_frames.empty()) {
            if (!isWord() || m_x.local != "document")
                throw FormatError("not a Word document: its main part is not a document");
            push(Action::Descend, record(StoryMap::ElementKind::Other));
            return;
        }
        const std::string_view local = m_x.local;
        const bool word = isWord();
        const bool runChild = inRun();
        const bool charLike =
            word && runChild && m_inFieldCode == 0 &&
            (local == "t" || local == "tab" || local == "ptab" || local == "br" || local == "cr" ||
             local == "noBreakHyphen" || local == "softHyphen" || local == "sym");
        if (runChild && !charLike)
            m_segment = kNoIndex; // anything else in a run ends its character content
        if (!word) {
            if (m_x.uri == kCompatibilityNamespace &&
                (m_x.local == "AlternateContent" || m_x.local == "Choice")) {
                m_alternate += m_x.local == "AlternateContent";
                push(Action::Descend, record(StoryMap::ElementKind::Other));
            } else {
                skip(Action::Skip);
            }
            return;
        }
        if (charLike) {
            if (local == "t") {
                openSegment();
                push(Action::Text, kNoIndex);
            } else if (local == "tab" || local == "ptab") {
                charElement(U'\t');
            } else if (local == "br") {
                const std::string *type = wordAttribute("type");
                charElement(type && *type == "page"     ? kPageBreak
                            : type && *type == "column" ? kColumnBreak
                                                        : kLineBreak);
            } else if (local == "cr") {
                charElement(kLineBreak);
            } else if (local == "noBreakHyphen") {
                charElement(kNonbreakingHyphen);
            } else if (local == "softHyphen") {
                charElement(kOptionalHyphen);
            } else {
                charElement(SymbolCharacter());
            }
            return;
        }
        if (local == "body") {
            m_sawBody = true;
            push(Action::Descend, record(StoryMap::ElementKind::Other));
        } else if (local == "p") {
            if (m_paragraph != kNoIndex)
                throw FormatError("a paragraph inside a paragraph");
            StoryMap::Paragraph p;
            p.element = record(StoryMap::ElementKind::Paragraph);
            p.contentBegin = static_cast<std::uint32_t>(m_x.tagEnd);
            m_map.paragraphs.push_back(p);
            m_paragraph = static_cast<std::uint32_t>(m_map.paragraphs.size() - 1);
            push(Action::Paragraph, p.element);
        } else if (local == "pPr" && !m_frames.empty() && m_frames.back().action == Action::Paragraph) {
            skip(Action::ParagraphProperties);
        } else if (local == "r" && m_paragraph != kNoIndex) {
            m_run = record(StoryMap::ElementKind::Run);
            m_segment = kNoIndex;
            m_runPropertiesBegin = m_runPropertiesEnd = 0;
            m_map.paragraphs[m_paragraph].lastRun = m_run;
            push(Action::Run, m_run);
        } else if (local == "rPr" && runChild) {
            skip(Action::RunProperties);
        } else if (local == "fldChar") {
            const std::string *type = wordAttribute("fldCharType");
            if (type && *type == "begin") {
                m_fields.push_back(true);
                ++m_inFieldCode;
            } else if (type && *type == "separate" && !m_fields.empty() && m_fields.back()) {
                m_fields.back() = false;
                --m_inFieldCode;
            } else if (type && *type == "end" && !m_fields.empty()) {
                m_inFieldCode -= m_fields.back();
                m_fields.pop_back();
            }
            skip(Action::Skip);
        } else if (local == "tc") {
            m_cells.push_back(m_story.size());
            push(Action::Cell, record(StoryMap::ElementKind::Other));
        } else if (local == "tr") {
            push(Action::Row, record(StoryMap::ElementKind::Other));
        } else if (OneOf(local, kSkipped) || local == "t" || local == "pPr" || local == "rPr" ||
                   local == "r") {
            skip(Action::Skip); // also text and runs where they cannot stand, or in a field's code
        } else {
            push(Action::Descend, record(OneOf(local, kWrappers) ? StoryMap::ElementKind::Wrapper
                                                                 : StoryMap::ElementKind::Other));
        }
    }

    char32_t SymbolCharacter() const
    {
        const std::string *code = wordAttribute("char");
        char32_t c = 0;
        if (code && !code->empty() && code->size() <= 6)
            for (char d : *code) {
                int v = d >= '0' && d <= '9'   ? d - '0'
                        : d >= 'a' && d <= 'f' ? d - 'a' + 10
                        : d >= 'A' && d <= 'F' ? d - 'A' + 10
                                               : -1;
                if (v < 0) {
                    c = 0;
                    break;
                }
                c = c * 16 + static_cast<char32_t>(v);
            }
        if (!XmlAllows(c) || c < 0x20)
            throw FormatError("a symbol character (w:sym) without a valid character code");
        return c;
    }

    void end()
    {
        Frame frame = m_frames.back();
        m_frames.pop_back();
        if (frame.element != kNoIndex) {
            StoryMap::Element &e = m_map.elements[frame.element];
            e.endBegin = static_cast<std::uint32_t>(m_x.tagBegin);
            e.endEnd = static_cast<std::uint32_t>(m_x.tagEnd);
        }
        switch (frame.action) {
        case Action::Text:
            m_map.segments[m_segment].end = static_cast<std::uint32_t>(m_x.tagEnd);
            break;
        case Action::Run:
            m_run = m_segment = kNoIndex;
            break;
        case Action::Paragraph:
            if (!m_map.paragraphs[m_paragraph].markDeleted)
                add(kParagraphMark, StoryMap::Unit::Paragraph, m_paragraph);
            m_paragraph = kNoIndex;
            break;
        case Action::Cell: {
            // The cell's last paragraph mark is its cell mark.
            const std::size_t from = m_cells.back();
            m_cells.pop_back();
            if (m_story.size() > from && m_story.back() == kParagraphMark &&
                m_lastUnit == StoryMap::Unit::Paragraph) {
                m_story.back() = kCellMark;
                m_lastUnit = StoryMap::Unit::Cell;
                if (m_mapChars)
                    m_map.chars.back().unit = StoryMap::Unit::Cell;
            } else {
                add(kCellMark, StoryMap::Unit::Cell, kNoIndex);
            }
            break;
        }
        case Action::Row:
            add(kRowMark, StoryMap::Unit::Row, kNoIndex);
            break;
        default:
            if (m_x.uri == kCompatibilityNamespace && m_x.local == "AlternateContent")
                --m_alternate;
            break;
        }
    }
};

} // namespace

std::u32string ReadDocxPart(std::string_view xml, StoryMap *map)
{
    StoryMap local;
    DocxWalker walker(xml, map ? *map : local, map != nullptr);
    return walker.walk();
}

} // namespace vexlo::doc
