#include "tests/support/SyntheticPairs.h"

#include <string>

namespace talvero {

namespace {

// splitmix64: small, fast and the same everywhere, unlike the standard distributions.
struct SplitMix {
    uint64_t state;
    uint64_t Next()
    {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    unsigned Below(unsigned n) { return static_cast<unsigned>(Next() % n); }
};

}  // namespace

std::vector<PhrasePair> SyntheticPairs(size_t count, uint64_t seed)
{
    static const char* const kLetters[] = {
        "a",        "b",        "c",        "d",        "e",        "f",       "g", "h", "i",
        "j",        "k",        "l",        "m",        "n",        "o",       "p", "q", "r",
        "s",        "t",        "u",        "v",        "w",        "x",       "y", "z", "\xC3\xA1",
        "\xC3\xA9", "\xC3\xAD", "\xC3\xB1", "\xC3\xB3", "\xC3\xBA", "\xC3\xBC"};
    SplitMix rng{seed};
    auto phrase = [&rng]() {
        std::string s;
        unsigned words = 1 + rng.Below(4);
        for (unsigned w = 0; w < words; ++w) {
            if (w > 0) s += ' ';
            unsigned letters = 2 + rng.Below(8);
            for (unsigned k = 0; k < letters; ++k) {
                // One letter in 25 accented.
                unsigned pick = rng.Below(25) == 0 ? 26 + rng.Below(7) : rng.Below(26);
                s += kLetters[pick];
            }
        }
        return s;
    };
    std::vector<PhrasePair> pairs;
    pairs.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        std::string original = phrase();
        pairs.push_back({std::move(original), phrase()});
    }
    return pairs;
}

}  // namespace talvero
