#include "cli/CliArgs.h"

#include "base/Error.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string_view>

#ifndef VEXLO_VERSION
#define VEXLO_VERSION "0.0.0"
#endif

namespace vexlo::cli {

namespace {

const char *const Help = R"(vexlopro-cli [OPTIONS] [PATH...]
Finds and replaces text in files, line by line; every target is rewritten with CR LF line breaks.

Operation, exactly one:
  --find TEXT            ReplaceInLine with TEXT as the find string (may be empty)
  --find-lines FILE      ReplaceBlock; find lines = the lines of FILE (text load rules); n >= 1 else usage error
Replacement, at most one:
  --replace TEXT         ReplaceInLine: one-string replacement. ReplaceBlock: m = 1, R[1] = TEXT
  --replace-lines FILE   lines of FILE. ReplaceInLine: 0 lines -> empty string, 1 line -> one-string,
                         >= 2 lines -> multi-line replacement. ReplaceBlock: m = number of lines
  neither:               ReplaceInLine replaces with the empty string; ReplaceBlock has m = 0
Options (all off by default): --match-case --whole-word --whole-word-right --whole-word-left
  --delete-blanks --delete-blanks-right --delete-blanks-left --only-delete
Targets:
  PATH...                files rewritten in order (RewriteFile); "-" reads standard input and writes the
                         result to standard output (CR LF after every line; no lines, no output)
  --dir DIR (repeatable) with --mask MASK: ScanDir each DIR in order, skip directory lines, rewrite the files;
                         a symbolic link whose target lies outside DIR is not followed (reported on
                         stderr, exit status unchanged), and the rewrite's own temporary files
                         (".NAME.vexlo-XXXXXX") are skipped
  --scan DIR [--mask MASK] [-0]: print ScanDir's result, one entry a line (LF), change nothing
  -0, --null             with --scan: end every entry with a NUL byte instead of LF (for xargs -0)
  --help, --version
Office engine:
  --office [--match-case] [--whole-word] [--wildcards] [--sounds-like] [--word-forms]
           [--save-as-text] --find TEXT [--replace TEXT] (PATH... | --dir DIR --mask MASK | -)
                         each target is opened as a document (plain text, .docx, .odt, .rtf, .doc as
                         far as they can be read), one replace-all runs with the word processor's
                         caret codes ("^p", "^t", ...) and wildcards, and the document is saved
                         under its own name in its own format: plain text as plain text (encoding
                         kept, CR LF line ends), .docx, .odt and .rtf as themselves with the
                         replacements made inside (one in which nothing was replaced is left as it
                         is). A legacy .doc is left as it is ("left as it is: ..." on stderr, not a
                         failure). A file holding NUL bytes that is no document is left as it is
                         ("skipped: binary file ..." on stderr, not a failure); "-" is processed in
                         full. Files over 24 MB (zip packages: 128 MB) are refused.
  --save-as-text         with --office: save every document as plain text instead (other formats,
                         .doc included, become UTF-8 text: their formatting is lost).
                         TEXT is UTF-8. The text engine's other options, --find-lines,
                         --replace-lines and --scan are usage errors here.
Exit status: 0 all done; 1 at least one target failed or a directory could not be read (each
failure on stderr: path and reason; the other targets are still processed); 2 usage error
(stderr says what is wrong). Control characters in the paths of messages are shown as \xNN.

Notes:
  TEXT arguments and file contents are raw bytes, never re-encoded.
  An option taking a value also accepts --option=VALUE. "--" ends the options: every later
  argument is a PATH, also one starting with '-'.
  PATHs are processed first, then the files found under each --dir. "-" may be given once.
  --mask needs --dir or --scan and may be given once; with --dir it must not be empty
  (with --scan an empty mask means "*.*"). --scan may be repeated and takes no operation,
  option or other target. Giving an operation or replacement twice is a usage error, as is
  a run without any target.
)";

// Options that take a value, and where the value goes.
std::vector<std::string> *valueTarget(CliArgs &args, std::string_view name)
{
    if (name == "--find")
        return &args.find;
    if (name == "--find-lines")
        return &args.findLines;
    if (name == "--replace")
        return &args.replace;
    if (name == "--replace-lines")
        return &args.replaceLines;
    if (name == "--mask")
        return &args.masks;
    if (name == "--dir")
        return &args.dirs;
    if (name == "--scan")
        return &args.scans;
    return nullptr;
}

bool *flagTarget(CliArgs &args, std::string_view name)
{
    TextEngineOptions &o = args.options;
    if (name == "--match-case")
        return &o.matchCase;
    if (name == "--whole-word")
        return &o.wholeWord;
    if (name == "--whole-word-right")
        return &o.wholeWordRight;
    if (name == "--whole-word-left")
        return &o.wholeWordLeft;
    if (name == "--delete-blanks")
        return &o.deleteBlanks;
    if (name == "--delete-blanks-right")
        return &o.deleteBlanksRight;
    if (name == "--delete-blanks-left")
        return &o.deleteBlanksLeft;
    if (name == "--only-delete")
        return &o.onlyDelete;
    return nullptr;
}

bool *officeFlag(CliArgs &args, std::string_view name)
{
    if (name == "--office")
        return &args.office;
    if (name == "--wildcards")
        return &args.wildcards;
    if (name == "--sounds-like")
        return &args.soundsLike;
    if (name == "--word-forms")
        return &args.wordForms;
    if (name == "--save-as-text")
        return &args.saveAsText;
    return nullptr;
}

[[noreturn]] void usage(const std::string &message)
{
    throw Error(ErrorKind::Usage, {}, message);
}

// The lines of a file given for --find-lines / --replace-lines, by the text load rules.
Lines readLinesFile(const std::string &option, const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        usage(option + ": cannot read '" + path + "': " + std::strerror(errno));
    std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad())
        usage(option + ": cannot read '" + path + "': " + std::strerror(errno));
    return SplitLines(bytes);
}

