#pragma once
// "Add new translations to the local dictionary": shows the pair about to be added, editable;
// OK stores the boxes back into the two fields.
#include <string>

#include <wx/dialog.h>

class wxTextCtrl;

namespace talvero {

class CConfirmationDlg : public wxDialog {
public:
    explicit CConfirmationDlg(wxWindow* parent);

    std::string originalText;    // box 1050
    std::string translatedText;  // box 1051

    // Shows the fields in their boxes and runs the dialog.
    int ShowModal() override;

private:
    void OnOK(wxCommandEvent& event);

    wxTextCtrl* original = nullptr;
    wxTextCtrl* translated = nullptr;
};

}  // namespace talvero
