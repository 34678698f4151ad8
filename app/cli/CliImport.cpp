#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "app/cli/Commands.h"
#include "catalogue/Catalogue.h"
#include "importer/Importer.h"

namespace talvero {

namespace {

const char* kImportUsage =
    "Usage: talvero-cli import freedict SOURCE [DIR] [--pair CODE] [--keep-existing]\n"
    "       talvero-cli import ding SOURCE [DIR] [--reverse] [--split-synonyms] [--pair CODE]\n"
    "                                            [--keep-existing]\n"
    "\n"
    "Converts a dictionary that Debian packages into the local dictionary file of a language\n"
    "pair, DIR/localdictionary_<code>.txt (DIR defaults to the current directory). An existing\n"
    "file of that name is replaced. Each headword becomes one phrase pair whose translation holds\n"
    "all its senses, ' | ' between them, the main sense first; each is cleaned of pronunciations,\n"
    "grammar tags, labels and notes. The same input always gives the same file.\n"
    "\n"
    "  freedict SOURCE  A FreeDict database (packages dict-freedict-*), e.g.\n"
    "                   /usr/share/dictd/freedict-spa-eng (the .index and .dict.dz beside it).\n"
    "                   The pair comes from the name: spa-eng gives es_en. English translations\n"
    "                   that lost their spaces ('ontheleft') are mended with the word lists of\n"
    "                   the packages wamerican and wbritish, when installed.\n"
    "  ding SOURCE      A ding file (package trans-de-en), e.g. /usr/share/trans/de-en, whose\n"
    "                   lines read 'German :: English'; the name de-en gives de_en.\n"
    "  --reverse        ding only: the right side becomes the original (de-en gives en_de).\n"
    "  --split-synonyms ding only: each synonym of the original side ('Aas; Aasfleisch')\n"
    "                   gets a pair of its own, so that each can be looked up.\n"
    "  --pair CODE      Use this pair code of the local list (e.g. es_en) instead of the name's.\n"
    "  --keep-existing  Leave an existing file of that name alone (and import nothing).\n"
    "\n"
    "An import reads at most 256 MB of dictionary text (a .dict.dz once decompressed, a ding\n"
    "file as it is) and refuses a larger dictionary, or an index that points past that.\n"
    "\n"
    "Prints one summary line. Exit status 0 on success, 1 when the import failed, 2 on misuse.\n";

static_assert(kMaxImportDataMegabytes == 256, "the usage text names the bound");

double SecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int CliImport(const CliArgs& args)
{
    std::vector<std::string> positional;
    bool reverse = false;
    bool splitSynonyms = false;
    bool keepExisting = false;
    std::string pair;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            std::fputs(kImportUsage, stdout);
            return 0;
        }
        if (a == "--reverse") {
            reverse = true;
        } else if (a == "--split-synonyms") {
            splitSynonyms = true;
        } else if (a == "--keep-existing") {
            keepExisting = true;
        } else if (a == "--pair") {
            if (i + 1 >= args.size()) {
                CliError(a + " needs a value (try 'import --help')");
                return 2;
            }
            pair = args[++i];
        } else if (a.size() > 1 && a[0] == '-') {
            CliError("unknown option '" + a + "' for import (try 'import --help')");
            return 2;
        } else {
            positional.push_back(a);
        }
    }
    if (positional.empty()) {
        CliError("import needs a format: freedict or ding (try 'import --help')");
        return 2;
    }
    const std::string& format = positional[0];
    if (format != "freedict" && format != "ding") {
        CliError("unknown import format '" + format + "' (freedict or ding)");
        return 2;
    }
    if (positional.size() < 2 || positional.size() > 3) {
        CliError("import " + format + " needs SOURCE and at most one DIR (try 'import --help')");
        return 2;
    }
    if ((reverse || splitSynonyms) && format != "ding") {
        CliError(std::string(reverse ? "--reverse" : "--split-synonyms") +
                 " does not apply to import " + format);
        return 2;
    }
    if (!pair.empty() && !IsLocalPairCode(pair)) {
        CliError("'" + pair + "' is not a pair of the local dictionary list");
        return 2;
    }

    std::string dir = positional.size() == 3 ? positional[2] : ".";
    if (dir.empty()) dir = ".";
    if (dir.back() != '/') dir += '/';
    std::string error;
    std::string code = format == "freedict" ? FreeDictPairCode(positional[1], pair, error)
                                            : DingPairCode(positional[1], reverse, pair, error);
    if (code.empty()) {
        CliError(error);
        return 1;
    }
    std::string path = dir + LocalDictionaryFileName(code);
    struct stat st {};
    if (keepExisting && ::stat(path.c_str(), &st) == 0) {
        std::printf("Kept the existing %s\n", path.c_str());
        return 0;
    }

    auto start = std::chrono::steady_clock::now();
    ImportOutcome outcome = format == "freedict"
                                ? ImportFreeDict(positional[1], pair)
                                : ImportDing(positional[1], reverse, splitSynonyms, pair);
    if (!outcome.ok) {
        CliError(outcome.error);
        return 1;
    }
    if (!WritePhrasePairs(path, outcome.pairs, error)) {
        CliError(error);
        return 1;
    }
    std::printf("Wrote %zu phrase pairs from %zu entries to %s in %.2f s\n", outcome.pairs.size(),
                outcome.entriesRead, path.c_str(), SecondsSince(start));
    return 0;
}

}  // namespace talvero
