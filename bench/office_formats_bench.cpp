// .docx and .odt documents opened, replaced and saved in their own format, against the same
// documents saved as plain text: milliseconds per document. Files are read and not written.
#include "docengine/Document.h"
#include "docengine/ReplaceAll.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

using namespace vexlo::doc;

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: office_formats_bench FILE...\n");
        return 2;
    }
    std::vector<std::string> files(argv + 1, argv + argc);
    double own = 0, plain = 0;
    std::size_t bytes = 0, replaced = 0;
    using Clock = std::chrono::steady_clock;
    for (int pass = 0; pass < 2; ++pass) {
        const auto start = Clock::now();
        for (const std::string &path : files) {
            Document document = OpenDocumentFile(path);
            replaced += ReplaceAll(document, U"foo", U"bar^tbaz", FindOptions{});
            bytes += (pass == 0 ? SaveInOwnFormat(document) : SavePlainText(document)).size();
        }
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        (pass == 0 ? own : plain) = ms / static_cast<double>(files.size());
    }
    std::printf("%zu documents, %zu replacements: own format %.3f ms per document, plain text %.3f ms "
                "(%zu bytes)\n",
                files.size(), replaced / 2, own, plain, bytes);
    return 0;
}
