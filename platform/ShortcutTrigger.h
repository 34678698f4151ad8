#pragma once
// A hotkey combination as the desktop portal's shortcuts name it ("CTRL+ALT+z"): the modifier
// names of the freedesktop shortcut notation and the key's keysym name.
#include <string>

#include "settings/Hotkey.h"

namespace talvero {

// Empty for a key outside the key table.
std::string ShortcutTrigger(const HotkeyCombo& combo);

}  // namespace talvero
