// make_synthetic_dictionary COUNT FILE [SEED]: writes COUNT generated phrase pairs (1 to 4 words
// a side) to FILE as a local dictionary file; the same seed (default 1) gives the same file.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/support/SyntheticPairs.h"

int main(int argc, char** argv)
{
    using namespace talvero;
    char* end = nullptr;
    unsigned long long count = argc >= 3 ? std::strtoull(argv[1], &end, 10) : 0;
    unsigned long long seed = 1;
    if (argc == 4) seed = std::strtoull(argv[3], nullptr, 10);
    if (argc < 3 || argc > 4 || count == 0 || count > 100'000'000ull || *end != '\0') {
        std::fputs("usage: make_synthetic_dictionary COUNT FILE [SEED] (COUNT 1 to 100000000)\n",
                   stderr);
        return 2;
    }
    std::string error;
    if (!WritePhrasePairs(argv[2], SyntheticPairs(count, seed), error)) {
        std::fprintf(stderr, "make_synthetic_dictionary: %s\n", error.c_str());
        return 1;
    }
    std::printf("Wrote %llu synthetic phrase pairs to %s\n", count, argv[2]);
    return 0;
}
