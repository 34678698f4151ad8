#include "app/gui/AdditionsController.h"

#include <wx/checkbox.h>
#include <wx/textctrl.h>

#include "app/WindowServices.h"
#include "app/gui/Banners.h"
#include "base/TextFile.h"
#include "dictionary/LocalDictionary.h"
#include "dictionary/gui/ConfirmationDlg.h"
#include "res/Templates.h"
#include "settings/Hotkey.h"
#include "settings/Settings.h"
#include "ui/Control.h"
#include "ui/DialogBuilder.h"
#include "ui/MessageBox.h"

namespace talvero {

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

CAdditionsController::CAdditionsController(wxWindow* window, wxTextCtrl* input,
                                           ILocalDictionary& dictionary, IBanners& banners,
                                           Platform& platform, const Settings& settings,
                                           const MainWindowState& state, Upload upload)
    : window(window),
      input(input),
      dictionary(dictionary),
      banners(banners),
      platform(platform),
      settings(settings),
      state(state),
      upload(std::move(upload))
{
    window->Bind(wxEVT_BUTTON, &CAdditionsController::OnAdd, this, kAdd);
    window->Bind(wxEVT_BUTTON, &CAdditionsController::OnUndo, this, kUndo);
    // Every row's button takes the Google result.
    for (int id : {kAddGoogle, kAddBabelfish, kAddFreeTranslation})
        window->Bind(
            wxEVT_BUTTON,
            [this](wxCommandEvent&) {
                RunAddAction(ToPhrase(this->input->GetValue()),
                             ToPhrase(Box(kGoogleResult)->GetValue()));
            },
            id);
    // The desktop reports the hotkey from inside its event dispatch; the capture waits for
    // other programs, so it runs from the event loop, once per press however fast they come.
    platform.hotkey->SetHandler([this] {
        if (captureQueued || this->state.Ended()) return;
        captureQueued = true;
        this->window->CallAfter([this] {
            captureQueued = false;
            CaptureSelection();
        });
    });
}

CAdditionsController::~CAdditionsController()
{
    Stop();
    platform.hotkey->SetHandler({});
}

wxTextCtrl* CAdditionsController::Box(int id) const
{
    return Control<wxTextCtrl>(window, id);
}

void CAdditionsController::Stop()
{
    // A capture still waiting for the selection's owner must not answer into an ended window.
    if (platform.clipboard) platform.clipboard->CancelCapture();
}

void CAdditionsController::RegisterHotkey()
{
    IGlobalHotkey& hotkey = *platform.hotkey;
    hotkey.Unregister();
    // A key position without a key (an edited settings file) registers nothing.
    const std::optional<HotkeyCombo> combo = HotkeyComboOf(settings);
    if (!combo || hotkey.Register(*combo) != HotkeyStatus::Registered)
        TalveroMessageBox(kHotkeyFailedMessage, res::kAppName, wxOK, window);
}

void CAdditionsController::OnAdd(wxCommandEvent&)
{
    RunAddAction(ToPhrase(Box(kNewText)->GetValue()), ToPhrase(Box(kNewTranslation)->GetValue()));
}

void CAdditionsController::RunAddAction(const std::string& original, const std::string& translation)
{
    if (busy) {
        waiting.emplace_back(original, translation);
        return;
    }
    busy = true;
    RunOneAddition(original, translation);
}

void CAdditionsController::RunNextAddition()
{
    if (waiting.empty() || state.Ended()) {
        waiting.clear();
        busy = false;
        return;
    }
    const std::pair<std::string, std::string> next = std::move(waiting.front());
    waiting.pop_front();
    RunOneAddition(next.first, next.second);
}

void CAdditionsController::RunOneAddition(const std::string& originalIn,
                                          const std::string& translationIn)
{
    std::string original(TrimWhiteSpace(originalIn));
    std::string translation(TrimWhiteSpace(translationIn));
    if (settings.confirmBeforeAdding) {
        CConfirmationDlg dlg(window);
        dlg.originalText = original;
        dlg.translatedText = translation;
        if (dlg.ShowModal() != wxID_OK) {
            RunNextAddition();
            return;
        }
        original = dlg.originalText;
        translation = dlg.translatedText;
    }
    AddTranslation(std::move(original), std::move(translation), [this] { RunNextAddition(); });
}

void CAdditionsController::AddTranslation(std::string original, std::string translation,
                                          std::function<void()> then)
{
    LocalDictionary* engine = dictionary.Engine();
    if (!engine) {
        then();
        return;
    }
    // Both files take the pair before it goes to the server: a window closed or a program
    // ended while the server takes its time loses nothing.
    std::optional<std::pair<std::string, std::string>> toUpload;
    engine->uploadPair = nullptr;
    if (settings.uploadNewTranslations)
        engine->uploadPair = [&toUpload](const std::string& o, const std::string& t) {
            toUpload.emplace(o, t);
        };
    LocalDictionary::AddResult added =
        engine->AddTranslation(std::move(original), std::move(translation));
    engine->uploadPair = nullptr;
    // The pair could not be stored in the personal file: say so rather than pretend.
    if (!added.error.empty())
        TalveroMessageBox(FromPhrase(added.error), res::kAppName, wxOK | wxICON_WARNING, window);
    // Nothing was added (an empty side): nothing to announce.
    auto announce = [this, added, then = std::move(then)] {
        if (!added.original.empty() && !added.translation.empty() &&
            settings.showTranslationBanner && !state.Ended()) {
            const std::string text = added.original + " <===> " + added.translation;
            banners.ShowAddition(text, AdditionBannerLines(text.size()));
        }
        then();
    };
    // A failed upload passes silently: the pair is in the personal file either way.
    if (toUpload)
        upload(toUpload->first, toUpload->second, std::move(announce));
    else
        announce();
}

void CAdditionsController::OnUndo(wxCommandEvent&)
{
    LocalDictionary* engine = dictionary.Engine();
    if (!engine) return;
    std::string error;
    if (!engine->UndoAddition(&error))
        TalveroMessageBox(FromPhrase(error), res::kAppName, wxOK | wxICON_WARNING, window);
}

void CAdditionsController::CaptureSelection()
{
    if (!settings.hotkeyFillsBoxes || capturing || state.Ended()) return;
    capturing = true;
    // The desktop's selection is read without a key sent to any program, the clipboard only
    // when nothing is selected.
    platform.clipboard->CaptureSelection(kCaptureWaitMs, [this](const CapturedText& got) {
        capturing = false;
        if (got.outcome == CaptureOutcome::Text && !state.Ended()) ApplyCapturedText(got.text);
    });
}

void CAdditionsController::ApplyCapturedText(const std::string& text)
{
    const wxString value = FromPhrase(text);
    if (nextBox == HotkeyBox::Text) {
        Box(kNewText)->ChangeValue(value);
        nextBox = HotkeyBox::Translation;
        return;
    }
    Box(kNewTranslation)->ChangeValue(value);
    nextBox = HotkeyBox::Text;
    if (Control<wxCheckBox>(window, kAddAutomatically)->GetValue()) {
        wxCommandEvent add(wxEVT_BUTTON, kAdd);
        OnAdd(add);
    }
}

}  // namespace talvero
