// Dictation: the recognition engines in list 1066, the recognizer and its audio input, the
// hypothesis box 1055 with its local lookup (1056), final results tidied into the input box and
// the history, and "Train with text file".
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/combobox.h>
#include <wx/filedlg.h>
#include <wx/textctrl.h>
#include <wx/utils.h>

#include <optional>

#include "app/gui/TalveroDlg.h"
#include "app/gui/TalveroEvents.h"
#include "base/CodePage.h"
#include "dictionary/LocalDictionary.h"
#include "res/Templates.h"
#include "speech/LanguageModelTrainer.h"
#include "speech/RecognitionText.h"
#include "speech/RecognizerLoader.h"
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
    Bind(TALVERO_EVT_ENGINE_LOADED, [this](wxThreadEvent&) { ApplyLoadedEngine(); });
    // The voice turns recognition off while it speaks and on again after: what the
    // recognizer hears meanwhile is the program's own output.
    parts.speech->SetRecognizerSwitch([this](bool active) {
        if (recognizer) recognizer->SetActive(active && !speechSuspended);
    });
    recognitionEngines = ListRecognizerEngines();
    auto* engines = static_cast<wxChoice*>(FindWindow(kEngine));
    for (const RecognizerEngine& engine : recognitionEngines)
        engines->Append(FromPhrase(Utf8ToCodePage(engine.description)));
    if (recognitionEngines.empty()) return;  // no engine: start-up goes on without speech
    engines->SetSelection(0);
    // Failures at start-up are silent. The input comes first: without one (no sound card) the
    // models are not worth loading.
    std::string error;
    std::unique_ptr<IRecognizerAudio> audio = OpenRecognizerInput(error);
    if (!audio) return;
    auto first = std::make_shared<Recognizer>();
    if (first->Load(recognitionEngines[0], kWorkDir, error))
        StartRecognizer(std::move(first), std::move(audio));
}

void CTalveroDlg::StopDictation()
{
    parts.speech->SetRecognizerSwitch({});
    engineLoader.reset();
    // A training thread may still hold the recognizer; its feeder must stop now all the same.
    if (recognizer) recognizer->Stop();
    recognizer.reset();
}

const RecognizerEngine* CTalveroDlg::FindRecognitionEngine(const std::string& description) const
{
    for (const RecognizerEngine& e : recognitionEngines)
        if (Utf8ToCodePage(e.description) == description) return &e;
    return nullptr;
}

void CTalveroDlg::StartRecognizer(std::shared_ptr<Recognizer> next,
                                  std::unique_ptr<IRecognizerAudio> audio)
{
    next->SetActive(!speechSuspended && !parts.speech->SpeechSuspended());
    next->Start(std::move(audio), [this] {
        // From the recognizer's thread: the window fetches the events on its own thread.
        wxQueueEvent(this, new wxThreadEvent(TALVERO_EVT_RECOGNITION));
    });
    recognizer = std::move(next);
}

void CTalveroDlg::OnEngineChanged(wxCommandEvent&)
{
    // Recognition is off from here until the new engine is there; the old recognizer's models
    // are freed on the loading thread.
    if (recognizer) recognizer->Stop();
    std::shared_ptr<Recognizer> retired = std::move(recognizer);
    auto* engines = static_cast<wxChoice*>(FindWindow(kEngine));
    const RecognizerEngine* engine = FindRecognitionEngine(ToPhrase(engines->GetStringSelection()));
    if (!engine) {
        TalveroMessageBox(res::LoadString(res::kRecoContextFailString), wxEmptyString,
                          wxOK | wxICON_WARNING, this);
        return;
    }
    if (!engineLoader)
        engineLoader = std::make_unique<RecognizerLoader>(
            [this] { wxQueueEvent(this, new wxThreadEvent(TALVERO_EVT_ENGINE_LOADED)); });
    engineLoader->Request(*engine, kWorkDir, std::move(retired));
}

void CTalveroDlg::ApplyLoadedEngine()
{
    // A dialog that holds the voice or the recognizer keeps them until it closes.
    if (!engineLoader || speechDialogOpen || ended) return;
    std::optional<LoadedRecognizer> loaded = engineLoader->Take();
    if (!loaded) return;
    // The engine is there: it comes with a voice of its own, announced as at start-up.
    if (loaded->recognizer) {
        parts.speech->ReplaceVoice();
        ConnectVoice();
        // The new voice is not paused: a "Resume" left on the button would pause it.
        voicePaused = false;
        FindWindow(kPause)->SetLabel("Pause");
    }
    if (!loaded->recognizer || !loaded->audio) {
        TalveroMessageBox(res::LoadString(res::kRecoContextFailString), wxEmptyString,
                          wxOK | wxICON_WARNING, this);
        return;
    }
    StartRecognizer(std::move(loaded->recognizer), std::move(loaded->audio));
}

bool CTalveroDlg::IsLoadingRecognitionEngine() const
{
    return engineLoader && engineLoader->Busy();
}

std::string CTalveroDlg::RecognitionLanguage() const
{
    return recognizer ? recognizer->Language() : std::string();
}

void CTalveroDlg::SuspendRecognition(bool on)
{
    speechSuspended = on;
    if (recognizer) recognizer->SetActive(!on && !parts.speech->SpeechSuspended());
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

void CTalveroDlg::OnTrainWithTextFile(wxCommandEvent&)
{
    wxFileDialog open(this, wxEmptyString, wxEmptyString, wxEmptyString,
                      "Text Files (*.txt)|*.txt|All Files (*.*)|*.*",
                      wxFD_OPEN | wxFD_FILE_MUST_EXIST);
    if (open.ShowModal() != wxID_OK) return;
    std::string bytes;
    long long size = 0;
    if (!ReadTrainingFile(open.GetPath().utf8_string(), bytes, size)) return;
    auto* engines = static_cast<wxChoice*>(FindWindow(kEngine));
    const RecognizerEngine* engine = FindRecognitionEngine(ToPhrase(engines->GetStringSelection()));
    if (!engine) return;
    std::shared_ptr<Recognizer> trainee = recognizer;
    speechDialogOpen = true;
    CTrainingDlg dialog(this, std::move(bytes), *engine, kWorkDir, trainee, size);
    const bool trained = dialog.ShowModal() == wxID_OK;
    speechDialogOpen = false;
    // An engine that finished loading meanwhile may have read the files before the training
    // wrote them.
    ApplyLoadedEngine();
    std::string ignored;
    if (trained && recognizer && recognizer != trainee) recognizer->ReloadTrainedModel(ignored);
}
