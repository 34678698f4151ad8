#include "res/Templates.h"

namespace res {

namespace {

using K = Kind;

// Template 102: the main window.
const Control kMainControls[] = {
    {-1, K::Label, "Text to translate", false, nullptr},
    {1000, K::MultiEdit, "", false, "Text to translate"},
    {1032, K::DefaultButton, "Translate", false, nullptr},
    {1051, K::Button, "Clear", false, nullptr},
    {1038, K::Button, "Set time delay", false, nullptr},
    {1014, K::Check, "Launch translation automatically when input changes", false, nullptr},

    {-1, K::Label, "Recognized text history:", false, nullptr},
    {1057, K::RichEdit, "", false, "Recognized text history"},
    {1058, K::Check, "Translate text selected in history", false, nullptr},
    {1059, K::Button, "Clear history", false, nullptr},
    {-1, K::Label, "Speech recognition hypothesis:", false, nullptr},
    {1055, K::ReadOnlyMulti, "", false, "Speech recognition hypothesis"},
    {1056, K::Check, "Translate (search only in the local dictionary)", false, nullptr},

    {1018, K::Check, "Google translation", false, nullptr},
    {1028, K::DropList, "", false, "Google language pair"},
    {1002, K::ReadOnlyRich, "", false, "Google translation result"},
    {1017, K::Check, "Speak", false, "Speak Google translation"},
    {1052, K::Button, "Add to the local dictionary", false,
     "Add Google translation to the local dictionary"},

    {1019, K::Check, "Babelfish translation", false, nullptr},
    {1034, K::DropList, "", false, "Babelfish language pair"},
    {1003, K::ReadOnlyRich, "", false, "Babelfish translation result"},
    {1020, K::Check, "Speak", false, "Speak Babelfish translation"},
    {1053, K::Button, "Add to the local dictionary", false,
     "Add Babelfish translation to the local dictionary"},

    {1021, K::Check, "Freetranslation translation", false, nullptr},
    {1035, K::DropList, "", false, "Freetranslation language pair"},
    {1004, K::ReadOnlyRich, "", false, "Freetranslation translation result"},
    {1022, K::Check, "Speak", false, "Speak Freetranslation translation"},
    {1054, K::Button, "Add to the local dictionary", false,
     "Add Freetranslation translation to the local dictionary"},

    {1023, K::Check, "Local dictionary translation", false, nullptr},
    {1036, K::DropList, "", false, "Local dictionary language pair"},
    {1005, K::ReadOnlyRich, "", false, "Local dictionary translation result"},
    {1024, K::Check, "Speak", false, "Speak local dictionary translation"},

    {1025, K::Check, "Local dictionary near search (doubleclick)", false, nullptr},
    {1006, K::SortedListBox, "", false, "Near matches"},

    {-1, K::Group, "Add new translations to the personal dictionary", false, nullptr},
    {-1, K::Label, "Text", false, nullptr},
    {1007, K::Edit, "", false, "Text"},
    {-1, K::Label, "Translation", false, nullptr},
    {1008, K::Edit, "", false, "Translation"},
    {1009, K::Button, "Add", false, nullptr},
    {1010, K::Button, "Undo", false, nullptr},
    {1073, K::Button, "^", false, "Upload a file of translation pairs"},
    {1015, K::Check, "Activate hotkey to fill boxes", false, nullptr},
    {1039, K::Check,
     "Add automatically to the local dictionary when both boxes are filled via hotkey", false,
     nullptr},

    {-1, K::Group, "Text To Speech Voice", false, nullptr},
    {1050, K::ReadOnlyEdit, "", false, "Voice"},
    {1016, K::Button, "Stop", false, nullptr},
    {1026, K::Button, "Pause", false, nullptr},
    {1027, K::Button, "Select", false, nullptr},
    {1070, K::Button, "Repeat", false, nullptr},

    {-1, K::Group, "Dictation", false, nullptr},
    {1012, K::Check, "Activate Speech Recognition", false, nullptr},
    {1069, K::Check, "Copy only to history", false, nullptr},
    {1063, K::Check, "Add punctuation marks:", false, nullptr},
    {1065, K::DropDown, "", false, "Punctuation pattern"},
    {1064, K::Check, "Uppercase 1st letter", false, nullptr},
    {-1, K::Label, "Engine:", false, nullptr},
    {1066, K::SortedDropList, "", false, "Engine"},
    {1068, K::Button, "Train with text file", false, nullptr},

    {1048, K::Button, "Options", false, nullptr},
    {kWindowMenuButton, K::Button, "Menu", false, "Window menu"},
    {1, K::Button, "Exit", false, nullptr},
    {2, K::Button, "Cancel", true, nullptr},
    {1011, K::Check, "Enable voice speech", true, nullptr},
    {1013, K::Check, "Speak mouse text selection", true, nullptr},
};

// Template 131: the delay dialog.
const Control kDelayControls[] = {
    {-1, K::Label, "Time (milliseconds):", false, nullptr},
    {1037, K::Edit, "", false, "Time (milliseconds)"},
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
    {1, K::DefaultButton, "OK", false, nullptr},
    {2, K::Button, "Cancel", false, nullptr},
};

// Template 100: the About box.
const Control kAboutControls[] = {
    {-1, K::Icon, "", false, nullptr},
    {-1, K::Label, "Talvero 1.0", false, nullptr},
    {1, K::DefaultButton, "OK", false, nullptr},
};

// Template 133: the options dialog.
const Control kOptionsControls[] = {
    {1040, K::Check, "Minimize to system tray", false, nullptr},
    {1049, K::Check, "Topmost window", false, nullptr},
    {1041, K::Check, "Show a popup banner with the translation above the system tray", false,
     nullptr},
    {-1, K::Label, "Banner translation source (if active)", false, nullptr},
    {1054, K::DropDown, "", false, "Banner translation source (if active)"},
    {1067, K::Check, "Show also the original text", false, nullptr},
    {1042, K::Check, "Search for combinations of words in the local dictionay", false, nullptr},
    {-1, K::Label, "Maximum number of words to search for combinations:", false, nullptr},
    {1050, K::Edit, "", false, "Maximum number of words to search for combinations:"},
    {1053, K::Check, "Ask for confirmation when adding new translations to the local dictionary",
     false, nullptr},
    {1058, K::Check, "Check for program updates when the program starts", false, nullptr},
    {-1, K::Label, "Font size used in main text boxes (min 6 and max 20):", false, nullptr},
    {1060, K::Edit, "", false, "Font size used in main text boxes (min 6 and max 20):"},
    {1061, K::Check, "Upload dictionary addtions to the online database", false, nullptr},
    {1062, K::Check, "Speak back with TTS speech recognized text (pronunciation feedback)", false,
     nullptr},
    {1069, K::Check, "Suspend recognition during TTS output (to avoid undesired feedback)", false,
     nullptr},
    {-1, K::Group, "Hotkey to capture expressions for the local dictionaries", false, nullptr},
    {1043, K::DropDown, "", false, "Hotkey to capture expressions for the local dictionaries"},
    {1044, K::Check, "ALT", false, nullptr},
    {1045, K::Check, "CTRL", false, nullptr},
    {1046, K::Check, "SHIFT", false, nullptr},
    {1047, K::Check, "WIN key", false, nullptr},
    {-1, K::Group, "Online dictionaries", false, nullptr},
    {-1, K::Label, "User name:", false, nullptr},
    {1071, K::Edit, "", false, "User name:"},
    {-1, K::Label, "Password:", false, nullptr},
    {1072, K::PasswordEdit, "", false, "Password:"},
    {1, K::DefaultButton, "OK", false, nullptr},
    {2, K::Button, "Cancel", false, nullptr},
};

// Template 136: the confirmation of an addition.
const Control kConfirmationControls[] = {
    {-1, K::Label, "Do you want to add the next translation to the local dictionary?", false,
     nullptr},
    {-1, K::Label, "Original text:", false, nullptr},
    {1050, K::MultiEdit, "", false, "Original text:"},
    {-1, K::Label, "Translated text:", false, nullptr},
    {1051, K::MultiEdit, "", false, "Translated text:"},
    {1, K::DefaultButton, "OK", false, nullptr},
    {2, K::Button, "Cancel", false, nullptr},
};

const char* const kBannerSources[] = {"Local dictionary", "Google", "Babelfish", "FreeTranslation"};

const Dialog kMain = {kMainDialog, "Talvero", 577, 373, kMainControls};
const Dialog kDelay = {kDelayDialog, "Set delay time for automatic translation", 282, 111,
                       kDelayControls};
const Dialog kAbout = {kAboutDialog, "About Talvero", 235, 72, kAboutControls};
const Dialog kOptions = {kOptionsDialog, "Set options", 300, 330, kOptionsControls};
const Dialog kConfirmation = {kConfirmationDialog, "Add new translations to the local dictionary",
                              260, 150, kConfirmationControls};

const char* const kPunctuation[] = {"Text?", "\xC2\xBFText?", "Text ?", "Text;",
                                    "Text!", "\xC2\xA1Text!", "Text."};

}  // namespace

const Dialog& MainDialog()
{
    return kMain;
}
const Dialog& DelayDialog()
{
    return kDelay;
}
const Dialog& AboutDialog()
{
    return kAbout;
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
        default:
            return "";
    }
}

std::span<const char* const> PunctuationPatterns()
{
    return kPunctuation;
}

}  // namespace res
