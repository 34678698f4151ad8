// The hand-over between two starts of the window program: the running window owns one name on
// the session bus and carries out what a later start asks of it; the later start waits for the
// answer and ends.
#include <chrono>
#include <thread>

#include "platform/Platform.h"
#include "platform/dbus/SessionBus.h"

namespace talvero {

namespace {

constexpr const char* kPath = "/io/github/talvero/Talvero";
constexpr const char* kInterface = "io.github.talvero.Talvero";

constexpr const char* kIntrospection =
    "<node><interface name='io.github.talvero.Talvero'>"
    "<method name='Run'><arg type='as' name='actions' direction='in'/></method>"
    "</interface></node>";

bool NameHasOwner(GDBusConnection* bus)
{
    GVariant* reply = g_dbus_connection_call_sync(
        bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
        "NameHasOwner", g_variant_new("(s)", kCommandBusName), G_VARIANT_TYPE("(b)"),
        G_DBUS_CALL_FLAGS_NONE, 2000, nullptr, nullptr);
    if (!reply) return false;
    gboolean owned = FALSE;
    g_variant_get(reply, "(b)", &owned);
    g_variant_unref(reply);
    return owned;
}

class BusCommandChannel : public ICommandChannel {
public:
    BusCommandChannel(GDBusConnection* bus, CommandHandler handler)
        : bus(G_DBUS_CONNECTION(g_object_ref(bus))), handler(std::move(handler))
    {
        GDBusNodeInfo* info = g_dbus_node_info_new_for_xml(kIntrospection, nullptr);
        static const GDBusInterfaceVTable vtable{&OnCall, nullptr, nullptr, {}};
        registration = g_dbus_connection_register_object(bus, kPath, info->interfaces[0], &vtable,
                                                         this, nullptr, nullptr);
        g_dbus_node_info_unref(info);
        ownerId = g_bus_own_name_on_connection(bus, kCommandBusName, G_BUS_NAME_OWNER_FLAGS_NONE,
                                               nullptr, nullptr, nullptr, nullptr);
    }
    ~BusCommandChannel() override
    {
        *alive = false;
        g_bus_unown_name(ownerId);
        if (registration) g_dbus_connection_unregister_object(bus, registration);
        g_object_unref(bus);
    }

private:
    static void OnCall(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                       const gchar* method, GVariant* parameters, GDBusMethodInvocation* invocation,
                       gpointer data)
    {
        auto* self = static_cast<BusCommandChannel*>(data);
        if (g_strcmp0(method, "Run") != 0) {
            g_dbus_method_invocation_return_dbus_error(
                invocation, "org.freedesktop.DBus.Error.UnknownMethod", "no such method");
            return;
        }
        std::vector<std::string> actions;
        GVariantIter* iter = nullptr;
        const gchar* action = nullptr;
        g_variant_get(parameters, "(as)", &iter);
        while (g_variant_iter_next(iter, "&s", &action))
            actions.emplace_back(action);
        g_variant_iter_free(iter);
        for (const std::string& a : actions)
            if (a != "show" && a != "capture" && a != "translate-selection") {
                g_dbus_method_invocation_return_dbus_error(invocation,
                                                           "org.freedesktop.DBus.Error.InvalidArgs",
                                                           ("unknown action " + a).c_str());
                return;
            }
        self->RunFrom(std::make_shared<std::vector<std::string>>(std::move(actions)), 0,
                      invocation);
    }

    // The actions one after another, each once the one before is done; the answer last.
    void RunFrom(std::shared_ptr<std::vector<std::string>> actions, size_t next,
                 GDBusMethodInvocation* invocation)
    {
        if (next == actions->size()) {
            g_dbus_method_invocation_return_value(invocation, nullptr);
            return;
        }
        std::shared_ptr<bool> stillHere = alive;
        handler((*actions)[next], [this, stillHere, actions, next, invocation] {
            if (*stillHere)
                RunFrom(actions, next + 1, invocation);
            else
                g_dbus_method_invocation_return_value(invocation, nullptr);
        });
    }

    GDBusConnection* bus;
    CommandHandler handler;
    guint registration = 0;
    guint ownerId = 0;
    std::shared_ptr<bool> alive = std::make_shared<bool>(true);
};

}  // namespace

HandOverResult HandOverToRunningWindow(const std::vector<std::string>& actions, int timeoutMs,
                                       int waitForWindowMs)
{
    GDBusConnection* bus = dbus::SessionBus();
    if (!bus) return HandOverResult::NoWindow;
    // A window that is starting takes its name once it is up.
    const auto until =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(waitForWindowMs);
    while (!NameHasOwner(bus)) {
        if (std::chrono::steady_clock::now() >= until) return HandOverResult::NoWindow;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    GVariantBuilder list;
    g_variant_builder_init(&list, G_VARIANT_TYPE("as"));
    for (const std::string& a : actions)
        g_variant_builder_add(&list, "s", a.c_str());
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(
        bus, kCommandBusName, kPath, kInterface, "Run", g_variant_new("(as)", &list), nullptr,
        G_DBUS_CALL_FLAGS_NO_AUTO_START, timeoutMs, nullptr, &error);
    if (reply) {
        g_variant_unref(reply);
        return HandOverResult::Done;
    }
    // The window ended between the look and the call: none runs now.
    const bool gone = g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_SERVICE_UNKNOWN) ||
                      g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_NAME_HAS_NO_OWNER);
    g_error_free(error);
    return gone ? HandOverResult::NoWindow : HandOverResult::NoAnswer;
}

std::unique_ptr<ICommandChannel> OpenCommandChannel(CommandHandler handler)
{
    GDBusConnection* bus = dbus::SessionBus();
    if (!bus) return nullptr;
    return std::make_unique<BusCommandChannel>(bus, std::move(handler));
}

}  // namespace talvero
