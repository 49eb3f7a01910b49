#include "run/engine/TextEngine.h"

#include "run/engine/BufferEngine.h"
#include "run/engine/FastSearch.h"

#include <algorithm>

// The line-based operations below are the plain, readable form of the engine. ApplyToBuffer
// (BufferEngine.cpp) produces the same bytes without splitting the file into strings; the
// tests hold the two against each other.

namespace vexlo {

namespace {

std::string Folded(std::string_view s)
{
    std::string out(s);
    for (char &c : out)
        c = static_cast<char>(FoldByte(static_cast<unsigned char>(c)));
    return out;
}

/// 0-based index of the first occurrence of `needle` in `hay`, npos when none; empty never occurs.
std::size_t FindIn(std::string_view hay, std::string_view needle)
{
    if (needle.empty())
        return std::string_view::npos;
    return hay.find(needle);
}

} // namespace

void TrimBlanks(std::string &line, const TextEngineOptions &options)
{
    const auto isBlank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    const auto trimRight = [&] {
        while (!line.empty() && isBlank(line.back()))
            line.pop_back();
    };
    const auto trimLeft = [&] {
        auto first = std::find_if_not(line.begin(), line.end(), isBlank);
        line.erase(line.begin(), first);
    };
    if (options.deleteBlanks) {
        trimRight();
        trimLeft();
        return;
    }
    if (options.deleteBlanksRight)
        trimRight();
    if (options.deleteBlanksLeft)
        trimLeft();
}

InLinePattern MakeInLinePattern(std::string_view find, const TextEngineOptions &options)
{
    InLinePattern pattern;
    pattern.search = options.matchCase ? std::string(find) : Folded(find);
    bool blankInFront = false;
    if (options.wholeWord) {
        pattern.search = " " + pattern.search + " ";
        blankInFront = true;
    } else {
        if (options.wholeWordRight)
            pattern.search += ' ';
        if (options.wholeWordLeft) {
            pattern.search.insert(pattern.search.begin(), ' ');
            blankInFront = true;
        }
    }
    // Only a blank the options put in front shifts the find text; a find text that itself
    // begins with a space is replaced from its own first character.
    pattern.findOffset = blankInFront ? 1 : 0;
    pattern.findLength = find.size();
    return pattern;
}

Lines ReplaceInLine(const Lines &text, std::string_view find, const InLineReplacement &replacement,
                    const TextEngineOptions &options)
{
    const InLinePattern pattern = MakeInLinePattern(find, options);
    Lines out;
    out.reserve(text.size());
    for (const std::string &line : text) {
        const std::size_t p = FindIn(options.matchCase ? line : Folded(line), pattern.search);
        if (p == std::string_view::npos) {
            out.push_back(line);
            continue;
        }
        const std::size_t q = p + pattern.findOffset;
        const std::string before = line.substr(0, q);
        const std::string after = line.substr(std::min(line.size(), q + pattern.findLength));
        if (!replacement.isMultiLine()) {
            std::string produced = before;
            if (!replacement.lines.empty())
                produced += replacement.lines.front();
            produced += after;
            TrimBlanks(produced, options);
            out.push_back(std::move(produced));
            continue;
        }
        const Lines &r = replacement.lines;
        out.push_back(before + r.front());
        out.insert(out.end(), r.begin() + 1, r.end() - 1);
        out.push_back(r.back() + after);
    }
    return out;
}

Lines ReplaceBlock(const Lines &text, const Lines &findLines, const Lines &replacementLines,
                   const TextEngineOptions &options)
{
    Lines out;
    if (findLines.empty()) {
        out = text;
        return out;
    }
    const std::size_t n = findLines.size();
    const std::string first = options.matchCase ? findLines.front() : Folded(findLines.front());
    const std::string last = options.matchCase ? findLines.back() : Folded(findLines.back());
    const auto fold = [&](const std::string &s) { return options.matchCase ? s : Folded(s); };

    std::size_t i = 0;
    while (i < text.size()) {
        const auto candidate = [&]() -> bool {
            if (i + n > text.size())
                return false;
            const std::size_t p1 = FindIn(fold(text[i]), first);
            if (p1 == std::string_view::npos)
                return false;
            const std::size_t p2 = n == 1 ? p1 : FindIn(fold(text[i + n - 1]), last);
            if (p2 == std::string_view::npos)
                return false;
            for (std::size_t j = 1; j + 1 < n; ++j)
                if (text[i + j] != findLines[j])
                    return false;

            const std::string before = text[i].substr(0, p1);
            const std::string after = text[i + n - 1].substr(p2 + findLines.back().size());
            const std::size_t m = replacementLines.size();
            if (m == 0) {
                std::string produced = before + after;
                TrimBlanks(produced, options);
                out.push_back(std::move(produced));
            } else if (m == 1) {
                std::string produced = before + replacementLines.front() + after;
                if (produced.empty())
                    return false; // an empty result counts as no match
                TrimBlanks(produced, options);
                out.push_back(std::move(produced));
            } else {
                out.push_back(before + replacementLines.front());
                out.insert(out.end(), replacementLines.begin() + 1, replacementLines.end() - 1);
                out.push_back(replacementLines.back() + after);
            }
            return true;
        };
        if (candidate()) {
            i += n;
        } else {
            out.push_back(text[i]);
            ++i;
        }
    }
    return out;
}

std::string ApplyToBuffer(std::string_view input, const TextOperation &op)
{
    // Staged output moves to the result in pieces, so the result is not built twice over.
    // Room for some growth (a CR before every LF of lines of four bytes or more) is reserved
    // up front: growing a huge result by doubling would hold the old and the new copy at once.
    // Untouched room costs address space only.
    std::string out;
    out.reserve(input.size() + input.size() / 4 + 64);
    ByteBuffer staging;
    OutputSink sink(
        staging,
        [&out](const std::vector<OutputSink::Piece> &pieces) {
            for (const OutputSink::Piece &piece : pieces)
                out.append(piece.data, piece.size);
        },
        std::size_t{1} << 20);
    ApplyToSink(input, op, sink);
    sink.finish();
    return out;
}

} // namespace vexlo
