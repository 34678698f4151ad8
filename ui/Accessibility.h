#pragma once
// Screen readers and outside tests find controls by an accessible id (the control's numeric
// id as text) and, for controls without a label of their own, an accessible name.
#include <wx/string.h>

class wxMenu;
class wxWindow;

namespace talvero {

// Tags one control with its id and, when given, its accessible name.
void SetAccessibleId(wxWindow* window, const wxString& name = wxString());

// The same with an id other than the window's own (a standard button's command id, say); a
// negative id sets the name only.
void SetAccessibleIdAs(wxWindow* window, int id, const wxString& name = wxString());

// Tags `window` and every descendant that has an id of its own (>= 0) with that id as text.
void TagAccessibleIds(wxWindow* window);

// Tags every item of `menu` with its command number as text: the item's id, or
// `commandOf(id)` where the items carry ids other than their commands.
void TagMenuItems(wxMenu* menu, int (*commandOf)(int) = nullptr);

// Presents a top-level window to screen readers as an alert (a message box).
void MarkAsAlert(wxWindow* window);

}  // namespace talvero
