#include "platform/wayland/Overlay.h"

#include <gdk/gdkwayland.h>
#include <gtk-layer-shell/gtk-layer-shell.h>

#include "platform/wayland/WaylandBackends.h"

namespace talvero {

bool OverlaysAvailable()
{
    return IsWaylandDesktop() && gtk_layer_is_supported();
}

bool MakeOverlay(GtkWindow* window)
{
    if (!OverlaysAvailable()) return false;
    // The layer is chosen before the surface exists.
    if (gtk_widget_get_realized(GTK_WIDGET(window))) gtk_widget_unrealize(GTK_WIDGET(window));
    gtk_layer_init_for_window(window);
    gtk_layer_set_namespace(window, "talvero-banner");
    gtk_layer_set_layer(window, GTK_LAYER_SHELL_LAYER_OVERLAY);
    gtk_layer_set_anchor(window, GTK_LAYER_SHELL_EDGE_BOTTOM, TRUE);
    gtk_layer_set_anchor(window, GTK_LAYER_SHELL_EDGE_RIGHT, TRUE);
    gtk_layer_set_keyboard_mode(window, GTK_LAYER_SHELL_KEYBOARD_MODE_NONE);
    // Panels keep their room: the banner rises from above them.
    gtk_layer_set_exclusive_zone(window, 0);
    return true;
}

void PlaceOverlay(GtkWindow* window, int right, int bottom)
{
    gtk_layer_set_margin(window, GTK_LAYER_SHELL_EDGE_RIGHT, right);
    gtk_layer_set_margin(window, GTK_LAYER_SHELL_EDGE_BOTTOM, bottom);
    // The new margins take effect with the surface's next commit. The toolkit commits only
    // the frames it draws, and the compositor asks for none while the banner is out of sight
    // below the screen's edge: commit here.
    if (GdkWindow* gdkWindow = gtk_widget_get_window(GTK_WIDGET(window)))
        if (wl_surface* surface = gdk_wayland_window_get_wl_surface(gdkWindow))
            wl_surface_commit(surface);
}

}  // namespace talvero
