#include <cstdio>
#include <string>

#include "app/cli/Commands.h"
#include "dictionary/LocalDictionary.h"
#include "settings/Settings.h"

namespace talvero {

// Apart from `local`: an addition may upload, which brings in the HTTP client.
namespace {

const char* kAddUsage =
    "Usage: talvero-cli add ORIGINAL TRANSLATION\n"
    "Appends the pair to personaldictionary_<code>.txt of the pair stored in TalveroConfig.txt\n"
    "in the current directory (Spanish to English without one), creating the file when it is\n"
    "missing, and to newtranslationsadded.txt when that file exists. Line breaks inside either\n"
    "text are removed. The next lookup of ORIGINAL finds TRANSLATION. With \"UPLOAD NEW\n"
    "TRANSLATIONS\" on, the pair is also uploaded as 'talvero-cli upload' does (a failed upload\n"
    "is reported on standard error and does not change the exit status).\n"
    "\n"
    "Exit status: 0 when the pair was written, 1 when the file could not be written or\n"
    "TalveroConfig.txt is there but cannot be read, 2 on misuse or an empty ORIGINAL or\n"
    "TRANSLATION.\n";

bool WantsHelp(const CliArgs& args)
{
    return args.size() == 1 && (args[0] == "--help" || args[0] == "-h");
}

}  // namespace

// talvero-cli add ORIGINAL TRANSLATION: an addition to the stored pair's dictionary files.
int CliAdd(const CliArgs& args)
{
    if (WantsHelp(args)) {
        std::fputs(kAddUsage, stdout);
        return 0;
    }
    if (args.size() != 2) {
        CliError("usage: talvero-cli add ORIGINAL TRANSLATION (try 'add --help')");
        return 2;
    }
    Settings settings;
    // The stored pair is unknown: the default pair's file is likely the wrong one to grow.
    std::string message;
    if (LoadSettingsFile(settings, kSettingsFileName, &message) == SettingsLoad::Unreadable) {
        CliError(message + ": nothing added");
        return 1;
    }
    if (!message.empty()) CliError(message);
    LocalDictionary dictionary;
    dictionary.localDictionaryFile = settings.localDictionaryFile;
    dictionary.personalDictionaryFile = settings.personalDictionaryFile;
    if (settings.uploadNewTranslations) dictionary.uploadPair = CliUploadHook(settings);
    LocalDictionary::AddResult result = dictionary.AddTranslation(args[0], args[1]);
    if (result.original.empty() || result.translation.empty()) {
        CliError("nothing added: the original and the translation must both be non-empty");
        return 2;
    }
    if (!result.written) {
        CliError(result.error);
        return 1;
    }
    return 0;
}

}  // namespace talvero
