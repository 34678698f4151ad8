// The tray entry as a StatusNotifierItem, through the indicator library: it exports the item and
// its menu (as a dbusmenu) on the session bus and registers them with the panel's watcher, again
// whenever a watcher appears.
#include <glib/gstdio.h>
#include <gtk/gtk.h>
#include <libayatana-appindicator/app-indicator.h>

#include <atomic>
#include <map>

#include "platform/Platform.h"
#include "platform/dbus/SessionBus.h"

namespace talvero {

namespace {

// Without a watcher the library would put up an XEmbed icon of its own; the tray dialog has its
// own for that case, so this subclass asks for none.
struct TalveroIndicator {
    AppIndicator parent;
};
struct TalveroIndicatorClass {
    AppIndicatorClass parent;
};

G_DEFINE_TYPE(TalveroIndicator, talvero_indicator, APP_INDICATOR_TYPE)

GtkStatusIcon* NoFallback(AppIndicator*)
{
    return nullptr;
}
void NoUnfallback(AppIndicator*, GtkStatusIcon*) {}

void talvero_indicator_class_init(TalveroIndicatorClass* klass)
{
    auto* indicatorClass = reinterpret_cast<AppIndicatorClass*>(klass);
    indicatorClass->fallback = NoFallback;
    indicatorClass->unfallback = NoUnfallback;
}

void talvero_indicator_init(TalveroIndicator*) {}

// The library answers the panel's Scroll and SecondaryActivate but not Activate (the left
// click of Plasma's and GNOME's panels) nor ContextMenu, which would come back as
// "UnknownMethod": a filter on the bus answers those for the item and hands the click on.
class ClickFilter {
public:
    explicit ClickFilter(const std::string& id) : state(std::make_shared<State>())
    {
        state->path = "/org/ayatana/NotificationItem/" + id;
        bus = dbus::SessionBus();
        if (bus)
            filterId = g_dbus_connection_add_filter(
                bus, &Filter, new std::shared_ptr<State>(state),
                [](gpointer data) { delete static_cast<std::shared_ptr<State>*>(data); });
    }
    ~ClickFilter()
    {
        state->alive = false;
        if (bus) g_dbus_connection_remove_filter(bus, filterId);
    }
    void SetHandler(std::function<void()> handler) { state->onActivate = std::move(handler); }

private:
    struct State {
        std::string path;
        std::atomic<bool> alive{true};
        std::function<void()> onActivate;  // used on the user-interface thread only
    };

    // Runs on the bus's own thread.
    static GDBusMessage* Filter(GDBusConnection* connection, GDBusMessage* message,
                                gboolean incoming, gpointer data)
    {
        const std::shared_ptr<State>& state = *static_cast<std::shared_ptr<State>*>(data);
        if (!incoming ||
            g_dbus_message_get_message_type(message) != G_DBUS_MESSAGE_TYPE_METHOD_CALL ||
            g_strcmp0(g_dbus_message_get_interface(message), "org.kde.StatusNotifierItem") != 0 ||
            g_strcmp0(g_dbus_message_get_path(message), state->path.c_str()) != 0)
            return message;
        const char* member = g_dbus_message_get_member(message);
        const bool activate = g_strcmp0(member, "Activate") == 0;
        if (!activate && g_strcmp0(member, "ContextMenu") != 0) return message;
        GDBusMessage* reply = g_dbus_message_new_method_reply(message);
        g_dbus_connection_send_message(connection, reply, G_DBUS_SEND_MESSAGE_FLAGS_NONE, nullptr,
                                       nullptr);
        g_object_unref(reply);
        // ContextMenu: the panel shows the item's menu itself (it has one); nothing to do.
        if (activate && state->alive)
            g_main_context_invoke_full(
                nullptr, G_PRIORITY_DEFAULT,
                [](gpointer d) {
                    auto& s = *static_cast<std::shared_ptr<State>*>(d);
                    if (s->alive && s->onActivate) s->onActivate();
                    return G_SOURCE_REMOVE;
                },
                new std::shared_ptr<State>(state),
                [](gpointer d) { delete static_cast<std::shared_ptr<State>*>(d); });
        g_object_unref(message);
        return nullptr;
    }

    std::shared_ptr<State> state;
    GDBusConnection* bus = nullptr;
    guint filterId = 0;
};

class AyatanaItem : public IStatusNotifierItem {
public:
    explicit AyatanaItem(const std::string& id) : clicks(id)
    {
        // The library names icons, it does not take pictures: they go into a folder of ours
        // that the panel is told to look in.
        if (gchar* dir = g_dir_make_tmp("talvero-tray-XXXXXX", nullptr)) {
            iconDir = dir;
            g_free(dir);
        }
        indicator = APP_INDICATOR(g_object_new(
            talvero_indicator_get_type(), "id", id.c_str(), "category", "ApplicationStatus",
            "icon-name", id.c_str(), "icon-theme-path", iconDir.c_str(), nullptr));
        app_indicator_set_title(indicator, id.c_str());
        menu = GTK_MENU(gtk_menu_new());
        g_object_ref_sink(menu);
        app_indicator_set_menu(indicator, menu);
        app_indicator_set_status(indicator, APP_INDICATOR_STATUS_PASSIVE);
        connectionHandler =
            g_signal_connect(indicator, "connection-changed", G_CALLBACK(OnConnection), this);
    }

