#pragma once
// The main window: its controls, the state the workflow reads (settings record and check-box
// flags), start-up, routing of commands, the Translate action and the automatic translation.
// Handlers stay thin: read controls, call the core, write controls.
#include <array>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/AutoTranslate.h"
#include "app/WindowServices.h"
#include "app/gui/Banners.h"
#include "app/gui/UiTask.h"
#include "platform/Platform.h"
#include "settings/Settings.h"
#include "speech/Recognizer.h"
#include "speech/RecognizerLoader.h"
#include "tray/gui/TrayDialog.h"
#include "ui/ListSpeed.h"
#include "ui/TextSelection.h"

class wxButton;
class wxCheckBox;
class wxChoice;
class wxComboBox;
class wxListBox;
class wxTextCtrl;
class wxFont;
class wxMenu;
class wxThreadEvent;
class wxTimer;

class CTalveroDlg : public CTrayDialog, private IAutoTranslateHost {
public:
    struct Parts {
        std::unique_ptr<ITranslationEngines> engines;
        std::unique_ptr<ILocalDictionary> dictionary;
        std::unique_ptr<ISpeech> speech;
        std::unique_ptr<IBanners> banners;
        Platform platform;  // the desktop's: filled in when empty
    };
    // The program's own engines, dictionary, speech layer and banners.
    // The program's own parts. The engines refer to the dictionary given.
    static Parts DefaultParts();

    explicit CTalveroDlg(wxWindow* parent = nullptr, Parts parts = DefaultParts());
    ~CTalveroDlg() override;

    // Start-up sequence; runs once, before the dialog first appears (as a dialog initialises
    // before it becomes visible), so the window shows up ready.
    void StartUp();
    bool Show(bool show = true) override;
    bool IsStartedUp() const { return startedUp; }

    // The actions behind the controls (public for the tray and for tests).
    void Translate();
    // On from Translate until its outcome is applied; the window goes on meanwhile.
    bool IsTranslating() const { return translation.running; }
    void AutoTranslate();
    void ApplyTextBoxFont(int size);
    static wxFont TextBoxFont(int size);  // Arial bold (or the like) at `size` points
    void RunOptionsDialog();
    void ShowAboutBox();
    void ShowWindowMenu();
    // "Options" and "&About Talvero...": the desktop's window menu cannot be extended, so the
    // window offers them from its "Menu" button and its context menu.
    wxMenu* BuildWindowMenu() const;
    // The tray menu's "Exit": ends at once with the OK result, without saving.
    void EndWithoutSaving();
    void SetDisabled(bool on) { disabled = on; }

    // Start-up and list speed (TalveroDlgSpeed.cpp): the pair lists measured once, the near
    // list filled in one step in its own order, the dictionary loaded while the window appears.
    void SetUpListsForSpeed();
    void FillNearList(std::vector<std::string> phrases);
    void ClearNearList();
    void StartDictionaryLoad();
    bool IsDisabled() const { return disabled; }

    const Settings& GetSettings() const { return settings; }
    Settings& MutableSettings() { return settings; }
    const AutoTranslateState& GetAutoTranslateState() const { return autoState; }
    ITranslationEngines& Engines() { return *parts.engines; }
    ILocalDictionary& Dictionary() { return *parts.dictionary; }
    ISpeech& Speech() { return *parts.speech; }
    IBanners& Banners() { return *parts.banners; }

    // Online services (TalveroDlgOnline.cpp). UploadPair is the single upload of an added pair
    // (the Add path calls it when "UPLOAD NEW TRANSLATIONS" is on); UploadPairsFile runs the
    // batch upload of a chosen file, as "^" does after its file dialog.
    void UploadPair(const std::string& original, const std::string& translation);
    void UploadPairsFile(const std::string& path);
    bool UpdateCheckFinished() const;
    // Additions, options and the capture hotkey (TalveroDlgAdditions.cpp).
    void AddTranslation(std::string original, std::string translation);
    void CaptureSelection();
    enum class HotkeyBox { Text, Translation };
    HotkeyBox NextHotkeyBox() const { return nextHotkeyBox; }

private:
    void CreateControls();
    void LayOut();
    void FillLanguagePairCombos();
    void LoadSettingsIntoWindow();
    void ReadControlsIntoSettings();
    void LoadDictionary();
    void Shutdown();
    void EndDialogWith(int result);
    void RegisterCaptureHotkey();
    void EmptyNewTranslationsFile();

    // IAutoTranslateHost
    std::string ReadInput() override;
    void StartDelay(double ms) override;
    void SpeakRecognizedText() override;
    void TranslateInput() override;
    void SetInput(const std::string& text) override;

    void OnInitDialog(wxInitDialogEvent& event);
    void OnExit(wxCommandEvent& event);
    void OnCancel(wxCommandEvent& event);
    void OnClose(wxCloseEvent& event);
    void OnCharHook(wxKeyEvent& event);
    void OnTranslate(wxCommandEvent& event);
    void OnInputChanged(wxCommandEvent& event);
    void OnHistorySelectionChanged();
    void OnClear(wxCommandEvent& event);
    void OnClearHistory(wxCommandEvent& event);
    void OnSetTimeDelay(wxCommandEvent& event);
    void OnFlagCheck(wxCommandEvent& event);
    void OnLocalPairChanged(wxCommandEvent& event);
    void OnNearListDoubleClick(wxCommandEvent& event);
    void OnOptions(wxCommandEvent& event);
    void OnAbout(wxCommandEvent& event);
    void OnWindowMenuButton(wxCommandEvent& event);
    void OnContextMenu(wxContextMenuEvent& event);
    void OnTrayDisable(wxCommandEvent& event);
    void OnTrayExit(wxCommandEvent& event);
    void OnRecognitionEvent(wxThreadEvent& event);
    void OnVoiceEvent(wxThreadEvent& event);

