#pragma once
// Every message box of the program goes through here, so that a test can answer it instead of a
// user (the hook sees the text, caption and style and returns the button pressed).
#include <functional>

#include <wx/string.h>

class wxWindow;

namespace talvero {

struct MessageBoxCall {
    wxString text;
    wxString caption;
    long style = 0;
    wxWindow* parent = nullptr;
};

using MessageBoxHook = std::function<int(const MessageBoxCall&)>;

// The caption of a box asked for with an empty one.
inline constexpr const char* kDefaultMessageBoxCaption = "Error";

// Shows a message box (wxMessageBox semantics: returns wxOK, wxYES, wxNO or wxCANCEL).
int TalveroMessageBox(const wxString& text, const wxString& caption, long style,
                      wxWindow* parent = nullptr);

// Installs a hook that answers every message box; an empty hook restores the real boxes.
void SetMessageBoxHook(MessageBoxHook hook);

}  // namespace talvero
