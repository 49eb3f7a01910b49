#include "run/RewriteFile.h"
#include "run/TemporaryFile.h"

#include "base/Error.h"
#include "run/BufferEngine.h"
#include "run/FastSearch.h"
#include "run/FileIo.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

// The new content is written to a temporary file in the target's own folder and renamed over
// the target only once it is complete, so a full disk or a failed write leaves the original
// as it was. Where the file system allows, the temporary is created unnamed (O_TMPFILE) and
// gets its name just before the rename, so even a crash leaves nothing behind. There is no
// fsync: the rename makes the new content replace the old atomically as far as other programs
// see, just as the usual in-place editors do, and a forced flush would cost a disk round trip
// per file.

namespace vexlo {

namespace detail {
WritevFn g_rewriteWritev = ::writev;
bool g_useUnnamedTemporary = true;
} // namespace detail

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

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd = -1) : m_fd(fd) {}
    ~FileDescriptor() { reset(); }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    int get() const { return m_fd; }
    void reset(int fd = -1)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }
    int release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

  private:
    int m_fd;
};

/// Appends up to `want` bytes of the file to the thread's buffer after its first `have`
/// bytes; returns the new size and sets `eof` when the file has ended.
std::size_t ReadMore(int fd, std::size_t have, std::size_t want, bool &eof, const std::string &path)
{
    char *data = t_input.reserve(have + want, have);
    const std::size_t limit = have + want;
    while (have < limit) {
        const ssize_t got = ::read(fd, data + have, limit - have);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throw IoError("read", path, errno);
        }
        if (got == 0) {
            eof = true;
            break;
        }
        have += static_cast<std::size_t>(got);
    }
    return have;
}

void WritePieces(int fd, const std::vector<OutputSink::Piece> &pieces, const std::string &path)
{
    constexpr std::size_t kMaxIov = 256;
    std::vector<iovec> iov;
    std::size_t next = 0;
    while (next < pieces.size()) {
        iov.clear();
        for (std::size_t i = next; i < pieces.size() && iov.size() < kMaxIov; ++i)
            iov.push_back({const_cast<char *>(pieces[i].data), pieces[i].size});
        next += iov.size();
        std::size_t first = 0;
        while (first < iov.size()) {
            const ssize_t put =
                detail::g_rewriteWritev(fd, iov.data() + first, static_cast<int>(iov.size() - first));
            if (put < 0) {
                if (errno == EINTR)
                    continue;
                throw IoError("write", path, errno);
            }
            if (put == 0)
                throw IoError("write", path, EIO);
            std::size_t done = static_cast<std::size_t>(put);
            while (first < iov.size() && done >= iov[first].iov_len)
                done -= iov[first++].iov_len;
            if (first < iov.size()) {
                iov[first].iov_base = static_cast<char *>(iov[first].iov_base) + done;
                iov[first].iov_len -= done;
            }
        }
    }
}

/// Writes the output of a large file on a thread of its own while the next part is prepared.
/// Hands over whole staging buffers; a failed write is reported at the next hand-over.
class BackgroundWriter {
  public:
    BackgroundWriter(int fd, const std::string &path) : m_fd(fd), m_path(path), m_thread([this] { work(); })
    {
    }
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
                    WritePieces(m_fd, {{m_pending.data(), m_pending.size()}}, m_path);
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

    int m_fd;
    std::string m_path;
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

/// Transforms a large file on two threads: the file is mapped and cut into stretches of whole
/// lines; each thread transforms the stretch it took into a buffer of its own and writes it
/// once every earlier stretch is written. The process holds a few stretches, whatever the
/// file's size: pages of the mapping that are done with are given back.
class StretchRewriter {
  public:
    StretchRewriter(const char *data, std::size_t size, int out, const TextOperation &op,
                    const std::string &path)
        : m_data(data), m_size(size), m_out(out), m_op(op), m_path(path)
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
                const auto flush = [&](const std::vector<OutputSink::Piece> &pieces) {
                    waitTurn(stretch.index);
                    WritePieces(m_out, pieces, m_path);
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
    int m_out;
    const TextOperation &m_op;
    const std::string &m_path;
    std::mutex m_mutex;
    std::condition_variable m_turnChanged;
    bool m_stop = false;
    std::size_t m_taken = 0;      // bytes taken so far
    std::size_t m_stretches = 0;  // stretches taken so far
    std::size_t m_turn = 0;       // the stretch whose output is written next
    std::exception_ptr m_failure;
};

/// The whole file mapped for reading, or nothing when it cannot be.
class Mapping {
  public:
    Mapping(int fd, std::size_t size) : m_size(size)
    {
        void *map = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (map == MAP_FAILED)
            return;
        ::madvise(map, size, MADV_SEQUENTIAL);
        m_data = static_cast<const char *>(map);
    }
    ~Mapping()
    {
        if (m_data)
            ::munmap(const_cast<char *>(m_data), m_size);
    }
    Mapping(const Mapping &) = delete;
    Mapping &operator=(const Mapping &) = delete;
    const char *data() const { return m_data; }

