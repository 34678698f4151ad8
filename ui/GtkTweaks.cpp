#include "ui/GtkTweaks.h"

#include <wx/checkbox.h>
#include <wx/combobox.h>
#include <wx/textctrl.h>
#include <wx/toplevel.h>

#ifdef __WXGTK__
#include <gtk/gtk.h>
#endif

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

void MakeNotResizable(wxTopLevelWindow* window)
{
#ifdef __WXGTK__
    if (!window) return;
    GtkWidget* widget = window->GetHandle();
    if (widget && GTK_IS_WINDOW(widget)) gtk_window_set_resizable(GTK_WINDOW(widget), FALSE);
#else
    (void)window;
#endif
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
