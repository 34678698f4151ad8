// The capture of the user's selection for real, under the test display: another X client holds
// PRIMARY and logs every key it receives; the capture must get its text, send it no key and
// leave the clipboard to its owner. Then the owners that misbehave or offer nothing.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "platform/Platform.h"
#include "tests/support/GuiTestSupport.h"
#include "tests/support/TempDir.h"

// Last: Xlib's macros clash with names in the headers above.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <gtk/gtk.h>

extern char** environ;

namespace talvero {

namespace {

// The other program, with what it owns; its window has the focus.
class PrimaryOwner {
public:
    PrimaryOwner(const TempDir& dir, std::vector<std::string> args) : log(dir.File("keys.log"))
    {
        args.insert(args.begin(), {PRIMARY_OWNER, log});
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn(&pid, PRIMARY_OWNER, nullptr, nullptr, argv.data(), environ);
        RunCommand("xdotool search --sync --name '^talvero-primary-owner$' windowactivate --sync");
    }
    ~PrimaryOwner()
    {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
    std::string Keys() const { return RunCommand("cat '" + log + "'"); }

private:
    std::string log;
    pid_t pid = 0;
};

unsigned KeycodeOf(KeySym sym)
{
    Display* d = XOpenDisplay(nullptr);
    const unsigned code = XKeysymToKeycode(d, sym);
    XCloseDisplay(d);
    return code;
}

Window OwnerOf(const char* selection)
{
    Display* d = XOpenDisplay(nullptr);
    Window owner = XGetSelectionOwner(d, XInternAtom(d, selection, False));
    XCloseDisplay(d);
    return owner;
}

void DropSelections()
{
    Display* d = XOpenDisplay(nullptr);
    XSetSelectionOwner(d, XA_PRIMARY, None, CurrentTime);
    XSetSelectionOwner(d, XInternAtom(d, "CLIPBOARD", False), None, CurrentTime);
    XCloseDisplay(d);
}

class SelectionCapture : public ::testing::Test {
protected:
    void SetUp() override { DropSelections(); }

    // Captures and lets the application work until the answer is in.
    CapturedText Capture(int timeoutMs = 1000)
    {
        std::optional<CapturedText> got;
        platform.clipboard->CaptureSelection(timeoutMs, [&](const CapturedText& c) { got = c; });
        EXPECT_TRUE(PumpUntil([&] { return got.has_value(); }, 10000));
        return got.value_or(CapturedText{});
    }

    Platform platform = MakeDesktopPlatform();
    TempDir dir;
};

TEST_F(SelectionCapture, TakesTheSelectionWithoutAKeyAndLeavesTheClipboard)
{
    PrimaryOwner other(dir, {"--primary", "gato negro", "--clipboard", "earlier copy"});
    const Window clipboardOwner = OwnerOf("CLIPBOARD");
    ASSERT_NE(clipboardOwner, Window(None));

    CapturedText got = Capture();
    EXPECT_EQ(got.outcome, CaptureOutcome::Text);
    EXPECT_EQ(got.text, "gato negro");
    EXPECT_FALSE(got.fromClipboard);
    EXPECT_EQ(OwnerOf("CLIPBOARD"), clipboardOwner);

    // A key typed now reaches the other program after anything the capture sent it, events
    // arriving in order: once it is in the log, the log shows it alone, with no key before it
    // and neither PRIMARY nor CLIPBOARD taken away. It also shows that the log records keys.
    RunCommand("xdotool key a");
    EXPECT_TRUE(PumpUntil([&] { return other.Keys().find("release") != std::string::npos; }));
    const std::string keys = other.Keys();
    EXPECT_EQ(keys.find("press " + std::to_string(KeycodeOf(XK_a)) + " "), 0u) << keys;
    EXPECT_EQ(std::count(keys.begin(), keys.end(), '\n'), 2) << keys;
}

TEST_F(SelectionCapture, ClipboardOnlyWhenNothingIsSelectedAndNothingWhenNeitherIsOwned)
{
    {
        PrimaryOwner other(dir, {"--clipboard", "copied before"});
        CapturedText got = Capture();
        EXPECT_EQ(got.outcome, CaptureOutcome::Text);
        EXPECT_EQ(got.text, "copied before");
        EXPECT_TRUE(got.fromClipboard);
    }
    DropSelections();
    EXPECT_EQ(Capture().outcome, CaptureOutcome::Nothing);
}

TEST_F(SelectionCapture, PictureHugeTextSilentOwnerAndCancelEndCleanly)
{
    {
        PrimaryOwner picture(dir, {"--primary-picture"});
        EXPECT_EQ(Capture().outcome, CaptureOutcome::NotText);
    }

    // Ten megabytes selected in this program: refused as a whole, not cut.
    GtkClipboard* primary = gtk_clipboard_get(GDK_SELECTION_PRIMARY);
    gtk_clipboard_set_text(primary, std::string(10 << 20, 'a').c_str(), -1);
    CapturedText huge = Capture(5000);
    EXPECT_EQ(huge.outcome, CaptureOutcome::TooLarge);
    EXPECT_TRUE(huge.text.empty());
    gtk_clipboard_set_text(primary, std::string(kMaxCaptureBytes, 'b').c_str(), -1);
    EXPECT_EQ(Capture().text.size(), kMaxCaptureBytes);

    // An owner that never answers: the capture ends at its deadline.
    Display* other = XOpenDisplay(nullptr);
    Window silent = XCreateSimpleWindow(other, DefaultRootWindow(other), 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(other, XA_PRIMARY, silent, CurrentTime);
    XSync(other, False);
    EXPECT_EQ(Capture(300).outcome, CaptureOutcome::NoAnswer);

    // Cancelled, or the platform gone, before the answer: the callback never runs.
    bool called = false;
    platform.clipboard->CaptureSelection(300, [&](const CapturedText&) { called = true; });
    platform.clipboard->CancelCapture();
    platform.clipboard->CaptureSelection(300, [&](const CapturedText&) { called = true; });
    platform.clipboard.reset();
    // Only the deadline could still end them, the owner never answering. A later capture with
    // the same deadline comes due no earlier, and the main loop runs timers due together in the
    // order they were started: once it has ended, theirs would have run.
    Platform later = MakeDesktopPlatform();
    std::optional<CapturedText> last;
    later.clipboard->CaptureSelection(300, [&](const CapturedText& c) { last = c; });
    EXPECT_TRUE(PumpUntil([&] { return last.has_value(); }, 10000));
    EXPECT_EQ(last.value_or(CapturedText{}).outcome, CaptureOutcome::NoAnswer);
    EXPECT_FALSE(called);
    XCloseDisplay(other);
}

}  // namespace

}  // namespace talvero
