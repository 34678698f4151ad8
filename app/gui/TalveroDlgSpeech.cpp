// The main window's text-to-speech side: Stop, Pause/Resume, Select, Repeat, the voice name box
// and the voice's events.
#include <wx/button.h>
#include <wx/textctrl.h>

#include "app/gui/TalveroDlg.h"
#include "app/gui/TalveroEvents.h"
#include "base/CodePage.h"
#include "res/Ids.h"
#include "speech/Voice.h"
#include "speech/gui/VoiceSelectionDlg.h"
#include "ui/DialogBuilder.h"

using namespace res::ctl;

void CTalveroDlg::SetUpVoice()
{
    Bind(wxEVT_BUTTON, &CTalveroDlg::OnStopSpeaking, this, kStop);
    Bind(wxEVT_BUTTON, &CTalveroDlg::OnPauseSpeaking, this, kPause);
    Bind(wxEVT_BUTTON, &CTalveroDlg::OnSelectVoice, this, kSelectVoice);
    Bind(wxEVT_BUTTON, &CTalveroDlg::OnRepeatSpeaking, this, kRepeat);
    ConnectVoice();
}

// At start-up and for each new voice an engine change brings.
void CTalveroDlg::ConnectVoice()
{
    // The voice's threads only post; the events are fetched on this thread (OnVoiceEvent).
    if (IVoice* voice = parts.speech->Voice())
        voice->SetNotify([this] { wxQueueEvent(this, new wxThreadEvent(TALVERO_EVT_VOICE)); });
    ShowVoiceName();
}

void CTalveroDlg::ShowVoiceName()
{
    IVoice* voice = parts.speech->Voice();
    auto* box = static_cast<wxTextCtrl*>(FindWindow(kVoiceName));
    if (box)
        box->ChangeValue(voice ? FromPhrase(Utf8ToCodePage(voice->CurrentVoice().description))
                               : wxString());
}

// Ends what is being spoken and drops the queue; the pause state stays.
void CTalveroDlg::OnStopSpeaking(wxCommandEvent&)
{
    parts.speech->PurgeSpeech();
}

void CTalveroDlg::OnPauseSpeaking(wxCommandEvent&)
{
    IVoice* voice = parts.speech->Voice();
    wxWindow* button = FindWindow(kPause);
    voicePaused = !voicePaused;
    button->SetLabel(voicePaused ? "Resume" : "Pause");
    if (voice && voicePaused) voice->Pause();
    if (voice && !voicePaused) voice->Resume();
}

void CTalveroDlg::OnSelectVoice(wxCommandEvent&)
{
    CVoiceSelectionDlg dlg(this, parts.speech->Voice(), voicePosition, formatPosition);
    speechDialogOpen = true;  // an engine loaded meanwhile replaces the voice afterwards
    const bool confirmed = dlg.ShowModal() == wxID_OK;
    speechDialogOpen = false;
    if (confirmed) {
        voicePosition = dlg.voicePosition;
        formatPosition = dlg.formatPosition;
        ShowVoiceName();
    }
    ApplyLoadedEngine();
}

void CTalveroDlg::OnRepeatSpeaking(wxCommandEvent&)
{
    parts.speech->SpeakText(parts.speech->LastSpokenText());
}