  private:
    const char *m_data = nullptr;
    std::size_t m_size;
};

} // namespace

void RewriteFile(const std::string &path, const TextOperation &op)
{
    struct stat info {};
    const std::string target = ResolveTarget(path, info);
    if (S_ISDIR(info.st_mode))
        throw IoError("rewrite", path, EISDIR);
    if (!S_ISREG(info.st_mode))
        throw Error(ErrorKind::Io, path, "cannot rewrite '" + path + "': not a regular file");
    if (!(info.st_mode & S_IWUSR) || ::access(target.c_str(), W_OK) != 0)
        throw IoError("write", path, (info.st_mode & S_IWUSR) ? errno : EACCES);

    // Non-blocking and without following links: should the entry have changed since the
    // check above, this neither hangs on a FIFO nor wanders through a new link.
    FileDescriptor in(::open(target.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC));
    if (in.get() < 0)
        throw IoError("read", path, errno);
    struct stat opened {};
    if (::fstat(in.get(), &opened) != 0)
        throw IoError("read", path, errno);
    if (!S_ISREG(opened.st_mode) || opened.st_dev != info.st_dev || opened.st_ino != info.st_ino)
        throw Error(ErrorKind::Io, path,
                    "cannot rewrite '" + path + "': the file changed while it was opened");

    struct Release {
        ~Release() { t_input.shrinkIfHuge(); }
    } release;

    TemporaryFile temporary(target, path);
    if (::fchown(temporary.fd(), opened.st_uid, opened.st_gid) != 0 && errno != EPERM)
        throw IoError("write", path, errno);
    if (::fchmod(temporary.fd(), opened.st_mode & 07777) != 0)
        throw IoError("write", path, errno);

    // A large file whose lines come out independently is transformed on two threads.
    const auto size = static_cast<std::size_t>(opened.st_size);
    if (size >= kBackgroundFrom && LinesIndependent(op)) {
        Mapping mapping(in.get(), size);
        if (mapping.data()) {
            StretchRewriter(mapping.data(), size, temporary.fd(), op, path).run();
            in.reset();
            temporary.commit();
            return;
        }
    }

    // The file is read in pieces that stay in the processor's caches; a piece is processed up
    // to its last whole line and the rest waits for the next piece. A large file's output is
    // written by a second thread meanwhile; it then gets copies, not references into the input.
    const int outFd = temporary.fd();
    std::optional<BackgroundWriter> writer;
    if (static_cast<std::size_t>(opened.st_size) >= kBackgroundFrom)
        writer.emplace(outFd, path);
    const auto flush = [&](const std::vector<OutputSink::Piece> &pieces) {
        if (writer)
            writer->write(t_staging); // the pieces are exactly the staging buffer's content
        else
            WritePieces(outFd, pieces, path);
    };
    OutputSink sink(t_staging, flush, kChunkBytes, !writer);
    std::size_t have = 0;
    std::size_t want = kReadBytes;
    bool eof = false;
    for (;;) {
        have = ReadMore(in.get(), have, want, eof, path);
        char *data = t_input.data.get();
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
    in.reset();
    sink.finish();
    if (writer) {
        writer->waitIdle();
        writer.reset();
    }
    temporary.commit();
    if (t_staging.capacity() > kKeepBuffer)
        t_staging.release();
}

} // namespace vexlo
