// A second, deliberately simple model of the plain-text replace-all (literal find text, the
// case and whole-word options) held against the engine on random documents.
#include "docengine/ReplaceAll.h"

#include "support/TestSupport.h"

#include <random>
#include <regex>

using namespace vexlo::doc;

namespace {

// The model knows only the characters the generator uses.
char32_t ModelFold(char32_t c)
{
    if (c >= U'A' && c <= U'Z')
        return c + 32;
    if (c == U'\u00C9')
        return U'\u00E9';
    return c;
}

bool ModelIsUpper(char32_t c)
{
    return (c >= U'A' && c <= U'Z') || c == U'\u00C9';
}

bool ModelIsLetter(char32_t c)
{
    return ModelFold(c) != c || (c >= U'a' && c <= U'z') || c == U'\u00E9';
}

bool ModelWordChar(char32_t c)
{
    return ModelIsLetter(c) || (c >= U'0' && c <= U'9') || c == U'_';
}

std::u32string ModelCase(std::u32string_view found, std::u32string replacement)
{
    int letters = 0, upper = 0;
    for (char32_t c : found)
        if (ModelIsLetter(c)) {
            ++letters;
            upper += ModelIsUpper(c);
        }
    auto toUpper = [](char32_t c) {
        return c == U'\u00E9' ? U'\u00C9' : (c >= U'a' && c <= U'z' ? c - 32 : c);
    };
    if (letters >= 2 && upper == letters) {
        for (char32_t &c : replacement)
            c = toUpper(c);
        return replacement;
    }
    char32_t first = 0;
    for (char32_t c : found)
        if (ModelIsLetter(c)) {
            first = c;
            break;
        }
    if (first && ModelIsUpper(first))
        for (char32_t &c : replacement)
            if (ModelIsLetter(c)) {
                c = toUpper(c);
                break;
            }
    return replacement;
}

// Lines of a file as paragraphs: the text the model searches, without the final mark.
std::u32string ModelBody(std::u32string_view file)
{
    std::u32string body;
    for (std::size_t i = 0; i < file.size(); ++i) {
        if (file[i] == U'\r' && i + 1 < file.size() && file[i + 1] == U'\n')
            continue;
        body += file[i] == U'\n' ? U'\r' : file[i];
    }
    if (!body.empty() && body.back() == U'\r')
        body.pop_back();
    return body;
}

std::u32string Model(std::u32string_view file, std::u32string_view find, std::u32string_view replace,
                     bool matchCase, bool wholeWord)
{
    std::u32string body = ModelBody(file);
    bool whole = wholeWord && find.find(U' ') == std::u32string_view::npos;
    std::u32string out;
    std::size_t i = 0;
    while (i < body.size()) {
        bool hit = !find.empty() && i + find.size() <= body.size();
        for (std::size_t k = 0; hit && k < find.size(); ++k)
            hit = matchCase ? body[i + k] == find[k] : ModelFold(body[i + k]) == ModelFold(find[k]);
        if (hit && whole) {
            std::size_t end = i + find.size();
            if (ModelWordChar(body[i]) && i > 0 && ModelWordChar(body[i - 1]))
                hit = false;
            if (ModelWordChar(body[end - 1]) && end < body.size() && ModelWordChar(body[end]))
                hit = false;
        }
        if (!hit) {
            out += body[i++];
            continue;
        }
        std::u32string_view found = std::u32string_view(body).substr(i, find.size());
        out += matchCase ? std::u32string(replace) : ModelCase(found, std::u32string(replace));
        i += find.size();
    }
    std::u32string saved;
    for (char32_t c : out)
        saved += c == U'\r' ? std::u32string(U"\r\n") : std::u32string(1, c);
    if (!out.empty())
        saved += U"\r\n";
    return saved;
}

std::u32string Random(std::mt19937 &rng, std::u32string_view alphabet, std::size_t most)
{
    std::uniform_int_distribution<std::size_t> length(0, most), pick(0, alphabet.size() - 1);
    std::u32string s(length(rng), U' ');
    for (char32_t &c : s)
        c = alphabet[pick(rng)];
    return s;
}

} // namespace

