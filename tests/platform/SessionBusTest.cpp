// What travels over the session bus, on a bus of the test's own: the hand-over of a later
// start's actions to the running window, and the banner's text as a desktop notification (to
// tests/wayland/notification_standin.py). Also the command line and the portal's notation of a
// hotkey, which need no bus.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <atomic>
#include <fstream>
#include <thread>

#include "app/CommandLine.h"
#include "platform/ShortcutTrigger.h"
#include "platform/dbus/DbusBackends.h"
#include "tests/support/GuiTestSupport.h"
#include "tests/support/TempDir.h"

extern char** environ;

namespace talvero {

namespace {

TEST(CommandLineTest, OptionsInAnyOrderRunOnceEachInAFixedOrder)
{
    auto parse = [](std::vector<const char*> args) {
        args.insert(args.begin(), "talvero");
        return ParseCommandLine(int(args.size()), args.data());
    };
    EXPECT_TRUE(parse({}).actions.empty());
    const CommandLine all =
        parse({"--translate-selection", "--capture", "--show", "--capture", "--show"});
    EXPECT_EQ(all.actions, (std::vector<std::string>{"show", "capture", "translate-selection"}));
    EXPECT_TRUE(all.unknown.empty());
    EXPECT_EQ(parse({"--capture", "-x", "--show"}).unknown, "-x");
    EXPECT_EQ(parse({"--capture=1"}).unknown, "--capture=1");
    EXPECT_EQ(parse({"capture"}).unknown, "capture");
    EXPECT_TRUE(parse({"--help"}).help);
    EXPECT_NE(CommandLineUsage().find("--translate-selection"), std::string::npos);
}

TEST(ShortcutTriggerTest, ModifiersAndKeysInThePortalsNotation)
{
    EXPECT_EQ(ShortcutTrigger({'Z', kHotkeyModAlt | kHotkeyModControl}), "CTRL+ALT+z");
    EXPECT_EQ(ShortcutTrigger({101, kHotkeyModShift | kHotkeyModWin}), "SHIFT+LOGO+KP_5");
    EXPECT_EQ(ShortcutTrigger({123, 0}), "F12");
    EXPECT_EQ(ShortcutTrigger({'7', kHotkeyModControl}), "CTRL+7");
    EXPECT_EQ(ShortcutTrigger({88 + 100, kHotkeyModControl}), "");
}

class SessionBus : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!std::getenv("TALVERO_PRIVATE_BUS")) GTEST_SKIP() << "needs a private session bus";
    }
    // Hands `actions` over from another thread while this one runs the window's loop.
    HandOverResult HandOver(const std::vector<std::string>& actions, int timeoutMs)
    {
        std::atomic<bool> over{false};
        HandOverResult result = HandOverResult::NoWindow;
        std::thread start([&] {
            result = HandOverToRunningWindow(actions, timeoutMs);
            over = true;
        });
        PumpUntil([&] { return over.load(); }, timeoutMs + 5000);
        start.join();
        return result;
    }
    TempDir dir;
};

TEST_F(SessionBus, ALaterStartHandsItsActionsToTheRunningWindowAndHearsWhenTheyAreDone)
{
    EXPECT_EQ(HandOver({"show"}, 2000), HandOverResult::NoWindow);

    std::vector<std::string> done;
    std::function<void()> heldBack;
    bool holdCapture = false;
    auto channel = OpenCommandChannel([&](const std::string& action, std::function<void()> then) {
        if (action == "capture" && holdCapture) {
            heldBack = std::move(then);  // a window stuck in something
            return;
        }
        done.push_back(action);
        // Answered later, from the loop, as a capture does.
        wxTheApp->CallAfter([then] { then(); });
    });
    ASSERT_TRUE(channel);
    ASSERT_TRUE(PumpUntil([&] { return HandOver({"show"}, 2000) == HandOverResult::Done; }));
    done.clear();
    EXPECT_EQ(HandOver({"show", "capture", "translate-selection"}, 2000), HandOverResult::Done);
    EXPECT_EQ(done, (std::vector<std::string>{"show", "capture", "translate-selection"}));
    // Nothing else is taken for an action.
    EXPECT_EQ(HandOver({"delete-everything"}, 2000), HandOverResult::NoAnswer);

    holdCapture = true;
    EXPECT_EQ(HandOver({"capture"}, 500), HandOverResult::NoAnswer);
    ASSERT_TRUE(heldBack);
    heldBack();  // the late answer goes nowhere, harmlessly

    channel.reset();
    EXPECT_TRUE(PumpUntil([&] { return HandOver({"show"}, 2000) == HandOverResult::NoWindow; }));
}

TEST_F(SessionBus, TheBannersTextBecomesANotificationThatReplacesTheLastOne)
{
    const std::string log = dir.File("notifications.log");
    const char* argv[] = {"/usr/bin/python3", NOTIFICATION_STANDIN, log.c_str(), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, argv[0], nullptr, nullptr, const_cast<char**>(argv), environ), 0);
    ASSERT_TRUE(PumpUntil([&] { return std::ifstream(log).good(); }, 10000));
    auto lines = [&] {
        std::vector<nlohmann::json> out;
        std::ifstream in(log);
        for (std::string line; std::getline(in, line);)
            out.push_back(nlohmann::json::parse(line));
        return out;
    };
    auto notifications = MakeBusNotifications();
    ASSERT_TRUE(notifications);
    notifications->Notify("Talvero", "el gato:\nthe <cat> & co");
    ASSERT_TRUE(PumpUntil([&] { return lines().size() == 1; }, 5000));
    // Wait for the id to come back before the second one, which replaces it.
    PumpUntil([] { return false; }, 300);
    notifications->Notify("Talvero", "perro <===> dog");
    ASSERT_TRUE(PumpUntil([&] { return lines().size() == 2; }, 5000));
    const auto seen = lines();
    EXPECT_EQ(seen[0]["app"], "Talvero");
    EXPECT_EQ(seen[0]["body"], "el gato:\nthe &lt;cat&gt; &amp; co");
    EXPECT_EQ(seen[0]["replaces"], 0);
    EXPECT_EQ(seen[1]["replaces"], 1);
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

}  // namespace

}  // namespace talvero
