#include "run/RewriteFile.h"

#include "base/Error.h"
#include "run/BufferEngine.h"
#include "run/FastSearch.h"

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
#include <sys/stat.h>
#include <unistd.h>

// The new content is prepared through the write unit (base/SafeWrite.h): a temporary in the
// target's held folder, renamed over the target once complete and only when the target is still
// the file that was read. Files are read with read(), never mapped, so a file truncated by
// another program meanwhile ends the read early instead of raising a signal; the commit then
// finds the change and keeps the other writer's file.

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

/// Transforms a large file on two threads: the file is read in stretches of whole lines; each
/// thread transforms the stretch it took into a buffer of its own and writes it once every
/// earlier stretch is written. The process holds a few stretches, whatever the file's size.
class StretchRewriter {
  public:
    StretchRewriter(FileReplacement &file, const TextOperation &op) : m_file(file), m_op(op) {}

    /// Throws Error{Io} on a failed read or write, std::bad_alloc when memory runs out.
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

    void work()
    {
        std::string stretch;
        std::size_t index = 0;
        ByteBuffer staging;
        try {
            while (take(stretch, index)) {
                const auto flush = [&](const std::vector<OutputSink::Piece> &pieces) {
                    waitTurn(index);
                    WritePieces(m_file, pieces);
                };
                // Flushed when the stretch is done (or its references pile up), in its turn.
                OutputSink sink(staging, flush, SIZE_MAX);
                ApplyToSink({stretch.data(), stretch.size()}, m_op, sink);
                sink.finish();
                waitTurn(index);
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

    /// Reads the next stretch into `stretch`: the bytes left over from the last read and about
    /// kStretchBytes more, up to the last line break (a CR at the very end waits for the next
    /// read, which may hold its LF); a line longer than that is read to its end. Returns false
    /// once the file is done.
    bool take(std::string &stretch, std::size_t &index)
    {
        std::lock_guard lock(m_mutex);
        if (m_stop)
            throw Stop{};
        stretch.swap(m_carry);
        m_carry.clear();
        std::size_t cut = 0;
        while (!m_eof) {
            const std::size_t have = stretch.size();
            stretch.resize(have + kStretchBytes);
            std::size_t got = 0;
            while (got < kStretchBytes) {
                const std::size_t n = m_file.read(stretch.data() + have + got, kStretchBytes - got);
                if (n == 0) {
                    m_eof = true;
                    break;
                }
                got += n;
            }
            stretch.resize(have + got);
            if (m_eof)
                break;
            const std::size_t upTo = stretch.back() == '\r' ? stretch.size() - 1 : stretch.size();
            cut = have + StartOfLine(stretch.data() + have, upTo - have);
            if (cut == have && have > 0) // the new bytes hold no break: one may end the old ones
                cut = StartOfLine(stretch.data(), upTo);
            if (cut > 0)
                break;
        }
        if (m_eof)
            cut = stretch.size();
        m_carry.assign(stretch, cut, std::string::npos);
        stretch.resize(cut);
        if (stretch.empty())
            return false;
        index = m_stretches++;
        return true;
    }

    void waitTurn(std::size_t index)
    {
        std::unique_lock lock(m_mutex);
        m_turnChanged.wait(lock, [&] { return m_turn == index || m_stop; });
        if (m_stop)
            throw Stop{};
    }

    FileReplacement &m_file;
    const TextOperation &m_op;
    std::mutex m_mutex;
    std::condition_variable m_turnChanged;
    bool m_stop = false;
    bool m_eof = false;
    std::string m_carry;         // read but not yet taken: the start of a line
    std::size_t m_stretches = 0; // stretches taken so far
    std::size_t m_turn = 0;      // the stretch whose output is written next
    std::exception_ptr m_failure;
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
        have = ReadMore(file, have, want, eof);
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
    sink.finish();
    if (writer)
        writer->waitIdle();
}

} // namespace

FileReplacement PrepareRewrite(const std::string &path, const TextOperation &op, const ReplaceOptions &options)
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
    // A large file whose lines come out independently is transformed on two threads.
    if (file.sourceSize() >= kBackgroundFrom && LinesIndependent(op))
        StretchRewriter(file, op).run();
    else
        Stream(file, op);
    return file;
}

void RewriteFile(const std::string &path, const TextOperation &op, const ReplaceOptions &options)
{
    PrepareRewrite(path, op, options).commit();
}

} // namespace vexlo
