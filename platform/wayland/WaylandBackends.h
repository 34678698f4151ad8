#pragma once
// Constructors of the Wayland services, for DesktopPlatform.cpp.
#include "platform/Platform.h"

namespace talvero {

// GDK talks to a Wayland compositor.
bool IsWaylandDesktop();
// The compositor offers layer surfaces (a banner can be an overlay).
bool OverlaysAvailable();

// The selection through the compositor's data-control protocol; `fallback` itself where the
// compositor offers none.
std::unique_ptr<IClipboard> MakeDataControlClipboard(std::unique_ptr<IClipboard> fallback);

}  // namespace talvero
