// The window's voice: a translation spoken into a WAV file (real espeak-ng, no sound card),
// Pause/Resume, Stop, Repeat, the voice dialog and the tray's Disable.
#include <wx/app.h>
#include <wx/slider.h>

#include "WindowTestSupport.h"
#include "app/DesktopSpeech.h"
#include "res/Ids.h"
#include "speech/gui/VoiceSelectionDlg.h"
#include "tests/speech/SpeechTestSupport.h"
#include "tests/support/GuiTestSupport.h"

namespace talvero {

namespace {

// The real speech layer; what it asks of the recognizer is recorded.
class SpeechWithRecognizerLog : public DesktopSpeech {
public:
    using DesktopSpeech::DesktopSpeech;
    std::vector<bool> recognizerActive;

protected:
    void SetRecognizerActive(bool active) override { recognizerActive.push_back(active); }
};

class VoiceWindowTest : public WindowTest {
protected:
    std::string wav;
    SpeechWithRecognizerLog* speech = nullptr;

    // The real dictionary and engines; the real voice into a WAV file paced like a sound card.
    CTalveroDlg::Parts Parts()
    {
        wav = (dir / "spoken.wav").string();
        std::string error;
        auto voice = MakeEspeakVoice(MakeWavAudioSink(wav, true, error), error);
        EXPECT_TRUE(voice) << error;
        CTalveroDlg::Parts p;
        p.dictionary = MakeLocalDictionary();
        p.engines = MakeTranslationEngines(*p.dictionary);
        p.speech = std::make_unique<SpeechWithRecognizerLog>(std::move(voice));
        speech = static_cast<SpeechWithRecognizerLog*>(p.speech.get());
        p.banners = std::make_unique<RecordingBanners>(rec);
        return p;
    }
    void LocalDictionaryThatSpeaks(const std::string& extraSettings = "")
    {
        WriteFile("localdictionary_es_en.txt",
                  "el perro\nthe dog\nel libro\nthe book that nobody in this village has ever "
                  "read from the first page to the last one");
        WriteFile(
            "TalveroConfig.txt",
            "USE LOCAL DICTIONARY\nYES\nSPEAK LOCAL DICTIONARY TRANSLATION\nYES\n" + extraSettings);
    }
    void TranslateInput(CTalveroDlg& dlg, const char* text)
    {
        Ctl<wxTextCtrl>(&dlg, 1000)->ChangeValue(text);
        Click(&dlg, 1032);
    }
    bool Idle() { return speech->Voice()->IsIdle(); }
};

TEST_F(VoiceWindowTest, TranslationIsSpokenAndRecognitionRestsWhileTheVoiceSpeaks)
{
    LocalDictionaryThatSpeaks(
        "ACTIVATE SPEECH RECOGNITION\nYES\nSUSPEND TEXT RECOGNITION DURING TTS\nYES\n");
    CTalveroDlg dlg(nullptr, Parts());
    dlg.Show();
    EXPECT_EQ(Text(&dlg, 1050), "English (Great Britain) - en-gb");
    TranslateInput(dlg, "el perro");
    EXPECT_EQ(Text(&dlg, 1005), "the dog");
    ASSERT_TRUE(PumpUntil([&] { return speech->SpeechSuspended(); }));
    ASSERT_TRUE(PumpUntil([&] { return Idle() && !speech->SpeechSuspended(); }, 10000));
    EXPECT_EQ(speech->recognizerActive, (std::vector<bool>{false, true}));

    WavFile w = ReadWav(wav);
    EXPECT_EQ(w.rate, 22050);
    EXPECT_GT(w.Seconds(), 0.4);  // "the dog", with its closing pause
    EXPECT_LT(w.Seconds(), 1.5);
    EXPECT_GT(w.Rms(), 1000);  // speech, not silence
}

TEST_F(VoiceWindowTest, PauseResumeStopAndRepeat)
{
    LocalDictionaryThatSpeaks();
    CTalveroDlg dlg(nullptr, Parts());
    dlg.Show();
    IVoice& voice = *speech->Voice();
    Click(&dlg, 1070);  // Repeat before anything was spoken: an empty text, nothing heard
    ASSERT_TRUE(PumpUntil([&] { return Idle(); }));
    EXPECT_EQ(ReadWav(wav).samples.size(), 0u);

    TranslateInput(dlg, "el libro");
    ASSERT_TRUE(PumpUntil([&] { return ReadWav(wav).Seconds() > 0.3; }));
    Click(&dlg, 1026);
    EXPECT_EQ(Ctl<wxButton>(&dlg, 1026)->GetLabel(), "Resume");
    EXPECT_TRUE(voice.IsPaused());
    Click(&dlg, 1016);  // Stop while paused: the queue is gone, the button still says Resume
    ASSERT_TRUE(PumpUntil([&] { return Idle(); }));
    EXPECT_EQ(Ctl<wxButton>(&dlg, 1026)->GetLabel(), "Resume");
    std::size_t stopped = ReadWav(wav).samples.size();
    Click(&dlg, 1026);
    EXPECT_EQ(Ctl<wxButton>(&dlg, 1026)->GetLabel(), "Pause");
    EXPECT_FALSE(voice.IsPaused());
    DrainEvents();
    EXPECT_TRUE(Idle());  // nothing left to resume: no sample can follow
    EXPECT_EQ(ReadWav(wav).samples.size(), stopped);

    Click(&dlg, 1070);  // Repeat: the translation once more, whole
    ASSERT_TRUE(PumpUntil([&] { return !Idle(); }));
    ASSERT_TRUE(PumpUntil([&] { return Idle(); }, 20000));
    EXPECT_GT(ReadWav(wav).Seconds() - double(stopped) / 22050, 3.0);
}

TEST_F(VoiceWindowTest, TrayDisableSilencesTheVoice)
{
    LocalDictionaryThatSpeaks();
    CTalveroDlg dlg(nullptr, Parts());
    dlg.Show();
    TranslateInput(dlg, "el libro");
    ASSERT_TRUE(PumpUntil([&] { return ReadWav(wav).Seconds() > 0.2; }));
    wxCommandEvent disable(wxEVT_MENU, ID_TRAY_DISABLE);
    dlg.GetEventHandler()->ProcessEvent(disable);
    EXPECT_TRUE(dlg.IsDisabled());
    ASSERT_TRUE(PumpUntil([&] { return Idle(); }, 500));
    EXPECT_LT(ReadWav(wav).Seconds(), 1.5);
}

// Runs `drive` inside the voice dialog that Select opens.
void WithVoiceDialog(CTalveroDlg& dlg, std::function<void(CVoiceSelectionDlg*)> drive)
{
    dlg.CallAfter([drive] {
        for (wxWindow* w : wxTopLevelWindows)
            if (auto* d = dynamic_cast<CVoiceSelectionDlg*>(w))
                d->CallAfter([d, drive] { drive(d); });
    });
    Click(&dlg, 1027);
}

TEST_F(VoiceWindowTest, VoiceDialogAppliesOnOkRemembersItsPositionsAndCancelKeepsThem)
{
    CTalveroDlg dlg(nullptr, Parts());
    dlg.Show();
    IVoice& voice = *speech->Voice();
    int spanish = -1, formatShown = -1;
    WithVoiceDialog(dlg, [&](CVoiceSelectionDlg* d) {
        auto* voices = Ctl<wxChoice>(d, 1028);
        EXPECT_EQ(voices->GetStringSelection(), "English (Great Britain) - en-gb");
        EXPECT_GT(voices->GetCount(), 50u);
        formatShown = Ctl<wxChoice>(d, 1031)->GetSelection();
        EXPECT_EQ(Ctl<wxSlider>(d, 1029)->GetMin(), -10);
        EXPECT_EQ(Ctl<wxSlider>(d, 1030)->GetValue(), 100);
        spanish = voices->FindString("Spanish (Spain) - es");
        Choose(d, 1028, spanish);
        Ctl<wxSlider>(d, 1029)->SetValue(4);
        Ctl<wxSlider>(d, 1030)->SetValue(60);
        Choose(d, 1031, 31);
        Click(d, 1);
    });
    EXPECT_EQ(formatShown, 18);
    EXPECT_EQ(Text(&dlg, 1050), "Spanish (Spain) - es");
    EXPECT_EQ(voice.Rate(), 4);
    EXPECT_EQ(voice.Volume(), 60);
    EXPECT_EQ(voice.FormatRow(), 31);

    // Second opening: the positions of the first; Cancel applies none of the changes.
    WithVoiceDialog(dlg, [&](CVoiceSelectionDlg* d) {
        EXPECT_EQ(Ctl<wxChoice>(d, 1028)->GetSelection(), spanish);
        EXPECT_EQ(Ctl<wxChoice>(d, 1031)->GetStringSelection(), "44kHz 16 Bit Stereo");
        EXPECT_EQ(Ctl<wxSlider>(d, 1029)->GetValue(), 4);
        Choose(d, 1028, 0);
        Ctl<wxSlider>(d, 1029)->SetValue(-8);
        Choose(d, 1031, 0);
        Click(d, 2);
    });
    EXPECT_EQ(voice.CurrentVoice().language, "es");
    EXPECT_EQ(voice.Rate(), 4);
    EXPECT_EQ(voice.FormatRow(), 31);

    // What is spoken now comes out in that format.
    LocalDictionaryThatSpeaks();
    voice.Speak("hola");
    ASSERT_TRUE(PumpUntil([&] { return Idle(); }));
    WavFile w = ReadWav(wav);
    EXPECT_EQ(w.rate, 44100);
    EXPECT_EQ(w.channels, 2);
}

TEST_F(VoiceWindowTest, WithoutAVoiceTheButtonsAndTheDialogDoNothingHarmful)
{
    CTalveroDlg dlg(nullptr, FakeServices());  // a speech layer with no voice
    dlg.Show();
    EXPECT_EQ(Text(&dlg, 1050), "");
    for (int id : {1016, 1026, 1070})
        Click(&dlg, id);
    EXPECT_EQ(Ctl<wxButton>(&dlg, 1026)->GetLabel(), "Resume");
    unsigned formats = 0, voices = 1;
    WithVoiceDialog(dlg, [&](CVoiceSelectionDlg* d) {
        formats = Ctl<wxChoice>(d, 1031)->GetCount();
        voices = Ctl<wxChoice>(d, 1028)->GetCount();
        Click(d, 1);
    });
    EXPECT_EQ(formats, 36u);
    EXPECT_EQ(voices, 0u);
}

}  // namespace

}  // namespace talvero
