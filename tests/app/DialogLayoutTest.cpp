// The main window and the dialogs beside it as the desktop makes them: its font and size for
// labels, every control whole and apart from the others, text readable on the theme's background,
// the whole window, frame included, on the work area. The suite runs with the test display's
// defaults, with a 14 pt desktop font and a dark theme (TALVERO_DESKTOP_FONT_POINTS says which
// size GTK's settings file asked for), at twice the scale, and on a 1024x600 screen: there the
// display is too small for some windows, whose content must then scroll.
#include <gtest/gtest.h>
#include <wx/choice.h>
#include <wx/dialog.h>
#include <wx/display.h>
#include <wx/scrolwin.h>
#include <wx/settings.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>

#include <cstdlib>
#include <functional>
#include <memory>

#include "app/gui/AboutDlg.h"
#include "app/gui/DelayDlg.h"
#include "app/gui/OptionsDlg.h"
#include "dictionary/gui/ConfirmationDlg.h"
#include "online/gui/UploadDictionaryDlg.h"
#include "settings/Settings.h"
#include "tests/app/WindowTestSupport.h"
#include "tests/support/GuiTestSupport.h"
#include "ui/Accessibility.h"
#include "ui/MessageBox.h"

#include <atk/atk.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

namespace talvero {

namespace {

double Luminance(const wxColour& c)
{
    return (0.2126 * c.Red() + 0.7152 * c.Green() + 0.0722 * c.Blue()) / 255.0;
}

void Leaves(wxWindow* w, std::vector<wxWindow*>& out)
{
    for (wxWindow* child : w->GetChildren()) {
        if (!child->IsShown()) continue;
        if (dynamic_cast<wxStaticBox*>(child) || child->GetChildren().empty()) out.push_back(child);
        Leaves(child, out);
    }
}

void CheckLayout(wxDialog* dlg, const std::function<void()>& more = {})
{
    SCOPED_TRACE(dlg->GetTitle().utf8_string());
    dlg->Show();
    ASSERT_TRUE(PumpUntil([&] { return dlg->IsShownOnScreen(); }));
    // The window manager's answer to the size request comes later; then the layout is final.
    Pump(300);
    dlg->Layout();
    Pump(100);
    const int desktopPoints = wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT).GetPointSize();
    if (const char* asked = std::getenv("TALVERO_DESKTOP_FONT_POINTS")) {
        EXPECT_EQ(desktopPoints, std::atoi(asked)) << "the desktop's font was not taken";
    }
    const double background = Luminance(dlg->GetBackgroundColour());

    // On a screen too small for it the dialog stays on the screen and its content scrolls.
    const wxRect work = wxDisplay(0u).GetClientArea();
    EXPECT_LE(dlg->GetSize().x, work.width);
    EXPECT_LE(dlg->GetSize().y, work.height);
    // The same as the window system has it, frame included: wx's own idea can lag behind.
    GdkRectangle outer{};
    gdk_window_get_frame_extents(gtk_widget_get_window(dlg->GetHandle()), &outer);
    // (A frame of an odd number of pixels at twice the scale rounds up by one.)
    EXPECT_TRUE(
        wxRect(work).Inflate(1).Contains(wxRect(outer.x, outer.y, outer.width, outer.height)))
        << outer.x << "," << outer.y << " " << outer.width << "x" << outer.height;
    wxScrolledWindow* scroller = nullptr;
    for (wxWindow* child : dlg->GetChildren())
        if (auto* s = dynamic_cast<wxScrolledWindow*>(child)) scroller = s;
    wxWindow* content = scroller ? static_cast<wxWindow*>(scroller) : dlg;
    const wxRect bounds(scroller ? scroller->GetVirtualSize() : dlg->GetClientSize());
    const wxPoint scrolled = scroller ? scroller->CalcUnscrolledPosition({0, 0}) : wxPoint();

