#include "ui/TextSelection.h"

#include <cstring>
#include <utility>

#include <wx/textctrl.h>

#ifdef __WXGTK__
#include <gtk/gtk.h>
#endif

namespace talvero {

#ifdef __WXGTK__
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

SelectionWatch WatchSelectionChanges(wxTextCtrl* text, std::function<void()> onChange)
{
    SelectionWatch watch;
    if (!text) return watch;
    GtkWidget* widget = text->GetHandle();
    if (widget && GTK_IS_SCROLLED_WINDOW(widget)) widget = gtk_bin_get_child(GTK_BIN(widget));
    if (!widget || !GTK_IS_TEXT_VIEW(widget)) return watch;
    GtkTextBuffer* buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(widget));
    auto* callback = new std::function<void()>(std::move(onChange));
    watch.handler = g_signal_connect_data(buffer, "mark-set", G_CALLBACK(OnMarkSet), callback,
                                          DeleteCallback, GConnectFlags(0));
    watch.buffer = g_object_ref(buffer);
    return watch;
}

void SelectionWatch::Stop()
{
    if (!buffer) return;
    if (handler && g_signal_handler_is_connected(buffer, handler))
        g_signal_handler_disconnect(buffer, handler);
    g_object_unref(buffer);
    buffer = nullptr;
    handler = 0;
}
#else
SelectionWatch WatchSelectionChanges(wxTextCtrl*, std::function<void()>)
{
    return {};
}

void SelectionWatch::Stop() {}
#endif

SelectionWatch::SelectionWatch(SelectionWatch&& other) noexcept
    : buffer(std::exchange(other.buffer, nullptr)), handler(std::exchange(other.handler, 0))
{
}

SelectionWatch& SelectionWatch::operator=(SelectionWatch&& other) noexcept
{
    if (this != &other) {
        Stop();
        buffer = std::exchange(other.buffer, nullptr);
        handler = std::exchange(other.handler, 0);
    }
    return *this;
}

SelectionWatch::~SelectionWatch()
{
    Stop();
}

}  // namespace talvero
