#include "catalogue/Catalogue.h"

#include <algorithm>

namespace talvero {

namespace {

constexpr int kChineseSimplified = 2;
constexpr int kChineseTraditional = 3;

const std::array<Language, kLanguageCount> kLanguages = {{
    {"Arabic", "ARABIC", "ARABIC", "ar", "Arabic"},
    {"Bulgarian", "BULGARIAN", "BULGARIAN", "bg", "Bulgarian"},
    {"Chinese Simplified", "CHINESE_SIMPLIFIED", "CHINESE SIMPLIFIED", "zh-CN",
     "Chinese Simplified"},
    {"Chinese Traditional", "CHINESE_TRADITIONAL", "CHINESE TRADITIONAL", "zh-TW",
     "Chinese traditional"},
    {"Croatian", "CROATIAN", "CROATIAN", "hr", "Croatian"},
    {"Czech", "CZECH", "CZECH", "cs", "Czech"},
    {"Danish", "DANISH", "DANISH", "da", "Danish"},
    {"Dutch", "DUTCH", "DUTCH", "du", "Dutch"},
    {"English", "ENGLISH", "ENGLISH", "en", "English"},
    {"Finnish", "FINNISH", "FINNISH", "fi", "Finnish"},
    {"French", "FRENCH", "FRENCH", "fr", "French"},
    {"German", "GERMAN", "GERMAN", "de", "German"},
    {"Greek", "GREEK", "GREEK", "el", "Greek"},
    {"Hindi", "HINDI", "HINDI", "hi", "Hindi"},
    {"Italian", "ITALIAN", "ITALIAN", "it", "Italian"},
    {"Japanese", "JAPANESE", "JAPANESE", "ja", "Japanese"},
    {"Korean", "KOREAN", "KOREAN", "ko", "Korean"},
    {"Norwegian", "NORWEGIAN", "NORWEGIAN", "no", "Norwege"},
    {"Polish", "POLISH", "POLISH", "pl", "Polonian"},
    {"Portuguese", "PORTUGUESE", "PORTUGUESE", "pt", "Portuguese"},
    {"Romanian", "ROMANIAN", "ROMANIAN", "ro", "Romanian"},
    {"Russian", "RUSSIAN", "RUSSIAN", "ru", "Russian"},
    {"Spanish", "SPANISH", "SPANISH", "es", "Spanish"},
    {"Swedish", "SWEDISH", "SWEDISH", "sv", "Swedish"},
}};

// Names in the Babelfish and FreeTranslation lists.
std::string WebListName(int language)
{
    if (language == kChineseSimplified) return "Chinese (Simplified)";
    if (language == kChineseTraditional) return "Chinese (Traditional)";
    return kLanguages[language].name;
}

int LanguageByWebName(const std::string& name)
{
    for (int i = 0; i < kLanguageCount; ++i)
        if (WebListName(i) == name) return i;
    return -1;
}

// The Google and local-dictionary lists: 23 sources (no Chinese Traditional), each with 23
// targets; Chinese Simplified as a source is "Chinese" and has no pair to itself.
std::vector<PairEntry> BuildGoogleLikeList(bool withDictionaryCodes)
{
    std::vector<PairEntry> entries;
    for (int s = 0; s < kLanguageCount; ++s) {
        if (s == kChineseTraditional) continue;
        for (int t = 0; t < kLanguageCount; ++t) {
            if (t == s) continue;
            PairEntry e;
            std::string source = s == kChineseSimplified ? "Chinese" : kLanguages[s].name;
            e.displayName = source + " to " + kLanguages[t].name;
            e.settingsName =
                std::string(kLanguages[s].googleWord) + " TO " + kLanguages[t].googleWord;
            if (withDictionaryCodes)
                e.dictionaryCode =
                    std::string(kLanguages[s].dictionaryCode) + "_" + kLanguages[t].dictionaryCode;
            entries.push_back(std::move(e));
        }
    }
    std::sort(entries.begin(), entries.end(),
              [](const PairEntry& a, const PairEntry& b) { return a.displayName < b.displayName; });
    for (size_t i = 0; i < entries.size(); ++i) {
        entries[i].position = static_cast<int>(i);
        entries[i].pairNumber = static_cast<int>(i);
    }
    return entries;
}

struct WebPair {
    const char* displayName;
    int pairNumber;
};

// Sorted display names with the engine's own pair numbers.
std::vector<PairEntry> BuildWebList(const std::vector<WebPair>& pairs)
{
    std::vector<PairEntry> entries;
    for (const WebPair& p : pairs) {
        PairEntry e;
        e.displayName = p.displayName;
        e.pairNumber = p.pairNumber;
        std::string name = p.displayName;
        size_t to = name.find(" to ");
        int s = LanguageByWebName(name.substr(0, to));
        int t = LanguageByWebName(name.substr(to + 4));
        e.settingsName = std::string(kLanguages[s].uploadWord) + " TO " + kLanguages[t].uploadWord;
        entries.push_back(std::move(e));
    }
    std::sort(entries.begin(), entries.end(),
              [](const PairEntry& a, const PairEntry& b) { return a.displayName < b.displayName; });
    for (size_t i = 0; i < entries.size(); ++i)
        entries[i].position = static_cast<int>(i);
    return entries;
}

const std::vector<WebPair> kBabelfishPairs = {
    {"Chinese (Simplified) to English", 0},
    {"Chinese (Traditional) to English", 1},
    {"English to Chinese (Simplified)", 2},
    {"English to Chinese (Traditional)", 3},
    {"English to Dutch", 4},
    {"English to French", 5},
    {"English to German", 6},
    {"English to Greek", 7},
    {"English to Italian", 8},
    {"English to Japanese", 9},
    {"English to Korean", 10},
    {"English to Portuguese", 11},
    {"English to Russian", 12},
    {"English to Spanish", 13},
    {"Dutch to English", 14},
    {"Dutch to French", 15},
    {"French to English", 16},
    {"French to German", 17},
    {"French to Greek", 18},
    {"French to Italian", 19},
    {"French to Portuguese", 20},
    {"French to Dutch", 21},
    {"French to Spanish", 22},
    {"German to English", 23},
    {"German to French", 24},
    {"Greek to English", 25},
    {"Greek to French", 26},
    {"Italian to English", 27},
    {"Italian to French", 28},
    {"Japanese to English", 29},
    {"Korean to English", 30},
    {"Portuguese to English", 31},
    {"Portuguese to French", 32},
    {"Russian to English", 33},
    {"Spanish to English", 34},
    {"Spanish to French", 35},
};

// The engine's pair 16 (Portuguese to English) is not offered.
const std::vector<WebPair> kFreeTranslationPairs = {
    {"Dutch to English", 0},
    {"English to Chinese (Simplified)", 1},
    {"English to Chinese (Traditional)", 2},
    {"English to Dutch", 3},
    {"English to French", 4},
    {"English to German", 5},
    {"English to Italian", 6},
    {"English to Japanese", 7},
    {"English to Norwegian", 8},
    {"English to Portuguese", 9},
    {"English to Russian", 10},
    {"English to Spanish", 11},
    {"French to English", 12},
    {"German to English", 13},
    {"Italian to English", 14},
    {"Japanese to English", 15},
    {"Russian to English", 17},
    {"Spanish to English", 18},
};

}  // namespace

const std::array<Language, kLanguageCount>& Languages()
{
    return kLanguages;
}

const std::vector<PairEntry>& PairsOf(PairList list)
{
    static const std::vector<PairEntry> google = BuildGoogleLikeList(false);
    static const std::vector<PairEntry> local = BuildGoogleLikeList(true);
    static const std::vector<PairEntry> babelfish = BuildWebList(kBabelfishPairs);
    static const std::vector<PairEntry> freeTranslation = BuildWebList(kFreeTranslationPairs);
    switch (list) {
        case PairList::Google:
            return google;
        case PairList::Babelfish:
            return babelfish;
        case PairList::FreeTranslation:
            return freeTranslation;
        case PairList::Local:
            break;
    }
    return local;
}

const PairEntry* PairAt(PairList list, int position)
{
    const auto& entries = PairsOf(list);
    if (position < 0 || position >= static_cast<int>(entries.size())) return nullptr;
    return &entries[position];
}

std::optional<int> PositionOfSettingsName(PairList list, std::string_view name)
{
    for (const PairEntry& e : PairsOf(list))
        if (e.settingsName == name) return e.position;
    return std::nullopt;
}

int PairNumberForPosition(PairList list, int position)
{
    if (const PairEntry* e = PairAt(list, position)) return e->pairNumber;
    return list == PairList::Babelfish || list == PairList::FreeTranslation ? 255 : -1;
}

std::string UploadLanguageWord(int index)
{
    if (index < 0 || index >= kLanguageCount) return {};
    return kLanguages[index].uploadWord;
}

std::optional<int> UploadLanguageIndex(std::string_view word)
{
    for (int i = 0; i < kLanguageCount; ++i)
        if (word == kLanguages[i].uploadWord) return i;
    return std::nullopt;
}

std::string LocalDictionaryFileName(std::string_view dictionaryCode)
{
    return "localdictionary_" + std::string(dictionaryCode) + ".txt";
}

std::string PersonalDictionaryFileName(std::string_view dictionaryCode)
{
    return "personaldictionary_" + std::string(dictionaryCode) + ".txt";
}

}  // namespace talvero
