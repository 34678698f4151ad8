#include "settings/Options.h"

namespace talvero {

void CopyOptions(const Settings& from, Settings& to)
{
    to.minimizeToTray = from.minimizeToTray;
    to.topmostWindow = from.topmostWindow;
    to.showTranslationBanner = from.showTranslationBanner;
    to.bannerSource = from.bannerSource;
    to.showOriginalTextBanner = from.showOriginalTextBanner;
    to.searchCombinations = from.searchCombinations;
    to.maxWordsInCombinations = from.maxWordsInCombinations;
    to.confirmBeforeAdding = from.confirmBeforeAdding;
    to.checkForUpdates = from.checkForUpdates;
    to.fontSize = from.fontSize;
    to.uploadNewTranslations = from.uploadNewTranslations;
    to.speakRecognizedText = from.speakRecognizedText;
    to.suspendRecognitionDuringTts = from.suspendRecognitionDuringTts;
    to.hotkeyBaseKeyCode = from.hotkeyBaseKeyCode;
    to.hotkeyAlt = from.hotkeyAlt;
    to.hotkeyCtrl = from.hotkeyCtrl;
    to.hotkeyShift = from.hotkeyShift;
    to.hotkeyWin = from.hotkeyWin;
    to.onlineUsername = from.onlineUsername;
    to.onlinePassword = from.onlinePassword;
}

}  // namespace talvero
