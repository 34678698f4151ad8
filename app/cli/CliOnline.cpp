#include <cstdio>
#include <string>

#include "app/cli/Commands.h"
#include "catalogue/Catalogue.h"
#include "online/UpdateCheck.h"
#include "online/Upload.h"
#include "settings/Services.h"
#include "settings/Settings.h"

namespace talvero {

namespace {

const char* kUploadUsage =
    "Usage: talvero-cli upload ORIGINAL TRANSLATION\n"
    "Uploads one pair to the online dictionary, as the window does for an added pair: the\n"
    "languages of the local-dictionary pair stored in TalveroConfig.txt in the current directory\n"
    "(Spanish to English without one), the user name and password stored there (\"ONLINE\n"
    "DICTIONARIES USERNAME\" and \"ONLINE DICTIONARIES PASSWORD\"), and the UPLOAD SERVER ADDRESS\n"
    "and proxy of TalveroServices.txt. Nothing is sent when the user name or the password is\n"
    "empty.\n"
    "\n"
    "Exit status: 0 when the server's reply holds \"Result:OK\", 1 when it does not, nothing was\n"
    "sent or the request failed (the reason goes to standard error), 2 on misuse.\n";

const char* kCheckUpdateUsage =
    "Usage: talvero-cli check-update\n"
    "Reads the update page of the UPDATE SITE ADDRESS of TalveroServices.txt, as the window does\n"
    "at start-up, and prints two lines:\n"
    "  version: N          the version the page announces (0 when it announces none)\n"
    "  newer: yes|no       whether it is newer than this program\n"
    "\n"
    "Exit status: 0 when the page was read, 1 when not (the reason goes to standard error),\n"
    "2 on misuse.\n";

bool WantsHelp(const CliArgs& args)
{
    return args.size() == 1 && (args[0] == "--help" || args[0] == "-h");
}

void WarnAboutIgnoredAddresses(const Services& services)
{
    for (const std::string& problem : services.problems)
        CliError(std::string(kServicesFileName) + ": " + problem);
}

}  // namespace

std::string StoredLocalPairCode(const Settings& settings)
{
    for (const PairEntry& e : PairsOf(PairList::Local))
        if (LocalDictionaryFileName(e.dictionaryCode) == settings.localDictionaryFile)
            return e.dictionaryCode;
    return {};
}

std::function<void(const std::string&, const std::string&)> CliUploadHook(const Settings& settings,
                                                                          bool* stored)
{
    return [settings, stored](const std::string& original, const std::string& translation) {
        Services services = LoadServices();
        WarnAboutIgnoredAddresses(services);
        CUploader uploader(services);
        UploadResult r = UploadPair(uploader, StoredLocalPairCode(settings), original, translation,
                                    {settings.onlineUsername, settings.onlinePassword});
        if (stored) *stored = r.stored;
        if (!r.sent || !r.read)
            CliError("not uploaded: " + r.error);
        else if (!r.stored)
            CliError("the upload server did not store the pair (HTTP status " +
                     std::to_string(r.status) + ", no \"Result:OK\" in its reply)");
    };
}

// talvero-cli upload ORIGINAL TRANSLATION
int CliUpload(const CliArgs& args)
{
    if (WantsHelp(args)) {
        std::fputs(kUploadUsage, stdout);
        return 0;
    }
    if (args.size() != 2) {
        CliError("usage: talvero-cli upload ORIGINAL TRANSLATION (try 'upload --help')");
        return 2;
    }
    Settings settings;
    std::string message;
    if (LoadSettingsFile(settings, kSettingsFileName, &message) == SettingsLoad::Unreadable)
        CliError(message + ": the defaults apply");
    else if (!message.empty())
        CliError(message);
    bool stored = false;
    CliUploadHook(settings, &stored)(args[0], args[1]);
    return stored ? 0 : 1;
}

// talvero-cli check-update
int CliCheckUpdate(const CliArgs& args)
{
    if (WantsHelp(args)) {
        std::fputs(kCheckUpdateUsage, stdout);
        return 0;
    }
    if (!args.empty()) {
        CliError("usage: talvero-cli check-update (try 'check-update --help')");
        return 2;
    }
    Services services = LoadServices();
    WarnAboutIgnoredAddresses(services);
    UpdateCheckResult r = CheckForUpdate(services, OnlineHooks{});
    if (!r.read) {
        CliError("could not read " + UpdatePageUrl(services) + ": " + r.error);
        return 1;
    }
    if (!r.markerFound) CliError(std::string("the page holds no \"") + kUpdateMarker + "\"");
    std::printf("version: %ld\nnewer: %s\n", r.version, r.newer ? "yes" : "no");
    return 0;
}

}  // namespace talvero
