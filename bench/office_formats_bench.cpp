// .docx and .odt documents opened, replaced and saved in their own format, against the same
// documents saved as plain text: milliseconds of CPU time per document (the process's, so that
// other work on the machine does not count), the save alone beside the whole open-replace-save.
// Files are read and not written.
#include "docengine/Document.h"
#include "docengine/ReplaceAll.h"

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

using namespace vexlo::doc;

namespace {

double CpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: office_formats_bench FILE...\n");
        return 2;
    }
    std::vector<std::string> files(argv + 1, argv + argc);
    const double n = static_cast<double>(files.size());
    std::size_t bytes = 0, replaced = 0;
    for (int pass = 0; pass < 2; ++pass) {
        double total = 0, save = 0;
        for (const std::string &path : files) {
            const double start = CpuMs();
            Document document = OpenDocumentFile(path);
            replaced += ReplaceAll(document, U"foo", U"bar^tbaz", FindOptions{});
            const double saving = CpuMs();
            bytes += (pass == 0 ? SaveInOwnFormat(document) : SavePlainText(document)).size();
            const double end = CpuMs();
            total += end - start;
            save += end - saving;
        }
        std::printf("%s: %.3f ms CPU per document (open, replace, save), the save alone %.3f ms\n",
                    pass == 0 ? "own format" : "plain text", total / n, save / n);
    }
    std::printf("%zu documents, %zu replacements, %zu bytes\n", files.size(), replaced / 2, bytes);
    return 0;
}