void atMostOnce(const std::vector<std::string> &values, const char *option)
{
    if (values.size() > 1)
        usage(std::string(option) + " given more than once");
}

// Targets shared by both engines: PATHs, "-" once, or --dir with a non-empty --mask.
void checkTargets(const CliArgs &args, const std::string &mask)
{
    if (!args.masks.empty() && args.dirs.empty())
        usage("--mask needs --dir or --scan");
    if (!args.dirs.empty() && args.masks.empty())
        usage("--dir needs --mask");
    if (!args.dirs.empty() && mask.empty())
        usage("--mask must not be empty with --dir");
    if (args.paths.empty() && args.dirs.empty())
        usage("no targets: give PATHs, \"-\" or --dir DIR --mask MASK");
    std::size_t stdinCount = 0;
    for (const std::string &path : args.paths)
        stdinCount += path == "-";
    if (stdinCount > 1)
        usage("\"-\" (standard input) given more than once");
}

CliRequest officeRequest(const CliArgs &args, CliRequest &request)
{
    const TextEngineOptions &o = args.options;
    if (o.wholeWordRight || o.wholeWordLeft || o.deleteBlanks || o.deleteBlanksRight || o.deleteBlanksLeft ||
        o.onlyDelete)
        usage("with --office only --match-case, --whole-word, --wildcards, --sounds-like and --word-forms "
              "are options");
    if (!args.findLines.empty() || !args.replaceLines.empty())
        usage("--find-lines and --replace-lines belong to the text engine, not to --office");
    if (!args.scans.empty())
        usage("--scan changes nothing and takes no --office");
    if (args.find.empty())
        usage("no operation: give --find TEXT");
    checkTargets(args, request.mask);
    request.mode = CliRequest::Mode::Office;
    request.officeFind = args.find.front();
    request.officeReplace = args.replace.empty() ? std::string() : args.replace.front();
    request.officeOptions.matchCase = o.matchCase;
    request.officeOptions.wholeWord = o.wholeWord;
    request.officeOptions.wildcards = args.wildcards;
    request.officeOptions.soundsLike = args.soundsLike;
    request.officeOptions.allWordForms = args.wordForms;
    request.officeSaveAsText = args.saveAsText;
    request.paths = args.paths;
    request.dirs = args.dirs;
    return request;
}

} // namespace

