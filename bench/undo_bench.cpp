// A run over a tree of small files with and without the undo copy, and its preview; each
// repeated over a fresh tree. Usage: undo_bench DIR [FILES [ROUNDS]]   (DIR on tmpfs for the
// figures). With ONLY (plain, undo or preview) after them: that run alone, once, for profiling.
#include "run/FilePipeline.h"
#include "undo/RunReport.h"
#include "undo/UndoStore.h"

#include <algorithm>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

using namespace vexlo;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> makeTree(const fs::path &root, int files)
{
    fs::remove_all(root);
    std::vector<std::string> paths;
    for (int i = 0; i < files; ++i) {
        const std::string folderNumber = std::to_string(i / 200), number = std::to_string(i);
        const fs::path dir = root / ("d" + folderNumber);
        if (i % 200 == 0)
            fs::create_directories(dir);
        const fs::path file = dir / ("f" + number + ".txt");
        std::ofstream out(file, std::ios::binary);
        for (int line = 0; line < 40; ++line)
            out << "line " << line << " of file " << i << (line % 7 == 0 ? " with needle" : "") << "\r\n";
        paths.push_back(file.string());
    }
    return paths;
}

// The processor time of the whole process (all threads) so far, in seconds: on a machine shared
// with other work it tells the run's own cost where the wall-clock time does not.
double cpuSeconds()
{
    struct rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct Timing {
    double wall = 0, cpu = 0;
};

Timing timed(const std::vector<std::string> &paths, CommitHook *hook)
{
    TextOperation op;
    op.find = "needle";
    op.inLine = InLineReplacement::OneString("pin");
    PipelineOptions options;
    options.hook = hook;
    RunObserver quiet;
    const double cpuStart = cpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    RewriteFiles(paths, op, options, quiet);
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
            cpuSeconds() - cpuStart};
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: undo_bench DIR [FILES]\n");
        return 2;
    }
    const fs::path base = argv[1];
    const int files = argc > 2 ? std::atoi(argv[2]) : 20000;
    const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 2;
    const std::string only = argc > 4 ? argv[4] : "";
    const fs::path program = base / "program";
    fs::create_directories(program);
    std::ofstream(program / "vexlopro.ini") << "[Undo]\r\nMaxSizeMB=2048\r\n";
    if (!only.empty()) {
        const auto paths = makeTree(base / "tree", files);
        StoreRecorder undo(ProgramFolder(program), nullptr);
        ChangeRecorder preview(true, nullptr);
        CommitHook *hook = only == "undo"      ? static_cast<CommitHook *>(&undo)
                           : only == "preview" ? &preview
                                               : nullptr;
        const Timing t = timed(paths, hook);
        std::printf("%d files: %s %.3f s (processor %.3f s)\n", files, only.c_str(), t.wall, t.cpu);
        fs::remove_all(base);
        return 0;
    }
    // The machine may be shared: the best of the rounds is the figure least disturbed.
    Timing bestPlain{1e9, 1e9}, bestUndo{1e9, 1e9}, bestPreview{1e9, 1e9};
    const auto best = [](Timing &kept, const Timing &t) {
        kept.wall = std::min(kept.wall, t.wall);
        kept.cpu = std::min(kept.cpu, t.cpu);
    };
    for (int round = 0; round < rounds; ++round) {
        auto paths = makeTree(base / "tree", files);
        const Timing plain = timed(paths, nullptr);
        paths = makeTree(base / "tree", files);
        StoreRecorder undo(ProgramFolder(program), nullptr);
        const Timing withUndo = timed(paths, &undo);
        paths = makeTree(base / "tree", files);
        ChangeRecorder preview(true, nullptr);
        const Timing previewed = timed(paths, &preview);
        std::printf(
            "%d files: run %.3f s, run with undo copy %.3f s (%+.0f%%), preview %.3f s (%.2fx the run); "
            "processor %.3f / %.3f (%+.0f%%) / %.3f s\n",
            files, plain.wall, withUndo.wall, 100.0 * (withUndo.wall / plain.wall - 1), previewed.wall,
            previewed.wall / plain.wall, plain.cpu, withUndo.cpu, 100.0 * (withUndo.cpu / plain.cpu - 1),
            previewed.cpu);
        best(bestPlain, plain);
        best(bestUndo, withUndo);
        best(bestPreview, previewed);
    }
    if (rounds > 1)
        std::printf("best of %d: run %.3f s, run with undo copy %.3f s (%+.0f%%), preview %.3f s (%.2fx); "
                    "processor %.3f / %.3f (%+.0f%%) / %.3f s\n",
                    rounds, bestPlain.wall, bestUndo.wall, 100.0 * (bestUndo.wall / bestPlain.wall - 1),
                    bestPreview.wall, bestPreview.wall / bestPlain.wall, bestPlain.cpu, bestUndo.cpu,
                    100.0 * (bestUndo.cpu / bestPlain.cpu - 1), bestPreview.cpu);
    fs::remove_all(base);
    return 0;
}
