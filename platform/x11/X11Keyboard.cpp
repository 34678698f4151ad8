// Synthesized key strokes through the XTest extension.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <gdk/gdkx.h>

#include "platform/x11/X11Backends.h"
#include "platform/x11/X11Keys.h"

namespace talvero {

namespace {

class X11Keyboard : public IKeyboard {
public:
    explicit X11Keyboard(GdkDisplay* gdisplay)
        : gdisplay(gdisplay), display(GDK_DISPLAY_XDISPLAY(gdisplay))
    {
        int event, error, major, minor;
        available = XTestQueryExtension(display, &event, &error, &major, &minor);
    }

    bool ReleaseKeys(const HotkeyCombo& combo) override
    {
        if (!available) return false;
        std::vector<KeyCode> keys =
            x11::KeycodesOfModifiers(display, x11::ModifierMaskOf(combo.modifiers));
        const KeySym sym = x11::KeySymOfVirtualKey(combo.virtualKey);
        if (KeyCode k = sym == NoSymbol ? 0 : XKeysymToKeycode(display, sym)) keys.push_back(k);
        // Only keys that are down: a release of a key that is up would reach the focused
        // program as a stray event.
        char down[32] = {};
        XQueryKeymap(display, down);
        gdk_x11_display_error_trap_push(gdisplay);
        for (KeyCode k : keys)
            if (down[k / 8] & (1 << (k % 8))) XTestFakeKeyEvent(display, k, False, CurrentTime);
        XFlush(display);
        gdk_x11_display_error_trap_pop_ignored(gdisplay);
        return true;
    }

private:
    GdkDisplay* gdisplay;
    Display* display;
    bool available = false;
};

}  // namespace

std::unique_ptr<IKeyboard> MakeX11Keyboard(GdkDisplay* display)
{
    return std::make_unique<X11Keyboard>(display);
}

}  // namespace talvero
