#pragma once
// "Set options": the settings without a control in the main window. OK validates the two
// number boxes (the first invalid one keeps the dialog open with the focus on it) and stores
// every control in `values`; Cancel leaves `values` as it was handed in.
#include <span>

#include <wx/dialog.h>

#include "settings/Options.h"

class wxComboBox;
class wxTextCtrl;

namespace talvero {

// What the desktop does not allow, said in the dialog beside the options concerned.
struct OptionsNotes {
    bool noGlobalHotkey = false;           // no X11 grab, no shortcuts portal
    bool compositorPlacesWindows = false;  // Wayland: "Topmost window" is the compositor's
};

inline constexpr const char* kNoHotkeyNote =
    "This desktop gives programs no global hotkey: bind the command \"talvero --capture\" to a "
    "key in its keyboard settings.";
inline constexpr const char* kTopmostNoteText =
    "On Wayland the compositor decides which windows stay on top.";

class COptionsDlg : public wxDialog {
public:
    struct Check {
        int id;
        bool Settings::*member;
    };
    // The dialog's check boxes and the settings they show, in the dialog's order.
    static std::span<const Check> Checks();

    COptionsDlg(wxWindow* parent, const Settings& values, const ProxyConnection& connection,
                const OptionsNotes& notes = {});

    Settings values;             // the members that CopyOptions() copies
    ProxyConnection connection;  // handed back unchanged

private:
    void LayOut(const OptionsNotes& notes);
    void ShowValues();
    bool ReadControls();
    void OnOK(wxCommandEvent& event);
    void OnCancel(wxCommandEvent& event);

    wxComboBox* bannerSource = nullptr;
    wxComboBox* hotkeyKey = nullptr;
    wxTextCtrl* maxWords = nullptr;
    wxTextCtrl* fontSize = nullptr;
    wxTextCtrl* username = nullptr;
    wxTextCtrl* password = nullptr;
    wxString shownUsername;

    wxDECLARE_EVENT_TABLE();
};

}  // namespace talvero
