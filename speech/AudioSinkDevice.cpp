// The default sound device through PortAudio.
#include <alsa/asoundlib.h>
#include <dlfcn.h>
#include <portaudio.h>

#include <cstdlib>
#include <mutex>

#include "speech/AudioSink.h"

namespace {

void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}
void QuietJack(const char*) {}

class DeviceSink final : public IAudioSink {
public:
    ~DeviceSink() override { Close(); }

    bool Open(const AudioFormat& f) override
    {
        Close();
        PaStreamParameters out{};
        out.device = Pa_GetDefaultOutputDevice();
        if (out.device == paNoDevice) return false;
        const PaDeviceInfo* info = Pa_GetDeviceInfo(out.device);
        out.channelCount = f.channels;
        out.sampleFormat = f.bits == 8 ? paUInt8 : paInt16;
        out.suggestedLatency = info ? info->defaultLowOutputLatency : 0.05;
        if (Pa_OpenStream(&stream, nullptr, &out, f.rate, paFramesPerBufferUnspecified, paNoFlag,
                          nullptr, nullptr) != paNoError) {
            stream = nullptr;
            return false;
        }
        frameBytes = f.FrameBytes();
        return true;
    }
    void Write(const std::uint8_t* data, std::size_t bytes) override
    {
        if (!stream) return;
        if (Pa_IsStreamStopped(stream) == 1) Pa_StartStream(stream);
        // An underflow after a pause or a gap is expected and not worth a message.
        Pa_WriteStream(stream, data, static_cast<unsigned long>(bytes / frameBytes));
    }
    void Drain() override
    {
        if (stream && Pa_IsStreamStopped(stream) == 0) Pa_StopStream(stream);
    }
    void Abort() override
    {
        if (stream && Pa_IsStreamStopped(stream) == 0) Pa_AbortStream(stream);
    }
    // A stopped stream plays what it holds and then nothing: the device stays quiet and idle.
    void Pause() override { Drain(); }
    std::string Describe() const override { return "sound device"; }

private:
    void Close()
    {
        if (stream) Pa_CloseStream(stream);
        stream = nullptr;
    }

    PaStream* stream = nullptr;
    int frameBytes = 2;
};

}  // namespace

// PortAudio probes ALSA, JACK and OSS at start and each of them prints its complaints on the
// terminal; a machine without sound would show a wall of them. Silence them before the probe.
// JACK comes in through PortAudio, so its setters are looked up rather than linked.
bool InitializePortAudio()
{
    static std::once_flag once;
    static bool ok = false;
    std::call_once(once, [] {
        snd_lib_error_set_handler(QuietAlsa);
        // Not overwritten when set: this may run while other threads read the environment.
        setenv("JACK_NO_START_SERVER", "1", 0);
        using JackSetter = void (*)(void (*)(const char*));
        for (const char* name : {"jack_set_error_function", "jack_set_info_function"})
            if (auto set = reinterpret_cast<JackSetter>(dlsym(RTLD_DEFAULT, name))) set(QuietJack);
        ok = Pa_Initialize() == paNoError;
        // Never terminated: the library stays for the life of the process, as the device does.
    });
    return ok;
}

std::unique_ptr<IAudioSink> MakeDeviceAudioSink()
{
    if (!InitializePortAudio() || Pa_GetDefaultOutputDevice() == paNoDevice) return nullptr;
    return std::make_unique<DeviceSink>();
}
