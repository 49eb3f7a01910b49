// A small pull scanner over the XML parts of office documents: it walks without recursion, keeps
// the byte offsets of every tag so that a part can be edited in place, resolves namespace
// prefixes, and refuses what a conforming parser would refuse (or what it cannot read
// faithfully: a document type declaration, a character reference to NUL, an encoding other
// than UTF-8).
#pragma once

#include <cstddef>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace vexlo::doc {

/// Elements may nest this deep; deeper XML is refused.
inline constexpr std::size_t kMaxXmlDepth = 512;

struct XmlAttribute {
    std::string_view qname, prefix, local, uri;
    std::string value; // entities resolved
};

class XmlScanner {
  public:
    enum class Token { Start, End, Text, Eof };

    explicit XmlScanner(std::string_view xml);

    /// The next token. A self-closing element gives a Start and then an End. Throws
    /// FormatError for XML that is malformed, nests deeper than kMaxXmlDepth, declares a
    /// document type or is not UTF-8.
    Token next();

    // Start and End: the element.
    std::string_view qname, prefix, local, uri;
    // Start: its attributes and the bytes of its start tag; End: the bytes of its end tag
    // (empty, at the start tag's end, for a self-closing element).
    std::vector<XmlAttribute> attributes;
    std::size_t tagBegin = 0, tagEnd = 0;
    bool selfClosing = false;
    // Text: the characters (entities resolved, line ends normalised) and their bytes.
    std::u32string text;
    std::size_t depth() const { return m_open.size(); }

    /// The value of the attribute (namespace `uri`, local name `local`), or null.
    const std::string *attribute(std::string_view namespaceUri, std::string_view localName) const;

    /// Resolves `prefix` among the namespaces declared for the current element; empty when
    /// it is not declared.
    std::string_view resolve(std::string_view name) const;

  private:
    struct Binding {
        std::string_view prefix, uri;
        std::size_t depth;
    };
    std::string_view m_xml;
    std::size_t m_pos = 0;
    std::vector<std::string_view> m_open;
    std::vector<Binding> m_bindings;
    std::set<std::string, std::less<>> m_uris;
    bool m_pendingEnd = false;
    bool m_sawRoot = false;

    [[noreturn]] void fail(const std::string &why) const;
    void skipPast(std::string_view terminator);
    std::string_view name();
    void spaces();
    void decodeInto(std::string_view raw, std::u32string &out, bool attribute);
    Token startTag();
    Token endTag();
};

/// XML text for a character: "&amp;", "&lt;", "&gt;" escaped, the rest as UTF-8.
void AppendXmlEscaped(std::string &out, char32_t c);

/// Appends the UTF-8 form of a character.
void AppendUtf8(std::string &out, char32_t c);

/// Whether XML 1.0 allows the character in a document.
bool XmlAllows(char32_t c);

} // namespace vexlo::doc
