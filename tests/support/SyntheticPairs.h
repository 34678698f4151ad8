#pragma once
// Generated dictionaries for the load and lookup benchmarks.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "importer/PhrasePairs.h"

namespace talvero {

// `count` pairs of 1 to 4 random words a side (lowercase letters, some accented), in random
// order, the same for the same seed on every machine. For load and lookup benchmarks.
std::vector<PhrasePair> SyntheticPairs(size_t count, uint64_t seed);

}  // namespace talvero
