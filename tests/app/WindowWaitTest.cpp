// The window while the web engines take their time: it goes on taking input, keeps what arrives
// meanwhile, and leaves nothing running when it ends.

#include <wx/uiaction.h>

#include "app/gui/TalveroDlg.h"
#include "catalogue/Catalogue.h"
#include "tests/app/WindowTestSupport.h"
#include "tests/support/LoopbackServer.h"

namespace talvero {

namespace {

// Pumps the window's events until `done`, or ten seconds (a generous deadline: only a failing
// test waits that long).
void PumpUntil(const std::function<bool()>& done)
{
    WaitPumping(10000, [&] { return !done(); });
}

// Counts the translations the window starts; each is started on the window's thread.
class CountingEngines : public ITranslationEngines {
public:
    CountingEngines(std::unique_ptr<ITranslationEngines> real, int& started)
        : real(std::move(real)), started(started)
    {
    }
    TranslateOutcome Translate(std::string_view input, const Settings& settings) override
    {
        return real->Translate(input, settings);
    }
    void StartTranslate(std::string_view input, const Settings& settings, const PostToOwner& post,
                        std::function<void(TranslateOutcome)> done) override
    {
        ++started;
        real->StartTranslate(input, settings, post, std::move(done));
    }

private:
    std::unique_ptr<ITranslationEngines> real;
    int& started;
};

class SlowFormTest : public WindowTest {
protected:
    loopback::HttpServer form;

    // The real engines, Google posting to the loopback form, which answers after `delayMs`
    // (or never).
    CTalveroDlg::Parts SlowGoogle(int delayMs, bool hang, const std::string& config)
    {
        form.SetReply({200, loopback::GooglePage("done"), "text/html", delayMs, false, hang});
        WriteFile("TalveroServices.txt", "GOOGLE FORM ADDRESS\n" + form.BaseAddress() + "\n");
        WriteFile("TalveroConfig.txt", "USE GOOGLE\nYES\nUSE LOCAL DICTIONARY\nNO\n" + config);
        CTalveroDlg::Parts parts = FakeServices();
        parts.engines = MakeTranslationEngines(*parts.dictionary);
        return parts;
    }
    std::string Sent(size_t i) { return loopback::Field(form.Requests().at(i).form, "text"); }
};

TEST_F(SlowFormTest, APhraseDictatedWhileTheFormWaitsGetsItsOwnTranslation)
{
    CTalveroDlg dlg(nullptr, SlowGoogle(1000, false,
                                        "LAUNCH TRANSLATION AUTOMATICALLY\nYES\n"
                                        "TIME DELAY BEFORE AUTOMATIC TRANSLATION\n100\n"));
    RunModal(dlg, [&] {
        auto* input = Ctl<wxTextCtrl>(&dlg, 1000);
        input->WriteText("uno ");  // as dictation inserts a phrase
        PumpUntil([&] { return form.Requests().size() == 1; });
        input->WriteText("dos ");
        PumpUntil([&] { return form.Requests().size() == 2 && input->IsEmpty(); });
    });
    ASSERT_EQ(form.Requests().size(), 2u);
    EXPECT_EQ(Sent(0), "uno");
    EXPECT_EQ(Sent(1), "dos");
}

TEST_F(SlowFormTest, KeysTypedDuringASlowTranslationAreKept)
{
    CTalveroDlg dlg(nullptr, SlowGoogle(1500, false, ""));
    std::string typed, result;
    RunModal(dlg, [&] {
        auto* input = Ctl<wxTextCtrl>(&dlg, 1000);
        input->ChangeValue("hola");
        Click(&dlg, 1032);
        input->SetFocus();
        PumpUntil([&] { return wxWindow::FindFocus() == input; });
        input->SetInsertionPointEnd();
        wxUIActionSimulator().Text(" mundo");
        PumpUntil([&] { return Text(&dlg, 1002) == "done"; });
        PumpUntil([&] { return Text(&dlg, 1000) == "hola mundo"; });
        DrainEvents();  // what the applied result queued has run
        typed = Text(&dlg, 1000);
        result = Text(&dlg, 1002);
    });
    EXPECT_EQ(result, "done");
    EXPECT_EQ(typed, "hola mundo");
    EXPECT_EQ(Sent(0), "hola");
}

// Twenty presses while a form never answers ask it once; the window then ends at once, its
// engine thread stopped and joined (a thread left behind shows under the sanitizers).
TEST_F(SlowFormTest, PressesDuringAWaitAndEndingWhileItRunsLeaveNothingBehind)
{
    int started = 0;
    {
        CTalveroDlg::Parts parts = SlowGoogle(0, true, "");
        parts.engines = std::make_unique<CountingEngines>(std::move(parts.engines), started);
        CTalveroDlg dlg(nullptr, std::move(parts));
        RunModal(dlg, [&] {
            Ctl<wxTextCtrl>(&dlg, 1000)->ChangeValue("hola");
            for (int i = 0; i < 20; ++i) {
                dlg.Translate();
                DrainEvents();
            }
            PumpUntil([&] { return !form.Requests().empty(); });
            EXPECT_TRUE(wxIsBusy());
        });
        EXPECT_EQ(Text(&dlg, 1002), "");
    }
    // Every request comes from a translation started, and the window has joined its engine
    // threads: the count is final.
    EXPECT_EQ(started, 1);
    EXPECT_EQ(form.Requests().size(), 1u);
    EXPECT_FALSE(wxIsBusy());
}

// A local pair's dictionary loads aside: the window goes on, a second choice made meanwhile
// wins, and a window closed during a load ends with the load and hears nothing more of it.
TEST_F(WindowTest, PairSwitchLoadsAsideTheLastChoiceWinsAndClosingWaitsForNothing)
{
    auto position = [](const std::string& code) {
        for (const PairEntry& e : PairsOf(PairList::Local))
            if (e.dictionaryCode == code) return e.position;
        return -1;
    };
    std::string big;
    for (int i = 0; i < 200000; ++i)
        big += "palabra" + std::to_string(i) + "\nord" + std::to_string(i) + "\n";
    WriteFile("localdictionary_sv_es.txt", big);
    WriteFile("localdictionary_de_es.txt", "hund\nperro\n");
    for (int round = 0; round < 2; ++round) {
        CTalveroDlg::Parts parts = FakeServices();
        parts.dictionary = MakeLocalDictionary();
        parts.engines = MakeTranslationEngines(*parts.dictionary);
        CTalveroDlg dlg(nullptr, std::move(parts));
        dlg.Show();
        Choose(&dlg, 1036, position("sv_es"));
        EXPECT_FALSE(dlg.FindWindow(1032)->IsEnabled());
        if (round == 1) break;  // closed while the load runs
        Choose(&dlg, 1036, position("de_es"));
        PumpUntil([&] { return dlg.FindWindow(1036)->IsEnabled(); });
        EXPECT_EQ(dlg.GetSettings().localDictionaryFile, "localdictionary_de_es.txt");
        EXPECT_EQ(dlg.Dictionary().Find("hund"), std::optional<std::string>("perro"));
        EXPECT_TRUE(dlg.FindWindow(1032)->IsEnabled());
        EXPECT_FALSE(dlg.GetAutoTranslateState().dictionaryLoading);
    }
}

}  // namespace

}  // namespace talvero
