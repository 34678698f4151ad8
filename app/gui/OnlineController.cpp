#include "app/gui/OnlineController.h"

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/filedlg.h>
#include <wx/filename.h>
#include <wx/toplevel.h>

#include "app/WindowServices.h"
#include "base/CodePage.h"
#include "catalogue/Catalogue.h"
#include "online/gui/UploadDictionaryDlg.h"
#include "res/Templates.h"
#include "settings/Settings.h"
#include "speech/Voice.h"
#include "ui/Control.h"
#include "ui/DialogBuilder.h"
#include "ui/MessageBox.h"

namespace talvero {

namespace {
constexpr const char* kPairsFileFilter =
    "Translation pairs text file (*.txt)|*.txt|All Files (*.*)|*.*";
}  // namespace

COnlineController::COnlineController(wxTopLevelWindow* window, ISpeech& speech, Settings& settings,
                                     const MainWindowState& state)
    : window(window),
      speech(speech),
      settings(settings),
      state(state),
      services(LoadServices()),
      uploader(services)
{
    OnlineHooks& hooks = uploader.Hooks();
    hooks.caption = this;
    // When the window ends meanwhile a request stops at once.
    hooks.cancelled = [stop = tasks.StopFlag(), ending = ending] { return *stop || *ending; };
    post = tasks.Poster();
    window->Bind(wxEVT_BUTTON, &COnlineController::OnUploadPairsFile, this, res::ctl::kUpload);
}

COnlineController::~COnlineController()
{
    check.Cancel();
}

void COnlineController::Start()
{
    if (settings.checkForUpdates) check.Start(services, *this);
}

void COnlineController::SetStatusText(const std::string& text)
{
    // From a request's worker: the caption changes on the window's thread.
    if (!wxIsMainThread()) {
        post([this, text] { SetStatusText(text); });
        return;
    }
    window->SetTitle(wxString::FromUTF8(text));
    window->Update();
}

void COnlineController::Send(Requests requests, std::function<void(std::vector<UploadResult>)> then)
{
    const UploadAccount account{settings.onlineUsername, settings.onlinePassword};
    tasks.Run<std::vector<UploadResult>>(
        [this, requests = std::move(requests), account] {
            std::vector<UploadResult> results;
            for (size_t i = 0; i < requests.size(); ++i) {
                if (i > 0 && uploader.Hooks().cancelled()) break;
                const BatchUpload::Request& r = requests[i];
                results.push_back(uploader.Send(r.original, r.translation, r.codes, account));
            }
            return results;
        },
        std::move(then));
}

void COnlineController::SetCaption(const std::string& caption)
{
    window->CallAfter([this, caption] {
        if (announcing)
            heldCaption = caption;
        else
            SetStatusText(caption);
    });
}

void COnlineController::AnnounceNewVersion(const std::string& message)
{
    window->CallAfter([this, message] {
        announcing = true;
        TalveroMessageBox(wxString::FromUTF8(message), res::kAppName, wxOK, window);
        announcing = false;
        if (heldCaption) SetStatusText(*heldCaption);
        heldCaption.reset();
    });
}

void COnlineController::UploadPair(const std::string& original, const std::string& translation,
                                   std::function<void()> then)
{
    auto* localPair = Control<wxChoice>(window, res::ctl::kLocalPair);
    const PairEntry* pair = PairAt(PairList::Local, localPair->GetSelection());
    const std::optional<LanguageCodes> codes =
        SplitPairCode(pair ? pair->dictionaryCode : std::string());
    // Without a pair or an account nothing is sent, and the caption stays.
    if (state.Ended() || !codes ||
        !UploadAccount{settings.onlineUsername, settings.onlinePassword}.Complete()) {
        then();
        return;
    }
    ++uploads;
    Send({{original, translation, *codes}}, [this, then = std::move(then)](auto) {
        --uploads;
        then();
    });
}

void COnlineController::SpeakUploadedTranslation(const std::string& text)
{
    // Straight to the voice, not through SpeakText: an uploaded pair must not become the text
    // that "Repeat" speaks again.
    if (IVoice* voice = speech.Voice()) voice->Speak(CodePageToUtf8(text));
}

void COnlineController::UploadPairsFile(const std::string& path)
{
    if (batchRunning || state.Ended()) return;
    batchRunning = true;
    Control<wxButton>(window, res::ctl::kUpload)->Disable();
    batch.uploadFromIndex = settings.uploadLanguageFrom;
    batch.uploadToIndex = settings.uploadLanguageTo;
    running = std::make_unique<BatchUpload>(path, batch);
    ShowNextPair();
}

void COnlineController::ShowNextPair()
{
    std::optional<UploadDialogFields> fields;
    if (!state.Ended()) fields = running->Next();
    if (!fields) {
        FinishBatch();
        return;
    }
    CUploadDialogRunner dialog(window);
    const bool ok = dialog.Run(*fields);
    BatchUpload::Answered answered =
        running->Answer(*fields, ok, {settings.onlineUsername, settings.onlinePassword});
    if (answered.chosen) SpeakUploadedTranslation(fields->translatedText);
    if (answered.requests.empty()) {
        // The next dialog from the event loop: a long run of skipped pairs must not nest.
        post([this] { ShowNextPair(); });
        return;
    }
    Send(std::move(answered.requests), [this](std::vector<UploadResult> results) {
        for (const UploadResult& r : results)
            running->Sent(r);
        ShowNextPair();
    });
}

void COnlineController::FinishBatch()
{
    running.reset();
    settings.uploadLanguageFrom = batch.uploadFromIndex;
    settings.uploadLanguageTo = batch.uploadToIndex;
    Control<wxButton>(window, res::ctl::kUpload)->Enable();
    batchRunning = false;
}

void COnlineController::KeepBatchUploadChoices()
{
    if (!batchRunning) return;
    settings.uploadLanguageFrom = batch.uploadFromIndex;
    settings.uploadLanguageTo = batch.uploadToIndex;
}

void COnlineController::OnUploadPairsFile(wxCommandEvent&)
{
    if (batchRunning) return;
    wxString folder, name;
    if (!batch.lastPairsFile.empty()) {
        const wxFileName last(wxString::FromUTF8(batch.lastPairsFile));
        folder = last.GetPath();
        name = last.GetFullName();
    }
    wxFileDialog chooser(window, wxFileSelectorPromptStr, folder, name, kPairsFileFilter,
                         wxFD_OPEN);
    if (chooser.ShowModal() != wxID_OK) return;
    UploadPairsFile(std::string(chooser.GetPath().fn_str()));
}

}  // namespace talvero
