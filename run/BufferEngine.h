// The text engine's one-pass form: works on a whole file buffer and streams the result out.
#pragma once

#include "run/TextEngine.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
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

/// Collects output bytes. Stretches of the input that pass unchanged are kept as references
/// into the input (when large) instead of being copied; everything else is staged. With a
/// flush function the collected pieces are handed over whenever about `chunkBytes` have
/// gathered, so memory stays near the input's size; without one, all goes into `target`.
class OutputSink {
public:
    struct Piece {
        const char *data;
        std::size_t size;
    };
    using FlushFn = std::function<void(const std::vector<Piece> &)>;

    /// Everything is appended to `target`. Throws std::bad_alloc when memory runs out.
    explicit OutputSink(std::string &target);
    /// Pieces go to `flush` in order; `flush` may throw, the error then ends the operation.
    OutputSink(std::string &staging, FlushFn flush, std::size_t chunkBytes);

    /// Appends bytes of the input; they must stay valid until finish(). Throws what flush throws.
    void verbatim(const char *data, std::size_t size);
    /// Staged bytes: append to this string (after it, call maybeFlush()).
    std::string &staged() noexcept { return m_staging; }
    /// Hands over the collected pieces once enough have gathered. Throws what flush throws.
    void maybeFlush();
    /// Hands over everything that is left. Throws what flush throws.
    void finish();

private:
    void closeStagedRun();
    void flushAll();

    std::string &m_staging;
    FlushFn m_flush;
    std::size_t m_chunkBytes = 0;
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
/// to `sink`. Same result as JoinLines(op(SplitLines(input))). Throws only what the sink throws.
void ApplyToSink(std::string_view input, const TextOperation &op, OutputSink &sink);

} // namespace vexlo
