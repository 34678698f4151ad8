#pragma once
// Stand-ins for the desktop, for tests of the logic around it: they record what was asked and
// play the user's selection and the clipboard.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace talvero {

struct FakeDesktop {
    // Hotkey
    std::function<void()> hotkeyHandler;
    std::function<void()> translateSelectionHandler;
    std::function<void(HotkeyStatus)> outcomeHandler;
    std::optional<HotkeyCombo> registered;
    std::vector<HotkeyCombo> registrations;  // every Register call, in order
    int unregistrations = 0;
    HotkeyStatus nextStatus = HotkeyStatus::Registered;

    // Keyboard
    std::vector<std::string> keyLog;  // "release <vk>/<mods>"

    // What the user has selected and what the clipboard holds (when set).
    std::optional<std::string> selection;
    std::optional<std::string> clipboardText;
    // The selection's owner offers a picture, not text.
    bool selectionIsPicture = false;
    // Captures asked for; with `captureAnswersLater` the answer waits in `answerCapture` until
    // a test takes it out and calls it (cancelling empties it).
    int captures = 0;
    bool captureAnswersLater = false;
    std::function<void()> answerCapture;

    // Presses the registered hotkey (as the desktop would deliver it).
    bool PressHotkey() const
    {
        if (!registered || !hotkeyHandler) return false;
        hotkeyHandler();
        return true;
    }
};

// The four services over one FakeDesktop, which must outlive them.
Platform MakeFakePlatform(FakeDesktop& desktop);

}  // namespace talvero
