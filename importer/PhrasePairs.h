#pragma once
// What every importer produces: phrase pairs in UTF-8, and how they are written as a local
// dictionary file (converted to the program's code page only then).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace talvero {

struct PhrasePair {
    std::string original;
    std::string translation;
    bool operator==(const PhrasePair&) const = default;
};

// The most source text an import reads: a .dict.dz once decompressed, a ding file as it is.
// The largest packaged dictionaries are tens of megabytes; a small compressed file that claims
// more is a decompression bomb, refused before it costs gigabytes of memory and half a minute.
inline constexpr size_t kMaxImportDataMegabytes = 256;
inline constexpr size_t kMaxImportDataSize = kMaxImportDataMegabytes << 20;

// What the loader can take: an import that would give more pairs or text than this stops with
// an error instead of growing on.
struct ImportLimits {
    uint64_t maxPairs = 0xFFFFF6;
    uint64_t maxTextBytes = 0xFFFFFFFFull;
};

// Counts what an import gives, against the limits.
struct OutputBudget {
    ImportLimits limits;
    uint64_t pairs = 0;
    uint64_t bytes = 0;
    // Counts one more pair; false once the import has grown past the limits.
    bool Take(const PhrasePair& p)
    {
        ++pairs;
        bytes += p.original.size() + p.translation.size() + 2;
        return pairs <= limits.maxPairs && bytes <= limits.maxTextBytes;
    }
    std::string Error() const
    {
        return "the import would give more than Talvero can load (" + std::to_string(pairs) +
               " pairs, " + std::to_string(bytes) + " bytes so far)";
    }
};

struct ImportOutcome {
    bool ok = false;
    std::string error;              // one line, when !ok
    std::string dictionaryCode;     // the catalogue's pair code, e.g. "es_en"
    std::vector<PhrasePair> pairs;  // UTF-8, in the order they are to be written
    size_t entriesRead = 0;         // index entries or ding lines read
};

// ---- Output

// Between the senses of one original in its merged translation.
inline constexpr const char* kSenseSeparator = " | ";

// One pair per original (originals in order of first appearance) whose translation holds every
// distinct sense of it, joined by kSenseSeparator: the loader keeps one translation per
// original, so senses given as pairs of their own would be lost. The main sense comes first,
// the others in source order; the main sense is the first pair of the lowest rank (`ranks`,
// parallel to `pairs`; without ranks, the first pair).
void MergeSenses(std::vector<PhrasePair>& pairs, const std::vector<uint64_t>& ranks = {});

// The phrase-pair text in the program's code page: lines alternate original and translation,
// no line end after the last. Pairs with an empty side are left out.
std::string FormatPhrasePairs(const std::vector<PhrasePair>& pairs);

// Writes FormatPhrasePairs atomically. False (with an error line) when the file cannot be written.
bool WritePhrasePairs(const std::string& path, const std::vector<PhrasePair>& pairs,
                      std::string& error);

}  // namespace talvero
