// The global hotkey through the desktop portal's GlobalShortcuts (KDE Plasma, GNOME 48+,
// Hyprland): a session with two shortcuts bound by name; the portal reports their presses.
// Every call is asynchronous: a portal that shows the user a dialog, or never answers, holds
// nothing up; the outcome arrives through the outcome handler.
#include <string>

#include "platform/Platform.h"
#include "platform/ShortcutTrigger.h"
#include "platform/dbus/DbusBackends.h"

namespace talvero {

namespace {

constexpr const char* kPortal = "org.freedesktop.portal.Desktop";
constexpr const char* kPortalPath = "/org/freedesktop/portal/desktop";
constexpr const char* kShortcuts = "org.freedesktop.portal.GlobalShortcuts";
constexpr const char* kCaptureId = "capture";
constexpr const char* kTranslateId = "translate-selection";

class PortalHotkey : public IGlobalHotkey {
public:
    explicit PortalHotkey(GDBusConnection* bus) : bus(G_DBUS_CONNECTION(g_object_ref(bus)))
    {
        responses = g_dbus_connection_signal_subscribe(
            bus, kPortal, "org.freedesktop.portal.Request", "Response", nullptr, nullptr,
            G_DBUS_SIGNAL_FLAGS_NONE, &OnResponse, this, nullptr);
        activations = g_dbus_connection_signal_subscribe(
            bus, kPortal, kShortcuts, "Activated", kPortalPath, nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
            &OnActivated, this, nullptr);
        nameWatch =
            g_bus_watch_name_on_connection(bus, kPortal, G_BUS_NAME_WATCHER_FLAGS_NONE,
                                           &OnPortalAppeared, &OnPortalVanished, this, nullptr);
        present = true;  // it answered before this object was made
    }

    ~PortalHotkey() override
    {
        CloseSession();
        g_bus_unwatch_name(nameWatch);
        g_dbus_connection_signal_unsubscribe(bus, responses);
        g_dbus_connection_signal_unsubscribe(bus, activations);
        g_cancellable_cancel(cancel);
        g_object_unref(cancel);
        g_object_unref(bus);
    }

    void SetHandler(std::function<void()> onPressed) override { onCapture = std::move(onPressed); }
    void SetTranslateSelectionHandler(std::function<void()> onPressed) override
    {
        onTranslate = std::move(onPressed);
    }
    void SetOutcomeHandler(std::function<void(HotkeyStatus)> outcome) override
    {
        onOutcome = std::move(outcome);
    }

    HotkeyStatus Register(const HotkeyCombo& combo) override
    {
        Unregister();
        trigger = ShortcutTrigger(combo);
        if (trigger.empty()) return HotkeyStatus::NoSuchKey;
        wanted = true;
        if (!present) return HotkeyStatus::Unavailable;
        CreateSession();
        return HotkeyStatus::Pending;
    }

    void Unregister() override
    {
        wanted = false;
        CloseSession();
    }

private:
    enum class Step { None, CreatingSession, Binding, Bound };

    std::string NewToken() { return "talvero" + std::to_string(++tokens); }

    // The path of the request object the portal will answer on, known before the call so that
    // an answer sent at once is not missed.
    std::string RequestPath(const std::string& token) const
    {
        std::string sender = g_dbus_connection_get_unique_name(bus) + 1;  // without ':'
        for (char& c : sender)
            if (c == '.') c = '_';
        return std::string(kPortalPath) + "/request/" + sender + "/" + token;
    }

    void CreateSession()
    {
        const std::string token = NewToken();
        step = Step::CreatingSession;
        pendingRequest = RequestPath(token);
        GVariantBuilder options;
        g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
        g_variant_builder_add(&options, "{sv}", "handle_token",
                              g_variant_new_string(token.c_str()));
        g_variant_builder_add(&options, "{sv}", "session_handle_token",
                              g_variant_new_string(token.c_str()));
        Call("CreateSession", g_variant_new("(a{sv})", &options));
    }

    void Bind()
    {
        const std::string token = NewToken();
        step = Step::Binding;
        pendingRequest = RequestPath(token);
        GVariantBuilder shortcuts;
        g_variant_builder_init(&shortcuts, G_VARIANT_TYPE("a(sa{sv})"));
        auto add = [&](const char* id, const char* description, const std::string& preferred) {
            GVariantBuilder props;
            g_variant_builder_init(&props, G_VARIANT_TYPE_VARDICT);
            g_variant_builder_add(&props, "{sv}", "description", g_variant_new_string(description));
            if (!preferred.empty())
                g_variant_builder_add(&props, "{sv}", "preferred_trigger",
                                      g_variant_new_string(preferred.c_str()));
            g_variant_builder_add(&shortcuts, "(sa{sv})", id, &props);
        };
        add(kCaptureId, "Capture the selected text into the next box of new translations", trigger);
        add(kTranslateId, "Translate the selected text", {});
        GVariantBuilder options;
        g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
        g_variant_builder_add(&options, "{sv}", "handle_token",
                              g_variant_new_string(token.c_str()));
        Call("BindShortcuts",
             g_variant_new("(oa(sa{sv})sa{sv})", session.c_str(), &shortcuts, "", &options));
    }

