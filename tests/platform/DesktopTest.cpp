// The desktop services for real under the test display (Xvfb with a window manager): the hotkey
// from xdotool's key strokes, a combination another client holds, NumLock, the clipboard with
// owners that misbehave, and the window's capture from a second program's selection.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>

#include "WindowTestSupport.h"
#include "catalogue/Catalogue.h"
#include "dictionary/LocalDictionary.h"
#include "platform/Platform.h"
#include "settings/Settings.h"

// Last: Xlib's macros (None, Bool, Status) clash with names in the headers above.
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

extern char** environ;

namespace talvero {

namespace {

constexpr HotkeyCombo kCtrlAltZ{90, kHotkeyModAlt | kHotkeyModControl};

void Xdotool(const std::string& args)
{
    ASSERT_EQ(std::system(("xdotool " + args).c_str()), 0) << args;
}

bool PumpUntil(const std::function<bool()>& done, int ms = 5000)
{
    WaitPumping(ms, [&] { return !done(); });
    return done();
}

bool NumLockOn()
{
    Display* d = XOpenDisplay(nullptr);
    Window root, child;
    int x, y, wx, wy;
    unsigned mask = 0;
    XQueryPointer(d, DefaultRootWindow(d), &root, &child, &x, &y, &wx, &wy, &mask);
    XCloseDisplay(d);
    return mask & Mod2Mask;
}

// The second program, started with `text` selected and given the focus.
class SelectionSource {
public:
    explicit SelectionSource(const std::string& text)
    {
        const char* argv[] = {SELECTION_SOURCE, text.c_str(), nullptr};
        posix_spawn(&pid, SELECTION_SOURCE, nullptr, nullptr, const_cast<char**>(argv), environ);
        Xdotool("search --sync --name '^talvero-selection-source$' windowactivate --sync");
    }
    ~SelectionSource()
    {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }

private:
    pid_t pid = 0;
};

// Settings whose local pair is Spanish to English.
Settings SpanishEnglish()
{
    Settings s;
    for (const PairEntry& e : PairsOf(PairList::Local))
        if (e.dictionaryCode == "es_en") s.localPairPosition = e.position;
    return s;
}

class DesktopTest : public WindowTest {
protected:
    // The window's parts with the real desktop and the real dictionary files.
    CTalveroDlg::Parts DesktopParts()
    {
        CTalveroDlg::Parts parts = FakeServices();
        parts.dictionary = MakeLocalDictionary();
        parts.platform = MakeDesktopPlatform();
        return parts;
    }
};

TEST_F(DesktopTest, HotkeyFromTheKeyboardAlsoWithNumLockOnAndNotAfterUnregistering)
{
    Platform p = MakeDesktopPlatform();
    int presses = 0;
    p.hotkey->SetHandler([&] { ++presses; });
    ASSERT_EQ(p.hotkey->Register(kCtrlAltZ), HotkeyStatus::Registered);
    // A second hotkey on the same connection marks where a key stroke has been handled: X sends
    // one client's events in order, so once the marker's press is in, the keys typed before it
    // have been seen (or ignored) too.
    Platform marker = MakeDesktopPlatform();
    int markers = 0;
    marker.hotkey->SetHandler([&] { ++markers; });
    ASSERT_EQ(marker.hotkey->Register({89, kHotkeyModAlt | kHotkeyModControl}),
              HotkeyStatus::Registered);  // Control+Alt+Y
    Xdotool("key ctrl+alt+z");
    EXPECT_TRUE(PumpUntil([&] { return presses == 1; }));
    Xdotool("key ctrl+alt+x ctrl+alt+y");  // another combination is not ours
    EXPECT_TRUE(PumpUntil([&] { return markers == 1; }));
    EXPECT_EQ(presses, 1);

    ASSERT_FALSE(NumLockOn());
    Xdotool("key Num_Lock");
    ASSERT_TRUE(NumLockOn());
    Xdotool("key ctrl+alt+z");
    EXPECT_TRUE(PumpUntil([&] { return presses == 2; }));
    Xdotool("key Num_Lock");

    p.hotkey->Unregister();
    Xdotool("key ctrl+alt+z ctrl+alt+y");
    EXPECT_TRUE(PumpUntil([&] { return markers == 2; }));
    EXPECT_EQ(presses, 2);
}

TEST_F(DesktopTest, CombinationHeldByAnotherClientShowsTheFailureAndOkTriesAgain)
{
    WriteFile("localdictionary_es_en.txt", "");
    WriteFile("personaldictionary_es_en.txt", "");
    Display* other = XOpenDisplay(nullptr);
    ASSERT_TRUE(other);
    XGrabKey(other, XKeysymToKeycode(other, XK_z), ControlMask | Mod1Mask, DefaultRootWindow(other),
             False, GrabModeAsync, GrabModeAsync);
    XSync(other, False);
    {
        CTalveroDlg dlg(nullptr, DesktopParts());
        dlg.StartUp();
        ASSERT_EQ(boxes.size(), 1u) << boxes[0].text.utf8_string();
        EXPECT_EQ(boxes[0].text, "RegisterHotKey failed");
        EXPECT_EQ(boxes[0].caption, "Talvero");

        // Once the other client lets go, the hotkey registers again (as OK in the options does).
        XCloseDisplay(other);
        other = nullptr;
        boxes.clear();
        dlg.MutableSettings().hotkeyFillsBoxes = false;
        dlg.CallAfter([&] {
            for (wxWindow* w : wxTopLevelWindows)
                if (w != &dlg && w->IsShown()) Click(w, 1);
        });
        dlg.RunOptionsDialog();
        for (const MessageBoxCall& b : boxes)
            ADD_FAILURE() << b.text.utf8_string();
    }
    if (other) XCloseDisplay(other);
}

TEST_F(DesktopTest, CaptureFillsTextThenTranslationFromAnotherProgramAndAddsThePair)
{
    WriteFile("localdictionary_es_en.txt", "perro\ndog");
    WriteFile("personaldictionary_es_en.txt", "casa\nhouse");
    Settings s = SpanishEnglish();
    s.useLocalDictionary = true;
    s.hotkeyFillsBoxes = true;
    s.addAutomaticallyWhenFilled = true;
    s.showTranslationBanner = false;
    ASSERT_TRUE(SaveSettings(s));

    CTalveroDlg dlg(nullptr, DesktopParts());
    RunModal(dlg, [&] {
        {
            SelectionSource source("gato negro");
            Xdotool("key ctrl+alt+z");
            EXPECT_TRUE(PumpUntil([&] { return Text(&dlg, 1007) == "gato negro"; }));
        }
        {
            SelectionSource source("black cat");
            Xdotool("key ctrl+alt+z");
            EXPECT_TRUE(PumpUntil([&] { return Text(&dlg, 1008) == "black cat"; }));
        }
    });
    for (const MessageBoxCall& b : boxes)
        ADD_FAILURE() << b.text.utf8_string();
    EXPECT_EQ(ReadFile("personaldictionary_es_en.txt"), "casa\nhouse\ngato negro\nblack cat");
    EXPECT_EQ(ReadFile("newtranslationsadded.txt"), "gato negro\nblack cat");
}

// The capture lets go of the configured hotkey's own keys before it copies: with Shift+F5 held,
// the focused program must see Control+C, not Control+Shift+C.
TEST_F(DesktopTest, CaptureReleasesTheConfiguredHotkeysKeys)
{
    Settings s = SpanishEnglish();
    s.hotkeyFillsBoxes = true;
    s.hotkeyBaseKeyCode = 39;  // F5
    s.hotkeyAlt = s.hotkeyCtrl = false;
    s.hotkeyShift = true;
    ASSERT_TRUE(SaveSettings(s));
    WriteFile("localdictionary_es_en.txt", "");
    WriteFile("personaldictionary_es_en.txt", "");

    CTalveroDlg dlg(nullptr, DesktopParts());
    RunModal(dlg, [&] {
        SelectionSource source("sombrero");
        Xdotool("keydown shift+F5");
        EXPECT_TRUE(PumpUntil([&] { return Text(&dlg, 1007) == "sombrero"; }));
        Xdotool("keyup shift+F5");
    });
    for (const MessageBoxCall& b : boxes)
        ADD_FAILURE() << b.text.utf8_string();
}

// A window another program destroyed, as the toolkit still asking about it sees it.
TEST(VanishedWindowTest, AQueryAboutItNoLongerEndsTheProgramWhileTrappedErrorsStillCount)
{
    Display* other = XOpenDisplay(nullptr);
    ASSERT_NE(other, nullptr);
    Window gone = XCreateSimpleWindow(other, DefaultRootWindow(other), 0, 0, 10, 10, 0, 0, 0);
    XDestroyWindow(other, gone);
    XSync(other, False);
    XCloseDisplay(other);

    SurviveVanishedWindows();
    GdkDisplay* gdisplay = gdk_display_get_default();
    Display* d = GDK_DISPLAY_XDISPLAY(gdisplay);
    int x = 0, y = 0;
    Window child;
    // Untrapped, as the toolkit's tooltip asks: the toolkit's handler would end the program.
    EXPECT_FALSE(XTranslateCoordinates(d, gone, DefaultRootWindow(d), 0, 0, &x, &y, &child));
    XSync(d, False);
    // Other errors still reach the toolkit's traps.
    gdk_x11_display_error_trap_push(gdisplay);
    XMapWindow(d, gone);
    EXPECT_EQ(gdk_x11_display_error_trap_pop(gdisplay), BadWindow);
}

}  // namespace

}  // namespace talvero
