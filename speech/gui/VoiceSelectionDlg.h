#pragma once
// "Voice Selection": the voice, its rate and volume, and the output format. OK applies all four;
// Cancel applies nothing more than the voice the dialog selected when it opened.
#include <vector>

#include <wx/dialog.h>

#include "speech/Voice.h"

class wxChoice;
class wxSlider;

namespace talvero {

class CVoiceSelectionDlg : public wxDialog {
public:
    // `voice` may be null: the dialog then shows the format list and nothing else. The two
    // positions are those chosen the last time (-1: none).
    CVoiceSelectionDlg(wxWindow* parent, IVoice* voice, int voicePosition, int formatPosition);

    // In: selected on opening; out, after OK: the combos' selections (-1 for none).
    int voicePosition;
    int formatPosition;

private:
    void FillFormats();
    bool FillVoices();
    void ApplySelectedVoice();
    void OnOK(wxCommandEvent& event);
    void OnCancel(wxCommandEvent& event);

    IVoice* voice;
    std::vector<VoiceInfo> voices;   // the voice combo's item data are indexes into this
    wxChoice* voiceList = nullptr;   // 1028
    wxSlider* rate = nullptr;        // 1029
    wxSlider* volume = nullptr;      // 1030
    wxChoice* formatList = nullptr;  // 1031

    wxDECLARE_EVENT_TABLE();
};

}  // namespace talvero
