#pragma once
// "Set delay time for automatic translation": edits the automatic-translation delay in
// milliseconds, an integer from 0 to 100000.
#include <wx/dialog.h>

class wxTextCtrl;

namespace talvero {

class CDelayDlg : public wxDialog {
public:
    CDelayDlg(wxWindow* parent, int delay);

    int delay;  // in: shown in edit 1037; out, after OK: the validated value

    static constexpr int kMinDelay = 0;
    static constexpr int kMaxDelay = 100000;

private:
    void OnOK(wxCommandEvent& event);
    void OnCancel(wxCommandEvent& event);

    wxTextCtrl* edit = nullptr;

    wxDECLARE_EVENT_TABLE();
};

}  // namespace talvero
