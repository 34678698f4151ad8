// The clipboard and the selection through GTK: asynchronous requests with a deadline of our own,
// so that an owner that never answers cannot hold the window (GTK's own wait for a selection is
// far longer). Nothing here takes ownership of a selection or the clipboard.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <algorithm>

#include "base/CodePage.h"
#include "platform/x11/X11Backends.h"
#include "platform/x11/X11Keys.h"

namespace talvero {

namespace {

// One capture in flight. The toolkit's answer cannot be called off, so its callback keeps the
// capture alive and finds it finished (or cancelled) when it comes too late.
struct Capture {
    std::function<void(const CapturedText&)> done;
    guint timer = 0;
    bool finished = false;
    bool fromClipboard = false;
};

class GtkClipboardText : public IClipboard {
public:
    GtkClipboardText()
    {
        if (!gdk_display_get_default()) return;
        clipboard = gtk_clipboard_get(GDK_SELECTION_CLIPBOARD);
        primary = gtk_clipboard_get(GDK_SELECTION_PRIMARY);
    }
    ~GtkClipboardText() override { CancelCapture(); }

    void CaptureSelection(int timeoutMs, std::function<void(const CapturedText&)> done) override
    {
        CancelCapture();
        auto capture = std::make_shared<Capture>();
        capture->done = std::move(done);
        if (!clipboard) {
            Finish(capture, {CaptureOutcome::Nothing, {}, false});
            return;
        }
        current = capture;
        GtkClipboard* source = primary;
        // On X11 the owner can be asked for directly: with nobody owning PRIMARY the user has
        // selected nothing, and the clipboard's text stands in. Elsewhere PRIMARY is asked and
        // the clipboard serves when it gives no text.
        if (GdkDisplay* x = x11::X11GdkDisplay()) {
            Display* display = GDK_DISPLAY_XDISPLAY(x);
            if (XGetSelectionOwner(display, XA_PRIMARY) == None) {
                const Atom clipboardAtom = XInternAtom(display, "CLIPBOARD", False);
                if (XGetSelectionOwner(display, clipboardAtom) == None) {
                    Finish(capture, {CaptureOutcome::Nothing, {}, false});
                    return;
                }
                source = clipboard;
                capture->fromClipboard = true;
            }
        }
        capture->timer = g_timeout_add(guint(std::max(timeoutMs, 0)), &OnTimeout, this);
        Request(source, capture);
    }

    void CancelCapture() override
    {
        if (!current) return;
        current->finished = true;
        if (current->timer) g_source_remove(current->timer);
        current->timer = 0;
        current.reset();
    }

private:
    void Request(GtkClipboard* source, const std::shared_ptr<Capture>& capture)
    {
        struct Answer {
            GtkClipboardText* self;
            std::shared_ptr<Capture> capture;
        };
        gtk_clipboard_request_text(
            source,
            [](GtkClipboard*, const gchar* text, gpointer data) {
                std::unique_ptr<Answer> answer(static_cast<Answer*>(data));
                if (answer->capture->finished) return;
                answer->self->Answered(answer->capture, text);
            },
            new Answer{this, capture});
    }

    void Answered(const std::shared_ptr<Capture>& capture, const gchar* text)
    {
        if (!text) {
            // Without X11 there was no telling whether anything was selected: the clipboard
            // gets its turn when the selection gave no text.
            if (!capture->fromClipboard && !x11::X11GdkDisplay()) {
                capture->fromClipboard = true;
                Request(clipboard, capture);
                return;
            }
            Finish(capture,
                   {capture->fromClipboard ? CaptureOutcome::Nothing : CaptureOutcome::NotText,
                    {},
                    capture->fromClipboard});
            return;
        }
        CapturedText result{CaptureOutcome::Text, Utf8ToCodePage(text), capture->fromClipboard};
        if (result.text.size() > kMaxCaptureBytes) {
            result.outcome = CaptureOutcome::TooLarge;
            result.text.clear();
        }
        Finish(capture, result);
    }

    static gboolean OnTimeout(gpointer data)
    {
        auto* self = static_cast<GtkClipboardText*>(data);
        std::shared_ptr<Capture> capture = self->current;
        if (capture) {
            capture->timer = 0;  // this source ends with the FALSE below
            self->Finish(capture, {CaptureOutcome::NoAnswer, {}, capture->fromClipboard});
        }
        return FALSE;
    }

    // Runs `done` once; the capture is over before it runs, so `done` may start the next one.
    void Finish(const std::shared_ptr<Capture>& capture, const CapturedText& result)
    {
        if (capture->finished) return;
        capture->finished = true;
        if (capture->timer) g_source_remove(capture->timer);
        capture->timer = 0;
        if (current == capture) current.reset();
        auto done = std::move(capture->done);
        if (done) done(result);
    }

    GtkClipboard* clipboard = nullptr;
    GtkClipboard* primary = nullptr;
    std::shared_ptr<Capture> current;
};

}  // namespace

std::unique_ptr<IClipboard> MakeGtkClipboard()
{
    return std::make_unique<GtkClipboardText>();
}

}  // namespace talvero