TEST(PlainTextModel, AgreesWithTheEngineOnRandomDocuments)
{
    std::mt19937 rng(20261208);
    const std::u32string text = U"aAbB \u00E9\u00C9_1.\n\r";
    const std::u32string pattern = U"aAbB \u00E9.";
    int disagreements = 0;
    for (int round = 0; round < 6000 && disagreements < 5; ++round) {
        std::u32string file = Random(rng, text, 24);
        std::u32string find = Random(rng, pattern, 3);
        std::u32string replace = Random(rng, U"xXaA\u00E9 ", 3);
        bool matchCase = rng() % 2, wholeWord = rng() % 2;
        // The file in UTF-8 when it holds é, else in Windows-1252 (which is ASCII here).
        std::string bytes = ToUtf8(file);
        Document document = OpenPlainText(bytes);
        FindOptions options;
        options.matchCase = matchCase;
        options.wholeWord = wholeWord;
        ReplaceAll(document, find, replace, options);
        std::string actual = SavePlainText(document);
        std::u32string expected32 = Model(file, find, replace, matchCase, wholeWord);
        std::string expected = Encode(expected32, document.encoding);
        if (actual != expected) {
            ++disagreements;
            ADD_FAILURE() << "file " << vexlo::test::visible(bytes) << " find '" << ToUtf8(find)
                          << "' replace '" << ToUtf8(replace) << "' case " << matchCase << " whole "
                          << wholeWord << "\n  engine " << vexlo::test::visible(actual) << "\n  model  "
                          << vexlo::test::visible(expected);
        }
    }
}

namespace {

// One random wildcard pattern and the same pattern in ECMAScript syntax, whose backtracking
// search has the same leftmost-first priorities.
struct WildcardCase {
    std::string word, ecma;
    int groups = 0;
};

WildcardCase RandomWildcard(std::mt19937 &rng)
{
    WildcardCase c;
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    auto atom = [&](std::string &w, std::string &e) {
        switch (pick(5)) {
        case 0:
            w += "?", e += "[\\s\\S]";
            break;
        case 1:
            w += "[a-b]", e += "[a-b]";
            break;
        case 2:
            w += "[!a ]", e += "[^a ]";
            break;
        default: {
            const char letters[] = "abAB ";
            char l = letters[pick(5)];
            w += l, e += l;
        }
        }
    };
    int parts = 1 + pick(3);
    for (int p = 0; p < parts; ++p) {
        if (pick(5) == 0) {
            c.word += "*", c.ecma += "[\\s\\S]*?";
        }
        std::string w, e;
        if (pick(4) == 0) {
            std::string iw, ie;
            atom(iw, ie);
            atom(iw, ie);
            w = "(" + iw + ")", e = "(" + ie + ")";
            ++c.groups;
        } else {
            atom(w, e);
        }
        switch (pick(6)) {
        case 0:
            w += "@", e += "+";
            break;
        case 1: {
            int n = 1 + pick(2);
            w += "{" + std::to_string(n) + ",}", e += "{" + std::to_string(n) + ",}";
            break;
        }
        case 2: {
            int n = 1 + pick(2), m = n + pick(2);
            w += "{" + std::to_string(n) + "," + std::to_string(m) + "}";
            e += "{" + std::to_string(n) + "," + std::to_string(m) + "}";
            break;
        }
        default:
            break;
        }
        c.word += w, c.ecma += e;
    }
    return c;
}

} // namespace

TEST(WildcardModel, AgreesWithABacktrackingRegexOnRandomPatterns)
{
    std::mt19937 rng(7);
    int disagreements = 0;
    for (int round = 0; round < 4000 && disagreements < 5; ++round) {
        WildcardCase c = RandomWildcard(rng);
        std::u32string file32 = Random(rng, U"aAbB \n", 20);
        std::string file = ToUtf8(file32);
        std::string replace = c.groups ? "<\\1>" : "<^&>";
        std::string format = c.groups ? "<$1>" : "<$&>";

        Document document = OpenPlainText(file);
        std::string body = ToUtf8(document.body());
        FindOptions options;
        options.wildcards = true;
        ReplaceAll(document, FromUtf8(c.word), FromUtf8(replace), options);
        std::string actual = SavePlainText(document);

        std::string replaced = std::regex_replace(body, std::regex(c.ecma), format);
        std::string expected;
        for (char ch : replaced)
            expected += ch == '\r' ? std::string("\r\n") : std::string(1, ch);
        if (!replaced.empty())
            expected += "\r\n";
        if (actual != expected) {
            ++disagreements;
            ADD_FAILURE() << "pattern " << c.word << " (" << c.ecma << ") file " << vexlo::test::visible(file)
                          << "\n  engine " << vexlo::test::visible(actual) << "\n  regex  "
                          << vexlo::test::visible(expected);
        }
    }
}
