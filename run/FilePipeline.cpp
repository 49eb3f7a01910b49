#include "run/FilePipeline.h"

#include "run/RewriteFile.h"
#include "run/TemporaryFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>
#include <utility>

namespace vexlo {

namespace {

// Files this large are not read whole: the calling thread rewrites them in their turn
// through RewriteFile, which streams them, so memory stays far below twice their size.
constexpr off_t kStreamFrom = off_t{32} << 20;

bool isDirectoryLine(const std::string &path)
{
    return !path.empty() && path.back() == '/';
}

Error notRegular(const std::string &path)
{
    return Error(ErrorKind::Io, path, "cannot rewrite '" + path + "': not a regular file");
}

// Any failure that is not already an Error becomes one naming the file.
Error wrapped(const std::string &path, const std::exception &e)
{
    return Error(ErrorKind::Io, path, "cannot rewrite '" + path + "': " + e.what());
}

std::string readAll(int fd, const std::string &path, off_t sizeHint)
{
    std::string bytes;
    bytes.resize(static_cast<std::size_t>(std::max<off_t>(sizeHint, 0)) + 1);
    std::size_t used = 0;
    for (;;) {
        if (used == bytes.size())
            bytes.resize(bytes.size() * 2);
        const ssize_t got = ::read(fd, bytes.data() + used, bytes.size() - used);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throw IoError("read", path, errno);
        }
        if (got == 0)
            break;
        used += static_cast<std::size_t>(got);
    }
    bytes.resize(used);
    return bytes;
}

void writeAll(int fd, std::string_view bytes, const std::string &path)
{
    while (!bytes.empty()) {
        const ssize_t put = ::write(fd, bytes.data(), bytes.size());
        if (put < 0) {
            if (errno == EINTR)
                continue;
            throw IoError("write", path, errno);
        }
        bytes.remove_prefix(static_cast<std::size_t>(put));
    }
}

// What the caller already knows of an entry that is no link: its lstat(), and whether a file
// created in its folder gets the same owner and group anyway (so fchown() has nothing to do).
struct KnownEntry {
    struct stat info;
    bool newFilesShareOwner = false;
};

// Reads the file, applies `op` and writes the result to a temporary file beside the real file,
// with the refusals and messages of RewriteFile: only regular files, none without write
// permission, a link followed to its target, mode and owner kept. Throws Error{Io}.
TemporaryFile prepare(const std::string &path, const TextOperation &op, const KnownEntry *entry = nullptr)
{
    const struct stat *known = entry ? &entry->info : nullptr;
    struct stat info;
    const std::string target = known ? path : ResolveTarget(path, info);
    if (known)
        info = *known;
    if (S_ISDIR(info.st_mode))
        throw IoError("rewrite", path, EISDIR);
    if (!S_ISREG(info.st_mode))
        throw notRegular(path);
    if (!(info.st_mode & S_IWUSR))
        throw IoError("write", path, EACCES);
    // The owner's bits decide for the owner (and root passes anyway); ask only for others.
    const uid_t me = ::geteuid();
    if (info.st_uid != me && me != 0 && ::access(target.c_str(), W_OK) != 0)
        throw IoError("write", path, errno);

    // Non-blocking and without following links: an entry swapped since the check above
    // neither hangs on a FIFO nor leads somewhere else.
    const int in = ::open(target.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
    if (in < 0)
        throw IoError("read", path, errno);
    struct stat opened;
    std::string bytes;
    try {
        if (::fstat(in, &opened) != 0)
            throw IoError("read", path, errno);
        if (!S_ISREG(opened.st_mode) || opened.st_dev != info.st_dev || opened.st_ino != info.st_ino)
            throw Error(ErrorKind::Io, path,
                        "cannot rewrite '" + path + "': the file changed while it was opened");
        bytes = readAll(in, path, opened.st_size);
    } catch (...) {
        ::close(in);
        throw;
    }
    ::close(in);

    const std::string output = ApplyToBuffer(bytes, op);
    bytes = std::string(); // give the memory back before the write

    TemporaryFile prepared(target, path); // gone again should anything below fail
    const int out = prepared.fd();
    // Owner first: changing it may clear the set-id bits that the mode then restores.
    // Someone else's file cannot be given back to its owner; it then becomes ours.
    const bool sameOwner = entry && entry->newFilesShareOwner && opened.st_uid == entry->info.st_uid &&
                           opened.st_gid == entry->info.st_gid;
    if (!sameOwner && ::fchown(out, opened.st_uid, opened.st_gid) != 0 && errno != EPERM)
        throw IoError("write", path, errno);
    if (::fchmod(out, opened.st_mode & 07777) != 0)
        throw IoError("write", path, errno);
    writeAll(out, output, path);
    return prepared;
}

// The directory entry a rewrite replaces: its folder's identity and its name. Unlike the
// file's own inode number it stays the same when the file is replaced by its new content.
struct FileKey {
    dev_t dev;
    ino_t ino;
    std::string name;
    bool operator==(const FileKey &) const = default;
};

struct FileKeyHash {
    std::size_t operator()(const FileKey &k) const noexcept
    {
        return std::hash<std::string>()(k.name) ^
               std::hash<unsigned long long>()(static_cast<unsigned long long>(k.ino) * 31u +
                                               static_cast<unsigned long long>(k.dev));
    }
};

// Workers claim entries in list order, read and transform them and leave the new content in
// a temporary file; the calling thread renames them in list order, so the outcome is that of
// one file after the other. An entry naming the same file as an earlier entry that is not yet
// committed is left to the calling thread, which rewrites it after the earlier one.
class OrderedRewriter {
  public:
    OrderedRewriter(const std::vector<std::string> &paths, const TextOperation &op,
                    const PipelineOptions &options, const PipelineCallbacks &callbacks, unsigned threads)
        : m_paths(paths), m_op(op), m_options(options), m_callbacks(callbacks),
          m_slots(std::max<std::size_t>(16, 8 * std::size_t(threads))), m_threadCount(threads)
    {
    }

    PipelineResult run()
    {
        for (unsigned i = 0; i < m_threadCount; ++i)
            m_workers.emplace_back([this] { work(); });
        try {
            commitAll();
        } catch (...) {
            shutDown();
            throw;
        }
        shutDown();
        return m_result;
    }

  private:
    struct Slot {
        bool ready = false;
        bool skip = false;     // a directory line
        bool deferred = false; // same file as an earlier entry in flight, or a large file
        bool large = false;    // rewritten through RewriteFile, which streams it
        std::optional<FileKey> key;
        std::optional<KnownEntry> known; // the entry's lstat(), when it is no link
        std::optional<TemporaryFile> prepared;
        std::optional<Error> error;
    };

    Slot &slot(std::size_t index) { return m_slots[index % m_slots.size()]; }

    // Where the rewrite of `path` would put its result; nothing when the path does not lead
    // to an entry (it then fails on its own). Sets `large` for a regular file too large to be
    // held in memory with its result. Called with the lock held.
    std::optional<FileKey> entryKey(const std::string &path, bool &large, std::optional<KnownEntry> &known)
    {
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0)
            return std::nullopt;
        large = S_ISREG(st.st_mode) && st.st_size >= kStreamFrom;
        const bool isLink = S_ISLNK(st.st_mode);
        const struct stat entryInfo = st;
        std::string target = path;
        if (S_ISLNK(st.st_mode)) {
            char *resolved = ::realpath(path.c_str(), nullptr);
            if (!resolved)
                return std::nullopt;
            target = resolved;
            std::free(resolved);
            if (::stat(target.c_str(), &st) == 0)
                large = S_ISREG(st.st_mode) && st.st_size >= kStreamFrom;
        }
        const std::size_t slash = target.rfind('/');
        std::string dir = slash == std::string::npos ? "." : target.substr(0, slash + 1);
        std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
        if (name.empty())
            return std::nullopt;
        if (dir != m_lastDir) { // lists mostly run through one folder after the other
            struct stat dirInfo;
            if (::stat(dir.c_str(), &dirInfo) != 0)
                return std::nullopt;
            m_lastDir = std::move(dir);
            m_lastDirInfo = dirInfo;
        }
        if (!isLink) {
            // A new file belongs to us, in the folder's group when the folder is set-group-ID.
            const gid_t newGroup = (m_lastDirInfo.st_mode & S_ISGID) ? m_lastDirInfo.st_gid : ::getegid();
            known = KnownEntry{entryInfo, entryInfo.st_uid == ::geteuid() && entryInfo.st_gid == newGroup};
        }
        return FileKey{m_lastDirInfo.st_dev, m_lastDirInfo.st_ino, std::move(name)};
    }

    void work()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_space.wait(lock, [&] { return m_cancel || m_next >= m_paths.size() || canClaim(); });
            if (m_cancel || m_next >= m_paths.size())
                return;
            claimOne(lock);
        }
    }

    // An entry is left to claim and a slot is free for it. Called with the lock held.
    bool canClaim() const { return m_next < m_paths.size() && m_next < m_committed + m_slots.size(); }

    // Claims the next entry and prepares it, releasing the lock while the file is worked on.
    // Called with the lock held, by the workers and by the calling thread while it would wait.
    void claimOne(std::unique_lock<std::mutex> &lock)
    {
        const std::size_t index = m_next++;
        Slot &s = slot(index);
        s = Slot{};
        const std::string &path = m_paths[index];
        if (m_options.skipDirectoryLines && isDirectoryLine(path)) {
            s.skip = true;
            s.ready = true;
            readied();
            return;
        }
        // The file's identity is taken while holding the lock, so every earlier entry's
        // identity is known when this one is compared with them.
        try {
            s.key = entryKey(path, s.large, s.known);
            if (s.key) {
                int &count = m_inFlight[*s.key];
                s.deferred = count > 0 || s.large;
                ++count;
            }
        } catch (...) { // out of memory: the calling thread rewrites it in its turn
            s.key.reset();
            s.deferred = true;
        }
        if (s.deferred) {
            s.ready = true;
            readied();
            return;
        }
        const std::optional<KnownEntry> known = s.known;
        lock.unlock();
        std::optional<TemporaryFile> prepared;
        std::optional<Error> error;
        try {
            prepared.emplace(prepare(path, m_op, known ? &*known : nullptr));
        } catch (const Error &e) {
            error = e;
        } catch (const std::exception &e) {
            error = wrapped(path, e);
        }
        lock.lock();
        s.prepared = std::move(prepared);
        s.error = std::move(error);
        s.ready = true;
        readied();
    }

    // A slot became ready. The waiting calling thread is woken once a run of entries is ready
    // for it, or when no more can become ready without it (all claimed, all slots taken, or
    // claiming stopped): one wake-up per run, not per file.
    // Called with the lock held.
    void readied()
    {
        if (!m_callerWaiting)
            return;
        const std::size_t batch = m_slots.size() / 2;
        std::size_t run = 0;
        while (m_committed + run < m_next && run < batch && slot(m_committed + run).ready)
            ++run;
        if (run == 0)
            return;
        if (run >= batch || m_cancel || m_next >= m_paths.size() || m_next >= m_committed + m_slots.size())
            m_ready.notify_all();
    }

    // Rewrites one entry on this thread, from its current state on disk.
    std::optional<Error> rewriteHere(const std::string &path, bool large)
    {
        try {
            if (large)
                RewriteFile(path, m_op);
            else
                prepare(path, m_op).commit();
        } catch (const Error &e) {
            return e;
        } catch (const std::exception &e) {
            return wrapped(path, e);
        }
        return std::nullopt;
    }

    void commitAll()
    {
        const std::size_t count = m_paths.size();
        for (std::size_t index = 0; index < count; ++index) {
            const std::string &path = m_paths[index];
            Slot taken;
            bool claimed;
            {
                std::unique_lock lock(m_mutex);
                // Once claiming has stopped, unclaimed entries are left to this thread.
                // Rather than wait, help: prepare the next unclaimed entry on this thread.
                while (!(index < m_next ? slot(index).ready : m_cancel)) {
                    if (!m_cancel && canClaim()) {
                        claimOne(lock);
                        continue;
                    }
                    m_callerWaiting = true;
                    m_ready.wait(lock);
                    m_callerWaiting = false;
                }
                claimed = index < m_next;
                if (claimed) {
                    taken = std::move(slot(index));
                    slot(index) = Slot{};
                }
            }
            std::optional<Error> error;
            bool done = false;
            if (claimed ? taken.skip : (m_options.skipDirectoryLines && isDirectoryLine(path))) {
                // nothing to do
            } else if (m_callbacks.keepGoing && !m_callbacks.keepGoing()) {
                taken.prepared.reset();
                stopClaiming();
            } else if (!claimed || taken.deferred) {
                error = rewriteHere(path, claimed && taken.large);
                done = !error;
            } else if (taken.error) {
                error = std::move(taken.error);
            } else {
                try {
                    taken.prepared->commit();
                    done = true;
                } catch (const Error &e) {
                    error = e;
                }
            }
            finish(index, taken);

            if (done) {
                ++m_result.rewritten;
                if (m_callbacks.fileDone)
                    m_callbacks.fileDone(path);
            } else if (error) {
                ++m_result.failed;
                if (m_options.stopAtFirstError) {
                    m_result.stopped = true;
                    stopClaiming();
                }
                if (m_callbacks.error)
                    m_callbacks.error(path, *error);
                if (m_result.stopped)
                    return;
            }
        }
    }

    // The entry is settled: it no longer holds its file, and its slot may be reused.
    void finish(std::size_t index, const Slot &taken)
    {
        std::lock_guard lock(m_mutex);
        if (taken.key) {
            auto it = m_inFlight.find(*taken.key);
            if (it != m_inFlight.end() && --it->second == 0)
                m_inFlight.erase(it);
        }
        m_committed = index + 1;
        m_space.notify_all();
    }

    void stopClaiming()
    {
        std::lock_guard lock(m_mutex);
        m_cancel = true;
        m_space.notify_all();
        m_ready.notify_all();
    }

    // Stops the workers; every prepared file not committed goes with its slot.
    void shutDown()
    {
        stopClaiming();
        for (auto &worker : m_workers)
            worker.join();
        m_workers.clear();
        for (auto &s : m_slots)
            s = Slot{};
    }

    const std::vector<std::string> &m_paths;
    const TextOperation &m_op;
    const PipelineOptions &m_options;
    const PipelineCallbacks &m_callbacks;

    std::mutex m_mutex;
    std::condition_variable m_space; // a slot became free, or cancel
    std::condition_variable m_ready; // a run of slots became ready
    bool m_callerWaiting = false;    // the calling thread waits on m_ready
    std::vector<Slot> m_slots;
    std::unordered_map<FileKey, int, FileKeyHash> m_inFlight;
    std::string m_lastDir;
    struct stat m_lastDirInfo {};
    std::size_t m_next = 0;      // next entry to claim
    std::size_t m_committed = 0; // entries before this one are settled
    bool m_cancel = false;

    unsigned m_threadCount;
    std::vector<std::thread> m_workers;
    PipelineResult m_result;
};

