#include "ui/TextSelection.h"

#include <cstring>

#include <wx/textctrl.h>

#ifdef __WXGTK__
#include <gtk/gtk.h>

namespace {

void OnMarkSet(GtkTextBuffer*, GtkTextIter*, GtkTextMark* mark, gpointer data)
{
    const char* name = gtk_text_mark_get_name(mark);
    if (!name || (std::strcmp(name, "insert") != 0 && std::strcmp(name, "selection_bound") != 0))
        return;
    (*static_cast<std::function<void()>*>(data))();
}

void DeleteCallback(gpointer data, GClosure*)
{
    delete static_cast<std::function<void()>*>(data);
}

}  // namespace

void WatchSelectionChanges(wxTextCtrl* text, std::function<void()> onChange)
{
    if (!text) return;
    GtkWidget* widget = text->GetHandle();
    if (widget && GTK_IS_SCROLLED_WINDOW(widget)) widget = gtk_bin_get_child(GTK_BIN(widget));
    if (!widget || !GTK_IS_TEXT_VIEW(widget)) return;
    GtkTextBuffer* buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(widget));
    auto* callback = new std::function<void()>(std::move(onChange));
    g_signal_connect_data(buffer, "mark-set", G_CALLBACK(OnMarkSet), callback, DeleteCallback,
                          GConnectFlags(0));
}
#else
void WatchSelectionChanges(wxTextCtrl*, std::function<void()>) {}
#endif
