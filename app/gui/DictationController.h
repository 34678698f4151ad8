#pragma once
// Dictation: the recognition engines in list 1066, the recognizer and its audio input, the
// hypothesis box 1055 with its local lookup (1056), final results tidied into the input box and
// the history, the history's selection feeding the input, and "Train with text file".
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/gui/MainWindowState.h"
#include "speech/Recognizer.h"
#include "speech/RecognizerLoader.h"
#include "ui/TextSelection.h"

class wxComboBox;
class wxCommandEvent;
class wxTextCtrl;
class wxWindow;

namespace talvero {

class ILocalDictionary;
class ISpeech;
class TranslationPresenter;
struct Settings;

class CDictationController {
public:
    struct Controls {
        wxWindow* window = nullptr;
        wxTextCtrl* input = nullptr;
        wxTextCtrl* history = nullptr;
        wxTextCtrl* hypothesis = nullptr;
        wxTextCtrl* localResult = nullptr;
        wxComboBox* punctuation = nullptr;
    };
    // `newVoice` is called when a loaded engine has brought a voice of its own.
    CDictationController(Controls controls, ISpeech& speech, ILocalDictionary& dictionary,
                         const Settings& settings, const MainWindowState& state,
                         TranslationPresenter& translation, std::function<void()> newVoice);
    ~CDictationController();

    // Start-up: the engine list, the first engine and its input, the history's selection.
    void SetUp();
    // Before the window goes: no thread may post to it afterwards.
    void Stop();
    // Runs a dialog that holds the voice or the recognizer; an engine loaded meanwhile is put
    // in place once it is closed.
    void HoldSpeechDuring(const std::function<void()>& dialog);

    bool Recognizing() const { return recognizer != nullptr; }
    bool LoadingEngine() const { return engineLoader && engineLoader->Busy(); }
    std::string Language() const { return recognizer ? recognizer->Language() : std::string(); }
    // The recognizer's audio has ended and all it recognized has been taken or dropped.
    bool HeardToTheEnd() const { return heardToTheEnd; }

private:
    const RecognizerEngine* SelectedEngine() const;
    void StartRecognizer(std::shared_ptr<Recognizer> next, std::unique_ptr<IRecognizerAudio> audio);
    void ApplyLoadedEngine();
    void HandleRecognitionEvents();
    void TakeResult(const RecognitionEvent& event);
    void WatchHistory();
    void OnEngineChanged(wxCommandEvent& event);
    void OnTrain(wxCommandEvent& event);
    void OnClearHistory(wxCommandEvent& event);
    bool Checked(int id) const;

    Controls c;
    ISpeech& speech;
    ILocalDictionary& dictionary;
    const Settings& settings;
    const MainWindowState& state;
    TranslationPresenter& translation;
    std::function<void()> newVoice;
    std::vector<RecognizerEngine> engines;
    std::shared_ptr<Recognizer> recognizer;
    std::unique_ptr<RecognizerLoader> engineLoader;  // declared after: stops first
    bool dialogHoldsSpeech = false;
    bool heardToTheEnd = false;
    // The history's selection signal, disconnected before wx takes the controls down; one
    // selection change is handled at a time, after the toolkit's signal.
    SelectionWatch historyWatch;
    bool historySelectionQueued = false;
};

}  // namespace talvero