    void Call(const char* method, GVariant* parameters)
    {
        g_dbus_connection_call(bus, kPortal, kPortalPath, kShortcuts, method, parameters,
                               G_VARIANT_TYPE("(o)"), G_DBUS_CALL_FLAGS_NONE, -1, cancel,
                               &OnCallDone, this);
    }

    // The portal refused the call itself (no answer will come on the request).
    static void OnCallDone(GObject* source, GAsyncResult* result, gpointer data)
    {
        GError* error = nullptr;
        GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
        if (reply) {
            // An older portal chooses the request's path itself.
            auto* self = static_cast<PortalHotkey*>(data);
            const gchar* path = nullptr;
            g_variant_get(reply, "(&o)", &path);
            if (self->step != Step::None && self->step != Step::Bound) self->pendingRequest = path;
            g_variant_unref(reply);
            return;
        }
        const bool cancelled = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED);
        g_error_free(error);
        if (cancelled) return;
        static_cast<PortalHotkey*>(data)->Failed();
    }

    static void OnResponse(GDBusConnection*, const gchar*, const gchar* path, const gchar*,
                           const gchar*, GVariant* parameters, gpointer data)
    {
        auto* self = static_cast<PortalHotkey*>(data);
        if (self->pendingRequest != path) return;
        self->pendingRequest.clear();
        guint32 code = 2;
        GVariant* results = nullptr;
        g_variant_get(parameters, "(u@a{sv})", &code, &results);
        std::string handle;
        if (const gchar* h = nullptr; g_variant_lookup(results, "session_handle", "&s", &h) ||
                                      g_variant_lookup(results, "session_handle", "&o", &h))
            handle = h;
        g_variant_unref(results);
        if (code != 0) {
            self->Failed();
            return;
        }
        if (self->step == Step::CreatingSession) {
            if (handle.empty()) {
                self->Failed();
                return;
            }
            self->session = handle;
            self->Bind();
        } else if (self->step == Step::Binding) {
            self->step = Step::Bound;
            self->Report(HotkeyStatus::Registered);
        }
    }

    static void OnActivated(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                            const gchar*, GVariant* parameters, gpointer data)
    {
        auto* self = static_cast<PortalHotkey*>(data);
        const gchar* handle = nullptr;
        const gchar* id = nullptr;
        if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(osta{sv})"))) return;
        g_variant_get(parameters, "(&o&st@a{sv})", &handle, &id, nullptr, nullptr);
        if (self->step != Step::Bound || self->session != handle) return;
        if (!g_strcmp0(id, kCaptureId) && self->onCapture) self->onCapture();
        if (!g_strcmp0(id, kTranslateId) && self->onTranslate) self->onTranslate();
    }

    static void OnPortalAppeared(GDBusConnection*, const gchar*, const gchar*, gpointer data)
    {
        auto* self = static_cast<PortalHotkey*>(data);
        if (self->present) return;
        self->present = true;
        if (self->wanted) {
            self->CreateSession();
            self->Report(HotkeyStatus::Pending);
        }
    }

    static void OnPortalVanished(GDBusConnection*, const gchar*, gpointer data)
    {
        auto* self = static_cast<PortalHotkey*>(data);
        if (!self->present) return;
        self->present = false;
        // Its sessions went with it.
        self->step = Step::None;
        self->session.clear();
        self->pendingRequest.clear();
        self->Report(HotkeyStatus::Unavailable);
    }

    void Failed()
    {
        CloseSession();
        Report(HotkeyStatus::Taken);
    }

    void CloseSession()
    {
        if (!session.empty())
            g_dbus_connection_call(bus, kPortal, session.c_str(), "org.freedesktop.portal.Session",
                                   "Close", nullptr, nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr,
                                   nullptr, nullptr);
        session.clear();
        pendingRequest.clear();
        step = Step::None;
    }

    void Report(HotkeyStatus status)
    {
        if (onOutcome) onOutcome(status);
    }

    GDBusConnection* bus;
    GCancellable* cancel = g_cancellable_new();
    guint responses = 0;
    guint activations = 0;
    guint nameWatch = 0;
    bool present = false;
    bool wanted = false;
    Step step = Step::None;
    std::string trigger;
    std::string session;
    std::string pendingRequest;
    unsigned tokens = 0;
    std::function<void()> onCapture;
    std::function<void()> onTranslate;
    std::function<void(HotkeyStatus)> onOutcome;
};

// Does the session bus's portal offer global shortcuts? Asked once at start, briefly.
bool PortalOffersShortcuts(GDBusConnection* bus)
{
    GVariant* reply = g_dbus_connection_call_sync(
        bus, kPortal, kPortalPath, "org.freedesktop.DBus.Properties", "Get",
        g_variant_new("(ss)", kShortcuts, "version"), G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NONE,
        2000, nullptr, nullptr);
    if (!reply) return false;
    g_variant_unref(reply);
    return true;
}

}  // namespace

std::unique_ptr<IGlobalHotkey> MakePortalHotkey()
{
    GDBusConnection* bus = dbus::SessionBus();
    if (!bus || !PortalOffersShortcuts(bus)) return nullptr;
    return std::make_unique<PortalHotkey>(bus);
}

}  // namespace talvero
