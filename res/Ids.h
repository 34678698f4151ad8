#pragma once
// Every id of the resource table: dialogs, icons, bitmaps, menus, strings, commands and the
// controls of each dialog. The window layer, the tray and the templates (Templates.cpp) all use
// these names; nothing else spells an id as a number.

namespace talvero {

namespace res {

// Resources.
inline constexpr int kAboutDialog = 100;
inline constexpr int kAboutMenuString = 101;  // "&About Talvero..."
inline constexpr int kMainDialog = 102;
inline constexpr int kMainIcon = 128;
inline constexpr int kDisabledIcon = 129;
inline constexpr int kVoiceSelectionDialog = 129;
inline constexpr int kDelayDialog = 131;
inline constexpr int kTrayMenu = 132;
inline constexpr int kUploadDialog = 138;
inline constexpr int kOptionsDialog = 133;
inline constexpr int kConfirmationDialog = 136;
inline constexpr int kTrainingDialog = 141;
inline constexpr int kRecoContextFailString = 102;  // "Error recocontext fail"

// Bitmaps: the banners' skins.
inline constexpr int kAdditionsSkin = 131;
inline constexpr int kTranslationSkin = 132;

// Commands of the window menu (the desktop's stand-in for the system menu).
inline constexpr int kCmdAbout = 0x10;
inline constexpr int kCmdOptions = 0x2222;
// The button that opens the window menu (the desktop offers no system menu to the dialog).
inline constexpr int kWindowMenuButton = 1100;
// The options dialog's notes on what this desktop does not allow (shown only there).
inline constexpr int kHotkeyNote = 1101;
inline constexpr int kTopmostNote = 1102;

// Controls of the dialogs.
namespace ctl {
// Every dialog.
inline constexpr int kOk = 1;
inline constexpr int kCancel = 2;

// The main window (template 102).
inline constexpr int kExit = 1;
inline constexpr int kInput = 1000;
inline constexpr int kGoogleResult = 1002;
inline constexpr int kBabelfishResult = 1003;
inline constexpr int kFreeTranslationResult = 1004;
inline constexpr int kLocalResult = 1005;
inline constexpr int kNearList = 1006;
inline constexpr int kNewText = 1007;
inline constexpr int kNewTranslation = 1008;
inline constexpr int kAdd = 1009;
inline constexpr int kUndo = 1010;
inline constexpr int kVoiceSpeech = 1011;
inline constexpr int kRecognition = 1012;
inline constexpr int kSpeakSelection = 1013;
inline constexpr int kAutoTranslate = 1014;
inline constexpr int kHotkeyFills = 1015;
inline constexpr int kStop = 1016;
inline constexpr int kSpeakGoogle = 1017;
inline constexpr int kUseGoogle = 1018;
inline constexpr int kUseBabelfish = 1019;
inline constexpr int kSpeakBabelfish = 1020;
inline constexpr int kUseFreeTranslation = 1021;
inline constexpr int kSpeakFreeTranslation = 1022;
inline constexpr int kUseLocal = 1023;
inline constexpr int kSpeakLocal = 1024;
inline constexpr int kNearSearch = 1025;
inline constexpr int kPause = 1026;
inline constexpr int kSelectVoice = 1027;
inline constexpr int kGooglePair = 1028;
inline constexpr int kTranslate = 1032;
inline constexpr int kBabelfishPair = 1034;
inline constexpr int kFreeTranslationPair = 1035;
inline constexpr int kLocalPair = 1036;
inline constexpr int kSetDelay = 1038;
inline constexpr int kAddAutomatically = 1039;
inline constexpr int kOptions = 1048;
inline constexpr int kVoiceName = 1050;
inline constexpr int kClear = 1051;
inline constexpr int kAddGoogle = 1052;
inline constexpr int kAddBabelfish = 1053;
inline constexpr int kAddFreeTranslation = 1054;
inline constexpr int kHypothesis = 1055;
inline constexpr int kTranslateHypothesis = 1056;
inline constexpr int kHistory = 1057;
inline constexpr int kTranslateHistorySelection = 1058;
inline constexpr int kClearHistory = 1059;
inline constexpr int kPunctuationMarks = 1063;
inline constexpr int kUppercase = 1064;
inline constexpr int kPunctuation = 1065;
inline constexpr int kEngine = 1066;
inline constexpr int kTrain = 1068;
inline constexpr int kCopyOnlyToHistory = 1069;
inline constexpr int kRepeat = 1070;
inline constexpr int kUpload = 1073;

// The voice selection dialog (template 129).
inline constexpr int kVoiceList = 1028;
inline constexpr int kVoiceRate = 1029;
inline constexpr int kVoiceVolume = 1030;
inline constexpr int kVoiceFormat = 1031;

// The delay dialog (template 131).
inline constexpr int kDelayTime = 1037;

// The upload dialog (template 138); OK is "Upload", Cancel is "Skip".
inline constexpr int kUploadOriginal = 1050;
inline constexpr int kUploadReverse = 1058;
inline constexpr int kUploadRepeat = 1070;
inline constexpr int kUploadAbort = 1074;
inline constexpr int kUploadFrom = 1075;
inline constexpr int kUploadTranslation = 1076;
inline constexpr int kUploadTo = 1077;
// The options dialog (template 133).
inline constexpr int kOptMinimizeToTray = 1040;
inline constexpr int kOptShowBanner = 1041;
inline constexpr int kOptSearchCombinations = 1042;
inline constexpr int kOptHotkeyKey = 1043;
inline constexpr int kOptHotkeyAlt = 1044;
inline constexpr int kOptHotkeyCtrl = 1045;
inline constexpr int kOptHotkeyShift = 1046;
inline constexpr int kOptHotkeyWin = 1047;
inline constexpr int kOptTopmost = 1049;
inline constexpr int kOptMaxWords = 1050;
inline constexpr int kOptConfirmAdding = 1053;
inline constexpr int kOptBannerSource = 1054;
inline constexpr int kOptCheckUpdates = 1058;
inline constexpr int kOptFontSize = 1060;
inline constexpr int kOptUploadAdditions = 1061;
inline constexpr int kOptSpeakRecognized = 1062;
inline constexpr int kOptShowOriginal = 1067;
inline constexpr int kOptSuspendRecognition = 1069;
inline constexpr int kOptUsername = 1071;
inline constexpr int kOptPassword = 1072;

// The confirmation of an addition (template 136).
inline constexpr int kConfirmOriginal = 1050;
inline constexpr int kConfirmTranslation = 1051;

// The training dialog (template 141).
inline constexpr int kTrainingText = 1080;
inline constexpr int kTrainingStatus = 1081;
}  // namespace ctl

}  // namespace res

// Commands of menu resource kTrayMenu, the notification-area menu.
enum TrayMenuCommand {
    ID_TRAY_DISABLE = 32771,
    ID_TRAY_OPTIONS = 32772,
    ID_TRAY_EXIT = 32773,
    // Panels that show a StatusNotifierItem open its menu on any click, so the menu there
    // carries the way back to the window that a double click gives elsewhere.
    ID_TRAY_SHOW = 32774,
};

}  // namespace talvero
