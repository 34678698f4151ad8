// The voice against its targets, all in one run, medians of repeated trials:
//   a speak request to its first audio sample <= 50 ms; Stop to silence <= 50 ms;
//   synthesis >= 50x real time for a 20-word phrase; the speech threads <= 1 % of a core idle.
// The sink plays nothing but is paced in real time like a sound card (the machine has none)
// and notes when samples reach it.
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "speech/Voice.h"

namespace talvero {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

const char* kPhrase =
    "The translation of this phrase was found in the local dictionary and is now read aloud "
    "to the user at a normal rate.";  // 20 words

// A device-like sink: paced (or not) and timestamped.
class TimingSink : public IAudioSink {
public:
    explicit TimingSink(bool paced) : inner(paced ? MakeNullAudioSink() : nullptr) {}
    bool Open(const AudioFormat& f) override
    {
        format = f;
        return inner ? inner->Open(f) : true;
    }
    void Write(const std::uint8_t* data, std::size_t n) override
    {
        {
            std::lock_guard lock(mutex);
            if (firstWrite == Clock::time_point{}) firstWrite = Clock::now();
            lastWrite = Clock::now();
            bytes += n;
        }
        if (inner) inner->Write(data, n);
    }
    void Drain() override
    {
        if (inner) inner->Drain();
    }
    void Abort() override
    {
        if (inner) inner->Abort();
        std::lock_guard lock(mutex);
        abortedAt = Clock::now();
    }
    void Interrupt() override
    {
        if (inner) inner->Interrupt();
    }
    std::string Describe() const override { return "timing sink"; }

    void Reset()
    {
        std::lock_guard lock(mutex);
        firstWrite = lastWrite = abortedAt = {};
        bytes = 0;
    }

    std::unique_ptr<IAudioSink> inner;
    AudioFormat format;
    std::mutex mutex;
    Clock::time_point firstWrite, lastWrite, abortedAt;
    std::size_t bytes = 0;
};

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double CpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

std::unique_ptr<IVoice> Voice(TimingSink*& sink, bool paced)
{
    sink = new TimingSink(paced);
    std::string error;
    auto voice = MakeEspeakVoice(std::unique_ptr<IAudioSink>(sink), error);
    if (!voice) {
        std::fprintf(stderr, "speech_bench: %s\n", error.c_str());
        std::exit(1);
    }
    return voice;
}

void Report(const char* what, double value, const char* unit, const char* target, bool met)
{
    std::printf("%-44s %9.2f %-4s target %-8s %s\n", what, value, unit, target,
                met ? "met" : "MISSED");
}

}  // namespace

}  // namespace talvero

int main(int argc, char** argv)
{
    using namespace talvero;
    int trials = argc > 1 ? std::max(1, std::atoi(argv[1])) : 21;
    bool allMet = true;

    {
        TimingSink* sink;
        auto voice = Voice(sink, true);
        voice->Speak("warm up");
        voice->WaitUntilIdle(5000);

        std::vector<double> first, stop;
        for (int i = 0; i < trials; ++i) {
            sink->Reset();
            auto asked = Clock::now();
            voice->Speak(kPhrase);
            while (sink->firstWrite == Clock::time_point{})
                std::this_thread::sleep_for(100us);
            first.push_back(Ms(sink->firstWrite - asked));
            std::this_thread::sleep_for(300ms);
            auto stopped = Clock::now();
            voice->Purge();
            voice->WaitUntilIdle(5000);
            std::lock_guard lock(sink->mutex);
            // Silent once the last slice is out and what the device held is dropped.
            stop.push_back(Ms(std::max(sink->lastWrite, sink->abortedAt) - stopped));
        }
        double f = Median(first), s = Median(stop);
        allMet &= f <= 50 && s <= 50;
        Report("speak request to first sample (median)", f, "ms", "<= 50", f <= 50);
        Report("Stop to silence (median)", s, "ms", "<= 50", s <= 50);

        // Idle: the threads wait on their conditions; nothing should tick.
        voice->Speak("one more");
        voice->WaitUntilIdle(5000);
        double cpu0 = CpuSeconds();
        auto t0 = Clock::now();
        std::this_thread::sleep_for(10s);
        double idle = (CpuSeconds() - cpu0) / (Ms(Clock::now() - t0) / 1000) * 100;
        allMet &= idle <= 1;
        Report("speech threads idle over 10 s", idle, "%", "<= 1", idle <= 1);
    }

    for (int row : {kDefaultVoiceFormatRow, 35}) {
        TimingSink* sink;
        auto voice = Voice(sink, false);
        voice->SetFormatRow(row);
        std::vector<double> speed;
        for (int i = 0; i < trials; ++i) {
            sink->Reset();
            auto asked = Clock::now();
            voice->Speak(kPhrase);
            voice->WaitUntilIdle(10000);
            double audio = double(sink->bytes) / sink->format.BytesPerSecond();
            speed.push_back(audio / (Ms(Clock::now() - asked) / 1000));
        }
        double x = Median(speed);
        allMet &= x >= 50;
        char what[80];
        std::snprintf(what, sizeof what, "synthesis, 20 words, %s", VoiceFormatAt(row)->text);
        Report(what, x, "x rt", ">= 50", x >= 50);
    }
    std::printf("(%d trials each; sink paced like a sound card, none on this machine)\n", trials);
    return allMet ? 0 : 1;
}
