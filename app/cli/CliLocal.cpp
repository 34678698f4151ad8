#include <cstdio>
#include <string>

#include "app/cli/Commands.h"
#include "catalogue/Settings.h"
#include "dictionary/LocalDictionary.h"

// talvero-cli local TEXT: the Translate action's local step for the stored pair.
int CliLocal(const CliArgs& args)
{
    if (args.size() != 1) {
        CliError("usage: talvero-cli local TEXT");
        return 2;
    }
    if (TrimWhiteSpace(args[0]).empty()) {
        CliError("Please enter the text you want to translate.");
        return 2;
    }
    Settings settings;
    LoadSettings(settings);
    LocalDictionary dictionary;
    dictionary.SetTraceSink(
        [](std::string_view line) { std::fwrite(line.data(), 1, line.size(), stderr); });
    for (const std::string& message :
         dictionary.Load(settings.localDictionaryFile, settings.personalDictionaryFile)) {
        CliError(message);
    }
    LocalStepResult result = TranslateLocal(dictionary, args[0], settings);
    std::string out = result.translation + "\n";
    for (const std::string& phrase : result.nearList) {
        out += phrase;
        out += '\n';
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return result.found ? 0 : 1;
}

// talvero-cli add ORIGINAL TRANSLATION: an addition to the stored pair's dictionary files.
int CliAdd(const CliArgs& args)
{
    if (args.size() != 2) {
        CliError("usage: talvero-cli add ORIGINAL TRANSLATION");
        return 2;
    }
    Settings settings;
    LoadSettings(settings);
    LocalDictionary dictionary;
    dictionary.localDictionaryFile = settings.localDictionaryFile;
    dictionary.personalDictionaryFile = settings.personalDictionaryFile;
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
