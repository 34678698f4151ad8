#include "tests/support/WaitPumping.h"

#include <chrono>
#include <cmath>
#include <memory>

#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/window.h>

#ifdef __WXGTK__
#include <gtk/gtk.h>
#endif

namespace talvero {

namespace {

// Tests (and a window shown before any loop runs) may have no active loop yet.
class ActiveLoop {
public:
    ActiveLoop() : loop(wxEventLoopBase::GetActive())
    {
        if (loop) return;
        own = std::make_unique<wxEventLoop>();
        activate = std::make_unique<wxEventLoopActivator>(own.get());
        loop = own.get();
    }
    wxEventLoopBase* operator->() const { return loop; }

private:
    wxEventLoopBase* loop;
    std::unique_ptr<wxEventLoop> own;
    std::unique_ptr<wxEventLoopActivator> activate;
};

}  // namespace

bool WaitPumping(double ms, const std::function<bool()>& keepWaiting)
{
    ActiveLoop loop;
    if (!(ms > 0)) ms = 0;  // negative or NaN: one pass only
    if (ms > 86400000.0) ms = 86400000.0;
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::microseconds(std::llround(ms * 1000.0));
    // DispatchTimeout blocks in the toolkit's poll until an event arrives or the time is up
    // (its return value does not tell a timeout from an ending loop on every port, so the
    // caller's keepWaiting decides about ending).
    loop->DispatchTimeout(0);
    for (;;) {
        if (keepWaiting && !keepWaiting()) return false;
        auto left = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now()).count();
        if (left <= 0) return true;
        loop->DispatchTimeout(static_cast<unsigned long>(left));
    }
}

void DrainEvents()
{
    ActiveLoop loop;
    // Bounded all the same: a handler that keeps asking for more idle time would otherwise
    // keep the toolkit's queue busy for ever.
    for (int round = 0; round < 10000; ++round) {
        const bool toolkit = loop->Pending();
        const bool queued = wxTheApp && wxTheApp->HasPendingEvents();
        if (!toolkit && !queued) return;
        if (toolkit) loop->DispatchTimeout(0);
        if (queued) wxTheApp->ProcessPendingEvents();
    }
}

void WaitUntilDrawn(wxWindow* top)
{
#ifdef __WXGTK__
    GtkWidget* widget = top->GetHandle();
    auto mapped = [widget] {
        GdkWindow* gdk = gtk_widget_get_window(widget);
        return gdk && !(gdk_window_get_state(gdk) & GDK_WINDOW_STATE_WITHDRAWN);
    };
    WaitPumping(10000, [&] { return !mapped(); });
    GdkFrameClock* clock = gtk_widget_get_frame_clock(widget);
    if (!clock) return;
    // A frame lays out what is pending before it paints: one painted frame after the mapping
    // has every control in its place.
    bool painted = false;
    const gulong handler = g_signal_connect_swapped(
        clock, "after-paint", G_CALLBACK(+[](bool* flag) { *flag = true; }), &painted);
    gtk_widget_queue_draw(widget);
    WaitPumping(10000, [&] { return !painted; });
    g_signal_handler_disconnect(clock, handler);
#else
    (void)top;
    DrainEvents();
#endif
}

}  // namespace talvero
