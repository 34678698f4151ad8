// The banner as a real window on the test display: shape, placement, motion, focus, mouse.
#include "tray/gui/TaskbarNotifier.h"

#include <gtest/gtest.h>
#include <wx/display.h>
#include <wx/frame.h>
#include <wx/image.h>

#include <memory>

#include "base/CodePage.h"
#include "res/Resources.h"
#include "tests/support/GuiTestSupport.h"
#include "tests/tray/TrayTestSupport.h"
#include "tray/gui/BannerSetup.h"

// After gtest: X11 defines None, which gtest uses as a name.
#include <X11/Xlib.h>
#include <X11/extensions/shape.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

namespace talvero {

namespace {

Display* XDisplay()
{
    return GDK_DISPLAY_XDISPLAY(gdk_display_get_default());
}

Window XWindowOf(wxWindow* w)
{
    return GDK_WINDOW_XID(gtk_widget_get_window(w->GetHandle()));
}

// The top-level X window the window manager placed (our window or its frame).
wxRect ScreenRectOf(wxWindow* w)
{
    Display* d = XDisplay();
    XSync(d, False);
    Window xw = XWindowOf(w), child;
    XWindowAttributes a;
    XGetWindowAttributes(d, xw, &a);
    int x = 0, y = 0;
    XTranslateCoordinates(d, xw, DefaultRootWindow(d), 0, 0, &x, &y, &child);
    return wxRect(x, y, a.width, a.height);
}

// Pixels in the window's bounding shape.
long ShapeArea(wxWindow* w, int* count = nullptr)
{
    int n = 0, ordering = 0;
    XRectangle* rects = XShapeGetRectangles(XDisplay(), XWindowOf(w), ShapeBounding, &n, &ordering);
    long area = 0;
    for (int i = 0; i < n; ++i)
        area += long(rects[i].width) * rects[i].height;
    if (rects) XFree(rects);
    if (count) *count = n;
    return area;
}

bool ShapeContains(wxWindow* w, int x, int y)
{
    int n = 0, ordering = 0;
    XRectangle* rects = XShapeGetRectangles(XDisplay(), XWindowOf(w), ShapeBounding, &n, &ordering);
    bool inside = false;
    for (int i = 0; i < n && !inside; ++i)
        inside = x >= rects[i].x && x < rects[i].x + rects[i].width && y >= rects[i].y &&
                 y < rects[i].y + rects[i].height;
    if (rects) XFree(rects);
    return inside;
}

long OpaquePixels(int bitmapId, int lines)
{
    wxImage image;
    EXPECT_TRUE(LoadImageResource(bitmapId, image));
    banner::RgbImage rgb(image.GetWidth(), image.GetHeight());
    std::copy(image.GetData(), image.GetData() + rgb.pixels.size(), rgb.pixels.begin());
    banner::RgbImage skin;
    EXPECT_TRUE(banner::ComposeSkinForLines(rgb, lines, skin));
    long opaque = 0;
    for (const banner::Rect& r : banner::ShapeRectangles(skin, {255, 0, 255}))
        opaque += long(r.Width()) * r.Height();
    return opaque;
}

Window FocusWindow()
{
    Window focus;
    int revert;
    XGetInputFocus(XDisplay(), &focus, &revert);
    return focus;
}

Window ParentOf(Window w)
{
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(XDisplay(), w, &root, &parent, &children, &count)) return 0;
    if (children) XFree(children);
    return parent;
}

class TaskbarNotifierTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        owner = new wxFrame(nullptr, wxID_ANY, "Banner owner", wxPoint(100, 100), wxSize(300, 200));
        owner->Show();
        ASSERT_TRUE(PumpUntil([&] { return owner->IsShownOnScreen() && owner->IsActive(); }));
        bannerWindow = new CTaskbarNotifier;
        ASSERT_TRUE(bannerWindow->Create(owner));
        // As the main window sets up its translation banner.
        ASSERT_TRUE(bannerWindow->SetSkinForLines(132, 255, 0, 255, 0));
        bannerWindow->SetTextFont("Arial Black", 90, 0, 5);
        bannerWindow->SetTextColor(wxColour(0, 0, 0), wxColour(255, 255, 255));
        bannerWindow->SetTextRect({10, 20, 352 - 10, 129 - 20});
        work = wxDisplay(0u).GetClientArea();
    }
    void TearDown() override
    {
        owner->Destroy();  // takes the banner with it
        EXPECT_TRUE(PumpUntil([] { return wxTopLevelWindows.empty(); }));
    }
    void WaitForState(banner::State state, long timeoutMs = 5000)
    {
        ASSERT_TRUE(PumpUntil([&] { return bannerWindow->GetState() == state; }, timeoutMs))
            << "state " << int(bannerWindow->GetState());
    }

    wxFrame* owner = nullptr;
    CTaskbarNotifier* bannerWindow = nullptr;
    wxRect work;
};

