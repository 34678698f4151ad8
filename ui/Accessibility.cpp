#include "ui/Accessibility.h"

#include <wx/menu.h>
#include <wx/window.h>

#ifdef __WXGTK__
#include <atk/atk.h>
#include <gtk/gtk.h>
#endif

namespace talvero {

void SetAccessibleId(wxWindow* window, const wxString& name)
{
    if (window) SetAccessibleIdAs(window, window->GetId(), name);
}

void SetAccessibleIdAs(wxWindow* window, int idNumber, const wxString& name)
{
#ifdef __WXGTK__
    if (!window) return;
    GtkWidget* widget = window->GetHandle();
    if (!widget) return;
    if (GTK_IS_SCROLLED_WINDOW(widget)) {
        GtkWidget* child = gtk_bin_get_child(GTK_BIN(widget));
        if (child) widget = child;
    }
    AtkObject* acc = gtk_widget_get_accessible(widget);
    if (!acc) return;
    wxString id = wxString::Format("%d", idNumber);
    if (idNumber >= 0) atk_object_set_accessible_id(acc, id.utf8_str());
    // A combo box too is named by what it is for, as a label beside it would name it; its
    // selection stays what a screen reader reads as its value (the selected item).
    if (!name.empty()) atk_object_set_name(acc, name.utf8_str());
#else
    (void)window;
    (void)idNumber;
    (void)name;
#endif
}

void TagAccessibleIds(wxWindow* window)
{
    if (!window) return;
    if (window->GetId() >= 0) SetAccessibleId(window);
    for (wxWindow* child : window->GetChildren())
        TagAccessibleIds(child);
}

void TagMenuItems(wxMenu* menu, int (*commandOf)(int))
{
#ifdef __WXGTK__
    if (!menu) return;
    for (wxMenuItem* item : menu->GetMenuItems()) {
        if (item->IsSeparator() || !item->GetMenuItem()) continue;
        AtkObject* acc = gtk_widget_get_accessible(item->GetMenuItem());
        if (!acc) continue;
        const int command = commandOf ? commandOf(item->GetId()) : item->GetId();
        atk_object_set_accessible_id(acc, wxString::Format("%d", command).utf8_str());
    }
#else
    (void)menu;
    (void)commandOf;
#endif
}

void MarkAsAlert(wxWindow* window)
{
#ifdef __WXGTK__
    if (!window || !window->GetHandle()) return;
    if (AtkObject* acc = gtk_widget_get_accessible(window->GetHandle()))
        atk_object_set_role(acc, ATK_ROLE_ALERT);
#else
    (void)window;
#endif
}

}  // namespace talvero
