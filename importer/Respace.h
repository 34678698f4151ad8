#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace talvero {

// ---- Words that lost their spaces

// Some FreeDict databases lost the spaces of many phrases ("ontheleft", "theFarEast",
// "goodmorning"). With a word list of the language they are split again.
class WordList {
public:
    WordList() = default;
    // `text`: one word a line, as in /usr/share/dict; `languageCode` ("en", "es") selects the
    // common small words that may stand between others.
    WordList(std::string_view text, std::string_view languageCode);
    bool Empty() const { return lower.empty() && exact.empty(); }
    // A word of the list as written, or one whose lowercase form is a lowercase entry.
    bool Contains(std::string_view word) const;
    // A piece of a glued token: a common small word, or a listed word of four letters or
    // more (capitalized as listed only at the start of the token).
    bool IsPiece(std::string_view piece, bool first, bool last) const;
    bool IsSmall(std::string_view piece) const;
    // Learns which words the text uses, and which side by side (within a comma-separated item).
    void NoteBigrams(std::string_view text);
    bool KnownBigram(std::string_view first, std::string_view second) const;
    // How much the noted text uses a word: log(1 + uses).
    double Weight(std::string_view word) const;

private:
    std::unordered_set<std::string> lower;
    std::unordered_set<std::string> exact;
    std::unordered_set<std::string> smallWords;
    std::unordered_set<std::string> notLastWords;
    std::unordered_set<std::string> notFirstWords;
    std::unordered_set<std::string> bigrams;
    std::unordered_map<std::string, uint32_t> uses;
};

// The installed Debian word lists of a catalogue language (English only: wamerican and
// wbritish); empty for other languages and when none is installed.
WordList SystemWordList(std::string_view languageCode);

// Splits the glued words of a translation: a token that is not in the list is cut where a small
// letter meets a capital and into listed words ("intheCubanway" -> "in the Cuban way"); words
// without a small one between them only where KnownBigram says so. Tokens that cannot be cut
// completely stay as they are. An empty list changes nothing.
std::string Respace(std::string_view text, const WordList& words);

}  // namespace talvero
