#include "docengine/ReplaceAll.h"

#include "docengine/WordMatch.h"

#include <unicode/uchar.h>

namespace vexlo::doc {

namespace {

bool IsCased(char32_t c)
{
    auto u = static_cast<UChar32>(c);
    return u_isUUppercase(u) || u_isULowercase(u) || u_istitle(u);
}

bool IsUpper(char32_t c)
{
    auto u = static_cast<UChar32>(c);
    return u_isUUppercase(u) || u_istitle(u);
}

std::u32string Folded(std::u32string_view text)
{
    std::u32string out(text);
    for (char32_t &c : out) {
        if (c < 0x80) // most text: no call out of line
            c = (c >= U'A' && c <= U'Z') ? c + 32 : c;
        else
            c = FoldCase(c);
    }
    return out;
}

std::u32string Assemble(const std::vector<ReplacePart> &parts, std::u32string_view text,
                        const MatchResult &match, std::u32string_view clipboard)
{
    std::u32string out;
    for (const ReplacePart &part : parts) {
        switch (part.kind) {
        case ReplacePart::Kind::Text:
            out += part.text;
            break;
        case ReplacePart::Kind::WholeMatch:
            out += text.substr(match.start, match.end - match.start);
            break;
        case ReplacePart::Kind::Group: {
            long from = match.captures[2 * (part.group - 1)];
            long to = match.captures[2 * (part.group - 1) + 1];
            if (from >= 0 && to >= from)
                out += text.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from));
            break;
        }
        case ReplacePart::Kind::Clipboard:
            out += clipboard;
            break;
        }
    }
    return out;
}

} // namespace

std::u32string MatchFoundCase(std::u32string_view found, std::u32string_view replacement)
{
    std::size_t cased = 0, upper = 0;
    char32_t firstLetter = 0;
    for (char32_t c : found) {
        if (!IsCased(c))
            continue;
        if (!firstLetter)
            firstLetter = c;
        ++cased;
        upper += IsUpper(c);
    }
    std::u32string out(replacement);
    if (cased >= 2 && upper == cased) {
        for (char32_t &c : out)
            c = static_cast<char32_t>(u_toupper(static_cast<UChar32>(c)));
        return out;
    }
    if (firstLetter && IsUpper(firstLetter)) {
        for (char32_t &c : out) {
            if (!IsCased(c))
                continue;
            if (u_isULowercase(static_cast<UChar32>(c)))
                c = static_cast<char32_t>(u_totitle(static_cast<UChar32>(c)));
            break;
        }
    }
    return out;
}

std::size_t ReplaceAll(Document &document, std::u32string_view find, std::u32string_view replace,
                       const FindOptions &options, std::u32string_view clipboard)
{
    if (Utf16Length(find) > kMaxFindLength || Utf16Length(replace) > kMaxFindLength)
        throw FindError("String parameter too long");

    const bool wildcards = options.wildcards;
    const bool byWord = !wildcards && (options.soundsLike || options.allWordForms);
    PatternOptions pattern;
    pattern.wildcards = wildcards;
    pattern.matchCase = options.matchCase && !wildcards;
    pattern.wholeWord = options.wholeWord && !wildcards && !byWord && !FindHasSpace(find);
    Program program = CompileFind(find, pattern);
    std::vector<ReplacePart> parts = ParseReplacement(replace, wildcards, program.groups);
    if (find.empty())
        return 0;

    const std::u32string &text = document.text;
    const std::size_t limit = text.size() - 1; // the final paragraph mark is never searched
    const bool adjustCase = !wildcards && (!options.matchCase || byWord);

    // A document kept in its own format remembers each replacement, in the coordinates of
    // the story as read, so that it can be made inside the file's own structure.
    const bool keepEdits = document.keeper && document.changedByReplaceAll == 0;
    std::vector<StoryEdit> edits;
    std::u32string out;
    std::size_t copied = 0, count = 0;
    auto put = [&](const MatchResult &match, std::u32string replacement) {
        out.append(text, copied, match.start - copied);
        if (adjustCase)
            replacement = MatchFoundCase(
                std::u32string_view(text).substr(match.start, match.end - match.start), replacement);
        out += replacement;
        if (keepEdits)
            edits.push_back({match.start, match.end, std::move(replacement)});
        copied = match.end;
        ++count;
    };

    if (byWord) {
        // Caret codes for characters count as the characters they stand for.
        std::u32string decoded = DecodeWordFind(find);
        WordMatcher words(decoded,
                          options.soundsLike ? WordMatcher::Mode::SoundsLike : WordMatcher::Mode::WordForms,
                          text, limit);
        MatchResult match;
        for (std::size_t from = 0; words.find(from, match); from = match.end)
            put(match, words.replacementFor(match, Assemble(parts, text, match, clipboard)));
    } else {
        std::u32string folded;
        std::u32string_view subject = text;
        if (!pattern.matchCase && !wildcards) {
            folded = Folded(text);
            subject = folded;
        }
        Matcher matcher(program, subject, text, limit);
        MatchResult match;
        // Word tests look at the story as edited so far: left of a match lies what was written.
        for (std::size_t from = 0; matcher.find(from, match, out); from = match.end)
            put(match, Assemble(parts, text, match, clipboard));
    }
    if (count == 0)
        return 0;
    out.append(text, copied, std::u32string::npos);
    document.text = std::move(out);
    if (keepEdits)
        document.edits = std::move(edits);
    ++document.changedByReplaceAll;
    return count;
}

} // namespace vexlo::doc
