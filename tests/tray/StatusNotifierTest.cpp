// The tray entry as today's panels see it: a StatusNotifierWatcher on a private session bus (run
// by tests/tray/sni_watcher.py, as a panel would run one) takes the item, reads its menu, and
// clicks in it; a watcher that goes away hands the entry to the XEmbed tray.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <gio/gio.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "res/Ids.h"
#include "tests/support/GuiTestSupport.h"
#include "tests/support/TempDir.h"
#include "tray/gui/TrayDialog.h"

extern char** environ;

namespace talvero {

namespace {

using nlohmann::json;

class Watcher {
public:
    explicit Watcher(const std::string& stateFile) : file(stateFile)
    {
        const char* argv[] = {"/usr/bin/python3", SNI_WATCHER, file.c_str(), nullptr};
        posix_spawn(&pid, argv[0], nullptr, nullptr, const_cast<char**>(argv), environ);
    }
    ~Watcher() { Stop(); }
    void Stop()
    {
        if (pid == 0) return;
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
        pid = 0;
    }
    json State() const
    {
        std::ifstream in(file);
        json state = json::parse(in, nullptr, false);
        return state.is_discarded() ? json() : state;
    }
    // The one item registered so far (null before).
    json Item() const
    {
        json state = State();
        return state.is_object() && state["items"].size() == 1 ? state["items"][0] : json();
    }

private:
    std::string file;
    pid_t pid = 0;
};

// Clicks the menu item `id` of `item` as the panel does when the user picks it.
void ClickMenuItem(const json& item, int id)
{
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    ASSERT_TRUE(bus);
    const std::string name = item["bus"], path = item["Menu"];
    g_dbus_connection_call(bus, name.c_str(), path.c_str(), "com.canonical.dbusmenu", "Event",
                           g_variant_new("(isvu)", id, "clicked", g_variant_new_string(""), 0u),
                           nullptr, G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr, nullptr);
    g_object_unref(bus);
}

// Calls `method` (x, y) of the item as a panel does on a click; the error's text, or "".
std::string CallItem(const json& item, const char* method)
{
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    const std::string name = item["bus"], path = item["path"];
    std::string failure;
    std::atomic<bool> answered{false};
    // From another thread: the item answers some calls from the window's loop, which this
    // thread keeps running meanwhile.
    std::thread call([&] {
        GError* error = nullptr;
        GVariant* reply = g_dbus_connection_call_sync(
            bus, name.c_str(), path.c_str(), "org.kde.StatusNotifierItem", method,
            g_variant_new("(ii)", 10, 10), nullptr, G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, &error);
        if (reply) g_variant_unref(reply);
        if (error) {
            failure = error->message;
            g_error_free(error);
        }
        answered = true;
    });
    PumpUntil([&] { return answered.load(); }, 10000);
    call.join();
    g_object_unref(bus);
    return failure;
}

int IdOf(const json& item, const std::string& label)
{
    for (size_t i = 0; i < item["labels"].size(); ++i)
        if (item["labels"][i] == label) return item["ids"][i];
    return -1;
}

class StatusNotifier : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Only on a bus of the test's own: a real panel's watcher holds the name elsewhere.
        if (!std::getenv("TALVERO_PRIVATE_BUS")) GTEST_SKIP() << "needs a private session bus";
    }
    TempDir dir;
};

TEST_F(StatusNotifier, PanelSeesTheItemAndItsMenuAndTheXEmbedTrayTakesOverWhenItGoes)
{
    Watcher watcher(dir.File("watcher.json"));
    ASSERT_TRUE(PumpUntil([&] { return watcher.State().is_object(); }, 10000));

    auto* dlg = new CTrayDialog(nullptr, wxID_ANY, "Talvero tray test", wxDefaultPosition,
                                wxSize(320, 200), wxDEFAULT_DIALOG_STYLE | wxMINIMIZE_BOX);
    std::vector<int> commands;
    dlg->Bind(wxEVT_MENU, [&](wxCommandEvent& e) {
        commands.push_back(e.GetId());
        if (e.GetId() == ID_TRAY_DISABLE) dlg->TrayShowDisabled(true);
    });
    dlg->TraySetIcon(128);
    dlg->TraySetToolTip("Talvero");
    dlg->TraySetMenu(132);
    dlg->Show();

    // The item registers while the window shows, passive: the panel keeps it out of sight.
    ASSERT_TRUE(PumpUntil([&] { return watcher.Item().contains("labels"); }, 10000))
        << watcher.State().dump();
    const std::vector<std::string> menu = {"Show Talvero", "-", "Disable", "Options", "-", "Exit"};
    EXPECT_EQ(watcher.Item()["labels"].get<std::vector<std::string>>(), menu);
    EXPECT_EQ(watcher.Item()["Status"], "Passive");

    ASSERT_TRUE(dlg->MinimizeToTray());
    EXPECT_TRUE(dlg->IsInStatusNotifierItem());
    ASSERT_TRUE(PumpUntil([&] { return watcher.Item()["Status"] == "Active"; }));
    json item = watcher.Item();
    EXPECT_EQ(item["Title"], "Talvero");
    const std::string icon = item["IconThemePath"].get<std::string>() + "/" +
                             item["IconName"].get<std::string>() + ".png";
    EXPECT_TRUE(std::ifstream(icon).good()) << icon;

    // A choice in the panel's menu reaches the dialog as the menu command; the label follows.
    ClickMenuItem(item, IdOf(item, "Disable"));
    ASSERT_TRUE(PumpUntil([&] { return IdOf(watcher.Item(), "Enable") >= 0; }));
    EXPECT_EQ(commands, std::vector<int>{ID_TRAY_DISABLE});
    // The disabled picture: the panel hears of the icon and of the menu by separate signals.
    EXPECT_TRUE(PumpUntil([&] { return watcher.Item()["IconName"] != item["IconName"]; }))
        << watcher.Item()["IconName"];

    ClickMenuItem(item, IdOf(item, "Show Talvero"));
    ASSERT_TRUE(PumpUntil([&] { return !dlg->IsInTray() && dlg->IsShown(); }));
    EXPECT_TRUE(PumpUntil([&] { return watcher.Item()["Status"] == "Passive"; }));

    // The panel's click on the item (Activate) brings the window back; ContextMenu and
    // SecondaryActivate are answered, not refused as unknown.
    ASSERT_TRUE(dlg->MinimizeToTray());
    ASSERT_TRUE(PumpUntil([&] { return watcher.Item()["Status"] == "Active"; }));
    for (const char* method : {"ContextMenu", "SecondaryActivate", "Activate"})
        EXPECT_EQ(CallItem(item, method), "") << method;
    ASSERT_TRUE(PumpUntil([&] { return !dlg->IsInTray() && dlg->IsShown(); }));

    // The panel's watcher ends while the window hides in its item.
    ASSERT_TRUE(dlg->MinimizeToTray());
    watcher.Stop();
    ASSERT_TRUE(PumpUntil([&] { return !dlg->IsInStatusNotifierItem(); }));
    EXPECT_TRUE(dlg->IsInTray());  // now in the XEmbed tray of the test display
    EXPECT_TRUE(dlg->RestoreFromTray());
    dlg->Destroy();
    EXPECT_TRUE(PumpUntil([] { return wxTopLevelWindows.empty(); }));
}

}  // namespace

}  // namespace talvero
