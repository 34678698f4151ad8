#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <functional>
#include <new>
#include <string>

#include "app/cli/Commands.h"
#include "dictionary/LocalDictionary.h"
#include "settings/Settings.h"

namespace talvero {

namespace {

const char* kLocalUsage =
    "Usage: talvero-cli local TEXT\n"
    "Translates TEXT with the local dictionary of the pair stored in TalveroConfig.txt in the\n"
    "current directory (Spanish to English without one), as the window's Translate button does:\n"
    "localdictionary_<code>.txt, then personaldictionary_<code>.txt, whose pairs win. The whole\n"
    "phrase first, then word groups when \"SEARCH COMBINATIONS IN THE LOCAL DICTIONARY\" is on.\n"
    "A phrase of more words than \"MAX NUMBER OF WORDS IN COMBINATIONS\" (8 by default; a\n"
    "negative number means no limit) gets no translation at all, only the list below.\n"
    "\n"
    "Prints the translation on the first line (an empty line when there is none), then every\n"
    "stored phrase that begins with TEXT, one a line. A dictionary file that cannot be read is\n"
    "reported on standard error and the other is still used; the combination-search trace\n"
    "(\"Resulting token: ...\") goes to standard error too.\n"
    "\n"
    "Exit status: 0 when a translation was found, 1 when not, 2 on misuse or a blank TEXT.\n";

bool WantsHelp(const CliArgs& args)
{
    return args.size() == 1 && (args[0] == "--help" || args[0] == "-h");
}

const char* kIndexUsage =
    "Usage: talvero-cli index FILE\n"
    "Writes the saved index of the dictionary file FILE beside it (FILE.index), which later\n"
    "loads of FILE map instead of reading the text, unless a sound one is there already or\n"
    "another program is writing it. `local` writes it by itself on its first run.\n"
    "\n"
    "Exit status: 0 when the index is there, 1 when it could not be written, 2 on misuse.\n";

}  // namespace

// talvero-cli index FILE: writes the saved index of a dictionary file.
int CliIndex(const CliArgs& args)
{
    if (WantsHelp(args)) {
        std::fputs(kIndexUsage, stdout);
        return 0;
    }
    if (args.size() != 1) {
        CliError("usage: talvero-cli index FILE (try 'index --help')");
        return 2;
    }
    switch (DictionaryIndex::WriteFor(args[0])) {
        case DictionaryIndex::Built::Written:
        case DictionaryIndex::Built::AlreadyThere:
            return 0;
        case DictionaryIndex::Built::Busy:
            CliError("another program is writing the index of " + args[0]);
            return 1;
        case DictionaryIndex::Built::Failed:
            break;
    }
    CliError("could not write the index of " + args[0]);
    return 1;
}

// talvero-cli local TEXT: the Translate action's local step for the stored pair.
int CliLocal(const CliArgs& args)
{
    if (WantsHelp(args)) {
        std::fputs(kLocalUsage, stdout);
        return 0;
    }
    if (args.size() != 1) {
        CliError("usage: talvero-cli local TEXT (try 'local --help')");
        return 2;
    }
    if (TrimWhiteSpace(args[0]).empty()) {
        CliError("Please enter the text you want to translate.");
        return 2;
    }
    Settings settings;
    std::string message;
    if (LoadSettingsFile(settings, kSettingsFileName, &message) == SettingsLoad::Unreadable)
        CliError(message + ": the defaults apply");
    else if (!message.empty())
        CliError(message);
    LocalDictionary dictionary;
    // The first run writes the index and answers from it: the index is then ready with the
    // answer, and a run that starts meanwhile answers from the text.
    dictionary.indexFirst = true;
    dictionary.SetTraceSink([](std::string_view line) { CliWrite(stderr, line); });
    try {
        for (const std::string& message :
             dictionary.Load(settings.localDictionaryFile, settings.personalDictionaryFile)) {
            CliError(message);
        }
    } catch (const std::bad_alloc&) {
        // More than the process may have (an address-space limit, a huge file): said, not
        // aborted.
        CliError(NotEnoughMemoryMessage(settings.localDictionaryFile));
        return 1;
    }
    LocalStepResult result = TranslateLocal(dictionary, args[0], settings);
    std::string out = result.translation + "\n";
    for (const std::string& phrase : result.nearList) {
        out += phrase;
        out += '\n';
    }
    CliWrite(stdout, out);
    return result.found ? 0 : 1;
}

}  // namespace talvero
