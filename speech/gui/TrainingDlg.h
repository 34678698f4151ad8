#pragma once
// "Train with text file": shows the text and adapts the recognition engine to it on a worker
// thread, so the window keeps answering; Cancel leaves the engine and its files as they were.
#include <memory>
#include <string>
#include <thread>

#include <wx/dialog.h>
#include <wx/timer.h>

#include "speech/RecognizerEngines.h"

class wxButton;
class wxTextCtrl;

namespace talvero {

class Recognizer;

class CTrainingDlg : public wxDialog {
public:
    // `fileBytes`: the training file as read. The model goes into `workDir`; `recognizer` (may be
    // null) takes it up as soon as it is written, unless its owner has let it go by then.
    // `fileSize`: the whole file's size when `fileBytes` is only its head (ReadTrainingFile).
    CTrainingDlg(wxWindow* parent, std::string fileBytes, const RecognizerEngine& engine,
                 const std::string& workDir, std::shared_ptr<Recognizer> recognizer,
                 long long fileSize = -1);
    ~CTrainingDlg() override;

    // Starts the training (the "Train" button).
    void StartTraining();
    bool IsTraining() const;
    bool Trained() const { return trained; }
    wxString StatusText() const;

private:
    struct Job;
    void OnTrain(wxCommandEvent& event);
    void OnCancel(wxCommandEvent& event);
    void OnTimer(wxTimerEvent& event);
    void Finish();

    std::shared_ptr<Job> job;
    std::thread worker;  // the training, joined with the dialog
    wxTimer timer;
    wxTextCtrl* status = nullptr;
    wxButton* trainButton = nullptr;
    wxButton* cancelButton = nullptr;
    bool trained = false;
    bool finished = false;

    wxDECLARE_EVENT_TABLE();
};

}  // namespace talvero
