#include "base/Lines.h"

namespace vexlo {

Lines SplitLines(std::string_view bytes)
{
    Lines lines;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t end = pos;
        while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n')
            ++end;
        lines.emplace_back(bytes.substr(pos, end - pos));
        if (end < bytes.size() && bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n')
            pos = end + 2;
        else
            pos = end + 1;
    }
    return lines;
}

std::string JoinLines(const Lines &lines)
{
    return JoinLines(lines, "\r\n");
}

std::string JoinLines(const Lines &lines, std::string_view lineEnd)
{
    std::size_t total = 0;
    for (const std::string &line : lines)
        total += line.size() + lineEnd.size();
    std::string out;
    out.reserve(total);
    for (const std::string &line : lines) {
        out += line;
        out += lineEnd;
    }
    return out;
}

} // namespace vexlo
