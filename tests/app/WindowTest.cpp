#include <sys/stat.h>

#include <chrono>
#include <utility>

#include <wx/app.h>
#include <wx/combobox.h>
#include <wx/display.h>
#include <wx/menu.h>
#include <wx/scrolwin.h>
#include <wx/statbmp.h>
#include <wx/statbox.h>
#include <wx/stattext.h>

#include "WindowTestSupport.h"
#include "app/gui/AboutDlg.h"
#include "app/gui/DelayDlg.h"
#include "app/gui/TalveroEvents.h"
#include "app/gui/WindowMenu.h"
#include "catalogue/Catalogue.h"
#include "res/Icons.h"
#include "res/Templates.h"

#ifdef __WXGTK__
#include <atk/atk.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#endif

namespace talvero {

namespace {

int PositionOf(PairList list, const std::string& display)
{
    for (const PairEntry& e : PairsOf(list))
        if (e.displayName == display) return e.position;
    return -1;
}

#ifdef __WXGTK__
AtkObject* Accessible(wxWindow* w)
{
    GtkWidget* g = w->GetHandle();
    if (GTK_IS_SCROLLED_WINDOW(g)) g = gtk_bin_get_child(GTK_BIN(g));
    return gtk_widget_get_accessible(g);
}
#endif

// --- The window and its controls ----------------------------------------------------------------

TEST_F(WindowTest, EveryControlOfTheTableExistsWithItsKindTextAndVisibility)
{
    CTalveroDlg dlg(nullptr, FakeServices());
    dlg.Show();
    EXPECT_EQ(dlg.GetTitle(), "Talvero");
    // The template's size where the screen has room for it.
    const wxSize templateSize = dlg.ConvertDialogToPixels(wxSize(577, 373));
    const wxSize work = wxDisplay(0u).GetClientArea().GetSize();
    if (work.x > templateSize.x + 100 && work.y > templateSize.y + 100) {
        EXPECT_EQ(dlg.GetClientSize(), templateSize);
    }
    EXPECT_TRUE(dlg.HasFlag(wxRESIZE_BORDER));
    EXPECT_TRUE(dlg.HasFlag(wxMAXIMIZE_BOX));
    EXPECT_TRUE(dlg.HasFlag(wxMINIMIZE_BOX));

    std::vector<wxString> labels;
    std::function<void(wxWindow*)> collect = [&](wxWindow* w) {
        if (auto* s = dynamic_cast<wxStaticText*>(w)) labels.push_back(s->GetLabel());
        if (auto* b = dynamic_cast<wxStaticBox*>(w)) labels.push_back(b->GetLabel());
        for (wxWindow* c : w->GetChildren())
            collect(c);
    };
    collect(&dlg);

    using K = res::Kind;
    for (const res::Control& c : res::MainDialog().controls) {
        const wxString text = wxString::FromUTF8(c.text);
        if (c.id < 0) {
            EXPECT_NE(std::find(labels.begin(), labels.end(), text), labels.end()) << c.text;
            continue;
        }
        wxWindow* w = dlg.FindWindow(c.id);
        ASSERT_NE(w, nullptr) << c.id;
        EXPECT_EQ(w->IsShown(), !c.hidden) << c.id;
        switch (c.kind) {
            case K::Button:
            case K::DefaultButton:
                ASSERT_TRUE(dynamic_cast<wxButton*>(w)) << c.id;
                EXPECT_EQ(w->GetLabel(), text) << c.id;
                break;
            case K::Check:
                ASSERT_TRUE(dynamic_cast<wxCheckBox*>(w)) << c.id;
                EXPECT_EQ(w->GetLabel(), text) << c.id;
                break;
            case K::Edit:
            case K::ReadOnlyEdit:
            case K::MultiEdit:
            case K::ReadOnlyMulti:
            case K::RichEdit:
            case K::ReadOnlyRich: {
                auto* t = dynamic_cast<wxTextCtrl*>(w);
                ASSERT_TRUE(t) << c.id;
                bool multi = c.kind != K::Edit && c.kind != K::ReadOnlyEdit;
                EXPECT_EQ(t->IsMultiLine(), multi) << c.id;
                bool readOnly = c.kind == K::ReadOnlyEdit || c.kind == K::ReadOnlyMulti ||
                                c.kind == K::ReadOnlyRich;
                EXPECT_EQ(t->IsEditable(), !readOnly) << c.id;
                break;
            }
            case K::DropList:
            case K::SortedDropList:
                EXPECT_TRUE(dynamic_cast<wxChoice*>(w)) << c.id;
                break;
            case K::DropDown:
                EXPECT_TRUE(dynamic_cast<wxComboBox*>(w)) << c.id;
                break;
            case K::SortedListBox:
                EXPECT_TRUE(dynamic_cast<wxListBox*>(w)) << c.id;
                break;
            default:
                ADD_FAILURE() << "unexpected kind for " << c.id;
        }
#ifdef __WXGTK__
        AtkObject* acc = Accessible(w);
        ASSERT_TRUE(acc);
        const char* accId = atk_object_get_accessible_id(acc);
        EXPECT_STREQ(accId, std::to_string(c.id).c_str());
        if (c.name) {
            EXPECT_STREQ(atk_object_get_name(acc), c.name) << c.id;
        }
#endif
    }
    EXPECT_EQ(dlg.GetDefaultItem(), dlg.FindWindow(1032));
}

TEST_F(WindowTest, VisibleControlsDoNotOverlapAndStayInsideTheWindow)
{
    CTalveroDlg dlg(nullptr, FakeServices());
    dlg.Show();
    WaitUntilDrawn(&dlg);
    // On a screen too small for the window its content scrolls: measured inside the scroller.
    wxScrolledWindow* scroller = nullptr;
    for (wxWindow* child : dlg.GetChildren())
        if (auto* s = dynamic_cast<wxScrolledWindow*>(child)) scroller = s;
    wxWindow* content = scroller ? static_cast<wxWindow*>(scroller) : &dlg;
    const wxRect bounds(scroller ? scroller->GetVirtualSize() : dlg.GetClientSize());
    const wxPoint scrolled = scroller ? scroller->CalcUnscrolledPosition({0, 0}) : wxPoint();
    std::vector<std::pair<int, wxRect>> rects;
    for (const res::Control& c : res::MainDialog().controls) {
        if (c.id < 0 || c.hidden) continue;
        wxWindow* w = dlg.FindWindow(c.id);
        wxRect r(content->ScreenToClient(w->GetScreenPosition()) + scrolled, w->GetSize());
        EXPECT_GT(r.width, 8) << c.id;
        EXPECT_GT(r.height, 8) << c.id;
        // A control squeezed below its minimum is clipped (a group's frame cutting into its
        // last row, a list's text cut off): the window must have room for all of them.
        EXPECT_GE(r.width, w->GetEffectiveMinSize().x) << c.id;
        EXPECT_GE(r.height, w->GetEffectiveMinSize().y) << c.id;
        EXPECT_TRUE(bounds.Contains(r)) << c.id;
        rects.emplace_back(c.id, r);
    }
    for (size_t i = 0; i < rects.size(); ++i)
        for (size_t j = i + 1; j < rects.size(); ++j)
            EXPECT_FALSE(rects[i].second.Intersects(rects[j].second))
                << rects[i].first << " overlaps " << rects[j].first;
}

#ifdef __WXGTK__
// What the window manager lets a user do with the window, from its _NET_WM_ALLOWED_ACTIONS.
std::string AllowedActions(wxWindow* w)
{
    GdkWindow* gdk = gtk_widget_get_window(w->GetHandle());
    std::string cmd =
        "xprop -id " + std::to_string(GDK_WINDOW_XID(gdk)) + " _NET_WM_ALLOWED_ACTIONS 2>/dev/null";
    std::string out;
    if (FILE* f = popen(cmd.c_str(), "r")) {
        char buf[512];
        while (fgets(buf, sizeof buf, f))
            out += buf;
        pclose(f);
    }
    return out;
}

TEST_F(WindowTest, TheWindowManagerOffersResizingAndMaximizing)
{
    CTalveroDlg dlg(nullptr, FakeServices());
    dlg.Show();
    // The window manager sets them once it has taken the window on: asked now and then
    // meanwhile, with a deadline that only a failing test reaches.
    std::string actions;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (actions.find("MINIMIZE") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline) {
        WaitPumping(50);
        actions = AllowedActions(&dlg);
    }
    EXPECT_NE(actions.find("_NET_WM_ACTION_MINIMIZE"), std::string::npos) << actions;
    EXPECT_NE(actions.find("_NET_WM_ACTION_CLOSE"), std::string::npos) << actions;
    EXPECT_NE(actions.find("_NET_WM_ACTION_RESIZE"), std::string::npos) << actions;
    EXPECT_NE(actions.find("MAXIMIZE"), std::string::npos) << actions;
}

TEST_F(WindowTest, PunctuationPatternsReadWholeInTheirEditField)
{
    CTalveroDlg dlg(nullptr, FakeServices());
    dlg.Show();
    WaitUntilDrawn(&dlg);
    auto* combo = dynamic_cast<wxComboBox*>(dlg.FindWindow(1065));
    ASSERT_TRUE(combo);
    GtkWidget* entry = gtk_bin_get_child(GTK_BIN(combo->GetHandle()));
    ASSERT_TRUE(entry && GTK_IS_ENTRY(entry));
    GtkAllocation text{};
    gtk_entry_get_text_area(GTK_ENTRY(entry), &text);
    for (const char* pattern : res::PunctuationPatterns()) {
        PangoLayout* layout = gtk_widget_create_pango_layout(entry, pattern);
        int width = 0;
        pango_layout_get_pixel_size(layout, &width, nullptr);
        g_object_unref(layout);
        EXPECT_LE(width, text.width) << pattern;
    }
}
#endif

// --- Start-up -----------------------------------------------------------------------------------

TEST_F(WindowTest, StartUpWithoutSettingsFileKeepsTheDefaults)
{
    WriteFile("newtranslationsadded.txt", "old\npair");
    CTalveroDlg dlg(nullptr, FakeServices());
    dlg.Show();
    ASSERT_TRUE(dlg.IsStartedUp());
    for (int id : {1018, 1019, 1021, 1023, 1017, 1020, 1022, 1024, 1014, 1012, 1056, 1058})
        EXPECT_FALSE(Ctl<wxCheckBox>(&dlg, id)->GetValue()) << id;
    for (int id : {1028, 1034, 1035})
        EXPECT_EQ(Ctl<wxChoice>(&dlg, id)->GetSelection(), 0);
    // The local list shows the pair that is loaded.
    EXPECT_EQ(Ctl<wxChoice>(&dlg, 1036)->GetStringSelection(), "Spanish to English");
    EXPECT_EQ(Ctl<wxChoice>(&dlg, 1028)->GetCount(), PairsOf(PairList::Google).size());
    EXPECT_EQ(Ctl<wxChoice>(&dlg, 1034)->GetCount(), 36u);
    EXPECT_EQ(Ctl<wxChoice>(&dlg, 1035)->GetCount(), 18u);
    EXPECT_EQ(Ctl<wxComboBox>(&dlg, 1065)->GetSelection(), 1);
    EXPECT_EQ(dlg.GetSettings().translationDelay, 1000.0);
    EXPECT_EQ(dlg.GetSettings().fontSize, 18);
    EXPECT_EQ(Ctl<wxTextCtrl>(&dlg, 1000)->GetFont().GetPointSize(), 18);
    EXPECT_TRUE(Ctl<wxTextCtrl>(&dlg, 1005)->GetFont().GetWeight() >= wxFONTWEIGHT_BOLD);
    ASSERT_EQ(rec.loads.size(), 1u);
    EXPECT_EQ(rec.loads[0].first, "localdictionary_es_en.txt");
    EXPECT_EQ(rec.loads[0].second, "personaldictionary_es_en.txt");
    EXPECT_EQ(rec.bannersCreated, 1);
    EXPECT_TRUE(Exists("newtranslationsadded.txt"));
    EXPECT_EQ(ReadFile("newtranslationsadded.txt"), "");
    EXPECT_FALSE(Exists("TalveroConfig.txt"));
    EXPECT_TRUE(boxes.empty());
}

TEST_F(WindowTest, StartUpRestoresTheSettingsIntoTheControls)
{
    WriteFile("TalveroConfig.txt",
              "USE GOOGLE\nYES\nUSE LOCAL DICTIONARY\nYES\nLOCAL DICTIONARY LANGUAGE PAIR\n"
              "DUTCH TO CROATIAN\nBABELFISH LANGUAGE PAIR\nDUTCH TO ENGLISH\nTOPMOST WINDOW\nYES\n"
              "SPEAK LOCAL DICTIONARY TRANSLATION\nYES\nTRANSLATE TEXT SELECTED IN HISTORY\nYES\n"
              "TRANSLATE HYPOTHESIS\nYES\nFONT SIZE FOR MAIN TEXT BOXES\n12\n"
              "TIME DELAY BEFORE AUTOMATIC TRANSLATION\n2500\nUSE BABELFISH\nyes\n");
    CTalveroDlg dlg(nullptr, FakeServices());
    dlg.Show();
    EXPECT_TRUE(Ctl<wxCheckBox>(&dlg, 1018)->GetValue());
    EXPECT_TRUE(Ctl<wxCheckBox>(&dlg, 1023)->GetValue());
    EXPECT_FALSE(Ctl<wxCheckBox>(&dlg, 1019)->GetValue());  // "yes" is not YES
    EXPECT_TRUE(Ctl<wxCheckBox>(&dlg, 1024)->GetValue());
    EXPECT_TRUE(Ctl<wxCheckBox>(&dlg, 1058)->GetValue());
    EXPECT_TRUE(Ctl<wxCheckBox>(&dlg, 1056)->GetValue());
    EXPECT_TRUE(dlg.GetSettings().useGoogle);
    EXPECT_EQ(Ctl<wxChoice>(&dlg, 1036)->GetStringSelection(), "Dutch to Croatian");
    EXPECT_EQ(Ctl<wxChoice>(&dlg, 1034)->GetSelection(), 2);
    EXPECT_EQ(Ctl<wxChoice>(&dlg, 1034)->GetStringSelection(), "Dutch to English");
    ASSERT_EQ(rec.loads.size(), 1u);
    EXPECT_EQ(rec.loads[0].first, "localdictionary_du_hr.txt");
    EXPECT_EQ(rec.loads[0].second, "personaldictionary_du_hr.txt");
    EXPECT_TRUE(dlg.HasFlag(wxSTAY_ON_TOP));
    EXPECT_EQ(Ctl<wxTextCtrl>(&dlg, 1002)->GetFont().GetPointSize(), 12);
    EXPECT_EQ(Ctl<wxTextCtrl>(&dlg, 1055)->GetFont().GetPointSize(), 12);
    EXPECT_NE(Ctl<wxTextCtrl>(&dlg, 1057)->GetFont().GetPointSize(), 12);  // history keeps its font
    EXPECT_EQ(dlg.GetSettings().translationDelay, 2500.0);
}

TEST_F(WindowTest, AnUnreadableSettingsFileIsReportedAndNotSavedOver)
{
    // A FIFO cannot be read as settings; an ordinary save would rename a new file over it.
    ASSERT_EQ(mkfifo("TalveroConfig.txt", 0600), 0);
    {
        CTalveroDlg dlg(nullptr, FakeServices());
        dlg.CallAfter([&] {
            // No ASSERT here: the dialog must still be ended below.
            EXPECT_EQ(boxes.size(), 1u);
            const MessageBoxCall box = boxes.empty() ? MessageBoxCall{} : boxes[0];
            EXPECT_EQ(box.text,
                      "TalveroConfig.txt exists but cannot be read (not a plain file). "
                      "Talvero starts with the default settings and will not save "
                      "over that file.");
            EXPECT_TRUE(box.style & wxICON_WARNING);
            EXPECT_EQ(dlg.GetSettings().fontSize, 18);
            Toggle(&dlg, 1021, true);
            Click(&dlg, 1);  // Exit, which saves the settings otherwise
        });
        EXPECT_EQ(dlg.ShowModal(), wxID_OK);
    }
    EXPECT_TRUE(std::filesystem::is_fifo("TalveroConfig.txt"));
}

TEST_F(WindowTest, ASettingsFileWithNoKnownKeyIsKeptAsideWithOneMessage)
{
    {
        std::ofstream("TalveroConfig.txt", std::ios::binary) << std::string("\x01\xff\0junk\n", 8);
    }
    {
        CTalveroDlg dlg(nullptr, FakeServices());
        dlg.CallAfter([&] {
            // No ASSERT here: the dialog must still be ended below.
            EXPECT_EQ(boxes.size(), 1u);
            const MessageBoxCall box = boxes.empty() ? MessageBoxCall{} : boxes[0];
            EXPECT_EQ(box.text,
                      "TalveroConfig.txt holds no setting Talvero knows; it was kept "
                      "as TalveroConfig.txt.bad and the defaults apply");
            Click(&dlg, 1);
        });
        EXPECT_EQ(dlg.ShowModal(), wxID_OK);
    }
    EXPECT_EQ(std::filesystem::file_size("TalveroConfig.txt.bad"), 8u);
}

TEST_F(WindowTest, MissingDictionaryFilesAreReportedOnceEach)
{
    CTalveroDlg::Parts s = FakeServices();
    s.dictionary = MakeLocalDictionary();  // the real "file missing" path
    CTalveroDlg dlg(nullptr, std::move(s));
    dlg.Show();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "Could not open the file: localdictionary_es_en.txt");
    EXPECT_EQ(boxes[1].text, "Could not open the file: personaldictionary_es_en.txt");
    EXPECT_TRUE(boxes[0].style & wxOK);
}

// --- The four ways to end -----------------------------------------------------------------------

struct EndCase {
    const char* name;
    std::function<void(CTalveroDlg&)> end;
    int result;
    bool saves;
};

class EndingTest : public WindowTest, public ::testing::WithParamInterface<EndCase> {};

TEST_P(EndingTest, EndsWithItsResultAndSavesOnlyWhenItShould)
{
    const EndCase& c = GetParam();
    WriteFile("TalveroConfig.txt", "USE GOOGLE\nYES\n");
    int discardsBefore = 0;
    {
        CTalveroDlg dlg(nullptr, FakeServices());
        dlg.CallAfter([&] {
            Toggle(&dlg, 1021, true);  // changed while running
            Toggle(&dlg, 1058, true);  // a box without a flag: read from the control
            Choose(&dlg, 1028, 5);
            c.end(dlg);
        });
        int rc = dlg.ShowModal();
        EXPECT_EQ(rc, c.result);
        discardsBefore = rec.discards;
    }
    std::string saved = ReadFile("TalveroConfig.txt");
    if (c.saves) {
        EXPECT_NE(saved.find("USE FREETRANSLATION\nYES\n"), std::string::npos) << saved;
        EXPECT_NE(saved.find("TRANSLATE TEXT SELECTED IN HISTORY\nYES\n"), std::string::npos);
        EXPECT_NE(saved.find("GOOGLE LANGUAGE PAIR\n" + PairAt(PairList::Google, 5)->settingsName),
                  std::string::npos);
        EXPECT_EQ(discardsBefore, 1);
    } else {
        EXPECT_EQ(saved, "USE GOOGLE\nYES\n");
        EXPECT_EQ(discardsBefore, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    FourWays, EndingTest,
    ::testing::Values(EndCase{"ExitButton", [](CTalveroDlg& d) { Click(&d, 1); }, wxID_OK, true},
                      EndCase{"CloseCommand", [](CTalveroDlg& d) { d.Close(); }, wxID_CANCEL, true},
                      EndCase{"EscapeKey",
                              [](CTalveroDlg& d) {
                                  wxKeyEvent key(wxEVT_CHAR_HOOK);
                                  key.m_keyCode = WXK_ESCAPE;
                                  key.SetEventObject(d.FindWindow(1000));
                                  d.FindWindow(1000)->GetEventHandler()->ProcessEvent(key);
                              },
                              wxID_CANCEL, false},
                      EndCase{"TrayExit", [](CTalveroDlg& d) { d.EndWithoutSaving(); }, wxID_OK,
                              false}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Translate ----------------------------------------------------------------------------------

TEST_F(WindowTest, BlankInputWarnsAndLeavesTheResultsAlone)
{
    CTalveroDlg dlg(nullptr, FakeServices());
    dlg.Show();
    Ctl<wxTextCtrl>(&dlg, 1002)->ChangeValue("old google");
    Ctl<wxListBox>(&dlg, 1006)->Append("stale");
    Ctl<wxTextCtrl>(&dlg, 1000)->ChangeValue("  \t \n ");
    Ctl<wxButton>(&dlg, 1051)->SetFocus();
    Click(&dlg, 1032);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Please enter the text you want to translate.");
    EXPECT_EQ(boxes[0].caption, "Talvero");
    EXPECT_TRUE(boxes[0].style & wxICON_WARNING);
    EXPECT_TRUE(boxes[0].style & wxOK);
    EXPECT_TRUE(rec.requests.empty());
    EXPECT_EQ(Text(&dlg, 1002), "old google");
    EXPECT_EQ(Ctl<wxListBox>(&dlg, 1006)->GetCount(), 0u);
    WaitPumping(5000, [&] { return wxWindow::FindFocus() != dlg.FindWindow(1000); });
    EXPECT_EQ(wxWindow::FindFocus(), dlg.FindWindow(1000));
}

TEST_F(WindowTest, TranslateAppliesTheOutcomeToBoxesListBannerAndVoice)
{
    WriteFile("TalveroConfig.txt", "GOOGLE LANGUAGE PAIR\nSPANISH TO ENGLISH\n");
    CTalveroDlg dlg(nullptr, FakeServices());
    dlg.Show();
    Choose(&dlg, 1035, 16);
    Ctl<wxChoice>(&dlg, 1034)->SetSelection(wxNOT_FOUND);
    for (int id : {1002, 1003, 1004, 1005})
        Ctl<wxTextCtrl>(&dlg, id)->ChangeValue("before");
    using O = EngineOutcome;
    rec.outcome.engines[0] = {O::Changed, "dog", "", ""};
    rec.outcome.engines[1] = {O::Failed, "", "no connection", "connection refused"};
    rec.outcome.engines[2] = {O::Changed, "", "", ""};
    rec.outcome.engines[3] = {O::Changed, "perro", "", ""};
    rec.outcome.nearList = {"perro grande", "perro"};
    rec.outcome.speakQueue = {{Engine::Google, "dog"}, {Engine::FreeTranslation, ""}};
    rec.outcome.banner.show = true;
    rec.outcome.banner.text = "el perro:\ndog";
    bool busyCursorShown = false;
    rec.duringTranslate = [&] { busyCursorShown = wxIsBusy(); };
    Ctl<wxTextCtrl>(&dlg, 1000)->ChangeValue("  el perro \n");
    Click(&dlg, 1032);
    ASSERT_EQ(rec.requests.size(), 1u);
    EXPECT_EQ(rec.requests[0].text, "el perro");
    EXPECT_EQ(rec.requests[0].settings.googlePairPosition,
              PositionOf(PairList::Google, "Spanish to English"));
    EXPECT_EQ(rec.requests[0].settings.babelfishPairPosition, -1);
    EXPECT_EQ(rec.requests[0].settings.freeTranslationPairPosition, 16);
    EXPECT_TRUE(busyCursorShown);
    EXPECT_FALSE(wxIsBusy());
    EXPECT_EQ(Text(&dlg, 1002), "dog");
    EXPECT_EQ(Text(&dlg, 1003), "before");
    EXPECT_EQ(Text(&dlg, 1004), "");
    EXPECT_EQ(Text(&dlg, 1005), "perro");
    auto* nearList = Ctl<wxListBox>(&dlg, 1006);
    ASSERT_EQ(nearList->GetCount(), 2u);
    EXPECT_EQ(nearList->GetString(0), "perro");  // the list keeps its own sorted order
    EXPECT_EQ(rec.spoken, (std::vector<std::string>{"dog", ""}));
    ASSERT_EQ(rec.banners.size(), 1u);
    EXPECT_EQ(rec.banners[0].text, "el perro:\ndog");
    EXPECT_EQ(Text(&dlg, 1000), "  el perro \n");  // the button does not empty the input
    EXPECT_TRUE(boxes.empty());
}

TEST_F(WindowTest, NearListDoubleClickFillsTheLocalBox)
{
    CTalveroDlg dlg(nullptr, FakeServices());
    dlg.Show();
    rec.entries["el perro"] = "the dog";
    auto* nearList = Ctl<wxListBox>(&dlg, 1006);
    nearList->Append("el");
    nearList->Append("el perro");
    Ctl<wxTextCtrl>(&dlg, 1005)->ChangeValue("keep");
    wxCommandEvent dbl(wxEVT_LISTBOX_DCLICK, 1006);
    dbl.SetEventObject(nearList);
    nearList->GetEventHandler()->ProcessEvent(dbl);  // nothing selected: ignored
    EXPECT_EQ(Text(&dlg, 1005), "keep");
    nearList->SetSelection(0);  // "el" is not stored: ignored
    nearList->GetEventHandler()->ProcessEvent(dbl);
    EXPECT_EQ(Text(&dlg, 1005), "keep");
    nearList->SetSelection(1);
    nearList->GetEventHandler()->ProcessEvent(dbl);
    EXPECT_EQ(Text(&dlg, 1005), "the dog");
}

// --- Automatic translation, history, Clear
// --------------------------------------------------------

// Pumps the window's events until `done`, or ten seconds (a generous deadline: only a failing
// test waits that long).
void PumpUntil(const std::function<bool()>& done)
{
    WaitPumping(10000, [&] { return !done(); });
}

// The automatic pass's delay held by the test and ended by hand: what happens before and after
// it is then told apart by order, not by the clock.
struct HandDelay {
    std::vector<int> asked;  // each delay started, in ms
    std::function<void()> pending;

    CTalveroDlg::Parts Attach(CTalveroDlg::Parts parts)
    {
        parts.startDelay = [this](int ms, std::function<void()> elapsed) {
            asked.push_back(ms);
            pending = std::move(elapsed);
        };
        return parts;
    }
    void End() { std::exchange(pending, nullptr)(); }
};

TEST_F(WindowTest, TypingTranslatesAfterTheDelayNotBeforeAndEmptiesTheInput)
{
    WriteFile("TalveroConfig.txt",
              "LAUNCH TRANSLATION AUTOMATICALLY\nYES\nTIME DELAY BEFORE AUTOMATIC TRANSLATION\n"
              "400\n");
    HandDelay delay;
    CTalveroDlg dlg(nullptr, delay.Attach(FakeServices()));
    size_t requestsBeforeTheDelay = 99;
    bool translatingBeforeTheDelay = true;
    std::string inputAfter = "?";
    RunModal(dlg, [&] {
        auto* input = Ctl<wxTextCtrl>(&dlg, 1000);
        input->SetValue("hola");  // a change notification, as typing gives
        PumpUntil([&] { return delay.pending != nullptr; });
        requestsBeforeTheDelay = rec.requests.size();
        translatingBeforeTheDelay = dlg.IsTranslating();
        delay.End();
        PumpUntil([&] { return !rec.requests.empty() && input->IsEmpty(); });
        inputAfter = input->GetValue().utf8_string();
    });
    EXPECT_EQ(requestsBeforeTheDelay, 0u);
    EXPECT_FALSE(translatingBeforeTheDelay);
    EXPECT_EQ(delay.asked, std::vector<int>{400});
    ASSERT_EQ(rec.requests.size(), 1u);
    EXPECT_EQ(rec.requests[0].text, "hola");
    EXPECT_EQ(inputAfter, "");
    EXPECT_FALSE(dlg.GetAutoTranslateState().autoTranslateBusy);
}

TEST_F(WindowTest, TypingDuringTheWaitRestartsItAndTranslatesTheSettledText)
{
    WriteFile("TalveroConfig.txt",
              "LAUNCH TRANSLATION AUTOMATICALLY\nYES\nTIME DELAY BEFORE AUTOMATIC TRANSLATION\n"
              "400\n");
    HandDelay delay;
    CTalveroDlg dlg(nullptr, delay.Attach(FakeServices()));
    std::string inputAfter = "?";
    size_t requestsAfterTheFirstDelay = 99;
    RunModal(dlg, [&] {
        auto* input = Ctl<wxTextCtrl>(&dlg, 1000);
        input->SetValue("ho");
        PumpUntil([&] { return delay.pending != nullptr; });
        input->AppendText("la");
        delay.End();
        PumpUntil([&] { return delay.pending != nullptr; });
        requestsAfterTheFirstDelay = rec.requests.size();
        delay.End();
        PumpUntil([&] { return !rec.requests.empty() && input->IsEmpty(); });
        inputAfter = input->GetValue().utf8_string();
    });
    EXPECT_EQ(requestsAfterTheFirstDelay, 0u);
    EXPECT_EQ(delay.asked, (std::vector<int>{400, 400}));
    ASSERT_EQ(rec.requests.size(), 1u);
    EXPECT_EQ(rec.requests[0].text, "hola");
    EXPECT_EQ(inputAfter, "");
}

TEST_F(WindowTest, ExitDuringTheWaitEndsThePassAndTheWindowAtOnce)
{
    WriteFile("TalveroConfig.txt",
              "LAUNCH TRANSLATION AUTOMATICALLY\nYES\nTIME DELAY BEFORE AUTOMATIC TRANSLATION\n"
              "5000\n");
    HandDelay delay;
    CTalveroDlg dlg(nullptr, delay.Attach(FakeServices()));
    dlg.CallAfter([&] {
        Ctl<wxTextCtrl>(&dlg, 1000)->SetValue("hola");
        PumpUntil([&] { return delay.pending != nullptr; });
        Click(&dlg, 1);
    });
    // The window ends while its delay is still running: it waits for nothing of the pass.
    EXPECT_EQ(dlg.ShowModal(), wxID_OK);
    ASSERT_TRUE(delay.pending);
    delay.End();  // a delay that ends after the window has, finds the pass over
    EXPECT_TRUE(rec.requests.empty());
    EXPECT_FALSE(dlg.GetAutoTranslateState().autoTranslateBusy);
    EXPECT_TRUE(Exists("TalveroConfig.txt"));
}

TEST_F(WindowTest, PasteOverASelectionStartsOnePassWithTheFinalText)
{
    WriteFile("TalveroConfig.txt",
              "LAUNCH TRANSLATION AUTOMATICALLY\nYES\nTIME DELAY BEFORE AUTOMATIC TRANSLATION\n"
              "100\n");
    CTalveroDlg dlg(nullptr, FakeServices());
    RunModal(dlg, [&] {
        auto* input = Ctl<wxTextCtrl>(&dlg, 1000);
        input->ChangeValue("el gato");
        input->SetSelection(3, 7);
        input->WriteText("perro");  // two notifications, the first with "el "
        PumpUntil([&] { return !rec.requests.empty() && input->IsEmpty(); });
    });
    ASSERT_EQ(rec.requests.size(), 1u);
    EXPECT_EQ(rec.requests[0].text, "el perro");
}

TEST_F(WindowTest, AutomaticTranslationOffSpeaksBackAndKeepsTheInput)
{
    WriteFile("TalveroConfig.txt",
              "SPEAK RECOGNIZED TEXT WITH TTS\nYES\nTIME DELAY BEFORE AUTOMATIC TRANSLATION\n0\n");
    CTalveroDlg dlg(nullptr, FakeServices());
    std::string inputAfter;
    RunModal(dlg, [&] {
        Ctl<wxTextCtrl>(&dlg, 1000)->SetValue("hola");
        PumpUntil([&] { return !rec.spoken.empty(); });
        inputAfter = Text(&dlg, 1000);
    });
    EXPECT_TRUE(rec.requests.empty());
    EXPECT_EQ(rec.spoken, std::vector<std::string>{""});  // nothing recognized yet
    EXPECT_EQ(inputAfter, "hola");
}

TEST_F(WindowTest, HistorySelectionFeedsTheInputWhenTicked)
{
    CTalveroDlg dlg(nullptr, FakeServices());
    std::vector<std::string> inputs;
    std::string historyAfterClear = "?";
    RunModal(dlg, [&] {
        auto* history = Ctl<wxTextCtrl>(&dlg, 1057);
        // A selection change is handled once the toolkit's signal is over, from the queue.
        auto settle = [] { DrainEvents(); };
        history->ChangeValue("buenos dias\nhola mundo\n");
        settle();
        history->SetSelection(12, 22);  // not ticked: nothing
        settle();
        inputs.push_back(Text(&dlg, 1000));

        Toggle(&dlg, 1058, true);
        history->SetSelection(0, 11);
        settle();
        inputs.push_back(Text(&dlg, 1000));  // automatic translation off: the text stays

        history->SetInsertionPoint(3);  // a caret move selects nothing
        settle();
        inputs.push_back(Text(&dlg, 1000));

        Ctl<wxTextCtrl>(&dlg, 1000)->ChangeValue("typed");
        Click(&dlg, 1059);  // "Clear history" feeds nothing
        settle();
        historyAfterClear = history->GetValue().utf8_string();
        inputs.push_back(Text(&dlg, 1000));

        history->ChangeValue("otra vez");  // after clearing, selections feed the input again
        history->SetSelection(0, 4);
        settle();
        inputs.push_back(Text(&dlg, 1000));
    });
    EXPECT_EQ(inputs, (std::vector<std::string>{"", "buenos dias", "", "typed", "otra"}));
    EXPECT_EQ(historyAfterClear, "");
    EXPECT_TRUE(rec.requests.empty());
}

TEST_F(WindowTest, HistorySelectionIsTranslatedAfterTheDelayWhenAutomatic)
{
    WriteFile("TalveroConfig.txt",
              "LAUNCH TRANSLATION AUTOMATICALLY\nYES\nTIME DELAY BEFORE AUTOMATIC TRANSLATION\n"
              "50\nTRANSLATE TEXT SELECTED IN HISTORY\nYES\n");
    CTalveroDlg dlg(nullptr, FakeServices());
    std::string inputAfter = "?";
    RunModal(dlg, [&] {
        auto* history = Ctl<wxTextCtrl>(&dlg, 1057);
        history->ChangeValue("hola mundo adios");
        history->SetSelection(0, 10);
        PumpUntil([&] { return !rec.requests.empty(); });
        inputAfter = Text(&dlg, 1000);
    });
    ASSERT_EQ(rec.requests.size(), 1u);
    EXPECT_EQ(rec.requests[0].text, "hola mundo");
    EXPECT_EQ(inputAfter, "");
}

TEST_F(WindowTest, ClearEmptiesInputResultsAndNearListOnly)
{
    WriteFile("TalveroConfig.txt", "LAUNCH TRANSLATION AUTOMATICALLY\nYES\n");
    CTalveroDlg dlg(nullptr, FakeServices());
    dlg.Show();
    Ctl<wxTextCtrl>(&dlg, 1000)->ChangeValue("hola");
    for (int id : {1002, 1003, 1004, 1005, 1055, 1057})
        Ctl<wxTextCtrl>(&dlg, id)->ChangeValue("text");
    Ctl<wxListBox>(&dlg, 1006)->Append("near");
    Click(&dlg, 1051);
    for (int id : {1000, 1002, 1003, 1004, 1005})
        EXPECT_EQ(Text(&dlg, id), "") << id;
    EXPECT_EQ(Text(&dlg, 1055), "text");
    EXPECT_EQ(Text(&dlg, 1057), "text");
    EXPECT_EQ(Ctl<wxListBox>(&dlg, 1006)->GetCount(), 0u);
    EXPECT_TRUE(rec.requests.empty());
    EXPECT_FALSE(dlg.GetAutoTranslateState().autoTranslateBusy);
}

// --- Pair switch
// ------------------------------------------------------------------------------------

TEST_F(WindowTest, LocalPairSwitchLoadsThePairWithTheControlsDisabled)
{
    CTalveroDlg dlg(nullptr, FakeServices());
    dlg.Show();
    rec.loads.clear();
    bool disabledWhileLoading = false;
    bool loadingFlag = false;
    rec.duringLoad = [&] {
        disabledWhileLoading =
            !dlg.FindWindow(1032)->IsEnabled() && !dlg.FindWindow(1036)->IsEnabled();
        loadingFlag = dlg.GetAutoTranslateState().dictionaryLoading;
    };
    rec.loadMessages = {"Could not open the file: localdictionary_sv_es.txt"};
    Choose(&dlg, 1036, PositionOf(PairList::Local, "Swedish to Spanish"));
    ASSERT_EQ(rec.loads.size(), 1u);
    EXPECT_EQ(rec.loads[0].first, "localdictionary_sv_es.txt");
    EXPECT_EQ(rec.loads[0].second, "personaldictionary_sv_es.txt");
    EXPECT_TRUE(disabledWhileLoading);
    EXPECT_TRUE(loadingFlag);
    EXPECT_TRUE(dlg.FindWindow(1032)->IsEnabled());
    EXPECT_TRUE(dlg.FindWindow(1036)->IsEnabled());
    EXPECT_FALSE(dlg.GetAutoTranslateState().dictionaryLoading);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Could not open the file: localdictionary_sv_es.txt");
    EXPECT_EQ(dlg.GetSettings().localDictionaryFile, "localdictionary_sv_es.txt");
}

// --- Delay dialog
// ---------------------------------------------------------------------------------

TEST_F(WindowTest, SetTimeDelayShowsTheTruncatedDelayAndKeepsAValidatedValue)
{
    CTalveroDlg dlg(nullptr, FakeServices());
    dlg.Show();
    dlg.MutableSettings().translationDelay = 1500.7;
    wxString shown;
    std::vector<bool> stayedOpen;
    std::vector<bool> focusOnEdit;
    auto drive = [&](CDelayDlg* delay) {
        auto* edit = Ctl<wxTextCtrl>(delay, 1037);
        shown = edit->GetValue();
        for (const char* text : {"abc", "100001", "-5", "2500"}) {
            edit->ChangeValue(text);
            Click(delay, 1);
            stayedOpen.push_back(delay->IsModal());
            focusOnEdit.push_back(wxWindow::FindFocus() == edit);
        }
    };
    dlg.CallAfter([&] {
        for (wxWindow* w : wxTopLevelWindows)
            if (auto* d = dynamic_cast<CDelayDlg*>(w)) d->CallAfter([&, d] { drive(d); });
    });
    Click(&dlg, 1038);
    EXPECT_EQ(shown, "1500");
    EXPECT_EQ(stayedOpen, (std::vector<bool>{true, true, true, false}));
    ASSERT_EQ(focusOnEdit.size(), 4u);
    EXPECT_TRUE(focusOnEdit[0] && focusOnEdit[1] && focusOnEdit[2]);
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].text, "Please enter an integer.");
    EXPECT_EQ(boxes[1].text, "Please enter an integer between 0 and 100000.");
    EXPECT_EQ(boxes[2].text, "Please enter an integer between 0 and 100000.");
    EXPECT_EQ(dlg.GetSettings().translationDelay, 2500.0);
}

TEST_F(WindowTest, DelayDialogCancelChangesNothing)
{
    CTalveroDlg dlg(nullptr, FakeServices());
    dlg.Show();
    dlg.CallAfter([&] {
        for (wxWindow* w : wxTopLevelWindows)
            if (auto* d = dynamic_cast<CDelayDlg*>(w))
                d->CallAfter([d] {
                    Ctl<wxTextCtrl>(d, 1037)->ChangeValue("5");
                    Click(d, 2);
                });
    });
    Click(&dlg, 1038);
    EXPECT_EQ(dlg.GetSettings().translationDelay, 1000.0);
}

TEST_F(WindowTest, DelayDialogHasItsTexts)
{
    CDelayDlg d(nullptr, 1000);
    EXPECT_EQ(d.GetTitle(), "Set delay time for automatic translation");
    // What a screen reader reads: the texts as written, whatever the wrapping on screen.
    std::vector<std::string> labels;
    for (wxWindow* c : d.GetChildren())
        if (auto* s = dynamic_cast<wxStaticText*>(c)) {
#ifdef __WXGTK__
            labels.push_back(atk_object_get_name(Accessible(s)));
#else
            labels.push_back(s->GetLabelText().utf8_string());
#endif
        }
    std::vector<std::string> expected;
    for (const res::Control& c : res::DelayDialog().controls)
        if (c.kind == res::Kind::Label) expected.push_back(c.text);
    EXPECT_EQ(labels, expected);
    EXPECT_EQ(Ctl<wxButton>(&d, 1)->GetLabel(), "OK");
    EXPECT_EQ(Ctl<wxButton>(&d, 2)->GetLabel(), "Cancel");
}

// --- Menu, About, speech routing
// ------------------------------------------------------------------

TEST_F(WindowTest, AboutBoxShowsNameVersionIconAndOK)
{
    CAboutDlg about(nullptr);
    EXPECT_EQ(about.GetTitle(), "About Talvero");
    bool name = false, icon = false;
    for (wxWindow* c : about.GetChildren()) {
        if (auto* s = dynamic_cast<wxStaticText*>(c)) name |= s->GetLabel() == "Talvero 1.0";
        if (dynamic_cast<wxStaticBitmap*>(c)) icon = true;
    }
    EXPECT_TRUE(name);
    EXPECT_TRUE(icon);
    EXPECT_EQ(Ctl<wxButton>(&about, 1)->GetLabel(), "OK");
}

#ifdef __WXGTK__
TEST_F(WindowTest, MessageBoxShowsItsIconAndTagsItsButtonForScreenReaders)
{
    SetMessageBoxHook({});  // the real box, answered below
    bool seen = false;
    wxTheApp->CallAfter([&] {
        for (wxWindow* top : wxTopLevelWindows) {
            auto* box = dynamic_cast<wxDialog*>(top);
            if (!box || !box->IsModal()) continue;
            seen = true;
            EXPECT_EQ(box->GetTitle(), "Talvero");
            EXPECT_EQ(atk_object_get_role(gtk_widget_get_accessible(box->GetHandle())),
                      ATK_ROLE_ALERT);
            wxStaticBitmap* icon = nullptr;
            wxButton* ok = nullptr;
            std::function<void(wxWindow*)> find = [&](wxWindow* w) {
                for (wxWindow* c : w->GetChildren()) {
                    if (auto* b = dynamic_cast<wxStaticBitmap*>(c)) icon = b;
                    if (auto* b = dynamic_cast<wxButton*>(c)) ok = b;
                    find(c);
                }
            };
            find(box);
            ASSERT_TRUE(icon);
            EXPECT_TRUE(icon->GetBitmap().IsOk());
            EXPECT_STREQ(atk_object_get_name(Accessible(icon)), "Warning");
            ASSERT_TRUE(ok);
            EXPECT_STREQ(atk_object_get_accessible_id(Accessible(ok)), "1");
            box->EndModal(wxID_OK);
        }
    });
    EXPECT_EQ(TalveroMessageBox("Please enter the text you want to translate.", "Talvero",
                                wxOK | wxICON_WARNING),
              wxOK);
    EXPECT_TRUE(seen);
}
#endif

TEST_F(WindowTest, WindowMenuOffersOptionsAndAbout)
{
    CTalveroDlg dlg(nullptr, FakeServices());
    dlg.Show();
    std::unique_ptr<wxMenu> menu(BuildWindowMenu());
    ASSERT_EQ(menu->GetMenuItemCount(), 2u);
    EXPECT_EQ(menu->FindItemByPosition(0)->GetId(), 0x2222);
    EXPECT_EQ(menu->FindItemByPosition(0)->GetItemLabel(), "Options");
    EXPECT_EQ(menu->FindItemByPosition(1)->GetId(), 0x10);
    EXPECT_EQ(menu->FindItemByPosition(1)->GetItemLabel(), "&About Talvero...");
#ifdef __WXGTK__
    // A screen reader finds the items by their command numbers.
    for (wxMenuItem* item : menu->GetMenuItems())
        EXPECT_STREQ(atk_object_get_accessible_id(gtk_widget_get_accessible(item->GetMenuItem())),
                     std::to_string(item->GetId()).c_str());
#endif
    bool aboutShown = false;
    dlg.CallAfter([&] {
        for (wxWindow* w : wxTopLevelWindows)
            if (auto* a = dynamic_cast<CAboutDlg*>(w)) {
                aboutShown = a->IsModal();
                a->CallAfter([a] { Click(a, 1); });
            }
    });
    wxCommandEvent about(wxEVT_MENU, 0x10);
    dlg.GetEventHandler()->ProcessEvent(about);
    EXPECT_TRUE(aboutShown);
}

TEST_F(WindowTest, IconsComeInEverySizeInBothVariants)
{
    for (int id : {128, 129}) {
        wxIconBundle bundle = res::IconBundle(id);
        EXPECT_EQ(bundle.GetIconCount(), 7u) << id;
        wxBitmap bmp = res::IconBitmap(id, 48);
        ASSERT_TRUE(bmp.IsOk()) << id;
        EXPECT_EQ(bmp.GetSize(), wxSize(48, 48));
    }
    EXPECT_FALSE(res::IconBitmap(130, 32).IsOk());
    EXPECT_TRUE(res::IconBundle(127).IsEmpty());
    CTalveroDlg dlg(nullptr, FakeServices());
    dlg.Show();
    EXPECT_TRUE(dlg.GetIcon().IsOk());
}

TEST_F(WindowTest, SpeechEventsAreIgnoredWhileDisabled)
{
    CTalveroDlg dlg(nullptr, FakeServices());
    dlg.Show();
    Toggle(&dlg, 1012, true);
    auto post = [&] {
        wxThreadEvent recognition(TALVERO_EVT_RECOGNITION);
        dlg.GetEventHandler()->ProcessEvent(recognition);
        wxThreadEvent voice(TALVERO_EVT_VOICE);
        dlg.GetEventHandler()->ProcessEvent(voice);
    };
    post();
    EXPECT_EQ(rec.voiceEvents, 1);
    dlg.SetDisabled(true);
    post();
    EXPECT_EQ(rec.voiceEvents, 1);
    dlg.SetDisabled(false);
    Toggle(&dlg, 1012, false);  // recognition off: the voice's events are still taken
    post();
    EXPECT_EQ(rec.voiceEvents, 2);
}

}  // namespace

}  // namespace talvero
