#include "app/gui/MainWindowSettings.h"

#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/combobox.h>
#include <wx/font.h>
#include <wx/fontenum.h>

#include "catalogue/Catalogue.h"
#include "res/Resources.h"
#include "res/Templates.h"
#include "settings/Settings.h"
#include "ui/Control.h"
#include "ui/DialogBuilder.h"
#include "ui/MessageBox.h"

namespace talvero {

namespace {

using namespace res::ctl;

// Check boxes held by settings keys. Flag boxes update their member when clicked; the others are
// read from the control when the settings are written.
struct CheckBinding {
    int id;
    bool Settings::*member;
    bool isFlag;
};
const CheckBinding kCheckBindings[] = {
    {kUseLocal, &Settings::useLocalDictionary, true},
    {kUseGoogle, &Settings::useGoogle, true},
    {kUseBabelfish, &Settings::useBabelfish, true},
    {kUseFreeTranslation, &Settings::useFreeTranslation, true},
    {kRecognition, &Settings::activateSpeechRecognition, true},
    {kAutoTranslate, &Settings::launchTranslationAutomatically, true},
    {kTranslateHypothesis, &Settings::translateHypothesis, false},
    {kSpeakGoogle, &Settings::speakGoogle, true},
    {kSpeakBabelfish, &Settings::speakBabelfish, true},
    {kSpeakFreeTranslation, &Settings::speakFreeTranslation, true},
    {kSpeakLocal, &Settings::speakLocal, true},
    {kNearSearch, &Settings::nearSearch, true},
    {kHotkeyFills, &Settings::hotkeyFillsBoxes, true},
    {kAddAutomatically, &Settings::addAutomaticallyWhenFilled, false},
    {kTranslateHistorySelection, &Settings::translateHistorySelection, false},
    {kCopyOnlyToHistory, &Settings::copyRecognizedOnlyToHistory, true},
};

const PairList kPairLists[4] = {PairList::Google, PairList::Babelfish, PairList::FreeTranslation,
                                PairList::Local};
int Settings::*const kPairMembers[4] = {
    &Settings::googlePairPosition, &Settings::babelfishPairPosition,
    &Settings::freeTranslationPairPosition, &Settings::localPairPosition};

}  // namespace

void FillPairLists(const PairCombos& pairCombos, wxComboBox* punctuation)
{
    for (int i = 0; i < 4; ++i) {
        wxArrayString names;
        for (const PairEntry& e : PairsOf(kPairLists[i]))
            names.Add(FromPhrase(e.displayName));
        pairCombos[i]->Set(names);
        pairCombos[i]->SetSelection(0);
    }
    const auto patterns = res::PunctuationPatterns();
    for (const char* p : patterns)
        punctuation->Append(wxString::FromUTF8(p));
}

bool LoadSettingsIntoControls(wxWindow* window, Settings& settings, const PairCombos& pairCombos)
{
    // A file that is there but cannot be read still holds the user's settings: start on the
    // defaults, say so, and leave the file alone at exit.
    // A file set aside or values brought into range are said once too: the user edited
    // something that did not take.
    std::string settingsMessage;
    const bool unreadable =
        LoadSettingsFile(settings, kSettingsFileName, &settingsMessage) == SettingsLoad::Unreadable;
    if (unreadable)
        settingsMessage +=
            ". Talvero starts with the default settings and will not save over that file.";
    if (!settingsMessage.empty())
        TalveroMessageBox(FromPhrase(settingsMessage), res::kAppName, wxOK | wxICON_WARNING,
                          window);
    for (const CheckBinding& b : kCheckBindings)
        Control<wxCheckBox>(window, b.id)->SetValue(settings.*b.member);
    for (int i = 0; i < 4; ++i) {
        int pos = settings.*kPairMembers[i];
        if (pos >= 0 && pos < static_cast<int>(pairCombos[i]->GetCount()))
            pairCombos[i]->SetSelection(pos);
    }
    // The pair list shows the pair whose dictionary is loaded, also when no pair is stored
    // (it would otherwise show position 0 while es_en loads, and save position 0 at exit).
    for (const PairEntry& e : PairsOf(PairList::Local))
        if (LocalDictionaryFileName(e.dictionaryCode) == settings.localDictionaryFile) {
            pairCombos[3]->SetSelection(e.position);
            settings.localPairPosition = e.position;
        }
    return !unreadable;
}

void ReadControlsIntoSettings(wxWindow* window, Settings& settings, const PairCombos& pairCombos)
{
    for (const CheckBinding& b : kCheckBindings)
        if (!b.isFlag) settings.*b.member = Control<wxCheckBox>(window, b.id)->GetValue();
    for (int i = 0; i < 4; ++i)
        settings.*kPairMembers[i] = pairCombos[i]->GetSelection();
}

void TakeCheckedFlag(Settings& settings, int id, bool checked)
{
    for (const CheckBinding& b : kCheckBindings)
        if (b.id == id && b.isFlag) settings.*b.member = checked;
}

int ShownDelay(double d)
{
    if (d >= 2147483647.0) return 2147483647;
    if (d > -2147483648.0) return static_cast<int>(d);
    return -2147483647 - 1;
}

wxFont TextBoxFont(int size)
{
    // A size from an edited settings file may be anything; keep it drawable.
    if (size < 1) size = 1;
    if (size > 144) size = 144;
    static const bool haveArial = wxFontEnumerator::IsValidFacename("Arial");
    wxFontInfo info(size);
    info.Bold();
    if (haveArial)
        info.FaceName("Arial");
    else
        info.Family(wxFONTFAMILY_SWISS);
    return wxFont(info);
}

}  // namespace talvero
