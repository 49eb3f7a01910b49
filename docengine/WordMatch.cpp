#include "docengine/WordMatch.h"

#include "docengine/Pattern.h"
#include "docengine/TextCodec.h"

#include <unicode/uchar.h>

#include <algorithm>
#include <map>
#include <unordered_map>

namespace vexlo::doc {

namespace {

// Irregular verbs: base, past, participle. Nouns: singular, plural.
struct IrregularVerb {
    const char32_t *base, *past, *participle;
};
const IrregularVerb kVerbs[] = {
    {U"be", U"was", U"been"},           {U"have", U"had", U"had"},
    {U"do", U"did", U"done"},           {U"go", U"went", U"gone"},
    {U"sit", U"sat", U"sat"},           {U"stand", U"stood", U"stood"},
    {U"run", U"ran", U"run"},           {U"eat", U"ate", U"eaten"},
    {U"see", U"saw", U"seen"},          {U"take", U"took", U"taken"},
    {U"give", U"gave", U"given"},       {U"come", U"came", U"come"},
    {U"get", U"got", U"got"},           {U"make", U"made", U"made"},
    {U"write", U"wrote", U"written"},   {U"speak", U"spoke", U"spoken"},
    {U"know", U"knew", U"known"},       {U"think", U"thought", U"thought"},
    {U"bring", U"brought", U"brought"}, {U"buy", U"bought", U"bought"},
    {U"find", U"found", U"found"},      {U"sing", U"sang", U"sung"},
    {U"swim", U"swam", U"swum"},        {U"begin", U"began", U"begun"},
    {U"drink", U"drank", U"drunk"},     {U"fly", U"flew", U"flown"},
    {U"break", U"broke", U"broken"},    {U"choose", U"chose", U"chosen"},
    {U"drive", U"drove", U"driven"},    {U"fall", U"fell", U"fallen"},
    {U"feel", U"felt", U"felt"},        {U"keep", U"kept", U"kept"},
    {U"leave", U"left", U"left"},       {U"lose", U"lost", U"lost"},
    {U"meet", U"met", U"met"},          {U"pay", U"paid", U"paid"},
    {U"put", U"put", U"put"},           {U"read", U"read", U"read"},
    {U"say", U"said", U"said"},         {U"sell", U"sold", U"sold"},
    {U"send", U"sent", U"sent"},        {U"sleep", U"slept", U"slept"},
    {U"spend", U"spent", U"spent"},     {U"teach", U"taught", U"taught"},
    {U"tell", U"told", U"told"},        {U"win", U"won", U"won"},
    {U"wear", U"wore", U"worn"},        {U"hold", U"held", U"held"},
    {U"lead", U"led", U"led"},          {U"grow", U"grew", U"grown"},
    {U"throw", U"threw", U"thrown"},    {U"draw", U"drew", U"drawn"},
    {U"ride", U"rode", U"ridden"},      {U"rise", U"rose", U"risen"},
    {U"shake", U"shook", U"shaken"},    {U"steal", U"stole", U"stolen"},
    {U"tear", U"tore", U"torn"},        {U"forget", U"forgot", U"forgotten"},
    {U"hide", U"hid", U"hidden"},       {U"bite", U"bit", U"bitten"},
    {U"lie", U"lay", U"lain"},          {U"sink", U"sank", U"sunk"},
    {U"ring", U"rang", U"rung"},
};
struct IrregularNoun {
    const char32_t *singular, *plural;
};
const IrregularNoun kNouns[] = {
    {U"man", U"men"},   {U"woman", U"women"}, {U"child", U"children"}, {U"mouse", U"mice"},
    {U"foot", U"feet"}, {U"tooth", U"teeth"}, {U"goose", U"geese"},    {U"person", U"people"},
    {U"ox", U"oxen"},   {U"louse", U"lice"},
};
// Forms of "be" and "have" outside the pattern of the other verbs.
const std::pair<const char32_t *, WordForm> kExtraForms[] = {
    {U"am", {U"be", FormSlot::ThirdPerson}},    {U"is", {U"be", FormSlot::ThirdPerson}},
    {U"are", {U"be", FormSlot::ThirdPerson}},   {U"were", {U"be", FormSlot::Past}},
    {U"has", {U"have", FormSlot::ThirdPerson}}, {U"does", {U"do", FormSlot::ThirdPerson}},
    {U"goes", {U"go", FormSlot::ThirdPerson}},
};

// WordNet's irregular forms (verbs, nouns, adjectives) and their base words.
struct WordNetException {
    const char *form, *lemma;
    char pos;
};
const WordNetException kWordNet[] = {
#include "docengine/WordNetExceptions.inc"
};

std::u32string Ascii(const char *s)
{
    return std::u32string(s, s + std::char_traits<char>::length(s));
}

// The slots a WordNet form can fill, guessed from its ending.
std::vector<FormSlot> WordNetSlots(const WordNetException &e)
{
    std::string form = e.form;
    auto ends = [&](const char *tail) {
        std::string t = tail;
        return form.size() > t.size() && form.compare(form.size() - t.size(), t.size(), t) == 0;
    };
    if (e.pos == 'n')
        return {FormSlot::Plural};
    if (e.pos == 'a')
        return {ends("st") ? FormSlot::Superlative : FormSlot::Comparative};
    if (ends("ing"))
        return {FormSlot::Ing};
    if (ends("s") && !std::string(e.lemma).ends_with("s"))
        return {FormSlot::ThirdPerson};
    return {FormSlot::Past, FormSlot::Participle};
}

struct WordNetTables {
    std::unordered_multimap<std::u32string, WordForm> readings; // form -> lemma and slot
    std::map<std::pair<std::u32string, FormSlot>, std::vector<std::u32string>> forms; // lemma, slot -> forms
};

const WordNetTables &WordNet()
{
    static const WordNetTables tables = [] {
        WordNetTables t;
        for (const WordNetException &e : kWordNet)
            for (FormSlot slot : WordNetSlots(e)) {
                t.readings.emplace(Ascii(e.form), WordForm{Ascii(e.lemma), slot});
                t.forms[{Ascii(e.lemma), slot}].push_back(Ascii(e.form));
            }
        return t;
    }();
    return tables;
}

bool IsVowel(char32_t c)
{
    return c == U'a' || c == U'e' || c == U'i' || c == U'o' || c == U'u';
}

bool EndsWith(std::u32string_view s, std::u32string_view tail)
{
    return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

// A short word ending consonant-vowel-consonant doubles its last letter ("sit", "sitting").
bool DoublesLast(std::u32string_view w)
{
    if (w.size() < 3)
        return false;
    char32_t a = w[w.size() - 3], b = w[w.size() - 2], c = w[w.size() - 1];
    if (IsVowel(a) || !IsVowel(b) || IsVowel(c) || c == U'w' || c == U'x' || c == U'y')
        return false;
    int vowelGroups = 0;
    for (std::size_t i = 0; i < w.size(); ++i)
        if (IsVowel(w[i]) && (i == 0 || !IsVowel(w[i - 1])))
            ++vowelGroups;
    return vowelGroups == 1;
}

std::u32string RegularSuffix(std::u32string_view w, std::u32string_view suffix)
{
    std::u32string base(w);
    if (base.empty())
        return base;
    char32_t last = base.back();
    bool consonantY = last == U'y' && base.size() > 1 && !IsVowel(base[base.size() - 2]);
    if (suffix == U"s") {
        if (EndsWith(base, U"s") || EndsWith(base, U"x") || EndsWith(base, U"z") || EndsWith(base, U"ch") ||
            EndsWith(base, U"sh"))
            return base + U"es";
        if (consonantY)
            return base.substr(0, base.size() - 1) + U"ies";
        return base + U"s";
    }
    if (suffix == U"ing") {
        if (EndsWith(base, U"ie"))
            return base.substr(0, base.size() - 2) + U"ying";
        if (last == U'e' && !EndsWith(base, U"ee") && base.size() > 2)
            return base.substr(0, base.size() - 1) + U"ing";
        if (DoublesLast(base))
            return base + last + U"ing";
        return base + U"ing";
    }
    // "ed", "er", "est" share the e, y and doubling rules.
    if (last == U'e')
        return base + std::u32string(suffix.substr(1));
    if (consonantY)
        return base.substr(0, base.size() - 1) + U"i" + std::u32string(suffix);
    if (DoublesLast(base))
        return base + last + std::u32string(suffix);
    return base + std::u32string(suffix);
}

std::u32string Lower(std::u32string_view w)
{
    std::u32string out(w);
    for (char32_t &c : out)
        c = FoldCase(c);
    return out;
}

bool IsWordChar(char32_t c)
{
    return c == U'_' || c == U'\'' || u_isalnum(static_cast<UChar32>(c));
}

// Whether the character at `i` is part of a word: a word character, or a combining mark
// on one.
bool InWord(std::u32string_view text, std::size_t i)
{
    for (std::size_t marks = 0; IsCombiningMark(text[i]); ++marks) {
        if (i == 0 || marks >= kMostMarks)
            return false;
        --i;
    }
    return IsWordChar(text[i]);
}

} // namespace

std::string SoundexKey(std::u32string_view word)
{
    auto code = [](char32_t c) -> char {
        switch (c) {
        case U'b':
        case U'f':
        case U'p':
        case U'v':
            return '1';
        case U'c':
        case U'g':
        case U'j':
        case U'k':
        case U'q':
        case U's':
        case U'x':
        case U'z':
            return '2';
        case U'd':
        case U't':
            return '3';
        case U'l':
            return '4';
        case U'm':
        case U'n':
            return '5';
        case U'r':
            return '6';
        case U'h':
        case U'w':
            return 'h';
        default:
            return u_isalpha(static_cast<UChar32>(c)) ? '0' : 0;
        }
    };
    // Only a word that starts with a letter A-Z has a key; any other matches only itself.
    if (word.empty())
        return {};
    char32_t head = FoldCase(word.front());
    if (head < U'a' || head > U'z')
        return {};
    std::string key;
    char previous = 0;
    for (char32_t raw : word) {
        char32_t c = FoldCase(raw);
        char d = code(c);
        if (!d)
            continue;
        if (key.empty()) {
            key += c < 0x80 ? static_cast<char>(u_toupper(static_cast<UChar32>(c))) : '?';
            previous = d;
            continue;
        }
        if (d == 'h')
            continue; // h and w do not separate equal codes
        if (d != '0' && d != previous)
            key += d;
        previous = d;
        if (key.size() == 4)
            break;
    }
    if (!key.empty())
        key.resize(4, '0');
    return key;
}

std::u32string Inflect(std::u32string_view lemma, FormSlot slot)
{
    for (const IrregularVerb &v : kVerbs) {
        if (lemma != v.base)
            continue;
        if (slot == FormSlot::Past)
            return v.past;
        if (slot == FormSlot::Participle)
            return v.participle;
    }
    for (const IrregularNoun &n : kNouns)
        if (lemma == n.singular && slot == FormSlot::Plural)
            return n.plural;
    // A form WordNet names without doubt (one form for the slot) comes before the rules.
    if (slot != FormSlot::Base) {
        const auto &forms = WordNet().forms;
        auto it = forms.find({std::u32string(lemma), slot});
        if (it != forms.end() && it->second.size() == 1)
            return it->second.front();
    }
    switch (slot) {
    case FormSlot::Base:
        return std::u32string(lemma);
    case FormSlot::ThirdPerson:
        if (lemma == U"have")
            return U"has";
        if (lemma == U"be")
            return U"is";
        if (lemma == U"go" || lemma == U"do")
            return std::u32string(lemma) + U"es";
        return RegularSuffix(lemma, U"s");
    case FormSlot::Plural:
        return RegularSuffix(lemma, U"s");
    case FormSlot::Past:
    case FormSlot::Participle:
        return RegularSuffix(lemma, U"ed");
    case FormSlot::Ing:
        return RegularSuffix(lemma, U"ing");
    case FormSlot::Comparative:
        return RegularSuffix(lemma, U"er");
    case FormSlot::Superlative:
        return RegularSuffix(lemma, U"est");
    }
    return std::u32string(lemma);
}

std::vector<WordForm> Readings(std::u32string_view word)
{
    std::vector<WordForm> out{{std::u32string(word), FormSlot::Base}};
    auto add = [&](std::u32string lemma, FormSlot slot) {
        if (lemma.empty() || Inflect(lemma, slot) != word)
            return;
        for (const WordForm &f : out)
            if (f.lemma == lemma && f.slot == slot)
                return;
        out.push_back({std::move(lemma), slot});
    };
    for (const IrregularVerb &v : kVerbs) {
        if (word == v.past)
            add(v.base, FormSlot::Past);
        if (word == v.participle)
            add(v.base, FormSlot::Participle);
    }
    for (const IrregularNoun &n : kNouns)
        if (word == n.plural)
            add(n.singular, FormSlot::Plural);
    for (const auto &[form, reading] : kExtraForms)
        if (word == form)
            out.push_back(reading);
    auto [first, last] = WordNet().readings.equal_range(std::u32string(word));
    std::vector<WordForm> listed;
    for (auto it = first; it != last; ++it)
        listed.push_back(it->second);
    std::sort(listed.begin(), listed.end(), [](const WordForm &a, const WordForm &b) {
        return a.lemma != b.lemma ? a.lemma < b.lemma : a.slot < b.slot;
    });
    for (const WordForm &reading : listed) {
        bool known = false;
        for (const WordForm &f : out)
            known = known || (f.lemma == reading.lemma && f.slot == reading.slot);
        if (!known)
            out.push_back(reading);
    }
    // Strip each regular suffix and try the lemmas it may have come from.
    const std::pair<std::u32string_view, std::vector<FormSlot>> suffixes[] = {
        {U"s", {FormSlot::ThirdPerson, FormSlot::Plural}},
        {U"ed", {FormSlot::Past, FormSlot::Participle}},
        {U"ing", {FormSlot::Ing}},
        {U"er", {FormSlot::Comparative}},
        {U"est", {FormSlot::Superlative}},
    };
    for (const auto &[suffix, slots] : suffixes) {
        std::u32string_view tail = suffix == U"s" ? U"s" : suffix;
        if (!EndsWith(word, tail))
            continue;
        std::u32string stem(word.substr(0, word.size() - tail.size()));
        std::vector<std::u32string> candidates{stem, stem + U"e"};
        if (!stem.empty() && EndsWith(stem, U"i"))
            candidates.push_back(stem.substr(0, stem.size() - 1) + U"y");
        if (EndsWith(stem, U"e"))
            candidates.push_back(stem.substr(0, stem.size() - 1)); // "-es"
        if (stem.size() >= 2 && stem.back() == stem[stem.size() - 2])
            candidates.push_back(stem.substr(0, stem.size() - 1)); // doubled consonant
        if (EndsWith(stem, U"y"))
            candidates.push_back(stem.substr(0, stem.size() - 1) + U"ie"); // "lying"
        if (EndsWith(stem, U"ie"))
            candidates.push_back(stem.substr(0, stem.size() - 2) + U"y"); // "tries"
        for (const std::u32string &lemma : candidates)
            for (FormSlot slot : slots)
                add(lemma, slot);
    }
    return out;
}

WordMatcher::WordMatcher(std::u32string_view find, Mode mode, std::u32string_view text, std::size_t limit)
    : m_mode(mode), m_text(text), m_limit(limit)
{
    std::u32string current;
    for (char32_t c : find) {
        if (IsWordChar(c) || (IsCombiningMark(c) && !current.empty())) {
            current += FoldCase(c);
        } else if (!current.empty()) {
            m_words.push_back(std::move(current));
            current.clear();
        }
    }
    if (!current.empty())
        m_words.push_back(std::move(current));
    for (const std::u32string &w : m_words) {
        m_keys.push_back(SoundexKey(w));
        std::vector<std::u32string> lemmas;
        for (const WordForm &f : Readings(w))
            lemmas.push_back(f.lemma);
        m_lemmas.push_back(std::move(lemmas));
    }
}

bool WordMatcher::wordMatches(std::size_t index, std::u32string_view word) const
{
    std::u32string lower = Lower(word);
    if (lower == m_words[index])
        return true;
    if (m_mode == Mode::SoundsLike)
        return !m_keys[index].empty() && SoundexKey(lower) == m_keys[index];
    for (const WordForm &f : Readings(lower))
        if (std::find(m_lemmas[index].begin(), m_lemmas[index].end(), f.lemma) != m_lemmas[index].end())
            return true;
    return false;
}

bool WordMatcher::find(std::size_t from, MatchResult &match)
{
    if (m_words.empty())
        return false;
    auto wordEnd = [&](std::size_t i) {
        while (i < m_limit && InWord(m_text, i))
            ++i;
        return i;
    };
    std::size_t i = from;
    while (i < m_limit) {
        if (!InWord(m_text, i) || (i > 0 && InWord(m_text, i - 1))) {
            ++i;
            continue;
        }
        // A run of as many words as the find text has, separated by non-word characters.
        std::size_t pos = i, end = i;
        bool ok = true;
        for (std::size_t k = 0; k < m_words.size() && ok; ++k) {
            while (k > 0 && pos < m_limit && !InWord(m_text, pos) && m_text[pos] != U'\r')
                ++pos;
            std::size_t e = wordEnd(pos);
            ok = e > pos && wordMatches(k, m_text.substr(pos, e - pos));
            end = pos = e;
        }
        if (ok) {
            match.start = i;
            match.end = end;
            match.captures.clear();
            return true;
        }
        i = wordEnd(i);
    }
    return false;
}

std::u32string WordMatcher::replacementFor(const MatchResult &match, const std::u32string &replacement) const
{
    if (m_mode != Mode::WordForms || m_words.size() != 1)
        return replacement;
    for (char32_t c : replacement)
        if (!IsWordChar(c))
            return replacement;
    std::u32string found = Lower(m_text.substr(match.start, match.end - match.start));
    std::u32string lemmaOfReplacement = Lower(replacement);
    for (const WordForm &f : Readings(found)) {
        if (std::find(m_lemmas[0].begin(), m_lemmas[0].end(), f.lemma) == m_lemmas[0].end())
            continue;
        if (f.slot == FormSlot::Base)
            return replacement;
        return Inflect(lemmaOfReplacement, f.slot);
    }
    return replacement;
}

} // namespace vexlo::doc
