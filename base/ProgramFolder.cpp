#include "base/ProgramFolder.h"

#include <system_error>

namespace vexlo {

std::filesystem::path ExecutableDirectory()
{
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec)
        return std::filesystem::current_path();
    return exe.parent_path();
}

} // namespace vexlo
