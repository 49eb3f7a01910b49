// A target left byte for byte as it was on purpose: not a failure, but reported with its reason.
#pragma once

#include "base/Error.h"

#include <string>

namespace vexlo {

/// Why a file that holds NUL bytes is left as it is: rewriting it as text would break it.
inline constexpr const char *kBinaryFileReason = "skipped: binary file (it holds NUL bytes)";
/// Why a legacy .doc is left as it is by the office engine.
inline constexpr const char *kLegacyDocReason =
    "left as it is: a legacy .doc document cannot be saved in its own format";

/// Thrown where a file is left untouched on purpose; what() is "PATH: reason" (the path
/// escaped for a terminal), reason() the part after the path.
class SkippedFile : public Error {
  public:
    SkippedFile(const std::string &path, std::string reason)
        : Error(ErrorKind::Io, path, EscapeControls(path) + ": " + reason), m_reason(std::move(reason))
    {
    }
    const std::string &reason() const noexcept { return m_reason; }

  private:
    std::string m_reason;
};

} // namespace vexlo
