#include "speech/RecognizerAudio.h"

#include <portaudio.h>
#include <sndfile.h>
#include <soxr.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "speech/AudioSink.h"

namespace talvero {

namespace {

int16_t ToSample(float v)
{
    float s = std::lround(v * 32767.0f);
    return static_cast<int16_t>(std::clamp(s, -32768.0f, 32767.0f));
}

// Converts a stream of mono float samples at `inRate` to 16 kHz 16-bit samples.
class RateConverter {
public:
    explicit RateConverter(double inRate) : inRate(inRate)
    {
        if (inRate == kRecognizerSampleRate) return;
        soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_INT16_I);
        soxr_quality_spec_t quality = soxr_quality_spec(SOXR_MQ, 0);
        soxr_error_t err = nullptr;
        soxr = soxr_create(inRate, kRecognizerSampleRate, 1, &err, &io, &quality, nullptr);
        if (err) soxr = nullptr;
    }
    ~RateConverter()
    {
        if (soxr) soxr_delete(soxr);
    }
    RateConverter(const RateConverter&) = delete;
    RateConverter& operator=(const RateConverter&) = delete;

    bool Ok() const { return inRate == kRecognizerSampleRate || soxr; }

    // Appends the converted form of `in` to `out`; an empty `in` drains what the filter holds.
    void Convert(const std::vector<float>& in, std::deque<int16_t>& out)
    {
        if (!soxr) {
            for (float v : in)
                out.push_back(ToSample(v));
            return;
        }
        size_t room = static_cast<size_t>(in.size() * kRecognizerSampleRate / inRate) + 256;
        std::vector<int16_t> buf(room);
        size_t inDone = 0, outDone = 0;
        if (in.empty()) {
            do {
                soxr_process(soxr, nullptr, 0, nullptr, buf.data(), buf.size(), &outDone);
                out.insert(out.end(), buf.begin(), buf.begin() + outDone);
            } while (outDone > 0);
            return;
        }
        soxr_process(soxr, in.data(), in.size(), &inDone, buf.data(), buf.size(), &outDone);
        out.insert(out.end(), buf.begin(), buf.begin() + outDone);
    }

private:
    double inRate;
    soxr_t soxr = nullptr;
};

// Waits until `samples` samples' worth of time has passed since `start`, or the source closes.
class Pacer {
public:
    bool WaitFor(uint64_t samples)
    {
        if (!started) {
            start = std::chrono::steady_clock::now();
            started = true;
        }
        auto due = start + std::chrono::microseconds(samples * 1000000 / kRecognizerSampleRate);
        std::unique_lock lock(mutex);
        return !wake.wait_until(lock, due, [&] { return closed; });
    }
    void Close()
    {
        std::lock_guard lock(mutex);
        closed = true;
        wake.notify_all();
    }

private:
    bool started = false;
    std::chrono::steady_clock::time_point start;
    std::mutex mutex;
    std::condition_variable wake;
    bool closed = false;
};

class WavAudio : public IRecognizerAudio {
public:
    WavAudio(SNDFILE* file, const SF_INFO& info, bool paced)
        : file(file), channels(info.channels), converter(info.samplerate), paced(paced)
    {
    }
    ~WavAudio() override { sf_close(file); }

    bool Ok() const { return converter.Ok(); }

    size_t Read(int16_t* samples, size_t count) override
    {
        if (closed) return 0;
        while (pending.size() < count && !atEnd)
            Fill();
        size_t n = std::min(count, pending.size());
        std::copy(pending.begin(), pending.begin() + n, samples);
        pending.erase(pending.begin(), pending.begin() + n);
        delivered += n;
        if (paced && n > 0 && !pacer.WaitFor(delivered)) return 0;
        return closed ? 0 : n;
    }

    void Close() override
    {
        closed = true;
        pacer.Close();
    }

private:
    void Fill()
    {
        constexpr sf_count_t kFrames = 4096;
        std::vector<float> frames(kFrames * channels);
        sf_count_t got = sf_readf_float(file, frames.data(), kFrames);
        if (got <= 0) {
            converter.Convert({}, pending);
            atEnd = true;
            return;
        }
        std::vector<float> mono(got);
        for (sf_count_t i = 0; i < got; ++i) {
            float sum = 0;
            for (int c = 0; c < channels; ++c)
                sum += frames[i * channels + c];
            mono[i] = sum / channels;
        }
        converter.Convert(mono, pending);
    }

