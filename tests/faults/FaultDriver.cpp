// One file operation of the program, run as a process of its own so that the fault harnesses
// can kill it at any point or make its file calls fail:
//   fault_driver save DIR N         settings save (the Nth variant, password included)
//   fault_driver add DIR ORIG TRANS  an addition to DIR/personal.txt
//   fault_driver undo DIR ORIG TRANS an addition, then its Undo
//   fault_driver start DIR           what start-up does with these files
//   fault_driver lookup DIR PHRASE... load DIR/local.txt (and its saved index) and
//                                    DIR/personal.txt; print each phrase's translation and near
//                                    list, and on standard error whether the index was used
// Exit status 0 when the operation reported success, 1 when it reported a failure (the message
// on standard error), 2 on misuse.
#include <cstdio>
#include <string>

#include "dictionary/LocalDictionary.h"
#include "settings/Settings.h"

namespace talvero {

namespace {

int Fail(const std::string& message)
{
    std::fprintf(stderr, "%s\n", message.c_str());
    return 1;
}

}  // namespace

}  // namespace talvero

int main(int argc, char** argv)
{
    using namespace talvero;
    if (argc < 3) return 2;
    const std::string command = argv[1];
    const std::string dir = argv[2];
    const std::string settingsFile = dir + "/" + kSettingsFileName;
    LocalDictionary dictionary;
    dictionary.SetTraceSink([](std::string_view) {});
    dictionary.personalDictionaryFile = dir + "/personal.txt";
    dictionary.newTranslationsFile = dir + "/new.txt";

    if (command == "save" && argc == 4) {
        Settings settings;
        LoadSettingsFile(settings, settingsFile);
        settings.fontSize = std::stoi(argv[3]);
        settings.onlinePassword = "secret" + std::string(argv[3]);
        return SaveSettings(settings, settingsFile) ? 0 : Fail("settings not saved");
    }
    if ((command == "add" || command == "undo") && argc == 5) {
        auto result = dictionary.AddTranslation(argv[3], argv[4]);
        if (!result.written) return Fail(result.error);
        if (command == "add") return 0;
        std::string error;
        return dictionary.UndoAddition(&error) ? 0 : Fail(error);
    }
    if (command == "lookup" && argc >= 4) {
        for (const std::string& message :
             dictionary.Load(dir + "/local.txt", dictionary.personalDictionaryFile))
            std::printf("message: %s\n", message.c_str());
        for (int i = 3; i < argc; ++i) {
            std::printf("%s -> %s:", argv[i],
                        dictionary.FindTranslation(argv[i]).value_or("<none>").c_str());
            for (const std::string& near : dictionary.NearOriginals(argv[i]))
                std::printf(" %s", near.c_str());
            std::printf("\n");
        }
        std::fprintf(stderr, "index: %s\n", dictionary.UsesIndex() ? "used" : "not used");
        return 0;
    }
    if (command == "start" && argc == 3) {
        Settings settings;
        LoadSettingsFile(settings, settingsFile);
        dictionary.Load(dir + "/local.txt", dictionary.personalDictionaryFile);
        return 0;
    }
    return 2;
}
