// The options dialog, the hotkey's registration, additions with Undo and the capture, through
// the window with the fake desktop; additions are checked in the files on disk.
#include <wx/combobox.h>
#include <wx/dcclient.h>
#include <wx/stattext.h>
#include <wx/uiaction.h>

#include "WindowTestSupport.h"
#include "app/gui/MainWindowSettings.h"
#include "app/gui/OptionsDlg.h"
#include "catalogue/Catalogue.h"
#include "dictionary/gui/ConfirmationDlg.h"
#include "settings/Options.h"
#include "tests/support/LoopbackServer.h"

namespace talvero {

namespace {

// Runs `drive` on the dialog of type T once it is open (from inside its modal loop).
template <typename T>
void WhenOpen(CTalveroDlg& dlg, std::function<void(T&)> drive)
{
    dlg.CallAfter([drive] {
        for (wxWindow* w : wxTopLevelWindows)
            if (auto* d = dynamic_cast<T*>(w)) d->CallAfter([d, drive] { drive(*d); });
    });
}

void SetText(wxWindow* dlg, int id, const char* text)
{
    Ctl<wxTextCtrl>(dlg, id)->ChangeValue(wxString::FromUTF8(text));
}

class AdditionsTest : public WindowTest {
protected:
    // Start-up with the real dictionary over Spanish to English files.
    void StartWith(CTalveroDlg& dlg, const Settings& s)
    {
        WriteFile("localdictionary_es_en.txt", "perro\ndog");
        WriteFile("personaldictionary_es_en.txt", "casa\nhouse");
        Settings stored = s;
        for (const PairEntry& e : PairsOf(PairList::Local))
            if (e.dictionaryCode == "es_en") stored.localPairPosition = e.position;
        ASSERT_TRUE(SaveSettings(stored));
        dlg.StartUp();
    }
    CTalveroDlg::Parts WithDictionary()
    {
        CTalveroDlg::Parts parts = FakeServices();
        parts.dictionary = MakeLocalDictionary();
        return parts;
    }
    std::string Personal() { return ReadFile("personaldictionary_es_en.txt"); }
};

TEST_F(AdditionsTest, OptionsOkCopiesEveryControlBackAndAppliesFontHotkeyAndTopmost)
{
    CTalveroDlg dlg(nullptr, FakeServices());
    dlg.StartUp();
    ASSERT_EQ(desktop.registrations.size(), 1u);
    EXPECT_EQ(desktop.registrations[0], (HotkeyCombo{90, kHotkeyModAlt | kHotkeyModControl}));
    const Settings before = dlg.GetSettings();

    WhenOpen<COptionsDlg>(dlg, [](COptionsDlg& o) {
        for (const COptionsDlg::Check& c : COptionsDlg::Checks()) {
            auto* box = Ctl<wxCheckBox>(&o, c.id);
            box->SetValue(!box->GetValue());
        }
        Ctl<wxComboBox>(&o, 1054)->SetSelection(2);
        // Typed, in any letter case: selects the entry it names.
        Ctl<wxComboBox>(&o, 1043)->SetValue(" numpad5");
        SetText(&o, 1050, "5");
        SetText(&o, 1060, "12");
        SetText(&o, 1071, "someone");
        SetText(&o, 1072, "secret");
        Click(&o, 1);
    });
    Click(&dlg, 1048);

    const Settings& s = dlg.GetSettings();
    for (const COptionsDlg::Check& c : COptionsDlg::Checks())
        EXPECT_EQ(s.*c.member, !(before.*c.member)) << c.id;
    EXPECT_EQ(s.bannerSource, 2);
    EXPECT_EQ(s.hotkeyBaseKeyCode, 52);
    EXPECT_EQ(s.maxWordsInCombinations, 5);
    EXPECT_EQ(s.fontSize, 12);
    EXPECT_EQ(s.onlineUsername, "someone");
    EXPECT_EQ(s.onlinePassword, "secret");
    EXPECT_EQ(Ctl<wxTextCtrl>(&dlg, 1005)->GetFont().GetPointSize(), 12);
    EXPECT_TRUE(dlg.HasFlag(wxSTAY_ON_TOP));
    ASSERT_EQ(desktop.registrations.size(), 2u);
    EXPECT_EQ(desktop.registrations[1], (HotkeyCombo{101, kHotkeyModShift | kHotkeyModWin}));
    EXPECT_TRUE(boxes.empty());
}

TEST_F(AdditionsTest, OptionsCancelChangesNothingAndOkWithoutChangesRegistersAgain)
{
    CTalveroDlg dlg(nullptr, FakeServices());
    dlg.StartUp();
    // A name longer than the box takes (an edited settings file) survives an unchanged OK.
    dlg.MutableSettings().onlineUsername = "a-name-of-twenty-chr";
    const std::string before = FormatSettings(dlg.GetSettings());
    WhenOpen<COptionsDlg>(dlg, [](COptionsDlg& o) {
        Ctl<wxCheckBox>(&o, 1049)->SetValue(true);
        SetText(&o, 1060, "7");
        Click(&o, 2);
    });
    dlg.RunOptionsDialog();
    EXPECT_EQ(FormatSettings(dlg.GetSettings()), before);
    EXPECT_EQ(desktop.registrations.size(), 1u);
    EXPECT_FALSE(dlg.HasFlag(wxSTAY_ON_TOP));

    // The combination was taken meanwhile: OK without changes registers again and says so.
    desktop.nextStatus = HotkeyStatus::Taken;
    WhenOpen<COptionsDlg>(dlg, [](COptionsDlg& o) { Click(&o, 1); });
    dlg.RunOptionsDialog();
    EXPECT_EQ(desktop.registrations.size(), 2u);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "RegisterHotKey failed");
    EXPECT_EQ(FormatSettings(dlg.GetSettings()), before);
}

TEST_F(AdditionsTest, ADesktopWithoutHotkeysShowsNoBoxAndTheOptionsSayWhatToBind)
{
    desktop.nextStatus = HotkeyStatus::Unavailable;
    CTalveroDlg dlg(nullptr, FakeServices());
    dlg.StartUp();
    EXPECT_TRUE(boxes.empty());
    wxString note;
    bool hotkeyNoteOnX11 = true;
    WhenOpen<COptionsDlg>(dlg, [&](COptionsDlg& o) {
        if (auto* line = dynamic_cast<wxStaticText*>(o.FindWindow(res::kHotkeyNote)))
            note = line->GetLabel();
        Click(&o, 1);
    });
    dlg.RunOptionsDialog();
    EXPECT_TRUE(note.Contains("talvero --capture")) << note;
    EXPECT_TRUE(boxes.empty());  // nor after OK

    // A desktop that answers later and then refuses the combination says so.
    desktop.nextStatus = HotkeyStatus::Registered;
    WhenOpen<COptionsDlg>(dlg, [&](COptionsDlg& o) {
        hotkeyNoteOnX11 = o.FindWindow(res::kHotkeyNote) != nullptr;
        Click(&o, 2);
    });
    dlg.RunOptionsDialog();
    EXPECT_TRUE(hotkeyNoteOnX11);  // the last registration still said "unavailable"
    ASSERT_TRUE(desktop.outcomeHandler);
    desktop.outcomeHandler(HotkeyStatus::Taken);
    WaitPumping(3000, [&] { return boxes.empty(); });
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "RegisterHotKey failed");
}

