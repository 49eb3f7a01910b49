// Replacements made inside the XML of a document's main part: only the character content a
// replacement touches is written anew (in the run or span of the match's first character, so
// the replacement takes its formatting); paragraphs are split and joined through their tags;
// every other byte stays as it was. The result is read back and must give the edited story.
#include "docengine/Document.h"
#include "docengine/OfficeStory.h"
#include "docengine/Readers.h"
#include "docengine/XmlScanner.h"

#include <algorithm>
#include <map>

namespace vexlo::doc {

namespace {

constexpr std::string_view kWordNamespace = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";
constexpr std::string_view kWordStrictNamespace = "http://purl.oclc.org/ooxml/wordprocessingml/main";
constexpr std::string_view kTextNamespace = "urn:oasis:names:tc:opendocument:xmlns:text:1.0";

struct Splice {
    std::size_t begin, end;
    std::string text;
};

FormatError Refuse(const std::string &why)
{
    return FormatError("the replacements cannot be made inside this document: " + why);
}

// A piece of the story as the user would type it in a find text: structure as caret codes,
// long text cut short.
std::string Shown(std::u32string_view text)
{
    constexpr std::size_t kLongest = 40;
    std::u32string shown;
    for (char32_t c : text.substr(0, kLongest)) {
        if (c == kParagraphMark)
            shown += U"^p";
        else if (c == U'\t')
            shown += U"^t";
        else if (c < 0x20)
            for (char d : "^" + std::to_string(static_cast<unsigned>(c)))
                shown += static_cast<char32_t>(d);
        else
            shown += c;
    }
    if (text.size() > kLongest)
        shown += U"…";
    return ToUtf8(shown);
}

bool Blank(std::string_view s)
{
    return s.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

class Editor {
  public:
    Editor(std::string_view xml, const StoryMap &map, std::u32string_view story, bool odt)
        : m_xml(xml), m_map(map), m_story(story), m_odt(odt)
    {
        m_segmentFirst.assign(map.segments.size(), kNoIndex);
        m_segmentEnd.assign(map.segments.size(), 0);
        for (std::size_t i = 0; i < map.chars.size(); ++i)
            if (map.chars[i].unit == StoryMap::Unit::Segment) {
                const std::uint32_t s = map.chars[i].index;
                if (m_segmentFirst[s] == kNoIndex)
                    m_segmentFirst[s] = static_cast<std::uint32_t>(i);
                m_segmentEnd[s] = static_cast<std::uint32_t>(i + 1);
            }
        const bool strict = xml.find(kWordStrictNamespace) != std::string_view::npos &&
                            xml.find(kWordNamespace) == std::string_view::npos;
        m_namespace = odt ? kTextNamespace : strict ? kWordStrictNamespace : kWordNamespace;
    }

    std::string edit(const std::vector<StoryEdit> &edits)
    {
        m_deleted.assign(m_story.size(), false);
        std::vector<bool> touched(m_map.segments.size(), false);
        std::vector<bool> joined(m_map.paragraphs.size(), false);
        std::size_t last = 0;
        for (const StoryEdit &e : edits) {
            if (e.start < last || e.end < e.start || e.end > m_story.size())
                throw Refuse("the replacements are out of order");
            last = e.end;
            for (std::size_t i = e.start; i < e.end; ++i) {
                if (i >= m_map.chars.size())
                    throw Refuse("a replacement reaches the end of the document");
                const StoryMap::Char &c = m_map.chars[i];
                m_deleted[i] = true;
                if (c.unit == StoryMap::Unit::Segment) {
                    if (!m_map.segments[c.index].editable)
                        throw Refuse("a replacement touches content written for other programs");
                    touched[c.index] = true;
                } else if (c.unit == StoryMap::Unit::Paragraph) {
                    joined[c.index] = true;
                } else {
                    throw Refuse(
                        "the text found at character " + std::to_string(e.start + 1) + " (\"" +
                        Shown(m_story.substr(e.start, e.end - e.start)) +
                        "\") takes in the end of a table cell or row, which a replacement cannot remove");
                }
            }
            if (!e.text.empty())
                anchor(e, touched);
        }
        std::vector<Splice> splices;
        for (std::size_t s = 0; s < touched.size(); ++s)
            if (touched[s])
                splices.push_back(regenerate(static_cast<std::uint32_t>(s)));
        for (auto &[paragraph, text] : m_paragraphEnd)
            splices.push_back(paragraphEnd(paragraph, text));
        join(joined, splices);
        std::stable_sort(splices.begin(), splices.end(), [](const Splice &a, const Splice &b) {
            return a.begin != b.begin ? a.begin < b.begin : a.end < b.end;
        });
        std::string out;
        out.reserve(m_xml.size() + 256);
        std::size_t at = 0;
        for (const Splice &s : splices) {
            if (s.begin < at)
                throw Refuse("two replacements meet in one place of the XML");
            out.append(m_xml, at, s.begin - at);
            out += s.text;
            at = s.end;
        }
        out.append(m_xml, at, std::string_view::npos);
        return out;
    }

  private:
    std::string_view m_xml;
    const StoryMap &m_map;
    std::u32string_view m_story;
    bool m_odt;
    std::string_view m_namespace;
    std::vector<std::uint32_t> m_segmentFirst, m_segmentEnd;
    std::vector<bool> m_deleted;
    // Inserted text by segment and the story position it goes before.
    std::map<std::pair<std::uint32_t, std::size_t>, std::u32string> m_inserts;
    std::map<std::uint32_t, std::u32string> m_paragraphEnd;

    void anchor(const StoryEdit &e, std::vector<bool> &touched)
    {
        for (char32_t c : e.text) {
            const bool special =
                c == kParagraphMark || c == U'\t' || c == kLineBreak || c == kOptionalHyphen ||
                (!m_odt && (c == kPageBreak || c == kColumnBreak || c == kNonbreakingHyphen));
            if (!special && (c < 0x20 || !XmlAllows(c)))
                throw Refuse(c == kCellMark
                                 ? "a table cell mark cannot be inserted"
                                 : "the replacement holds a character this format cannot hold here");
        }
        const auto &chars = m_map.chars;
        const std::size_t at = e.start;
        if (at < chars.size() && chars[at].unit == StoryMap::Unit::Segment) {
            m_inserts[{chars[at].index, at}] += e.text;
            touched[chars[at].index] = true;
        } else if (at < chars.size() && chars[at].index != kNoIndex &&
                   (chars[at].unit == StoryMap::Unit::Paragraph || chars[at].unit == StoryMap::Unit::Cell)) {
            m_paragraphEnd[chars[at].index] += e.text;
        } else if (at > 0 && at - 1 < chars.size() && chars[at - 1].unit == StoryMap::Unit::Segment) {
            m_inserts[{chars[at - 1].index, at}] += e.text;
            touched[chars[at - 1].index] = true;
        } else {
            throw Refuse("there is no text to take the replacement's formatting from");
        }
    }

    std::string_view qname(std::uint32_t element) const
    {
        std::string_view tag = m_xml.substr(m_map.elements[element].tagBegin + 1);
        return tag.substr(0, tag.find_first_of(" \t\r\n/>"));
    }

    std::string_view startTag(std::uint32_t element) const
    {
        const StoryMap::Element &e = m_map.elements[element];
        return m_xml.substr(e.tagBegin, e.tagEnd - e.tagBegin);
    }

    std::string prefixOf(std::uint32_t element) const
    {
        std::string_view q = qname(element);
        std::size_t colon = q.find(':');
        return colon == std::string_view::npos ? std::string() : std::string(q.substr(0, colon + 1));
    }

    // A start tag for the paragraph made by a split: the original's, without identifiers that
    // must stay unique.
    std::string newParagraphTag(std::uint32_t element) const
    {
        std::string tag(startTag(element));
        static constexpr std::string_view kOdtIds[] = {"xml:id", "text:id"};
        static constexpr std::string_view kDocxIds[] = {"w14:paraId", "w14:textId"};
        for (std::string_view id : m_odt ? kOdtIds : kDocxIds) {
            const std::string name(id); // named first: GCC 12 warns wrongly (-Wrestrict) on " " + a temporary
            std::size_t at = tag.find(" " + name + "=");
            if (at == std::string::npos)
                continue;
            char quote = tag[at + id.size() + 2];
            std::size_t close = tag.find(quote, at + id.size() + 3);
            if (close != std::string::npos)
                tag.erase(at, close + 1 - at);
        }
        return tag;
    }

    // An attribute of the format's namespace on an element written with `prefix`.
    std::string attribute(const std::string &prefix, std::string_view local, std::string_view value) const
    {
        if (!prefix.empty())
            return " " + prefix + std::string(local) + "=\"" + std::string(value) + "\"";
        return " xmlns:vx=\"" + std::string(m_namespace) + "\" vx:" + std::string(local) + "=\"" +
               std::string(value) + "\"";
    }

    // Closes the content from `inner` (a run, span or the paragraph itself) up to the paragraph
    // and opens it again in a new paragraph with the same properties.
    std::string split(std::uint32_t inner, std::uint32_t paragraphIndex, std::string_view properties) const
    {
        const StoryMap::Paragraph &p = m_map.paragraphs[paragraphIndex];
        if (p.sectionBreak || p.markDeleted)
            throw Refuse(
                "a paragraph that ends a section or whose mark is a tracked deletion cannot be split");
        std::vector<std::uint32_t> chain; // inner to outer, the paragraph left out
        for (std::uint32_t e = inner; e != p.element; e = m_map.elements[e].parent) {
            if (e == kNoIndex)
                throw Refuse("the text is not in its paragraph");
            const auto kind = m_map.elements[e].kind;
            if (kind != StoryMap::ElementKind::Wrapper && kind != StoryMap::ElementKind::Run)
                throw Refuse("a paragraph cannot be split inside a field, content control or similar");
            chain.push_back(e);
        }
        std::string out;
        for (std::uint32_t e : chain)
            out += "</" + std::string(qname(e)) + ">";
        out += "</" + std::string(qname(p.element)) + ">" + newParagraphTag(p.element);
        if (p.propertiesEnd > p.propertiesBegin)
            out.append(m_xml, p.propertiesBegin, p.propertiesEnd - p.propertiesBegin);
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            out += startTag(*it);
            if (m_map.elements[*it].kind == StoryMap::ElementKind::Run)
                out += properties;
        }
        return out;
    }

    // Characters written in the format's own elements; `kept` marks story characters whose
    // own element (a symbol, a break) is copied.
    struct Item {
        char32_t c;
        std::size_t kept; // story index, or npos for inserted text
    };

    std::string encode(const std::vector<Item> &items, const std::string &prefix, std::uint32_t inner,
                       std::uint32_t paragraph, std::string_view properties) const
    {
        return m_odt ? encodeOdt(items, prefix, inner, paragraph)
                     : encodeDocx(items, prefix, inner, paragraph, properties);
    }

    std::string encodeDocx(const std::vector<Item> &items, const std::string &w, std::uint32_t run,
                           std::uint32_t paragraph, std::string_view properties) const
    {
        std::string out;
        bool inText = false;
        auto element = [&](const std::string &xml) {
            if (inText)
                out += "</" + w + "t>";
            inText = false;
            out += xml;
        };
        for (const Item &item : items) {
            if (item.kept != std::string::npos) {
                const StoryMap::Char &c = m_map.chars[item.kept];
                if (c.end > c.begin) {
                    element(std::string(m_xml.substr(c.begin, c.end - c.begin)));
                    continue;
                }
            }
            switch (item.c) {
            case U'\t':
                element("<" + w + "tab/>");
                break;
            case kLineBreak:
                element("<" + w + "br/>");
                break;
            case kPageBreak:
                element("<" + w + "br" + attribute(w, "type", "page") + "/>");
                break;
            case kColumnBreak:
                element("<" + w + "br" + attribute(w, "type", "column") + "/>");
                break;
            case kNonbreakingHyphen:
                element("<" + w + "noBreakHyphen/>");
                break;
            case kOptionalHyphen:
                element("<" + w + "softHyphen/>");
                break;
            case kParagraphMark:
                element(split(run, paragraph, properties));
                break;
            default:
                if (!inText)
                    out += "<" + w + "t xml:space=\"preserve\">";
                inText = true;
                AppendXmlEscaped(out, item.c);
            }
        }
        if (inText)
            out += "</" + w + "t>";
        return out;
    }

    std::string encodeOdt(const std::vector<Item> &items, const std::string &t, std::uint32_t inner,
                          std::uint32_t paragraph) const
    {
        // A space is written as such only between two other characters written as such;
        // elsewhere text:s keeps it from collapsing with white space next to it.
        auto literal = [&](std::size_t k) {
            if (k >= items.size())
                return false;
            char32_t c = items[k].c;
            return c >= 0x20 && c != U' ';
        };
        std::string out;
        for (std::size_t k = 0; k < items.size();) {
            const char32_t c = items[k].c;
            if (c == U' ') {
                std::size_t n = 0;
                while (k + n < items.size() && items[k + n].c == U' ')
                    ++n;
                if (n == 1 && k > 0 && literal(k - 1) && literal(k + 1))
                    out += ' ';
                else
                    out +=
                        "<" + t + "s" + (n > 1 ? attribute(t, "c", std::to_string(n)) : std::string()) + "/>";
                k += n;
                continue;
            }
            if (c == U'\t')
                out += "<" + t + "tab/>";
            else if (c == kLineBreak)
                out += "<" + t + "line-break/>";
            else if (c == kOptionalHyphen)
                out += "<" + t + "soft-hyphen/>";
            else if (c == kParagraphMark)
                out += split(inner, paragraph, {});
            else
                AppendXmlEscaped(out, c);
            ++k;
        }
        return out;
    }

    Splice regenerate(std::uint32_t s)
    {
        const StoryMap::Segment &segment = m_map.segments[s];
        std::vector<Item> items;
        const std::size_t first = m_segmentFirst[s], end = m_segmentEnd[s];
        if (m_segmentFirst[s] != kNoIndex)
            items.reserve(m_segmentEnd[s] - m_segmentFirst[s] + 8);
        // The inserts into this segment, in the order of the positions they go before.
        auto next = m_inserts.lower_bound({s, 0});
        auto inserted = [&](std::size_t before) {
            if (next != m_inserts.end() && next->first.first == s && next->first.second == before) {
                for (char32_t c : next->second)
                    items.push_back({c, std::string::npos});
                ++next;
            }
        };
        if (first != kNoIndex)
            for (std::size_t i = first; i < end; ++i) {
                inserted(i);
                if (!m_deleted[i])
                    items.push_back({m_story[i], i});
            }
        inserted(end);
        if (next != m_inserts.end() && next->first.first == s)
            throw Refuse("a replacement has no place in the text it goes with");
        const std::string_view properties =
            m_xml.substr(segment.propertiesBegin, segment.propertiesEnd - segment.propertiesBegin);
        return {segment.begin, segment.end,
                encode(items, prefixOf(m_odt ? m_map.paragraphs[segment.paragraph].element : segment.element),
                       segment.element, segment.paragraph, properties)};
    }

    // Text put at the end of a paragraph (a match that begins with its mark).
    Splice paragraphEnd(std::uint32_t paragraph, const std::u32string &text) const
    {
        const StoryMap::Paragraph &p = m_map.paragraphs[paragraph];
        const StoryMap::Element &element = m_map.elements[p.element];
        std::vector<Item> items;
        for (char32_t c : text)
            items.push_back({c, std::string::npos});
        const std::string prefix = prefixOf(p.element);
        if (m_odt)
            return {element.endBegin, element.endBegin, encode(items, prefix, p.element, paragraph, {})};
        // The last run of the paragraph lends its formatting to a new run.
        std::string_view properties;
        for (const StoryMap::Segment &s : m_map.segments)
            if (s.paragraph == paragraph)
                properties = m_xml.substr(s.propertiesBegin, s.propertiesEnd - s.propertiesBegin);
        std::string body = encodeDocx(items, prefix, p.element, paragraph, properties);
        // A split inside the new run closes and opens it too.
        std::string open = "<" + prefix + "r>" + std::string(properties);
        std::string close = "</" + prefix + "r>";
        std::string marker = "</" + std::string(qname(p.element)) + ">" + newParagraphTag(p.element);
        for (std::size_t at = 0; (at = body.find(marker, at)) != std::string::npos;) {
            body.insert(at, close);
            at += close.size() + marker.size();
            std::size_t after = at + (p.propertiesEnd - p.propertiesBegin);
            body.insert(after, open);
            at = after + open.size();
        }
        return {element.endBegin, element.endBegin, open + body + close};
    }

    void join(const std::vector<bool> &joined, std::vector<Splice> &splices) const
    {
        std::uint32_t root = kNoIndex; // the first paragraph of a run of joined ones
        for (std::uint32_t p = 0; p < joined.size(); ++p) {
            if (!joined[p]) {
                if (root != kNoIndex) {
                    const StoryMap::Element &e = m_map.elements[m_map.paragraphs[p].element];
                    std::string closing = "</" + std::string(qname(m_map.paragraphs[root].element)) + ">";
                    if (m_xml.substr(e.endBegin, e.endEnd - e.endBegin) != closing)
                        splices.push_back({e.endBegin, e.endEnd, closing});
                }
                root = kNoIndex;
                continue;
            }
            if (root == kNoIndex)
                root = p;
            if (p + 1 >= m_map.paragraphs.size())
                throw Refuse("the last paragraph mark cannot be removed");
            const StoryMap::Paragraph &first = m_map.paragraphs[p], &next = m_map.paragraphs[p + 1];
            const StoryMap::Element &a = m_map.elements[first.element], &b = m_map.elements[next.element];
            if (a.parent != b.parent || !Blank(m_xml.substr(a.endEnd, b.tagBegin - a.endEnd)))
                throw Refuse("paragraphs in different places (a table, a list, a section) cannot be joined");
            if (next.sectionBreak)
                throw Refuse("a paragraph that ends a section cannot be joined to the one before it");
            splices.push_back({a.endBegin, next.contentBegin, {}});
        }
    }
};

std::u32string Applied(std::u32string_view story, const std::vector<StoryEdit> &edits)
{
    std::u32string out;
    std::size_t at = 0;
    for (const StoryEdit &e : edits) {
        out.append(story.substr(at, e.start - at));
        out += e.text;
        at = e.end;
    }
    out.append(story.substr(at));
    return out;
}

using Reader = std::u32string (*)(std::string_view, StoryMap *);

std::string EditMappedPart(std::string_view xml, const StoryMap &map, std::u32string_view story,
                           const std::vector<StoryEdit> &edits, Reader read, bool odt)
{
    // The story the map was made from, without the final mark that may have been added to it.
    if (story.size() != map.chars.size() && story.size() != map.chars.size() + 1)
        throw Refuse("the document is not the one that was read");
    const std::u32string_view read0 = story.substr(0, map.chars.size());
    Editor editor(xml, map, read0, odt);
    std::string out = editor.edit(edits);
    // Read back, the part must give the edited story.
    if (read(out, nullptr) != Applied(read0, edits))
        throw Refuse("the edited document would not read as the replaced text");
    return out;
}

std::string EditPart(std::string_view xml, std::u32string_view story, const std::vector<StoryEdit> &edits,
                     Reader read, bool odt)
{
    StoryMap map;
    const std::u32string read0 = read(xml, &map);
    // The story the document gave when it was opened, the final mark perhaps added to it.
    if (story != read0 && !(story.size() == read0.size() + 1 && story.substr(0, read0.size()) == read0))
        throw Refuse("the document is not the one that was read");
    return EditMappedPart(xml, map, read0, edits, read, odt);
}

} // namespace

std::string EditDocxPart(std::string_view xml, std::u32string_view story, const std::vector<StoryEdit> &edits)
{
    return EditPart(xml, story, edits, ReadDocxPart, false);
}

std::string EditOdtPart(std::string_view xml, std::u32string_view story, const std::vector<StoryEdit> &edits)
{
    return EditPart(xml, story, edits, ReadOdtPart, true);
}

std::string EditMappedDocxPart(std::string_view xml, const StoryMap &map, std::u32string_view story,
                               const std::vector<StoryEdit> &edits)
{
    return EditMappedPart(xml, map, story, edits, ReadDocxPart, false);
}

std::string EditMappedOdtPart(std::string_view xml, const StoryMap &map, std::u32string_view story,
                              const std::vector<StoryEdit> &edits)
{
    return EditMappedPart(xml, map, story, edits, ReadOdtPart, true);
}

} // namespace vexlo::doc
