#pragma once
// The capture hotkey's key table (the 57 entries of the options dialog's key list) and the
// combination the settings describe. No X, so a position selects the key below it.
#include <array>
#include <optional>

namespace talvero {

struct Settings;

inline constexpr int kHotkeyKeyCount = 57;

// Modifier bits of a hotkey combination.
inline constexpr unsigned kHotkeyModAlt = 1;
inline constexpr unsigned kHotkeyModControl = 2;
inline constexpr unsigned kHotkeyModShift = 4;
inline constexpr unsigned kHotkeyModWin = 8;

// A key by its virtual-key code ('0'-'9' 48-57, 'A'-'Z' 65-90, numeric keypad 0-9 96-105,
// F1-F12 112-123) and a set of modifier bits.
struct HotkeyCombo {
    unsigned virtualKey = 0;
    unsigned modifiers = 0;
    bool operator==(const HotkeyCombo&) const = default;
};

// The key list's entries in order: "0".."9", "A".."W", "Y", "Z", "F1".."F12",
// "NUMPAD0".."NUMPAD9".
const std::array<const char*, kHotkeyKeyCount>& HotkeyKeyNames();

// The virtual-key code of a key list position; nothing outside 0..56.
std::optional<unsigned> HotkeyVirtualKey(int position);

// The combination of the settings' hotkey members; nothing when the stored position has no key.
std::optional<HotkeyCombo> HotkeyComboOf(const Settings& settings);

}  // namespace talvero
