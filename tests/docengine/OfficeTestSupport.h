// Helpers for the tests of .docx and .odt saved in their own format: packages built in memory,
// a replace-all run on them, and the checks that the saved file is faithful.
#pragma once

#include "docengine/Document.h"
#include "docengine/Readers.h"
#include "docengine/ReplaceAll.h"
#include "docengine/ZipPackage.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace vexlo::doc::officetest {

using Members = std::vector<std::pair<std::string, std::string>>;

// A zip archive of (name, content) members in memory; `stored` members are not compressed.
inline std::string Zip(const Members &members, const std::string &stored = "mimetype")
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t *buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
    zip_t *archive = zip_open_from_source(buffer, ZIP_TRUNCATE, &error);
    zip_source_keep(buffer);
    for (const auto &[name, content] : members) {
        zip_source_t *source = zip_source_buffer(archive, content.data(), content.size(), 0);
        zip_int64_t index = zip_file_add(archive, name.c_str(), source, ZIP_FL_OVERWRITE);
        zip_set_file_compression(archive, static_cast<zip_uint64_t>(index),
                                 name == stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 0);
    }
    zip_close(archive);
    zip_stat_t stat;
    zip_source_stat(buffer, &stat);
    std::string out(stat.size, '\0');
    zip_source_open(buffer);
    zip_source_read(buffer, out.data(), out.size());
    zip_source_close(buffer);
    zip_source_free(buffer);
    return out;
}

inline const std::string kW = R"(xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main")";

inline std::string DocxXml(const std::string &body, const std::string &ns = kW,
                           const std::string &root = "w:document", const std::string &bodyName = "w:body")
{
    return R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
           "\n<" +
           root + " " + ns + "><" + bodyName + ">" + body + "</" + bodyName + "></" + root + ">";
}

inline std::string Docx(const std::string &xml)
{
    return Zip({{"[Content_Types].xml", "<Types/>"},
                {"word/document.xml", xml},
                {"word/styles.xml", "<styles>kept as it is</styles>"}});
}

inline const std::string kOdtNs = R"(xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" )"
                                  R"(xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" )"
                                  R"(xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0")";

inline std::string OdtXml(const std::string &text)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<office:document-content " + kOdtNs +
           "><office:body><office:text>" + text + "</office:text></office:body></office:document-content>";
}

inline std::string Odt(const std::string &xml)
{
    return Zip({{"mimetype", "application/vnd.oasis.opendocument.text"},
                {"content.xml", xml},
                {"styles.xml", "<styles>kept</styles>"},
                {"META-INF/manifest.xml", "<manifest/>"}});
}

inline FindOptions Options(bool matchCase, bool wholeWord, bool wildcards, bool soundsLike = false,
                           bool wordForms = false)
{
    FindOptions o;
    o.matchCase = matchCase;
    o.wholeWord = wholeWord;
    o.wildcards = wildcards;
    o.soundsLike = soundsLike;
    o.allWordForms = wordForms;
    return o;
}

inline Document Open(const std::string &bytes)
{
    return OpenZipDocument(bytes);
}

inline std::string Member(const std::string &zip, const std::string &name)
{
    return ZipPackage(zip).read(name);
}

struct Result {
    std::u32string plain; // what the plain-text path's replace gives for the same story
    std::string saved;
};

inline Result Replace(const std::string &bytes, std::u32string_view find, std::u32string_view replace,
                      FindOptions options = {})
{
    Document document = Open(bytes);
    ReplaceAll(document, find, replace, options);
    return {document.text, SaveInOwnFormat(document)};
}

// A member's data as it is stored in the archive (compressed, if it is), with its method.
inline std::string RawMember(const std::string &zip, const std::string &name)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t *source = zip_source_buffer_create(zip.data(), zip.size(), 0, &error);
    zip_t *archive = zip_open_from_source(source, ZIP_RDONLY, &error);
    if (!archive) {
        zip_source_free(source);
        return "(not an archive)";
    }
    zip_stat_t stat;
    zip_stat_init(&stat);
    std::string out;
    if (zip_stat(archive, name.c_str(), 0, &stat) == 0) {
        out = std::to_string(stat.comp_method) + ":";
        const std::size_t header = out.size();
        out.resize(header + stat.comp_size);
        zip_file_t *file = zip_fopen(archive, name.c_str(), ZIP_FL_COMPRESSED);
        if (!file ||
            zip_fread(file, out.data() + header, stat.comp_size) != static_cast<zip_int64_t>(stat.comp_size))
            out = "(unreadable)";
        if (file)
            zip_fclose(file);
    }
    zip_discard(archive);
    return out;
}

// The saved file read again gives the replaced story, and every member but the main part
// is byte for byte as it was (its compressed data copied, not compressed again), in the same
// order.
inline void ExpectFaithful(const std::string &before, const Result &result, const std::string &part)
{
    EXPECT_EQ(ToUtf8(result.plain), ToUtf8(Open(result.saved).text));
    ZipPackage a(before), b(result.saved);
    ASSERT_EQ(a.names(), b.names());
    for (const std::string &name : a.names())
        if (name != part) {
            EXPECT_EQ(a.read(name), b.read(name)) << name;
            EXPECT_EQ(RawMember(before, name), RawMember(result.saved, name)) << name;
        }
}

// The python interpreter that has python-docx and odfpy (Debian's modules belong to the
// system's), or empty when they are not installed.
inline std::string PythonWithOfficeModules()
{
    const std::string python = std::system("test -x /usr/bin/python3") == 0 ? "/usr/bin/python3" : "python3";
    if (std::system((python + " -c 'import docx, odf' >/dev/null 2>&1").c_str()) != 0)
        return {};
    return python;
}

// Whether python-docx and odfpy open every one of `files`.
inline bool OpenInPython(const std::string &python, const std::vector<std::string> &files)
{
    std::string command = python + " '" + VEXLO_SOURCE_DIR + "/tests/docengine/make_ooxml_corpus.py' check";
    for (const std::string &file : files)
        command += " '" + file + "'";
    return std::system((command + " >/dev/null").c_str()) == 0;
}

} // namespace vexlo::doc::officetest
