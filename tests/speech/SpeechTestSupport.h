#pragma once
// WAV files read back for the speech tests, and a sink that records what reaches it.
#include <sndfile.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "speech/AudioSink.h"
#include "tests/support/TempDir.h"

namespace talvero {

struct WavFile {
    bool ok = false;
    int rate = 0, channels = 0, subformat = 0;
    std::vector<short> samples;  // interleaved
    double Seconds() const
    {
        return rate && channels ? double(samples.size()) / channels / rate : 0;
    }
    double Rms() const
    {
        double sum = 0;
        for (short s : samples)
            sum += double(s) * s;
        return samples.empty() ? 0 : std::sqrt(sum / samples.size());
    }
};

inline WavFile ReadWav(const std::string& path)
{
    WavFile w;
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (!f) return w;
    w.ok = true;
    w.rate = info.samplerate;
    w.channels = info.channels;
    w.subformat = info.format & SF_FORMAT_SUBMASK;
    w.samples.resize(std::size_t(info.frames * info.channels));
    sf_read_short(f, w.samples.data(), sf_count_t(w.samples.size()));
    sf_close(f);
    return w;
}

// A file in the test program's own temporary directory.
inline std::string TempPath(const std::string& name)
{
    static TempDir dir;
    return dir.File(name);
}

// Keeps every byte that reaches it; paced like a device when asked.
class RecordingSink : public IAudioSink {
public:
    explicit RecordingSink(bool paced = false) : paced(paced) {}
    bool Open(const AudioFormat& f) override
    {
        std::lock_guard lock(mutex);
        format = f;
        return true;
    }
    void Write(const std::uint8_t* data, std::size_t n) override
    {
        {
            std::lock_guard lock(mutex);
            bytes.insert(bytes.end(), data, data + n);
        }
        if (paced)
            std::this_thread::sleep_for(std::chrono::microseconds(
                std::int64_t(n * 1e6 / std::max(1, format.BytesPerSecond()))));
    }
    void Drain() override {}
    void Abort() override { ++aborts; }
    std::string Describe() const override { return "recording"; }

    std::size_t Size()
    {
        std::lock_guard lock(mutex);
        return bytes.size();
    }

    bool paced;
    std::mutex mutex;
    AudioFormat format;
    std::vector<std::uint8_t> bytes;
    std::atomic<int> aborts{0};
};

}  // namespace talvero
