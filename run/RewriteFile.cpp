#include "run/RewriteFile.h"

#include "base/Error.h"
#include "run/SkippedFile.h"
#include "run/engine/BufferEngine.h"
#include "run/engine/FastSearch.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

// The new content is prepared through the write unit (base/SafeWrite.h): a temporary in the
// target's held folder, renamed over the target once complete and only when the target is still
// the file that was read. A file truncated by
// another program meanwhile cannot end the program: a read ends early, and a mapping (large
// files) reads zeros where the file was cut; either way the commit then finds the change and
// keeps the other writer's file.

namespace vexlo {

namespace {

// Small pieces keep input and output in the processor's caches while they are worked on.
constexpr std::size_t kReadBytes = std::size_t{256} << 10;     // input read at once
constexpr std::size_t kChunkBytes = std::size_t{256} << 10;    // output handed to write() at once
constexpr std::size_t kBackgroundFrom = std::size_t{32} << 20; // files this large get a writer thread
constexpr std::size_t kKeepBuffer = std::size_t{64} << 20;     // larger buffers are not kept
constexpr std::size_t kStretchBytes = std::size_t{2} << 20;    // input one thread transforms at once

/// The input buffer of the calling thread, reused from file to file.
struct ReadBuffer {
    std::unique_ptr<char[]> data;
    std::size_t capacity = 0;

    /// Room for `size` bytes, keeping the first `keep`.
    char *reserve(std::size_t size, std::size_t keep)
    {
        if (size > capacity) {
            const std::size_t grown = std::max(size, capacity * 2);
            std::unique_ptr<char[]> bigger(new char[grown]); // left uninitialised: read() fills it
            std::copy(data.get(), data.get() + keep, bigger.get());
            data = std::move(bigger);
            capacity = grown;
        }
        return data.get();
    }
    void shrinkIfHuge()
    {
        if (capacity > kKeepBuffer) {
            data.reset();
            capacity = 0;
        }
    }
};

thread_local ReadBuffer t_input;
thread_local ByteBuffer t_staging;

/// Appends up to `want` bytes of the file to the thread's buffer after its first `have`
/// bytes; returns the new size and sets `eof` when the file has ended.
std::size_t ReadMore(FileReplacement &file, std::size_t have, std::size_t want, bool &eof)
{
    char *data = t_input.reserve(have + want, have);
    const std::size_t limit = have + want;
    while (have < limit) {
        const std::size_t got = file.read(data + have, limit - have);
        if (got == 0) {
            eof = true;
            break;
        }
        have += got;
    }
    return have;
}

void WritePieces(FileReplacement &out, const std::vector<OutputSink::Piece> &pieces)
{
    constexpr std::size_t kMaxIov = 256;
    std::vector<iovec> iov;
    for (std::size_t next = 0; next < pieces.size(); next += iov.size()) {
        iov.clear();
        for (std::size_t i = next; i < pieces.size() && iov.size() < kMaxIov; ++i)
            iov.push_back({const_cast<char *>(pieces[i].data), pieces[i].size});
        out.write(iov.data(), static_cast<int>(iov.size()));
    }
}

/// Writes the output of a large file on a thread of its own while the next part is prepared.
/// Hands over whole staging buffers; a failed write is reported at the next hand-over.
class BackgroundWriter {
  public:
    explicit BackgroundWriter(FileReplacement &out) : m_out(out), m_thread([this] { work(); }) {}
    ~BackgroundWriter()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }

    /// Takes the staging buffer's bytes (swapping in an empty buffer). Throws Error{Io} when
    /// an earlier write failed.
    void write(ByteBuffer &staging)
    {
        waitIdle();
        {
            std::lock_guard lock(m_mutex);
            m_pending.swap(staging);
            m_busy = true;
        }
        m_wake.notify_all();
    }
    /// Waits until everything handed over is written. Throws Error{Io} when a write failed.
    void waitIdle()
    {
        std::unique_lock lock(m_mutex);
        m_done.wait(lock, [this] { return !m_busy; });
        if (m_error)
            throw *m_error;
    }

