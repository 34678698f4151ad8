// An X error about a window that another program destroyed is no fault of ours.
#include <X11/Xlib.h>
#include <X11/Xproto.h>
#include <gdk/gdkx.h>

#include "platform/Platform.h"
#include "platform/x11/X11Keys.h"

namespace talvero {

namespace {

XErrorHandler toolkitHandler = nullptr;

// Requests that only ask about a window. Xlib reports their failure to the caller by its return
// value, so an error about a vanished window tells nobody anything more.
bool IsWindowQuery(unsigned char request)
{
    switch (request) {
        case X_GetWindowAttributes:
        case X_GetGeometry:
        case X_QueryTree:
        case X_QueryPointer:
        case X_TranslateCoords:
            return true;
        default:
            return false;
    }
}

int OnXError(Display* display, XErrorEvent* error)
{
    // Our tray entry lives inside the tray host's window, and goes when the host drops that
    // window; the toolkit may still ask about it (where the pointer is, for a tooltip) before it
    // hears so, without trapping the error, and its handler ends the program for it.
    if (error->error_code == BadWindow && IsWindowQuery(error->request_code)) {
        g_debug("ignored BadWindow for request %d about window 0x%lx", error->request_code,
                error->resourceid);
        return 0;
    }
    return toolkitHandler ? toolkitHandler(display, error) : 0;
}

}  // namespace

void SurviveVanishedWindows()
{
    if (toolkitHandler || !x11::X11GdkDisplay()) return;
    // The toolkit installed its handler when it opened the display; ours goes in front of it.
    XErrorHandler previous = XSetErrorHandler(OnXError);
    toolkitHandler = previous == OnXError ? nullptr : previous;
}

}  // namespace talvero
