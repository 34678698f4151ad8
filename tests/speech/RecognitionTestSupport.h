#pragma once
// Scratch directories and audio for the recognition tests: real recorded speech from Debian's
// pocketsphinx-testdata, phrases spoken by the program's voice into its WAV sink, silence and
// broken files made with sox.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "speech/AudioSink.h"
#include "speech/Voice.h"

namespace talvero {

namespace recotest {

inline const std::string kTestData = "/usr/share/pocketsphinx/test/data";

class ScratchDir {
public:
    ScratchDir()
    {
        char pattern[] = "/tmp/talvero-speech-XXXXXX";
        if (mkdtemp(pattern)) path = pattern;
    }
    ~ScratchDir() { std::filesystem::remove_all(path); }
    std::string operator/(const std::string& name) const { return path + "/" + name; }
    void Write(const std::string& name, const std::string& content) const
    {
        std::ofstream(path + "/" + name, std::ios::binary) << content;
    }
    std::string path;
};

inline bool Shell(const std::string& command)
{
    return std::system(command.c_str()) == 0;
}

// "go forward ten meters", recorded, as a 16 kHz WAV with half a second of quiet around it.
inline std::string GoForwardWav(const ScratchDir& dir, const std::string& soxOptions = "")
{
    std::string wav =
        dir / ("goforward" + std::to_string(std::hash<std::string>()(soxOptions)) + ".wav");
    Shell("sox -t raw -r 16000 -e signed -b 16 -c 1 " + kTestData + "/goforward.raw " + soxOptions +
          " '" + wav + "' pad 0.5 0.5");
    return wav;
}

// `text` spoken by the voice (espeak-ng, American English) into a WAV file, with pauses around
// it as a speaker leaves them.
inline std::string SpokenWav(const ScratchDir& dir, const std::string& name,
                             const std::string& text)
{
    std::string raw = dir / (name + "-raw.wav"), wav = dir / (name + ".wav");
    std::string error;
    {
        std::unique_ptr<IVoice> voice = MakeEspeakVoice(MakeWavAudioSink(raw, false, error), error);
        EXPECT_TRUE(voice) << error;
        if (!voice) return wav;
        const int american = FindVoice(voice->Voices(), "en-us");
        EXPECT_GE(american, 0);
        if (american >= 0) voice->SetVoice(voice->Voices()[american].id);
        voice->Speak(text);
        EXPECT_TRUE(voice->WaitUntilIdle(30000));
    }
    Shell("sox '" + raw + "' '" + wav + "' pad 0.5 0.8");
    return wav;
}

}  // namespace recotest

}  // namespace talvero
