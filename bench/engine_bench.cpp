// Rewrites the files named on the command line with one find/replace pair and prints the time
// taken: the engine's speed without the command-line front end around it.
#include "base/Error.h"
#include "run/RewriteFile.h"

#include <chrono>
#include <cstdio>
#include <string>

int main(int argc, char **argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: engine_bench FIND REPLACE FILE...\n");
        return 2;
    }
    vexlo::TextOperation op;
    op.find = argv[1];
    op.inLine = vexlo::InLineReplacement::OneString(argv[2]);
    const auto start = std::chrono::steady_clock::now();
    int failed = 0;
    for (int i = 3; i < argc; ++i) {
        try {
            vexlo::RewriteFile(argv[i], op);
        } catch (const vexlo::Error &error) {
            std::fprintf(stderr, "%s\n", error.what());
            ++failed;
        }
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::fprintf(stderr, "%d files in %.3f s\n", argc - 3, took.count());
    return failed ? 1 : 0;
}
