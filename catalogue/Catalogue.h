#pragma once
// Languages and the four language-pair lists that fill the pair combos. A position is the rank
// of the pair's display name in ascending order (the combos are sorted).
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace talvero {

enum class PairList { Google, Babelfish, FreeTranslation, Local };

struct Language {
    const char* name;        // "Chinese Simplified"
    const char* googleWord;  // settings word in the Google and local lists: "CHINESE_SIMPLIFIED"
    const char* uploadWord;  // Babelfish/FreeTranslation/upload settings word: "CHINESE SIMPLIFIED"
    const char* dictionaryCode;  // "zh-CN"
    const char* uploadEntry;     // entry of the upload dialog's lists: "Chinese Simplified"
};

inline constexpr int kLanguageCount = 24;
const std::array<Language, kLanguageCount>& Languages();

struct PairEntry {
    int position = 0;
    std::string displayName;     // "Spanish to English"
    std::string settingsName;    // "SPANISH TO ENGLISH"
    int pairNumber = 0;          // engine's own number for the pair
    std::string dictionaryCode;  // local list only: "es_en"
};

// Entries in position order.
const std::vector<PairEntry>& PairsOf(PairList list);

// Entry at a position, or nothing for a position outside the list (e.g. -1: no selection).
const PairEntry* PairAt(PairList list, int position);

// Position whose settings name equals `name` exactly, or nothing.
std::optional<int> PositionOfSettingsName(PairList list, std::string_view name);

// Pair number that the Translate action hands an engine for a combo position: the entry's
// number, or -1 (Google) / 255 (Babelfish, FreeTranslation) when nothing is selected.
int PairNumberForPosition(PairList list, int position);

// Upload language words by index 0..23 ("ARABIC" ... "SWEDISH"); "" outside the range.
std::string UploadLanguageWord(int index);
std::optional<int> UploadLanguageIndex(std::string_view word);

// "localdictionary_<code>.txt" and "personaldictionary_<code>.txt".
std::string LocalDictionaryFileName(std::string_view dictionaryCode);
std::string PersonalDictionaryFileName(std::string_view dictionaryCode);

}  // namespace talvero
