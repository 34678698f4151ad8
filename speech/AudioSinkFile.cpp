// The sinks without a sound card: the null sink and the WAV file.
#include <sndfile.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <mutex>

#include "speech/AudioSink.h"

namespace talvero {

namespace {

using Clock = std::chrono::steady_clock;

// Plays nothing but takes as long as playing would: a write returns once the audio before it
// would have been heard, less a device-sized buffer.
class Pacer {
public:
    void Start(const AudioFormat& f)
    {
        bytesPerSecond = f.BytesPerSecond();
        Reset();
    }
    void Reset() { heardAt = Clock::now(); }
    void Written(std::size_t bytes)
    {
        auto now = Clock::now();
        if (heardAt < now) heardAt = now;
        heardAt += std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double>(double(bytes) / std::max(1, bytesPerSecond)));
        WaitUntil(heardAt - kBuffer);
    }
    void Drain() { WaitUntil(heardAt); }
    void Interrupt()
    {
        std::lock_guard lock(mutex);
        ++interrupts;
        cv.notify_all();
    }

private:
    void WaitUntil(Clock::time_point t)
    {
        std::unique_lock lock(mutex);
        unsigned seen = interrupts;
        cv.wait_until(lock, t, [&] { return interrupts != seen; });
    }

    static constexpr std::chrono::milliseconds kBuffer{40};
    int bytesPerSecond = 44100;
    Clock::time_point heardAt = Clock::now();
    std::mutex mutex;
    std::condition_variable cv;
    unsigned interrupts = 0;
};

class NullSink final : public IAudioSink {
public:
    bool Open(const AudioFormat& f) override
    {
        pacer.Start(f);
        return true;
    }
    void Write(const std::uint8_t*, std::size_t bytes) override { pacer.Written(bytes); }
    void Drain() override { pacer.Drain(); }
    void Abort() override { pacer.Reset(); }
    void Resume() override { pacer.Reset(); }
    void Interrupt() override { pacer.Interrupt(); }
    std::string Describe() const override { return "no sound device"; }

private:
    Pacer pacer;
};

class WavSink final : public IAudioSink {
public:
    WavSink(std::string path, bool paced) : path(std::move(path)), paced(paced) {}
    ~WavSink() override { Close(); }

    bool Create(const AudioFormat& f, std::string& error)
    {
        Close();
        SF_INFO info{};
        info.samplerate = f.rate;
        info.channels = f.channels;
        info.format = SF_FORMAT_WAV | (f.bits == 8 ? SF_FORMAT_PCM_U8 : SF_FORMAT_PCM_16);
        file = sf_open(path.c_str(), SFM_WRITE, &info);
        if (!file) {
            error = "cannot write the WAV file " + path + ": " + sf_strerror(nullptr);
            return false;
        }
        // Paced, the file is read while it grows (tests, a user's player); unpaced, one header
        // update at the end is enough and a rewrite per write would cost more than the audio.
        if (paced) sf_command(file, SFC_SET_UPDATE_HEADER_AUTO, nullptr, SF_TRUE);
        format = f;
        return true;
    }
    bool Open(const AudioFormat& f) override
    {
        pacer.Start(f);
        if (file && f == format) return true;
        std::string error;
        return Create(f, error);
    }
    void Write(const std::uint8_t* data, std::size_t bytes) override
    {
        // Raw bytes: the conversion already produced the file's sample layout.
        if (file) sf_write_raw(file, data, sf_count_t(bytes));
        if (paced) pacer.Written(bytes);
    }
    void Drain() override
    {
        if (paced) pacer.Drain();
    }
    void Abort() override { pacer.Reset(); }
    void Resume() override { pacer.Reset(); }
    void Interrupt() override { pacer.Interrupt(); }
    std::string Describe() const override { return "WAV file " + path; }

private:
    void Close()
    {
        if (file) sf_close(file);
        file = nullptr;
    }

    std::string path;
    bool paced;
    SNDFILE* file = nullptr;
    AudioFormat format;
    Pacer pacer;
};

}  // namespace

std::unique_ptr<IAudioSink> MakeNullAudioSink()
{
    return std::make_unique<NullSink>();
}

std::unique_ptr<IAudioSink> MakeWavAudioSink(const std::string& path, bool paced,
                                             std::string& error)
{
    auto sink = std::make_unique<WavSink>(path, paced);
    // Created at once in the voice's first format, so a bad path is known now, not at the first
    // word; an empty file is also a valid WAV of no samples.
    AudioFormat first = VoiceFormatAt(kDefaultVoiceFormatRow)->format;
    if (!sink->Create(first, error)) return nullptr;
    return sink;
}

namespace {

// The sound device, looked for when the first speech starts rather than at start-up: finding it
// reads the sound system's configuration and probes its devices, which costs memory and time
// that a window nobody listens to never needs back.
class DeviceOnFirstUse final : public IAudioSink {
public:
    DeviceOnFirstUse()
    {
        // Set here, on the thread that makes the voice, rather than on the player thread while
        // others may read the environment.
        setenv("JACK_NO_START_SERVER", "1", 1);
    }
    bool Open(const AudioFormat& format) override
    {
        if (!sink) {
            sink = MakeDeviceAudioSink();
            if (!sink) sink = MakeNullAudioSink();
            live.store(sink.get(), std::memory_order_release);
        }
        return sink->Open(format);
    }
    void Write(const std::uint8_t* data, std::size_t bytes) override { sink->Write(data, bytes); }
    void Drain() override
    {
        if (sink) sink->Drain();
    }
    void Abort() override
    {
        if (sink) sink->Abort();
    }
    void Pause() override
    {
        if (sink) sink->Pause();
    }
    void Resume() override
    {
        if (sink) sink->Resume();
    }
    void Interrupt() override
    {
        // Nothing waits in a sink that does not exist yet.
        if (IAudioSink* s = live.load(std::memory_order_acquire)) s->Interrupt();
    }
    std::string Describe() const override { return sink ? sink->Describe() : "sound device"; }

private:
    std::unique_ptr<IAudioSink> sink;  // the player thread's
    std::atomic<IAudioSink*> live{nullptr};
};

}  // namespace

std::unique_ptr<IAudioSink> MakeDefaultAudioSink(std::string* note)
{
    if (const char* out = std::getenv("TALVERO_AUDIO_OUT"); out && *out) {
        std::string error;
        if (auto sink = MakeWavAudioSink(out, true, error)) return sink;
        if (note) *note = error;
    }
    return std::make_unique<DeviceOnFirstUse>();
}

}  // namespace talvero
