// The main window's additions to the local dictionary, the options dialog and the capture
// hotkey: the Add, Undo and add-from-results buttons, the confirmation, the additions banner,
// the hotkey's registration and its capture of the desktop's selection.
#include <wx/checkbox.h>
#include <wx/textctrl.h>

#include "app/gui/OptionsDlg.h"
#include "app/gui/TalveroDlg.h"
#include "base/TextFile.h"
#include "catalogue/Catalogue.h"
#include "dictionary/LocalDictionary.h"
#include "dictionary/gui/ConfirmationDlg.h"
#include "res/Templates.h"
#include "settings/Hotkey.h"
#include "settings/Options.h"
#include "settings/Services.h"
#include "ui/DialogBuilder.h"
#include "ui/MessageBox.h"

namespace {

using namespace res::ctl;

constexpr const char* kHotkeyFailedMessage = "RegisterHotKey failed";

// The capture waits this long for the selection's owner to answer.
constexpr int kCaptureWaitMs = 400;

// Lines the additions banner grows by for a text of `length` bytes.
unsigned AdditionBannerLines(size_t length)
{
    return unsigned(length / 36);
}

}  // namespace

void CTalveroDlg::SetUpAdditions()
{
    Bind(wxEVT_BUTTON, &CTalveroDlg::OnAdd, this, kAdd);
    Bind(wxEVT_BUTTON, &CTalveroDlg::OnUndo, this, kUndo);
    for (int id : {kAddGoogle, kAddBabelfish, kAddFreeTranslation})
        Bind(wxEVT_BUTTON, &CTalveroDlg::OnAddFromResults, this, id);
    // The desktop reports the hotkey from inside its event dispatch; the capture waits for
    // other programs, so it runs from the event loop, once per press however fast they come.
    parts.platform.hotkey->SetHandler([this] {
        if (capturePending || ended) return;
        capturePending = true;
        CallAfter([this] {
            capturePending = false;
            CaptureSelection();
        });
    });
}

// ---------------------------------------------------------------------------------------------
// Options and the hotkey

void CTalveroDlg::RunOptionsDialog()
{
    const Services services = LoadServices();
    ProxyConnection connection{services.useProxy, services.proxyPort, services.proxyServer};
    COptionsDlg dlg(this, settings, connection);
    if (dlg.ShowModal() != wxID_OK) return;
    const int oldFontSize = settings.fontSize;
    const bool oldTopmost = settings.topmostWindow;
    CopyOptions(dlg.values, settings);
    minimizeToTray = settings.minimizeToTray;
    if (settings.fontSize != oldFontSize) ApplyTextBoxFont(settings.fontSize);
    RegisterCaptureHotkey();
    if (settings.topmostWindow != oldTopmost) SetTopmost(settings.topmostWindow);
}

void CTalveroDlg::RegisterCaptureHotkey()
{
    IGlobalHotkey& hotkey = *parts.platform.hotkey;
    hotkey.Unregister();
    // A key position without a key (an edited settings file) registers nothing.
    const std::optional<HotkeyCombo> combo = HotkeyComboOf(settings);
    if (!combo || hotkey.Register(*combo) != HotkeyStatus::Registered)
        TalveroMessageBox(kHotkeyFailedMessage, res::kAppName, wxOK, this);
}

// ---------------------------------------------------------------------------------------------
// Additions

void CTalveroDlg::OnAdd(wxCommandEvent&)
{
    RunAddAction(ToPhrase(static_cast<wxTextCtrl*>(FindWindow(kNewText))->GetValue()),
                 ToPhrase(static_cast<wxTextCtrl*>(FindWindow(kNewTranslation))->GetValue()));
}

void CTalveroDlg::OnAddFromResults(wxCommandEvent&)
{
    // Every row's button takes the Google result.
    RunAddAction(ToPhrase(input->GetValue()),
                 ToPhrase(static_cast<wxTextCtrl*>(FindWindow(kGoogleResult))->GetValue()));
}

