#include "docengine/ZipPackage.h"

#include "docengine/Readers.h"

#include <zip.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <zlib.h>

#include <algorithm>

namespace vexlo::doc {

namespace {

zip_t *OpenArchive(std::string_view bytes, int flags)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t *source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
    if (!source)
        throw FormatError("not a readable zip archive");
    zip_t *archive = zip_open_from_source(source, flags | ZIP_CHECKCONS, &error);
    if (!archive) {
        zip_source_free(source);
        throw FormatError(std::string("a broken zip archive (") + zip_error_strerror(&error) + ")");
    }
    return archive;
}

std::string MiB(std::uint64_t bytes)
{
    return std::to_string(bytes >> 20) + " MiB";
}

} // namespace

std::uint32_t Crc32(std::string_view bytes)
{
    uLong crc = crc32(0L, Z_NULL, 0);
    for (std::size_t at = 0; at < bytes.size();) { // zlib takes at most 4 GiB at a time
        const std::size_t n = std::min<std::size_t>(bytes.size() - at, 1u << 30);
        crc = crc32(crc, reinterpret_cast<const Bytef *>(bytes.data() + at), static_cast<uInt>(n));
        at += n;
    }
    return static_cast<std::uint32_t>(crc);
}

struct ZipPackage::Archive {
    zip_t *zip = nullptr;
};

ZipPackage::ZipPackage(std::string_view bytes) : m_archive(std::make_unique<Archive>())
{
    m_archive->zip = OpenArchive(bytes, ZIP_RDONLY);
    zip_int64_t count = zip_get_num_entries(m_archive->zip, 0);
    if (count < 0 || static_cast<std::uint64_t>(count) > kMaxZipEntries) {
        zip_discard(m_archive->zip);
        throw FormatError("the zip archive holds more than " + std::to_string(kMaxZipEntries) +
                          " members (the limit)");
    }
    m_names.reserve(static_cast<std::size_t>(count));
    for (zip_int64_t i = 0; i < count; ++i) {
        const char *name = zip_get_name(m_archive->zip, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW);
        m_names.emplace_back(name ? name : "");
    }
}

ZipPackage::~ZipPackage()
{
    if (m_archive && m_archive->zip)
        zip_discard(m_archive->zip);
}

bool ZipPackage::has(std::string_view name) const
{
    for (const std::string &n : m_names)
        if (n == name)
            return true;
    return false;
}

std::string ZipPackage::read(std::string_view name) const
{
    const std::string member(name);
    zip_int64_t index = zip_name_locate(m_archive->zip, member.c_str(), ZIP_FL_ENC_RAW);
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (index < 0 || zip_stat_index(m_archive->zip, static_cast<zip_uint64_t>(index), 0, &stat) != 0 ||
        !(stat.valid & ZIP_STAT_SIZE) || !(stat.valid & ZIP_STAT_COMP_SIZE) || !(stat.valid & ZIP_STAT_CRC))
        throw FormatError("the package has no readable " + member);
    if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE)
        throw FormatError(member + " is encrypted");
    if (stat.size > kMaxMemberSize)
        throw FormatError(member + " would take " + std::to_string(stat.size) + " bytes, over the limit of " +
                          MiB(kMaxMemberSize) + " for a part of a document");
    if (stat.size > kRatioFreeSize && stat.size / kMaxCompressionRatio > stat.comp_size)
        throw FormatError(member + " is compressed more than " + std::to_string(kMaxCompressionRatio) +
                          " to 1 (the limit): a zip bomb?");
    zip_file_t *file = zip_fopen_index(m_archive->zip, static_cast<zip_uint64_t>(index), 0);
    if (!file)
        throw FormatError("cannot read " + member + " (" + zip_strerror(m_archive->zip) + ")");
    // One byte more than declared: a member that inflates past its declared size is refused.
    std::string out(static_cast<std::size_t>(stat.size) + 1, '\0');
    zip_int64_t got = zip_fread(file, out.data(), out.size());
    zip_fclose(file);
    if (got < 0)
        throw FormatError("cannot read " + member + " (broken compressed data or wrong CRC-32)");
    if (static_cast<zip_uint64_t>(got) != stat.size)
        throw FormatError(member + " does not have the size the archive gives for it");
    out.resize(static_cast<std::size_t>(got));
    if (Crc32(out) != stat.crc)
        throw FormatError(member + " is damaged (its CRC-32 does not match)");
    return out;
}

std::string ReplaceZipMember(std::string_view bytes, std::string_view name, std::string_view content)
{
    zip_error_t error;
    zip_error_init(&error);
    // libzip gets a copy of its own to free: when the member's place lets it keep the start of
    // the archive as it is, it hands the old buffer's memory on and frees it itself, also
    // when it was told the memory is the caller's (libzip 1.7), which freed our string.
    void *copy = std::malloc(bytes.empty() ? 1 : bytes.size());
    if (!copy)
        throw std::bad_alloc();
    std::memcpy(copy, bytes.data(), bytes.size());
    zip_source_t *source = zip_source_buffer_create(copy, bytes.size(), 1, &error);
    if (!source) {
        std::free(copy);
        throw FormatError("cannot rewrite the zip archive");
    }
    zip_t *archive = zip_open_from_source(source, ZIP_CHECKCONS, &error);
    if (!archive) {
        zip_source_free(source);
        throw FormatError("cannot rewrite the zip archive");
    }
    zip_source_keep(source); // the rewritten archive is read back from it after zip_close
    auto fail = [&](const std::string &why) {
        zip_discard(archive);
        zip_source_free(source);
        return FormatError("cannot rewrite the zip archive: " + why);
    };
    const std::string member(name);
    zip_int64_t index = zip_name_locate(archive, member.c_str(), ZIP_FL_ENC_RAW);
    if (index < 0)
        throw fail("no " + member);
    zip_source_t *part = zip_source_buffer(archive, content.data(), content.size(), 0);
    if (!part)
        throw fail(zip_strerror(archive));
    if (zip_file_replace(archive, static_cast<zip_uint64_t>(index), part, ZIP_FL_ENC_UTF_8) < 0) {
        zip_source_free(part);
        throw fail(zip_strerror(archive));
    }
    // The fastest deflate level: the part is written on every save. (The same method as the
    // original's would make libzip drop the level and use its slowest one.)
    zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_DEFAULT, 1);
    if (zip_close(archive) < 0)
        throw fail(zip_strerror(archive));
    std::string out;
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_source_stat(source, &stat) < 0 || !(stat.valid & ZIP_STAT_SIZE) || zip_source_open(source) < 0) {
        zip_source_free(source);
        throw FormatError("cannot rewrite the zip archive");
    }
    out.resize(static_cast<std::size_t>(stat.size));
    zip_int64_t got = zip_source_read(source, out.data(), out.size());
    zip_source_close(source);
    zip_source_free(source);
    if (got < 0 || static_cast<zip_uint64_t>(got) != stat.size)
        throw FormatError("cannot rewrite the zip archive");
    return out;
}

} // namespace vexlo::doc
