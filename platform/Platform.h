#pragma once
// What the desktop gives the program, behind small interfaces: a global hotkey, the release of
// held keys, the selected text and the notification area's place. The desktop's own code
// (X11, GDK) stays in this folder; the window and the tray see only these classes, and tests
// hand them the fakes of FakePlatform.h. No toolkit types here.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "settings/Hotkey.h"

namespace talvero {

enum class HotkeyStatus {
    Registered,
    Taken,        // another client holds the combination
    NoSuchKey,    // the key does not exist on this keyboard
    Unavailable,  // this desktop offers no global hotkeys (no X11, no shortcuts portal)
    Pending,      // asked for; the desktop answers later (SetOutcomeHandler)
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
    // Where the desktop binds shortcuts by name, a second one translates the selection; the
    // user chooses its keys in the desktop's settings.
    virtual void SetTranslateSelectionHandler(std::function<void()>) {}
    // The outcome of a Pending registration, or a later change (the desktop's shortcut service
    // went away or came back), on the user-interface thread.
    virtual void SetOutcomeHandler(std::function<void(HotkeyStatus)>) {}
};

class IKeyboard {
public:
    virtual ~IKeyboard() = default;
    // Releases those keys of `combo` (its key and its modifiers) that are held down, so that
    // keys synthesized next reach the focused program without them. False: nothing can be
    // synthesized here.
    virtual bool ReleaseKeys(const HotkeyCombo& combo) = 0;
};

// What a capture of the user's selected text found.
enum class CaptureOutcome {
    Text,      // `text` holds it
    NotText,   // the owner offers no text (a picture, say)
    Nothing,   // no program owns a selection and the clipboard holds no text
    TooLarge,  // longer than kMaxCaptureBytes
    NoAnswer,  // the owner did not answer in time
};

struct CapturedText {
    CaptureOutcome outcome = CaptureOutcome::Nothing;
    std::string text;            // in the program's code page
    bool fromClipboard = false;  // nothing was selected: this is the clipboard's text
};

// A captured phrase goes into a one-line text box, which holds no more than this.
inline constexpr size_t kMaxCaptureBytes = 65535;

class IClipboard {
public:
    virtual ~IClipboard() = default;

    // Reads what the user has selected (X11's PRIMARY selection) and, only when no program owns
    // a selection, the clipboard's current text. Sends no key to anyone and changes neither the
    // selection nor the clipboard. `done` runs once on the user-interface thread, at the latest
    // `timeoutMs` later, and possibly before this call returns; never after CancelCapture, a
    // later CaptureSelection or the end of this object.
    virtual void CaptureSelection(int timeoutMs, std::function<void(const CapturedText&)> done) = 0;
    virtual void CancelCapture() = 0;
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

// One entry of a tray menu; command 0 is a separator.
struct TrayMenuItem {
    int command = 0;
    std::string label;  // UTF-8, without mnemonics
};

// The program's entry as a StatusNotifierItem on the session bus, where today's panels look for
// it. A panel shows it only while a StatusNotifierWatcher has taken it (Connected) and it is
// active. Everything here runs on the user-interface thread.
class IStatusNotifierItem {
public:
    virtual ~IStatusNotifierItem() = default;
    virtual bool Connected() const = 0;
    // Called when a watcher takes the item, or goes away (false).
    virtual void SetConnectionHandler(std::function<void(bool connected)> changed) = 0;
    // `png`: the bytes of a PNG file.
    virtual void SetIcon(const std::string& png) = 0;
    virtual void SetToolTip(const std::string& text) = 0;
    // `chosen` receives the command of the item the user picks, from the event loop.
    virtual void SetMenu(const std::vector<TrayMenuItem>& items,
                         std::function<void(int command)> chosen) = 0;
    virtual void SetItemLabel(int command, const std::string& label) = 0;
    virtual void SetActive(bool active) = 0;
    // A panel's click on the item (its Activate), from the event loop.
    virtual void SetActivateHandler(std::function<void()>) {}
};

// Where the compositor places every window itself and offers no overlay for the banner, the
// banner's text goes to the desktop's notifications instead.
class IDesktopNotifications {
public:
    virtual ~IDesktopNotifications() = default;
    // `text` in UTF-8; replaces the notification this object showed before.
    virtual void Notify(const std::string& summary, const std::string& text) = 0;
};

struct Platform {
    std::unique_ptr<IGlobalHotkey> hotkey;
    std::unique_ptr<IKeyboard> keyboard;
    std::unique_ptr<IClipboard> clipboard;
    std::unique_ptr<INotificationArea> notificationArea;
    // The compositor decides where windows go and which stay on top (Wayland).
    bool compositorPlacesWindows = false;
};

// This desktop's services: X11 where the toolkit's display is X11; elsewhere stand-ins whose
// hotkey reports Unavailable and whose keyboard synthesizes nothing. Needs the toolkit started.
Platform MakeDesktopPlatform();
std::unique_ptr<INotificationArea> MakeDesktopNotificationArea();
// Null where there is no session bus to put an item on. `id` names the program to the panel.
std::unique_ptr<IStatusNotifierItem> MakeDesktopStatusNotifierItem(const std::string& id);
// Before the toolkit starts: why the desktop named by the environment cannot be reached (a
// WAYLAND_DISPLAY whose compositor is gone, with no X display to fall back on), or empty.
std::string DisplayProblem();
// The running window's name on the session bus (one window per user and session).
inline constexpr const char* kCommandBusName = "io.github.talvero.Talvero";

enum class HandOverResult {
    Done,      // the running window carried the actions out
    NoWindow,  // none runs (or there is no session bus)
    NoAnswer,  // one runs but did not answer in time
};
// Hands `actions` ("show", "capture", "translate-selection") to the running window and waits up
// to `timeoutMs` for it to carry them out; waits up to `waitForWindowMs` for a window that is
// still starting. Needs no toolkit.
HandOverResult HandOverToRunningWindow(const std::vector<std::string>& actions, int timeoutMs,
                                       int waitForWindowMs = 0);

class ICommandChannel {
public:
    virtual ~ICommandChannel() = default;
};
// Receives one action; calls `done` (on the user-interface thread) once it is carried out.
using CommandHandler = std::function<void(const std::string& action, std::function<void()> done)>;
// Takes the name on the session bus and hands each action that arrives to `handler` on the
// user-interface thread. Null without a session bus.
std::unique_ptr<ICommandChannel> OpenCommandChannel(CommandHandler handler);

// Null where a banner window can be placed (X11, a compositor with overlays).
std::unique_ptr<IDesktopNotifications> MakeDesktopNotifications();
// From then on an error about a window that went away while the toolkit asked about it no longer
// ends the program (the toolkit's own handler does). Needs the toolkit started; once is enough.
void SurviveVanishedWindows();

}  // namespace talvero
