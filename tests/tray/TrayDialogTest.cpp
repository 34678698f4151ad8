// The notification-area entry on a real desktop: Xvfb, a window manager and a tray host.
#include "tray/gui/TrayDialog.h"

#include <gtest/gtest.h>
#include <wx/image.h>
#include <wx/menu.h>
#include <wx/taskbar.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "res/Resources.h"
#include "tests/support/GuiTestSupport.h"
#include "tests/tray/TrayTestSupport.h"

// After gtest: X11 defines None, which gtest uses as a name.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <gdk/gdkx.h>
#include <glib.h>
#include <gtk/gtk.h>

namespace talvero {

namespace {

// The dialog as the main window prepares it.
class TestTrayDlg : public CTrayDialog {
public:
    TestTrayDlg()
        : CTrayDialog(nullptr, wxID_ANY, "Talvero tray test", wxDefaultPosition, wxSize(320, 200),
                      wxDEFAULT_DIALOG_STYLE | wxMINIMIZE_BOX)
    {
        TraySetIcon(128);
        TraySetToolTip("Talvero");
        TraySetMenu(132);
    }
};

bool SameImage(const wxIcon& a, const wxIcon& b)
{
    wxImage ia = wxBitmap(a).ConvertToImage(), ib = wxBitmap(b).ConvertToImage();
    return ia.GetSize() == ib.GetSize() &&
           memcmp(ia.GetData(), ib.GetData(), size_t(ia.GetWidth()) * ia.GetHeight() * 3) == 0;
}

class TrayDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!wxTaskBarIcon::IsAvailable()) GTEST_SKIP() << "no tray host on this display";
        dlg = new TestTrayDlg;
        dlg->Show();
        ASSERT_TRUE(PumpUntil([&] { return dlg->IsShownOnScreen() && dlg->IsActive(); }));
    }
    void TearDown() override
    {
        if (dlg) dlg->Destroy();
        EXPECT_TRUE(PumpUntil([] { return wxTopLevelWindows.empty(); }));
    }
    void MinimizeIntoTray()
    {
        dlg->Iconize(true);
        ASSERT_TRUE(PumpUntil([&] { return dlg->IsInTray() && TrayEntries().size() == 1; }));
    }

    TestTrayDlg* dlg = nullptr;
};

TEST_F(TrayDialogTest, MinimizeIntoTheTrayAndDoubleClickBack)
{
    EXPECT_TRUE(TrayEntries().empty());
    MinimizeIntoTray();
    EXPECT_FALSE(dlg->IsShown());
    EXPECT_EQ(dlg->GetTrayToolTip(), "Talvero");
    wxIcon icon128;
    ASSERT_TRUE(LoadIconResource(128, icon128));
    EXPECT_TRUE(SameImage(dlg->GetTrayIcon(), icon128));

    // The notification area, as the desktop tells it, holds the entry.
    wxRect entry = TrayEntries()[0];
    EXPECT_TRUE(dlg->GetTaskbarNotifyRect().Contains(
        wxPoint(entry.x + entry.width / 2, entry.y + entry.height / 2)))
        << dlg->GetTaskbarNotifyRect().x << "," << dlg->GetTaskbarNotifyRect().y;

    // A second minimize changes nothing.
    EXPECT_FALSE(dlg->MinimizeToTray());
    dlg->Iconize(true);
    HandleQueuedEvents();
    EXPECT_EQ(TrayEntries().size(), 1u);
    EXPECT_TRUE(dlg->IsInTray());

    RunCommand("xdotool mousemove " + Centre(TrayEntries()[0]) + " click --repeat 2 --delay 150 1");
    ASSERT_TRUE(PumpUntil([&] { return dlg->IsShownOnScreen() && !dlg->IsInTray(); }));
    // The second click of the pair, in by now, must not take it back.
    HandleQueuedEvents();
    EXPECT_TRUE(dlg->IsShownOnScreen());
    EXPECT_FALSE(dlg->IsInTray());
    EXPECT_TRUE(TrayEntries().empty());
    EXPECT_FALSE(dlg->IsIconized());
    EXPECT_TRUE(PumpUntil([&] { return dlg->IsActive(); }));

    // And the way round works again.
    MinimizeIntoTray();
    EXPECT_FALSE(dlg->IsShown());
}

