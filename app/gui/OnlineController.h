#pragma once
// The main window's online services: the single upload of an added pair, the batch upload of a
// translation-pairs file ("^"), and the update check at start-up.
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/gui/MainWindowState.h"
#include "app/gui/UiTask.h"
#include "online/UpdateCheck.h"
#include "online/Upload.h"
#include "settings/Services.h"

class wxCommandEvent;
class wxTopLevelWindow;

namespace talvero {

class ISpeech;
struct Settings;

// Requests run on workers of their own and continue on the window's thread while the window
// lives; their caption changes are handed over to it too, as are those of the update check. The
// announcement's message box runs on the window's thread; the check's last caption waits until
// it is closed.
class COnlineController : public IUpdateCheckHost, public CStatusWindow {
public:
    COnlineController(wxTopLevelWindow* window, ISpeech& speech, Settings& settings,
                      const MainWindowState& state);
    ~COnlineController() override;

    void Start();  // the update check, when the settings ask for it
    bool UpdateCheckFinished() const { return check.Finished(); }
    // The single upload of an added pair; `then` runs when it is over (not after the window has
    // gone).
    void UploadPair(const std::string& original, const std::string& translation,
                    std::function<void()> then);
    // The batch upload: each pair's dialog, then its requests aside, then the next pair.
    void UploadPairsFile(const std::string& path);
    bool Busy() const { return uploads > 0 || batchRunning; }
    // The window is ending: requests under way stop at once.
    void Stop() { ending->store(true); }
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
    void ShowNextPair();
    void FinishBatch();
    using Requests = std::vector<BatchUpload::Request>;
    void Send(Requests requests, std::function<void(std::vector<UploadResult>)> then);

    wxTopLevelWindow* window;
    ISpeech& speech;
    Settings& settings;
    const MainWindowState& state;
    Services services;
    CUploader uploader;
    CUpdateCheck check;
    std::shared_ptr<std::atomic<bool>> ending = std::make_shared<std::atomic<bool>>(false);
    BatchUploadState batch;
    std::unique_ptr<BatchUpload> running;  // the batch under way
    bool batchRunning = false;
    int uploads = 0;  // single uploads under way
    bool announcing = false;
    std::optional<std::string> heldCaption;
    PostToOwner post;  // made on the window's thread, for the workers' captions
    UiTasks tasks;     // last: its workers stop and join first
};

}  // namespace talvero
