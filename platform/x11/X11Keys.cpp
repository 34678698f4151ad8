#include "platform/x11/X11Keys.h"

#include <X11/XKBlib.h>
#include <X11/keysym.h>
#include <gdk/gdkx.h>

namespace talvero {

namespace x11 {

GdkDisplay* X11GdkDisplay()
{
    GdkDisplay* display = gdk_display_get_default();
    return display && GDK_IS_X11_DISPLAY(display) ? display : nullptr;
}

KeySym KeySymOfVirtualKey(unsigned vk)
{
    if (vk >= 48 && vk <= 57) return XK_0 + (vk - 48);
    // Lower case: the keysym a key types without Shift, which every layout maps.
    if (vk >= 65 && vk <= 90) return XK_a + (vk - 65);
    if (vk >= 96 && vk <= 105) return XK_KP_0 + (vk - 96);
    if (vk >= 112 && vk <= 123) return XK_F1 + (vk - 112);
    return NoSymbol;
}

unsigned ModifierMaskOf(unsigned m)
{
    unsigned mask = 0;
    if (m & kHotkeyModAlt) mask |= Mod1Mask;
    if (m & kHotkeyModControl) mask |= ControlMask;
    if (m & kHotkeyModShift) mask |= ShiftMask;
    if (m & kHotkeyModWin) mask |= Mod4Mask;
    return mask;
}

unsigned NumLockMask(Display* display)
{
    unsigned mask = 0;
    KeyCode numLock = XKeysymToKeycode(display, XK_Num_Lock);
    XModifierKeymap* map = XGetModifierMapping(display);
    if (!map) return 0;
    for (int m = 0; m < 8 && numLock; ++m)
        for (int k = 0; k < map->max_keypermod; ++k)
            if (map->modifiermap[m * map->max_keypermod + k] == numLock) mask |= 1u << m;
    XFreeModifiermap(map);
    return mask;
}

std::vector<KeyCode> KeycodesOfModifiers(Display* display, unsigned mask)
{
    std::vector<KeyCode> codes;
    XModifierKeymap* map = XGetModifierMapping(display);
    if (!map) return codes;
    for (int m = 0; m < 8; ++m) {
        if (!(mask & (1u << m))) continue;
        for (int k = 0; k < map->max_keypermod; ++k)
            if (KeyCode c = map->modifiermap[m * map->max_keypermod + k]) codes.push_back(c);
    }
    XFreeModifiermap(map);
    return codes;
}

}  // namespace x11

}  // namespace talvero
