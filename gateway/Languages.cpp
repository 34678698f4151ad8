#include "gateway/Languages.h"

#include <array>

namespace talvero {

namespace {

// Apertium's own codes where it has the language (ISO 639-3, with its variants for Chinese
// Traditional and Croatian); Norwegian is Bokmål, the written standard most texts use.
constexpr std::array<GatewayLanguage, 24> kLanguages{{
    {"Arabic", "ar", nullptr, nullptr, "ara"},
    {"Bulgarian", "bg", nullptr, nullptr, "bul"},
    {"Chinese Simplified", "zh-CN", "zh", "SimplifiedChinese", "zho"},
    {"Chinese Traditional", "zh-TW", "zt", "TraditionalChinese", "zho_TW"},
    {"Croatian", "hr", nullptr, nullptr, "hbs_HR"},
    {"Czech", "cs", nullptr, nullptr, "ces"},
    {"Danish", "da", nullptr, nullptr, "dan"},
    {"Dutch", "nl", "nl", "Dutch", "nld"},
    {"English", "en", "en", "English", "eng"},
    {"Finnish", "fi", nullptr, nullptr, "fin"},
    {"French", "fr", "fr", "French", "fra"},
    {"German", "de", "de", "German", "deu"},
    {"Greek", "el", "el", nullptr, "ell"},
    {"Hindi", "hi", nullptr, nullptr, "hin"},
    {"Italian", "it", "it", "Italian", "ita"},
    {"Japanese", "ja", "ja", "Japanese", "jpn"},
    {"Korean", "ko", "ko", nullptr, "kor"},
    {"Norwegian", "no", nullptr, "Norwegian", "nob"},
    {"Polish", "pl", nullptr, nullptr, "pol"},
    {"Portuguese", "pt", "pt", "Portuguese", "por"},
    {"Romanian", "ro", nullptr, nullptr, "ron"},
    {"Russian", "ru", "ru", "Russian", "rus"},
    {"Spanish", "es", "es", "Spanish", "spa"},
    {"Swedish", "sv", nullptr, nullptr, "swe"},
}};

using CodeOf = const char* GatewayLanguage::*;

const GatewayLanguage* Find(std::string_view code, CodeOf field)
{
    if (code.empty()) return nullptr;
    for (const GatewayLanguage& language : kLanguages)
        if (language.*field && code == language.*field) return &language;
    return nullptr;
}

std::optional<ApertiumPair> Split(std::string_view code, char separator, CodeOf field)
{
    size_t at = code.find(separator);
    if (at == std::string_view::npos) return std::nullopt;
    const GatewayLanguage* source = Find(code.substr(0, at), field);
    const GatewayLanguage* target = Find(code.substr(at + 1), field);
    if (!source || !target || source == target) return std::nullopt;
    return ApertiumPair{source->apertiumCode, target->apertiumCode};
}

}  // namespace

std::span<const GatewayLanguage> GatewayLanguages()
{
    return kLanguages;
}

std::optional<ApertiumPair> PairFromGoogleCode(std::string_view code)
{
    return Split(code, '|', &GatewayLanguage::googleCode);
}

std::optional<ApertiumPair> PairFromBabelfishCode(std::string_view code)
{
    return Split(code, '_', &GatewayLanguage::babelfishCode);
}

std::optional<ApertiumPair> PairFromFreeTranslationName(std::string_view name)
{
    return Split(name, '/', &GatewayLanguage::freeTranslation);
}

const GatewayLanguage* UploadLanguage(std::string_view code)
{
    // The upload names Dutch "du"; "nl" is taken too, as the forms spell it.
    if (code == "du") code = "nl";
    return Find(code, &GatewayLanguage::googleCode);
}

bool IsGatewayApertiumCode(std::string_view code)
{
    for (const GatewayLanguage& language : GatewayLanguages())
        if (code == language.apertiumCode) return true;
    return false;
}

}  // namespace talvero
