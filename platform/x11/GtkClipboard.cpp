// The clipboard through GTK: asynchronous requests with a deadline of our own, so that an owner
// that never answers cannot hold the window (GTK's own wait for a selection is far longer).
#include <gtk/gtk.h>

#include "platform/x11/X11Backends.h"

namespace {

struct TextRequest {
    bool done = false;
    std::optional<std::string> text;
};

class GtkClipboardText : public IClipboard {
public:
    GtkClipboardText()
    {
        if (!gdk_display_get_default()) return;
        clipboard = gtk_clipboard_get(GDK_SELECTION_CLIPBOARD);
        handlerId = g_signal_connect(clipboard, "owner-change", G_CALLBACK(OnOwnerChange), this);
    }
    ~GtkClipboardText() override
    {
        if (clipboard && handlerId) g_signal_handler_disconnect(clipboard, handlerId);
    }

    uint64_t ChangeCount() override { return changes; }

    std::optional<std::string> ReadTextAfterChange(uint64_t since, int totalMs, int readMs,
                                                   const Waiter& wait) override
    {
        if (!clipboard) return std::nullopt;
        const gint64 deadline = g_get_monotonic_time() + gint64(totalMs) * 1000;
        if (!wait(totalMs - readMs, [&] { return changes > since; })) return std::nullopt;
        // The request outlives this call when the owner answers late: the callback owns one
        // reference and frees it.
        auto request = std::make_shared<TextRequest>();
        gtk_clipboard_request_text(clipboard, &GtkClipboardText::OnText,
                                   new std::shared_ptr<TextRequest>(request));
        const int left = int((deadline - g_get_monotonic_time()) / 1000);
        if (!request->done && left > 0 && !wait(left, [&] { return request->done; }))
            return std::nullopt;
        return request->done ? request->text : std::nullopt;
    }

private:
    static void OnOwnerChange(GtkClipboard*, GdkEvent*, gpointer data)
    {
        ++static_cast<GtkClipboardText*>(data)->changes;
    }
    static void OnText(GtkClipboard*, const gchar* text, gpointer data)
    {
        auto* holder = static_cast<std::shared_ptr<TextRequest>*>(data);
        (*holder)->done = true;
        if (text) (*holder)->text = std::string(text);
        delete holder;
    }

    GtkClipboard* clipboard = nullptr;
    gulong handlerId = 0;
    uint64_t changes = 0;
};

}  // namespace

std::unique_ptr<IClipboard> MakeGtkClipboard()
{
    return std::make_unique<GtkClipboardText>();
}
