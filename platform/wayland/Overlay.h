#pragma once
// A banner window above every other in the lower right corner of the screen, where the
// compositor places windows itself: a layer surface (the compositor's wlr-layer-shell, through
// gtk-layer-shell). Elsewhere these do nothing.
#include <gtk/gtk.h>

namespace talvero {

// Makes `window` (not yet shown) an overlay anchored bottom right; false where the desktop
// places windows as asked (X11) or has no overlays.
bool MakeOverlay(GtkWindow* window);

// Moves the overlay to `right` and `bottom` pixels from the screen's right and bottom edges;
// negative values put part of it beyond the edge, as a banner sliding in.
void PlaceOverlay(GtkWindow* window, int right, int bottom);

}  // namespace talvero
