#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "tests/support/GuiTestSupport.h"
#include "tests/support/WaitPumping.h"
#include "tests/tray/TrayTestSupport.h"

// After gtest: X11 defines None, which gtest uses as a name.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <gdk/gdkx.h>
#include <glib.h>
#include <gtk/gtk.h>

namespace talvero {

namespace {

Display* XDisplay()
{
    return GDK_DISPLAY_XDISPLAY(gdk_display_get_default());
}

bool HasClass(Display* d, Window w, const char* name, const char* cls)
{
    XClassHint hint{};
    if (!XGetClassHint(d, w, &hint)) return false;
    bool match = (!name || (hint.res_name && strcmp(hint.res_name, name) == 0)) &&
                 (!cls || (hint.res_class && strcmp(hint.res_class, cls) == 0));
    if (hint.res_name) XFree(hint.res_name);
    if (hint.res_class) XFree(hint.res_class);
    return match;
}

void Collect(Display* d, Window w, bool insidePanel, std::vector<wxRect>& out)
{
    Window root, parent;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(d, w, &root, &parent, &children, &count)) return;
    for (unsigned i = 0; i < count; ++i) {
        Window c = children[i];
        bool panel = insidePanel || HasClass(d, c, "panel", "trayer");
        XWindowAttributes a;
        if (insidePanel && HasClass(d, c, g_get_prgname(), nullptr) &&
            XGetWindowAttributes(d, c, &a) && a.map_state == IsViewable) {
            int x = 0, y = 0;
            Window child;
            XTranslateCoordinates(d, c, root, 0, 0, &x, &y, &child);
            out.emplace_back(x, y, a.width, a.height);
        }
        Collect(d, c, panel, out);
    }
    if (children) XFree(children);
}

}  // namespace

std::vector<wxRect> TrayEntries()
{
    std::vector<wxRect> out;
    // Windows come and go while we walk the tree.
    GdkDisplay* gdisplay = gdk_display_get_default();
    gdk_x11_display_error_trap_push(gdisplay);
    XSync(XDisplay(), False);
    Collect(XDisplay(), DefaultRootWindow(XDisplay()), false, out);
    XSync(XDisplay(), False);
    gdk_x11_display_error_trap_pop_ignored(gdisplay);
    return out;
}

void HandleQueuedEvents()
{
    XSync(XDisplay(), False);
    DrainEvents();
}

void WaitOutDoubleClick()
{
    gint ms = 400;
    g_object_get(gtk_settings_get_default(), "gtk-double-click-time", &ms, nullptr);
    Pump(ms);
}

std::string Centre(const wxRect& r)
{
    return std::to_string(r.x + r.width / 2) + " " + std::to_string(r.y + r.height / 2);
}

void Screenshot(const std::string& name)
{
    std::filesystem::path dir = std::filesystem::read_symlink("/proc/self/exe").parent_path();
    RunCommand("import -window root '" + (dir / name).string() + "'");
}

}  // namespace talvero
