#pragma once
// Shared by the X11 services: the X display behind GDK's, and what a hotkey combination is in
// X terms.
#include <X11/Xlib.h>
#include <gdk/gdk.h>

#include <vector>

#include "settings/Hotkey.h"

namespace talvero {

namespace x11 {

// GDK's default display when it is an X11 one, else null.
GdkDisplay* X11GdkDisplay();

// The keysym that a virtual-key code types (NoSymbol for codes outside the key table's).
KeySym KeySymOfVirtualKey(unsigned virtualKey);

// ALT, CTRL, SHIFT and WIN as X modifier masks (Mod1, Control, Shift, Mod4).
unsigned ModifierMaskOf(unsigned hotkeyModifiers);

// The modifier mask that NumLock sets on this keyboard (0 when it has none).
unsigned NumLockMask(Display* display);

// The keycodes bound to the modifiers of `mask`.
std::vector<KeyCode> KeycodesOfModifiers(Display* display, unsigned mask);

}  // namespace x11

}  // namespace talvero
