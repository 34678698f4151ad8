#include "app/gui/VoiceController.h"

#include <wx/button.h>
#include <wx/textctrl.h>

#include "app/WindowServices.h"
#include "app/gui/TalveroEvents.h"
#include "base/CodePage.h"
#include "res/Ids.h"
#include "speech/Voice.h"
#include "speech/gui/VoiceSelectionDlg.h"
#include "ui/Control.h"
#include "ui/DialogBuilder.h"

namespace talvero {

using namespace res::ctl;

CVoiceController::CVoiceController(wxWindow* window, ISpeech& speech, const Settings& settings,
                                   const MainWindowState& state, HoldSpeech holdSpeech)
    : window(window),
      speech(speech),
      settings(settings),
      state(state),
      holdSpeech(std::move(holdSpeech))
{
    // Stop ends what is being spoken and drops the queue; the pause state stays.
    window->Bind(
        wxEVT_BUTTON, [this](wxCommandEvent&) { this->speech.PurgeSpeech(); }, kStop);
    window->Bind(wxEVT_BUTTON, &CVoiceController::OnPause, this, kPause);
    window->Bind(wxEVT_BUTTON, &CVoiceController::OnSelect, this, kSelectVoice);
    window->Bind(
        wxEVT_BUTTON,
        [this](wxCommandEvent&) { this->speech.SpeakText(this->speech.LastSpokenText()); },
        kRepeat);
    // Ignored while the tool is disabled from the tray menu.
    window->Bind(TALVERO_EVT_VOICE, [this](wxThreadEvent&) {
        if (!this->state.disabled) this->speech.OnVoiceEvent(this->settings);
    });
}

void CVoiceController::ConnectVoice()
{
    // The voice's threads only post; the events are fetched on the window's thread.
    if (IVoice* voice = speech.Voice())
        voice->SetNotify([w = window] { wxQueueEvent(w, new wxThreadEvent(TALVERO_EVT_VOICE)); });
    ShowVoiceName();
    // A "Resume" left on the button would pause the new voice.
    paused = false;
    Control<wxButton>(window, kPause)->SetLabel("Pause");
}

void CVoiceController::ShowVoiceName()
{
    IVoice* voice = speech.Voice();
    Control<wxTextCtrl>(window, kVoiceName)
        ->ChangeValue(voice ? FromPhrase(Utf8ToCodePage(voice->CurrentVoice().description))
                            : wxString());
}

void CVoiceController::OnPause(wxCommandEvent&)
{
    IVoice* voice = speech.Voice();
    paused = !paused;
    Control<wxButton>(window, kPause)->SetLabel(paused ? "Resume" : "Pause");
    if (voice && paused) voice->Pause();
    if (voice && !paused) voice->Resume();
}

void CVoiceController::OnSelect(wxCommandEvent&)
{
    holdSpeech([this] {
        CVoiceSelectionDlg dlg(window, speech.Voice(), voicePosition, formatPosition);
        if (dlg.ShowModal() != wxID_OK) return;
        voicePosition = dlg.voicePosition;
        formatPosition = dlg.formatPosition;
        ShowVoiceName();
    });
}

}  // namespace talvero
