#pragma once
// The main window's online services: the single upload of an added pair, the batch upload of a
// translation-pairs file ("^"), and the update check at start-up.
#include <optional>
#include <string>

#include "app/gui/MainWindowState.h"
#include "catalogue/Services.h"
#include "online/UpdateCheck.h"
#include "online/Upload.h"

class ISpeech;
struct Settings;
class wxCommandEvent;
class wxTopLevelWindow;

// Caption changes of the uploads arrive on the window's thread; those of the update check on
// the worker's, and are handed over with CallAfter. The announcement's message box runs on the
// window's thread too; the worker's last caption waits until it is closed.
class COnlineController : public IUpdateCheckHost, public CStatusWindow {
public:
    COnlineController(wxTopLevelWindow* window, ISpeech& speech, Settings& settings,
                      const MainWindowState& state);
    ~COnlineController() override;

    void Start();  // the update check, when the settings ask for it
    bool UpdateCheckFinished() const { return check.Finished(); }
    void UploadPair(const std::string& original, const std::string& translation);
    void UploadPairsFile(const std::string& path);
    // Quitting while a batch waits on the server ends the window before the batch returns:
    // the choices made in its dialogs so far are kept from here.
    void KeepBatchUploadChoices();

    // CStatusWindow, IUpdateCheckHost
    void SetStatusText(const std::string& text) override;
    void SetCaption(const std::string& caption) override;
    void AnnounceNewVersion(const std::string& message) override;

private:
    void OnUploadPairsFile(wxCommandEvent& event);
    void SpeakUploadedTranslation(const std::string& text);

    wxTopLevelWindow* window;
    ISpeech& speech;
    Settings& settings;
    const MainWindowState& state;
    Services services;
    CUploader uploader;
    CUpdateCheck check;
    BatchUploadState batch;
    bool batchRunning = false;
    bool announcing = false;
    std::optional<std::string> heldCaption;
};
