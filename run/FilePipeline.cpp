#include "run/FilePipeline.h"

#include "run/RewriteFile.h"
#include "run/SkippedFile.h"

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

// The hook of a pipeline without one: commits everything.
CommitHook &defaultHook()
{
    static CommitHook hook;
    return hook;
}

// A preview's result: the file read through the same unit as a rewrite (so it is refused for
// the same reasons) and its content transformed; nothing is written.
struct Previewed {
    std::string before;
    std::string after;
};

Previewed previewFile(const std::string &path, const TextOperation &op, const ReplaceOptions &options)
{
    FileReplacement file(path, options);
    Previewed result;
    result.before = file.readAll();
    if (result.before.find('\0') != std::string::npos)
        throw SkippedFile(path, kBinaryFileReason); // as the run leaves it
    result.after = ApplyToBuffer(result.before, op);
    return result;
}

// Prepares, hands to the hook and commits (or previews) one file on this thread.
void rewriteWithHook(const std::string &path, const TextOperation &op, const ReplaceOptions &options,
                     CommitHook &hook)
{
    if (!hook.commits()) {
        const Previewed seen = previewFile(path, op, options);
        hook.previewed(path, seen.before, seen.after);
        return;
    }
    FileReplacement prepared = PrepareRewrite(path, op, options);
    hook.prepared(path, prepared);
    hook.beforeCommit(path, prepared);
    prepared.commit();
    hook.afterCommit(path);
}

// Files this large are not read whole: the calling thread rewrites them in their turn
// through RewriteFile, which streams them, so memory stays far below twice their size.
constexpr off_t kStreamFrom = off_t{32} << 20;

bool isDirectoryLine(const std::string &path)
{
    return !path.empty() && path.back() == '/';
}

// Any failure that is not already an Error becomes one naming the file.
Error wrapped(const std::string &path, const std::exception &e)
{
    return Error(ErrorKind::Io, path, "cannot rewrite '" + path + "': " + e.what());
}

