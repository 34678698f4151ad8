#include "web/Translators.h"

#include <array>
#include <utility>

namespace talvero {

namespace {

// Service codes of the 24 languages in table order; Chinese Traditional (2 + 1) is never a
// source.
constexpr std::array<const char*, 24> kGoogleCodes{
    "ar", "bg", "zh-CN", "zh-TW", "hr", "cs", "da", "nl", "en", "fi", "fr", "de",
    "el", "hi", "it",    "ja",    "ko", "no", "pl", "pt", "ro", "ru", "es", "sv"};
constexpr int kChineseTraditional = 3;
constexpr int kGooglePairs = 23 * 23;

constexpr std::array<const char*, 36> kBabelfishCodes{
    "zh_en", "zt_en", "en_zh", "en_zt", "en_nl", "en_fr", "en_de", "en_el", "en_it",
    "en_ja", "en_ko", "en_pt", "en_ru", "en_es", "nl_en", "nl_fr", "fr_en", "fr_de",
    "fr_el", "fr_it", "fr_pt", "",      "fr_es", "de_en", "de_fr", "el_en", "el_fr",
    "it_en", "it_fr", "ja_en", "ko_en", "pt_en", "pt_fr", "ru_en", "es_en", "es_fr"};

constexpr std::array<const char*, 19> kFreeTranslationNames{"Dutch/English",
                                                            "English/SimplifiedChinese",
                                                            "English/TraditionalChinese",
                                                            "English/Dutch",
                                                            "English/French",
                                                            "English/German",
                                                            "English/Italian",
                                                            "English/Japanese",
                                                            "English/Norwegian",
                                                            "English/Portuguese",
                                                            "English/Russian",
                                                            "English/Spanish",
                                                            "French/English",
                                                            "German/English",
                                                            "Italian/English",
                                                            "Japanese/English",
                                                            "Portuguese/English",
                                                            "Russian/English",
                                                            "Spanish/English"};

// "name=value" pairs joined with "&", each value percent-encoded.
std::string FormBody(std::initializer_list<std::pair<const char*, std::string>> fields)
{
    std::string body;
    for (const auto& [name, value] : fields) {
        if (!body.empty()) body += '&';
        body += name;
        body += '=';
        body += PercentEncode(value);
    }
    return body;
}

}  // namespace

CWebTranslator::CWebTranslator(std::string sourceText, int pairNumber, std::string baseAddress)
    : sourceText(std::move(sourceText)), pairNumber(pairNumber), baseAddress(std::move(baseAddress))
{
}

std::string CWebTranslator::AddressWithPath(const char* path) const
{
    std::string address = baseAddress;
    while (!address.empty() && address.back() == '/')
        address.pop_back();
    return address + path;
}

// --- Google -----------------------------------------------------------------------------------

Translator::Translator(std::string sourceText, int pairNumber, std::string baseAddress)
    : CWebTranslator(std::move(sourceText), pairNumber, std::move(baseAddress))
{
}

std::string Translator::PairCode(int pairNumber)
{
    if (pairNumber < 0 || pairNumber >= kGooglePairs) return {};
    int sourceRank = pairNumber / 23, targetRank = pairNumber % 23;
    int source = sourceRank >= kChineseTraditional ? sourceRank + 1 : sourceRank;
    int target = targetRank >= source ? targetRank + 1 : targetRank;
    return std::string(kGoogleCodes[source]) + "|" + kGoogleCodes[target];
}

std::string Translator::GetResourceUrl()
{
    return AddressWithPath("/translate_t");
}

std::string Translator::GetPostData()
{
    return FormBody({{"hl", "en"},
                     {"ie", "UTF8"},
                     {"oe", "UTF8"},
                     {"submit", "Translate"},
                     {"langpair", PairCode(pairNumber)},
                     {"text", sourceText}});
}

void Translator::ParseContent()
{
    ParseBetween(kGoogleStartMarker, kGoogleEndMarker, resultText);
}

// --- Babelfish --------------------------------------------------------------------------------

BabelfishTranslator::BabelfishTranslator(std::string sourceText, int pairNumber,
                                         std::string baseAddress)
    : CWebTranslator(std::move(sourceText), pairNumber, std::move(baseAddress))
{
}

std::string BabelfishTranslator::PairCode(int pairNumber)
{
    if (pairNumber < 0 || pairNumber >= static_cast<int>(kBabelfishCodes.size())) return {};
    return kBabelfishCodes[pairNumber];
}

std::string BabelfishTranslator::GetResourceUrl()
{
    return AddressWithPath("/translate_txt");
}

std::string BabelfishTranslator::GetPostData()
{
    return FormBody(
        {{"doit", "done"}, {"intl", "1"}, {"lp", PairCode(pairNumber)}, {"trtext", sourceText}});
}

void BabelfishTranslator::ParseContent()
{
    ParseBetween(kBabelfishStartMarker, kBabelfishEndMarker, resultText);
}

// --- FreeTranslation --------------------------------------------------------------------------

FreeTranslationTranslator::FreeTranslationTranslator(std::string sourceText, int pairNumber,
                                                     std::string baseAddress)
    : CWebTranslator(std::move(sourceText), pairNumber, std::move(baseAddress))
{
}

std::string FreeTranslationTranslator::PairName(int pairNumber)
{
    if (pairNumber < 0 || pairNumber >= static_cast<int>(kFreeTranslationNames.size())) return {};
    return kFreeTranslationNames[pairNumber];
}

std::string FreeTranslationTranslator::GetResourceUrl()
{
    return AddressWithPath("/");
}

std::string FreeTranslationTranslator::GetPostData()
{
    return FormBody({{"Language", PairName(pairNumber)},
                     {"Sequence", "core"},
                     {"Mode", "html"},
                     {"template", "TextResults2.htm"},
                     {"SrcText", sourceText}});
}

void FreeTranslationTranslator::ParseContent()
{
    ParseBetween(kFreeTranslationStartMarker, kFreeTranslationEndMarker, resultText);
}

}  // namespace talvero