TEST_F(AdditionsTest, OptionsValidationKeepsTheDialogOpenOnTheBoxAndNamesLimitTheUser)
{
    CTalveroDlg dlg(nullptr, FakeServices());
    dlg.StartUp();
    dlg.Show();
    std::vector<bool> stayedOpen, focused;
    wxString user;
    WhenOpen<COptionsDlg>(dlg, [&](COptionsDlg& o) {
        // The first invalid box in the dialog's order stops OK.
        SetText(&o, 1060, "21");
        struct Step {
            int id;
            const char* text;
            int focus;
        };
        const Step steps[] = {
            {1050, "many", 1050}, {1050, "3", 1060}, {1060, "x", 1060}, {1060, "6", 0}};
        for (const Step& step : steps) {
            SetText(&o, step.id, step.text);
            Click(&o, 1);
            stayedOpen.push_back(o.IsModal());
            focused.push_back(step.focus && wxWindow::FindFocus() == o.FindWindow(step.focus));
            if (!o.IsModal()) break;
            if (step.text[0] == 'x') {
                auto* name = Ctl<wxTextCtrl>(&o, 1071);
                name->SetFocus();
                name->SelectAll();
                for (char ch = 'a'; ch <= 'z'; ++ch)  // typed one key at a time
                    name->WriteText(wxString(ch));
                user = name->GetValue();
            }
        }
    });
    dlg.RunOptionsDialog();
    EXPECT_EQ(stayedOpen, (std::vector<bool>{true, true, true, false}));
    EXPECT_EQ(focused, (std::vector<bool>{true, true, true, false}));
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].text, "Please enter an integer.");
    EXPECT_EQ(boxes[1].text, "Please enter an integer between 6 and 20.");
    EXPECT_EQ(boxes[2].text, "Please enter an integer.");
    EXPECT_EQ(user, "abcdefghijklmnop");
    EXPECT_EQ(dlg.GetSettings().fontSize, 6);
    EXPECT_EQ(dlg.GetSettings().maxWordsInCombinations, 3);
    EXPECT_EQ(dlg.GetSettings().onlineUsername, "abcdefghijklmnop");
}