  private:
    void work()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [this] { return m_busy || m_stop; });
            if (m_stop)
                return;
            lock.unlock();
            std::optional<Error> failure;
            try {
                if (!m_error) // after a failure the rest is not written
                    WritePieces(m_out, {{m_pending.data(), m_pending.size()}});
            } catch (const Error &error) {
                failure = error;
            }
            lock.lock();
            m_pending.clear();
            if (failure && !m_error)
                m_error = std::move(failure);
            m_busy = false;
            m_done.notify_all();
        }
    }

    FileReplacement &m_out;
    ByteBuffer m_pending;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    bool m_busy = false;
    bool m_stop = false;
    std::optional<Error> m_error;
    std::thread m_thread; // last: starts once everything above is ready
};

/// Whether every line comes out of `op` independently of the lines around it, so the file
/// may be cut into stretches of whole lines that are transformed apart.
bool LinesIndependent(const TextOperation &op)
{
    return op.kind != TextOperation::Kind::Block || op.findLines.size() <= 1;
}

// Mappings of files being read, so that a SIGBUS inside one (the file was truncated) is
// answered by mapping a page of zeros there; any other SIGBUS goes to the handler before ours.
constexpr int kGuardSlots = 64;
std::atomic<std::uintptr_t> g_guardBegin[kGuardSlots];
std::atomic<std::uintptr_t> g_guardEnd[kGuardSlots];
struct sigaction g_previousBus;

void OnBus(int signal, siginfo_t *info, void *context)
{
    const auto at = reinterpret_cast<std::uintptr_t>(info->si_addr);
    for (int i = 0; i < kGuardSlots; ++i) {
        const std::uintptr_t begin = g_guardBegin[i].load();
        if (begin != 0 && begin <= at && at < g_guardEnd[i].load()) {
            const std::uintptr_t page = at & ~static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE) - 1);
            if (::mmap(reinterpret_cast<void *>(page), static_cast<std::size_t>(::sysconf(_SC_PAGESIZE)),
                       PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) != MAP_FAILED)
                return; // the read is tried again and finds zeros
        }
    }
    if ((g_previousBus.sa_flags & SA_SIGINFO) && g_previousBus.sa_sigaction) {
        g_previousBus.sa_sigaction(signal, info, context);
    } else if (g_previousBus.sa_handler != SIG_IGN && g_previousBus.sa_handler != SIG_DFL) {
        g_previousBus.sa_handler(signal);
    } else {
        ::signal(signal, SIG_DFL); // the fault happens again, now with the default action
    }
}

/// Registers a mapping for the SIGBUS guard; false when every slot is taken.
bool GuardMapping(void *data, std::size_t size)
{
    static std::once_flag installed;
    std::call_once(installed, [] {
        struct sigaction action {};
        action.sa_sigaction = OnBus;
        action.sa_flags = SA_SIGINFO | SA_NODEFER;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGBUS, &action, &g_previousBus);
    });
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    for (int i = 0; i < kGuardSlots; ++i) {
        std::uintptr_t expected = 0;
        if (g_guardBegin[i].compare_exchange_strong(expected, begin)) {
            g_guardEnd[i].store(begin + size);
            return true;
        }
    }
    return false;
}

void UnguardMapping(const void *data)
{
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    for (int i = 0; i < kGuardSlots; ++i)
        if (g_guardBegin[i].load() == begin) {
            g_guardEnd[i].store(0);
            g_guardBegin[i].store(0);
        }
}

/// What a NUL byte in a file being rewritten means: a binary file, which is left as it is; or,
/// in a mapping, the zeros that stand where another program cut the file short meanwhile.
[[noreturn]] void ThrowBinaryOrCut(const FileReplacement &file, std::size_t mappedSize)
{
    struct stat info {};
    if (::fstat(file.sourceDescriptor(), &info) == 0 && static_cast<std::size_t>(info.st_size) < mappedSize)
        throw Error(ErrorKind::Io, file.path(),
                    "cannot rewrite '" + EscapeControls(file.path()) + "': changed while being rewritten");
    throw SkippedFile(file.path(), kBinaryFileReason);
}