    std::vector<wxWindow*> controls;
    Leaves(content, controls);
    std::vector<wxRect> rects;
    for (wxWindow* w : controls) {
        // A group box's screen position is that of its inside, below its title.
        const wxPoint at =
            dynamic_cast<wxStaticBox*>(w)
                ? content->ScreenToClient(w->GetParent()->ClientToScreen(w->GetPosition()))
                : content->ScreenToClient(w->GetScreenPosition());
        const wxRect r(at + scrolled, w->GetSize());
        const std::string what = wxString(w->GetClassInfo()->GetClassName()).utf8_string() + " " +
                                 w->GetLabel().utf8_string();
        EXPECT_TRUE(bounds.Contains(r)) << what;
        if (!dynamic_cast<wxStaticBox*>(w)) {
            EXPECT_GE(r.width, w->GetEffectiveMinSize().x) << what;
            EXPECT_GE(r.height, w->GetEffectiveMinSize().y) << what;
            for (const wxRect& other : rects)
                EXPECT_FALSE(r.Intersects(other)) << what;
            rects.push_back(r);
        }
        if (auto* label = dynamic_cast<wxStaticText*>(w)) {
            EXPECT_EQ(label->GetFont().GetPointSize(), desktopPoints) << what;
            EXPECT_GT(std::abs(Luminance(label->GetForegroundColour()) - background), 0.4) << what;
        }
    }
    if (more) more();
    // For a look with one's own eyes: TALVERO_SHOT_DIR=dir keeps a picture of each dialog.
    if (const char* shots = std::getenv("TALVERO_SHOT_DIR")) {
        const unsigned long xid = GDK_WINDOW_XID(gtk_widget_get_window(dlg->GetHandle()));
        wxString name = dlg->GetTitle();
        name.Replace(" ", "-");
        RunCommand("/usr/bin/import -window " + std::to_string(xid) + " '" + shots + "/" +
                   name.utf8_string() + ".png'");
    }
    dlg->Destroy();
    PumpUntil([] { return wxTopLevelWindows.empty(); });
}

// First: the main window is the program's first window, whose frame nobody knows beforehand.
TEST_F(WindowTest, TheMainWindowFollowsTheDesktopsFontThemeAndScreen)
{
    auto* dlg = new CTalveroDlg(nullptr, FakeServices());
    CheckLayout(dlg, [&] {
        // Content the work area cannot hold scrolls, in the same reading order.
        wxScrolledWindow* scroller = nullptr;
        for (wxWindow* child : dlg->GetChildren())
            if (auto* s = dynamic_cast<wxScrolledWindow*>(child)) scroller = s;
        const wxSize content = (scroller ? scroller->GetSizer() : dlg->GetSizer())->GetMinSize();
        const wxSize room =
            wxDisplay(0u).GetClientArea().GetSize() - (dlg->GetSize() - dlg->GetClientSize());
        if (content.x <= room.x && content.y <= room.y) return;
        ASSERT_TRUE(scroller);
        std::vector<int> order;
        for (wxWindow* w : scroller->GetChildren())
            for (int id : {1000, 1032, 1005, 1006, 1057, 1})
                if (w->GetId() == id) order.push_back(id);
        EXPECT_EQ(order, (std::vector<int>{1000, 1032, 1005, 1006, 1057, 1}));
    });
}

TEST(DialogLayout, DialogsFollowTheDesktopsFontAndTheme)
{
    CheckLayout(new CDelayDlg(nullptr, 1000));
    CheckLayout(new CAboutDlg(nullptr));
    CheckLayout(new CUploadDictionaryDlg(nullptr));
    CheckLayout(new CConfirmationDlg(nullptr));
    CheckLayout(new COptionsDlg(nullptr, Settings(), ProxyConnection()));
}

// A list that lives in a row of others is announced by that row, its selection as its value;
// a box asked for without a caption still has one.
TEST(DialogLayout, ListsAreNamedByTheirRowAndBoxesHaveACaption)
{
    auto* dlg = new wxDialog(nullptr, wxID_ANY, "pairs");
    auto* pair = new wxChoice(dlg, 1028);
    pair->Append("Spanish to English");
    pair->SetSelection(0);
    SetAccessibleId(pair, "Google language pair");
    AtkObject* acc = gtk_widget_get_accessible(pair->GetHandle());
    EXPECT_STREQ(atk_object_get_name(acc), "Google language pair");
    EXPECT_STREQ(atk_object_get_accessible_id(acc), "1028");
    dlg->Destroy();

    wxString caption;
    SetMessageBoxHook([&](const MessageBoxCall& call) {
        caption = call.caption;
        return wxOK;
    });
    TalveroMessageBox("Error recocontext fail", wxEmptyString, wxOK | wxICON_WARNING);
    EXPECT_EQ(caption, "Error");
    TalveroMessageBox("RegisterHotKey failed", "Talvero", wxOK);
    EXPECT_EQ(caption, "Talvero");
    SetMessageBoxHook(nullptr);
}

}  // namespace

}  // namespace talvero
