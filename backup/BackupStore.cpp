#include "backup/BackupStore.h"

#include "base/Error.h"
#include "base/FileCopy.h"
#include "base/ReadFile.h"
#include "base/SafeWrite.h"
#include "settings/SettingsFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <optional>

namespace vexlo {

namespace {

// The files the program keeps in its folder, which a backup name must not replace.
const char *const OwnFiles[] = {
    "vexlopro.ini",
    "vexlo.ini",
    BackupIndexName,
    "help.txt",
    "a.txt",
    "richedittext.vexlo",
    "Vexloy.XXX",
    "MSWordTesting.doc",
    "TextFileTesting.txt",
    "vexlopro",
    "vexlopro-cli",
    "icons.rcc",
};
const char *const HistorySeries[] = {"WhatToFind", "ReplaceWith", "WhatToFindMultiLine",
                                     "ReplaceWithMultiLine"};

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    return text;
}

bool EndsWith(const std::string &text, const std::string &end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

bool IsOwnFile(const std::string &name)
{
    const std::string lower = Lower(name);
    for (const char *own : OwnFiles) {
        if (lower == Lower(own))
            return true;
    }
    for (const char *series : HistorySeries) {
        for (int slot = 0; slot <= 9; ++slot) {
            if (lower == Lower(std::string(series) + std::to_string(slot) + ".vexlopro"))
                return true;
        }
    }
    for (int memo = 1; memo <= 6; ++memo) {
        if (lower == Lower("Memo" + std::to_string(memo) + ".Notes"))
            return true;
    }
    return false;
}

// Any failure of one file's copy, as the core's error naming that file.
Error AsError(const std::string &path, const std::exception &e)
{
    if (const auto *error = dynamic_cast<const Error *>(&e))
        return *error;
    return Error(ErrorKind::Io, path, "cannot copy '" + path + "': " + e.what());
}

bool HasLineBreak(const std::string &text)
{
    return text.find_first_of("\r\n") != std::string::npos;
}

// A set line that names a backup copy: an absolute path whose last component is longer than
// the suffix and ends in it. Any other line would make a restore or delete reach another file.
bool IsCopyLine(const std::string &line)
{
    const std::size_t suffix = std::strlen(BackupSuffix);
    return !line.empty() && line.front() == '/' && EndsWith(line, BackupSuffix) && line.size() > suffix + 1 &&
           line[line.size() - suffix - 1] != '/';
}

// Why `path` from the File List gets no copy and no set line; empty when it is backed up.
std::string UncopyablePath(const std::string &path)
{
    if (HasLineBreak(path))
        return "its name holds a line break, which a backup set cannot keep";
    if (path.empty() || path.front() != '/')
        return "not an absolute path";
    struct stat info {};
    if (path.back() == '/' || (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)))
        return "is a folder";
    return {};
}

} // namespace

void BackupTally::fail(const std::string &path, const std::string &reason)
{
    if (failed++ == 0) {
        firstFailedPath = path;
        firstFailure = reason;
    }
}

std::string EndMessage(const BackupTally &tally, const std::string &verb)
{
    std::string text = "The end.";
    if (tally.failed > 0) {
        text += "\r\n" + std::to_string(tally.failed) + (tally.failed == 1 ? " file" : " files") +
                " could not be " + verb + ", the first: " + tally.firstFailedPath + " (" +
                tally.firstFailure + ")";
    }
    if (tally.skipped > 0) {
        text += "\r\n" + std::to_string(tally.skipped) + (tally.skipped == 1 ? " line" : " lines") +
                " of the backup set named no backup copy" + " and were left alone.";
    }
    return text;
}

std::string BackupNameProblem(const std::string &name)
{
    if (name.empty())
        return "Please type a name for the backup.";
    if (name == "." || name == ".." || name.find('/') != std::string::npos ||
        name.find('\\') != std::string::npos || name.find('\0') != std::string::npos)
        return "The backup name \"" + name +
               "\" is not a plain file name: it must not hold \"/\" or \"\\\" or be \".\" or \"..\".";
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f)
            return "The backup name \"" + EscapeControls(name) +
                   "\" holds a line break or another control character; please type it on one line.";
    }
    if (name.size() > 255)
        return "The backup name is " + std::to_string(name.size()) +
               " bytes long; a file name may have at most 255 bytes.";
    if (IsOwnFile(name))
        return "The backup name \"" + name + "\" is the name of one of Vexlo Pro's own files; " +
               "please choose another.";
    return {};
}

std::string BackupStore::indexPath() const
{
    return m_folder.file(BackupIndexName).string();
}

std::string BackupStore::nameProblem(const std::string &name) const
{
    if (std::string problem = BackupNameProblem(name); !problem.empty())
        return problem;
    const std::string path = m_folder.file(name).string();
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode))
        return "The backup name \"" + name + "\" is taken by " +
               (S_ISDIR(info.st_mode) ? "a folder" : "something that is not a file") +
               " in the program folder; please choose another.";
    return {};
}

std::string BackupStore::proposeName() const
{
    const SettingsFile settings(m_folder.file(MainSettingsName));
    const int count = ToInt(settings.read(BackupCounterSection, BackupCounterKey, BackupCounterKey));
    return "BackUp" + std::to_string(static_cast<long long>(count) + 1);
}

BackupTally BackupStore::backup(const std::string &name, const std::vector<std::string> &paths,
                                RunObserver &observer) const
{
    if (const std::string problem = nameProblem(name); !problem.empty())
        throw Error(ErrorKind::Io, m_folder.file(name).string(), problem);
    BackupTally tally = copyFiles(paths, observer);
    // The set file first: a set that cannot be written leaves no index line naming nothing.
    writeSet(name, tally.set);
    appendToIndex(name);
    increaseCounter();
    return tally;
}

