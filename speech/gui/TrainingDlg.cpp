#include "speech/gui/TrainingDlg.h"

#include <atomic>
#include <thread>

#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "res/Templates.h"
#include "speech/LanguageModelTrainer.h"
#include "speech/Recognizer.h"
#include "ui/DialogBuilder.h"

namespace talvero {

using res::ctl::kCancel;
using res::ctl::kOk;
using res::ctl::kTrainingStatus;
using res::ctl::kTrainingText;

namespace {

// A text box holding megabytes would stall the toolkit; the dialog shows the beginning.
constexpr size_t kShownBytes = 64 * 1024;

}  // namespace

// Shared with the worker thread, which the dialog joins when it goes.
struct CTrainingDlg::Job {
    std::string bytes;
    RecognizerEngine engine;
    std::string workDir;
    std::weak_ptr<Recognizer> recognizer;
    TrainingProgress progress;
    TrainingResult result;
    std::string reloadError;
    std::atomic<bool> done = false;
};

wxBEGIN_EVENT_TABLE(CTrainingDlg, wxDialog)
    EVT_BUTTON(kOk, CTrainingDlg::OnTrain)
    EVT_BUTTON(kCancel, CTrainingDlg::OnCancel)
    EVT_TIMER(wxID_ANY, CTrainingDlg::OnTimer)
wxEND_EVENT_TABLE()

CTrainingDlg::CTrainingDlg(wxWindow* parent, std::string fileBytes, const RecognizerEngine& engine,
                           const std::string& workDir, std::shared_ptr<Recognizer> recognizer,
                           long long fileSize)
    : wxDialog(parent, wxID_ANY, wxString::FromUTF8(res::TrainingDialog().caption),
               wxDefaultPosition, wxDefaultSize, wxDEFAULT_DIALOG_STYLE | wxRESIZE_BORDER),
      job(std::make_shared<Job>()),
      timer(this)
{
    const size_t totalBytes = fileSize >= 0 ? static_cast<size_t>(fileSize) : fileBytes.size();
    std::string shown = TrainingTextToUtf8(std::string_view(fileBytes).substr(
        0, fileBytes.size() > kShownBytes ? kShownBytes : fileBytes.size()));
    job->bytes = std::move(fileBytes);
    job->engine = engine;
    job->workDir = workDir;
    job->recognizer = recognizer;

    const res::Dialog& t = res::TrainingDialog();
    const int margin = ConvertDialogToPixels(wxSize(7, 7)).x;
    auto* top = new wxBoxSizer(wxVERTICAL);
    top->Add(CreateTemplateLabel(this, t, "The recognition engine will be adapted to this text:"),
             0, wxLEFT | wxRIGHT | wxTOP, margin);
    auto* text = CreateTemplateControl<wxTextCtrl>(this, t, kTrainingText);
    text->ChangeValue(wxString::FromUTF8(shown));
    top->Add(text, 1, wxEXPAND | wxALL, margin);
    status = CreateTemplateControl<wxTextCtrl>(this, t, kTrainingStatus);
    status->ChangeValue(
        totalBytes > kShownBytes
            ? wxString::Format("%zu bytes; the first %zu are shown.", totalBytes, kShownBytes)
            : wxString::Format("%zu bytes.", totalBytes));
    status->SetMinSize(wxSize(-1, status->GetBestSize().y));
    top->Add(status, 0, wxEXPAND | wxLEFT | wxRIGHT, margin);
    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    buttons->AddStretchSpacer();
    trainButton = CreateTemplateControl<wxButton>(this, t, kOk);
    cancelButton = CreateTemplateControl<wxButton>(this, t, kCancel);
    buttons->Add(trainButton, 0, wxRIGHT, margin / 2);
    buttons->Add(cancelButton);
    top->Add(buttons, 0, wxEXPAND | wxALL, margin);
    SetSizer(top);
    SetEscapeId(kCancel);
    TagTemplateControls(this, t);
    SizeToTemplate(this, t);
    CentreOnParent();
    trainButton->SetFocus();
}

CTrainingDlg::~CTrainingDlg()
{
    // A training still under way is told to stop, and the dialog waits for it: the thread uses
    // the recognizer and the files the window goes on with.
    job->progress.cancel = true;
    timer.Stop();
    if (worker.joinable()) worker.join();
}

bool CTrainingDlg::IsTraining() const
{
    return timer.IsRunning();
}

wxString CTrainingDlg::StatusText() const
{
    return status->GetValue();
}

void CTrainingDlg::StartTraining()
{
    if (finished || IsTraining()) return;
    trainButton->Disable();
    status->ChangeValue("Training... 0 %");
    worker = std::thread([job = job] {
        job->result = TrainLanguageModel(job->bytes, job->engine, job->workDir, job->progress);
        std::shared_ptr<Recognizer> recognizer = job->recognizer.lock();
        if (job->result.ok && !job->progress.cancel && recognizer)
            recognizer->ReloadTrainedModel(job->reloadError);
        job->done = true;
    });
    timer.Start(50);
}

void CTrainingDlg::OnTrain(wxCommandEvent&)
{
    if (finished) {
        EndModal(trained ? wxID_OK : wxID_CANCEL);
        return;
    }
    StartTraining();
}

void CTrainingDlg::OnCancel(wxCommandEvent&)
{
    job->progress.cancel = true;
    timer.Stop();
    if (IsModal())
        EndModal(wxID_CANCEL);
    else
        Hide();
}

void CTrainingDlg::OnTimer(wxTimerEvent&)
{
    if (!job->done) {
        status->ChangeValue(wxString::Format("Training... %d %%", job->progress.percent.load()));
        return;
    }
    Finish();
}

void CTrainingDlg::Finish()
{
    timer.Stop();
    finished = true;
    const TrainingResult& r = job->result;
    trained = r.ok;
    if (r.ok) {
        wxString text = wxString::Format(
            "Trained with %zu words of text (%zu new to the engine); the model knows %zu words.",
            r.words, r.newWords, r.vocabulary);
        if (r.truncated) text += " Only the first 10 MB of the text were used.";
        if (!job->reloadError.empty()) text += " " + wxString::FromUTF8(job->reloadError);
        status->ChangeValue(text);
    } else {
        status->ChangeValue(wxString::FromUTF8(r.error));
    }
    trainButton->SetLabel("Close");
    trainButton->Enable();
    cancelButton->Disable();
    trainButton->SetFocus();
}

}  // namespace talvero
