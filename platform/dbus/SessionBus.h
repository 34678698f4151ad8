#pragma once
// The session bus, where there is one: GLib would otherwise start a bus of its own (dbus-launch)
// for a program that has none.
#include <gio/gio.h>

namespace talvero::dbus {

// The process's shared connection (not to be unreferenced), or null.
GDBusConnection* SessionBus();

}  // namespace talvero::dbus
