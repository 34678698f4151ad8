#pragma once
// What the desktop gives the program, behind small interfaces: a global hotkey, synthesized key
// strokes, the clipboard's text and the notification area's place. The desktop's own code
// (X11, GDK) stays in this folder; the window and the tray see only these classes, and tests
// hand them the fakes of FakePlatform.h. No toolkit types here.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "catalogue/Hotkey.h"

enum class HotkeyStatus {
    Registered,
    Taken,        // another client holds the combination
    NoSuchKey,    // the key does not exist on this keyboard
    Unavailable,  // this desktop offers no global hotkeys (no X11)
};

class IGlobalHotkey {
public:
    virtual ~IGlobalHotkey() = default;
    // Called on the user-interface thread for each press of the registered combination (also
    // for the key's autorepeat while it is held).
    virtual void SetHandler(std::function<void()> onPressed) = 0;
    // Releases an earlier registration first.
    virtual HotkeyStatus Register(const HotkeyCombo& combo) = 0;
    virtual void Unregister() = 0;
};

class IKeyboard {
public:
    virtual ~IKeyboard() = default;
    // Releases those keys of `combo` (its key and its modifiers) that are held down, so that
    // keys synthesized next reach the focused program without them. False: nothing can be
    // synthesized here.
    virtual bool ReleaseKeys(const HotkeyCombo& combo) = 0;
    // Control+C to the focused program.
    virtual bool SendCopy() = 0;
};

class IClipboard {
public:
    virtual ~IClipboard() = default;
    // Waits up to `ms` milliseconds, returning early when `until` says so. Handles the window's
    // events meanwhile; false when the window ended during the wait.
    using Waiter = std::function<bool(int ms, const std::function<bool()>& until)>;

    // Changes of the clipboard's owner seen so far (each copy by any program is one).
    virtual uint64_t ChangeCount() = 0;
    // Waits for a change after `since`, then reads the clipboard's text as UTF-8, all within
    // `totalMs`; the last `readMs` of it are kept for the read. Nothing when the clipboard holds
    // no text, its owner does not answer in time, or the window ended.
    virtual std::optional<std::string> ReadTextAfterChange(uint64_t since, int totalMs, int readMs,
                                                           const Waiter& wait) = 0;
};

struct ScreenRect {
    int x = 0, y = 0, width = 0, height = 0;
};

class INotificationArea {
public:
    virtual ~INotificationArea() = default;
    // The desktop's panel (dock window) in screen coordinates, when one can be found.
    virtual std::optional<ScreenRect> DockPanel() = 0;
};

struct Platform {
    std::unique_ptr<IGlobalHotkey> hotkey;
    std::unique_ptr<IKeyboard> keyboard;
    std::unique_ptr<IClipboard> clipboard;
    std::unique_ptr<INotificationArea> notificationArea;
};

// This desktop's services: X11 where the toolkit's display is X11; elsewhere stand-ins whose
// hotkey reports Unavailable and whose keyboard synthesizes nothing. Needs the toolkit started.
Platform MakeDesktopPlatform();
std::unique_ptr<INotificationArea> MakeDesktopNotificationArea();
