#include "base/Error.h"

#include <cerrno>
#include <charconv>
#include <cstring>

namespace vexlo {

Error IoError(const std::string &verb, const std::string &path, int errnum)
{
    return Error(ErrorKind::Io, path, "cannot " + verb + " '" + path + "': " + std::strerror(errnum));
}

int ToInt(const std::string &text)
{
    const char *first = text.data();
    const char *last = first + text.size();
    if (first != last && *first == '+')
        ++first; // a leading plus is accepted, as the usual string-to-integer conversions do
    int value = 0;
    auto [ptr, ec] = std::from_chars(first, last, value);
    if (text.empty() || ec != std::errc() || ptr != last || first == last)
        throw Error(ErrorKind::Conversion, {}, "'" + text + "' is not a valid integer value");
    return value;
}

} // namespace vexlo
