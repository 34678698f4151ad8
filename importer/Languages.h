#pragma once
// The catalogue's names for the languages and pairs that published dictionaries use.
#include <string>
#include <string_view>

namespace talvero {

// ---- Languages

// The catalogue's language code for an ISO 639-3, 639-2/B or 639-1 code ("spa", "es" -> "es";
// "nld", "dut", "nl" -> "du"), or "" for a language the catalogue does not have.
std::string CatalogueLanguageCode(std::string_view isoCode);

// The local list's pair code for two ISO codes ("spa", "eng" -> "es_en"), or "" when either
// language is unknown or the pair is not in the local list.
std::string LocalPairCode(std::string_view fromIso, std::string_view toIso);

// True when `code` is the dictionary code of a pair in the local list.
bool IsLocalPairCode(std::string_view code);

}  // namespace talvero
