// Picks this desktop's services: X11 where GDK talks to an X server; elsewhere (a Wayland
// session without Xwayland) the desktop portal's shortcuts and the compositor's data control
// where they are offered, and stand-ins that say what is missing instead of failing later.
#include "platform/dbus/DbusBackends.h"
#include "platform/wayland/WaylandBackends.h"
#include "platform/x11/X11Backends.h"
#include "platform/x11/X11Keys.h"

namespace talvero {

namespace {

class UnavailableHotkey : public IGlobalHotkey {
public:
    void SetHandler(std::function<void()>) override {}
    HotkeyStatus Register(const HotkeyCombo&) override { return HotkeyStatus::Unavailable; }
    void Unregister() override {}
};

class NoKeyboard : public IKeyboard {
public:
    bool ReleaseKeys(const HotkeyCombo&) override { return false; }
};

class NoNotificationArea : public INotificationArea {
public:
    std::optional<ScreenRect> DockPanel() override { return std::nullopt; }
};

}  // namespace

std::unique_ptr<INotificationArea> MakeDesktopNotificationArea()
{
    if (GdkDisplay* display = x11::X11GdkDisplay()) return MakeX11NotificationArea(display);
    return std::make_unique<NoNotificationArea>();
}

Platform MakeDesktopPlatform()
{
    Platform p;
    GdkDisplay* display = x11::X11GdkDisplay();
    if (display) {
        p.hotkey = MakeX11Hotkey(display);
        p.keyboard = MakeX11Keyboard(display);
        p.clipboard = MakeGtkClipboard();
    } else {
        // Without an X server a program gets global shortcuts only through the portal.
        p.hotkey = MakePortalHotkey();
        if (!p.hotkey) p.hotkey = std::make_unique<UnavailableHotkey>();
        p.keyboard = std::make_unique<NoKeyboard>();
        p.clipboard = MakeGtkClipboard();
        if (IsWaylandDesktop()) {
            p.compositorPlacesWindows = true;
            p.clipboard = MakeDataControlClipboard(std::move(p.clipboard));
        }
    }
    p.notificationArea = MakeDesktopNotificationArea();
    return p;
}

}  // namespace talvero
