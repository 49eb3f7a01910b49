// .docx and .odt packages: which one a zip archive is (by its members), its main story, and a
// keeper that saves it with the replacements made in the main part's XML.
#include "docengine/Document.h"
#include "docengine/OfficeStory.h"
#include "docengine/Readers.h"
#include "docengine/XmlScanner.h"
#include "docengine/ZipPackage.h"

namespace vexlo::doc {

namespace {

constexpr std::string_view kRelationships = "http://schemas.openxmlformats.org/package/2006/relationships";

struct Package {
    SourceFormat format;
    std::string mainPart;
};

// The main document part a package's relationships name (word/document.xml by default).
std::string MainDocumentPart(const ZipPackage &zip)
{
    if (!zip.has("_rels/.rels"))
        return "word/document.xml";
    const std::string rels = zip.read("_rels/.rels");
    XmlScanner x(rels);
    for (XmlScanner::Token t; (t = x.next()) != XmlScanner::Token::Eof;) {
        if (t != XmlScanner::Token::Start || x.uri != kRelationships || x.local != "Relationship")
            continue;
        const std::string *type = nullptr, *target = nullptr;
        for (const XmlAttribute &a : x.attributes) {
            if (a.qname == "Type")
                type = &a.value;
            else if (a.qname == "Target")
                target = &a.value;
        }
        const std::string_view suffix = "/officeDocument";
        if (!type || !target || type->size() < suffix.size() ||
            type->compare(type->size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        std::string part = (*target)[0] == '/' ? target->substr(1) : *target;
        if (part.empty() || part.find("..") != std::string::npos || part.find("://") != std::string::npos)
            throw FormatError("the package names its main part in a way that cannot be followed");
        return part;
    }
    return "word/document.xml";
}

// What the package holds, told by its members rather than by a search of its bytes.
Package Inspect(const ZipPackage &zip)
{
    if (zip.has("mimetype")) {
        const std::string type = zip.read("mimetype");
        if (type == "application/vnd.oasis.opendocument.text" ||
            type == "application/vnd.oasis.opendocument.text-template")
            return {SourceFormat::Odt, "content.xml"};
        if (type.rfind("application/vnd.oasis.opendocument.", 0) == 0)
            throw FormatError("an OpenDocument file that is not a text document (" + type + ")");
    }
    if (zip.has("[Content_Types].xml"))
        return {SourceFormat::Docx, MainDocumentPart(zip)};
    if (zip.has("content.xml") && zip.has("META-INF/manifest.xml"))
        return {SourceFormat::Odt, "content.xml"};
    throw FormatError("a zip archive that is neither a Word document nor an OpenDocument text");
}

std::u32string ReadStory(const Package &package, const std::string &xml)
{
    return package.format == SourceFormat::Odt ? ReadOdtPart(xml, nullptr) : ReadDocxPart(xml, nullptr);
}

// Keeps the package, its main part and where each character of the story stands in it, so
// that a save neither opens the package nor reads the part again.
class ZipDocumentKeeper : public FormatKeeper {
  public:
    ZipDocumentKeeper(std::string bytes, Package package, std::string xml, StoryMap map)
        : m_bytes(std::move(bytes)), m_package(std::move(package)), m_xml(std::move(xml)),
          m_map(std::move(map))
    {
    }

    std::string save(std::u32string_view story, const std::vector<StoryEdit> &edits) const override
    {
        if (edits.empty())
            return m_bytes;
        const std::string edited = m_package.format == SourceFormat::Odt
                                       ? EditMappedOdtPart(m_xml, m_map, story, edits)
                                       : EditMappedDocxPart(m_xml, m_map, story, edits);
        return ReplaceZipMember(m_bytes, m_package.mainPart, edited);
    }

  private:
    std::string m_bytes;
    Package m_package;
    std::string m_xml;
    StoryMap m_map;
};

} // namespace

std::u32string ReadDocx(std::string_view bytes)
{
    ZipPackage zip(bytes);
    const Package package = Inspect(zip);
    if (package.format != SourceFormat::Docx)
        throw FormatError("not a Word document");
    return ReadStory(package, zip.read(package.mainPart));
}

std::u32string ReadOdt(std::string_view bytes)
{
    ZipPackage zip(bytes);
    const Package package = Inspect(zip);
    if (package.format != SourceFormat::Odt)
        throw FormatError("not an OpenDocument text");
    return ReadStory(package, zip.read(package.mainPart));
}

Document OpenZipDocument(std::string bytes)
{
    Package package;
    std::string xml;
    StoryMap map;
    std::u32string story;
    {
        ZipPackage zip(bytes);
        package = Inspect(zip);
        xml = zip.read(package.mainPart);
        story = package.format == SourceFormat::Odt ? ReadOdtPart(xml, &map) : ReadDocxPart(xml, &map);
    }
    const SourceFormat format = package.format;
    return DocumentFromStory(std::move(story), format,
                             std::make_shared<ZipDocumentKeeper>(std::move(bytes), std::move(package),
                                                                 std::move(xml), std::move(map)));
}

} // namespace vexlo::doc
