#pragma once
// Audio for the recognizer: 16 kHz mono 16-bit samples, from a WAV file (any common rate, width
// and channel count, converted) or from the default audio input.
#include <cstdint>
#include <memory>
#include <string>

namespace talvero {

inline constexpr int kRecognizerSampleRate = 16000;

class IRecognizerAudio {
public:
    virtual ~IRecognizerAudio() = default;
    // Fills up to `count` samples; blocks like a microphone when the source is live. Returns the
    // number of samples read, 0 at the end of the audio (a live source ends only when closed).
    virtual size_t Read(int16_t* samples, size_t count) = 0;
    // Makes a blocked or later Read return 0 (from any thread).
    virtual void Close() = 0;
};

// A WAV (or any file libsndfile reads) converted to the recognizer's format. With `paced`, Read
// delivers the audio no faster than it would be spoken. Null with `error` set when the file
// cannot be read as audio.
std::unique_ptr<IRecognizerAudio> OpenRecognizerWav(const std::string& path, bool paced,
                                                    std::string& error);

// The desktop's default audio input. Null with `error` set when there is no input device.
std::unique_ptr<IRecognizerAudio> OpenRecognizerMicrophone(std::string& error);

// The window's source: the file named by TALVERO_AUDIO_IN (paced) when it is set, else the
// default audio input.
std::unique_ptr<IRecognizerAudio> OpenRecognizerInput(std::string& error);

}  // namespace talvero
