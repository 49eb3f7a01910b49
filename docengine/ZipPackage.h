// The zip packages of .docx and .odt documents: members read with limits that fit a document
// (so that a small hostile file cannot claim gigabytes) and their checksums checked; one member
// replaced with every other member copied as it is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vexlo::doc {

/// Limits on a document's zip package, checked before anything is allocated.
inline constexpr std::size_t kMaxZipEntries = 10000;
inline constexpr std::uint64_t kMaxMemberSize = 64u << 20; // inflated bytes of a part read
inline constexpr std::uint64_t kMaxCompressionRatio = 200; // inflated / compressed size
inline constexpr std::uint64_t kRatioFreeSize = 1u << 20;  // smaller parts may compress more

/// CRC-32 as zip archives use it.
std::uint32_t Crc32(std::string_view bytes);

class ZipPackage {
  public:
    /// Opens the archive held in `bytes` (which must outlive it). Throws FormatError for a
    /// broken archive or one with more than kMaxZipEntries members.
    explicit ZipPackage(std::string_view bytes);
    ~ZipPackage();
    ZipPackage(const ZipPackage &) = delete;
    ZipPackage &operator=(const ZipPackage &) = delete;

    bool has(std::string_view name) const;
    /// The inflated content of a member. Throws FormatError when it is missing, over
    /// kMaxMemberSize or kMaxCompressionRatio, encrypted, or its CRC-32 is wrong.
    std::string read(std::string_view name) const;

    /// The names of the members, in the archive's order.
    const std::vector<std::string> &names() const { return m_names; }

  private:
    struct Archive;
    std::unique_ptr<Archive> m_archive;
    std::vector<std::string> m_names;
};

/// The archive `bytes` with member `name` replaced by `content` (deflated); every other member
/// keeps its name, place, compression and data. Throws FormatError when it cannot be written.
std::string ReplaceZipMember(std::string_view bytes, std::string_view name, std::string_view content);

} // namespace vexlo::doc
