#pragma once
// The settings record and the settings file "TalveroConfig.txt": key lines, each followed by a
// value line. The window binds the record to its check boxes, combos and members; nothing here
// knows about controls. Combo selections are positions (-1: no selection).
#include <string>
#include <string_view>

namespace talvero {

inline constexpr const char* kSettingsFileName = "TalveroConfig.txt";
inline constexpr int kSettingsKeyCount = 43;

struct Settings {
    // Engine check boxes 1023, 1018, 1019, 1021.
    bool useLocalDictionary = false;
    bool useGoogle = false;
    bool useBabelfish = false;
    bool useFreeTranslation = false;
    // Pair combos 1036, 1028, 1034, 1035.
    int localPairPosition = 0;
    int googlePairPosition = 0;
    int babelfishPairPosition = 0;
    int freeTranslationPairPosition = 0;
    bool topmostWindow = false;
    int maxWordsInCombinations = 8;
    bool minimizeToTray = true;
    bool showTranslationBanner = true;
    int bannerSource = 0;  // 0 local dictionary, 1 Google, 2 Babelfish, 3 FreeTranslation
    bool searchCombinations = true;
    bool confirmBeforeAdding = false;
    int hotkeyBaseKeyCode = 34;  // Z in the hotkey key table
    bool hotkeyAlt = true;
    bool hotkeyCtrl = true;
    bool hotkeyShift = false;
    bool hotkeyWin = false;
    bool activateSpeechRecognition = false;       // 1012
    bool launchTranslationAutomatically = false;  // 1014
    double translationDelay = 1000.0;             // milliseconds
    bool translateHypothesis = false;             // 1056
    bool speakGoogle = false;                     // 1017
    bool speakBabelfish = false;                  // 1020
    bool speakFreeTranslation = false;            // 1022
    bool speakLocal = false;                      // 1024
    bool nearSearch = false;                      // 1025
    bool hotkeyFillsBoxes = false;                // 1015
    bool addAutomaticallyWhenFilled = false;      // 1039
    bool translateHistorySelection = false;       // 1058
    bool checkForUpdates = true;
    int fontSize = 18;
    bool speakRecognizedText = false;
    bool showOriginalTextBanner = true;
    bool suspendRecognitionDuringTts = false;
    bool copyRecognizedOnlyToHistory = false;  // 1069
    std::string onlineUsername = "username";
    std::string onlinePassword = "pwdfield";
    bool uploadNewTranslations = false;
    int uploadLanguageFrom = 0;  // index into the 24 languages
    int uploadLanguageTo = 0;

    // Set from the local pair by the loader (not keys of their own).
    std::string localDictionaryFile = "localdictionary_es_en.txt";
    std::string personalDictionaryFile = "personaldictionary_es_en.txt";
};

// Applies the file's values over `settings` (which holds the defaults or the current state).
// A missing or unreadable file changes nothing. Returns whether the file was read.
bool LoadSettings(Settings& settings, const std::string& path = kSettingsFileName);

// The same, telling a missing file from one that is there but cannot be read: saving over the
// second would destroy settings the user still has. Also removes what an interrupted save left
// behind (temporary files, which may hold the password).
// - Read: a file saved as UTF-16 or UTF-8 with a mark is read as what it is. Values the options
//   dialog would not take are mended (font size into its range, a hotkey key off the list to
//   -1, no key), and `message` says which.
// - Unreadable: not read at all (no permission, not a plain file, larger than 1 MB); the
//   defaults apply and the file must not be saved over. `message` is
//   UnreadableSettingsMessage(path).
// - SetAside: the file held text but not one key; it was renamed to a free "<path>.bad" name,
//   so that nothing is lost when the defaults are saved. `message` names it.
// `message` (when given) gets one line for the user, or "" when there is nothing to say.
enum class SettingsLoad { Read, Missing, Unreadable, SetAside };
SettingsLoad LoadSettingsFile(Settings& settings, const std::string& path = kSettingsFileName,
                              std::string* message = nullptr);

// "<path> exists but cannot be read (<reason>)": for a file LoadSettingsFile found Unreadable.
std::string UnreadableSettingsMessage(const std::string& path = kSettingsFileName);

// Applies settings text (the file's content) over `settings`. Returns how many keys it held.
int ApplySettingsText(Settings& settings, std::string_view text);

// Brings values a hand-edited file may hold back into what the options dialog allows. Returns
// what was changed ("FONT SIZE FOR MAIN TEXT BOXES 99 is not between 6 and 20; 20 is used"),
// or "" when nothing was.
std::string MendOutOfRangeSettings(Settings& settings);

// The file's content for `settings`: 43 keys in order, the last value without a line end.
std::string FormatSettings(const Settings& settings);

// Writes the file atomically; on failure the old file stays as it was. Returns success (the
// window ignores it: a failed save is silent).
bool SaveSettings(const Settings& settings, const std::string& path = kSettingsFileName);

}  // namespace talvero
