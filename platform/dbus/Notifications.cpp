// The banner's text as a desktop notification (org.freedesktop.Notifications), where the
// compositor offers no overlay for a banner window (GNOME on Wayland).
#include "platform/Platform.h"
#include "platform/dbus/DbusBackends.h"
#include "platform/wayland/WaylandBackends.h"

namespace talvero {

namespace {

class BusNotifications : public IDesktopNotifications {
public:
    explicit BusNotifications(GDBusConnection* bus) : bus(G_DBUS_CONNECTION(g_object_ref(bus))) {}
    ~BusNotifications() override
    {
        *alive = false;
        g_object_unref(bus);
    }

    void Notify(const std::string& summary, const std::string& text) override
    {
        // Servers may read the body as markup.
        gchar* body = g_markup_escape_text(text.c_str(), -1);
        GVariantBuilder actions, hints;
        g_variant_builder_init(&actions, G_VARIANT_TYPE("as"));
        g_variant_builder_init(&hints, G_VARIANT_TYPE_VARDICT);
        g_variant_builder_add(&hints, "{sv}", "transient", g_variant_new_boolean(TRUE));
        g_dbus_connection_call(
            bus, "org.freedesktop.Notifications", "/org/freedesktop/Notifications",
            "org.freedesktop.Notifications", "Notify",
            g_variant_new("(susssasa{sv}i)", "Talvero", lastId, "talvero", summary.c_str(), body,
                          &actions, &hints, -1),
            G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, &OnNotified,
            new std::shared_ptr<Answer>(std::make_shared<Answer>(Answer{this, alive})));
        g_free(body);
    }

private:
    struct Answer {
        BusNotifications* self;
        std::shared_ptr<bool> alive;
    };

    // The next notification replaces this one rather than piling up.
    static void OnNotified(GObject* source, GAsyncResult* result, gpointer data)
    {
        std::unique_ptr<std::shared_ptr<Answer>> answer(
            static_cast<std::shared_ptr<Answer>*>(data));
        GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, nullptr);
        if (!reply) return;
        if (*(*answer)->alive) g_variant_get(reply, "(u)", &(*answer)->self->lastId);
        g_variant_unref(reply);
    }

    GDBusConnection* bus;
    guint32 lastId = 0;
    std::shared_ptr<bool> alive = std::make_shared<bool>(true);
};

}  // namespace

std::unique_ptr<IDesktopNotifications> MakeBusNotifications()
{
    GDBusConnection* bus = dbus::SessionBus();
    if (!bus) return nullptr;
    return std::make_unique<BusNotifications>(bus);
}

std::unique_ptr<IDesktopNotifications> MakeDesktopNotifications()
{
    if (!IsWaylandDesktop() || OverlaysAvailable()) return nullptr;
    return MakeBusNotifications();
}

}  // namespace talvero
