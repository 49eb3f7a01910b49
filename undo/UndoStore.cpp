#include "undo/UndoStore.h"

#include "base/Error.h"
#include "base/ReadFile.h"
#include "base/SafeWrite.h"
#include "base/UndoFolder.h"
#include "settings/SettingsFile.h"
#include "undo/Hash.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>

namespace vexlo {

namespace {

constexpr const char *kManifestHeader = "vexlopro undo 1";
constexpr std::size_t kManifestEvery = 128; // files between two manifest writes
constexpr std::size_t kCopyChunk = std::size_t(1) << 20;

std::string escape(const std::string &text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string unescape(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char c = text[++i];
        out += c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
    }
    return out;
}

std::vector<std::string_view> fields(std::string_view line)
{
    std::vector<std::string_view> out;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= line.size(); ++i)
        if (i == line.size() || line[i] == '\t') {
            out.push_back(line.substr(start, i - start));
            start = i + 1;
        }
    return out;
}

std::uint64_t toNumber(std::string_view text, int base = 10)
{
    if (text.empty())
        throw std::invalid_argument("empty");
    std::size_t used = 0;
    const std::string s(text);
    const unsigned long long v = std::stoull(s, &used, base);
    if (used != s.size())
        throw std::invalid_argument("not a number");
    return v;
}

// Where the original of `path` goes in a run folder: its absolute path, normalised so that no
// ".." leads out of the folder, below "files".
std::string mirrored(const std::string &absolute)
{
    return "files" + absolute;
}

std::string absoluteOf(const std::string &path)
{
    std::filesystem::path p(path);
    if (!p.is_absolute())
        p = std::filesystem::current_path() / p;
    return p.lexically_normal().string();
}

// Makes the folders of `file` below `base` (mode 0700). Throws Error{Io}.
void makeFolders(const std::string &base, const std::string &relativeFile, std::vector<std::string> &made)
{
    std::size_t at = 0;
    while ((at = relativeFile.find('/', at + 1)) != std::string::npos) {
        const std::string folder = base + "/" + relativeFile.substr(0, at);
        if (!made.empty() && made.back().size() >= folder.size() &&
            made.back().compare(0, folder.size(), folder) == 0 &&
            (made.back().size() == folder.size() || made.back()[folder.size()] == '/'))
            continue; // below the last folder made
        if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
            throw IoError("create", folder, errno);
    }
    made.assign(1, base + "/" + relativeFile.substr(0, relativeFile.rfind('/')));
}

void makeFolder(const std::string &folder)
{
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        throw IoError("create", folder, errno);
}

// The bytes of `fd` from its start, copied to `to` through the write unit.
void copyOriginal(int fd, const std::string &path, const std::string &to, mode_t mode)
{
    ReplaceOptions options;
    options.createIfMissing = true;
    options.newFileMode = mode & 07777 ? mode & 07777 : 0600;
    FileReplacement out(to, options);
    out.prepareOutput();
    static thread_local std::unique_ptr<char[]> buffer(new char[kCopyChunk]);
    off_t offset = 0;
    for (;;) {
        const ssize_t got = ::pread(fd, buffer.get(), kCopyChunk, offset);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throw IoError("read", path, errno);
        }
        if (got == 0)
            break;
        out.write(std::string_view(buffer.get(), std::size_t(got)));
        offset += got;
    }
    out.commit();
}

// The undo folder's own files are read as they are: a link in their place is refused.
ReadOptions NoLinks()
{
    ReadOptions options;
    options.noFollow = true;
    return options;
}

std::string manifestText(const std::string &note, const std::vector<UndoEntry> &entries)
{
    std::string text = std::string(kManifestHeader) + "\n";
    if (!note.empty())
        text += "note\t" + escape(note) + "\n";
    for (const UndoEntry &e : entries) {
        text += HashText(e.newHash) + "\t" + std::to_string(e.newSize) + "\t" + std::to_string(e.newMtimeNs) +
                "\t" + std::to_string(e.originalSize) + "\t" + escape(e.original) + "\t" + escape(e.path) +
                "\n";
    }
    return text;
}

std::uint64_t folderBytes(const std::string &folder)
{
    std::uint64_t total = 0;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        std::error_code sizeError;
        if (it->is_regular_file(sizeError))
            total += it->file_size(sizeError);
    }
    return total;
}

void removeBelow(int dirFd, const std::string &shown)
{
    const int listFd = ::dup(dirFd);
    DIR *dir = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
    if (!dir) {
        if (listFd >= 0)
            ::close(listFd);
        throw IoError("read", shown, errno);
    }
    std::vector<std::pair<std::string, bool>> names;
    while (const dirent *entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat st;
        const bool isDir =
            ::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
        names.emplace_back(name, isDir);
    }
    ::closedir(dir);
    for (const auto &[name, isDir] : names) {
        const std::string path = shown + "/" + name;
        if (isDir) {
            const int sub = ::openat(dirFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (sub < 0)
                throw IoError("delete", path, errno);
            try {
                removeBelow(sub, path);
            } catch (...) {
                ::close(sub);
                throw;
            }
            ::close(sub);
        }
        if (::unlinkat(dirFd, name.c_str(), isDir ? AT_REMOVEDIR : 0) != 0 && errno != ENOENT)
            throw IoError("delete", path, errno);
    }
}

} // namespace