TEST_F(AdditionsTest, HotkeyFromEditedSettings)
{
    struct Case {
        int position;
        bool anyModifier;
        std::optional<HotkeyCombo> registered;
    };
    // Every modifier off at position 0 is plain "0" (a user's choice); no key beyond the list.
    for (const Case& c : {Case{0, false, HotkeyCombo{48, 0}}, Case{57, true, std::nullopt},
                          Case{-1, true, std::nullopt}}) {
        Settings s;
        s.hotkeyBaseKeyCode = c.position;
        s.hotkeyAlt = s.hotkeyCtrl = c.anyModifier;
        ASSERT_TRUE(SaveSettings(s));
        desktop = FakeDesktop();
        boxes.clear();
        {
            CTalveroDlg dlg(nullptr, FakeServices());
            dlg.StartUp();
            EXPECT_EQ(desktop.registered, c.registered) << c.position;
            // A key beyond the list is first reported as mended by the settings reader, then
            // the missing key fails to register as before.
            const std::size_t expected = c.registered ? 0u : c.position == 57 ? 2u : 1u;
            EXPECT_EQ(boxes.size(), expected) << c.position;
            if (!boxes.empty()) {
                EXPECT_EQ(boxes.back().text, "RegisterHotKey failed");
            }
            EXPECT_GE(desktop.unregistrations, 1);
        }
    }
}

TEST_F(AdditionsTest, AddAndUndoChangeTheFilesAndTheDictionary)
{
    Settings s;
    s.showTranslationBanner = true;
    CTalveroDlg dlg(nullptr, WithDictionary());
    StartWith(dlg, s);
    boxes.clear();

    SetText(&dlg, 1007, "  gato ");
    SetText(&dlg, 1008, "cat");
    Click(&dlg, 1009);
    EXPECT_EQ(Personal(), "casa\nhouse\ngato\ncat");
    EXPECT_EQ(ReadFile("newtranslationsadded.txt"), "gato\ncat");
    EXPECT_EQ(dlg.Dictionary().Find("gato"), "cat");
    EXPECT_EQ(Text(&dlg, 1007), "  gato ");  // the boxes keep their text
    ASSERT_EQ(rec.additionBanners.size(), 1u);
    EXPECT_EQ(rec.additionBanners[0].first, "gato <===> cat");

    // Every row's button adds the input with the Google result.
    SetText(&dlg, 1000, "perro grande");
    SetText(&dlg, 1002, "big dog");
    SetText(&dlg, 1003, "large hound");
    Click(&dlg, 1053);
    EXPECT_EQ(Personal(), "casa\nhouse\ngato\ncat\nperro grande\nbig dog");
    EXPECT_EQ(ReadFile("newtranslationsadded.txt"), "gato\ncat\nperro grande\nbig dog");

    // An empty translation is kept out of the files, memory and the banner, and does not count
    // for Undo.
    SetText(&dlg, 1007, "nada");
    SetText(&dlg, 1008, "");
    Click(&dlg, 1009);
    EXPECT_FALSE(dlg.Dictionary().Find("nada").has_value());
    EXPECT_EQ(Personal(), "casa\nhouse\ngato\ncat\nperro grande\nbig dog");
    EXPECT_EQ(rec.additionBanners.size(), 2u);  // the two pairs before

    Click(&dlg, 1010);
    EXPECT_EQ(Personal(), "casa\nhouse\ngato\ncat");
    Click(&dlg, 1010);
    EXPECT_EQ(Personal(), "casa\nhouse");
    Click(&dlg, 1010);
    EXPECT_EQ(Personal(), "casa\nhouse");
    EXPECT_EQ(dlg.Dictionary().Find("gato"), "cat");  // memory keeps it until the next load
    EXPECT_TRUE(boxes.empty());
}

