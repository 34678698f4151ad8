#include <stdlib.h>

#include <wx/button.h>
#include <wx/combobox.h>

#include "WindowTestSupport.h"
#include "app/DesktopSpeech.h"
#include "app/gui/TalveroEvents.h"
#include "base/CodePage.h"
#include "res/Ids.h"
#include "tests/speech/RecognitionTestSupport.h"
#include "tests/support/GuiTestSupport.h"

namespace talvero {

namespace {

using namespace res::ctl;

// The window with recorded speech ("go forward ten meters") as its audio input.
class DictationWindowTest : public WindowTest {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        setenv("TALVERO_AUDIO_IN", recotest::GoForwardWav(audio).c_str(), 1);
    }
    void TearDown() override
    {
        unsetenv("TALVERO_AUDIO_IN");
        unsetenv("TALVERO_RECOGNIZER_MODELS");
        WindowTest::TearDown();
    }
    // Lets the window run until all of the audio has been heard and handled.
    static void Listen(CTalveroDlg& dlg) { HearToTheEnd(dlg); }
    // The audio is spoken in its own time; the deadline only keeps a broken test from hanging.
    static void HearToTheEnd(CTalveroDlg& dlg, double deadlineMs = 30000)
    {
        WaitPumping(deadlineMs, [&] { return !dlg.HeardRecognitionToTheEnd(); });
        DrainEvents();
    }
    recotest::ScratchDir audio;
};

TEST_F(DictationWindowTest, FinalResultTidiedIntoInputAndHistory)
{
    CTalveroDlg dlg(nullptr, FakeServices());
    dlg.Show();
    ASSERT_TRUE(dlg.IsRecognizing());
    EXPECT_EQ(Ctl<wxChoice>(&dlg, kEngine)->GetStringSelection(),
              "English (United States) (en-us)");
    Toggle(&dlg, kRecognition, true);
    Toggle(&dlg, kUppercase, true);
    Toggle(&dlg, kPunctuationMarks, true);  // pattern 1, "¿Text?", is selected at start-up
    Listen(dlg);
    const wxString expected = wxString::FromUTF8("\xC2\xBFGo forward ten meters?");
    EXPECT_EQ(Ctl<wxTextCtrl>(&dlg, kInput)->GetValue(), expected);
    EXPECT_EQ(Ctl<wxTextCtrl>(&dlg, kHistory)->GetValue(), expected + "\n");
    EXPECT_EQ(Ctl<wxTextCtrl>(&dlg, kHypothesis)->GetValue().Last(), ' ');
    EXPECT_EQ(dlg.LastRecognizedText(), "go forward ten meters ");
}

TEST_F(DictationWindowTest, CopyOnlyToHistoryLeavesTheInput)
{
    CTalveroDlg dlg(nullptr, FakeServices());
    dlg.Show();
    Toggle(&dlg, kRecognition, true);
    Toggle(&dlg, kCopyOnlyToHistory, true);
    Ctl<wxComboBox>(&dlg, kPunctuation)->SetValue("edited");  // no selection: no punctuation
    Toggle(&dlg, kPunctuationMarks, true);
    Listen(dlg);
    EXPECT_EQ(Ctl<wxTextCtrl>(&dlg, kInput)->GetValue(), "");
    EXPECT_EQ(Ctl<wxTextCtrl>(&dlg, kHistory)->GetValue(), "go forward ten meters\n");
}

TEST_F(DictationWindowTest, NothingTakenWhileOffDisabledOrSuspended)
{
    for (int state = 0; state < 3; ++state) {
        CTalveroDlg dlg(nullptr, FakeServices());
        dlg.Show();
        Toggle(&dlg, kRecognition, state != 0);
        if (state == 1) dlg.SetDisabled(true);
        if (state == 2) dlg.SuspendRecognition(true);
        HearToTheEnd(dlg);
        EXPECT_TRUE(dlg.HeardRecognitionToTheEnd()) << state;
        EXPECT_EQ(Ctl<wxTextCtrl>(&dlg, kHistory)->GetValue(), "") << state;
        EXPECT_EQ(Ctl<wxTextCtrl>(&dlg, kHypothesis)->GetValue(), "") << state;
        EXPECT_EQ(Ctl<wxTextCtrl>(&dlg, kInput)->GetValue(), "") << state;
    }
}

// The real voice speaks the first phrase back while the recognizer listens: recognition rests
// while the voice speaks and goes on afterwards, so the phrase said again later is heard.
TEST_F(DictationWindowTest, DictationGoesOnAfterTheVoiceHasSpoken)
{
    const std::string once = recotest::GoForwardWav(audio);
    const std::string quiet = audio / "quiet.wav", twice = audio / "twice.wav";
    ASSERT_TRUE(recotest::Shell("sox '" + once + "' '" + quiet + "' pad 0 6 && sox '" + quiet +
                                "' '" + once + "' '" + twice + "'"));
    setenv("TALVERO_AUDIO_IN", twice.c_str(), 1);
    WriteFile("TalveroConfig.txt",
              "ACTIVATE SPEECH RECOGNITION\nYES\nSPEAK RECOGNIZED TEXT WITH TTS\nYES\n"
              "SUSPEND TEXT RECOGNITION DURING TTS\nYES\n"
              "TIME DELAY BEFORE AUTOMATIC TRANSLATION\n0\n");
    std::string error;
    auto voice = MakeEspeakVoice(MakeWavAudioSink(audio / "spoken.wav", true, error), error);
    ASSERT_TRUE(voice) << error;
    CTalveroDlg::Parts parts = FakeServices();
    parts.speech = std::make_unique<DesktopSpeech>(std::move(voice));
    CTalveroDlg dlg(nullptr, std::move(parts));
    dlg.Show();
    auto* history = Ctl<wxTextCtrl>(&dlg, kHistory);
    WaitPumping(40000, [&] { return history->GetNumberOfLines() < 3; });
    EXPECT_EQ(history->GetValue(), "go forward ten meters\ngo forward ten meters\n");
}

// The voice speaks over the first phrase: that one is not taken, and the recognizer is back
// when the voice ends, through the speech layer alone (no event of the recognizer wakes it),
// so the phrase said later is.
TEST_F(DictationWindowTest, RecognitionHeldOffWhileTheVoiceSpeaksIsBackWhenItEnds)
{
    const std::string once = recotest::GoForwardWav(audio);
    const std::string late = audio / "late.wav", input = audio / "input.wav";
    ASSERT_TRUE(recotest::Shell("sox '" + once + "' '" + late + "' pad 1 8 && sox '" + late +
                                "' '" + once + "' '" + input + "'"));
    setenv("TALVERO_AUDIO_IN", input.c_str(), 1);
    WriteFile("TalveroConfig.txt",
              "ACTIVATE SPEECH RECOGNITION\nYES\nSUSPEND TEXT RECOGNITION DURING TTS\nYES\n");
    std::string error;
    auto voice = MakeEspeakVoice(MakeWavAudioSink(audio / "spoken.wav", true, error), error);
    ASSERT_TRUE(voice) << error;
    CTalveroDlg::Parts parts = FakeServices();
    parts.speech = std::make_unique<DesktopSpeech>(std::move(voice));
    CTalveroDlg dlg(nullptr, std::move(parts));
    dlg.Show();
    dlg.Speech().SpeakText(
        "the voice goes on speaking for a while, long enough to cover all of "
        "the first phrase that the recognizer hears from its input");
    auto* history = Ctl<wxTextCtrl>(&dlg, kHistory);
    HearToTheEnd(dlg, 40000);
    EXPECT_EQ(history->GetValue(), "go forward ten meters\n");
}

TEST_F(DictationWindowTest, EngineThatCannotListenSaysSo)
{
    setenv("TALVERO_AUDIO_IN", "/nonexistent.wav", 1);
    CTalveroDlg dlg(nullptr, FakeServices());
    dlg.Show();  // at start-up a failure is silent
    EXPECT_FALSE(dlg.IsRecognizing());
    EXPECT_TRUE(boxes.empty());
    Choose(&dlg, kEngine, 0);
    ASSERT_TRUE(PumpUntil([&] { return !boxes.empty(); }, 20000));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Error recocontext fail");
    EXPECT_TRUE(boxes[0].style & wxICON_WARNING);
    EXPECT_FALSE(dlg.IsRecognizing());
}

// Two engines, "en-gb" and "en-us", both the installed model under other names.
std::string TwoEngines(const recotest::ScratchDir& root)
{
    namespace fs = std::filesystem;
    const fs::path real = fs::path(DefaultRecognizerModelRoot()) / "en-us";
    for (const std::string tag : {"en-gb", "en-us"}) {
        fs::create_directories(root / tag);
        fs::create_directory_symlink(real / "en-us", root / (tag + "/" + tag));
        fs::create_symlink(real / "en-us.lm.bin", root / (tag + "/" + tag + ".lm.bin"));
        fs::create_symlink(real / "cmudict-en-us.dict", root / (tag + "/cmudict-" + tag + ".dict"));
    }
    return root.path;
}

TEST_F(DictationWindowTest, EngineChangeLoadsAsideKeepsTheLastChoiceAndBringsANewVoice)
{
    recotest::ScratchDir models;
    setenv("TALVERO_RECOGNIZER_MODELS", TwoEngines(models).c_str(), 1);
    const std::string voiceWav = audio / "voice.wav";
    CTalveroDlg::Parts parts = FakeServices();
    parts.speech = std::make_unique<DesktopSpeech>([&] {
        std::string error;
        return MakeEspeakVoice(MakeWavAudioSink(voiceWav, true, error), error);
    });
    {
        CTalveroDlg dlg(nullptr, std::move(parts));
        dlg.Show();
        ASSERT_EQ(dlg.RecognitionLanguage(), "en-gb");
        IVoice* voice = dlg.Speech().Voice();
        const VoiceInfo standard = voice->CurrentVoice();
        ASSERT_TRUE(voice->SetVoice(voice->Voices().at(FindVoice(voice->Voices(), "en-us")).id));
        voice->SetRate(7);
        Ctl<wxTextCtrl>(&dlg, kVoiceName)->ChangeValue("chosen earlier");
        Click(&dlg, kPause);

        // The second choice arrives while the first engine loads: the window is not held up,
        // and the last choice wins.
        Choose(&dlg, kEngine, 1);
        Choose(&dlg, kEngine, 0);
        Choose(&dlg, kEngine, 1);
        EXPECT_TRUE(dlg.IsLoadingRecognitionEngine());
        EXPECT_FALSE(dlg.IsRecognizing());
        ASSERT_TRUE(PumpUntil([&] { return !dlg.IsLoadingRecognitionEngine(); }, 30000));
        EXPECT_EQ(dlg.RecognitionLanguage(), "en-us");
        EXPECT_TRUE(boxes.empty());

        // Nothing chosen for the old voice carries over; the new one reports to the window.
        voice = dlg.Speech().Voice();
        ASSERT_TRUE(voice);
        EXPECT_EQ(voice->CurrentVoice().id, standard.id);
        EXPECT_EQ(voice->Rate(), 0);
        EXPECT_EQ(Text(&dlg, kVoiceName), standard.description);
        EXPECT_FALSE(voice->IsPaused());
        EXPECT_EQ(Ctl<wxButton>(&dlg, kPause)->GetLabel(), "Pause");
        dlg.MutableSettings().activateSpeechRecognition = true;
        dlg.MutableSettings().suspendRecognitionDuringTts = true;
        dlg.Speech().SpeakText("hello");
        EXPECT_TRUE(PumpUntil([&] { return dlg.Speech().SpeechSuspended(); }, 10000));

        Choose(&dlg, kEngine, 0);  // the window closes while this engine loads
    }
}

}  // namespace

}  // namespace talvero
