// An update page of any content through the rule that reads the announced version.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "online/UpdateCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace talvero;
    const std::string_view page(reinterpret_cast<const char*>(data), size);
    bool markerFound = true;
    const long version = VersionOnUpdatePage(page, &markerFound);
    if (markerFound != (page.find(kUpdateMarker) != std::string_view::npos)) __builtin_trap();
    if (!markerFound && version != 0) __builtin_trap();
    // Six characters hold at most six digits, or a sign and five.
    if (version > 999999 || version < -99999) __builtin_trap();
    // Without the out-parameter the answer is the same.
    if (VersionOnUpdatePage(page) != version) __builtin_trap();
    return 0;
}