// Uploads on, with credentials.
Settings UploadingSettings()
{
    Settings s;
    s.uploadNewTranslations = true;
    s.onlineUsername = "ana";
    s.onlinePassword = "pw";
    return s;
}

TEST_F(AdditionsTest, AddUploadsThePairWhenTheSettingIsOn)
{
    loopback::HttpServer server;
    server.SetReply({200, "Result:OK"});
    WriteFile("TalveroServices.txt", "UPLOAD SERVER ADDRESS\n" + server.BaseAddress());
    CTalveroDlg dlg(nullptr, WithDictionary());
    StartWith(dlg, UploadingSettings());
    SetText(&dlg, 1007, "gato");
    SetText(&dlg, 1008, "cat");
    Click(&dlg, 1009);
    WaitPumping(5000, [&] { return dlg.IsUploading(); });
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].path, "/upload_es.php");
    EXPECT_NE(requests[0].target.find("gato"), std::string::npos);
    EXPECT_NE(requests[0].target.find("cat"), std::string::npos);
    EXPECT_EQ(Personal(), "casa\nhouse\ngato\ncat");

    dlg.MutableSettings().uploadNewTranslations = false;
    Click(&dlg, 1009);
    EXPECT_EQ(server.Requests().size(), 1u);
}

TEST_F(AdditionsTest, ExitWhileTheUploadWaitsStillRecordsThePair)
{
    loopback::HttpServer server;
    loopback::Reply never;
    never.hang = true;
    server.SetReply(never);
    WriteFile("TalveroServices.txt", "UPLOAD SERVER ADDRESS\n" + server.BaseAddress());
    Settings s = UploadingSettings();
    s.showTranslationBanner = true;
    CTalveroDlg dlg(nullptr, WithDictionary());
    StartWith(dlg, s);
    SetText(&dlg, 1007, "gato");
    SetText(&dlg, 1008, "cat");
    dlg.CallAfter([&dlg] { Click(&dlg, 1); });  // Exit, handled while the request waits
    Click(&dlg, 1009);
    WaitPumping(5000, [&] { return dlg.IsUploading(); });
    EXPECT_EQ(Personal(), "casa\nhouse\ngato\ncat");
    EXPECT_EQ(ReadFile("newtranslationsadded.txt"), "gato\ncat");
    EXPECT_TRUE(rec.additionBanners.empty());  // no banner over a window that has ended
}

TEST_F(AdditionsTest, AnAddWhileTheUploadWaitsRunsAfterIt)
{
    loopback::HttpServer server;
    loopback::Reply slow{200, "Result:OK"};
    slow.delayMs = 200;
    server.SetReply(slow);
    WriteFile("TalveroServices.txt", "UPLOAD SERVER ADDRESS\n" + server.BaseAddress());
    CTalveroDlg dlg(nullptr, WithDictionary());
    StartWith(dlg, UploadingSettings());
    SetText(&dlg, 1007, "gato");
    SetText(&dlg, 1008, "cat");
    dlg.CallAfter([&dlg] {  // handled while the first upload waits
        SetText(&dlg, 1007, "perro");
        SetText(&dlg, 1008, "dog");
        Click(&dlg, 1009);
    });
    Click(&dlg, 1009);
    WaitPumping(5000, [&] { return dlg.IsUploading() || server.Requests().size() < 2; });
    EXPECT_EQ(Personal(), "casa\nhouse\ngato\ncat\nperro\ndog");
    EXPECT_EQ(server.Requests().size(), 2u);
}

