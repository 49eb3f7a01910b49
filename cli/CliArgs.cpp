#include "cli/CliArgs.h"

#include "base/Error.h"
#include "base/ReadFile.h"
#include "docengine/Pattern.h"
#include "docengine/ReplaceAll.h"
#include "docengine/TextCodec.h"

#include <string_view>

#ifndef VEXLO_VERSION
#define VEXLO_VERSION "0.0.0"
#endif

namespace vexlo::cli {

namespace {

const char *const Help = R"(Usage: vexlopro-cli [OPTIONS] --find TEXT [--replace TEXT] FILE...
       vexlopro-cli [OPTIONS] --find TEXT [--replace TEXT] --dir DIR --mask MASK
       vexlopro-cli --scan DIR [--mask MASK] [-0]
       vexlopro-cli --restore DIR

Finds text in files and replaces it, file by file, in place.

In every line of every file, the first place where the find text occurs is replaced (later
ones on the same line stay). Each file is then written back whole, with CR LF at the end of
every line, even when nothing was found in it. A file holding NUL bytes (an image, an
archive) is left as it is and named on stderr. A file that cannot be read or written is
reported and left as it was; the other files are still done.

Examples:
  Replace a word in one file, then in two files (done in the order given):
    vexlopro-cli --find colour --replace color notes.txt
    vexlopro-cli --find foo --replace bar a.txt b.txt
  Every .cpp file under src, subfolders too, where TODO stands alone between spaces:
    vexlopro-cli --find TODO --replace DONE --whole-word --dir src --mask '*.cpp'
  Replace a block of lines with another block:
    vexlopro-cli --find-lines old.txt --replace-lines new.txt page.html
  Standard input to standard output, no file touched:
    printf 'a foo\n' | vexlopro-cli --find foo --replace X -
  List what a --dir pass would take, and change nothing:
    vexlopro-cli --scan src --mask '*.h'
  Swap the numbers around a dot, word-processor style:
    vexlopro-cli --office --wildcards --find '([0-9]@).([0-9]@)' --replace '\2/\1' data.txt

What to find (exactly one):
  --find TEXT            Text to look for within a line. May be empty.
  --find-lines FILE      Look for the lines of FILE as a block of consecutive lines: the
                         first and last may be part of a longer line, the lines between must
                         match whole (FILE must hold at least one line).

What to put in its place (at most one; without either, the found text is removed):
  --replace TEXT         Put TEXT in its place. With --find-lines the block becomes the one
                         line TEXT.
  --replace-lines FILE   Put the lines of FILE in its place. An empty FILE removes the found
                         text; one line works like --replace; with several lines the changed
                         line is split into several lines.

How to match (all off by default):
  --match-case           Upper and lower case must match ("Foo" no longer finds "foo").
  --whole-word           Only where a space comes right before and right after the text (the
                         start or end of a line, a tab or punctuation do not count).
  --whole-word-left      Only where a space comes right before it.
  --whole-word-right     Only where a space comes right after it.
  --delete-blanks        A line changed into one line loses the spaces and tabs at both ends.
  --delete-blanks-left   Only those at its start.
  --delete-blanks-right  Only those at its end.
  --only-delete          Accepted for the window's option of that name; changes nothing.

Which files:
  FILE...                Rewritten in the order given; a file named twice is done twice.
                         "-" reads standard input and writes the result to standard output.
  --dir DIR              Every file found under DIR whose name matches --mask, subfolders
                         included. May be given more than once; files named directly come
                         first, then each DIR in turn. A symbolic link pointing out of DIR is
                         skipped (with a notice); links inside DIR are followed.
  --mask MASK            File names to take, with * and ? as wildcards ('*.txt'). Needed with
                         --dir; quote it so that the shell does not expand it.
  --scan DIR             Only list the files and folders --dir would visit with --mask
                         (all of them without --mask), one a line. Changes nothing.
  -0, --null             With --scan: end every name with a NUL byte, for xargs -0.
  --                     Everything after it is a FILE, even when it starts with "-".

Before and after a run:
  --dry-run              Write nothing; print what the run would do, one line per file:
                         "PATH: 3 lines changed", "PATH: line ends only" (only the CR LF line
                         ends differ), "PATH: 2 replacements" (with --office), "PATH:
                         unchanged", "PATH: skipped: REASON", "PATH: fails: REASON".
  --diff                 Write nothing; print a unified diff of every file that would change
                         (lines whose only change is their line end are not shown).
  --report FILE          Also write one JSON object per target and line to FILE ("-": standard
                         output): path, outcome (rewritten, unchanged, skipped, failed),
                         changed (lines; with --office, replacements), bytes_before,
                         bytes_after and, for a skip or a failure, reason.
  --stats                At the end, one line on stderr: files rewritten, with changed lines,
                         skipped, failed, bytes before and after, seconds.
  --backup-dir DIR       Keep the original of every file the run rewrites under DIR (its
                         absolute path below DIR/files) with a manifest of what the run wrote.
  --restore DIR          Put back the originals kept in DIR, each only when the file still
                         holds exactly what the run wrote; any other file is named on stderr
                         ("changed since the run: left as it is") and the exit status is 1.

The word-processor engine:
  --office               Open every file as a document and replace every occurrence, as a
                         word processor's "Replace All" does, and save it under the same name
                         in its own format: a text file stays text (its encoding kept, CR LF
                         line ends); .docx, .odt and .rtf stay documents, with the text
                         replaced inside and everything else (formatting, tables, pictures,
                         headers) kept; one in which nothing was found is not rewritten. A
                         legacy .doc is left as it is, and so is a file holding NUL bytes that
                         is no document (both are named on stderr and count as done). Text
                         files over 24 MB and documents over 128 MB are refused. Special
                         characters are written with a caret: ^p paragraph, ^t tab, ^^ a
                         caret, ^# any digit, ^? any character, ^& the found text. Takes
                         --find, --replace, --match-case, --whole-word, the targets (not
                         --scan) and these:
  --wildcards            The find text is a pattern: ? one character, * any run, [a-z] one of,
                         [!a-z] none of, {n,m} repeats, @ one or more, < > word start and end,
                         ( ) groups that \1 ... \9 put back in the replacement.
  --sounds-like          Also find words that sound alike ("fun" finds "funny").
  --word-forms           Also find other forms of the word ("sit" finds "sat").
  --save-as-text         Save every document as plain text instead (UTF-8; .doc included):
                         its formatting is lost.

