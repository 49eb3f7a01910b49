// A fast 64-bit content hash (XXH64 with a zero starting value) for telling whether a file is still
// what a run wrote.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vexlo {

/// Hashes bytes given in pieces; the result equals that of the whole given at once.
class ContentHash {
  public:
    void add(std::string_view bytes);
    /// The hash of everything added so far. Never fails.
    std::uint64_t value() const;
    /// How many bytes were added.
    std::uint64_t size() const { return m_total; }

  private:
    std::uint64_t m_lanes[4] = {0x60ea27eeadc0b5d6ULL, 0xc2b2ae3d27d4eb4fULL, 0, 0x61c8864e7a143579ULL};
    std::uint64_t m_total = 0;
    unsigned char m_pending[32]{};
    std::size_t m_pendingSize = 0;
};

/// The hash of `bytes`. Never fails.
std::uint64_t HashBytes(std::string_view bytes);

/// The hash as 16 lower-case hex digits.
std::string HashText(std::uint64_t hash);

} // namespace vexlo