TEST_F(TaskbarNotifierTest, RisesAtTheWorkAreasCornerAndSinksBackWithoutTakingTheFocus)
{
    // The window manager hands the focus on to the frame's client (the toolkit's focus window
    // inside it) a moment after activation: compare against where it settles, not where it passes.
    ASSERT_TRUE(PumpUntil([&] { return ParentOf(FocusWindow()) == XWindowOf(owner); }));
    const Window focusBefore = FocusWindow();
    wxStopWatch sw;
    bannerWindow->Show("hola:\nhello", 10, 1000, 10);
    EXPECT_EQ(bannerWindow->GetPlacement(), banner::Placement::Bottom);
    WaitForState(banner::State::Waiting);
    long appearMs = sw.Time();
    ASSERT_TRUE(
        PumpUntil([&] { return ScreenRectOf(bannerWindow).GetSize() == wxSize(352, 129); }));
    wxRect shown = ScreenRectOf(bannerWindow);
    EXPECT_EQ(shown.GetSize(), wxSize(352, 129));
    EXPECT_EQ(shown.x, work.GetRight() + 1 - 352);
    // Fully out: 65 steps of 2 pixels above the work area's bottom.
    EXPECT_EQ(shown.y, work.GetBottom() + 1 - 130);
    EXPECT_EQ(FocusWindow(), focusBefore);
    EXPECT_TRUE(owner->IsActive());
    Screenshot("banner-translation.png");
    // 66 steps of the shortest timer period (10 ms): the real-time check of the animation, whose
    // steps the core tests follow on a fake clock. No upper bound: a busy machine is slower.
    EXPECT_GE(appearMs, 600);

    WaitForState(banner::State::Disappearing, 3000);
    WaitForState(banner::State::Idle);
    EXPECT_FALSE(bannerWindow->IsShown());
    EXPECT_EQ(FocusWindow(), focusBefore);
}

TEST_F(TaskbarNotifierTest, TheShapeIsTheSkinWithoutItsMagenta)
{
    bannerWindow->Show("shape", 10, 5000, 10);
    WaitForState(banner::State::Waiting);
    EXPECT_TRUE(PumpUntil([&] { return ShapeArea(bannerWindow) == OpaquePixels(132, 0); }));
    int rects = 0;
    EXPECT_EQ(ShapeArea(bannerWindow, &rects), OpaquePixels(132, 0));
    EXPECT_GT(rects, 1);
    // The surround of skin 132 is cut out; its body is not.
    EXPECT_FALSE(ShapeContains(bannerWindow, 0, 0));
    EXPECT_FALSE(ShapeContains(bannerWindow, 351, 128));
    EXPECT_FALSE(ShapeContains(bannerWindow, 20, 120));
    EXPECT_TRUE(ShapeContains(bannerWindow, 176, 60));

    // Two more lines: a taller skin, its shape and text rectangle.
    bannerWindow->Hide();
    ASSERT_TRUE(bannerWindow->SetSkinForLines(132, 255, 0, 255, 2));
    EXPECT_EQ(bannerWindow->GetSkinSize(), wxSize(352, 169));
    EXPECT_EQ(bannerWindow->GetTextRect(), (banner::Rect{10, 20, 332, 109}));
    bannerWindow->Show("two\nmore\nlines", 10, 5000, 10);
    WaitForState(banner::State::Waiting);
    EXPECT_TRUE(PumpUntil([&] { return ShapeArea(bannerWindow) == OpaquePixels(132, 2); }));
    EXPECT_EQ(ScreenRectOf(bannerWindow).GetSize(), wxSize(352, 169));
    EXPECT_EQ(ShapeArea(bannerWindow), OpaquePixels(132, 2));
    EXPECT_TRUE(ShapeContains(bannerWindow, 176, 120));
}

