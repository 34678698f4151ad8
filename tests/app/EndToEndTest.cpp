// The window with its real dictionary and real web engines against loopback servers.
#include "WindowTestSupport.h"
#include "catalogue/Catalogue.h"
#include "tests/support/LoopbackServer.h"

namespace talvero {

namespace {

class EndToEndTest : public WindowTest {
protected:
    loopback::HttpServer google, babelfish, freeTranslation;

    // The real dictionary and engines; speech and banners recorded.
    CTalveroDlg::Parts RealParts()
    {
        CTalveroDlg::Parts p;
        p.dictionary = MakeLocalDictionary();
        p.engines = MakeTranslationEngines(*p.dictionary);
        p.speech = std::make_unique<RecordingSpeech>(rec);
        p.banners = std::make_unique<RecordingBanners>(rec);
        return p;
    }

    void WriteServices()
    {
        WriteFile("TalveroServices.txt",
                  "GOOGLE FORM ADDRESS\n" + google.BaseAddress() + "\nBABELFISH FORM ADDRESS\n" +
                      babelfish.BaseAddress() + "\nFREETRANSLATION FORM ADDRESS\n" +
                      freeTranslation.BaseAddress() + "\n");
    }
};

TEST_F(EndToEndTest, TranslateRunsTheTickedEnginesAndTheLocalDictionary)
{
    google.SetReply({200, loopback::GooglePage("the dog")});
    babelfish.SetReply({500, "server error"});
    freeTranslation.SetReply({200, loopback::FreeTranslationPage("dog")});
    WriteServices();
    WriteFile("localdictionary_es_en.txt",
              "el\nthe\nperro\ndog\nel perro\nthe dog\nel gato\nthe cat");
    WriteFile("personaldictionary_es_en.txt", "el perro grande\nthe big dog");
    WriteFile("TalveroConfig.txt",
              "USE GOOGLE\nYES\nUSE BABELFISH\nYES\nUSE LOCAL DICTIONARY\nYES\n"
              "SPEAK GOOGLE TRANSLATION\nYES\nSPEAK BABELFISH TRANSLATION\nYES\n"
              "SPEAK LOCAL DICTIONARY TRANSLATION\nYES\n");
    CTalveroDlg dlg(nullptr, RealParts());
    dlg.Show();
    EXPECT_TRUE(boxes.empty());
    for (int id : {1002, 1003, 1004, 1005})
        Ctl<wxTextCtrl>(&dlg, id)->ChangeValue("before");
    Ctl<wxTextCtrl>(&dlg, 1000)->ChangeValue(" el perro ");
    Click(&dlg, 1032);
    WaitPumping(10000, [&] { return dlg.IsTranslating(); });  // the window goes on meanwhile

    EXPECT_EQ(Text(&dlg, 1002), "the dog");
    EXPECT_EQ(Text(&dlg, 1003), "before");  // failed: keeps its text
    EXPECT_EQ(Text(&dlg, 1004), "before");  // not ticked
    EXPECT_EQ(Text(&dlg, 1005), "the dog");
    auto* nearList = Ctl<wxListBox>(&dlg, 1006);
    ASSERT_EQ(nearList->GetCount(), 2u);
    EXPECT_EQ(nearList->GetString(0), "el perro");
    EXPECT_EQ(nearList->GetString(1), "el perro grande");
    EXPECT_EQ(rec.spoken, (std::vector<std::string>{"the dog", "the dog"}));  // Google, local
    ASSERT_EQ(rec.banners.size(), 1u);  // source 0: the local dictionary
    EXPECT_EQ(rec.banners[0].text, "el perro:\nthe dog");
    ASSERT_EQ(google.Requests().size(), 1u);
    EXPECT_EQ(loopback::Field(google.Requests()[0].form, "text"), "el perro");
    EXPECT_EQ(babelfish.Requests().size(), 1u);
    EXPECT_TRUE(freeTranslation.Requests().empty());

    // Double-clicking a near match puts its translation into the local box.
    nearList->SetSelection(1);
    wxCommandEvent dbl(wxEVT_LISTBOX_DCLICK, 1006);
    dbl.SetEventObject(nearList);
    nearList->GetEventHandler()->ProcessEvent(dbl);
    EXPECT_EQ(Text(&dlg, 1005), "the big dog");
}

TEST_F(EndToEndTest, PairSwitchLoadsTheOtherPairsFilesAndReportsTheMissingOne)
{
    WriteServices();
    WriteFile("localdictionary_es_en.txt", "hola\nhello");
    WriteFile("personaldictionary_es_en.txt", "adios\nbye");
    WriteFile("localdictionary_sv_es.txt", "hej\nhola");
    WriteFile("TalveroConfig.txt", "USE LOCAL DICTIONARY\nYES\n");
    CTalveroDlg dlg(nullptr, RealParts());
    dlg.Show();
    ASSERT_TRUE(boxes.empty());

    int sv = -1;
    for (const PairEntry& e : PairsOf(PairList::Local))
        if (e.dictionaryCode == "sv_es") sv = e.position;
    Choose(&dlg, 1036, sv);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Could not open the file: personaldictionary_sv_es.txt");

    Ctl<wxTextCtrl>(&dlg, 1000)->ChangeValue("hej");
    Click(&dlg, 1032);
    EXPECT_EQ(Text(&dlg, 1005), "hola");
    Ctl<wxTextCtrl>(&dlg, 1000)->ChangeValue("hola");  // the previous pair's entry is gone
    Click(&dlg, 1032);
    EXPECT_EQ(Text(&dlg, 1005), "hola");
    EXPECT_EQ(Ctl<wxListBox>(&dlg, 1006)->GetCount(), 0u);
}

}  // namespace

}  // namespace talvero
