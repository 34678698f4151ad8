// The global hotkey on X11: a passive grab of the key on the root window, for the combination
// with every state of CapsLock and NumLock (X matches modifiers exactly), delivered through a
// GDK event filter, which runs on the user-interface thread, also inside modal loops.
#include <X11/Xlib.h>
#include <gdk/gdk.h>
#include <gdk/gdkx.h>

#include "platform/x11/X11Backends.h"
#include "platform/x11/X11Keys.h"

namespace talvero {

namespace {

class X11Hotkey : public IGlobalHotkey {
public:
    explicit X11Hotkey(GdkDisplay* gdisplay)
        : gdisplay(gdisplay),
          display(GDK_DISPLAY_XDISPLAY(gdisplay)),
          root(DefaultRootWindow(display))
    {
        gdk_window_add_filter(nullptr, &X11Hotkey::Filter, this);
    }
    ~X11Hotkey() override
    {
        Unregister();
        gdk_window_remove_filter(nullptr, &X11Hotkey::Filter, this);
    }

    void SetHandler(std::function<void()> onPressed) override { handler = std::move(onPressed); }

    HotkeyStatus Register(const HotkeyCombo& c) override
    {
        Unregister();
        combo = c;
        return Grab();
    }

    void Unregister() override
    {
        if (!grabbed) return;
        gdk_x11_display_error_trap_push(gdisplay);
        Ungrab();
        gdk_x11_display_error_trap_pop_ignored(gdisplay);
        grabbed = false;
    }

private:
    HotkeyStatus Grab()
    {
        const KeySym sym = x11::KeySymOfVirtualKey(combo.virtualKey);
        keycode = sym == NoSymbol ? 0 : XKeysymToKeycode(display, sym);
        if (!keycode) return HotkeyStatus::NoSuchKey;
        modifiers = x11::ModifierMaskOf(combo.modifiers);
        numLock = x11::NumLockMask(display);
        // Another client holding one of the combinations answers with BadAccess; the trap
        // catches it here instead of GDK's handler ending the program.
        gdk_x11_display_error_trap_push(gdisplay);
        for (unsigned extra : Variants())
            XGrabKey(display, keycode, modifiers | extra, root, False, GrabModeAsync,
                     GrabModeAsync);
        if (gdk_x11_display_error_trap_pop(gdisplay) != 0) {
            gdk_x11_display_error_trap_push(gdisplay);
            Ungrab();
            gdk_x11_display_error_trap_pop_ignored(gdisplay);
            return HotkeyStatus::Taken;
        }
        grabbed = true;
        return HotkeyStatus::Registered;
    }

    void Ungrab()
    {
        for (unsigned extra : Variants())
            XUngrabKey(display, keycode, modifiers | extra, root);
        XFlush(display);
    }

    std::vector<unsigned> Variants() const
    {
        std::vector<unsigned> v = {0, LockMask};
        if (numLock && !(modifiers & numLock)) {
            v.push_back(numLock);
            v.push_back(numLock | LockMask);
        }
        return v;
    }

    static GdkFilterReturn Filter(GdkXEvent* xevent, GdkEvent*, gpointer data)
    {
        auto* self = static_cast<X11Hotkey*>(data);
        auto* ev = static_cast<XEvent*>(xevent);
        if (ev->type == MappingNotify && ev->xmapping.request == MappingKeyboard) {
            // The key may have moved to another keycode: grab it again where it is now.
            XRefreshKeyboardMapping(&ev->xmapping);
            if (self->grabbed) {
                self->Unregister();
                self->Grab();
            }
            return GDK_FILTER_CONTINUE;
        }
        if (ev->type != KeyPress || !self->grabbed || ev->xkey.root != self->root ||
            ev->xkey.keycode != self->keycode)
            return GDK_FILTER_CONTINUE;
        const unsigned relevant = ShiftMask | ControlMask | Mod1Mask | Mod4Mask;
        if ((ev->xkey.state & relevant) != self->modifiers) return GDK_FILTER_CONTINUE;
        if (self->handler) self->handler();
        return GDK_FILTER_REMOVE;
    }

    GdkDisplay* gdisplay;
    Display* display;
    Window root;
    std::function<void()> handler;
    HotkeyCombo combo;
    KeyCode keycode = 0;
    unsigned modifiers = 0;
    unsigned numLock = 0;
    bool grabbed = false;
};

}  // namespace

std::unique_ptr<IGlobalHotkey> MakeX11Hotkey(GdkDisplay* display)
{
    return std::make_unique<X11Hotkey>(display);
}

}  // namespace talvero
