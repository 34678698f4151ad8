// The desktop's panel: a dock window among the window manager's clients.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <gdk/gdkx.h>

#include "platform/x11/X11Backends.h"

namespace talvero {

namespace {

class X11NotificationArea : public INotificationArea {
public:
    explicit X11NotificationArea(GdkDisplay* gdisplay) : gdisplay(gdisplay) {}

    std::optional<ScreenRect> DockPanel() override
    {
        Display* display = GDK_DISPLAY_XDISPLAY(gdisplay);
        Window root = DefaultRootWindow(display);
        // Windows of other programs may vanish while we look at them: an X error here must not
        // end the program.
        gdk_x11_display_error_trap_push(gdisplay);
        Atom clientList = XInternAtom(display, "_NET_CLIENT_LIST", True);
        Atom windowType = XInternAtom(display, "_NET_WM_WINDOW_TYPE", True);
        Atom dock = XInternAtom(display, "_NET_WM_WINDOW_TYPE_DOCK", True);
        auto property = [&](Window w, Atom name, unsigned long& count) -> unsigned char* {
            Atom type;
            int format;
            unsigned long after;
            unsigned char* data = nullptr;
            if (XGetWindowProperty(display, w, name, 0, 4096, False, AnyPropertyType, &type,
                                   &format, &count, &after, &data) != Success ||
                format != 32) {
                if (data) XFree(data);
                count = 0;
                return nullptr;
            }
            return data;
        };
        unsigned long clients = 0;
        unsigned char* list = clientList != None ? property(root, clientList, clients) : nullptr;
        std::optional<ScreenRect> panel;
        for (unsigned long i = 0; list && i < clients && !panel; ++i) {
            Window w = reinterpret_cast<unsigned long*>(list)[i];
            unsigned long types = 0;
            unsigned char* typeData = windowType != None ? property(w, windowType, types) : nullptr;
            bool isDock = false;
            for (unsigned long t = 0; typeData && t < types; ++t)
                isDock = isDock || reinterpret_cast<unsigned long*>(typeData)[t] == dock;
            if (typeData) XFree(typeData);
            XWindowAttributes attributes;
            if (!isDock || !XGetWindowAttributes(display, w, &attributes)) continue;
            if (attributes.width <= 0 || attributes.height <= 0) continue;
            int x = 0, y = 0;
            Window child;
            XTranslateCoordinates(display, w, root, 0, 0, &x, &y, &child);
            panel = ScreenRect{x, y, attributes.width, attributes.height};
        }
        if (list) XFree(list);
        gdk_x11_display_error_trap_pop_ignored(gdisplay);
        return panel;
    }

private:
    GdkDisplay* gdisplay;
};

}  // namespace

std::unique_ptr<INotificationArea> MakeX11NotificationArea(GdkDisplay* display)
{
    return std::make_unique<X11NotificationArea>(display);
}

}  // namespace talvero