PipelineResult rewriteOneByOne(const std::vector<std::string> &paths, const TextOperation &op,
                               const PipelineOptions &options, const PipelineCallbacks &callbacks)
{
    PipelineResult result;
    for (const std::string &path : paths) {
        if (options.skipDirectoryLines && isDirectoryLine(path))
            continue;
        if (callbacks.keepGoing && !callbacks.keepGoing())
            continue;
        std::optional<Error> error;
        try {
            RewriteFile(path, op);
        } catch (const Error &e) {
            error = e;
        } catch (const std::exception &e) {
            error = wrapped(path, e);
        }
        if (!error) {
            ++result.rewritten;
            if (callbacks.fileDone)
                callbacks.fileDone(path);
            continue;
        }
        ++result.failed;
        result.stopped = options.stopAtFirstError;
        if (callbacks.error)
            callbacks.error(path, *error);
        if (result.stopped)
            break;
    }
    return result;
}

} // namespace

PipelineResult RewriteFiles(const std::vector<std::string> &paths, const TextOperation &op,
                            const PipelineOptions &options, const PipelineCallbacks &callbacks)
{
    if (options.threads == 1 || paths.size() < 2)
        return rewriteOneByOne(paths, op, options, callbacks);
    // By default one worker per core besides the calling thread, which commits: more threads
    // than cores cost more in switching between them than they gain.
    const unsigned cores = std::max(2u, std::thread::hardware_concurrency());
    const unsigned threads = std::clamp(options.threads != 0 ? options.threads : cores - 1, 1u, 16u);
    return OrderedRewriter(paths, op, options, callbacks, threads).run();
}

} // namespace vexlo