TEST_F(TaskbarNotifierTest, HoverSwitchesFontAndColourAndAClickTellsTheOwner)
{
    int clicks = 0;
    owner->Bind(EVT_TASKBAR_NOTIFIER_CLICK, [&](wxCommandEvent&) { ++clicks; });
    bannerWindow->Show("hover me", 10, 10000, 10);
    WaitForState(banner::State::Waiting);
    ASSERT_TRUE(
        PumpUntil([&] { return ScreenRectOf(bannerWindow).GetSize() == wxSize(352, 129); }));
    wxRect r = ScreenRectOf(bannerWindow);
    RunCommand("xdotool mousemove " + std::to_string(r.x + 176) + " " + std::to_string(r.y + 50));
    ASSERT_TRUE(PumpUntil([&] { return bannerWindow->IsMouseOver(); }));
    EXPECT_TRUE(bannerWindow->GetHoverFont().GetUnderlined());
    EXPECT_EQ(bannerWindow->GetHoverFont().GetWeight(), wxFONTWEIGHT_BOLD);
    EXPECT_FALSE(bannerWindow->GetNormalFont().GetUnderlined());
    Pump(100);
    // White on the near-white skin under the pointer: the hover look.
    Screenshot("banner-hover.png");
    RunCommand("xdotool click 1");
    EXPECT_TRUE(PumpUntil([&] { return clicks == 1; }));
    RunCommand("xdotool mousemove 5 5");
    EXPECT_TRUE(PumpUntil([&] { return !bannerWindow->IsMouseOver(); }));
}

TEST_F(TaskbarNotifierTest, ShowsWhileItsOwnerIsHidden)
{
    // The main window may be in the tray when a hotkey adds a pair.
    owner->Hide();
    ASSERT_TRUE(PumpUntil([&] { return !owner->IsShownOnScreen(); }));
    bannerWindow->Show("from the tray", 10, 2000, 10);
    WaitForState(banner::State::Waiting);
    XWindowAttributes a;
    EXPECT_TRUE(PumpUntil([&] {
        return XGetWindowAttributes(XDisplay(), XWindowOf(bannerWindow), &a) &&
               a.map_state == IsViewable;
    }));
    EXPECT_EQ(ScreenRectOf(bannerWindow).y, work.GetBottom() + 1 - 130);
}

TEST_F(TaskbarNotifierTest, TheAdditionsBannerOnSkin131)
{
    CTaskbarNotifier* additions = new CTaskbarNotifier;
    ASSERT_TRUE(additions->Create(owner));
    ASSERT_TRUE(additions->SetSkin(131, 255, 0, 255));
    EXPECT_EQ(additions->GetSkinSize(), wxSize(352, 129));
    EXPECT_EQ(additions->GetTextRect(), (banner::Rect{0, 0, 352, 129}));
    additions->SetTextFont("Arial Black", 90, 0, 5);
    additions->SetTextColor(wxColour(0, 0, 0), wxColour(255, 255, 255));
    additions->SetTextRect({10, 20, 342, 109});
    additions->Show("casa = house", 10, 3000, 10);
    ASSERT_TRUE(PumpUntil([&] { return additions->GetState() == banner::State::Waiting; }));
    // A panel: only its corner pixels are cut out.
    EXPECT_TRUE(PumpUntil([&] { return ShapeArea(additions) == 352L * 129 - 24; }))
        << ShapeArea(additions);
    EXPECT_EQ(additions->GetDrawnLines(), std::vector<std::wstring>{L"casa = house"});
    Screenshot("banner-additions.png");
    // A skin that does not load: false; SetSkin has dropped the picture, the size stays.
    EXPECT_FALSE(additions->SetSkin(4711, 255, 0, 255));
    EXPECT_FALSE(additions->GetSkin().IsOk());
    EXPECT_FALSE(additions->SetSkinForLines(4711, 255, 0, 255, 1));
    EXPECT_EQ(additions->GetSkinSize(), wxSize(352, 129));
    additions->Hide();
}

