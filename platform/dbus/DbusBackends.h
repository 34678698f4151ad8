#pragma once
// Constructors of the session-bus services, for DesktopPlatform.cpp.
#include "platform/Platform.h"
#include "platform/dbus/SessionBus.h"

namespace talvero {

// The hotkey through the desktop portal's GlobalShortcuts; null where the session bus has none.
std::unique_ptr<IGlobalHotkey> MakePortalHotkey();

// Notifications on the session bus, whatever the desktop (MakeDesktopNotifications decides
// where they stand in for the banner); null without a bus.
std::unique_ptr<IDesktopNotifications> MakeBusNotifications();

}  // namespace talvero