    // Online services: uploads and the update check (TalveroDlgOnline.cpp).
    struct Online;
    void SetUpOnline();
    void OnUploadPairsFile(wxCommandEvent& event);
    void SpeakUploadedTranslation(const std::string& text);
    void KeepBatchUploadChoices();
    std::shared_ptr<Online> online;
    // Additions, options and the capture hotkey (TalveroDlgAdditions.cpp).
    void SetUpAdditions();
    void SetUpKeys();  // TalveroDlgKeys.cpp
    void OnAdd(wxCommandEvent& event);
    void OnAddFromResults(wxCommandEvent& event);
    void OnUndo(wxCommandEvent& event);
    void RunAddAction(const std::string& original, const std::string& translation);
    void RunOneAddition(const std::string& original, const std::string& translation);
    void UploadAddition(const std::string& original, const std::string& translation);
    void ObtainCapturedText(std::function<void(std::optional<std::string>)> then);
    void ApplyCapturedText(const std::string& text);
    HotkeyBox nextHotkeyBox = HotkeyBox::Text;
    bool captureBusy = false;
    bool additionBusy = false;
    std::deque<std::pair<std::string, std::string>> waitingAdditions;  // asked for while busy
    bool capturePending = false;

    // Text-to-speech voice (TalveroDlgSpeech.cpp): its buttons, the voice name box 1050, the
    // Pause button's state and the positions the voice dialog was last confirmed with.
    void SetUpVoice();
    void ConnectVoice();  // the voice's events to this window, its name into 1050
    void ShowVoiceName();
    void OnStopSpeaking(wxCommandEvent& event);
    void OnPauseSpeaking(wxCommandEvent& event);
    void OnSelectVoice(wxCommandEvent& event);
    void OnRepeatSpeaking(wxCommandEvent& event);
    bool voicePaused = false;
    int voicePosition = -1;
    int formatPosition = -1;

    Parts parts;
    Settings settings;  // the settings values; its engine, speak and mode members are the flags
    AutoTranslateState autoState;
    AutoTranslatePass autoPass{*this, autoState, settings};
    std::unique_ptr<wxTimer> autoDelay;  // the pass's delay
    bool historyClearing = false;
    bool historySelectionPending = false;
    // Reliability: the history's selection signal, disconnected with the window's members,
    // before wx takes the controls down; a settings file that could not be read is not saved
    // over.
    SelectionWatch historySelectionWatch;
    bool settingsUnreadable = false;

    // The Translate action (TalveroDlgTranslate.cpp): started here, its outcome applied when the
    // engines have answered, while the window goes on; one at a time.
    struct Translation {
        bool running = false;
        bool forPass = false;     // started by the automatic pass, which is told at the end
        bool passQueued = false;  // the pass's turn, asked for while another one ran
        bool buttonWasEnabled = true;
    };
    Translation translation;
    void StartTranslation(bool forPass);
    void SetPairPositionsFromCombos();
    void FinishTranslation(TranslateOutcome outcome);
    bool disabled = false;
    bool startedUp = false;
    bool ended = false;
    std::unique_ptr<wxFont> textBoxFont;

    // Dictation (TalveroDlgDictation.cpp): the engine list 1066, the recognizer fed from the
    // microphone or TALVERO_AUDIO_IN, its hypotheses and final results, training with a text.
public:
    // Suspends recognition while the voice speaks (and resumes it): the audio heard meanwhile
    // is dropped and notifications are ignored.
    void SuspendRecognition(bool on);
    bool IsRecognizing() const { return recognizer != nullptr; }
    // An engine change loads the engine on another thread; the window goes on meanwhile.
    bool IsLoadingRecognitionEngine() const;
    std::string RecognitionLanguage() const;  // of the running recognizer, "" when none
    const std::string& LastRecognizedText() const { return lastRecognizedText; }

private:
    void SetUpDictation();
    void StopDictation();  // before the window goes: no thread may post to it afterwards
    const RecognizerEngine* FindRecognitionEngine(const std::string& description) const;
    void StartRecognizer(std::shared_ptr<Recognizer> next, std::unique_ptr<IRecognizerAudio> audio);
    void ApplyLoadedEngine();
    void HandleRecognitionEvents();
    void OnEngineChanged(wxCommandEvent& event);
    void OnTrainWithTextFile(wxCommandEvent& event);
    std::vector<RecognizerEngine> recognitionEngines;
    std::shared_ptr<Recognizer> recognizer;
    std::unique_ptr<RecognizerLoader> engineLoader;  // declared after: stops first
    bool speechDialogOpen = false;   // the voice or training dialog holds voice or recognizer
    std::string lastRecognizedText;  // as recognized, with a trailing blank
    bool speechSuspended = false;

    wxTextCtrl* input = nullptr;          // 1000
    wxButton* translateButton = nullptr;  // 1032
    wxTextCtrl* history = nullptr;        // 1057
    wxTextCtrl* hypothesis = nullptr;     // 1055
    wxListBox* nearList = nullptr;        // 1006
    std::unique_ptr<CSortedListFiller> nearFiller;
    wxComboBox* punctuation = nullptr;         // 1065
    std::array<wxTextCtrl*, 4> resultBoxes{};  // 1002, 1003, 1004, 1005
    std::array<wxChoice*, 4> pairCombos{};     // 1028, 1034, 1035, 1036

    // Work on other threads for this window; declared last so that its continuations and
    // workers go first (the destructor drops them before anything else).
    UiTasks tasks;

    wxDECLARE_EVENT_TABLE();
};
