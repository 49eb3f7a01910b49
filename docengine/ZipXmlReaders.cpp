#include "docengine/Readers.h"

#include "docengine/Document.h"
#include "docengine/TextCodec.h"

#include <pugixml.hpp>
#include <zip.h>

#include <cstring>
#include <memory>

namespace vexlo::doc {

namespace {

// One member of a zip archive held in memory. Throws FormatError when it is missing.
std::string ZipMember(std::string_view bytes, const char *name, const char *kind)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t *source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
    if (!source)
        throw FormatError(std::string("not a readable ") + kind + " document");
    zip_t *archive = zip_open_from_source(source, ZIP_RDONLY, &error);
    if (!archive) {
        zip_source_free(source);
        throw FormatError(std::string("not a readable ") + kind + " document (broken zip archive)");
    }
    std::unique_ptr<zip_t, int (*)(zip_t *)> closer(archive, zip_close);
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat(archive, name, 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE))
        throw FormatError(std::string("not a ") + kind + " document: no " + name);
    // The size a member declares is checked before anything is allocated for it: a few
    // hundred bytes of zip may declare gigabytes.
    constexpr zip_uint64_t kMaxMemberSize = 64u << 20, kMaxCompressionRatio = 200, kRatioFreeSize = 1u << 20;
    if (stat.size > kMaxMemberSize)
        throw FormatError(std::string(name) + " of the " + kind + " document is larger than " +
                          std::to_string(kMaxMemberSize >> 20) + " MB, the most read of a part");
    if (stat.size > kRatioFreeSize &&
        (!(stat.valid & ZIP_STAT_COMP_SIZE) || stat.size / kMaxCompressionRatio > stat.comp_size))
        throw FormatError(std::string(name) + " of the " + kind + " document inflates more than " +
                          std::to_string(kMaxCompressionRatio) + " times its compressed size");
    zip_file_t *file = zip_fopen(archive, name, 0);
    if (!file)
        throw FormatError(std::string("cannot read ") + name + " of the " + kind + " document");
    std::string out(stat.size, '\0');
    zip_int64_t got = zip_fread(file, out.data(), out.size());
    zip_fclose(file);
    if (got < 0 || static_cast<zip_uint64_t>(got) != stat.size)
        throw FormatError(std::string("cannot read ") + name + " of the " + kind + " document");
    return out;
}

pugi::xml_document ParseXml(const std::string &xml, const char *kind)
{
    pugi::xml_document document;
    if (!document.load_buffer(xml.data(), xml.size(), pugi::parse_default | pugi::parse_ws_pcdata))
        throw FormatError(std::string("the ") + kind + " document's XML cannot be read");
    return document;
}

bool Named(const pugi::xml_node &node, const char *name)
{
    return std::strcmp(node.name(), name) == 0;
}

void DocxWalk(const pugi::xml_node &node, std::u32string &story)
{
    for (pugi::xml_node child : node.children()) {
        if (child.type() != pugi::node_element)
            continue;
        const char *name = child.name();
        if (Named(child, "w:t")) {
            story += FromUtf8(child.text().get());
        } else if (Named(child, "w:tab")) {
            story += U'\t';
        } else if (Named(child, "w:br")) {
            std::string type = child.attribute("w:type").value();
            story += type == "page" ? kPageBreak : type == "column" ? kColumnBreak : kLineBreak;
        } else if (Named(child, "w:cr")) {
            story += kLineBreak;
        } else if (Named(child, "w:noBreakHyphen")) {
            story += kNonbreakingHyphen;
        } else if (Named(child, "w:softHyphen")) {
            story += kOptionalHyphen;
        } else if (Named(child, "w:p")) {
            DocxWalk(child, story);
            story += kParagraphMark;
        } else if (Named(child, "w:pPr") || Named(child, "w:rPr") || Named(child, "w:del") ||
                   Named(child, "w:instrText") || Named(child, "mc:Fallback") || Named(child, "w:sectPr")) {
            continue; // properties, deleted text, field codes, duplicate fallback content
        } else if (std::strncmp(name, "w:", 2) == 0 || std::strncmp(name, "mc:", 3) == 0 ||
                   std::strncmp(name, "w14:", 4) == 0) {
            DocxWalk(child, story); // runs, hyperlinks, tables, cells, content controls
        }
    }
}

// Text of a paragraph: white space in the XML collapses to one space (text:s stands for more).
void OdtText(const char *value, std::u32string &story)
{
    for (char32_t c : FromUtf8(value)) {
        bool space = c == U' ' || c == U'\t' || c == U'\n' || c == U'\r';
        if (space && !story.empty() && story.back() == U' ')
            continue;
        story += space ? U' ' : c;
    }
}

void OdtWalk(const pugi::xml_node &node, std::u32string &story, bool inParagraph)
{
    for (pugi::xml_node child : node.children()) {
        if (child.type() == pugi::node_pcdata) {
            if (inParagraph)
                OdtText(child.value(), story);
            continue;
        }
        if (child.type() != pugi::node_element)
            continue;
        if (Named(child, "text:p") || Named(child, "text:h")) {
            OdtWalk(child, story, true);
            story += kParagraphMark;
        } else if (Named(child, "text:s")) {
            int count = child.attribute("text:c").as_int(1);
            story.append(static_cast<std::size_t>(count > 0 ? count : 1), U' ');
        } else if (Named(child, "text:tab")) {
            story += U'\t';
        } else if (Named(child, "text:line-break")) {
            story += kLineBreak;
        } else if (Named(child, "text:soft-hyphen")) {
            story += kOptionalHyphen;
        } else if (Named(child, "text:note") || Named(child, "office:annotation") ||
                   Named(child, "text:tracked-changes") || Named(child, "text:sequence-decls")) {
            continue;
        } else {
            OdtWalk(child, story, inParagraph); // spans, links, lists, tables, sections
        }
    }
}

} // namespace

std::u32string ReadDocx(std::string_view bytes)
{
    pugi::xml_document xml = ParseXml(ZipMember(bytes, "word/document.xml", "Word"), "Word");
    pugi::xml_node body = xml.child("w:document").child("w:body");
    if (!body)
        throw FormatError("not a Word document: no document body");
    std::u32string story;
    DocxWalk(body, story);
    return story;
}

std::u32string ReadOdt(std::string_view bytes)
{
    pugi::xml_document xml = ParseXml(ZipMember(bytes, "content.xml", "OpenDocument"), "OpenDocument");
    pugi::xml_node text = xml.child("office:document-content").child("office:body").child("office:text");
    if (!text)
        throw FormatError("not an OpenDocument text: no text body");
    std::u32string story;
    OdtWalk(text, story, false);
    return story;
}

} // namespace vexlo::doc