    SNDFILE* file;
    int channels;
    RateConverter converter;
    bool paced;
    Pacer pacer;
    std::deque<int16_t> pending;
    uint64_t delivered = 0;
    bool atEnd = false;
    std::atomic<bool> closed = false;
};

class MicrophoneAudio : public IRecognizerAudio {
public:
    MicrophoneAudio(PaStream* stream, double rate) : stream(stream), converter(rate) {}
    ~MicrophoneAudio() override
    {
        Pa_AbortStream(stream);
        Pa_CloseStream(stream);
    }

    size_t Read(int16_t* samples, size_t count) override
    {
        while (pending.size() < count) {
            if (closed) return 0;
            constexpr unsigned long kFrames = 1024;
            int16_t raw[kFrames];
            PaError err = Pa_ReadStream(stream, raw, kFrames);
            if (err != paNoError && err != paInputOverflowed) return 0;
            std::vector<float> in(raw, raw + kFrames);
            for (float& v : in)
                v /= 32768.0f;
            converter.Convert(in, pending);
        }
        std::copy(pending.begin(), pending.begin() + count, samples);
        pending.erase(pending.begin(), pending.begin() + count);
        return count;
    }

    void Close() override { closed = true; }

private:
    PaStream* stream;
    RateConverter converter;
    std::deque<int16_t> pending;
    std::atomic<bool> closed = false;
};

}  // namespace

std::unique_ptr<IRecognizerAudio> OpenRecognizerWav(const std::string& path, bool paced,
                                                    std::string& error)
{
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) {
        error = "Cannot read \"" + path + "\" as audio: " + sf_strerror(nullptr);
        return nullptr;
    }
    if (info.channels < 1 || info.samplerate < 4000 || info.samplerate > 384000) {
        sf_close(file);
        error = "Unsupported audio format in \"" + path + "\"";
        return nullptr;
    }
    auto audio = std::make_unique<WavAudio>(file, info, paced);
    if (!audio->Ok()) {
        error = "Cannot convert the sample rate of \"" + path + "\"";
        return nullptr;
    }
    return audio;
}

std::unique_ptr<IRecognizerAudio> OpenRecognizerMicrophone(std::string& error)
{
    if (!InitializePortAudio()) {
        error = "The audio system could not be started";
        return nullptr;
    }
    PaDeviceIndex device = Pa_GetDefaultInputDevice();
    const PaDeviceInfo* info = device == paNoDevice ? nullptr : Pa_GetDeviceInfo(device);
    if (!info) {
        error = "No audio input device";
        return nullptr;
    }
    PaStreamParameters params{};
    params.device = device;
    params.channelCount = 1;
    // The recognizer's own sample format: a 16-bit device is read as it is.
    params.sampleFormat = paInt16;
    params.suggestedLatency = info->defaultLowInputLatency;
    // Prefer the recognizer's own rate; otherwise take the device's and convert.
    double rate = kRecognizerSampleRate;
    if (Pa_IsFormatSupported(&params, nullptr, rate) != paFormatIsSupported)
        rate = info->defaultSampleRate;
    PaStream* stream = nullptr;
    if (Pa_OpenStream(&stream, &params, nullptr, rate, 1024, paClipOff, nullptr, nullptr) !=
            paNoError ||
        Pa_StartStream(stream) != paNoError) {
        if (stream) Pa_CloseStream(stream);
        error = "The audio input device could not be opened";
        return nullptr;
    }
    return std::make_unique<MicrophoneAudio>(stream, rate);
}

std::unique_ptr<IRecognizerAudio> OpenRecognizerInput(std::string& error)
{
    if (const char* file = std::getenv("TALVERO_AUDIO_IN"); file && *file)
        return OpenRecognizerWav(file, true, error);
    return OpenRecognizerMicrophone(error);
}

}  // namespace talvero