TEST_F(AdditionsTest, ConfirmationAddsThePairAsEditedAndCancelAddsNothing)
{
    Settings s;
    s.confirmBeforeAdding = true;
    CTalveroDlg dlg(nullptr, WithDictionary());
    StartWith(dlg, s);
    SetText(&dlg, 1007, "gato");
    SetText(&dlg, 1008, "cat");
    std::string shown;
    WhenOpen<CConfirmationDlg>(dlg, [&](CConfirmationDlg& c) {
        shown = Text(&c, 1050) + "|" + Text(&c, 1051);
        SetText(&c, 1051, "kitty");
        Click(&c, 1);
    });
    Click(&dlg, 1009);
    EXPECT_EQ(shown, "gato|cat");
    EXPECT_EQ(Personal(), "casa\nhouse\ngato\nkitty");

    WhenOpen<CConfirmationDlg>(dlg, [](CConfirmationDlg& c) { Click(&c, 2); });
    Click(&dlg, 1009);
    EXPECT_EQ(Personal(), "casa\nhouse\ngato\nkitty");

    // Enter in a box confirms (a phrase has no line breaks).
    dlg.Show();
    WhenOpen<CConfirmationDlg>(dlg, [](CConfirmationDlg& c) {
        auto* box = Ctl<wxTextCtrl>(&c, 1051);
        box->SetFocus();
        WaitPumping(3000, [&] { return wxWindow::FindFocus() != box; });
        wxUIActionSimulator().Char(WXK_RETURN);
        WaitPumping(2000, [&] { return c.IsModal(); });
        if (c.IsModal()) Click(&c, 2);  // Enter did not confirm: end the test's dialog
    });
    Click(&dlg, 1009);
    EXPECT_EQ(Personal(), "casa\nhouse\ngato\nkitty\ngato\ncat");
}

TEST_F(AdditionsTest, CaptureFillsTheBoxesInTurnAndAddsAfterTheSecond)
{
    Settings s;
    s.hotkeyFillsBoxes = true;
    s.addAutomaticallyWhenFilled = true;
    CTalveroDlg dlg(nullptr, WithDictionary());
    StartWith(dlg, s);
    auto capture = [&](std::optional<std::string> selection) {
        desktop.selection = selection;
        ASSERT_TRUE(desktop.PressHotkey());
        const std::string text1 = Text(&dlg, 1007), text2 = Text(&dlg, 1008);
        const auto box = dlg.NextHotkeyBox();
        WaitPumping(1000, [&] {
            return dlg.NextHotkeyBox() == box && Text(&dlg, 1007) == text1 &&
                   Text(&dlg, 1008) == text2;
        });
    };
    capture("uno");
    EXPECT_EQ(Text(&dlg, 1007), "uno");
    EXPECT_TRUE(desktop.keyLog.empty());  // no key goes to any program
    capture("one");
    EXPECT_EQ(Text(&dlg, 1008), "one");
    EXPECT_EQ(Personal(), "casa\nhouse\nuno\none");
    capture("dos");
    EXPECT_EQ(Text(&dlg, 1007), "dos");

    // No text selected and none on the clipboard: nothing changes. Bytes that are not UTF-8 are
    // converted, not a reason to fail.
    desktop.clipboardText.reset();
    capture(std::nullopt);
    EXPECT_EQ(Text(&dlg, 1008), "one");
    EXPECT_EQ(dlg.NextHotkeyBox(), CTalveroDlg::HotkeyBox::Translation);
    capture(std::string("dos\xff"));
    EXPECT_EQ(Text(&dlg, 1008).substr(0, 3), "dos");

    // With the check box off, the hotkey does nothing at all.
    Toggle(&dlg, 1015, false);
    desktop.keyLog.clear();
    desktop.PressHotkey();
    DrainEvents();  // a capture the press asked for would have run by now
    EXPECT_TRUE(desktop.keyLog.empty());
}

}  // namespace

