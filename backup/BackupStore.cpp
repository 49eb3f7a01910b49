#include "backup/BackupStore.h"

#include "base/Error.h"
#include "base/SafeWrite.h"
#include "settings/SettingsFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <fstream>
#include <iterator>

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

std::string ReadWhole(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw IoError("read", path, errno ? errno : ENOENT);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        throw IoError("read", path, EIO);
    return bytes;
}

// Any failure of one file's copy, as the core's error naming that file.
Error AsError(const std::string &path, const std::exception &e)
{
    if (const auto *error = dynamic_cast<const Error *>(&e))
        return *error;
    return Error(ErrorKind::Io, path, "cannot copy '" + path + "': " + e.what());
}

bool IsRegularFile(const std::string &path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
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
    if (IsOwnFile(name))
        return "The backup name \"" + name + "\" is the name of one of Vexlo Pro's own files; " +
               "please choose another.";
    return {};
}

std::string BackupStore::indexPath() const
{
    return m_folder.file(BackupIndexName).string();
}

std::string BackupStore::proposeName() const
{
    const SettingsFile settings(m_folder.file(MainSettingsName));
    const int count = ToInt(settings.read(BackupCounterSection, BackupCounterKey, BackupCounterKey));
    return "BackUp" + std::to_string(static_cast<long long>(count) + 1);
}

BackupTally BackupStore::copyFiles(const std::vector<std::string> &paths, RunObserver &observer) const
{
    BackupTally tally;
    tally.set.reserve(paths.size());
    for (const std::string &path : paths) {
        if (!observer.keepGoing())
            break;
        const std::string copy = path + BackupSuffix;
        try {
            CopyFileSafely(path, copy);
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
    const std::string path = indexPath();
    Lines lines;
    if (::access(path.c_str(), F_OK) == 0)
        lines = SplitLines(ReadWhole(path));
    lines.push_back(name);
    WriteFileSafely(path, JoinLines(lines));
}

void BackupStore::writeSet(const std::string &name, const Lines &set) const
{
    const std::string path = m_folder.file(name).string();
    if (!BackupNameProblem(name).empty())
        throw Error(ErrorKind::Io, path, "cannot write '" + path + "': not a backup name");
    WriteFileSafely(path, JoinLines(set));
}

void BackupStore::increaseCounter() const
{
    SettingsFile settings(m_folder.file(MainSettingsName));
    const int count = ToInt(settings.read(BackupCounterSection, BackupCounterKey, BackupCounterKey));
    settings.write(BackupCounterSection, BackupCounterKey, std::to_string(static_cast<long long>(count) + 1));
}

Lines BackupStore::listBackups() const
{
    return SplitLines(ReadWhole(indexPath()));
}

Lines BackupStore::readSet(const std::string &name) const
{
    const std::string path = m_folder.file(name).string();
    // Only a plain name in the program folder; the index itself is no set.
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos ||
        name == BackupIndexName)
        throw Error(ErrorKind::Io, path, "cannot read '" + path + "': not a backup set");
    if (!IsRegularFile(path))
        throw IoError("read", path, ENOENT);
    return SplitLines(ReadWhole(path));
}

// A set line that names a backup copy: something before the suffix.
static bool IsCopyLine(const std::string &line)
{
    return EndsWith(line, BackupSuffix) && line.size() > std::strlen(BackupSuffix);
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
            if (!IsRegularFile(line))
                throw IoError("read", line, ENOENT); // the target stays as it is
            CopyFileSafely(line, target);
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
        struct stat info {};
        if (::lstat(line.c_str(), &info) != 0) {
            const Error e = IoError("delete", line, errno);
            tally.fail(line, e.what());
            observer.error(line, e);
        } else if (S_ISDIR(info.st_mode)) {
            const Error e = IoError("delete", line, EISDIR);
            tally.fail(line, e.what());
            observer.error(line, e);
        } else if (::unlink(line.c_str()) != 0) {
            const Error e = IoError("delete", line, errno);
            tally.fail(line, e.what());
            observer.error(line, e);
        } else {
            ++tally.done;
            observer.fileDone(line, Outcome::Done);
        }
    }
    return tally;
}

void BackupStore::writeIndexWithout(const Lines &listed, int position) const
{
    Lines kept;
    kept.reserve(listed.size());
    for (std::size_t i = 0; i < listed.size(); ++i) {
        if (static_cast<int>(i) != position)
            kept.push_back(listed[i]);
    }
    WriteFileSafely(indexPath(), JoinLines(kept));
}

} // namespace vexlo
