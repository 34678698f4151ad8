#pragma once
// "About Talvero": the icon, the program's name and version, OK.
#include <wx/dialog.h>

namespace talvero {

class CAboutDlg : public wxDialog {
public:
    explicit CAboutDlg(wxWindow* parent);

private:
    void OnOK(wxCommandEvent& event);
    wxDECLARE_EVENT_TABLE();
};

}  // namespace talvero
