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
    platform.hotkey->SetTranslateSelectionHandler([this] {
        if (translateQueued || this->state.Ended() || !translateAction) return;
        translateQueued = true;
        this->window->CallAfter([this] {
            translateQueued = false;
            TranslateSelection(translateAction);
        });
    });
    // A desktop that answers later (the shortcuts portal) may still refuse the combination.
    // (From the desktop's answer: the message box, if any, opens from the event loop.)
    platform.hotkey->SetOutcomeHandler([this](HotkeyStatus status) {
        this->window->CallAfter([this, status] {
            if (!this->state.Ended()) TakeHotkeyStatus(status);
        });
    });
}

CAdditionsController::~CAdditionsController()
{
    Stop();
    platform.hotkey->SetHandler({});
    platform.hotkey->SetTranslateSelectionHandler({});
    platform.hotkey->SetOutcomeHandler({});
}

wxTextCtrl* CAdditionsController::Box(int id) const
{
    return Control<wxTextCtrl>(window, id);
}

void CAdditionsController::Stop()
{
    // A capture still waiting for the selection's owner must not answer into an ended window;
    // those waiting for it hear that it is over.
    if (platform.clipboard) platform.clipboard->CancelCapture();
    std::deque<SelectionRead> cancelled = std::move(reads);
    reads.clear();
    for (SelectionRead& read : cancelled)
        for (auto& d : read.done)
            d();
}

void CAdditionsController::RegisterHotkey()
{
    IGlobalHotkey& hotkey = *platform.hotkey;
    hotkey.Unregister();
    // A key position without a key (an edited settings file) registers nothing.
    const std::optional<HotkeyCombo> combo = HotkeyComboOf(settings);
    TakeHotkeyStatus(combo ? hotkey.Register(*combo) : HotkeyStatus::NoSuchKey);
}

void CAdditionsController::TakeHotkeyStatus(HotkeyStatus status)
{
    hotkeyStatus = status;
    // A desktop without any global hotkey is no failure of the combination: the options
    // dialog says which command to bind instead.
    if (status == HotkeyStatus::Taken || status == HotkeyStatus::NoSuchKey)
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

void CAdditionsController::CaptureSelection(std::function<void()> done)
{
    if (!settings.hotkeyFillsBoxes || state.Ended()) {
        if (done) done();
        return;
    }
    SelectionRead read;
    read.forCapture = true;
    read.use = [this](const CapturedText& got) {
        if (got.outcome == CaptureOutcome::Text && !state.Ended()) ApplyCapturedText(got.text);
    };
    if (done) read.done.push_back(std::move(done));
    RequestRead(std::move(read));
}

void CAdditionsController::TranslateSelection(std::function<void()> translate,
                                              std::function<void()> done)
{
    if (state.Ended()) {
        if (done) done();
        return;
    }
    SelectionRead read;
    read.use = [this, translate = std::move(translate)](const CapturedText& got) {
        if (got.outcome != CaptureOutcome::Text || state.Ended()) return;
        input->ChangeValue(FromPhrase(got.text));
        translate();
    };
    if (done) read.done.push_back(std::move(done));
    RequestRead(std::move(read));
}

void CAdditionsController::RequestRead(SelectionRead read)
{
    // Two captures at once fill one box, not both with the same text.
    if (read.forCapture)
        for (SelectionRead& waiting : reads)
            if (waiting.forCapture) {
                for (auto& d : read.done)
                    waiting.done.push_back(std::move(d));
                return;
            }
    reads.push_back(std::move(read));
    if (reads.size() == 1) StartRead();
}

void CAdditionsController::StartRead()
{
    // The desktop's selection is read without a key sent to any program, the clipboard only
    // when nothing is selected.
    platform.clipboard->CaptureSelection(kCaptureWaitMs, [this](const CapturedText& got) {
        SelectionRead read = std::move(reads.front());
        reads.pop_front();
        // Whoever waits hears first: what follows may open a confirmation.
        for (auto& d : read.done)
            d();
        read.use(got);
        if (!reads.empty()) {
            if (state.Ended())
                reads.clear();
            else
                StartRead();
        }
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
