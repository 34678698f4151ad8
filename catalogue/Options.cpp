#include "catalogue/Options.h"

namespace {

const OptionsCheck kChecks[] = {
    {1040, &Settings::minimizeToTray},
    {1049, &Settings::topmostWindow},
    {1041, &Settings::showTranslationBanner},
    {1067, &Settings::showOriginalTextBanner},
    {1042, &Settings::searchCombinations},
    {1053, &Settings::confirmBeforeAdding},
    {1058, &Settings::checkForUpdates},
    {1061, &Settings::uploadNewTranslations},
    {1062, &Settings::speakRecognizedText},
    {1069, &Settings::suspendRecognitionDuringTts},
    {1044, &Settings::hotkeyAlt},
    {1045, &Settings::hotkeyCtrl},
    {1046, &Settings::hotkeyShift},
    {1047, &Settings::hotkeyWin},
};

}  // namespace

std::span<const OptionsCheck> OptionsChecks()
{
    return kChecks;
}

void CopyOptions(const Settings& from, Settings& to)
{
    for (const OptionsCheck& c : kChecks)
        to.*c.member = from.*c.member;
    to.bannerSource = from.bannerSource;
    to.maxWordsInCombinations = from.maxWordsInCombinations;
    to.fontSize = from.fontSize;
    to.hotkeyBaseKeyCode = from.hotkeyBaseKeyCode;
    to.onlineUsername = from.onlineUsername;
    to.onlinePassword = from.onlinePassword;
}