/// Transforms a large file on two threads: the file is mapped and cut into stretches of whole
/// lines; each thread transforms the stretch it took into a buffer of its own and writes it
/// once every earlier stretch is written. The process holds a few stretches, whatever the
/// file's size: pages of the mapping that are done with are given back.
class StretchRewriter {
  public:
    StretchRewriter(const char *data, std::size_t size, FileReplacement &out, const TextOperation &op)
        : m_data(data), m_size(size), m_out(out), m_op(op)
    {
    }

    /// Throws Error{Io} on a failed write, std::bad_alloc when memory runs out.
    void run()
    {
        std::thread helper([this] { work(); });
        work();
        helper.join();
        if (m_failure)
            std::rethrow_exception(m_failure);
    }

  private:
    struct Stop {}; // another thread failed: this one gives up quietly

    struct Stretch {
        const char *data = nullptr;
        std::size_t size = 0;
        std::size_t index = 0;
    };

    void work()
    {
        Stretch stretch;
        ByteBuffer staging;
        try {
            while (take(stretch)) {
                if (std::memchr(stretch.data, 0, stretch.size))
                    ThrowBinaryOrCut(m_out, m_size);
                const auto flush = [&](const std::vector<OutputSink::Piece> &pieces) {
                    waitTurn(stretch.index);
                    WritePieces(m_out, pieces);
                };
                // Flushed when the stretch is done (or its references pile up), in its turn.
                OutputSink sink(staging, flush, SIZE_MAX);
                ApplyToSink({stretch.data, stretch.size}, m_op, sink);
                sink.finish();
                release(stretch.data, stretch.size);
                waitTurn(stretch.index);
                std::lock_guard lock(m_mutex);
                ++m_turn;
                m_turnChanged.notify_all();
            }
        } catch (const Stop &) {
        } catch (...) {
            std::lock_guard lock(m_mutex);
            if (!m_failure)
                m_failure = std::current_exception();
            m_stop = true;
            m_turnChanged.notify_all();
        }
    }

    /// The next stretch: up to the last line break before kStretchBytes on, or to the end of a
    /// line longer than that. Returns false once the file is done.
    bool take(Stretch &stretch)
    {
        std::lock_guard lock(m_mutex);
        if (m_stop)
            throw Stop{};
        const char *d = m_data;
        const std::size_t from = m_taken;
        std::size_t to = m_size;
        if (m_size - from > kStretchBytes) {
            const std::size_t aim = from + kStretchBytes;
            // Not between the CR and LF of a pair.
            const std::size_t upTo = d[aim - 1] == '\r' && d[aim] == '\n' ? aim - 1 : aim;
            const std::size_t past = StartOfLine(d + from, upTo - from);
            if (past > 0) {
                to = from + past;
            } else {
                const std::size_t brk = aim + FindBreak(d + aim, m_size - aim);
                if (brk < m_size)
                    to = brk + (d[brk] == '\r' && brk + 1 < m_size && d[brk + 1] == '\n' ? 2 : 1);
            }
        }
        if (to == from)
            return false;
        m_taken = to;
        stretch.data = d + from;
        stretch.size = to - from;
        stretch.index = m_stretches++;
        return true;
    }

    /// Drops the mapped pages wholly inside a stretch that is done with; they stay in the
    /// page cache.
    static void release(const char *data, std::size_t size)
    {
        static const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
        const auto first = (reinterpret_cast<std::uintptr_t>(data) + page - 1) & ~(page - 1);
        const auto end = (reinterpret_cast<std::uintptr_t>(data) + size) & ~(page - 1);
        if (end > first)
            ::madvise(reinterpret_cast<void *>(first), end - first, MADV_DONTNEED);
    }

    void waitTurn(std::size_t index)
    {
        std::unique_lock lock(m_mutex);
        m_turnChanged.wait(lock, [&] { return m_turn == index || m_stop; });
        if (m_stop)
            throw Stop{};
    }

