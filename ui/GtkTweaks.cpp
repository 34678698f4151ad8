#include "ui/GtkTweaks.h"

#include <algorithm>

#include <wx/checkbox.h>
#include <wx/combobox.h>
#include <wx/statbox.h>
#include <wx/textctrl.h>
#include <wx/toplevel.h>

#ifdef __WXGTK__
#include <gtk/gtk.h>
#endif

namespace talvero {

void WrapCheckBoxLabel(wxCheckBox* box, int maxChars)
{
#ifdef __WXGTK__
    if (!box) return;
    GtkWidget* widget = box->GetHandle();
    if (!widget || !GTK_IS_BIN(widget)) return;
    GtkWidget* label = gtk_bin_get_child(GTK_BIN(widget));
    if (!label || !GTK_IS_LABEL(label)) return;
    gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
    gtk_label_set_max_width_chars(GTK_LABEL(label), maxChars);
    box->InvalidateBestSize();
#else
    (void)box;
    (void)maxChars;
#endif
}

namespace {

class WrappingGroup : public wxStaticBox {
public:
    WrappingGroup(wxWindow* parent, const wxString& title, int maxChars)
        : wxStaticBox(parent, wxID_ANY, title)
    {
#ifdef __WXGTK__
        label = gtk_frame_get_label_widget(GTK_FRAME(GetHandle()));
        if (label && GTK_IS_LABEL(label)) {
            gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
            gtk_label_set_max_width_chars(GTK_LABEL(label), maxChars);
            // The frame's top line meets the title's last line, not the middle of the title.
            float xalign = 0;
            gtk_frame_get_label_align(GTK_FRAME(GetHandle()), &xalign, nullptr);
            gtk_frame_set_label_align(GTK_FRAME(GetHandle()), xalign, 1.0f);
        } else {
            label = nullptr;
        }
#else
        (void)maxChars;
#endif
    }

protected:
    // The toolkit's own measure takes the title on one line.
    wxSize DoGetBestSize() const override
    {
        wxSize best = wxStaticBox::DoGetBestSize();
#ifdef __WXGTK__
        if (label) {
            int natural = 0;
            gtk_widget_get_preferred_width(label, nullptr, &natural);
            best.x = std::min(best.x, natural + 3 * GetCharWidth());
        }
#endif
        return best;
    }

private:
#ifdef __WXGTK__
    GtkWidget* label = nullptr;
#endif
};

}  // namespace

wxStaticBox* CreateWrappingGroup(wxWindow* parent, const wxString& title, int maxChars)
{
    return new WrappingGroup(parent, title, maxChars);
}

void SetComboEntryWidth(wxComboBox* combo, int chars)
{
#ifdef __WXGTK__
    if (!combo) return;
    GtkWidget* widget = combo->GetHandle();
    if (!widget || !GTK_IS_BIN(widget)) return;
    GtkWidget* entry = gtk_bin_get_child(GTK_BIN(widget));
    if (!entry || !GTK_IS_ENTRY(entry)) return;
    gtk_entry_set_width_chars(GTK_ENTRY(entry), chars);
    combo->InvalidateBestSize();
#else
    (void)combo;
    (void)chars;
#endif
}

void ShowScrollBarWhenNeeded(wxTextCtrl* text)
{
#ifdef __WXGTK__
    if (!text) return;
    GtkWidget* widget = text->GetHandle();
    if (!widget || !GTK_IS_SCROLLED_WINDOW(widget)) return;
    gtk_scrolled_window_set_overlay_scrolling(GTK_SCROLLED_WINDOW(widget), FALSE);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(widget), GTK_POLICY_NEVER,
                                   GTK_POLICY_AUTOMATIC);
#else
    (void)text;
#endif
}

void KeepScrollBarsShown(wxWindow* scrolled)
{
#ifdef __WXGTK__
    if (!scrolled) return;
    GtkWidget* widget = scrolled->GetHandle();
    if (widget && GTK_IS_SCROLLED_WINDOW(widget))
        gtk_scrolled_window_set_overlay_scrolling(GTK_SCROLLED_WINDOW(widget), FALSE);
#else
    (void)scrolled;
#endif
}

void ResizeClientArea(wxTopLevelWindow* window, const wxSize& client)
{
    window->SetClientSize(client);
#ifdef __WXGTK__
    GtkWidget* widget = window->GetHandle();
    if (!widget || !GTK_IS_WINDOW(widget)) return;
    int width = 0, height = 0;
    gtk_window_get_size(GTK_WINDOW(widget), &width, &height);
    if (width != client.x || height != client.y)
        gtk_window_resize(GTK_WINDOW(widget), client.x, client.y);
#endif
}

}  // namespace talvero
