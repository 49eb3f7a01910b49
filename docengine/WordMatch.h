// Word-by-word matching for "sounds like" (a Soundex key) and "all word forms" (inflections
// from regular rules and a table of irregular forms).
#pragma once

#include "docengine/Program.h"

#include <string>
#include <vector>

namespace vexlo::doc {

/// The American Soundex key of a word ("F500" for "fun"); empty when the word does not start
/// with a letter A-Z (such a word sounds like itself only).
std::string SoundexKey(std::u32string_view word);

/// The grammatical slot of an inflected form.
enum class FormSlot { Base, ThirdPerson, Past, Participle, Ing, Plural, Comparative, Superlative };

struct WordForm {
    std::u32string lemma;
    FormSlot slot;
};

/// Every reading of a lower-case word as a form of some lemma (the word itself as Base first).
std::vector<WordForm> Readings(std::u32string_view word);

/// The form of `lemma` in `slot` (regular rules unless the irregular table knows it).
std::u32string Inflect(std::u32string_view lemma, FormSlot slot);

/// Finds runs of words that match the words of a find text one by one, ignoring case.
class WordMatcher {
  public:
    enum class Mode { SoundsLike, WordForms };
    WordMatcher(std::u32string_view find, Mode mode, std::u32string_view text, std::size_t limit);

    /// The next match starting at or after `from`; false when there is none.
    bool find(std::size_t from, MatchResult &match);
    /// The replacement for a match: with word forms, a one-word replacement takes the form
    /// the found word has ("sat" with "stand" gives "stood"); otherwise `replacement`.
    std::u32string replacementFor(const MatchResult &match, const std::u32string &replacement) const;

  private:
    bool wordMatches(std::size_t index, std::u32string_view word) const;

    Mode m_mode;
    std::u32string_view m_text;
    std::size_t m_limit;
    std::vector<std::u32string> m_words; // the find text's words, folded
    std::vector<std::string> m_keys;     // their Soundex keys
    std::vector<std::vector<std::u32string>> m_lemmas;
};

} // namespace vexlo::doc
