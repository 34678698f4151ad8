#include "app/gui/WindowMenu.h"

#include <memory>

#include <wx/combobox.h>
#include <wx/menu.h>
#include <wx/textctrl.h>

#include "res/Resources.h"
#include "res/Templates.h"
#include "ui/Accessibility.h"

namespace talvero {

wxMenu* BuildWindowMenu()
{
    auto* menu = new wxMenu;
    const wxString about = wxString::FromUTF8(res::LoadString(res::kAboutMenuString));
    if (!about.empty()) {
        menu->Append(res::kCmdOptions, "Options");
        menu->Append(res::kCmdAbout, about);
    }
    TagMenuItems(menu);
    return menu;
}

void PopUpWindowMenu(wxWindow* window, const wxPoint& at)
{
    std::unique_ptr<wxMenu> menu(BuildWindowMenu());
    if (menu->GetMenuItemCount() != 0) window->PopupMenu(menu.get(), at);
}

bool HasOwnContextMenu(wxObject* control)
{
    return dynamic_cast<wxTextCtrl*>(control) || dynamic_cast<wxComboBox*>(control);
}

}  // namespace talvero
