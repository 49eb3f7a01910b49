// Times the directory scan alone: prints every path ScanDir finds, one per line, like find.
#include "targets/ScanDir.h"

#include <cstdio>
#include <string>

namespace {

// Writes each path straight into stdio's buffer, so output costs no more than find's.
class PrintingResult : public vexlo::RunObserver {
  public:
    void fileDone(const std::string &path, vexlo::Outcome) override
    {
        std::fwrite(path.data(), 1, path.size(), stdout);
        std::fputc('\n', stdout);
        ++count;
    }
    std::size_t count = 0;
};

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: %s DIR [MASK]\n", argv[0]);
        return 2;
    }
    static char buffer[1 << 16];
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    PrintingResult result;
    vexlo::ScanDir(argv[1], argc == 3 ? argv[2] : "", result);
    std::fflush(stdout);
    std::fprintf(stderr, "%zu entries\n", result.count);
    return 0;
}
