// A ding file ("German :: English" lines) of any content; the first byte picks the direction
// and whether synonyms are split.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "importer/Importer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace talvero;
    if (size == 0) return 0;
    const bool reverse = data[0] & 1;
    const bool split = data[0] & 2;
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    ImportOutcome outcome = ImportDingText(text, reverse, split);
    if (outcome.ok) FormatPhrasePairs(outcome.pairs);
    CleanDingPhrase(text.substr(0, 512));
    return 0;
}