CliArgs ParseArgs(int argc, const char *const *argv)
{
    CliArgs args;
    auto fail = [&](std::string message) {
        if (args.error.empty())
            args.error = std::move(message);
    };
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (optionsEnded || arg == "-" || !arg.starts_with("-")) {
            args.paths.emplace_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "--help") {
            args.help = true;
            continue;
        }
        if (arg == "--version") {
            args.version = true;
            continue;
        }
        if (arg == "-0" || arg == "--null") {
            args.null = true;
            continue;
        }
        if (bool *flag = officeFlag(args, arg)) {
            *flag = true;
            continue;
        }
        const std::size_t equals = arg.find('=');
        const std::string_view name = arg.substr(0, equals);
        if (bool *flag = flagTarget(args, name)) {
            if (equals != std::string_view::npos)
                fail("option '" + std::string(name) + "' takes no value");
            *flag = true;
            args.anyOption = true;
        } else if (auto *values = valueTarget(args, name)) {
            if (equals != std::string_view::npos)
                values->emplace_back(arg.substr(equals + 1));
            else if (i + 1 < argc)
                values->emplace_back(argv[++i]);
            else
                fail("option '" + std::string(name) + "' needs a value");
        } else {
            fail("unknown option '" + std::string(arg) + "'");
        }
    }
    return args;
}

CliRequest ToRequest(const CliArgs &args)
{
    if (!args.error.empty())
        usage(args.error);
    atMostOnce(args.find, "--find");
    atMostOnce(args.findLines, "--find-lines");
    atMostOnce(args.replace, "--replace");
    atMostOnce(args.replaceLines, "--replace-lines");
    atMostOnce(args.masks, "--mask");

    CliRequest request;
    request.mask = args.masks.empty() ? std::string() : args.masks.front();
    if (args.office)
        return officeRequest(args, request);
    if (args.wildcards || args.soundsLike || args.wordForms)
        usage("--wildcards, --sounds-like and --word-forms need --office");
    if (args.saveAsText)
        usage("--save-as-text needs --office");

    const bool hasOperation = !args.find.empty() || !args.findLines.empty();
    const bool hasReplacement = !args.replace.empty() || !args.replaceLines.empty();
    if (!args.scans.empty()) {
        if (hasOperation || hasReplacement || args.anyOption || !args.paths.empty() || !args.dirs.empty())
            usage("--scan lists files and changes nothing: it takes only --mask and -0 besides more --scan");
        request.mode = CliRequest::Mode::Scan;
        request.scans = args.scans;
        request.scanSeparator = args.null ? '\0' : '\n';
        return request;
    }
    if (args.null)
        usage("-0 (--null) needs --scan");

    if (!args.find.empty() && !args.findLines.empty())
        usage("--find and --find-lines exclude each other");
    if (!hasOperation)
        usage("no operation: give --find TEXT or --find-lines FILE");
    if (!args.replace.empty() && !args.replaceLines.empty())
        usage("--replace and --replace-lines exclude each other");
    checkTargets(args, request.mask);

    TextOperation &op = request.op;
    op.options = args.options;
    Lines replacement;
    if (!args.replace.empty())
        replacement = Lines{args.replace.front()};
    else if (!args.replaceLines.empty())
        replacement = readLinesFile("--replace-lines", args.replaceLines.front());

    if (!args.find.empty()) {
        op.kind = TextOperation::Kind::InLine;
        op.find = args.find.front();
        // 0 lines: the empty string; 1 line: one string; 2 or more: a multi-line replacement.
        op.inLine.lines = std::move(replacement);
    } else {
        op.kind = TextOperation::Kind::Block;
        op.findLines = readLinesFile("--find-lines", args.findLines.front());
        if (op.findLines.empty())
            usage("--find-lines: '" + args.findLines.front() + "' holds no line to find");
        op.replacementLines = std::move(replacement);
    }
    request.paths = args.paths;
    request.dirs = args.dirs;
    return request;
}

const char *HelpText()
{
    return Help;
}

std::string VersionText()
{
    return std::string("vexlopro-cli ") + VEXLO_VERSION;
}

} // namespace vexlo::cli
