#pragma once
// Constructors of the desktop services, for DesktopPlatform.cpp.
#include <gdk/gdk.h>

#include "platform/Platform.h"

namespace talvero {

std::unique_ptr<IGlobalHotkey> MakeX11Hotkey(GdkDisplay* display);
std::unique_ptr<IKeyboard> MakeX11Keyboard(GdkDisplay* display);
std::unique_ptr<INotificationArea> MakeX11NotificationArea(GdkDisplay* display);
std::unique_ptr<IClipboard> MakeGtkClipboard();

}  // namespace talvero
