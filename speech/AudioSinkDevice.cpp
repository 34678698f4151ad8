// The default sound device through PortAudio, which is opened when a program first plays or
// records rather than linked: with the JACK client and the database library it brings, it would
// otherwise be mapped and relocated at every start, also by a window that never speaks.
#include <alsa/asoundlib.h>
#include <dlfcn.h>
#include <portaudio.h>

#include <cstdlib>
#include <mutex>

#include "speech/AudioSink.h"

namespace talvero {

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

namespace {

// The calls this program makes, looked up in the library once it is opened. Each Pa_ function
// below forwards to its entry; none is called before InitializePortAudio has succeeded.
struct PortAudioCalls {
    decltype(&Pa_Initialize) initialize = nullptr;
    decltype(&Pa_GetDefaultOutputDevice) defaultOutput = nullptr;
    decltype(&Pa_GetDefaultInputDevice) defaultInput = nullptr;
    decltype(&Pa_GetDeviceInfo) deviceInfo = nullptr;
    decltype(&Pa_IsFormatSupported) isFormatSupported = nullptr;
    decltype(&Pa_OpenStream) openStream = nullptr;
    decltype(&Pa_StartStream) startStream = nullptr;
    decltype(&Pa_StopStream) stopStream = nullptr;
    decltype(&Pa_AbortStream) abortStream = nullptr;
    decltype(&Pa_CloseStream) closeStream = nullptr;
    decltype(&Pa_IsStreamStopped) isStreamStopped = nullptr;
    decltype(&Pa_ReadStream) readStream = nullptr;
    decltype(&Pa_WriteStream) writeStream = nullptr;
};
PortAudioCalls pa;

template <typename F>
bool Look(void* library, const char* name, F& into)
{
    into = reinterpret_cast<F>(dlsym(library, name));
    return into != nullptr;
}

// Opens the library and finds every call; the library's own dependencies (JACK) come along.
void* LoadPortAudio()
{
    void* library = dlopen("libportaudio.so.2", RTLD_NOW | RTLD_LOCAL);
    if (!library) return nullptr;
    PortAudioCalls calls;
    const bool all = Look(library, "Pa_Initialize", calls.initialize) &&
                     Look(library, "Pa_GetDefaultOutputDevice", calls.defaultOutput) &&
                     Look(library, "Pa_GetDefaultInputDevice", calls.defaultInput) &&
                     Look(library, "Pa_GetDeviceInfo", calls.deviceInfo) &&
                     Look(library, "Pa_IsFormatSupported", calls.isFormatSupported) &&
                     Look(library, "Pa_OpenStream", calls.openStream) &&
                     Look(library, "Pa_StartStream", calls.startStream) &&
                     Look(library, "Pa_StopStream", calls.stopStream) &&
                     Look(library, "Pa_AbortStream", calls.abortStream) &&
                     Look(library, "Pa_CloseStream", calls.closeStream) &&
                     Look(library, "Pa_IsStreamStopped", calls.isStreamStopped) &&
                     Look(library, "Pa_ReadStream", calls.readStream) &&
                     Look(library, "Pa_WriteStream", calls.writeStream);
    if (!all) {
        dlclose(library);
        return nullptr;
    }
    pa = calls;
    return library;
}

}  // namespace

extern "C" {
PaError Pa_Initialize()
{
    return pa.initialize();
}
PaDeviceIndex Pa_GetDefaultOutputDevice()
{
    return pa.defaultOutput();
}
PaDeviceIndex Pa_GetDefaultInputDevice()
{
    return pa.defaultInput();
}
const PaDeviceInfo* Pa_GetDeviceInfo(PaDeviceIndex device)
{
    return pa.deviceInfo(device);
}
PaError Pa_IsFormatSupported(const PaStreamParameters* in, const PaStreamParameters* out,
                             double rate)
{
    return pa.isFormatSupported(in, out, rate);
}
PaError Pa_OpenStream(PaStream** stream, const PaStreamParameters* in,
                      const PaStreamParameters* out, double rate, unsigned long frames,
                      PaStreamFlags flags, PaStreamCallback* callback, void* user)
{
    return pa.openStream(stream, in, out, rate, frames, flags, callback, user);
}
PaError Pa_StartStream(PaStream* stream)
{
    return pa.startStream(stream);
}
PaError Pa_StopStream(PaStream* stream)
{
    return pa.stopStream(stream);
}
PaError Pa_AbortStream(PaStream* stream)
{
    return pa.abortStream(stream);
}
PaError Pa_CloseStream(PaStream* stream)
{
    return pa.closeStream(stream);
}
PaError Pa_IsStreamStopped(PaStream* stream)
{
    return pa.isStreamStopped(stream);
}
PaError Pa_ReadStream(PaStream* stream, void* buffer, unsigned long frames)
{
    return pa.readStream(stream, buffer, frames);
}
PaError Pa_WriteStream(PaStream* stream, const void* buffer, unsigned long frames)
{
    return pa.writeStream(stream, buffer, frames);
}
}

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
        void* library = LoadPortAudio();
        if (!library) return;
        using JackSetter = void (*)(void (*)(const char*));
        for (const char* name : {"jack_set_error_function", "jack_set_info_function"})
            if (auto set = reinterpret_cast<JackSetter>(dlsym(library, name))) set(QuietJack);
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

}  // namespace talvero