TEST(BannerSetup, BothBannersAsTheMainWindowMakesThem)
{
    auto* owner = new wxFrame(nullptr, wxID_ANY, "Banner owner");
    auto* translation = new CTaskbarNotifier;
    auto* additions = new CTaskbarNotifier;
    ASSERT_TRUE(SetUpTranslationBanner(*translation, owner));
    ASSERT_TRUE(SetUpAdditionsBanner(*additions, owner));
    for (CTaskbarNotifier* b : {translation, additions}) {
        EXPECT_EQ(b->GetSkinSize(), wxSize(352, 129));
        EXPECT_EQ(b->GetTextRect(), (banner::Rect{10, 20, 342, 109}));
        EXPECT_EQ(b->GetNormalTextColour(), wxColour(0, 0, 0));
        EXPECT_EQ(b->GetHoverTextColour(), wxColour(255, 255, 255));
        EXPECT_EQ(b->GetNormalFont().GetWeight(), wxFONTWEIGHT_NORMAL);
        EXPECT_FALSE(b->GetNormalFont().GetUnderlined());
        EXPECT_EQ(b->GetHoverFont().GetWeight(), wxFONTWEIGHT_BOLD);
        EXPECT_TRUE(b->GetHoverFont().GetUnderlined());
        EXPECT_NEAR(b->GetNormalFont().GetFractionalPointSize(), 9.0, 0.01);
        EXPECT_FALSE(b->IsShown());
    }

    // Phrases are bytes of the program's code page; here UTF-8 whatever the test's locale.
    setenv("TALVERO_CODEPAGE", "UTF-8", 1);
    ResetCodePageForTesting();
    // A translation of 72 bytes: two lines more, shown for 3600 ms.
    std::string text = "\xc2\xbfQu\xc3\xa9 tal? " + std::string(60, 'x');
    ASSERT_EQ(text.size(), 72u);
    ShowOnBanner(*translation, res::kTranslationSkin, text, int(text.size() / 36), 10, 3600, 10);
    EXPECT_EQ(translation->GetSkinSize(), wxSize(352, 169));
    EXPECT_EQ(translation->GetTextRect(), (banner::Rect{10, 20, 332, 109}));
    ASSERT_TRUE(PumpUntil([&] { return translation->GetState() == banner::State::Waiting; }));
    ASSERT_TRUE(PumpUntil([&] { return !translation->GetDrawnLines().empty(); }));
    EXPECT_EQ(translation->GetDrawnLines()[0].substr(0, 9), L"\u00bfQu\u00e9 tal?");
    // Another show while this one waits: it starts again from below.
    ShowOnBanner(*translation, res::kTranslationSkin, "short", 0, 10, 0, 10);
    EXPECT_EQ(translation->GetState(), banner::State::Appearing);
    EXPECT_EQ(translation->GetSkinSize(), wxSize(352, 129));

    // A translation of 18 000 bytes would make a banner far taller than the screen: it is as tall
    // as the work area allows.
    int workHeight = wxDisplay(0u).GetClientArea().GetHeight();
    ShowOnBanner(*translation, res::kTranslationSkin, std::string(18000, 'y'), 500, 10, 0, 10);
    EXPECT_LE(translation->GetSkinSize().GetHeight(), workHeight);
    EXPECT_GT(translation->GetSkinSize().GetHeight(), workHeight - 20);
    translation->Hide();
    owner->Destroy();
    EXPECT_TRUE(PumpUntil([] { return wxTopLevelWindows.empty(); }));
}

}  // namespace

}  // namespace talvero