    ~AyatanaItem() override
    {
        g_signal_handler_disconnect(indicator, connectionHandler);
        ClearMenu();
        g_object_unref(indicator);  // takes the item off the bus
        gtk_widget_destroy(GTK_WIDGET(menu));
        g_object_unref(menu);
        for (const std::string& file : iconFiles)
            g_remove(file.c_str());
        if (!iconDir.empty()) g_rmdir(iconDir.c_str());
    }

    bool Connected() const override { return connected; }

    void SetConnectionHandler(std::function<void(bool)> changed) override
    {
        onConnection = std::move(changed);
    }

    void SetIcon(const std::string& png) override
    {
        if (png.empty() || png == currentIcon || iconDir.empty()) return;
        // A new name for each picture: panels keep what they loaded under a name.
        const std::string name = "talvero-tray-" + std::to_string(++iconCount);
        const std::string file = iconDir + "/" + name + ".png";
        if (!g_file_set_contents(file.c_str(), png.data(), gssize(png.size()), nullptr)) return;
        iconFiles.push_back(file);
        currentIcon = png;
        app_indicator_set_icon_full(indicator, name.c_str(), app_indicator_get_id(indicator));
    }

    void SetToolTip(const std::string& text) override
    {
        app_indicator_set_title(indicator, text.c_str());
    }

    void SetMenu(const std::vector<TrayMenuItem>& items,
                 std::function<void(int command)> chosen) override
    {
        ClearMenu();
        onCommand = std::move(chosen);
        for (const TrayMenuItem& item : items) {
            GtkWidget* widget = item.command == 0
                                    ? gtk_separator_menu_item_new()
                                    : gtk_menu_item_new_with_label(item.label.c_str());
            if (item.command != 0) {
                g_object_set_data(G_OBJECT(widget), "talvero-command",
                                  GINT_TO_POINTER(item.command));
                g_signal_connect(widget, "activate", G_CALLBACK(OnActivate), this);
                menuItems[item.command] = widget;
            }
            gtk_widget_show(widget);
            gtk_menu_shell_append(GTK_MENU_SHELL(menu), widget);
        }
    }

    void SetItemLabel(int command, const std::string& label) override
    {
        auto found = menuItems.find(command);
        if (found != menuItems.end())
            gtk_menu_item_set_label(GTK_MENU_ITEM(found->second), label.c_str());
    }

    void SetActivateHandler(std::function<void()> activated) override
    {
        clicks.SetHandler(std::move(activated));
    }

    void SetActive(bool active) override
    {
        app_indicator_set_status(
            indicator, active ? APP_INDICATOR_STATUS_ACTIVE : APP_INDICATOR_STATUS_PASSIVE);
    }

private:
    void ClearMenu()
    {
        for (auto& [command, widget] : menuItems)
            g_signal_handlers_disconnect_by_data(widget, this);
        menuItems.clear();
        GList* children = gtk_container_get_children(GTK_CONTAINER(menu));
        for (GList* c = children; c; c = c->next)
            gtk_widget_destroy(GTK_WIDGET(c->data));
        g_list_free(children);
    }

    static void OnConnection(AppIndicator*, gboolean isConnected, gpointer data)
    {
        auto* self = static_cast<AyatanaItem*>(data);
        self->connected = isConnected;
        if (self->onConnection) self->onConnection(isConnected);
    }

    static void OnActivate(GtkMenuItem* item, gpointer data)
    {
        auto* self = static_cast<AyatanaItem*>(data);
        const int command = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(item), "talvero-command"));
        if (self->onCommand) self->onCommand(command);
    }

    ClickFilter clicks;
    AppIndicator* indicator = nullptr;
    GtkMenu* menu = nullptr;
    gulong connectionHandler = 0;
    bool connected = false;
    std::function<void(bool)> onConnection;
    std::function<void(int)> onCommand;
    std::map<int, GtkWidget*> menuItems;
    std::string iconDir;
    std::vector<std::string> iconFiles;
    std::string currentIcon;
    int iconCount = 0;
};

}  // namespace

std::unique_ptr<IStatusNotifierItem> MakeDesktopStatusNotifierItem(const std::string& id)
{
    if (!gdk_display_get_default() || !dbus::SessionBus()) return nullptr;
    return std::make_unique<AyatanaItem>(id);
}

}  // namespace talvero
