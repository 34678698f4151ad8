#include "app/gui/DictationController.h"

#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/combobox.h>
#include <wx/filedlg.h>
#include <wx/textctrl.h>

#include "app/TranslationPresenter.h"
#include "app/WindowServices.h"
#include "app/gui/TalveroEvents.h"
#include "base/CodePage.h"
#include "dictionary/LocalDictionary.h"
#include "res/Templates.h"
#include "settings/Settings.h"
#include "speech/LanguageModelTrainer.h"
#include "speech/RecognitionText.h"
#include "speech/gui/TrainingDlg.h"
#include "ui/Control.h"
#include "ui/DialogBuilder.h"
#include "ui/MessageBox.h"

namespace talvero {

using namespace res::ctl;

namespace {
// The trained model lives in the working directory, where the window runs.
const std::string kWorkDir = ".";
}  // namespace

CDictationController::CDictationController(Controls controls, ISpeech& speech,
                                           ILocalDictionary& dictionary, const Settings& settings,
                                           const MainWindowState& state,
                                           TranslationPresenter& translation,
                                           std::function<void()> newVoice)
    : c(controls),
      speech(speech),
      dictionary(dictionary),
      settings(settings),
      state(state),
      translation(translation),
      newVoice(std::move(newVoice))
{
    wxWindow* w = c.window;
    w->Bind(wxEVT_CHOICE, &CDictationController::OnEngineChanged, this, kEngine);
    w->Bind(wxEVT_BUTTON, &CDictationController::OnTrain, this, kTrain);
    w->Bind(wxEVT_BUTTON, &CDictationController::OnClearHistory, this, kClearHistory);
    w->Bind(TALVERO_EVT_ENGINE_LOADED, [this](wxThreadEvent&) { ApplyLoadedEngine(); });
    w->Bind(TALVERO_EVT_RECOGNITION, [this](wxThreadEvent&) { HandleRecognitionEvents(); });
}

CDictationController::~CDictationController()
{
    Stop();
}

bool CDictationController::Checked(int id) const
{
    return Control<wxCheckBox>(c.window, id)->IsChecked();
}

void CDictationController::SetUp()
{
    WatchHistory();
    // The voice turns recognition off while it speaks and on again after: what the
    // recognizer hears meanwhile is the program's own output.
    speech.SetRecognizerSwitch([this](bool active) {
        if (recognizer) recognizer->SetActive(active);
    });
    engines = ListRecognizerEngines();
    auto* list = Control<wxChoice>(c.window, kEngine);
    for (const RecognizerEngine& engine : engines)
        list->Append(FromPhrase(Utf8ToCodePage(engine.description)));
    if (engines.empty()) return;  // no engine: start-up goes on without speech
    list->SetSelection(0);
    // Failures at start-up are silent. The input comes first: without one (no sound card) the
    // models are not worth loading.
    std::string error;
    std::unique_ptr<IRecognizerAudio> audio = OpenRecognizerInput(error);
    if (!audio) return;
    auto first = std::make_shared<Recognizer>();
    if (first->Load(engines[0], kWorkDir, error))
        StartRecognizer(std::move(first), std::move(audio));
}

void CDictationController::Stop()
{
    historyWatch.Stop();
    speech.SetRecognizerSwitch({});
    engineLoader.reset();
    // A training thread may still hold the recognizer; its feeder must stop now all the same.
    if (recognizer) recognizer->Stop();
    recognizer.reset();
}

void CDictationController::WatchHistory()
{
    historyWatch = WatchSelectionChanges(c.history, [this] {
        if (historySelectionQueued) return;
        historySelectionQueued = true;
        c.window->CallAfter([this] {
            historySelectionQueued = false;
            if (state.Ended() || !Checked(kTranslateHistorySelection)) return;
            c.input->ChangeValue(c.history->GetStringSelection());
            translation.InputChanged();
        });
    });
}

void CDictationController::OnClearHistory(wxCommandEvent&)
{
    // Emptying the history moves its caret: that is no selection to translate.
    historyWatch.Stop();
    c.history->ChangeValue(wxString());
    WatchHistory();
}

const RecognizerEngine* CDictationController::SelectedEngine() const
{
    auto* list = Control<wxChoice>(c.window, kEngine);
    const std::string description = ToPhrase(list->GetStringSelection());
    for (const RecognizerEngine& e : engines)
        if (Utf8ToCodePage(e.description) == description) return &e;
    return nullptr;
}

void CDictationController::StartRecognizer(std::shared_ptr<Recognizer> next,
                                           std::unique_ptr<IRecognizerAudio> audio)
{
    heardToTheEnd = false;
    next->SetActive(!speech.SpeechSuspended());
    next->Start(std::move(audio), [w = c.window] {
        // From the recognizer's thread: the window fetches the events on its own thread.
        wxQueueEvent(w, new wxThreadEvent(TALVERO_EVT_RECOGNITION));
    });
    recognizer = std::move(next);
}

void CDictationController::OnEngineChanged(wxCommandEvent&)
{
    // Recognition is off from here until the new engine is there; the old recognizer's models
    // are freed on the loading thread.
    if (recognizer) recognizer->Stop();
    std::shared_ptr<Recognizer> retired = std::move(recognizer);
    const RecognizerEngine* engine = SelectedEngine();
    if (!engine) {
        TalveroMessageBox(res::LoadString(res::kRecoContextFailString), wxEmptyString,
                          wxOK | wxICON_WARNING, c.window);
        return;
    }
    if (!engineLoader)
        engineLoader = std::make_unique<RecognizerLoader>(
            [w = c.window] { wxQueueEvent(w, new wxThreadEvent(TALVERO_EVT_ENGINE_LOADED)); });
    engineLoader->Request(*engine, kWorkDir, std::move(retired));
}

void CDictationController::HoldSpeechDuring(const std::function<void()>& dialog)
{
    dialogHoldsSpeech = true;
    dialog();
    dialogHoldsSpeech = false;
    ApplyLoadedEngine();
}

void CDictationController::ApplyLoadedEngine()
{
    // A dialog that holds the voice or the recognizer keeps them until it closes.
    if (!engineLoader || dialogHoldsSpeech || state.Ended()) return;
    std::optional<LoadedRecognizer> loaded = engineLoader->Take();
    if (!loaded) return;
    // The engine is there: it comes with a voice of its own, announced as at start-up.
    if (loaded->recognizer) {
        speech.ReplaceVoice();
        if (newVoice) newVoice();
    }
    if (!loaded->recognizer || !loaded->audio) {
        TalveroMessageBox(res::LoadString(res::kRecoContextFailString), wxEmptyString,
                          wxOK | wxICON_WARNING, c.window);
        return;
    }
    StartRecognizer(std::move(loaded->recognizer), std::move(loaded->audio));
}

void CDictationController::HandleRecognitionEvents()
{
    if (!recognizer) return;
    // Events that arrive while recognition is off, the tool disabled or the voice speaking are
    // fetched and dropped, so that none of them turns up stale later.
    const bool suspended = speech.SpeechSuspended();
    recognizer->SetActive(!suspended);
    const bool taken = settings.activateSpeechRecognition && !state.disabled && !suspended;
    // The recognizer queues its last events before its audio counts as ended.
    const bool ended = recognizer->AudioEnded();
    RecognitionEvent event;
    while (recognizer && recognizer->NextEvent(event))
        if (taken) TakeResult(event);
    if (ended && recognizer) heardToTheEnd = true;
}

void CDictationController::TakeResult(const RecognitionEvent& event)
{
    const std::string text = Utf8ToCodePage(event.text) + " ";
    if (event.kind == RecognitionEvent::Kind::Hypothesis) {
        c.hypothesis->ChangeValue(FromPhrase(text));
        c.hypothesis->ShowPosition(c.hypothesis->GetLastPosition());
        if (Checked(kTranslateHypothesis)) {
            std::string found;
            LocalDictionary* engine = dictionary.Engine();
            if (engine && engine->LookUpPhrase(text, found))
                c.localResult->ChangeValue(FromPhrase(found));
        }
        return;
    }
    translation.SetLastRecognized(text);
    const int pattern = Checked(kPunctuationMarks) ? c.punctuation->GetSelection() : -1;
    const std::string tidy = TidyRecognizedText(text, Checked(kUppercase), pattern);
    // Inserted like typing, so the automatic translation picks it up.
    if (!settings.copyRecognizedOnlyToHistory) c.input->WriteText(FromPhrase(tidy));
    c.history->WriteText(FromPhrase(tidy));
    c.history->WriteText("\n");
}

void CDictationController::OnTrain(wxCommandEvent&)
{
    wxFileDialog open(c.window, wxEmptyString, wxEmptyString, wxEmptyString,
                      "Text Files (*.txt)|*.txt|All Files (*.*)|*.*",
                      wxFD_OPEN | wxFD_FILE_MUST_EXIST);
    if (open.ShowModal() != wxID_OK) return;
    std::string bytes;
    long long size = 0;
    if (!ReadTrainingFile(open.GetPath().utf8_string(), bytes, size)) return;
    const RecognizerEngine* engine = SelectedEngine();
    if (!engine) return;
    std::shared_ptr<Recognizer> trainee = recognizer;
    bool trained = false;
    HoldSpeechDuring([&] {
        CTrainingDlg dialog(c.window, std::move(bytes), *engine, kWorkDir, trainee, size);
        trained = dialog.ShowModal() == wxID_OK;
    });
    // An engine that finished loading meanwhile may have read the files before the training
    // wrote them.
    std::string ignored;
    if (trained && recognizer && recognizer != trainee) recognizer->ReloadTrainedModel(ignored);
}

}  // namespace talvero
