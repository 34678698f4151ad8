#include "app/gui/OptionsDlg.h"

#include <climits>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/combobox.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "res/Ids.h"
#include "res/Templates.h"
#include "settings/FieldValidation.h"
#include "settings/Hotkey.h"
#include "ui/Accessibility.h"
#include "ui/Control.h"
#include "ui/DialogBuilder.h"
#include "ui/MessageBox.h"

namespace talvero {

namespace {
using namespace res::ctl;

const COptionsDlg::Check kChecks[] = {
    {kOptMinimizeToTray, &Settings::minimizeToTray},
    {kOptTopmost, &Settings::topmostWindow},
    {kOptShowBanner, &Settings::showTranslationBanner},
    {kOptShowOriginal, &Settings::showOriginalTextBanner},
    {kOptSearchCombinations, &Settings::searchCombinations},
    {kOptConfirmAdding, &Settings::confirmBeforeAdding},
    {kOptCheckUpdates, &Settings::checkForUpdates},
    {kOptUploadAdditions, &Settings::uploadNewTranslations},
    {kOptSpeakRecognized, &Settings::speakRecognizedText},
    {kOptSuspendRecognition, &Settings::suspendRecognitionDuringTts},
    {kOptHotkeyAlt, &Settings::hotkeyAlt},
    {kOptHotkeyCtrl, &Settings::hotkeyCtrl},
    {kOptHotkeyShift, &Settings::hotkeyShift},
    {kOptHotkeyWin, &Settings::hotkeyWin},
};

// An entry typed into the edit field selects the entry it names, in any letter case and with
// stray blanks around it ("z" is the key Z); other text selects none.
int PositionOf(const wxComboBox* combo)
{
    const int found = combo->FindString(combo->GetValue().Strip(wxString::both), false);
    return found == wxNOT_FOUND ? -1 : found;
}

void ShowPosition(wxComboBox* combo, int position)
{
    if (position >= 0 && position < int(combo->GetCount()))
        combo->SetSelection(position);
    else
        combo->ChangeValue(wxString());
}
}  // namespace

// clang-format off
wxBEGIN_EVENT_TABLE(COptionsDlg, wxDialog)
    EVT_BUTTON(kOk, COptionsDlg::OnOK)
    EVT_BUTTON(kCancel, COptionsDlg::OnCancel)
wxEND_EVENT_TABLE()
// clang-format on

COptionsDlg::COptionsDlg(wxWindow* parent, const Settings& valuesIn,
                         const ProxyConnection& connectionIn, const OptionsNotes& notes)
    : wxDialog(parent, wxID_ANY, wxString::FromUTF8(res::OptionsDialog().caption)),
      values(valuesIn),
      connection(connectionIn)
{
    LayOut(notes);
    ShowValues();
    SetAffirmativeId(kOk);
    SetEscapeId(kCancel);
    TagTemplateControls(this, res::OptionsDialog());
    KeepEnterInDialog(this, [this] {
        wxCommandEvent ok(wxEVT_BUTTON, kOk);
        OnOK(ok);
    });
    CentreOnParent();
}

std::span<const COptionsDlg::Check> COptionsDlg::Checks()
{
    return kChecks;
}

void COptionsDlg::LayOut(const OptionsNotes& notes)
{
    const res::Dialog& t = res::OptionsDialog();
    const int gap = ConvertDialogToPixels(wxSize(4, 4)).x;
    const int vgap = ConvertDialogToPixels(wxSize(3, 3)).y;
    const int margin = ConvertDialogToPixels(wxSize(7, 7)).x;
    auto make = [&](wxWindow* parent, int id) { return CreateTemplateControl(parent, t, id); };
    auto label = [&](wxWindow* parent, const char* text) {
        return CreateTemplateLabel(parent, t, text);
    };
    auto* top = new wxBoxSizer(wxVERTICAL);
    auto check = [&](int id) { top->Add(make(this, id), 0, wxBOTTOM, vgap); };
    auto numberRow = [&](const char* text, int id) {
        auto* row = new wxBoxSizer(wxHORIZONTAL);
        row->Add(label(this, text), 0, wxALIGN_CENTER_VERTICAL);
        auto* edit = CreateTemplateControl<wxTextCtrl>(this, t, id);
        edit->SetMinSize(wxSize(ConvertDialogToPixels(wxSize(30, 0)).x, -1));
        row->Add(edit, 0, wxLEFT | wxALIGN_CENTER_VERTICAL, gap);
        top->Add(row, 0, wxBOTTOM, vgap);
        return edit;
    };

    auto note = [&](int id, const char* text, int indent) {
        auto* line = new wxStaticText(this, id, wxString::FromUTF8(text));
        SetAccessibleId(line);
        auto* row = new wxBoxSizer(wxHORIZONTAL);
        row->Add(line, 0, wxLEFT, indent);
        top->Add(row, 0, wxBOTTOM, vgap);
    };
    check(kOptMinimizeToTray);
    check(kOptTopmost);
    if (notes.compositorPlacesWindows) note(res::kTopmostNote, kTopmostNoteText, margin * 2);
    check(kOptShowBanner);
    auto* sourceRow = new wxBoxSizer(wxHORIZONTAL);
    sourceRow->Add(label(this, "Banner translation source (if active)"), 0,
                   wxALIGN_CENTER_VERTICAL | wxLEFT, margin * 2);
    bannerSource = CreateTemplateControl<wxComboBox>(this, t, kOptBannerSource);
    for (const char* name : res::BannerSourceNames())
        bannerSource->Append(wxString::FromUTF8(name));
    sourceRow->Add(bannerSource, 0, wxLEFT | wxALIGN_CENTER_VERTICAL, gap);
    top->Add(sourceRow, 0, wxBOTTOM, vgap);
    auto* originalRow = new wxBoxSizer(wxHORIZONTAL);
    originalRow->Add(make(this, kOptShowOriginal), 0, wxLEFT, margin * 2);
    top->Add(originalRow, 0, wxBOTTOM, vgap);
    check(kOptSearchCombinations);
    maxWords = numberRow("Maximum number of words to search for combinations:", kOptMaxWords);
    check(kOptConfirmAdding);
    check(kOptCheckUpdates);
    fontSize = numberRow("Font size used in main text boxes (min 6 and max 20):", kOptFontSize);
    check(kOptUploadAdditions);
    check(kOptSpeakRecognized);
    check(kOptSuspendRecognition);

    auto* hotkey = new wxStaticBoxSizer(wxHORIZONTAL, this,
                                        "Hotkey to capture expressions for the local dictionaries");
    wxWindow* box = hotkey->GetStaticBox();
    hotkeyKey = CreateTemplateControl<wxComboBox>(box, t, kOptHotkeyKey);
    for (const char* name : HotkeyKeyNames())
        hotkeyKey->Append(name);
    hotkey->Add(hotkeyKey, 0, wxALIGN_CENTER_VERTICAL | wxALL, vgap);
    for (int id : {kOptHotkeyAlt, kOptHotkeyCtrl, kOptHotkeyShift, kOptHotkeyWin})
        hotkey->Add(make(box, id), 0, wxALIGN_CENTER_VERTICAL | wxLEFT, gap * 2);
    top->Add(hotkey, 0, wxEXPAND | wxTOP | wxBOTTOM, vgap);
    if (notes.noGlobalHotkey) note(res::kHotkeyNote, kNoHotkeyNote, 0);

    auto* online = new wxStaticBoxSizer(wxVERTICAL, this, "Online dictionaries");
    box = online->GetStaticBox();
    auto* fields = new wxFlexGridSizer(2, vgap, gap);
    fields->Add(label(box, "User name:"), 0, wxALIGN_CENTER_VERTICAL);
    username = CreateTemplateControl<wxTextCtrl>(box, t, kOptUsername);
    fields->Add(username, 0, wxEXPAND);
    fields->Add(label(box, "Password:"), 0, wxALIGN_CENTER_VERTICAL);
    password = CreateTemplateControl<wxTextCtrl>(box, t, kOptPassword);
    // A hidden-text entry asks for less height than a plain one, and is then drawn cut off.
    password->SetMinSize(wxSize(-1, username->GetBestSize().y));
    fields->Add(password, 0, wxEXPAND);
    fields->AddGrowableCol(1, 1);
    online->Add(fields, 0, wxEXPAND | wxALL, vgap);
    top->Add(online, 0, wxEXPAND | wxBOTTOM, vgap);

    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    buttons->AddStretchSpacer();
    buttons->Add(make(this, kOk));
    buttons->Add(make(this, kCancel), 0, wxLEFT, gap);
    top->Add(buttons, 0, wxEXPAND | wxTOP, vgap * 2);

    auto* outer = new wxBoxSizer(wxVERTICAL);
    outer->Add(top, 1, wxEXPAND | wxALL, margin);
    SetSizer(outer);
    SizeToTemplate(this, res::OptionsDialog());
}

void COptionsDlg::ShowValues()
{
    for (const Check& c : kChecks)
        Control<wxCheckBox>(this, c.id)->SetValue(values.*c.member);
    ShowPosition(bannerSource, values.bannerSource);
    ShowPosition(hotkeyKey, values.hotkeyBaseKeyCode);
    maxWords->ChangeValue(wxString::Format("%d", values.maxWordsInCombinations));
    fontSize->ChangeValue(wxString::Format("%d", values.fontSize));
    // A longer stored name (an edited settings file) is shown cut to the box's limit; it is
    // kept whole unless the user changes the box.
    username->ChangeValue(FromPhrase(values.onlineUsername));
    username->SetMaxLength(kOptionsMaxUsernameLength);
    shownUsername = username->GetValue();
    password->ChangeValue(FromPhrase(values.onlinePassword));
}

bool COptionsDlg::ReadControls()
{
    // In the dialog's order: the first invalid box stops OK with its message.
    struct Number {
        wxTextCtrl* box;
        int min, max;
        int* target;
    };
    int words = 0, size = 0;
    const Number numbers[] = {{maxWords, INT_MIN, INT_MAX, &words},
                              {fontSize, kOptionsMinFontSize, kOptionsMaxFontSize, &size}};
    for (const Number& n : numbers) {
        IntegerField field = CheckIntegerField(ToPhrase(n.box->GetValue()), n.min, n.max);
        if (!field.ok) {
            TalveroMessageBox(wxString::FromUTF8(field.message), res::kAppName,
                              wxOK | wxICON_EXCLAMATION, this);
            n.box->SetFocus();
            n.box->SelectAll();
            return false;
        }
        *n.target = field.value;
    }
    for (const Check& c : kChecks)
        values.*c.member = Control<wxCheckBox>(this, c.id)->GetValue();
    values.bannerSource = PositionOf(bannerSource);
    values.hotkeyBaseKeyCode = PositionOf(hotkeyKey);
    values.maxWordsInCombinations = words;
    values.fontSize = size;
    if (username->GetValue() != shownUsername)
        values.onlineUsername = ToPhrase(username->GetValue());
    values.onlinePassword = ToPhrase(password->GetValue());
    return true;
}

void COptionsDlg::OnOK(wxCommandEvent&)
{
    if (!ReadControls()) return;
    if (IsModal())
        EndModal(wxID_OK);
    else
        SetReturnCode(wxID_OK), Hide();
}

void COptionsDlg::OnCancel(wxCommandEvent&)
{
    if (IsModal())
        EndModal(wxID_CANCEL);
    else
        SetReturnCode(wxID_CANCEL), Hide();
}

}  // namespace talvero