void CTalveroDlg::RunAddAction(const std::string& originalIn, const std::string& translationIn)
{
    // The confirmation and the upload let other commands run meanwhile; one addition at a time,
    // and one asked for meanwhile follows in turn.
    if (additionBusy) {
        waitingAdditions.emplace_back(originalIn, translationIn);
        return;
    }
    additionBusy = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{additionBusy};
    RunOneAddition(originalIn, translationIn);
    while (!waitingAdditions.empty() && !ended) {
        const std::pair<std::string, std::string> next = std::move(waitingAdditions.front());
        waitingAdditions.pop_front();
        RunOneAddition(next.first, next.second);
    }
    waitingAdditions.clear();
}

void CTalveroDlg::RunOneAddition(const std::string& originalIn, const std::string& translationIn)
{
    std::string original(TrimWhiteSpace(originalIn));
    std::string translation(TrimWhiteSpace(translationIn));
    if (settings.confirmBeforeAdding) {
        CConfirmationDlg dlg(this);
        dlg.originalText = original;
        dlg.translatedText = translation;
        if (dlg.ShowModal() != wxID_OK) return;
        original = dlg.originalText;
        translation = dlg.translatedText;
    }
    AddTranslation(std::move(original), std::move(translation));
}

void CTalveroDlg::AddTranslation(std::string original, std::string translation)
{
    LocalDictionary* dictionary = parts.dictionary->Engine();
    if (!dictionary) return;
    dictionary->uploadPair = nullptr;
    if (settings.uploadNewTranslations)
        dictionary->uploadPair = [this](const std::string& o, const std::string& t) {
            UploadAddition(o, t);
        };
    LocalDictionary::AddResult added =
        dictionary->AddTranslation(std::move(original), std::move(translation));
    dictionary->uploadPair = nullptr;
    // The pair could not be stored in the personal file: say so rather than pretend.
    if (!added.error.empty())
        TalveroMessageBox(FromPhrase(added.error), res::kAppName, wxOK | wxICON_WARNING, this);
    // Nothing was added (an empty side): nothing to announce.
    if (added.original.empty() || added.translation.empty()) return;
    if (settings.showTranslationBanner && !ended) {
        const std::string text = added.original + " <===> " + added.translation;
        parts.banners->ShowAddition(text, AdditionBannerLines(text.size()));
    }
}

void CTalveroDlg::UploadAddition(const std::string& original, const std::string& translation)
{
    // The window's single upload (TalveroDlgOnline.cpp); a failed upload passes silently: the
    // pair is in the personal file either way.
    UploadPair(original, translation);
}

void CTalveroDlg::OnUndo(wxCommandEvent&)
{
    LocalDictionary* dictionary = parts.dictionary->Engine();
    if (!dictionary) return;
    std::string error;
    if (!dictionary->UndoAddition(&error))
        TalveroMessageBox(FromPhrase(error), res::kAppName, wxOK | wxICON_WARNING, this);
}

// ---------------------------------------------------------------------------------------------
// The capture

void CTalveroDlg::CaptureSelection()
{
    if (!settings.hotkeyFillsBoxes || captureBusy || ended) return;
    captureBusy = true;
    ObtainCapturedText([this](std::optional<std::string> text) {
        captureBusy = false;
        if (text && !ended) ApplyCapturedText(*text);
    });
}

// How the selected text is obtained, in one step that hands it on: the desktop's selection is
// read without a key sent to any program, the clipboard only when nothing is selected.
void CTalveroDlg::ObtainCapturedText(std::function<void(std::optional<std::string>)> then)
{
    parts.platform.clipboard->CaptureSelection(kCaptureWaitMs,
                                               [then = std::move(then)](const CapturedText& got) {
                                                   if (got.outcome == CaptureOutcome::Text)
                                                       then(got.text);
                                                   else
                                                       then(std::nullopt);
                                               });
}

void CTalveroDlg::ApplyCapturedText(const std::string& text)
{
    const wxString value = FromPhrase(text);
    if (nextHotkeyBox == HotkeyBox::Text) {
        static_cast<wxTextCtrl*>(FindWindow(kNewText))->ChangeValue(value);
        nextHotkeyBox = HotkeyBox::Translation;
        return;
    }
    static_cast<wxTextCtrl*>(FindWindow(kNewTranslation))->ChangeValue(value);
    nextHotkeyBox = HotkeyBox::Text;
    if (static_cast<wxCheckBox*>(FindWindow(kAddAutomatically))->GetValue()) {
        wxCommandEvent add(wxEVT_BUTTON, kAdd);
        OnAdd(add);
    }
}
