#pragma once
// The three web translators: each posts its service's form with the text and the pair's service
// code and cuts the translation out of the reply page. Use: construct, Retrieve(), then
// GetErrorFlag() == 0 means GetResult() holds the translation (possibly empty).
//
// The base address (scheme://host[:port]) comes from the services file; the paths, form fields
// and markers are fixed. Form values are percent-encoded, so a text with "&" or "=" arrives whole.
#include <string>

#include "settings/Services.h"
#include "web/WebResourceProvider.h"

namespace talvero {

// A translator's own parts: the text, its pair number, the base address, the result.
class CWebTranslator : public CWebResourceProvider {
public:
    CWebTranslator(std::string sourceText, int pairNumber, std::string baseAddress);
    std::string GetResult() const { return resultText; }
    int GetPairNumber() const { return pairNumber; }
    // The complete request the translator sends.
    std::string RequestUrl() { return GetResourceUrl(); }
    std::string RequestBody() { return GetPostData(); }

protected:
    bool UsePost() override { return true; }
    // Base address without a trailing "/", followed by `path`.
    std::string AddressWithPath(const char* path) const;

    std::string sourceText;
    std::string resultText;
    int pairNumber = 0;
    std::string baseAddress;
};

// Google: 529 pairs, "/translate_t".
class Translator : public CWebTranslator {
public:
    Translator(std::string sourceText, int pairNumber,
               std::string baseAddress = Services{}.googleFormAddress);
    // "ar|bg" for pair 0 ... "sv|es" for 528; "" outside 0..528.
    static std::string PairCode(int pairNumber);

protected:
    std::string GetResourceUrl() override;
    std::string GetPostData() override;
    void ParseContent() override;
};

// Babelfish: 36 pairs, "/translate_txt".
class BabelfishTranslator : public CWebTranslator {
public:
    BabelfishTranslator(std::string sourceText, int pairNumber,
                        std::string baseAddress = Services{}.babelfishFormAddress);
    // "zh_en" for pair 0 ... "es_fr" for 35; "" for 21 (French to Dutch) and outside 0..35.
    static std::string PairCode(int pairNumber);

protected:
    std::string GetResourceUrl() override;
    std::string GetPostData() override;
    void ParseContent() override;
};

// FreeTranslation: 19 pairs, the site's root.
class FreeTranslationTranslator : public CWebTranslator {
public:
    FreeTranslationTranslator(std::string sourceText, int pairNumber,
                              std::string baseAddress = Services{}.freeTranslationFormAddress);
    // "Dutch/English" for pair 0 ... "Spanish/English" for 18; "" outside 0..18.
    static std::string PairName(int pairNumber);

protected:
    std::string GetResourceUrl() override;
    std::string GetPostData() override;
    void ParseContent() override;
};

// The markers each service's page puts around the translation.
inline constexpr const char* kGoogleStartMarker = "<div id=result_box dir=\"ltr\">";
inline constexpr const char* kGoogleEndMarker = "</div>";
inline constexpr const char* kBabelfishStartMarker =
    "<div id=\"result\"><div style=\"padding:0.6em;\">";
inline constexpr const char* kBabelfishEndMarker = "</div>";
inline constexpr const char* kFreeTranslationStartMarker =
    "<textarea name=\"dsttext\" cols=\"40\" rows=\"6\">";
inline constexpr const char* kFreeTranslationEndMarker = "</textarea>";

}  // namespace talvero