    const char *m_data;
    std::size_t m_size;
    FileReplacement &m_out;
    const TextOperation &m_op;
    std::mutex m_mutex;
    std::condition_variable m_turnChanged;
    bool m_stop = false;
    std::size_t m_taken = 0;     // bytes taken so far
    std::size_t m_stretches = 0; // stretches taken so far
    std::size_t m_turn = 0;      // the stretch whose output is written next
    std::exception_ptr m_failure;
};

/// The whole file mapped for reading, or nothing when it cannot be. Should the file be cut
/// short by another program meanwhile, the pages past its new end read as zeros instead of
/// raising SIGBUS; the commit then finds the file changed and keeps it as it is.
class Mapping {
  public:
    Mapping(int fd, std::size_t size) : m_size(size)
    {
        void *map = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (map == MAP_FAILED)
            return;
        if (!GuardMapping(map, size)) {
            ::munmap(map, size);
            return;
        }
        ::madvise(map, size, MADV_SEQUENTIAL);
        m_data = static_cast<const char *>(map);
    }
    ~Mapping()
    {
        if (m_data) {
            UnguardMapping(m_data);
            ::munmap(const_cast<char *>(m_data), m_size);
        }
    }
    Mapping(const Mapping &) = delete;
    Mapping &operator=(const Mapping &) = delete;
    const char *data() const { return m_data; }

  private:
    const char *m_data = nullptr;
    std::size_t m_size;
};

/// Streams the file through the engine on the calling thread, in pieces that stay in the
/// processor's caches; a large file's output is written by a second thread meanwhile.
void Stream(FileReplacement &file, const TextOperation &op)
{
    std::optional<BackgroundWriter> writer;
    if (file.sourceSize() >= kBackgroundFrom)
        writer.emplace(file);
    const auto flush = [&](const std::vector<OutputSink::Piece> &pieces) {
        if (writer)
            writer->write(t_staging); // the pieces are exactly the staging buffer's content
        else
            WritePieces(file, pieces);
    };
    // With a writer thread the sink hands over copies, not references into the input.
    OutputSink sink(t_staging, flush, kChunkBytes, !writer);
    std::size_t have = 0;
    std::size_t want = kReadBytes;
    bool eof = false;
    for (;;) {
        const std::size_t before = have;
        have = ReadMore(file, have, want, eof);
        char *data = t_input.data.get();
        // A binary file is left as it is; what was written of it goes with the temporary.
        if (std::memchr(data + before, 0, have - before))
            throw SkippedFile(file.path(), kBinaryFileReason);
        const std::size_t done = ApplyToSink({data, have}, op, sink, eof);
        if (!writer)
            sink.flush(); // the output may point into the buffer that is about to be reused
        if (eof)
            break;
        std::memmove(data, data + done, have - done);
        have -= done;
        // A line longer than what was read: read as much again, so it takes few rounds.
        want = done == 0 ? std::max(kReadBytes, have) : kReadBytes;
    }
    sink.finish();
    if (writer)
        writer->waitIdle();
}

} // namespace

FileReplacement PrepareRewrite(const std::string &path, const TextOperation &op,
                               const ReplaceOptions &options)
{
    struct Release {
        ~Release()
        {
            t_input.shrinkIfHuge();
            if (t_staging.capacity() > kKeepBuffer)
                t_staging.release();
        }
    } release;

    FileReplacement file(path, options);
    file.prepareOutput();
    // A large file whose lines come out independently is mapped and transformed on two threads.
    const std::size_t size = file.sourceSize();
    if (size >= kBackgroundFrom && LinesIndependent(op)) {
        Mapping mapping(file.sourceDescriptor(), size);
        if (mapping.data()) {
            StretchRewriter(mapping.data(), size, file, op).run();
            return file;
        }
    }
    Stream(file, op);
    return file;
}

void RewriteFile(const std::string &path, const TextOperation &op, const ReplaceOptions &options)
{
    PrepareRewrite(path, op, options).commit();
}

} // namespace vexlo