UndoManifest ReadUndoManifest(const std::string &runFolder)
{
    const std::string path = runFolder + "/" + kUndoManifestName;
    const std::string text = ReadWholeFile(path, SetFileCap, NoLinks()); // one file a line
    UndoManifest manifest;
    std::size_t start = 0;
    bool headerSeen = false;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string_view line(text.data() + start, end - start);
        start = end + 1;
        if (!headerSeen) {
            if (line != kManifestHeader)
                throw Error(ErrorKind::Io, path, "'" + EscapeControls(path) + "' is not an undo manifest");
            headerSeen = true;
            continue;
        }
        const std::vector<std::string_view> f = fields(line);
        if (f.size() == 2 && f[0] == "note") {
            manifest.note = unescape(f[1]);
            continue;
        }
        try {
            if (f.size() != 6)
                throw std::invalid_argument("fields");
            UndoEntry e;
            e.newHash = toNumber(f[0], 16);
            e.newSize = toNumber(f[1]);
            e.newMtimeNs = std::int64_t(toNumber(f[2]));
            e.originalSize = toNumber(f[3]);
            e.original = unescape(f[4]);
            e.path = unescape(f[5]);
            if (e.original.find("..") != std::string::npos || e.original.rfind("files/", 0) != 0)
                throw std::invalid_argument("original outside the run folder");
            manifest.entries.push_back(std::move(e));
        } catch (const std::exception &) {
            throw Error(ErrorKind::Io, path, "'" + EscapeControls(path) + "' has a damaged line");
        }
    }
    if (!headerSeen)
        throw Error(ErrorKind::Io, path, "'" + EscapeControls(path) + "' is not an undo manifest");
    return manifest;
}

UndoRecorder::UndoRecorder(std::string runFolder) : m_folder(std::move(runFolder)) {}

void UndoRecorder::beforeCommit(const std::string &path, FileReplacement &prepared)
{
    m_pending.clear();
    const std::string absolute = absoluteOf(path);
    if (m_index.count(absolute) || !prepared.exists()) {
        m_pending = absolute; // the first original stays; the new state is updated
        return;
    }
    struct stat st;
    if (::fstat(prepared.sourceDescriptor(), &st) != 0)
        throw IoError("read", path, errno);
    const std::string relative = mirrored(absolute);
    if (m_entries.empty() && m_madeFolders.empty())
        makeFolder(m_folder);
    makeFolders(m_folder, relative, m_madeFolders);
    copyOriginal(prepared.sourceDescriptor(), path, m_folder + "/" + relative, st.st_mode);
    UndoEntry entry;
    entry.path = path;
    entry.original = relative;
    entry.originalSize = std::uint64_t(st.st_size);
    m_index[absolute] = m_entries.size();
    m_entries.push_back(std::move(entry));
    m_pending = absolute;
}

void UndoRecorder::afterCommit(const std::string &path)
{
    const auto it = m_index.find(m_pending);
    m_pending.clear();
    if (it == m_index.end())
        return;
    UndoEntry &entry = m_entries[it->second];
    struct stat st;
    try {
        entry.newHash = HashFile(path, entry.newSize);
        if (::stat(path.c_str(), &st) == 0)
            entry.newMtimeNs = std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    } catch (const Error &e) {
        // Left with a hash no file has: the undo then leaves this file as it is.
        entry.newSize = ~std::uint64_t(0);
        m_lastError = e.what();
    }
    if (++m_unsaved >= kManifestEvery)
        writeManifest();
}

void UndoRecorder::end()
{
    try {
        makeFolder(m_folder);
    } catch (const Error &e) {
        m_lastError = e.what();
        return;
    }
    writeManifest(); // also for a run that rewrote nothing, so the folder is a run folder
}

void UndoRecorder::writeManifest()
{
    m_unsaved = 0;
    try {
        WriteFileSafely(m_folder + "/" + kUndoManifestName, manifestText({}, m_entries));
    } catch (const Error &e) {
        m_lastError = e.what();
    }
}

UndoTally RestoreRun(const std::string &runFolder, RunObserver &observer)
{
    const UndoManifest manifest = ReadUndoManifest(runFolder);
    UndoTally tally;
    observer.starting(manifest.entries.size());
    for (const UndoEntry &entry : manifest.entries) {
        if (!observer.keepGoing())
            break;
        try {
            struct stat st;
            if (::stat(entry.path.c_str(), &st) != 0 && errno == ENOENT) {
                ++tally.changedSince;
                observer.fileDone(entry.path, Outcome::Skipped);
                continue;
            }
            FileReplacement target(entry.path);
            const std::string current = target.readAll();
            if (current.size() != entry.newSize || HashBytes(current) != entry.newHash) {
                ++tally.changedSince;
                observer.fileDone(entry.path, Outcome::Skipped);
                continue;
            }
            const std::string originalPath = runFolder + "/" + entry.original;
            const auto damaged = [&] {
                return Error(ErrorKind::Io, entry.path,
                             "cannot restore '" + EscapeControls(entry.path) + "': its original in '" +
                                 EscapeControls(originalPath) + "' is damaged");
            };
            std::string original;
            try {
                original = ReadWholeFile(originalPath, entry.originalSize, NoLinks());
            } catch (const FileTooLarge &) {
                throw damaged(); // never held whole: it is not the copy the run made
            }
            if (original.size() != entry.originalSize)
                throw damaged();
            target.prepareOutput();
            target.write(original);
            target.commit();
            ++tally.restored;
            observer.fileDone(entry.path, Outcome::Done);
        } catch (const Error &e) {
            ++tally.failed;
            observer.error(entry.path, e);
        }
    }
    return tally;
}

