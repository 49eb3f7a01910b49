// A second, deliberately simple model of the plain-text replace-all (literal find text, the
// case and whole-word options, word starts and ends around a wildcard text, sounds like) held
// against the engine on random documents. The model tests words on the story as edited so
// far, and a combining mark belongs to the character before it.
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

constexpr char32_t kMark = U'\u0301'; // combining acute accent

// Whether view[i] belongs to a word: a mark takes the part of the character before it.
bool ModelWordAt(std::u32string_view view, std::size_t i)
{
    if (i >= view.size())
        return false;
    while (view[i] == kMark) {
        if (i == 0)
            return false;
        --i;
    }
    return ModelWordChar(view[i]);
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

struct ModelOptions {
    bool matchCase = false, wholeWord = false;
    bool wildcards = false, wordStart = false, wordEnd = false; // "<" before, ">" after the text
};

std::u32string Saved(const std::u32string &out)
{
    std::u32string saved;
    for (char32_t c : out)
        saved += c == U'\r' ? std::u32string(U"\r\n") : std::u32string(1, c);
    if (!out.empty())
        saved += U"\r\n";
    return saved;
}

std::u32string Model(std::u32string_view file, std::u32string_view find, std::u32string_view replace,
                     const ModelOptions &o)
{
    std::u32string body = ModelBody(file);
    bool whole = !o.wildcards && o.wholeWord && find.find(U' ') == std::u32string_view::npos;
    std::u32string out;
    std::size_t i = 0;
    while (i < body.size()) {
        // The story as edited so far: what was written, then the rest as read.
        std::u32string view = out + body.substr(i);
        std::size_t p = out.size(), e = p + find.size();
        bool hit = !find.empty() && e <= view.size();
        for (std::size_t k = 0; hit && k < find.size(); ++k) {
            char32_t c = view[p + k], f = find[k];
            if (o.wildcards)
                hit = f == U'?' || c == f;
            else
                hit = o.matchCase ? c == f : ModelFold(c) == ModelFold(f);
        }
        if (hit && whole) {
            if (ModelWordAt(view, p) && p > 0 && ModelWordAt(view, p - 1))
                hit = false;
            if (ModelWordAt(view, e - 1) && ModelWordAt(view, e))
                hit = false;
        }
        if (hit && o.wordStart)
            hit = ModelWordAt(view, p) && !(p > 0 && ModelWordAt(view, p - 1));
        if (hit && o.wordEnd)
            hit = ModelWordAt(view, e - 1) && !ModelWordAt(view, e);
        if (!hit) {
            out += body[i++];
            continue;
        }
        std::u32string_view found = std::u32string_view(body).substr(i, find.size());
        bool asTyped = o.matchCase || o.wildcards;
        out += asTyped ? std::u32string(replace) : ModelCase(found, std::u32string(replace));
        i += find.size();
    }
    return Saved(out);
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
    const std::u32string text = U"aAbB \u00E9\u00C9_1.\n\r\u0301";
    const std::u32string pattern = U"aAbB \u00E9.\u0301";
    const std::u32string wildPattern = U"aAb \u00E9.?\u0301";
    int disagreements = 0;
    for (int round = 0; round < 8000 && disagreements < 5; ++round) {
        std::u32string file = Random(rng, text, 24);
        ModelOptions o;
        o.wildcards = rng() % 4 == 0;
        std::u32string find = Random(rng, o.wildcards ? wildPattern : pattern, 3);
        std::u32string replace = Random(rng, U"xXaA\u00E9 ", 3);
        std::u32string findText = find;
        if (o.wildcards) {
            o.wordStart = rng() % 2;
            o.wordEnd = !o.wordStart || rng() % 2;
            findText = (o.wordStart ? U"<" : U"") + find + (o.wordEnd ? U">" : U"");
        } else {
            o.matchCase = rng() % 2;
            o.wholeWord = rng() % 2;
        }
        // The file in UTF-8 when it holds é, else in Windows-1252 (which is ASCII here).
        std::string bytes = ToUtf8(file);
        Document document = OpenPlainText(bytes);
        FindOptions options;
        options.matchCase = o.matchCase;
        options.wholeWord = o.wholeWord;
        options.wildcards = o.wildcards;
        ReplaceAll(document, findText, replace, options);
        std::string actual = SavePlainText(document);
        std::string expected = Encode(Model(file, find, replace, o), document.encoding);
        if (actual != expected) {
            ++disagreements;
            ADD_FAILURE() << "file " << vexlo::test::visible(bytes) << " find '" << ToUtf8(findText)
                          << "' replace '" << ToUtf8(replace) << "' case " << o.matchCase << " whole "
                          << o.wholeWord << " wildcards " << o.wildcards << "\n  engine "
                          << vexlo::test::visible(actual) << "\n  model  " << vexlo::test::visible(expected);
        }
    }
}

namespace {

// Sounds like: a word matches when it is the find word or shares its Soundex key; only a word
// starting with a letter A-Z has a key.
std::string ModelSoundex(std::u32string_view word)
{
    if (word.empty() || word[0] < U'a' || word[0] > U'z')
        return "";
    auto code = [](char32_t c) -> char {
        const char *groups[] = {"bfpv", "cgjkqsxz", "dt", "l", "mn", "r"};
        for (int g = 0; g < 6; ++g)
            for (const char *l = groups[g]; *l; ++l)
                if (c == static_cast<char32_t>(*l))
                    return static_cast<char>('1' + g);
        if (c == U'h' || c == U'w')
            return 'h';
        return ModelIsLetter(c) ? '0' : 0; // other letters part codes like vowels
    };
    std::string key(1, static_cast<char>(word[0] - 32));
    char previous = code(word[0]);
    for (std::size_t i = 1; i < word.size() && key.size() < 4; ++i) {
        char d = code(word[i]);
        if (d == 0 || d == 'h')
            continue;
        if (d != '0' && d != previous)
            key += d;
        previous = d;
    }
    key.resize(4, '0');
    return key;
}

bool ModelSoundsWord(char32_t c)
{
    return ModelWordChar(c) || c == U'\'' || c == U'\u4E2D' || c == U'\u00DF' || c == U'\u03C9';
}

std::vector<std::u32string> ModelWords(std::u32string_view text)
{
    std::vector<std::u32string> words(1);
    for (char32_t c : text) {
        if (ModelSoundsWord(c))
            words.back() += ModelFold(c);
        else if (!words.back().empty())
            words.emplace_back();
    }
    if (words.back().empty())
        words.pop_back();
    return words;
}

std::u32string ModelSoundsLike(std::u32string_view file, std::u32string find, std::u32string_view replace)
{
    // The caret codes the generator uses.
    const std::pair<std::u32string, std::u32string> codes[] = {
        {U"^t", U"\t"}, {U"^117", U"u"}, {U"^0233", U"\u00E9"}};
    for (const auto &[code, c] : codes)
        for (std::size_t at; (at = find.find(code)) != std::u32string::npos;)
            find.replace(at, code.size(), c);
    std::vector<std::u32string> words = ModelWords(find);
    std::u32string body = ModelBody(file);
    auto wordEnd = [&](std::size_t i) {
        while (i < body.size() && ModelSoundsWord(body[i]))
            ++i;
        return i;
    };
    std::u32string out;
    for (std::size_t i = 0; i < body.size();) {
        bool start = ModelSoundsWord(body[i]) && (i == 0 || !ModelSoundsWord(body[i - 1]));
        std::size_t pos = i, end = i;
        bool hit = start && !words.empty();
        for (std::size_t k = 0; hit && k < words.size(); ++k) {
            while (k > 0 && pos < body.size() && !ModelSoundsWord(body[pos]) && body[pos] != U'\r')
                ++pos;
            std::size_t e = wordEnd(pos);
            std::u32string word = ModelWords(body.substr(pos, e - pos)).empty()
                                      ? U""
                                      : ModelWords(body.substr(pos, e - pos)).front();
            std::string key = ModelSoundex(words[k]);
            hit = e > pos && (word == words[k] || (!key.empty() && ModelSoundex(word) == key));
            end = pos = e;
        }
        if (!hit) {
            out += body[i++];
            continue;
        }
        out += ModelCase(std::u32string_view(body).substr(i, end - i), std::u32string(replace));
        i = end;
    }
    return Saved(out);
}

} // namespace

TEST(SoundsLikeModel, AgreesWithTheEngineOnRandomDocuments)
{
    const std::u32string finds[] = {U"fun",         U"Fun",    U"fun^t",    U"f^117n",  U"caf^0233",
                                    U"^0233t^0233", U"\u00E9", U"\u03C9",   U"\u00DF",  U"\u4E2D",
                                    U"1fun",        U"_fun",   U"fun^tbar", U"ph^117n", U"bear"};
    const std::u32string words[] = {U"fun",    U"funny",     U"fan",    U"phone",         U"Fun",
                                    U"FUN",    U"caf\u00E9", U"cafe",   U"\u00E9t\u00E9", U"\u00E9",
                                    U"\u4E2D", U"\u00DF",    U"\u03C9", U"1fun",          U"_fun",
                                    U"t",      U"bar",       U"bear",   U"beer",          U"fin"};
    const std::u32string separators[] = {U" ", U".", U"\t", U"\n", U", ", U" - "};
    std::mt19937 rng(14);
    auto pick = [&](const auto &list) { return list[rng() % std::size(list)]; };
    int disagreements = 0;
    for (int round = 0; round < 3000 && disagreements < 5; ++round) {
        std::u32string file;
        for (int k = static_cast<int>(rng() % 8); k > 0; --k)
            file += pick(words) + pick(separators);
        std::u32string find = pick(finds);
        std::u32string replace = rng() % 2 ? U"joy" : U"x y";
        std::string bytes = ToUtf8(file);
        Document document = OpenPlainText(bytes);
        FindOptions options;
        options.soundsLike = true;
        ReplaceAll(document, find, replace, options);
        std::string actual = SavePlainText(document);
        std::string expected = Encode(ModelSoundsLike(file, find, replace), document.encoding);
        if (actual != expected) {
            ++disagreements;
            ADD_FAILURE() << "file " << vexlo::test::visible(bytes) << " find '" << ToUtf8(find)
                          << "'\n  engine " << vexlo::test::visible(actual) << "\n  model  "
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
            const std::string n = std::to_string(1 + pick(2));
            w += "{" + n + ",}", e += "{" + n + ",}";
            break;
        }
        case 2: {
            const int n = 1 + pick(2), m = n + pick(2);
            const std::string from = std::to_string(n), to = std::to_string(m);
            w += "{" + from + "," + to + "}";
            e += "{" + from + "," + to + "}";
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
