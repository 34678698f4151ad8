#pragma once
// The main window's text-to-speech side: Stop, Pause/Resume, Select, Repeat, the voice name box
// and the voice's events.
#include <functional>

#include "app/gui/MainWindowState.h"

class wxCommandEvent;
class wxWindow;

namespace talvero {

class ISpeech;
struct Settings;

class CVoiceController {
public:
    // `holdSpeech` runs a dialog that holds the voice; an engine loaded meanwhile waits for it.
    using HoldSpeech = std::function<void(const std::function<void()>& dialog)>;
    CVoiceController(wxWindow* window, ISpeech& speech, const Settings& settings,
                     const MainWindowState& state, HoldSpeech holdSpeech);

    // At start-up and for each new voice an engine change brings: its events to the window,
    // its name into the box; a new voice is not paused.
    void ConnectVoice();

private:
    void ShowVoiceName();
    void OnPause(wxCommandEvent& event);
    void OnSelect(wxCommandEvent& event);

    wxWindow* window;
    ISpeech& speech;
    const Settings& settings;
    const MainWindowState& state;
    HoldSpeech holdSpeech;
    bool paused = false;  // what the Pause button shows
    // The positions the voice dialog was last confirmed with.
    int voicePosition = -1;
    int formatPosition = -1;
};

}  // namespace talvero
