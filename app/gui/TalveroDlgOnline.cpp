// The main window's online services: the single upload of an added pair, the batch upload of a
// translation-pairs file ("^"), and the update check at start-up.
#include <optional>

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/filedlg.h>
#include <wx/filename.h>

#include "app/gui/TalveroDlg.h"
#include "base/CodePage.h"
#include "catalogue/Catalogue.h"
#include "online/UpdateCheck.h"
#include "online/Upload.h"
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

// Caption changes of the uploads arrive on the window's thread; those of the update check on
// the worker's, and are handed over with CallAfter. The announcement's message box runs on the
// window's thread too; the worker's last caption waits until it is closed.
struct CTalveroDlg::Online : public IUpdateCheckHost, public CStatusWindow {
    explicit Online(CTalveroDlg& dlg) : dlg(dlg), services(LoadServices()), uploader(services) {}
    ~Online() override { check.Cancel(); }

    void SetStatusText(const std::string& text) override
    {
        dlg.SetTitle(wxString::FromUTF8(text));
        dlg.Update();
    }
    void SetCaption(const std::string& caption) override
    {
        dlg.CallAfter([this, caption] {
            if (announcing)
                heldCaption = caption;
            else
                SetStatusText(caption);
        });
    }
    void AnnounceNewVersion(const std::string& message) override
    {
        dlg.CallAfter([this, message] {
            announcing = true;
            TalveroMessageBox(wxString::FromUTF8(message), res::kAppName, wxOK, &dlg);
            announcing = false;
            if (heldCaption) SetStatusText(*heldCaption);
            heldCaption.reset();
        });
    }

    CTalveroDlg& dlg;
    Services services;
    CUploader uploader;
    CUpdateCheck check;
    BatchUploadState batch;
    bool batchRunning = false;
    bool announcing = false;
    std::optional<std::string> heldCaption;
};

void CTalveroDlg::SetUpOnline()
{
    online = std::make_shared<Online>(*this);
    OnlineHooks& hooks = online->uploader.Hooks();
    hooks.caption = online.get();
    // While a request runs the window keeps handling its events; when it ends meanwhile the
    // request stops at once.
    hooks.pump = [this] { ::WaitPumping(kPumpMs, [this] { return !ended; }); };
    hooks.cancelled = [this] { return ended; };
    Bind(wxEVT_BUTTON, &CTalveroDlg::OnUploadPairsFile, this, res::ctl::kUpload);
    if (settings.checkForUpdates) online->check.Start(online->services, *online);
}

bool CTalveroDlg::UpdateCheckFinished() const
{
    return online && online->check.Finished();
}

void CTalveroDlg::UploadPair(const std::string& original, const std::string& translation)
{
    if (!online || ended) return;
    auto* localPair = static_cast<wxChoice*>(FindWindow(res::ctl::kLocalPair));
    const PairEntry* pair = PairAt(PairList::Local, localPair->GetSelection());
    ::UploadPair(online->uploader, pair ? pair->dictionaryCode : std::string(), original,
                 translation, {settings.onlineUsername, settings.onlinePassword});
}

void CTalveroDlg::SpeakUploadedTranslation(const std::string& text)
{
    // Straight to the voice, not through SpeakText: an uploaded pair must not become the text
    // that "Repeat" speaks again.
    if (IVoice* voice = parts.speech->Voice()) voice->Speak(CodePageToUtf8(text));
}

void CTalveroDlg::UploadPairsFile(const std::string& path)
{
    if (!online || online->batchRunning || ended) return;
    online->batchRunning = true;
    wxWindow* button = FindWindow(res::ctl::kUpload);
    button->Disable();
    BatchUploadState& batch = online->batch;
    batch.uploadFromIndex = settings.uploadLanguageFrom;
    batch.uploadToIndex = settings.uploadLanguageTo;
    CUploadDialogRunner dialog(this);
    RunBatchUpload(path, batch, dialog, online->uploader,
                   {settings.onlineUsername, settings.onlinePassword},
                   [this](const std::string& text) { SpeakUploadedTranslation(text); });
    settings.uploadLanguageFrom = batch.uploadFromIndex;
    settings.uploadLanguageTo = batch.uploadToIndex;
    button->Enable();
    online->batchRunning = false;
}

void CTalveroDlg::KeepBatchUploadChoices()
{
    // Quitting while a batch waits on the server ends the window before the batch returns:
    // the choices made in its dialogs so far are taken from here.
    if (!online || !online->batchRunning) return;
    settings.uploadLanguageFrom = online->batch.uploadFromIndex;
    settings.uploadLanguageTo = online->batch.uploadToIndex;
}

void CTalveroDlg::OnUploadPairsFile(wxCommandEvent&)
{
    if (!online || online->batchRunning) return;
    wxString folder, name;
    if (!online->batch.lastPairsFile.empty()) {
        const wxFileName last(wxString::FromUTF8(online->batch.lastPairsFile));
        folder = last.GetPath();
        name = last.GetFullName();
    }
    wxFileDialog chooser(this, wxFileSelectorPromptStr, folder, name, kPairsFileFilter, wxFD_OPEN);
    if (chooser.ShowModal() != wxID_OK) return;
    UploadPairsFile(std::string(chooser.GetPath().fn_str()));
}
