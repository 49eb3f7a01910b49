#include "undo/UndoStore.h"

#include "base/Error.h"
#include "base/FileCopy.h"
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
#include <optional>

namespace vexlo {

namespace {

constexpr const char *kManifestHeader = "vexlopro undo 1";
constexpr const char *kPartHeader = "vexlopro undo part";
constexpr std::size_t kManifestEvery = 128; // files between two parts of the manifest

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

// Whether an absolute path is already in its normal form: no empty, "." or ".." component
// and no separator at its end (the form most paths of a run have; checked in one pass).
bool isNormalAbsolute(std::string_view path)
{
    if (path.size() < 2 || path[0] != '/' || path.back() == '/')
        return false;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (path[i] != '/')
            continue;
        const std::string_view next = path.substr(i + 1, 3);
        if (next.empty() || next[0] == '/' || next == "." || next.substr(0, 2) == "./" || next == ".." ||
            next == "../")
            return false;
    }
    return true;
}

std::string absoluteOf(const std::string &path)
{
    if (isNormalAbsolute(path))
        return path;
    std::filesystem::path p(path);
    if (!p.is_absolute())
        p = std::filesystem::current_path() / p;
    return p.lexically_normal().string();
}

void makeFolder(const std::string &folder)
{
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        throw IoError("create", folder, errno);
}

// The bytes of `fd` from its start, copied through the write unit to `to`, whose folder is
// held as `folderFd`.
void copyOriginal(int fd, const std::string &path, const std::string &to, int folderFd,
                  const struct stat &source)
{
    ReplaceOptions options;
    options.createIfMissing = true;
    options.newFileMode = source.st_mode & 07777 ? source.st_mode & 07777 : 0600;
    options.folderDescriptor = folderFd;
    options.refuseLinks = true;
    FileReplacement out(to, options);
    out.copyFrom(fd, std::uint64_t(source.st_size), path);
    out.commit();
}

std::string partName(int number)
{
    return "manifest-" + std::to_string(number) + ".txt";
}

// The undo folder's own files are read as they are: a link in their place is refused.
ReadOptions NoLinks()
{
    ReadOptions options;
    options.noFollow = true;
    return options;
}

std::string manifestLine(const UndoEntry &e)
{
    return HashText(e.newHash) + "\t" + std::to_string(e.newSize) + "\t" + std::to_string(e.newMtimeNs) +
           "\t" + std::to_string(e.originalSize) + "\t" + escape(e.original) + "\t" + escape(e.path) + "\n";
}

std::string manifestText(const std::string &note, const std::vector<UndoEntry> &entries)
{
    std::string text = std::string(kManifestHeader) + "\n";
    if (!note.empty())
        text += "note\t" + escape(note) + "\n";
    for (const UndoEntry &e : entries)
        text += manifestLine(e);
    return text;
}

// Removes the manifest parts of an earlier run kept in the same folder (a --backup-dir used
// again), so that none is read as this run's.
void removeOldParts(const std::string &folder)
{
    std::error_code ec;
    for (const auto &entry : std::filesystem::directory_iterator(folder, ec)) {
        const std::string name = entry.path().filename().string();
        // Only the names of parts ("manifest-" digits ".txt"): a file of the user's stays.
        const std::size_t digits = name.size() - std::min<std::size_t>(name.size(), 13);
        if (name.rfind("manifest-", 0) == 0 && digits > 0 && name.compare(name.size() - 4, 4, ".txt") == 0 &&
            name.find_first_not_of("0123456789", 9) == 9 + digits)
            DeleteFileHeld(absoluteOf(entry.path().string()));
    }
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

namespace {

// Adds the entry lines of one manifest text; `header` is its first line.
void readEntries(const std::string &path, const std::string &text, std::string_view header,
                 UndoManifest &manifest, std::map<std::string, std::size_t> &index)
{
    std::size_t start = 0;
    bool headerSeen = false;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string_view line(text.data() + start, end - start);
        start = end + 1;
        if (!headerSeen) {
            if (line != header)
                throw Error(ErrorKind::Io, path, "'" + EscapeControls(path) + "' is not an undo manifest");
            headerSeen = true;
            continue;
        }
        const std::vector<std::string_view> f = fields(line);
        if (f.size() == 2 && f[0] == "note") {
            manifest.note = unescape(f[1]);
            continue;
        }
        UndoEntry e;
        try {
            if (f.size() != 6)
                throw std::invalid_argument("fields");
            e.newHash = toNumber(f[0], 16);
            e.newSize = toNumber(f[1]);
            e.newMtimeNs = std::int64_t(toNumber(f[2]));
            e.originalSize = toNumber(f[3]);
            e.original = unescape(f[4]);
            e.path = unescape(f[5]);
            if (e.original.find("..") != std::string::npos || e.original.rfind("files/", 0) != 0)
                throw std::invalid_argument("original outside the run folder");
        } catch (const std::exception &) {
            throw Error(ErrorKind::Io, path, "'" + EscapeControls(path) + "' has a damaged line");
        }
        const auto [at, added] = index.emplace(e.path, manifest.entries.size());
        if (added) {
            manifest.entries.push_back(std::move(e));
            continue;
        }
        UndoEntry &listed = manifest.entries[at->second]; // rewritten again: its first original stays
        listed.newHash = e.newHash;
        listed.newSize = e.newSize;
        listed.newMtimeNs = e.newMtimeNs;
    }
    if (!headerSeen)
        throw Error(ErrorKind::Io, path, "'" + EscapeControls(path) + "' is not an undo manifest");
}

} // namespace

UndoManifest ReadUndoManifest(const std::string &runFolder)
{
    UndoManifest manifest;
    std::map<std::string, std::size_t> index;
    const std::string path = runFolder + "/" + kUndoManifestName;
    readEntries(path, ReadWholeFile(path, SetFileCap, NoLinks()), kManifestHeader, manifest, index);
    // The parts follow in order up to the first one missing (a run ended before writing it).
    for (int number = 1;; ++number) {
        const std::string part = runFolder + "/" + partName(number);
        struct stat st;
        if (::lstat(part.c_str(), &st) != 0 && errno == ENOENT)
            break;
        readEntries(part, ReadWholeFile(part, SetFileCap, NoLinks()), kPartHeader, manifest, index);
    }
    return manifest;
}

UndoRecorder::UndoRecorder(std::string runFolder)
    : m_folder(std::move(runFolder)), m_absoluteFolder(absoluteOf(m_folder))
{
}

UndoRecorder::~UndoRecorder()
{
    if (m_folderFd >= 0)
        ::close(m_folderFd);
}

void UndoRecorder::openFolder()
{
    if (m_folderFd >= 0)
        return;
    makeFolder(m_folder);
    const int fd = ::open(m_folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        throw IoError("open", m_folder, errno);
    try {
        removeOldParts(m_folder);
        WriteFileSafely(m_folder + "/" + kUndoManifestName, manifestText({}, {}));
    } catch (...) {
        ::close(fd);
        throw;
    }
    m_folderFd = fd;
}

struct UndoRecorder::HeldFolder {
    int fd = -1;
    ~HeldFolder()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

std::shared_ptr<UndoRecorder::HeldFolder> UndoRecorder::heldFolder(const std::string &relative)
{
    constexpr std::size_t kHeld = 64; // descriptors kept; runs go through one folder at a time
    const std::string folder = relative.substr(0, relative.rfind('/'));
    if (const auto it = m_heldFolders.find(folder); it != m_heldFolders.end())
        return it->second;
    std::size_t at = 0;
    while ((at = relative.find('/', at + 1)) != std::string::npos) {
        const std::string part = relative.substr(0, at);
        if (::mkdirat(m_folderFd, part.c_str(), 0700) != 0 && errno != EEXIST)
            throw IoError("create", m_folder + "/" + part, errno);
    }
    auto held = std::make_shared<HeldFolder>();
    held->fd = ::openat(m_folderFd, folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (held->fd < 0)
        throw IoError("open", m_folder + "/" + folder, errno);
    if (m_heldFolders.size() >= kHeld)
        m_heldFolders.clear(); // a copy under way keeps its folder until it is done
    m_heldFolders.emplace(folder, held);
    return held;
}

UndoRecorder::Kept UndoRecorder::keep(const std::string &path, const std::string &absolute,
                                      FileReplacement &file)
{
    Kept kept;
    kept.path = path;
    kept.source = file.sourceDescriptor();
    bool copy = file.exists();
    const std::string relative = mirrored(absolute);
    std::optional<Kept> earlier; // prepared before and never committed: its copy is out of date
    std::shared_ptr<HeldFolder> folder;
    {
        std::lock_guard lock(m_mutex);
        if (m_index.count(absolute))
            copy = false; // the first original stays
        const auto it = m_kept.find(absolute);
        if (it != m_kept.end()) {
            earlier = std::move(it->second);
            m_kept.erase(it);
        }
        if (copy) {
            openFolder();
            folder = heldFolder(relative);
        }
    }
    if (earlier)
        removeCopy(*earlier); // before a new copy takes its name
    if (!copy)
        return kept;
    const struct stat &source = file.sourceInfo();
    copyOriginal(file.sourceDescriptor(), path, m_absoluteFolder + "/" + relative, folder->fd, source);
    kept.original = relative;
    kept.originalSize = std::uint64_t(source.st_size);
    return kept;
}

void UndoRecorder::removeCopy(const Kept &kept) noexcept
{
    if (kept.original.empty())
        return;
    try {
        DeleteFileHeld(m_absoluteFolder + "/" + kept.original);
    } catch (const Error &) {
        // Not in the manifest, so never restored: only the space stays taken.
    }
}

void UndoRecorder::prepared(const std::string &path, FileReplacement &file)
{
    const std::string absolute = absoluteOf(path);
    Kept kept = keep(path, absolute, file);
    kept.fromPrepared = true;
    if (file.hashesWritten()) {
        const struct stat written = file.writtenInfo();
        kept.hashed = true;
        kept.newHash = file.writtenHash();
        kept.newSize = file.writtenSize();
        kept.newMtimeNs = std::int64_t(written.st_mtim.tv_sec) * 1000000000 + written.st_mtim.tv_nsec;
    }
    std::lock_guard lock(m_mutex);
    m_kept[absolute] = std::move(kept);
}

void UndoRecorder::beforeCommit(const std::string &path, FileReplacement &prepared)
{
    std::string absolute = absoluteOf(path);
    {
        std::lock_guard lock(m_mutex);
        // The record prepared() made of this very file, which holds its descriptor still.
        const auto it = m_kept.find(absolute);
        if (it != m_kept.end() && it->second.fromPrepared &&
            it->second.source == prepared.sourceDescriptor()) {
            m_committing = std::move(absolute);
            return;
        }
    }
    Kept kept = keep(path, absolute, prepared); // prepared without prepared()
    std::lock_guard lock(m_mutex);
    m_kept[absolute] = std::move(kept);
    m_committing = std::move(absolute);
}

void UndoRecorder::afterCommit(const std::string &path)
{
    Kept kept;
    std::string absolute;
    {
        std::lock_guard lock(m_mutex);
        absolute = std::move(m_committing);
        m_committing.clear();
        const auto it = m_kept.find(absolute);
        if (it == m_kept.end())
            return;
        kept = std::move(it->second);
        m_kept.erase(it);
    }
    if (!kept.hashed) {
        try {
            kept.newHash = HashFile(path, kept.newSize);
            struct stat st;
            if (::stat(path.c_str(), &st) == 0)
                kept.newMtimeNs = std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
        } catch (const Error &e) {
            // Left with a size no file has: the undo then leaves this file as it is.
            kept.newSize = ~std::uint64_t(0);
            m_lastError = e.what();
        }
    }
    {
        std::lock_guard lock(m_mutex);
        auto it = m_index.find(absolute);
        if (it == m_index.end()) {
            if (kept.original.empty())
                return; // a file the run created: nothing to put back
            it = m_index.emplace(absolute, m_entries.size()).first;
            UndoEntry entry;
            entry.path = kept.path;
            entry.original = kept.original;
            entry.originalSize = kept.originalSize;
            m_entries.push_back(std::move(entry));
        }
        UndoEntry &entry = m_entries[it->second];
        entry.newHash = kept.newHash;
        entry.newSize = kept.newSize;
        entry.newMtimeNs = kept.newMtimeNs;
        m_unsaved += manifestLine(entry); // a later line for a path updates the earlier one
    }
    if (++m_unsavedCount >= kManifestEvery)
        writePart();
}

void UndoRecorder::end()
{
    std::unordered_map<std::string, Kept> left;
    {
        std::lock_guard lock(m_mutex);
        left.swap(m_kept);
        m_committing.clear();
        try {
            openFolder(); // also for a run that rewrote nothing, so the folder is a run folder
        } catch (const Error &e) {
            m_lastError = e.what();
            return;
        }
    }
    for (const auto &[absolute, kept] : left) // prepared, never committed
        removeCopy(kept);
    if (m_unsavedCount > 0)
        writePart();
}

void UndoRecorder::writePart()
{
    // Only the committing thread adds lines, and only it writes them.
    try {
        // A part is written whole or not at all: a run ended meanwhile loses at most its lines.
        WriteFileSafely(m_folder + "/" + partName(m_parts + 1), kPartHeader + ("\n" + m_unsaved));
        ++m_parts;
        m_unsaved.clear();
        m_unsavedCount = 0;
    } catch (const Error &e) {
        m_lastError = e.what(); // the lines wait for the next part
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

void StoreRecorder::prepared(const std::string &path, FileReplacement &file)
{
    if (m_recorder)
        m_recorder->prepared(path, file);
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
