#include <cstdio>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/TranslationDispatch.h"
#include "app/cli/Commands.h"
#include "base/TextFile.h"
#include "dictionary/LocalDictionary.h"
#include "settings/Services.h"
#include "settings/Settings.h"

namespace talvero {

namespace {

const char* kTranslateUsage =
    "Usage: talvero-cli translate TEXT\n"
    "Runs the whole Translate action without a window: the engines ticked, the pairs chosen and\n"
    "the settings stored in TalveroConfig.txt in the current directory, the service addresses\n"
    "and proxy of TalveroServices.txt, and the local dictionary files of the stored pair.\n"
    "The web engines are asked at the same time.\n"
    "\n"
    "Prints one line for each ticked engine, in this order:\n"
    "  google: RESULT\n"
    "  babelfish: RESULT\n"
    "  freetranslation: RESULT\n"
    "  local: RESULT\n"
    "RESULT is the translation (possibly empty), \"(failed: REASON)\" when the engine's request\n"
    "or the reading of its reply failed (REASON is for example certificate, time-out,\n"
    "connection refused, HTTP 404, no translation in the reply), or \"(unchanged)\" where the\n"
    "window would keep the box's text (the local dictionary found nothing, or the text has more\n"
    "words than the combination limit). Then the near-search list of the local dictionary, one\n"
    "phrase a line.\n"
    "Results are printed as the services sent them, except that control characters (carriage\n"
    "returns, escape sequences, ...) are shown as '?', so that no server can move the cursor or\n"
    "retitle the terminal; line breaks inside a result become blanks. The combination-search\n"
    "trace and notes go to standard error.\n"
    "\n"
    "Exit status: 0 when the action ran, 2 on misuse or a blank TEXT.\n";

// An address the services file gives but the program could not take (no http:// or https://,
// a path after the host) leaves the default in place, and the engine then asks the real service
// instead of the one meant: say so.
void WarnAboutIgnoredAddresses(const Services& services)
{
    for (const std::string& problem : services.problems)
        CliError(std::string(kServicesFileName) + ": " + problem);
}

}  // namespace

// talvero-cli translate TEXT
int CliTranslate(const CliArgs& args)
{
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        std::fputs(kTranslateUsage, stdout);
        return 0;
    }
    if (args.size() != 1) {
        CliError("usage: talvero-cli translate TEXT (try --help)");
        return 2;
    }
    if (TrimInput(args[0]).empty()) {
        CliError(kEmptyInputMessage);
        return 2;
    }
    Settings settings;
    // Nothing ticked prints nothing at all; say why, so that an empty output is not a puzzle.
    std::string message;
    const SettingsLoad load = LoadSettingsFile(settings, kSettingsFileName, &message);
    if (load == SettingsLoad::Unreadable)
        CliError(message + ": the defaults apply, with no engine ticked");
    else if (load == SettingsLoad::SetAside)
        CliError(message + ", with no engine ticked");
    else if (load == SettingsLoad::Missing)
        CliError(std::string("no ") + kSettingsFileName +
                 " in the current directory: the defaults apply, with no engine ticked");
    else if (!settings.useGoogle && !settings.useBabelfish && !settings.useFreeTranslation &&
             !settings.useLocalDictionary)
        CliError(std::string("no engine is ticked in ") + kSettingsFileName +
                 " (USE GOOGLE, USE BABELFISH, USE FREETRANSLATION, USE LOCAL DICTIONARY)");
    if (load == SettingsLoad::Read && !message.empty()) CliError(message);
    Services services = LoadServices();
    WarnAboutIgnoredAddresses(services);

    TranslateEngines engines;
    engines.web = MakeWebEngineRunner(services);
    // The dictionary loads while the web engines are asked: the local step, which runs after
    // they have answered, waits for it only if it is not done by then.
    std::unique_ptr<LocalDictionary> dictionary;
    std::future<std::vector<std::string>> loaded;
    if (settings.useLocalDictionary) {
        dictionary = std::make_unique<LocalDictionary>();
        dictionary->SetTraceSink([](std::string_view line) { CliWrite(stderr, line); });
        loaded = std::async(std::launch::async, [&dictionary, &settings] {
            return dictionary->Load(settings.localDictionaryFile, settings.personalDictionaryFile);
        });
        engines.local = [&dictionary, &loaded](const std::string& text, const Settings& s) {
            if (loaded.valid()) {
                for (const std::string& message : loaded.get())
                    CliError(message);
            }
            return TranslateLocal(*dictionary, text, s);
        };
    }

    TranslateOutcome outcome = RunTranslate(args[0], settings, engines);
    std::string out;
    for (int i = 0; i < kEngineCount; ++i) {
        const EngineResult& r = outcome.engines[i];
        if (r.outcome == EngineOutcome::NotAsked) continue;
        out += EngineName(static_cast<Engine>(i));
        out += ": ";
        switch (r.outcome) {
            case EngineOutcome::Changed:
                out += OneLine(r.text);
                break;
            case EngineOutcome::Failed:
                out += r.reason.empty() ? "(failed)" : "(failed: " + OneLine(r.reason) + ")";
                break;
            default:
                out += "(unchanged)";
                break;
        }
        out += '\n';
    }
    for (const std::string& phrase : outcome.nearList) {
        out += OneLine(phrase);
        out += '\n';
    }
    CliWrite(stdout, out);
    return 0;
}

}  // namespace talvero
