// A second program for the capture tests: a window whose text box holds the first argument,
// all of it selected and focused, as a user leaves a selection before pressing the hotkey.
#include <wx/app.h>
#include <wx/frame.h>
#include <wx/textctrl.h>

namespace talvero {

class SelectionSourceApp : public wxApp {
public:
    bool OnInit() override
    {
        const wxString text = argc > 1 ? wxString::FromUTF8(argv[1].utf8_str()) : wxString();
        auto* frame =
            new wxFrame(nullptr, wxID_ANY, "talvero-selection-source", {40, 40}, {400, 120});
        auto* box = new wxTextCtrl(frame, wxID_ANY, text);
        frame->Show();
        box->SetFocus();
        box->SelectAll();
        return true;
    }
};

}  // namespace talvero

wxIMPLEMENT_APP(talvero::SelectionSourceApp);
