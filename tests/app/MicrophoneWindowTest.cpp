// Dictation through the desktop's default audio input (no TALVERO_AUDIO_IN): ALSA's "default"
// device is a file device reading recorded speech, set up in a private ~/.asoundrc. A program of
// its own, as PortAudio reads the ALSA set-up once per process.
#include <stdlib.h>

#include "WindowTestSupport.h"
#include "res/Ids.h"
#include "tests/speech/RecognitionTestSupport.h"
#include "tests/support/GuiTestSupport.h"

namespace talvero {

namespace {

using namespace res::ctl;

TEST_F(WindowTest, DictationFromTheDefaultAudioInput)
{
    recotest::ScratchDir home;
    // 16-bit 16 kHz samples, as the recognizer asks the device for them.
    ASSERT_TRUE(recotest::Shell("sox " + recotest::GoForwardWav(home) + " -t raw '" +
                                home / "in.raw" + "'"));
    home.Write(".asoundrc", "pcm.!default { type file; slave.pcm \"null\"; file \"" +
                                home / "out.raw" + "\"; infile \"" + home / "in.raw" +
                                "\"; format \"raw\" }\n");
    setenv("HOME", home.path.c_str(), 1);
    unsetenv("TALVERO_AUDIO_IN");
    // Taken from the first event on: the device delivers the file at once.
    WriteFile("TalveroConfig.txt", "ACTIVATE SPEECH RECOGNITION\nYES\n");

    CTalveroDlg dlg(nullptr, FakeServices());
    dlg.Show();
    ASSERT_TRUE(dlg.IsRecognizing());
    EXPECT_TRUE(PumpUntil([&] { return !Text(&dlg, kHistory).empty(); }, 20000));
    EXPECT_EQ(Text(&dlg, kHistory), "go forward ten meters\n");
    EXPECT_EQ(Text(&dlg, kInput), "go forward ten meters");
}

}  // namespace

}  // namespace talvero
