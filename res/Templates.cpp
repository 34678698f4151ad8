#include "res/Templates.h"

namespace talvero {

namespace res {

namespace {

using K = Kind;

// Template 102: the main window.
const Control kMainControls[] = {
    {-1, K::Label, "Text to translate", false, nullptr},
    {ctl::kInput, K::MultiEdit, "", false, "Text to translate"},
    {ctl::kTranslate, K::DefaultButton, "Translate", false, nullptr},
    {ctl::kClear, K::Button, "Clear", false, nullptr},
    {ctl::kSetDelay, K::Button, "Set time delay", false, nullptr},
    {ctl::kAutoTranslate, K::Check, "Launch translation automatically when input changes", false,
     nullptr},

    {-1, K::Label, "Recognized text history:", false, nullptr},
    {ctl::kHistory, K::RichEdit, "", false, "Recognized text history"},
    {ctl::kTranslateHistorySelection, K::Check, "Translate text selected in history", false,
     nullptr},
    {ctl::kClearHistory, K::Button, "Clear history", false, nullptr},
    {-1, K::Label, "Speech recognition hypothesis:", false, nullptr},
    {ctl::kHypothesis, K::ReadOnlyMulti, "", false, "Speech recognition hypothesis"},
    {ctl::kTranslateHypothesis, K::Check, "Translate (search only in the local dictionary)", false,
     nullptr},

    {ctl::kUseGoogle, K::Check, "Google translation", false, nullptr},
    {ctl::kGooglePair, K::DropList, "", false, "Google language pair"},
    {ctl::kGoogleResult, K::ReadOnlyRich, "", false, "Google translation result"},
    {ctl::kSpeakGoogle, K::Check, "Speak", false, "Speak Google translation"},
    {ctl::kAddGoogle, K::Button, "Add to the local dictionary", false,
     "Add Google translation to the local dictionary"},

    {ctl::kUseBabelfish, K::Check, "Babelfish translation", false, nullptr},
    {ctl::kBabelfishPair, K::DropList, "", false, "Babelfish language pair"},
    {ctl::kBabelfishResult, K::ReadOnlyRich, "", false, "Babelfish translation result"},
    {ctl::kSpeakBabelfish, K::Check, "Speak", false, "Speak Babelfish translation"},
    {ctl::kAddBabelfish, K::Button, "Add to the local dictionary", false,
     "Add Babelfish translation to the local dictionary"},

    {ctl::kUseFreeTranslation, K::Check, "Freetranslation translation", false, nullptr},
    {ctl::kFreeTranslationPair, K::DropList, "", false, "Freetranslation language pair"},
    {ctl::kFreeTranslationResult, K::ReadOnlyRich, "", false, "Freetranslation translation result"},
    {ctl::kSpeakFreeTranslation, K::Check, "Speak", false, "Speak Freetranslation translation"},
    {ctl::kAddFreeTranslation, K::Button, "Add to the local dictionary", false,
     "Add Freetranslation translation to the local dictionary"},

    {ctl::kUseLocal, K::Check, "Local dictionary translation", false, nullptr},
    {ctl::kLocalPair, K::DropList, "", false, "Local dictionary language pair"},
    {ctl::kLocalResult, K::ReadOnlyRich, "", false, "Local dictionary translation result"},
    {ctl::kSpeakLocal, K::Check, "Speak", false, "Speak local dictionary translation"},

    {ctl::kNearSearch, K::Check, "Local dictionary near search (doubleclick)", false, nullptr},
    {ctl::kNearList, K::SortedListBox, "", false, "Near matches"},

    {-1, K::Group, "Add new translations to the personal dictionary", false, nullptr},
    {-1, K::Label, "Text", false, nullptr},
    {ctl::kNewText, K::Edit, "", false, "Text"},
    {-1, K::Label, "Translation", false, nullptr},
    {ctl::kNewTranslation, K::Edit, "", false, "Translation"},
    {ctl::kAdd, K::Button, "Add", false, nullptr},
    {ctl::kUndo, K::Button, "Undo", false, nullptr},
    {ctl::kUpload, K::Button, "^", false, "Upload a file of translation pairs"},
    {ctl::kHotkeyFills, K::Check, "Activate hotkey to fill boxes", false, nullptr},
    {ctl::kAddAutomatically, K::Check,
     "Add automatically to the local dictionary when both boxes are filled via hotkey", false,
     nullptr},

    {-1, K::Group, "Text To Speech Voice", false, nullptr},
    {ctl::kVoiceName, K::ReadOnlyEdit, "", false, "Voice"},
    {ctl::kStop, K::Button, "Stop", false, nullptr},
    {ctl::kPause, K::Button, "Pause", false, nullptr},
    {ctl::kSelectVoice, K::Button, "Select", false, nullptr},
    {ctl::kRepeat, K::Button, "Repeat", false, nullptr},

    {-1, K::Group, "Dictation", false, nullptr},
    {ctl::kRecognition, K::Check, "Activate Speech Recognition", false, nullptr},
    {ctl::kCopyOnlyToHistory, K::Check, "Copy only to history", false, nullptr},
    {ctl::kPunctuationMarks, K::Check, "Add punctuation marks:", false, nullptr},
    {ctl::kPunctuation, K::DropDown, "", false, "Punctuation pattern"},
    {ctl::kUppercase, K::Check, "Uppercase 1st letter", false, nullptr},
    {-1, K::Label, "Engine:", false, nullptr},
    {ctl::kEngine, K::SortedDropList, "", false, "Engine"},
    {ctl::kTrain, K::Button, "Train with text file", false, nullptr},

    {ctl::kOptions, K::Button, "Options", false, nullptr},
    {kWindowMenuButton, K::Button, "Menu", false, "Window menu"},
    {ctl::kExit, K::Button, "Exit", false, nullptr},
    {ctl::kCancel, K::Button, "Cancel", true, nullptr},
    {ctl::kVoiceSpeech, K::Check, "Enable voice speech", true, nullptr},
    {ctl::kSpeakSelection, K::Check, "Speak mouse text selection", true, nullptr},
};

// Template 131: the delay dialog.
const Control kDelayControls[] = {
    {-1, K::Label, "Time (milliseconds):", false, nullptr},
    {ctl::kDelayTime, K::Edit, "", false, "Time (milliseconds)"},
    {-1, K::Label, "It is NOT advisable to set a very small time delay.", false, nullptr},
    {-1, K::Label,
     "Besides that it can be uncomfortable if the translation process is launched while you are "
     "still typing or speaking, web translation services can get annoyed",
     false, nullptr},
    {-1, K::Label,
     "(and maybe even banner your IP?) if your request rate is too fast (compared to the usual "
     "while typing or copy/pasting text)",
     false, nullptr},
    {-1, K::Label, "In any case the program internally adds some minimum amount of delay.", false,
     nullptr},
    {ctl::kOk, K::DefaultButton, "OK", false, nullptr},
    {ctl::kCancel, K::Button, "Cancel", false, nullptr},
};

// Template 129: the voice selection dialog.
const Control kVoiceSelectionControls[] = {
    {-1, K::Label, "Voice", false, nullptr},
    {ctl::kVoiceList, K::SortedDropList, "", false, "Voice"},
    {-1, K::Label, "Rate", false, nullptr},
    {ctl::kVoiceRate, K::Trackbar, "", false, "Rate"},
    {-1, K::Label, "Volume", false, nullptr},
    {ctl::kVoiceVolume, K::Trackbar, "", false, "Volume"},
    {-1, K::Label, "Format", false, nullptr},
    {ctl::kVoiceFormat, K::DropList, "", false, "Format"},
    {ctl::kOk, K::DefaultButton, "OK", false, nullptr},
    {ctl::kCancel, K::Button, "Cancel", false, nullptr},
};

// Template 100: the About box.
const Control kAboutControls[] = {
    {-1, K::Icon, "", false, nullptr},
    {-1, K::Label, "Talvero 1.0", false, nullptr},
    {ctl::kOk, K::DefaultButton, "OK", false, nullptr},
};

// Template 138: "Upload dictionary file", one pair of a translation-pairs file at a time.
const Control kUploadControls[] = {
    {-1, K::Label, "Language pair: From", false, nullptr},
    {ctl::kUploadFrom, K::SortedDropList, "", false, "Language pair: From"},
    {-1, K::Label, "To", false, nullptr},
    {ctl::kUploadTo, K::SortedDropList, "", false, "To"},
    {ctl::kUploadReverse, K::Check, "Upload also as reverse translation", false, nullptr},
    {-1, K::Label, "Original", false, nullptr},
    {ctl::kUploadOriginal, K::Edit, "", false, "Original"},
    {-1, K::Label, "Translation", false, nullptr},
    {ctl::kUploadTranslation, K::Edit, "", false, "Translation"},
    {ctl::kOk, K::DefaultButton, "Upload", false, nullptr},
    {ctl::kUploadRepeat, K::Button, "Repeat", false, nullptr},
    {ctl::kCancel, K::Button, "Skip", false, nullptr},
    {ctl::kUploadAbort, K::Button, "Abort", false, nullptr},
};

// Template 133: the options dialog.
const Control kOptionsControls[] = {
    {ctl::kOptMinimizeToTray, K::Check, "Minimize to system tray", false, nullptr},
    {ctl::kOptTopmost, K::Check, "Topmost window", false, nullptr},
    {ctl::kOptShowBanner, K::Check,
     "Show a popup banner with the translation above the system tray", false, nullptr},
    {-1, K::Label, "Banner translation source (if active)", false, nullptr},
    {ctl::kOptBannerSource, K::DropDown, "", false, "Banner translation source (if active)"},
    {ctl::kOptShowOriginal, K::Check, "Show also the original text", false, nullptr},
    {ctl::kOptSearchCombinations, K::Check,
     "Search for combinations of words in the local dictionay", false, nullptr},
    {-1, K::Label, "Maximum number of words to search for combinations:", false, nullptr},
    {ctl::kOptMaxWords, K::Edit, "", false, "Maximum number of words to search for combinations:"},
    {ctl::kOptConfirmAdding, K::Check,
     "Ask for confirmation when adding new translations to the local dictionary", false, nullptr},
    {ctl::kOptCheckUpdates, K::Check, "Check for program updates when the program starts", false,
     nullptr},
    {-1, K::Label, "Font size used in main text boxes (min 6 and max 20):", false, nullptr},
    {ctl::kOptFontSize, K::Edit, "", false,
     "Font size used in main text boxes (min 6 and max 20):"},
    {ctl::kOptUploadAdditions, K::Check, "Upload dictionary addtions to the online database", false,
     nullptr},
    {ctl::kOptSpeakRecognized, K::Check,
     "Speak back with TTS speech recognized text (pronunciation feedback)", false, nullptr},
    {ctl::kOptSuspendRecognition, K::Check,
     "Suspend recognition during TTS output (to avoid undesired feedback)", false, nullptr},
    {-1, K::Group, "Hotkey to capture expressions for the local dictionaries", false, nullptr},
    {ctl::kOptHotkeyKey, K::DropDown, "", false,
     "Hotkey to capture expressions for the local dictionaries"},
    {ctl::kOptHotkeyAlt, K::Check, "ALT", false, nullptr},
    {ctl::kOptHotkeyCtrl, K::Check, "CTRL", false, nullptr},
    {ctl::kOptHotkeyShift, K::Check, "SHIFT", false, nullptr},
    {ctl::kOptHotkeyWin, K::Check, "WIN key", false, nullptr},
    {-1, K::Group, "Online dictionaries", false, nullptr},
    {-1, K::Label, "User name:", false, nullptr},
    {ctl::kOptUsername, K::Edit, "", false, "User name:"},
    {-1, K::Label, "Password:", false, nullptr},
    {ctl::kOptPassword, K::PasswordEdit, "", false, "Password:"},
    {ctl::kOk, K::DefaultButton, "OK", false, nullptr},
    {ctl::kCancel, K::Button, "Cancel", false, nullptr},
};

// Template 136: the confirmation of an addition.
const Control kConfirmationControls[] = {
    {-1, K::Label, "Do you want to add the next translation to the local dictionary?", false,
     nullptr},
    {-1, K::Label, "Original text:", false, nullptr},
    {ctl::kConfirmOriginal, K::MultiEdit, "", false, "Original text:"},
    {-1, K::Label, "Translated text:", false, nullptr},
    {ctl::kConfirmTranslation, K::MultiEdit, "", false, "Translated text:"},
    {ctl::kOk, K::DefaultButton, "OK", false, nullptr},
    {ctl::kCancel, K::Button, "Cancel", false, nullptr},
};

const char* const kBannerSources[] = {"Local dictionary", "Google", "Babelfish", "FreeTranslation"};

// Template 141: training the recognition engine with a text.
const Control kTrainingControls[] = {
    {-1, K::Label, "The recognition engine will be adapted to this text:", false, nullptr},
    {ctl::kTrainingText, K::ReadOnlyMulti, "", false, "Training text"},
    {ctl::kTrainingStatus, K::ReadOnlyEdit, "", false, "Training progress"},
    {ctl::kOk, K::DefaultButton, "Train", false, nullptr},
    {ctl::kCancel, K::Button, "Cancel", false, nullptr},
};

const Dialog kMain = {kMainDialog, "Talvero", 577, 373, kMainControls};
const Dialog kDelay = {kDelayDialog, "Set delay time for automatic translation", 282, 111,
                       kDelayControls};
const Dialog kAbout = {kAboutDialog, "About Talvero", 235, 72, kAboutControls};
const Dialog kUpload = {kUploadDialog, "Upload dictionary file", 300, 84, kUploadControls};
const Dialog kOptions = {kOptionsDialog, "Set options", 300, 330, kOptionsControls};
const Dialog kConfirmation = {kConfirmationDialog, "Add new translations to the local dictionary",
                              260, 150, kConfirmationControls};
const Dialog kVoiceSelection = {kVoiceSelectionDialog, "Voice Selection", 236, 118,
                                kVoiceSelectionControls};
const Dialog kTraining = {kTrainingDialog, "Train with text file", 300, 200, kTrainingControls};

const char* const kPunctuation[] = {"Text?", "\xC2\xBFText?", "Text ?", "Text;",
                                    "Text!", "\xC2\xA1Text!", "Text."};

}  // namespace

const Dialog& MainDialog()
{
    return kMain;
}
const Dialog& TrainingDialog()
{
    return kTraining;
}
const Dialog& DelayDialog()
{
    return kDelay;
}
const Dialog& AboutDialog()
{
    return kAbout;
}
const Dialog& VoiceSelectionDialog()
{
    return kVoiceSelection;
}
const Dialog& UploadDictionaryDialog()
{
    return kUpload;
}

const Dialog& OptionsDialog()
{
    return kOptions;
}
const Dialog& ConfirmationDialog()
{
    return kConfirmation;
}

std::span<const char* const> BannerSourceNames()
{
    return kBannerSources;
}

const Control* FindControl(const Dialog& dialog, int id)
{
    for (const Control& c : dialog.controls)
        if (c.id == id) return &c;
    return nullptr;
}

const char* LoadString(int id)
{
    switch (id) {
        case kAboutMenuString:
            return "&About Talvero...";
        case kRecoContextFailString:
            return "Error recocontext fail";
        default:
            return "";
    }
}

std::span<const char* const> PunctuationPatterns()
{
    return kPunctuation;
}

}  // namespace res

}  // namespace talvero
