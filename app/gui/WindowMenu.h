#pragma once
// The main window's own menu: "Options" and "&About Talvero...". The desktop's window menu
// cannot be extended, so the window offers them from its "Menu" button and its context menu.
class wxMenu;
class wxObject;
class wxPoint;
class wxWindow;

namespace talvero {

// The items the system menu carries elsewhere; without the "About" string, none.
wxMenu* BuildWindowMenu();
// Pops the menu up over `window` at `at` (client coordinates), when it has items.
void PopUpWindowMenu(wxWindow* window, const wxPoint& at);
// Text boxes keep their own context menu (cut, copy, paste).
bool HasOwnContextMenu(wxObject* control);

}  // namespace talvero
