#include "settings/Hotkey.h"

#include "settings/Settings.h"

namespace talvero {

const std::array<const char*, kHotkeyKeyCount>& HotkeyKeyNames()
{
    static const std::array<const char*, kHotkeyKeyCount> names = {
        "0",       "1",       "2",       "3",       "4",       "5",       "6",       "7",
        "8",       "9",       "A",       "B",       "C",       "D",       "E",       "F",
        "G",       "H",       "I",       "J",       "K",       "L",       "M",       "N",
        "O",       "P",       "Q",       "R",       "S",       "T",       "U",       "V",
        "W",       "Y",       "Z",       "F1",      "F2",      "F3",      "F4",      "F5",
        "F6",      "F7",      "F8",      "F9",      "F10",     "F11",     "F12",     "NUMPAD0",
        "NUMPAD1", "NUMPAD2", "NUMPAD3", "NUMPAD4", "NUMPAD5", "NUMPAD6", "NUMPAD7", "NUMPAD8",
        "NUMPAD9"};
    return names;
}

std::optional<unsigned> HotkeyVirtualKey(int position)
{
    if (position < 0) return std::nullopt;
    if (position <= 9) return 48u + unsigned(position);
    if (position <= 32) return 65u + unsigned(position - 10);
    if (position == 33) return 89u;  // Y: the list skips X
    if (position == 34) return 90u;
    if (position <= 46) return 112u + unsigned(position - 35);
    if (position <= 56) return 96u + unsigned(position - 47);
    return std::nullopt;
}

std::optional<HotkeyCombo> HotkeyComboOf(const Settings& settings)
{
    std::optional<unsigned> key = HotkeyVirtualKey(settings.hotkeyBaseKeyCode);
    if (!key) return std::nullopt;
    HotkeyCombo combo;
    combo.virtualKey = *key;
    if (settings.hotkeyAlt) combo.modifiers |= kHotkeyModAlt;
    if (settings.hotkeyCtrl) combo.modifiers |= kHotkeyModControl;
    if (settings.hotkeyShift) combo.modifiers |= kHotkeyModShift;
    if (settings.hotkeyWin) combo.modifiers |= kHotkeyModWin;
    return combo;
}

}  // namespace talvero
