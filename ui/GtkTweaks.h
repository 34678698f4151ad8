#pragma once
// Small look adjustments that wx does not offer, done on the toolkit's widgets.
class wxCheckBox;
class wxComboBox;
class wxStaticBox;
class wxSize;
class wxString;
class wxTextCtrl;
class wxTopLevelWindow;
class wxWindow;

namespace talvero {

// Lets a check box's label wrap onto further lines beyond `maxChars` characters.
void WrapCheckBoxLabel(wxCheckBox* box, int maxChars);

// A group box whose title wraps onto further lines beyond `maxChars` characters: a long title
// otherwise makes the whole group as wide.
wxStaticBox* CreateWrappingGroup(wxWindow* parent, const wxString& title, int maxChars);

// Makes the edit field of a drop-down with an edit field wide enough for `chars` characters of
// its own font; the toolkit otherwise sizes it by its button and clips short entries.
void SetComboEntryWidth(wxComboBox* combo, int chars);

// Keeps a multi-line text box's scroll bar on screen whenever its text is longer than the box
// (the toolkit otherwise overlays it only while the pointer moves over the box).
void ShowScrollBarWhenNeeded(wxTextCtrl* text);

// Keeps a scrolled window's scroll bars on screen (the toolkit otherwise overlays them only while
// the pointer moves), so that a user sees there is more to scroll to.
void KeepScrollBarsShown(wxWindow* scrolled);

// Gives a shown window `client` as its client area. wx alone takes a request for the size it
// believes the window has for done; while it learns the window manager's frame that belief can
// differ from the window's real size.
void ResizeClientArea(wxTopLevelWindow* window, const wxSize& client);

}  // namespace talvero
