// File-name wildcards: "*" any run, "?" one character, ASCII letters without regard to case.
#pragma once

#include <string>
#include <string_view>

namespace vexlo {

class SearchMask {
  public:
    /// An empty text means "*.*", which matches every name, with or without a dot.
    explicit SearchMask(std::string_view text);

    bool matches(std::string_view name) const;
    const std::string &text() const noexcept { return m_text; }

  private:
    std::string m_text;
    std::string m_folded; // upper-cased pattern
    bool m_all = false;   // "*.*" or "*"
};

/// The thirteen masks of the standard mask menu, in menu order.
extern const char *const StandardMasks[13];

} // namespace vexlo