std::string UndoStore::root() const
{
    return m_folder.file(kUndoFolderName).string();
}

std::uint64_t UndoStore::limitBytes() const
{
    const SettingsFile settings(m_folder.file(MainSettingsName));
    const std::string value = settings.read(kUndoSection, kUndoLimitKey, std::to_string(kUndoDefaultLimitMB));
    std::uint64_t megabytes = kUndoDefaultLimitMB;
    try {
        megabytes = toNumber(value);
    } catch (const std::exception &) {
    }
    return megabytes << 20;
}

std::vector<std::string> UndoStore::runs() const
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto &entry : std::filesystem::directory_iterator(root(), ec)) {
        const std::string name = entry.path().filename().string();
        std::error_code typeError;
        if (name.rfind("run-", 0) == 0 && name.size() == 10 && entry.is_directory(typeError) &&
            !entry.is_symlink(typeError))
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    for (std::string &name : names)
        name = root() + "/" + name;
    return names;
}

std::string UndoStore::lastRun() const
{
    const std::vector<std::string> all = runs();
    return all.empty() ? std::string() : all.back();
}

UndoStore::Plan UndoStore::beginRun(const std::vector<std::string> &paths) const
{
    std::uint64_t targets = 0;
    for (const std::string &path : paths) {
        struct stat st;
        if (!path.empty() && path.back() != '/' && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
            targets += std::uint64_t(st.st_size);
    }
    const std::uint64_t limit = limitBytes();
    std::vector<std::string> existing = runs();
    int number = 1;
    if (!existing.empty())
        number = std::atoi(existing.back().c_str() + existing.back().size() - 6) + 1;
    char name[16];
    std::snprintf(name, sizeof name, "run-%06d", number % 1000000);
    Plan plan;
    makeFolder(m_folder.dir().string());
    makeFolder(root());
    plan.folder = root() + "/" + name;

    std::uint64_t kept = 0;
    std::vector<std::uint64_t> sizes;
    for (const std::string &run : existing) {
        sizes.push_back(folderBytes(run));
        kept += sizes.back();
    }
    std::size_t drop = 0;
    const bool fits = targets <= limit;
    while (drop < existing.size() &&
           (existing.size() - drop >= std::size_t(kUndoRunsKept) || (fits && kept + targets > limit))) {
        kept -= sizes[drop];
        RemoveStoreFolder(existing[drop++]);
    }
    makeFolder(plan.folder);
    if (!fits) {
        plan.refusal = "This run goes without undo copy: its files (" + std::to_string(targets >> 20) +
                       " MB) exceed the undo limit of " + std::to_string(limit >> 20) + " MB.";
        WriteFileSafely(plan.folder + "/" + kUndoManifestName, manifestText(plan.refusal, {}));
    } else {
        WriteFileSafely(plan.folder + "/" + kUndoManifestName, manifestText({}, {}));
    }
    return plan;
}

StoreRecorder::StoreRecorder(ProgramFolder folder, std::function<void(const std::string &)> notice)
    : m_store(std::move(folder)), m_notice(std::move(notice))
{
}

void StoreRecorder::begin(const std::vector<std::string> &paths)
{
    m_recorder.reset();
    try {
        const UndoStore::Plan plan = m_store.beginRun(paths);
        if (!plan.refusal.empty()) {
            if (m_notice)
                m_notice(plan.refusal);
            return;
        }
        m_recorder = std::make_unique<UndoRecorder>(plan.folder);
    } catch (const Error &e) {
        if (m_notice)
            m_notice(std::string("This run goes without undo copy: ") + e.what());
    }
}

void StoreRecorder::beforeCommit(const std::string &path, FileReplacement &prepared)
{
    if (m_recorder)
        m_recorder->beforeCommit(path, prepared);
}

void StoreRecorder::afterCommit(const std::string &path)
{
    if (m_recorder)
        m_recorder->afterCommit(path);
}

void StoreRecorder::end()
{
    if (m_recorder)
        m_recorder->end();
}

void RemoveStoreFolder(const std::string &folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return;
        throw IoError("delete", folder, errno);
    }
    try {
        removeBelow(fd, folder);
    } catch (...) {
        ::close(fd);
        throw;
    }
    ::close(fd);
    if (::rmdir(folder.c_str()) != 0 && errno != ENOENT)
        throw IoError("delete", folder, errno);
}

} // namespace vexlo
