// The text engine's one-pass form: works on a whole file buffer and streams the result out.
#pragma once

#include "run/engine/TextEngine.h"

#include <cstddef>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vexlo {

/// The search string of ReplaceInLine and where the find text sits inside it.
struct InLinePattern {
    std::string search;         // the find text, upper-cased unless "Match Case", with the blanks
    std::size_t findOffset = 0; // 1 when a whole-word option put a blank in front
    std::size_t findLength = 0; // length of the find text as typed
};

/// Builds the search string from the find text and the whole-word options. Cannot fail.
InLinePattern MakeInLinePattern(std::string_view find, const TextEngineOptions &options);

/// Removes blanks (bytes <= 32) from the ends the "Delete Blanks" options name. Cannot fail.
void TrimBlanks(std::string &line, const TextEngineOptions &options);

class ByteBuffer;

/// A growable byte buffer that, unlike std::string, leaves new room uninitialised.
class ByteBuffer {
  public:
    std::size_t size() const noexcept { return m_size; }
    std::size_t capacity() const noexcept { return m_capacity; }
    char *data() noexcept { return m_data.get(); }
    /// Makes room for `n` more bytes and returns where they go; size() grows by `n`.
    /// Throws std::bad_alloc when memory runs out.
    char *extend(std::size_t n)
    {
        if (m_size + n > m_capacity)
            grow(m_size + n);
        char *at = m_data.get() + m_size;
        m_size += n;
        return at;
    }
    void append(const char *p, std::size_t n)
    {
        if (n)
            std::memcpy(extend(n), p, n);
    }
    ByteBuffer &operator+=(std::string_view s)
    {
        append(s.data(), s.size());
        return *this;
    }
    void truncate(std::size_t size) noexcept { m_size = size < m_size ? size : m_size; }
    void erase(std::size_t from, std::size_t count) noexcept
    {
        if (count == 0)
            return; // also keeps a buffer that never held anything away from memmove
        std::memmove(m_data.get() + from, m_data.get() + from + count, m_size - from - count);
        m_size -= count;
    }
    void clear() noexcept { m_size = 0; }
    void swap(ByteBuffer &other) noexcept
    {
        m_data.swap(other.m_data);
        std::swap(m_size, other.m_size);
        std::swap(m_capacity, other.m_capacity);
    }
    void release() noexcept
    {
        m_data.reset();
        m_size = m_capacity = 0;
    }

  private:
    void grow(std::size_t need)
    {
        const std::size_t capacity = need > 2 * m_capacity ? need : 2 * m_capacity;
        std::unique_ptr<char[]> bigger(new char[capacity]);
        if (m_size)
            std::memcpy(bigger.get(), m_data.get(), m_size);
        m_data = std::move(bigger);
        m_capacity = capacity;
    }

    std::unique_ptr<char[]> m_data;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
};

/// Collects output bytes. Stretches of the input that pass unchanged are kept as references
/// into the input (when large) instead of being copied; everything else is staged. The
/// collected pieces are handed to the flush function whenever about `chunkBytes` have
/// gathered, so the staging buffer stays small.
class OutputSink {
  public:
    struct Piece {
        const char *data;
        std::size_t size;
    };
    using FlushFn = std::function<void(const std::vector<Piece> &)>;

    /// Pieces go to `flush` in order; `flush` may throw, the error then ends the operation.
    /// Without `referInput`, input bytes are copied too, so every flush hands over exactly
    /// the staging buffer's content [0, size) and the input may be reused at once.
    OutputSink(ByteBuffer &staging, FlushFn flush, std::size_t chunkBytes, bool referInput = true);

    /// Appends bytes of the input; they must stay valid until finish(). Throws what flush throws.
    void verbatim(const char *data, std::size_t size);
    /// Staged bytes: append to this string (after it, call maybeFlush()).
    ByteBuffer &staged() noexcept { return m_staging; }
    /// Hands over the collected pieces once enough have gathered. Throws what flush throws.
    void maybeFlush();
    /// Hands over everything collected so far (before the input buffer is reused).
    /// Throws what flush throws.
    void flush();
    /// Hands over everything that is left. Throws what flush throws.
    void finish();

  private:
    void closeStagedRun();
    void flushAll();

    ByteBuffer &m_staging;
    FlushFn m_flush;
    std::size_t m_chunkBytes = 0;
    bool m_referInput = true;
    std::size_t m_stagedFrom = 0; // start of the staged bytes not yet listed as a piece
    std::size_t m_pendingBytes = 0;
    struct Ref {
        const char *data; // nullptr: staged bytes at `offset`
        std::size_t offset;
        std::size_t size;
    };
    std::vector<Ref> m_refs;
    std::vector<Piece> m_pieces;
};

/// Applies `op` to the bytes of a whole file, writing the result (every line followed by CR LF)
/// to `sink`: with `final`, the window is the whole (rest of the) file and the result equals
/// JoinLines(op(SplitLines(window))). Without it, more input follows the window: only whole
/// lines are processed, and a block that may continue past the window is left for later.
/// Returns how many bytes of the window were done with (a line start); the caller keeps the
/// rest, appends more input and calls again. Throws only what the sink throws.
std::size_t ApplyToSink(std::string_view window, const TextOperation &op, OutputSink &sink,
                        bool final = true);

} // namespace vexlo
