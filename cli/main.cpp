// vexlopro-cli: the text engine and the office engine from the command line.
#include "base/Error.h"
#include "cli/CliArgs.h"
#include "cli/CliRecord.h"
#include "cli/CliRun.h"

#include <cstdio>
#include <exception>

using namespace vexlo;
using namespace vexlo::cli;

int main(int argc, char **argv)
{
    const CliArgs args = ParseArgs(argc, argv);
    if (args.help) {
        std::fputs(HelpText(), stdout);
        return ExitOk;
    }
    if (args.version) {
        std::printf("%s\n", VersionText().c_str());
        return ExitOk;
    }
    CliRequest request;
    try {
        request = ToRequest(args);
    } catch (const Error &e) {
        std::fprintf(stderr, "vexlopro-cli: %s\nTry 'vexlopro-cli --help'.\n", e.what());
        return ExitUsage;
    }
    try {
        switch (request.mode) {
        case CliRequest::Mode::Scan:
            return RunScan(request);
        case CliRequest::Mode::Office:
            return RunOffice(request);
        case CliRequest::Mode::Restore:
            return RunRestore(request);
        case CliRequest::Mode::Rewrite:
            break;
        }
        return RunRewrite(request);
    } catch (const std::exception &e) {
        // Out of memory or the like: the targets' own failures never arrive here.
        ReportFailure({}, e.what());
        return ExitFailed;
    }
}
