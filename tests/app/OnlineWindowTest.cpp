// The window's online services: the upload dialog, the batch upload from "^", the update check
// at start-up and quitting while it stalls. Real HTTP against loopback servers.
#include <chrono>
#include <filesystem>
#include <optional>
#include <thread>

#include <wx/checkbox.h>
#include <wx/timer.h>

#include "catalogue/Catalogue.h"
#include "online/gui/UploadDictionaryDlg.h"
#include "tests/app/WindowTestSupport.h"
#include "tests/support/LoopbackServer.h"

namespace talvero {

namespace {

using namespace res::ctl;

class OnlineWindowTest : public WindowTest {
protected:
    void UseServer(bool checkForUpdates)
    {
        WriteFile("TalveroServices.txt", "UPLOAD SERVER ADDRESS\n" + server.BaseAddress() +
                                             "\nUPDATE SITE ADDRESS\n" + server.BaseAddress() +
                                             "\n");
        Settings s;
        s.checkForUpdates = checkForUpdates;
        s.onlineUsername = "ana";
        s.onlinePassword = "pw";
        s.uploadLanguageFrom = 22;
        s.uploadLanguageTo = 8;
        s.localPairPosition = 491;  // Spanish to English
        WriteFile("TalveroConfig.txt", FormatSettings(s));
    }
    loopback::HttpServer server;
};

// Answers each upload dialog that shows up with the next step of a script.
class DialogAnswerer : public wxTimer {
public:
    explicit DialogAnswerer(std::vector<std::function<void(CUploadDictionaryDlg&)>> steps)
        : steps(std::move(steps))
    {
        Start(20);
    }
    void Notify() override
    {
        for (wxWindow* w : wxTopLevelWindows) {
            auto* d = dynamic_cast<CUploadDictionaryDlg*>(w);
            // Each pair gets a dialog of its own (often at the same address): the name marks
            // the one already answered.
            if (!d || !d->IsModal() || d->GetName() == "answered" || next >= steps.size()) continue;
            d->SetName("answered");
            steps[next++](*d);
        }
    }
    std::vector<std::function<void(CUploadDictionaryDlg&)>> steps;
    size_t next = 0;
};

TEST_F(OnlineWindowTest, UploadDialogShowsThePairAndGivesBackTheChoices)
{
    CUploadDictionaryDlg d(nullptr);
    d.fromIndex = 22;
    d.toIndex = 8;
    d.originalText = "gato";
    d.translatedText = "cat";
    d.reverse = true;
    d.CallAfter([&d] {
        EXPECT_EQ(d.GetTitle(), "Upload dictionary file");
        auto* from = Ctl<wxChoice>(&d, kUploadFrom);
        EXPECT_EQ(from->GetCount(), 24u);
        EXPECT_GT(from->GetSize().y, 10);  // an empty best size once left the lists unseen
        EXPECT_EQ(from->GetStringSelection(), "Spanish");
        EXPECT_EQ(Ctl<wxChoice>(&d, kUploadTo)->GetStringSelection(), "English");
        EXPECT_EQ(Ctl<wxTextCtrl>(&d, kUploadOriginal)->GetValue(), "gato");
        EXPECT_EQ(Ctl<wxTextCtrl>(&d, kUploadTranslation)->GetValue(), "cat");
        EXPECT_TRUE(Ctl<wxCheckBox>(&d, kUploadReverse)->GetValue());
        for (int id : {kOk, kCancel, kUploadRepeat, kUploadAbort})
            EXPECT_NE(d.FindWindow(id), nullptr) << id;
        Choose(&d, kUploadFrom, from->FindString("Swedish"));
        Ctl<wxTextCtrl>(&d, kUploadOriginal)->ChangeValue("gata");
        Click(&d, kUploadRepeat);
    });
    EXPECT_EQ(d.ShowModal(), wxID_OK);
    EXPECT_EQ(d.action, 2);
    EXPECT_EQ(d.fromIndex, 23);
    EXPECT_EQ(d.originalText, "gata");
}

TEST_F(OnlineWindowTest, BatchUploadsEachPairWhileTheWindowKeepsWorking)
{
    UseServer(false);
    loopback::Reply slow{200, "Result:OK"};
    slow.delayMs = 300;
    server.SetReply(slow);
    WriteFile("pairs.txt", "uno\none\ndos\ntwo");
    CTalveroDlg dlg(nullptr, FakeServices());
    int ticks = 0;
    RunModal(dlg, [&] {
        DialogAnswerer answer({
            [](CUploadDictionaryDlg& d) { Click(&d, kOk); },      // Upload (reverse ticked)
            [](CUploadDictionaryDlg& d) { Click(&d, kCancel); },  // Skip
        });
        wxTimer clock;
        clock.Bind(wxEVT_TIMER, [&](wxTimerEvent&) { ++ticks; });
        clock.Start(20);
        dlg.UploadPairsFile("pairs.txt");
        WaitPumping(10000, [&] { return dlg.IsUploading(); });
        EXPECT_EQ(dlg.GetTitle(), "Talvero (127.0.0.1)");
    });
    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(loopback::Field(requests[0].form, "from"), "es");
    EXPECT_EQ(loopback::Field(requests[1].form, "texttotranslate"), "one");
    EXPECT_EQ(ReadFile("originals.txt"), "uno\n");
    EXPECT_GT(ticks, 10);  // the timer ran while the two requests waited on the server
}

TEST_F(OnlineWindowTest, QuittingDuringABatchKeepsItsLanguageChoices)
{
    UseServer(false);
    loopback::Reply hang;
    hang.hang = true;
    server.SetReply(hang);
    WriteFile("pairs.txt", "uno\none");
    CTalveroDlg dlg(nullptr, FakeServices());
    RunModal(dlg, [&] {
        DialogAnswerer answer({[&dlg](CUploadDictionaryDlg& d) {
            Choose(&d, kUploadFrom, Ctl<wxChoice>(&d, kUploadFrom)->FindString("Swedish"));
            Click(&d, kOk);
            dlg.CallAfter([&dlg] { Click(&dlg, 1); });  // Exit while the request waits
        }});
        dlg.UploadPairsFile("pairs.txt");
        WaitPumping(10000, [&] { return dlg.IsUploading(); });
    });
    Settings saved;
    ASSERT_TRUE(LoadSettings(saved));
    EXPECT_EQ(saved.uploadLanguageFrom, 23);
    EXPECT_EQ(saved.uploadLanguageTo, 8);
}

size_t ThreadsRunning()
{
    const std::filesystem::directory_iterator tasks("/proc/self/task");
    return static_cast<size_t>(std::distance(begin(tasks), end(tasks)));
}

// The window goes away without Exit while the single upload of an added pair hangs: destroyed
// outright, or closed by the window manager first. The first window also starts the toolkit's
// own lasting threads, so threads are counted from the second on.
TEST_F(OnlineWindowTest, WindowDestroyedWhileAnUploadHangsKeepsThePairAndLeavesNoThread)
{
    loopback::Reply hang;
    hang.hang = true;
    server.SetReply(hang);
    WriteFile("TalveroServices.txt", "UPLOAD SERVER ADDRESS\n" + server.BaseAddress());
    WriteFile("localdictionary_es_en.txt", "perro\ndog");
    std::optional<size_t> threadsBefore;
    for (const bool closeFirst : {false, true, false}) {
        SCOPED_TRACE(closeFirst ? "closed first" : "destroyed outright");
        WriteFile("personaldictionary_es_en.txt", "casa\nhouse");
        Settings s;
        s.uploadNewTranslations = true;
        s.onlineUsername = "ana";
        s.onlinePassword = "pw";
        for (const PairEntry& e : PairsOf(PairList::Local))
            if (e.dictionaryCode == "es_en") s.localPairPosition = e.position;
        ASSERT_TRUE(SaveSettings(s));
        const size_t requestsBefore = server.Requests().size();
        CTalveroDlg::Parts parts = FakeServices();
        parts.dictionary = MakeLocalDictionary();
        auto* dlg = new CTalveroDlg(nullptr, std::move(parts));
        dlg->StartUp();
        Ctl<wxTextCtrl>(dlg, kNewText)->ChangeValue("gato");
        Ctl<wxTextCtrl>(dlg, kNewTranslation)->ChangeValue("cat");
        Click(dlg, kAdd);
        WaitPumping(5000, [&] { return server.Requests().size() == requestsBefore; });
        ASSERT_TRUE(dlg->IsUploading());
        if (closeFirst) dlg->Close();
        delete dlg;
        EXPECT_EQ(ReadFile("personaldictionary_es_en.txt"), "casa\nhouse\ngato\ncat");
        EXPECT_EQ(ReadFile("newtranslationsadded.txt"), "gato\ncat");
        DrainEvents();  // nothing left behind may run into the destroyed window
        if (threadsBefore)
            EXPECT_LE(ThreadsRunning(), *threadsBefore);
        else
            threadsBefore = ThreadsRunning();
    }
}

TEST_F(OnlineWindowTest, UpdateCheckAnnouncesOnTheWindowThreadAndEndsWithTheUsualTitle)
{
    UseServer(true);
    server.SetReply({200, "Current Version Update 100001"});
    bool onMainThread = false;
    SetMessageBoxHook([&](const MessageBoxCall& call) {
        boxes.push_back(call);
        onMainThread = wxIsMainThread();
        return wxOK;
    });
    CTalveroDlg dlg(nullptr, FakeServices());
    RunModal(dlg,
             [&] { WaitPumping(20000, [&] { return dlg.GetTitle() != "Talvero (127.0.0.1)"; }); });
    EXPECT_EQ(dlg.GetTitle(), "Talvero (127.0.0.1)");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(onMainThread);
    EXPECT_EQ(boxes[0].text, "There is available a new version of the program. Please, visit " +
                                 server.BaseAddress() + " and download it.");
}

TEST_F(OnlineWindowTest, ClosingWhileTheCheckStallsEndsAtOnce)
{
    UseServer(true);
    loopback::Reply hang;
    hang.hang = true;
    server.SetReply(hang);
    auto start = std::chrono::steady_clock::now();
    {
        CTalveroDlg dlg(nullptr, FakeServices());
        RunModal(dlg, [&] {
            WaitPumping(20000, [&] { return server.Requests().empty(); });
            EXPECT_NE(dlg.GetTitle(), "Talvero (127.0.0.1)");
            start = std::chrono::steady_clock::now();
        });
    }
    // A window that waited for the stalled check would end only when the request gives up,
    // at its stall limit: the margin to it leaves room for a busy machine.
    EXPECT_LT(std::chrono::steady_clock::now() - start,
              std::chrono::milliseconds(OnlineLimits().stallTimeoutMs));
}

}  // namespace

}  // namespace talvero
