#pragma once
// The main window: its controls, layout and event table, the settings record it shows, and the
// parts that carry its behaviour (translation, dictation, voice, additions, online services).
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <wx/font.h>

#include "app/WindowServices.h"
#include "app/gui/AdditionsController.h"
#include "app/gui/Banners.h"
#include "app/gui/DictationController.h"
#include "app/gui/MainWindowSettings.h"
#include "app/gui/MainWindowState.h"
#include "app/gui/OnlineController.h"
#include "app/gui/TranslationView.h"
#include "app/gui/UiTask.h"
#include "app/gui/VoiceController.h"
#include "platform/Platform.h"
#include "settings/Settings.h"
#include "tray/gui/TrayDialog.h"

class wxButton;
class wxChoice;
class wxComboBox;
class wxListBox;
class wxTextCtrl;

namespace talvero {

class CTalveroDlg : public CTrayDialog {
public:
    struct Parts {
        std::unique_ptr<ITranslationEngines> engines;
        std::unique_ptr<ILocalDictionary> dictionary;
        std::unique_ptr<ISpeech> speech;
        std::unique_ptr<IBanners> banners;
        Platform platform;  // the desktop's: filled in when empty
        // Starts the automatic pass's one-shot delay of `ms`, to call `elapsed` on the window's
        // thread: the window's own timer when empty. Tests end the delay by hand, so that what
        // they check does not hang on the clock.
        std::function<void(int ms, std::function<void()> elapsed)> startDelay;
    };
    // The program's own parts. The engines refer to the dictionary given.
    static Parts DefaultParts();

    explicit CTalveroDlg(wxWindow* parent = nullptr, Parts parts = DefaultParts());
    ~CTalveroDlg() override;

    // Start-up sequence; runs once, before the dialog first appears (as a dialog initialises
    // before it becomes visible), so the window shows up ready.
    void StartUp();
    bool Show(bool show = true) override;
    bool IsStartedUp() const { return state.StartedUp(); }

    // The actions behind the controls (public for the tray, tests and benchmarks).
    void Translate() { translation->Presenter().Translate(); }
    // On from Translate until its outcome is applied; the window goes on meanwhile.
    bool IsTranslating() const { return translation->Presenter().Running(); }
    const AutoTranslateState& GetAutoTranslateState() const
    {
        return translation->Presenter().AutoState();
    }
    void FillNearList(std::vector<std::string> phrases)
    {
        translation->FillNearList(std::move(phrases));
    }
    // "show", "capture" or "translate-selection", from another start or the desktop;
    // `done` runs once the selection is read (TalveroDlgCommands.cpp).
    void RunCommand(const std::string& action, std::function<void()> done);
    void ApplyTextBoxFont(int size);
    void RunOptionsDialog();
    // The tray menu's "Exit": ends at once with the OK result, without saving.
    void EndWithoutSaving();
    void SetDisabled(bool on) { state.disabled = on; }
    bool IsDisabled() const { return state.disabled; }

    const Settings& GetSettings() const { return settings; }
    Settings& MutableSettings() { return settings; }
    ISpeech& Speech() { return *parts.speech; }
    ILocalDictionary& Dictionary() { return *parts.dictionary; }

    void UploadPairsFile(const std::string& path) { online->UploadPairsFile(path); }
    // An upload (single or batch) is under way.
    bool IsUploading() const { return online && online->Busy(); }
    using HotkeyBox = CAdditionsController::HotkeyBox;
    HotkeyBox NextHotkeyBox() const { return additions->NextHotkeyBox(); }

    bool IsRecognizing() const { return dictation->Recognizing(); }
    // The recognizer's audio (a file, when one is given) is over and all of it handled.
    bool HeardRecognitionToTheEnd() const { return dictation->HeardToTheEnd(); }
    // An engine change loads the engine on another thread; the window goes on meanwhile.
    bool IsLoadingRecognitionEngine() const { return dictation->LoadingEngine(); }
    std::string RecognitionLanguage() const { return dictation->Language(); }
    // As recognized, with a trailing blank.
    const std::string& LastRecognizedText() const
    {
        return translation->Presenter().LastRecognized();
    }
    // Holds recognition off (and releases it): what is heard meanwhile is dropped.
    void SuspendRecognition(bool on) { parts.speech->SuspendRecognition(on); }

private:
    void CreateControls();
    void LayOut();
    void SetUpKeys();  // TalveroDlgKeys.cpp
    void Shutdown();
    void EndDialogWith(int result);
    void EmptyNewTranslationsFile();

    void OnInitDialog(wxInitDialogEvent& event);
    void OnExit(wxCommandEvent& event);
    void OnCancel(wxCommandEvent& event);
    void OnClose(wxCloseEvent& event);
    void OnCharHook(wxKeyEvent& event);
    void OnNearListDoubleClick(wxCommandEvent&) { translation->OpenNearEntry(); }
    void OnSetTimeDelay(wxCommandEvent& event);
    void OnFlagCheck(wxCommandEvent& event)
    {
        TakeCheckedFlag(settings, event.GetId(), event.IsChecked());
    }
    void OnContextMenu(wxContextMenuEvent& event);
    void OnTrayDisable(wxCommandEvent& event);
    void OnTrayExit(wxCommandEvent& event);
    void OnOptions(wxCommandEvent&) { RunOptionsDialog(); }
    void OnAbout(wxCommandEvent& event);
    void OnWindowMenuButton(wxCommandEvent& event);

    Parts parts;
    Settings settings;  // the settings values; its engine, speak and mode members are the flags
    bool settingsUnreadable = false;  // a file that could not be read is not saved over
    MainWindowState state;
    std::unique_ptr<wxFont> textBoxFont;

    wxTextCtrl* input = nullptr;               // 1000
    wxButton* translateButton = nullptr;       // 1032
    wxTextCtrl* history = nullptr;             // 1057
    wxTextCtrl* hypothesis = nullptr;          // 1055
    wxListBox* nearList = nullptr;             // 1006
    wxComboBox* punctuation = nullptr;         // 1065
    std::array<wxTextCtrl*, 4> resultBoxes{};  // 1002, 1003, 1004, 1005
    std::array<wxChoice*, 4> pairCombos{};     // 1028, 1034, 1035, 1036

    // Work on other threads for this window; its continuations run only while it lives.
    UiTasks tasks;
    std::unique_ptr<CTranslationView> translation;
    std::unique_ptr<CVoiceController> voice;
    std::unique_ptr<CDictationController> dictation;
    std::unique_ptr<CAdditionsController> additions;
    std::unique_ptr<COnlineController> online;

    wxDECLARE_EVENT_TABLE();
};

}  // namespace talvero
