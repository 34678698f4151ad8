// A dictionary file of any content through the real loader (file read, entry table, tree), then
// the lookups the window makes with pieces of it.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/TextFile.h"
#include "dictionary/LocalDictionary.h"
#include "settings/Settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace talvero;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    int fd = memfd_create("dictionary", MFD_CLOEXEC);
    if (fd < 0) return 0;
    if (!WriteAll(fd, text)) {
        close(fd);
        return 0;
    }
    LocalDictionary dictionary;
    dictionary.SetTraceSink([](std::string_view) {});
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    dictionary.Load(path, "/nonexistent/personal.txt");
    close(fd);

    // Every line read back as the pairs the table holds.
    const std::vector<std::string_view> lines = SplitLines(text);
    if (dictionary.Entries().size() != (lines.size() + 1) / 2) __builtin_trap();
    Settings settings;
    settings.maxWordsInCombinations = 4;  // the search is bounded; keep each input quick
    for (size_t i = 0; i < lines.size() && i < 8; i += 2) {
        // Every non-empty original is found (an empty one has no place in the tree).
        if (!lines[i].empty() && !dictionary.FindTranslation(lines[i])) __builtin_trap();
        TranslateLocal(dictionary, std::string(lines[i]), settings);
    }
    std::string translation;
    dictionary.LookUpPhrase(text.substr(0, 64), translation);
    return 0;
}