BackupTally BackupStore::copyFiles(const std::vector<std::string> &paths, RunObserver &observer) const
{
    BackupTally tally;
    tally.set.reserve(paths.size());
    CopyOptions options;
    options.followSourceLink = true; // a link in the File List: its file is backed up
    options.targetIsOwnCopy = true;
    for (const std::string &path : paths) {
        if (!observer.keepGoing())
            break;
        // A folder or a name with a line break gets no set line: it would name another file.
        if (const std::string reason = UncopyablePath(path); !reason.empty()) {
            const Error error(ErrorKind::Io, path, "cannot copy '" + EscapeControls(path) + "': " + reason);
            tally.fail(path, error.what());
            observer.error(path, error);
            continue;
        }
        const std::string copy = path + BackupSuffix;
        try {
            CopyFileHeld(path, copy, options);
            ++tally.done;
            observer.fileDone(path, Outcome::Done);
        } catch (const std::exception &e) {
            const Error error = AsError(path, e);
            tally.fail(path, error.what());
            observer.error(path, error);
        }
        tally.set.push_back(copy); // listed whether or not the copy succeeded
    }
    return tally;
}

void BackupStore::appendToIndex(const std::string &name) const
{
    // Another instance appending meanwhile keeps its line: read, change and write under the lock.
    const SettingsLock lock(m_folder.file(MainSettingsName));
    const std::string path = indexPath();
    Lines lines;
    if (const std::optional<std::string> bytes = ReadFileIfPresent(path, IndexFileCap))
        lines = SplitLines(*bytes);
    lines.push_back(name);
    WriteFileSafely(path, JoinLines(lines));
}

void BackupStore::writeSet(const std::string &name, const Lines &set) const
{
    const std::string path = m_folder.file(name).string();
    if (!BackupNameProblem(name).empty())
        throw Error(ErrorKind::Io, path, "cannot write '" + EscapeControls(path) + "': not a backup name");
    WriteFileSafely(path, JoinLines(set));
}

void BackupStore::increaseCounter() const
{
    SettingsFile settings(m_folder.file(MainSettingsName));
    const SettingsLock lock(settings.path());
    const int count = ToInt(settings.read(BackupCounterSection, BackupCounterKey, BackupCounterKey));
    settings.write(BackupCounterSection, BackupCounterKey, std::to_string(static_cast<long long>(count) + 1));
}

Lines BackupStore::listBackups() const
{
    return SplitLines(ReadWholeFile(indexPath(), IndexFileCap));
}

std::optional<Lines> BackupStore::listBackupsIfPresent() const
{
    const std::optional<std::string> bytes = ReadFileIfPresent(indexPath(), IndexFileCap);
    if (!bytes)
        return std::nullopt;
    return SplitLines(*bytes);
}

Lines BackupStore::readSet(const std::string &name) const
{
    const std::string path = m_folder.file(name).string();
    // Only a plain name in the program folder; the index itself is no set.
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos ||
        name == BackupIndexName)
        throw Error(ErrorKind::Io, path, "cannot read '" + EscapeControls(path) + "': not a backup set");
    return SplitLines(ReadWholeFile(path, SetFileCap));
}

BackupTally BackupStore::restore(const std::string &name, RunObserver &observer) const
{
    const Lines set = readSet(name);
    BackupTally tally;
    for (const std::string &line : set) {
        if (!observer.keepGoing())
            break;
        // A line that names no copy would make the restore write over some other file.
        if (!IsCopyLine(line)) {
            ++tally.skipped;
            observer.fileDone(line, Outcome::Skipped);
            continue;
        }
        const std::string target = line.substr(0, line.size() - std::strlen(BackupSuffix));
        try {
            // The copy is ours: a link found in its place appeared since and is not followed.
            CopyOptions options;
            options.followSourceLink = false;
            CopyFileHeld(line, target, options);
            ++tally.done;
            observer.fileDone(target, Outcome::Done);
        } catch (const std::exception &e) {
            const Error error = AsError(target, e);
            tally.fail(target, error.what());
            observer.error(target, error);
        }
    }
    return tally;
}

BackupTally BackupStore::deleteCopies(const std::string &name, RunObserver &observer) const
{
    const Lines set = readSet(name);
    BackupTally tally;
    for (const std::string &line : set) {
        if (!observer.keepGoing())
            break;
        // Only backup copies are deleted, whatever else a damaged set file names.
        if (!IsCopyLine(line)) {
            ++tally.skipped;
            observer.fileDone(line, Outcome::Skipped);
            continue;
        }
        try {
            DeleteFileHeld(line);
            ++tally.done;
            observer.fileDone(line, Outcome::Done);
        } catch (const Error &e) {
            tally.fail(line, e.what());
            observer.error(line, e);
        }
    }
    return tally;
}

void BackupStore::writeIndexWithout(const Lines &listed, int position) const
{
    const SettingsLock lock(m_folder.file(MainSettingsName));
    Lines kept = SplitLines(ReadWholeFile(indexPath(), IndexFileCap));
    if (position < 0 || static_cast<std::size_t>(position) >= listed.size())
        return;
    // The index as it is now (another instance may have added lines): the listed line goes,
    // at its place when it is still there, else its first occurrence; every other line stays
    // byte for byte.
    const std::string &name = listed[static_cast<std::size_t>(position)];
    auto at = kept.end();
    if (static_cast<std::size_t>(position) < kept.size() && kept[static_cast<std::size_t>(position)] == name)
        at = kept.begin() + position;
    else
        at = std::find(kept.begin(), kept.end(), name);
    if (at == kept.end())
        return;
    kept.erase(at);
    WriteFileSafely(indexPath(), JoinLines(kept));
}

} // namespace vexlo
