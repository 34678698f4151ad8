#pragma once
// "TalveroServices.txt": base addresses (scheme://host[:port]) of the outside services and the
// proxy taken at start-up. Same key/value-line form as the settings file; every key optional.
#include <string>
#include <string_view>
#include <vector>

namespace talvero {

inline constexpr const char* kServicesFileName = "TalveroServices.txt";

struct Services {
    std::string googleFormAddress = "https://translate.google.com";
    std::string babelfishFormAddress = "http://babelfish.altavista.com";
    std::string freeTranslationFormAddress = "http://ets.freetranslation.com";
    std::string uploadServerAddress = "http://dictionary.talvero.example";
    std::string updateSiteAddress = "http://www.talvero.example";
    bool useProxy = false;
    std::string proxyServer;
    unsigned short proxyPort = 0;
    // PEM file of extra certificate authorities for the https addresses above ("CA FILE").
    std::string caFile;

    // One text per value that was ignored (its default stays), for callers that can tell the
    // user; the window has nowhere to show them.
    std::vector<std::string> problems;
};

Services LoadServices(const std::string& path = kServicesFileName);
void ApplyServicesText(Services& services, std::string_view text);

}  // namespace talvero
