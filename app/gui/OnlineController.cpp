#include "app/gui/OnlineController.h"

#include <wx/choice.h>
#include <wx/filedlg.h>
#include <wx/filename.h>
#include <wx/toplevel.h>

#include "app/WindowServices.h"
#include "catalogue/Catalogue.h"
#include "catalogue/CodePage.h"
#include "catalogue/Settings.h"
#include "online/gui/UploadDictionaryDlg.h"
#include "res/Templates.h"
#include "speech/Voice.h"
#include "ui/DialogBuilder.h"
#include "ui/MessageBox.h"
#include "ui/WaitPumping.h"

namespace {
// Each turn of a request's loop hands the window this long to handle its events (drawing and
// idle work included), between looks at the connection.
constexpr double kPumpMs = 10;
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
    // While a request runs the window keeps handling its events; when it ends meanwhile the
    // request stops at once.
    hooks.pump = [this] { ::WaitPumping(kPumpMs, [this] { return !this->state.Ended(); }); };
    hooks.cancelled = [this] { return this->state.Ended(); };
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
    window->SetTitle(wxString::FromUTF8(text));
    window->Update();
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

void COnlineController::UploadPair(const std::string& original, const std::string& translation)
{
    if (state.Ended()) return;
    auto* localPair = static_cast<wxChoice*>(window->FindWindow(res::ctl::kLocalPair));
    const PairEntry* pair = PairAt(PairList::Local, localPair->GetSelection());
    ::UploadPair(uploader, pair ? pair->dictionaryCode : std::string(), original, translation,
                 {settings.onlineUsername, settings.onlinePassword});
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
    wxWindow* button = window->FindWindow(res::ctl::kUpload);
    button->Disable();
    batch.uploadFromIndex = settings.uploadLanguageFrom;
    batch.uploadToIndex = settings.uploadLanguageTo;
    CUploadDialogRunner dialog(window);
    RunBatchUpload(path, batch, dialog, uploader,
                   {settings.onlineUsername, settings.onlinePassword},
                   [this](const std::string& text) { SpeakUploadedTranslation(text); });
    settings.uploadLanguageFrom = batch.uploadFromIndex;
    settings.uploadLanguageTo = batch.uploadToIndex;
    button->Enable();
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