  -h, --help             Show this help.
  -V, --version          Show the version.

An option's value may also be given as --option=VALUE. Texts and files are taken byte for
byte; nothing is converted between character sets (except by --office).

Exit status:
  0  every file was done
  1  at least one file or folder could not be read or written (each is named on stderr)
  2  the command line is wrong (nothing was touched): a missing or doubled option, no file,
     --dir without --mask, or with --office a caret code or pattern the engine refuses
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
    if (name == "--report")
        return &args.report;
    if (name == "--backup-dir")
        return &args.backupDir;
    if (name == "--restore")
        return &args.restore;
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
    try {
        return SplitLines(ReadWholeFile(path, TextFileCap));
    } catch (const Error &e) {
        usage(option + ": " + e.what()); // "cannot read '<path>': <why>"
    }
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

// The find and replace texts are read as the engine will read them, so that a bad caret code,
// a bad wildcard pattern or an overlong text stops the run before any file is opened, instead
// of failing once per file.
void checkOfficeTexts(const std::string &find, const std::string &replace, bool wildcards)
{
    const std::u32string findText = doc::FromUtf8(find), replaceText = doc::FromUtf8(replace);
    if (doc::Utf16Length(findText) > doc::kMaxFindLength ||
        doc::Utf16Length(replaceText) > doc::kMaxFindLength)
        usage("--find and --replace take at most " + std::to_string(doc::kMaxFindLength) + " characters");
    try {
        doc::PatternOptions pattern;
        pattern.wildcards = wildcards;
        const doc::Program program = doc::CompileFind(findText, pattern);
        doc::ParseReplacement(replaceText, wildcards, program.groups);
    } catch (const doc::FindError &e) {
        usage(e.what());
    }
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
    checkOfficeTexts(request.officeFind, request.officeReplace, args.wildcards);
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
        if (arg == "--help" || arg == "-h") {
            args.help = true;
            continue;
        }
        if (arg == "--version" || arg == "-V") {
            args.version = true;
            continue;
        }
        if (arg == "-0" || arg == "--null") {
            args.null = true;
            continue;
        }
        if (arg == "--dry-run" || arg == "--diff" || arg == "--stats") {
            (arg == "--dry-run" ? args.dryRun : arg == "--diff" ? args.diff : args.stats) = true;
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

    atMostOnce(args.report, "--report");
    atMostOnce(args.backupDir, "--backup-dir");
    atMostOnce(args.restore, "--restore");

    CliRequest request;
    request.mask = args.masks.empty() ? std::string() : args.masks.front();
    if (!args.restore.empty()) {
        if (args.argumentsBesidesRestore())
            usage("--restore DIR puts back what --backup-dir kept: it takes no other option or file");
        request.mode = CliRequest::Mode::Restore;
        request.restoreDir = args.restore.front();
        return request;
    }
    request.dryRun = args.dryRun;
    request.diff = args.diff;
    request.stats = args.stats;
    request.report = args.report.empty() ? std::string() : args.report.front();
    request.backupDir = args.backupDir.empty() ? std::string() : args.backupDir.front();
    if ((args.dryRun || args.diff) && !request.backupDir.empty())
        usage("--dry-run and --diff write nothing: they take no --backup-dir");
    if (args.report.size() == 1 && request.report.empty())
        usage("--report needs a file name, or - for standard output");
    if (args.backupDir.size() == 1 && request.backupDir.empty())
        usage("--backup-dir needs a folder");
    const bool recorded = args.dryRun || args.diff || !args.report.empty() || !args.backupDir.empty();
    for (const std::string &path : args.paths)
        if (path == "-" && recorded)
            usage("\"-\" (standard input) takes no --dry-run, --diff, --report or --backup-dir");
    if (args.office)
        return officeRequest(args, request);
    if (!args.scans.empty() && (recorded || args.stats))
        usage("--scan changes nothing and takes no --dry-run, --diff, --report, --stats or --backup-dir");
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
