// A FreeDict database of any content: the index before the first NUL byte, the data after it
// (gzip or plain), as the importer reads them.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "importer/Importer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace talvero;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const size_t nul = input.find('\0');
    const std::string_view index = input.substr(0, nul);
    const std::string_view bytes =
        nul == std::string_view::npos ? std::string_view() : input.substr(nul + 1);

    std::vector<DictdIndexEntry> entries;
    std::string error;
    ParseDictdIndex(index, entries, error);
    std::string inflated;
    // A small cap: the fuzzer's memory is the limit of interest, not the real one.
    if (!InflateDictData(bytes, inflated, error, size_t{1} << 22)) inflated.assign(bytes);
    std::vector<PhrasePair> pairs;
    size_t read = 0;
    if (FreeDictPairs(index, inflated, pairs, read, error)) {
        MergeSenses(pairs);
        FormatPhrasePairs(pairs);
    }
    if (!inflated.empty()) {
        FreeDictSenses(inflated);
        FreeDictOriginal(inflated.substr(0, 4096), index.substr(0, 64));
    }
    return 0;
}
