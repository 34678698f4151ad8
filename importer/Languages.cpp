#include "importer/Languages.h"

#include <algorithm>

#include "catalogue/Catalogue.h"

namespace talvero {

// ---- Languages

std::string CatalogueLanguageCode(std::string_view iso)
{
    struct Code {
        const char* iso;
        const char* catalogue;
    };
    static const Code kCodes[] = {
        {"ara", "ar"},    {"ar", "ar"},     {"bul", "bg"},   {"bg", "bg"},  {"zho", "zh-CN"},
        {"chi", "zh-CN"}, {"cmn", "zh-CN"}, {"zh", "zh-CN"}, {"hrv", "hr"}, {"hr", "hr"},
        {"ces", "cs"},    {"cze", "cs"},    {"cs", "cs"},    {"dan", "da"}, {"da", "da"},
        {"nld", "du"},    {"dut", "du"},    {"nl", "du"},    {"eng", "en"}, {"en", "en"},
        {"fin", "fi"},    {"fi", "fi"},     {"fra", "fr"},   {"fre", "fr"}, {"fr", "fr"},
        {"deu", "de"},    {"ger", "de"},    {"de", "de"},    {"ell", "el"}, {"gre", "el"},
        {"el", "el"},     {"hin", "hi"},    {"hi", "hi"},    {"ita", "it"}, {"it", "it"},
        {"jpn", "ja"},    {"ja", "ja"},     {"kor", "ko"},   {"ko", "ko"},  {"nor", "no"},
        {"nob", "no"},    {"nno", "no"},    {"no", "no"},    {"nb", "no"},  {"nn", "no"},
        {"pol", "pl"},    {"pl", "pl"},     {"por", "pt"},   {"pt", "pt"},  {"ron", "ro"},
        {"rum", "ro"},    {"ro", "ro"},     {"rus", "ru"},   {"ru", "ru"},  {"spa", "es"},
        {"es", "es"},     {"swe", "sv"},    {"sv", "sv"},
    };
    for (const Code& c : kCodes)
        if (iso == c.iso) return c.catalogue;
    return {};
}

bool IsLocalPairCode(std::string_view code)
{
    if (code.empty()) return false;
    for (const PairEntry& e : PairsOf(PairList::Local))
        if (e.dictionaryCode == code) return true;
    return false;
}

std::string LocalPairCode(std::string_view fromIso, std::string_view toIso)
{
    std::string from = CatalogueLanguageCode(fromIso);
    std::string to = CatalogueLanguageCode(toIso);
    if (from.empty() || to.empty()) return {};
    std::string code = from + "_" + to;
    return IsLocalPairCode(code) ? code : std::string();
}

}  // namespace talvero
