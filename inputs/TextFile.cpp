#include "inputs/TextFile.h"

#include "base/ReadFile.h"

namespace vexlo {

Lines ReadTextLines(const std::string &path)
{
    return SplitLines(ReadWholeFile(path, TextFileCap));
}

} // namespace vexlo
