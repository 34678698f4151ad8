#include "platform/ShortcutTrigger.h"

namespace talvero {

std::string ShortcutTrigger(const HotkeyCombo& combo)
{
    const unsigned vk = combo.virtualKey;
    std::string key;
    if (vk >= '0' && vk <= '9')
        key = std::string(1, char(vk));
    else if (vk >= 'A' && vk <= 'Z')
        key = std::string(1, char(vk - 'A' + 'a'));
    else if (vk >= 112 && vk <= 123)
        key = "F" + std::to_string(vk - 111);
    else if (vk >= 96 && vk <= 105)
        key = "KP_" + std::to_string(vk - 96);
    else
        return {};
    std::string trigger;
    if (combo.modifiers & kHotkeyModControl) trigger += "CTRL+";
    if (combo.modifiers & kHotkeyModAlt) trigger += "ALT+";
    if (combo.modifiers & kHotkeyModShift) trigger += "SHIFT+";
    if (combo.modifiers & kHotkeyModWin) trigger += "LOGO+";
    return trigger + key;
}

}  // namespace talvero
