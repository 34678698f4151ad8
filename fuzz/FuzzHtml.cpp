// A reply page of any content through the translators' text helpers and marker cuts.
#include <cstddef>
#include <cstdint>
#include <string>

#include "web/Translators.h"

namespace talvero {

namespace {

// Opens the cursor and the cut to the fuzzer: the page is what the server sent.
class PageCutter : public CWebResourceProvider {
public:
    void Cut(const std::string& page, const char* start, const char* end)
    {
        content = page;
        cursor = 0;
        std::string result;
        ParseBetween(start, end, result);
    }

protected:
    std::string GetResourceUrl() override { return {}; }
};

}  // namespace

}  // namespace talvero

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace talvero;
    const std::string page(reinterpret_cast<const char*>(data), size);
    std::string text = page;
    CWebResourceProvider::NormalizeWhitespace(text);
    CWebResourceProvider::StripHtml(text);
    PageCutter cutter;
    cutter.Cut(page, kGoogleStartMarker, kGoogleEndMarker);
    cutter.Cut(page, kBabelfishStartMarker, kBabelfishEndMarker);
    cutter.Cut(page, kFreeTranslationStartMarker, kFreeTranslationEndMarker);
    if (size > 2) {
        // Markers taken from the page itself reach the paths where they are found.
        const std::string marker = page.substr(0, size / 4 + 1);
        cutter.Cut(page, marker.c_str(), marker.c_str());
        CWebResourceProvider::FindNoCase(page, marker, static_cast<long>(data[0]));
    }
    return 0;
}