TEST_F(TrayDialogTest, TheEntryGoesWithTheWindow)
{
    MinimizeIntoTray();
    dlg->Destroy();
    dlg = nullptr;
    EXPECT_TRUE(PumpUntil([] { return TrayEntries().empty(); }));
}

TEST_F(TrayDialogTest, WithoutMinimizeToTrayTheWindowMinimizesAsUsual)
{
    dlg->minimizeToTray = false;
    dlg->Iconize(true);
    EXPECT_TRUE(PumpUntil([&] { return dlg->IsIconized(); }));
    EXPECT_FALSE(dlg->IsInTray());
    EXPECT_TRUE(TrayEntries().empty());
    EXPECT_TRUE(dlg->IsIconized());
    dlg->Iconize(false);
    EXPECT_TRUE(PumpUntil([&] { return !dlg->IsIconized(); }));
}

TEST_F(TrayDialogTest, TopmostIsTheWindowManagersAboveState)
{
    Window w = GDK_WINDOW_XID(gtk_widget_get_window(dlg->GetHandle()));
    std::string prop = "xprop -id " + std::to_string(w) + " _NET_WM_STATE";
    dlg->SetTopmost(true);
    EXPECT_TRUE(PumpUntil([&] { return RunCommand(prop).find("ABOVE") != std::string::npos; }));
    wxPoint before = dlg->GetScreenPosition();
    dlg->SetTopmost(false);
    EXPECT_TRUE(PumpUntil([&] { return RunCommand(prop).find("ABOVE") == std::string::npos; }));
    EXPECT_EQ(dlg->GetScreenPosition(), before);
}

TEST(TrayToolTip, KeepsAtMost127Characters)
{
    auto* dlg = new CTrayDialog(nullptr, wxID_ANY, "t");
    wxString exact(wxUniChar('x'), 127), longer(wxUniChar(0x00E9), 200);
    dlg->TraySetToolTip(exact);
    EXPECT_EQ(dlg->GetTrayToolTip(), exact);
    dlg->TraySetToolTip(longer);
    EXPECT_EQ(dlg->GetTrayToolTip(), wxString(wxUniChar(0x00E9), 127));
    // An icon that does not load leaves the one before.
    ASSERT_TRUE(dlg->TraySetIcon(128));
    wxIcon before = dlg->GetTrayIcon();
    EXPECT_FALSE(dlg->TraySetIcon(4711));
    EXPECT_TRUE(SameImage(dlg->GetTrayIcon(), before));
    EXPECT_FALSE(dlg->TraySetMenu(4711));
    EXPECT_EQ(dlg->GetTrayMenu(), nullptr);
    dlg->Destroy();
}

// Run on a display without a tray host (tests/tray/no-tray-host.sh): minimizing must not make
// the window vanish where no entry can bring it back.
TEST(NoTrayHost, TheWindowMinimizesAsUsual)
{
    if (wxTaskBarIcon::IsAvailable()) GTEST_SKIP() << "a tray host runs on this display";
    auto* dlg = new TestTrayDlg;
    dlg->Show();
    ASSERT_TRUE(PumpUntil([&] { return dlg->IsShownOnScreen() && dlg->IsActive(); }));
    dlg->Iconize(true);
    EXPECT_TRUE(PumpUntil([&] { return dlg->IsIconized(); }));
    EXPECT_FALSE(dlg->IsInTray());
    EXPECT_TRUE(dlg->IsShown());
    EXPECT_TRUE(dlg->IsIconized());
    EXPECT_FALSE(dlg->MinimizeToTray());
    dlg->Destroy();
    EXPECT_TRUE(PumpUntil([] { return wxTopLevelWindows.empty(); }));
}

}  // namespace

}  // namespace talvero
