#include "inputs/TextFile.h"

#include "base/Error.h"

#include <cerrno>
#include <fstream>
#include <iterator>

namespace vexlo {

Lines ReadTextLines(const std::string &path)
{
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw IoError("read", path, errno);
    std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad())
        throw IoError("read", path, errno);
    return SplitLines(bytes);
}

} // namespace vexlo
