// The main window with its tray entry and banners, run modally as the program runs it, in a
// private working directory with a small local dictionary.
#include <gtest/gtest.h>
#include <wx/display.h>
#include <wx/menu.h>
#include <wx/taskbar.h>
#include <wx/textctrl.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>

#include "app/gui/TalveroDlg.h"
#include "base/CodePage.h"
#include "catalogue/Catalogue.h"
#include "res/Resources.h"
#include "settings/Settings.h"
#include "tests/support/GuiTestSupport.h"
#include "tests/support/TempDir.h"
#include "tests/tray/TrayTestSupport.h"
#include "tray/gui/TaskbarNotifier.h"
#include "ui/Control.h"
#include "ui/MessageBox.h"

#ifdef __WXGTK__
#include <atk/atk.h>
#include <gtk/gtk.h>
#endif

namespace talvero {

namespace {

using res::ctl::kInput;
using res::ctl::kTranslate;

class TrayWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("TALVERO_CODEPAGE", "UTF-8", 1);
        ResetCodePageForTesting();
        oldDir = std::filesystem::current_path();
        dir = temp.Path();
        std::filesystem::current_path(dir);
        Write("localdictionary_es_en.txt",
              "hola\nhello\nbuenos dias\ngood morning to you, my dear friends");
        Write("personaldictionary_es_en.txt", "");
        Settings s;
        s.useLocalDictionary = true;
        s.showTranslationBanner = true;
        s.bannerSource = 0;
        s.showOriginalTextBanner = true;
        s.checkForUpdates = false;
        for (const PairEntry& e : PairsOf(PairList::Local))
            if (e.dictionaryCode == "es_en") s.localPairPosition = e.position;
        ASSERT_TRUE(SaveSettings(s));
        savedSettings = Read(kSettingsFileName);
        SetMessageBoxHook([this](const MessageBoxCall& call) {
            ADD_FAILURE() << "message box: " << call.text;
            ++messageBoxes;
            return wxOK;
        });
        work = wxDisplay(0u).GetClientArea();
    }
    void TearDown() override
    {
        SetMessageBoxHook({});
        std::filesystem::current_path(oldDir);
    }
    static void Write(const std::string& name, const std::string& content)
    {
        std::ofstream(name, std::ios::binary) << content;
    }
    static std::string Read(const std::string& name)
    {
        std::ifstream in(name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // Runs `body` inside the window's modal run once start-up is done; returns the run's result.
    int RunWindow(const std::function<void(CTalveroDlg&)>& body)
    {
        CTalveroDlg dlg(nullptr, CTalveroDlg::DefaultParts());
        dlg.CallAfter([&] {
            if (PumpUntil(
                    [&] { return dlg.IsStartedUp() && dlg.IsShownOnScreen() && dlg.IsActive(); })) {
                body(dlg);
            } else {
                ADD_FAILURE() << "the window did not start";
            }
            if (dlg.IsModal()) dlg.EndWithoutSaving();
        });
        return dlg.ShowModal();
    }
    static std::vector<CTaskbarNotifier*> Banners(wxWindow* dlg)
    {
        std::vector<CTaskbarNotifier*> out;
        for (wxWindow* child : dlg->GetChildren())
            if (auto* b = dynamic_cast<CTaskbarNotifier*>(child)) out.push_back(b);
        return out;
    }
    static void TranslateText(CTalveroDlg& dlg, const char* text)
    {
        Control<wxTextCtrl>(&dlg, kInput)->ChangeValue(text);
        wxWindow* button = dlg.FindWindow(kTranslate);
        wxCommandEvent click(wxEVT_BUTTON, kTranslate);
        click.SetEventObject(button);
        button->GetEventHandler()->ProcessEvent(click);
    }

    TempDir temp;
    std::filesystem::path oldDir, dir;
    std::string savedSettings;
    int messageBoxes = 0;
    wxRect work;
};

TEST_F(TrayWindowTest, StartUpCreatesBothBannersAndPreparesTheTray)
{
    RunWindow([&](CTalveroDlg& dlg) {
        std::vector<CTaskbarNotifier*> banners = Banners(&dlg);
        ASSERT_EQ(banners.size(), 2u);
        for (CTaskbarNotifier* b : banners) {
            EXPECT_EQ(b->GetSkinSize(), wxSize(352, 129));
            EXPECT_EQ(b->GetTextRect(), (banner::Rect{10, 20, 342, 109}));
            EXPECT_FALSE(b->IsShown());
        }
        EXPECT_EQ(dlg.GetTrayToolTip(), "Talvero");
        ASSERT_NE(dlg.GetTrayMenu(), nullptr);
        EXPECT_EQ(dlg.GetTrayMenu()->GetLabelText(MenuItemIdOf(ID_TRAY_DISABLE)), "Disable");
        EXPECT_TRUE(dlg.minimizeToTray);
        EXPECT_FALSE(dlg.IsInTray());
    });
    EXPECT_EQ(messageBoxes, 0);
}

TEST_F(TrayWindowTest, TranslateShowsTheTranslationBannerAtTheCornerLongEnoughToRead)
{
    RunWindow([&](CTalveroDlg& dlg) {
        CTaskbarNotifier* shown = nullptr;
        wxStopWatch sw;
        TranslateText(dlg, "hola");
        for (CTaskbarNotifier* b : Banners(&dlg))
            if (b->GetState() != banner::State::Idle) shown = b;
        ASSERT_NE(shown, nullptr) << "no banner after Translate";
        // "hola:\nhello" is 11 bytes: no extra line of skin, but the stay of one line.
        EXPECT_EQ(shown->GetText(), "hola:\nhello");
        EXPECT_EQ(shown->GetSkinSize(), wxSize(352, 129));
        ASSERT_TRUE(PumpUntil([&] { return shown->GetState() == banner::State::Waiting; }));
        long appear = sw.Time();
        wxPoint where = shown->GetScreenPosition();
        EXPECT_EQ(where, wxPoint(work.GetRight() + 1 - 352, work.GetBottom() + 1 - 130));
        EXPECT_TRUE(dlg.IsActive()) << "the banner took the focus";
        ASSERT_TRUE(PumpUntil([&] { return shown->GetState() == banner::State::Idle; }));
        long total = sw.Time();
        RecordProperty("appear_ms", int(appear));
        RecordProperty("total_ms", int(total));
        EXPECT_FALSE(shown->IsShown());
        // 66 steps out, 1800 ms of stay, 66 steps back, 10 ms each at least.
        EXPECT_GE(appear, 640);
        EXPECT_GE(total, 640 + 1800 + 640);
    });
}

TEST_F(TrayWindowTest, ALongerTranslationGetsATallerBannerAndStaysLonger)
{
    RunWindow([&](CTalveroDlg& dlg) {
        TranslateText(dlg, "buenos dias");
        CTaskbarNotifier* shown = nullptr;
        for (CTaskbarNotifier* b : Banners(&dlg))
            if (b->GetState() != banner::State::Idle) shown = b;
        ASSERT_NE(shown, nullptr);
        // "buenos dias:\ngood morning to you, my dear friends": 49 bytes, one line more.
        EXPECT_EQ(shown->GetText().utf8_str().length(), 49u);
        EXPECT_EQ(shown->GetSkinSize(), wxSize(352, 149));
        ASSERT_TRUE(PumpUntil([&] { return shown->GetState() == banner::State::Waiting; }));
        wxStopWatch sw;
        Screenshot("banner-after-translate.png");
        EXPECT_EQ(shown->GetScreenPosition().y, work.GetBottom() + 1 - 150);
        ASSERT_TRUE(PumpUntil([&] { return shown->GetState() != banner::State::Waiting; }, 6000));
        // One line: 1800 ms (no upper bound: a busy machine is slower).
        EXPECT_GE(sw.Time(), 1750);
    });
}

TEST_F(TrayWindowTest, TrayMenuDisablesEnablesAndExitsWithoutSaving)
{
    if (!wxTaskBarIcon::IsAvailable()) GTEST_SKIP() << "no tray host on this display";
    // A right click on the entry opens the menu; once the menu is on screen (it runs a loop of
    // its own, so a timer looks for it), keys choose from it, a screenshot first when asked.
    wxTimer menuWatch;
    std::string menuKeys, menuShot;
    CTalveroDlg* window = nullptr;
    menuWatch.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        wxMenu* menu = window ? window->GetTrayMenu() : nullptr;
        if (!menu || !gtk_widget_get_mapped(menu->m_menu)) return;
        menuWatch.Stop();
        std::string shot;
        if (!menuShot.empty()) {
            std::string dir =
                std::filesystem::read_symlink("/proc/self/exe").parent_path().string();
            shot = "import -window root '" + dir + "/" + menuShot + "'; ";
        }
        RunInBackground(shot + "xdotool key " + menuKeys);
    });
    auto choose = [&](const std::string& keys, const std::string& screenshot = "") {
        std::vector<wxRect> entries = TrayEntries();
        ASSERT_EQ(entries.size(), 1u);
        menuKeys = keys;
        menuShot = screenshot;
        menuWatch.Start(20);
        RunCommand("xdotool mousemove " + Centre(entries[0]) + " click 3");
    };
    int result = RunWindow([&](CTalveroDlg& dlg) {
        window = &dlg;
        dlg.Iconize(true);
        ASSERT_TRUE(PumpUntil([&] { return dlg.IsInTray() && TrayEntries().size() == 1; }));
        EXPECT_FALSE(dlg.IsShown());

#ifdef __WXGTK__
        // A screen reader finds the items by their command numbers.
        for (int command : {ID_TRAY_DISABLE, ID_TRAY_OPTIONS, ID_TRAY_EXIT}) {
            wxMenuItem* item = dlg.GetTrayMenu()->FindItem(MenuItemIdOf(command));
            ASSERT_TRUE(item && item->GetMenuItem());
            EXPECT_STREQ(
                atk_object_get_accessible_id(gtk_widget_get_accessible(item->GetMenuItem())),
                std::to_string(command).c_str());
        }
#endif
        choose("Down Return", "tray-menu.png");
        ASSERT_TRUE(PumpUntil([&] { return dlg.IsDisabled(); }, 8000));
        EXPECT_EQ(dlg.GetTrayMenu()->GetLabelText(MenuItemIdOf(ID_TRAY_DISABLE)), "Enable");
        wxIcon disabledIcon;
        ASSERT_TRUE(LoadIconResource(129, disabledIcon));
        wxImage shownIcon = wxBitmap(dlg.GetTrayIcon()).ConvertToImage();
        wxImage expectedIcon = wxBitmap(disabledIcon).ConvertToImage();
        ASSERT_EQ(shownIcon.GetSize(), expectedIcon.GetSize());
        EXPECT_EQ(memcmp(shownIcon.GetData(), expectedIcon.GetData(),
                         size_t(shownIcon.GetWidth()) * shownIcon.GetHeight() * 3),
                  0);
        Screenshot("tray-disabled.png");

        WaitOutDoubleClick();  // the right clicks that open the menu come one after another
        choose("Down Return");
        ASSERT_TRUE(PumpUntil([&] { return !dlg.IsDisabled(); }, 8000));
        EXPECT_EQ(dlg.GetTrayMenu()->GetLabelText(MenuItemIdOf(ID_TRAY_DISABLE)), "Disable");

        // A double click brings the modally running window back, in front; and it goes again.
        RunCommand("xdotool mousemove " + Centre(TrayEntries()[0]) +
                   " click --repeat 2 --delay 60 1");
        ASSERT_TRUE(PumpUntil([&] { return dlg.IsShownOnScreen() && !dlg.IsInTray(); }));
        // And it stays so: the second click of the pair, in by now, does not take it back.
        HandleQueuedEvents();
        EXPECT_TRUE(dlg.IsShownOnScreen());
        EXPECT_FALSE(dlg.IsInTray());
        EXPECT_TRUE(TrayEntries().empty());
        EXPECT_TRUE(dlg.IsModal());
        EXPECT_TRUE(PumpUntil([&] { return dlg.IsActive(); }));
        dlg.Iconize(true);
        ASSERT_TRUE(PumpUntil([&] { return dlg.IsInTray() && TrayEntries().size() == 1; }));

        // "Exit": the modal run ends with OK, from the tray, without the shutdown steps.
        choose("Down Down Down Return");
        ASSERT_TRUE(PumpUntil([&] { return !dlg.IsModal(); }, 8000));
    });
    EXPECT_EQ(result, wxID_OK);
    EXPECT_EQ(Read(kSettingsFileName), savedSettings);
    // The entry went with the window.
    EXPECT_TRUE(PumpUntil([] { return TrayEntries().empty(); }));
}

}  // namespace

}  // namespace talvero
