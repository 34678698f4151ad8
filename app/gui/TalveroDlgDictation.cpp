// Dictation: the recognition engines in list 1066, the recognizer and its audio input, the
// hypothesis box 1055 with its local lookup (1056), final results tidied into the input box and
// the history, and "Train with text file".
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/combobox.h>
#include <wx/filedlg.h>
#include <wx/textctrl.h>
#include <wx/utils.h>

#include "app/gui/TalveroDlg.h"
#include "app/gui/TalveroEvents.h"
#include "catalogue/CodePage.h"
#include "catalogue/TextFile.h"
#include "dictionary/LocalDictionary.h"
#include "res/Templates.h"
#include "speech/RecognitionText.h"
#include "speech/gui/TrainingDlg.h"
#include "ui/DialogBuilder.h"
#include "ui/MessageBox.h"

using namespace res::ctl;

namespace {

// The trained model lives in the working directory, where the window runs.
const std::string kWorkDir = ".";

bool IsChecked(wxWindow* window, int id)
{
    auto* box = dynamic_cast<wxCheckBox*>(window->FindWindow(id));
    return box && box->IsChecked();
}

}  // namespace

void CTalveroDlg::SetUpDictation()
{
    Bind(wxEVT_CHOICE, &CTalveroDlg::OnEngineChanged, this, kEngine);
    Bind(wxEVT_BUTTON, &CTalveroDlg::OnTrainWithTextFile, this, kTrain);
    recognitionEngines = ListRecognizerEngines();
    auto* engines = static_cast<wxChoice*>(FindWindow(kEngine));
    for (const RecognizerEngine& engine : recognitionEngines)
        engines->Append(FromPhrase(Utf8ToCodePage(engine.description)));
    if (recognitionEngines.empty()) return;  // no engine: start-up goes on without speech
    engines->SetSelection(0);
    // Failures at start-up are silent: without audio input there is simply nothing to hear.
    SelectRecognitionEngine(ToPhrase(engines->GetStringSelection()), true);
}

bool CTalveroDlg::SelectRecognitionEngine(const std::string& description, bool quiet)
{
    recognizer.reset();
    const RecognizerEngine* engine = nullptr;
    for (const RecognizerEngine& e : recognitionEngines)
        if (Utf8ToCodePage(e.description) == description) engine = &e;
    std::string error;
    auto candidate = std::make_unique<Recognizer>();
    std::unique_ptr<IRecognizerAudio> audio;
    // The input first: without one (no sound card) the models are not worth loading.
    if (engine) audio = OpenRecognizerInput(error);
    if (audio) {
        wxBusyCursor busy;
        if (!candidate->Load(*engine, kWorkDir, error)) audio.reset();
    }
    if (!audio) {
        if (!quiet)
            TalveroMessageBox(res::LoadString(res::kRecoContextFailString), wxEmptyString,
                              wxOK | wxICON_WARNING, this);
        return false;
    }
    candidate->SetActive(!speechSuspended);
    candidate->Start(std::move(audio), [this] {
        // From the recognizer's thread: the window fetches the events on its own thread.
        wxQueueEvent(this, new wxThreadEvent(TALVERO_EVT_RECOGNITION));
    });
    recognizer = std::move(candidate);
    return true;
}

void CTalveroDlg::SuspendRecognition(bool on)
{
    speechSuspended = on;
    if (recognizer) recognizer->SetActive(!on);
}

void CTalveroDlg::HandleRecognitionEvents()
{
    if (!recognizer) return;
    // Events that arrive while recognition is off, the tool disabled or the voice speaking are
    // fetched and dropped, so that none of them turns up stale later.
    // The voice suspends recognition while it speaks: what the recognizer hears meanwhile is
    // its own output.
    const bool suspended = speechSuspended || parts.speech->SpeechSuspended();
    recognizer->SetActive(!suspended);
    const bool taken = settings.activateSpeechRecognition && !disabled && !suspended;
    RecognitionEvent event;
    while (recognizer && recognizer->NextEvent(event)) {
        if (!taken) continue;
        const std::string text = Utf8ToCodePage(event.text) + " ";
        if (event.kind == RecognitionEvent::Kind::Hypothesis) {
            hypothesis->ChangeValue(FromPhrase(text));
            hypothesis->ShowPosition(hypothesis->GetLastPosition());
            if (IsChecked(this, kTranslateHypothesis)) {
                std::string translation;
                LocalDictionary* dictionary = parts.dictionary->Engine();
                if (dictionary && dictionary->LookUpPhrase(text, translation))
                    resultBoxes[3]->ChangeValue(FromPhrase(translation));
            }
            continue;
        }
        lastRecognizedText = text;
        const int pattern = IsChecked(this, kPunctuationMarks) ? punctuation->GetSelection() : -1;
        const std::string tidy = TidyRecognizedText(text, IsChecked(this, kUppercase), pattern);
        // Inserted like typing, so the automatic translation picks it up.
        if (!settings.copyRecognizedOnlyToHistory) input->WriteText(FromPhrase(tidy));
        history->WriteText(FromPhrase(tidy));
        history->WriteText("\n");
    }
}

void CTalveroDlg::OnEngineChanged(wxCommandEvent& event)
{
    SelectRecognitionEngine(ToPhrase(event.GetString()), false);
}

void CTalveroDlg::OnTrainWithTextFile(wxCommandEvent&)
{
    wxFileDialog open(this, wxEmptyString, wxEmptyString, wxEmptyString,
                      "Text Files (*.txt)|*.txt|All Files (*.*)|*.*",
                      wxFD_OPEN | wxFD_FILE_MUST_EXIST);
    if (open.ShowModal() != wxID_OK) return;
    std::string bytes;
    if (!ReadWholeFile(open.GetPath().utf8_string(), bytes)) return;
    auto* engines = static_cast<wxChoice*>(FindWindow(kEngine));
    const std::string selected = ToPhrase(engines->GetStringSelection());
    for (const RecognizerEngine& engine : recognitionEngines) {
        if (Utf8ToCodePage(engine.description) != selected) continue;
        CTrainingDlg dialog(this, bytes, engine, kWorkDir, recognizer.get());
        dialog.ShowModal();
        return;
    }
}
