#pragma once
// The languages the three translation forms and the upload name, each with the code Apertium
// knows it by, and the reading of each form's pair code into a pair of Apertium languages.
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace talvero {

struct GatewayLanguage {
    const char* name;             // English name, for messages
    const char* googleCode;       // "es", "zh-CN"; the upload uses the same codes but "du"
    const char* babelfishCode;    // "es", "zt"; nullptr when the form has no such language
    const char* freeTranslation;  // "Spanish", "SimplifiedChinese"; nullptr likewise
    const char* apertiumCode;     // "spa", "zho_TW"
};

// An Apertium language pair, e.g. {"spa", "eng"}.
struct ApertiumPair {
    std::string source;
    std::string target;
    // "spa|eng", as Apertium's service takes it.
    std::string LangPair() const { return source + "|" + target; }
    bool operator==(const ApertiumPair&) const = default;
};

// The 24 languages, in the order of the forms' language tables.
std::span<const GatewayLanguage> GatewayLanguages();

// "es|en" (Google), "es_en" (Babelfish), "Spanish/English" (FreeTranslation); nothing for an
// empty, unknown or malformed code, or a pair of one language with itself.
std::optional<ApertiumPair> PairFromGoogleCode(std::string_view code);
std::optional<ApertiumPair> PairFromBabelfishCode(std::string_view code);
std::optional<ApertiumPair> PairFromFreeTranslationName(std::string_view name);

// A language code of the upload ("es", "du", "zh-TW"); nullptr when unknown.
const GatewayLanguage* UploadLanguage(std::string_view code);

// Whether `code` ("spa", "zho_TW") is the Apertium code of one of the 24 languages.
bool IsGatewayApertiumCode(std::string_view code);

}  // namespace talvero