namespace {

void PumpUntil(const std::function<bool()>& done)
{
    WaitPumping(3000, [&] { return !done(); });
}

void FocusOn(wxWindow* w)
{
    w->SetFocus();
    PumpUntil([w] { return wxWindow::FindFocus() == w; });
}

TEST_F(AdditionsTest, KeyboardTranslatesOpensNearEntriesAndTabsInReadingOrder)
{
    // The long entry is wider than the list even in a maximized window.
    rec.outcome.nearList = {"perro",
                            "perro que ladra no muerde, pero molesta a todo el barrio y a "
                            "los vecinos de la calle de al lado durante la noche entera"};
    rec.entries["perro"] = "dog";
    CTalveroDlg dlg(nullptr, FakeServices());
    RunModal(dlg, [&] {
        wxUIActionSimulator sim;
        auto* input = Ctl<wxTextCtrl>(&dlg, 1000);
        FocusOn(input);
        sim.Char('a');
        sim.Char(WXK_RETURN, wxMOD_CONTROL);
        PumpUntil([&] { return !rec.requests.empty(); });
        EXPECT_EQ(rec.requests.size(), 1u);
        EXPECT_EQ(Text(&dlg, 1000), "a");
        sim.Char(WXK_RETURN);  // Enter alone is a line break
        PumpUntil([&] { return Text(&dlg, 1000) == "a\n"; });
        EXPECT_EQ(Text(&dlg, 1000), "a\n");
        EXPECT_EQ(rec.requests.size(), 1u);

        auto* near = Ctl<wxListBox>(&dlg, 1006);
        ASSERT_EQ(near->GetCount(), 2u);
        near->SetSelection(near->FindString("perro"));
        FocusOn(near);
        sim.Char(WXK_RETURN);
        PumpUntil([&] { return Text(&dlg, 1005) == "dog"; });
        EXPECT_EQ(Text(&dlg, 1005), "dog");

        // The long entry shows whole in a tooltip.
        const int longItem = near->FindString(rec.outcome.nearList[1]);
        wxPoint at(4, 2);
        auto findLongItem = [&] {  // once the list has laid out its rows
            for (at.y = 2; at.y < near->GetClientSize().y && near->HitTest(at) != longItem;
                 ++at.y) {
            }
            return at.y < near->GetClientSize().y;
        };
        PumpUntil(findLongItem);
        wxMouseEvent move(wxEVT_MOTION);
        move.SetPosition(at);
        move.SetEventObject(near);
        near->GetEventHandler()->ProcessEvent(move);
        EXPECT_EQ(near->GetToolTipText().utf8_string(), rec.outcome.nearList[1]);

        // Tab follows the reading order.
        FocusOn(input);
        std::vector<int> seen;
        for (int i = 0; i < 80 && (seen.empty() || seen.back() != 1); ++i) {
            wxWindow* before = wxWindow::FindFocus();
            sim.Char(WXK_TAB);
            WaitPumping(2000, [&] { return wxWindow::FindFocus() == before; });
            wxWindow* f = wxWindow::FindFocus();
            if (f && (seen.empty() || seen.back() != f->GetId())) seen.push_back(f->GetId());
        }
        std::vector<int> order;
        for (int id : seen)
            for (int key : {1032, 1018, 1023, 1006, 1007, 1057, 1012, 1048, 1100, 1})
                if (id == key && std::find(order.begin(), order.end(), id) == order.end())
                    order.push_back(id);
        EXPECT_EQ(order,
                  (std::vector<int>{1032, 1018, 1023, 1006, 1007, 1057, 1012, 1048, 1100, 1}));
    });
}

TEST_F(AdditionsTest, InputAndLocalResultShowThreeLinesOfTheDefaultFont)
{
    CTalveroDlg dlg(nullptr, FakeServices());
    dlg.StartUp();
    wxClientDC dc(&dlg);
    dc.SetFont(TextBoxFont(18));
    for (int id : {1000, 1005})
        EXPECT_GE(Ctl<wxTextCtrl>(&dlg, id)->GetClientSize().y, 3 * dc.GetCharHeight()) << id;
}

}  // namespace

}  // namespace talvero
