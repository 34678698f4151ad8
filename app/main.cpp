#include <wx/wx.h>

// Placeholder until the main window lands.
class CTalveroApp : public wxApp {
public:
    bool OnInit() override
    {
        auto* frame = new wxFrame(nullptr, wxID_ANY, "Talvero");
        frame->Show();
        return true;
    }
};

wxIMPLEMENT_APP(CTalveroApp);
