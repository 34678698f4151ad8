#include "platform/dbus/SessionBus.h"

#include <cstdlib>
#include <string>

namespace talvero::dbus {

namespace {

bool SessionBusExists()
{
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address && *address) return true;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return runtime && *runtime &&
           g_file_test((std::string(runtime) + "/bus").c_str(), G_FILE_TEST_EXISTS);
}

}  // namespace

GDBusConnection* SessionBus()
{
    if (!SessionBusExists()) return nullptr;
    // GLib keeps the one connection of the process; the reference taken here is held for good.
    static GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    return bus;
}

}  // namespace talvero::dbus
