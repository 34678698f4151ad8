#include <gtest/gtest.h>

#include <string>

#include "speech/Voice.h"
#include "tests/speech/SpeechTestSupport.h"

namespace talvero {

namespace {

// Every row, spoken into a WAV file: the file has the row's rate, bits and channels, and the
// same speech (length and loudness) as the synthesizer's own format.
class VoiceFormatRows : public ::testing::TestWithParam<int> {
protected:
    static void SetUpTestSuite() { reference = new WavFile(Speak(kDefaultVoiceFormatRow)); }
    static void TearDownTestSuite() { delete reference; }
    static WavFile Speak(int row)
    {
        std::string error, path = TempPath("row" + std::to_string(row) + ".wav");
        auto voice = MakeEspeakVoice(MakeWavAudioSink(path, false, error), error);
        EXPECT_TRUE(voice) << error;
        voice->SetFormatRow(row);
        voice->Speak("Seven silver swans swam south.");
        EXPECT_TRUE(voice->WaitUntilIdle(5000));
        voice.reset();
        return ReadWav(path);
    }
    static WavFile* reference;
};
WavFile* VoiceFormatRows::reference = nullptr;

TEST_P(VoiceFormatRows, FileCarriesTheRowsFormat)
{
    const VoiceFormatRow* row = VoiceFormatAt(GetParam());
    ASSERT_TRUE(row);
    EXPECT_EQ(row->formatNumber, GetParam() + 4);
    WavFile wav = Speak(GetParam());
    ASSERT_TRUE(wav.ok);
    EXPECT_EQ(wav.rate, row->format.rate);
    EXPECT_EQ(wav.channels, row->format.channels);
    EXPECT_EQ(wav.subformat, row->format.bits == 8 ? SF_FORMAT_PCM_U8 : SF_FORMAT_PCM_16);
    // The combo's text says the same: "22kHz 16 Bit Stereo".
    std::string text = row->text;
    EXPECT_EQ(text.find(std::to_string(row->format.bits) + " Bit"), text.find(' ') + 1);
    EXPECT_NE(text.find(row->format.channels == 2 ? "Stereo" : "Mono"), std::string::npos);
    EXPECT_EQ(std::stoi(text), row->format.rate / 1000);
    EXPECT_NEAR(wav.Seconds(), reference->Seconds(), 0.01);
    EXPECT_NEAR(wav.Rms(), reference->Rms(), reference->Rms() * 0.05);
}

INSTANTIATE_TEST_SUITE_P(AllRows, VoiceFormatRows, ::testing::Range(0, kVoiceFormatCount));

TEST(VoiceFormat, RowsOutsideTheTableAndUnknownFormats)
{
    EXPECT_EQ(VoiceFormatAt(-1), nullptr);
    EXPECT_EQ(VoiceFormatAt(36), nullptr);
    EXPECT_EQ(VoiceFormatRowOf({22050, 16, 1}), 18);
    EXPECT_EQ(VoiceFormatRowOf({44100, 24, 2}), -1);
    EXPECT_EQ(VoiceWordsPerMinute(-10), 80);
    EXPECT_EQ(VoiceWordsPerMinute(0), 175);
    EXPECT_EQ(VoiceWordsPerMinute(10), 450);
}

}  // namespace

}  // namespace talvero