// A file left as it is on purpose: its reason goes to the run as a message and to the hook,
// and it counts as neither rewritten nor failed.
void ReportSkipped(PipelineResult &result, RunObserver &observer, CommitHook &hook,
                   const SkippedFile &skipped)
{
    ++result.skipped;
    hook.skipped(skipped.path(), skipped.reason());
    observer.message(skipped.what());
    observer.fileDone(skipped.path(), Outcome::Skipped);
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
                    const PipelineOptions &options, RunObserver &observer, unsigned threads)
        : m_paths(paths), m_op(op), m_options(options), m_observer(observer),
          m_slots(std::max<std::size_t>(16, 8 * std::size_t(threads))), m_threadCount(threads),
          m_roots(options.heldRoots), m_hook(options.hook ? *options.hook : defaultHook()),
          m_preview(!m_hook.commits()), m_hashWritten(!m_preview && m_hook.wantsWrittenHash())
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
        std::optional<FileReplacement> prepared;
        std::optional<Previewed> previewed;
        std::optional<Error> error;
        std::optional<SkippedFile> skipped; // left as it is on purpose
    };

    Slot &slot(std::size_t index) { return m_slots[index % m_slots.size()]; }

    // Where the rewrite of `path` would put its result; nothing when the path does not lead
    // to an entry (it then fails on its own). Sets `large` for a regular file too large to be
    // held in memory with its result. Called with the lock held.
    std::optional<FileKey> entryKey(const std::string &path, bool &large)
    {
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0)
            return std::nullopt;
        std::string target = path;
        if (S_ISLNK(st.st_mode)) {
            try {
                target = ResolveLinks(path);
            } catch (const Error &) {
                return std::nullopt;
            }
            if (::stat(target.c_str(), &st) != 0)
                return std::nullopt;
        }
        large = S_ISREG(st.st_mode) && st.st_size >= kStreamFrom;
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
        return FileKey{m_lastDirInfo.st_dev, m_lastDirInfo.st_ino, std::move(name)};
    }

    ReplaceOptions replaceOptions(std::size_t index) const
    {
        ReplaceOptions options = m_roots.options(index);
        options.hashWritten = m_hashWritten;
        return options;
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
            s.key = entryKey(path, s.large);
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
        const ReplaceOptions options = replaceOptions(index);
        lock.unlock();
        std::optional<FileReplacement> prepared;
        std::optional<Previewed> previewed;
        std::optional<Error> error;
        std::optional<SkippedFile> skipped;
        try {
            if (m_preview)
                previewed.emplace(previewFile(path, m_op, options));
            else {
                prepared.emplace(PrepareRewrite(path, m_op, options));
                m_hook.prepared(path, *prepared); // on this worker, while the file is at hand
            }
        } catch (const SkippedFile &e) {
            skipped = e;
        } catch (const Error &e) {
            error = e;
        } catch (const std::exception &e) {
            error = wrapped(path, e);
        }
        lock.lock();
        s.prepared = std::move(prepared);
        s.previewed = std::move(previewed);
        s.error = std::move(error);
        s.skipped = std::move(skipped);
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
    std::optional<Error> rewriteHere(std::size_t index, std::optional<SkippedFile> &skipped)
    {
        const std::string &path = m_paths[index];
        try {
            rewriteWithHook(path, m_op, replaceOptions(index), m_hook);
        } catch (const SkippedFile &e) {
            skipped = e;
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
            } else if (!m_observer.keepGoing()) {
                taken.prepared.reset();
                taken.skipped.reset();
                stopClaiming();
            } else if (!claimed || taken.deferred) {
                error = rewriteHere(index, taken.skipped);
                done = !error && !taken.skipped;
            } else if (taken.skipped) {
                // reported below
            } else if (taken.error) {
                error = std::move(taken.error);
            } else if (taken.previewed) {
                m_hook.previewed(path, taken.previewed->before, taken.previewed->after);
                taken.previewed.reset();
                done = true;
            } else {
                try {
                    m_hook.beforeCommit(path, *taken.prepared);
                    taken.prepared->commit();
                    m_hook.afterCommit(path);
                    done = true;
                } catch (const Error &e) {
                    error = e;
                }
            }
            finish(index, taken);

            if (done) {
                ++m_result.rewritten;
                m_observer.fileDone(path, Outcome::Done);
            } else if (taken.skipped) {
                ReportSkipped(m_result, m_observer, m_hook, *taken.skipped);
            } else if (error) {
                ++m_result.failed;
                if (m_options.stopAtFirstError) {
                    m_result.stopped = true;
                    stopClaiming();
                }
                m_observer.error(path, *error);
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
    RunObserver &m_observer;

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
    HeldRoots m_roots;
    CommitHook &m_hook;
    const bool m_preview;
    const bool m_hashWritten; // the hook asks for each new content's hash
    std::vector<std::thread> m_workers;
    PipelineResult m_result;
};

PipelineResult rewriteOneByOne(const std::vector<std::string> &paths, const TextOperation &op,
                               const PipelineOptions &options, RunObserver &observer)
{
    PipelineResult result;
    const HeldRoots roots(options.heldRoots);
    CommitHook &hook = options.hook ? *options.hook : defaultHook();
    const bool hashWritten = hook.commits() && hook.wantsWrittenHash();
    for (std::size_t index = 0; index < paths.size(); ++index) {
        const std::string &path = paths[index];
        if (options.skipDirectoryLines && isDirectoryLine(path))
            continue;
        if (!observer.keepGoing())
            break;
        std::optional<Error> error;
        try {
            ReplaceOptions replace = roots.options(index);
            replace.hashWritten = hashWritten;
            rewriteWithHook(path, op, replace, hook);
        } catch (const SkippedFile &e) {
            ReportSkipped(result, observer, hook, e);
            continue;
        } catch (const Error &e) {
            error = e;
        } catch (const std::exception &e) {
            error = wrapped(path, e);
        }
        if (!error) {
            ++result.rewritten;
            observer.fileDone(path, Outcome::Done);
            continue;
        }
        ++result.failed;
        result.stopped = options.stopAtFirstError;
        observer.error(path, *error);
        if (result.stopped)
            break;
    }
    return result;
}

} // namespace

HeldRoots::HeldRoots(const std::vector<std::string> *roots) : m_roots(roots)
{
    if (!roots)
        return;
    for (const std::string &root : *roots)
        if (!m_open.count(root))
            m_open[root] = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

HeldRoots::~HeldRoots()
{
    for (const auto &[root, fd] : m_open)
        if (fd >= 0)
            ::close(fd);
}

ReplaceOptions HeldRoots::options(std::size_t index) const
{
    ReplaceOptions options;
    if (m_roots) {
        options.heldRoot = (*m_roots)[index];
        options.heldRootDescriptor = m_open.at(options.heldRoot); // -1: opened per file, fails there
    }
    return options;
}

PipelineResult RewriteFiles(const std::vector<std::string> &paths, const TextOperation &op,
                            const PipelineOptions &options, RunObserver &observer)
{
    CommitHook &hook = options.hook ? *options.hook : defaultHook();
    hook.begin(paths);
    struct End {
        CommitHook &hook;
        ~End() { hook.end(); }
    } end{hook};
    if (options.threads == 1 || paths.size() < 2)
        return rewriteOneByOne(paths, op, options, observer);
    // By default one worker per core besides the calling thread, which commits: more threads
    // than cores cost more in switching between them than they gain.
    const unsigned cores = std::max(2u, std::thread::hardware_concurrency());
    const unsigned threads = std::clamp(options.threads != 0 ? options.threads : cores - 1, 1u, 16u);
    return OrderedRewriter(paths, op, options, observer, threads).run();
}

} // namespace vexlo
