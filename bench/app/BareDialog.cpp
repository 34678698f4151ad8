// The yardstick for the window's start-up: a bare dialog with nothing but the four pair lists
// of the main window, filled the same way. "fit" leaves the lists to size themselves by every
// entry (the toolkit's default); "fixed" measures them once (FixChoiceWidth).
// Usage: bare_dialog fit|fixed
#include <wx/app.h>
#include <wx/choice.h>
#include <wx/dialog.h>
#include <wx/sizer.h>

#include <cstdlib>
#include <cstring>

#include "catalogue/Catalogue.h"
#include "ui/DialogBuilder.h"
#include "ui/ListSpeed.h"

namespace talvero {

namespace {

class BareApp : public wxApp {
public:
    // As the window does, so that the yardstick holds the same toolkit.
    BareApp() { ::setenv("GDK_GL", "disable", 0); }
    bool OnInit() override
    {
        const bool fixed = argc > 1 && argv[1] == wxString("fixed");
        auto* dialog = new wxDialog(nullptr, wxID_ANY, "Talvero");
        auto* column = new wxBoxSizer(wxVERTICAL);
        for (PairList list :
             {PairList::Google, PairList::Babelfish, PairList::FreeTranslation, PairList::Local}) {
            auto* choice = new wxChoice(dialog, wxID_ANY);
            wxArrayString names;
            for (const PairEntry& e : PairsOf(list))
                names.Add(FromPhrase(e.displayName));
            choice->Set(names);
            choice->SetSelection(0);
            if (fixed) FixChoiceWidth(choice);
            column->Add(choice, 0, wxEXPAND | wxALL, 4);
        }
        dialog->SetSizerAndFit(column);
        dialog->Show();
        return true;
    }
};

}  // namespace

}  // namespace talvero

wxIMPLEMENT_APP(talvero::BareApp);
