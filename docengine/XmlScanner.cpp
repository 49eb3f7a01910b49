#include "docengine/XmlScanner.h"

#include "docengine/Readers.h"

namespace vexlo::doc {

namespace {

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool IsNameChar(char c)
{
    return !IsSpace(c) && c != '>' && c != '/' && c != '=' && c != '<' && c != '"' && c != '\'' && c != '&' &&
           c != '\0';
}

constexpr std::string_view kXmlNamespace = "http://www.w3.org/XML/1998/namespace";

// Decodes one UTF-8 sequence at `at`; returns 0 for a malformed one.
char32_t DecodeUtf8(std::string_view s, std::size_t &at)
{
    auto b = static_cast<unsigned char>(s[at]);
    if (b < 0x80) {
        ++at;
        return b;
    }
    const int extra = b >= 0xF0 && b <= 0xF4 ? 3 : b >= 0xE0 && b < 0xF0 ? 2 : b >= 0xC2 && b < 0xE0 ? 1 : -1;
    if (extra < 0 || at + static_cast<std::size_t>(extra) >= s.size())
        return 0;
    char32_t c = b & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
        auto n = static_cast<unsigned char>(s[at + k]);
        if ((n & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (n & 0x3F);
    }
    const char32_t least[] = {0, 0x80, 0x800, 0x10000};
    if (c < least[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return 0;
    at += static_cast<std::size_t>(extra) + 1;
    return c;
}

} // namespace

bool XmlAllows(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

void AppendXmlEscaped(std::string &out, char32_t c)
{
    if (c == U'&')
        out += "&amp;";
    else if (c == U'<')
        out += "&lt;";
    else if (c == U'>')
        out += "&gt;";
    else
        AppendUtf8(out, c);
}

void AppendUtf8(std::string &out, char32_t c)
{
    if (c < 0x80)
        out += static_cast<char>(c);
    else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

XmlScanner::XmlScanner(std::string_view xml) : m_xml(xml)
{
    if (m_xml.substr(0, 3) == "\xEF\xBB\xBF")
        m_pos = 3;
    else if (m_xml.substr(0, 2) == "\xFF\xFE" || m_xml.substr(0, 2) == "\xFE\xFF")
        fail("it is not in UTF-8");
}

void XmlScanner::fail(const std::string &why) const
{
    throw FormatError("the XML cannot be read: " + why + " (at byte " + std::to_string(m_pos) + ")");
}

void XmlScanner::skipPast(std::string_view terminator)
{
    std::size_t at = m_xml.find(terminator, m_pos);
    if (at == std::string_view::npos)
        fail("unterminated markup");
    m_pos = at + terminator.size();
}

void XmlScanner::spaces()
{
    while (m_pos < m_xml.size() && IsSpace(m_xml[m_pos]))
        ++m_pos;
}

std::string_view XmlScanner::name()
{
    std::size_t from = m_pos;
    while (m_pos < m_xml.size() && IsNameChar(m_xml[m_pos]))
        ++m_pos;
    if (from == m_pos)
        fail("a name is missing");
    return m_xml.substr(from, m_pos - from);
}

std::string_view XmlScanner::resolve(std::string_view name) const
{
    if (name == "xml")
        return kXmlNamespace;
    for (auto it = m_bindings.rbegin(); it != m_bindings.rend(); ++it)
        if (it->prefix == name)
            return it->uri;
    return {};
}

const std::string *XmlScanner::attribute(std::string_view namespaceUri, std::string_view localName) const
{
    for (const XmlAttribute &a : attributes)
        if (a.local == localName && a.uri == namespaceUri)
            return &a.value;
    return nullptr;
}

void XmlScanner::decodeInto(std::string_view raw, std::u32string &out, bool attribute)
{
    out.reserve(out.size() + raw.size());
    for (std::size_t i = 0; i < raw.size();) {
        // Printable ASCII needs no decoding: the bulk of a document's text.
        std::size_t plain = i;
        while (plain < raw.size() && raw[plain] >= 0x20 && raw[plain] < 0x7F && raw[plain] != '&')
            ++plain;
        if (plain > i) {
            const std::size_t from = out.size();
            out.resize(from + (plain - i));
            for (std::size_t k = i; k < plain; ++k)
                out[from + (k - i)] = static_cast<unsigned char>(raw[k]);
            i = plain;
            continue;
        }
        char ch = raw[i];
        if (ch == '&') {
            std::size_t semi = raw.find(';', i);
            if (semi == std::string_view::npos || semi - i > 12)
                fail("a broken entity reference");
            std::string_view entity = raw.substr(i + 1, semi - i - 1);
            char32_t c = 0;
            if (entity == "lt")
                c = U'<';
            else if (entity == "gt")
                c = U'>';
            else if (entity == "amp")
                c = U'&';
            else if (entity == "quot")
                c = U'"';
            else if (entity == "apos")
                c = U'\'';
            else if (entity.size() > 1 && entity[0] == '#') {
                bool hex = entity[1] == 'x';
                std::string_view digits = entity.substr(hex ? 2 : 1);
                if (digits.empty())
                    fail("a broken character reference");
                std::uint32_t value = 0;
                for (char d : digits) {
                    int v = d >= '0' && d <= '9'          ? d - '0'
                            : hex && d >= 'a' && d <= 'f' ? d - 'a' + 10
                            : hex && d >= 'A' && d <= 'F' ? d - 'A' + 10
                                                          : -1;
                    if (v < 0 || value > 0x10FFFF)
                        fail("a broken character reference");
                    value = value * (hex ? 16 : 10) + static_cast<std::uint32_t>(v);
                }
                c = value;
                if (!XmlAllows(c))
                    fail("a reference to a character XML does not allow (&" + std::string(entity) + ";)");
            } else {
                fail("an undeclared entity &" + std::string(entity) + ";");
            }
            out += c;
            i = semi + 1;
            continue;
        }
        if (ch == '\r') { // CR LF and a lone CR are read as LF
            out += attribute ? U' ' : U'\n';
            i += (i + 1 < raw.size() && raw[i + 1] == '\n') ? 2 : 1;
            continue;
        }
        std::size_t at = i;
        char32_t c = DecodeUtf8(raw, at);
        if (c == 0 || !XmlAllows(c))
            fail("a byte that is not a valid character");
        if (attribute && (c == U'\t' || c == U'\n'))
            c = U' ';
        out += c;
        i = at;
    }
}

XmlScanner::Token XmlScanner::next()
{
    if (m_pendingEnd) {
        m_pendingEnd = false;
        tagBegin = tagEnd;
        std::size_t depth = m_open.size();
        m_open.pop_back();
        while (!m_bindings.empty() && m_bindings.back().depth == depth)
            m_bindings.pop_back();
        return Token::End;
    }
    for (;;) {
        if (m_pos >= m_xml.size()) {
            if (!m_open.empty() || !m_sawRoot)
                fail("the document ends too early");
            return Token::Eof;
        }
        if (m_xml[m_pos] != '<') {
            std::size_t from = m_pos;
            std::size_t lt = m_xml.find('<', m_pos);
            m_pos = lt == std::string_view::npos ? m_xml.size() : lt;
            std::string_view raw = m_xml.substr(from, m_pos - from);
            if (m_open.empty()) { // outside the root only white space is allowed
                for (char c : raw)
                    if (!IsSpace(c))
                        fail("text outside the root element");
                continue;
            }
            text.clear();
            decodeInto(raw, text, false);
            tagBegin = from;
            tagEnd = m_pos;
            return Token::Text;
        }
        std::string_view rest = m_xml.substr(m_pos);
        if (rest.substr(0, 4) == "<!--") {
            skipPast("-->");
        } else if (rest.substr(0, 9) == "<![CDATA[") {
            if (m_open.empty())
                fail("text outside the root element");
            std::size_t from = m_pos + 9;
            skipPast("]]>");
            text.clear();
            std::string_view raw = m_xml.substr(from, m_pos - 3 - from);
            for (std::size_t i = 0; i < raw.size();) {
                char32_t c = DecodeUtf8(raw, i);
                if (c == 0 || !XmlAllows(c))
                    fail("a byte that is not a valid character");
                text += c;
            }
            tagBegin = from - 9;
            tagEnd = m_pos;
            return Token::Text;
        } else if (rest.substr(0, 2) == "<!") {
            fail("a document type declaration");
        } else if (rest.substr(0, 2) == "<?") {
            std::size_t from = m_pos;
            skipPast("?>");
            std::string_view pi = m_xml.substr(from, m_pos - from);
            if (pi.substr(0, 6) == "<?xml " || pi.substr(0, 6) == "<?xml\t") {
                std::size_t enc = pi.find("encoding");
                if (enc != std::string_view::npos) {
                    std::size_t q = pi.find_first_of("\"'", enc);
                    std::size_t e = q == std::string_view::npos ? q : pi.find(pi[q], q + 1);
                    std::string value(q == std::string_view::npos || e == std::string_view::npos
                                          ? std::string_view()
                                          : pi.substr(q + 1, e - q - 1));
                    for (char &c : value)
                        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
                    if (value != "utf-8" && value != "utf8")
                        fail("it is not in UTF-8");
                }
            }
        } else if (rest.substr(0, 2) == "</") {
            return endTag();
        } else {
            return startTag();
        }
    }
}

XmlScanner::Token XmlScanner::startTag()
{
    if (m_open.empty() && m_sawRoot)
        fail("a second root element");
    tagBegin = m_pos;
    ++m_pos;
    qname = name();
    attributes.clear();
    const std::size_t depth = m_open.size() + 1;
    if (depth > kMaxXmlDepth)
        throw FormatError("the XML nests elements deeper than " + std::to_string(kMaxXmlDepth) +
                          " levels (the limit)");
    for (;;) {
        spaces();
        if (m_pos >= m_xml.size())
            fail("the document ends inside a tag");
        char c = m_xml[m_pos];
        if (c == '>' || c == '/')
            break;
        XmlAttribute a;
        a.qname = name();
        spaces();
        if (m_pos >= m_xml.size() || m_xml[m_pos] != '=')
            fail("an attribute without a value");
        ++m_pos;
        spaces();
        if (m_pos >= m_xml.size() || (m_xml[m_pos] != '"' && m_xml[m_pos] != '\''))
            fail("an attribute value without quotes");
        char quote = m_xml[m_pos++];
        std::size_t end = m_xml.find(quote, m_pos);
        if (end == std::string_view::npos)
            fail("the document ends inside a tag");
        std::string_view raw = m_xml.substr(m_pos, end - m_pos);
        if (raw.find('<') != std::string_view::npos)
            fail("'<' in an attribute value");
        std::u32string value;
        decodeInto(raw, value, true);
        for (char32_t v : value)
            AppendUtf8(a.value, v);
        m_pos = end + 1;
        for (const XmlAttribute &other : attributes)
            if (other.qname == a.qname)
                fail("an attribute given twice");
        attributes.push_back(std::move(a));
    }
    selfClosing = m_xml[m_pos] == '/';
    if (selfClosing) {
        ++m_pos;
        if (m_pos >= m_xml.size() || m_xml[m_pos] != '>')
            fail("a broken tag");
    }
    ++m_pos;
    tagEnd = m_pos;
    // Namespace declarations first, then the prefixes of the element and its attributes.
    // Namespace names are interned: the views stay valid after the attributes are gone.
    for (XmlAttribute &a : attributes) {
        if (a.qname == "xmlns")
            m_bindings.push_back({{}, *m_uris.insert(a.value).first, depth});
        else if (a.qname.substr(0, 6) == "xmlns:")
            m_bindings.push_back({a.qname.substr(6), *m_uris.insert(a.value).first, depth});
    }
    auto split = [&](std::string_view q, std::string_view &pre, std::string_view &loc) {
        std::size_t colon = q.find(':');
        pre = colon == std::string_view::npos ? std::string_view() : q.substr(0, colon);
        loc = colon == std::string_view::npos ? q : q.substr(colon + 1);
    };
    split(qname, prefix, local);
    uri = resolve(prefix);
    if (!prefix.empty() && uri.empty())
        fail("an undeclared namespace prefix '" + std::string(prefix) + "'");
    for (XmlAttribute &a : attributes) {
        split(a.qname, a.prefix, a.local);
        if (!a.prefix.empty() && a.prefix != "xmlns") {
            a.uri = resolve(a.prefix);
            if (a.uri.empty())
                fail("an undeclared namespace prefix '" + std::string(a.prefix) + "'");
        }
    }
    m_open.push_back(qname);
    m_sawRoot = true;
    if (selfClosing)
        m_pendingEnd = true;
    return Token::Start;
}

XmlScanner::Token XmlScanner::endTag()
{
    tagBegin = m_pos;
    m_pos += 2;
    std::string_view closing = name();
    spaces();
    if (m_pos >= m_xml.size() || m_xml[m_pos] != '>')
        fail("a broken end tag");
    ++m_pos;
    tagEnd = m_pos;
    if (m_open.empty() || m_open.back() != closing)
        fail("an end tag that does not match its start tag");
    qname = closing;
    std::size_t colon = qname.find(':');
    prefix = colon == std::string_view::npos ? std::string_view() : qname.substr(0, colon);
    local = colon == std::string_view::npos ? qname : qname.substr(colon + 1);
    uri = resolve(prefix);
    std::size_t depth = m_open.size();
    m_open.pop_back();
    while (!m_bindings.empty() && m_bindings.back().depth == depth)
        m_bindings.pop_back();
    return Token::End;
}

} // namespace vexlo::doc
