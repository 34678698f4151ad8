#pragma once
// Where the voice's samples go: the default sound device, a WAV file, or nowhere (paced in real
// time, so that events, pause and purge behave as with a sound card). Only the voice's player
// thread calls a sink, except Interrupt().
#include <cstdint>
#include <memory>
#include <string>

#include "speech/VoiceFormat.h"

namespace talvero {

class IAudioSink {
public:
    virtual ~IAudioSink() = default;
    // Before the first write and at every change of format. False: this format cannot be
    // played; the writes that follow are dropped (paced nevertheless).
    virtual bool Open(const AudioFormat& format) = 0;
    // Blocks as a device does when its buffer is full.
    virtual void Write(const std::uint8_t* data, std::size_t bytes) = 0;
    // Returns once everything written has been heard.
    virtual void Drain() = 0;
    // Drops what is written but not yet heard.
    virtual void Abort() = 0;
    virtual void Pause() {}
    virtual void Resume() {}
    // From any thread: a blocked Write or Drain returns early (the voice is purging).
    virtual void Interrupt() {}
    // For messages: "sound device", "WAV file out.wav", "no sound device".
    virtual std::string Describe() const = 0;
};

// Discards the samples at the pace a sound card would play them.
std::unique_ptr<IAudioSink> MakeNullAudioSink();

// Writes a WAV file in the stream's format; the header is kept valid after every write, so the
// file can be read while it grows. A new format starts the file anew. `paced`: as fast as a
// sound card would play (the window), or as fast as the samples come (scripts). Null with
// `error` set when the file cannot be created.
std::unique_ptr<IAudioSink> MakeWavAudioSink(const std::string& path, bool paced,
                                             std::string& error);

// The default output device through PortAudio; null when the machine has none.
std::unique_ptr<IAudioSink> MakeDeviceAudioSink();

// Starts PortAudio once per process, with the complaints its ALSA and JACK probes would print
// on the terminal silenced; false when it cannot start. Every user of PortAudio starts it here.
bool InitializePortAudio();

// The sink a program gets: TALVERO_AUDIO_OUT=FILE.wav names a (paced) WAV sink, else the sound
// device, else the null sink, the device being looked for when the first speech starts. Never
// null. A note for the user lands in `note` when the WAV file
// could not be created.
std::unique_ptr<IAudioSink> MakeDefaultAudioSink(std::string* note = nullptr);

}  // namespace talvero
