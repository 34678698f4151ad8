#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <thread>

#include "speech/Voice.h"
#include "tests/speech/SpeechTestSupport.h"

namespace talvero {

namespace {

using namespace std::chrono_literals;

std::vector<VoiceEvent> Drain(IVoice& voice)
{
    std::vector<VoiceEvent> out;
    VoiceEvent e;
    while (voice.GetEvent(e))
        out.push_back(e);
    return out;
}

std::unique_ptr<IVoice> MakeVoice(std::unique_ptr<IAudioSink> sink)
{
    std::string error;
    auto voice = MakeEspeakVoice(std::move(sink), error);
    EXPECT_TRUE(voice) << error;
    return voice;
}

// Synthesizes `text` uninterrupted into a WAV file and reads it back.
WavFile SpeakToWav(const std::string& text, const std::string& name, int formatRow = 18)
{
    std::string error;
    auto voice = MakeVoice(MakeWavAudioSink(TempPath(name), false, error));
    voice->SetFormatRow(formatRow);
    voice->Speak(text);
    EXPECT_TRUE(voice->WaitUntilIdle(10000));
    voice.reset();
    return ReadWav(TempPath(name));
}

const char* kPhrase = "The quick brown fox jumps over the lazy dog near the river bank.";

TEST(Voice, QueuedTextsPlayInOrderEachBracketedByItsEvents)
{
    auto* sink = new RecordingSink;
    auto voice = MakeVoice(std::unique_ptr<IAudioSink>(sink));
    int notified = 0;
    voice->SetNotify([&] { ++notified; });
    std::uint64_t a = voice->Speak("one");
    std::uint64_t b = voice->Speak("");  // an empty request is still a stream
    std::uint64_t c = voice->Speak("three");
    ASSERT_TRUE(voice->WaitUntilIdle(5000));
    std::vector<VoiceEvent> events = Drain(*voice);
    ASSERT_EQ(events.size(), 6u);
    std::uint64_t order[] = {a, a, b, b, c, c};
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(events[i].stream, order[i]);
        EXPECT_EQ(events[i].kind, i % 2 ? VoiceEventKind::EndStream : VoiceEventKind::StartStream);
    }
    EXPECT_EQ(notified, 6);
}

// espeak-ng carries a little state from one text to the next (its voice flutter), so the same
// text comes out a few samples longer or shorter each time. A 20 ms slice lost or played twice
// is 441 samples: far outside that.
void ExpectSameSpeech(const WavFile& a, const WavFile& b)
{
    ASSERT_NEAR(double(a.samples.size()), double(b.samples.size()), 100.0);
    // Loudness envelopes in 50 ms windows line up.
    std::size_t window = std::size_t(a.rate / 20),
                n = std::min(a.samples.size(), b.samples.size()) / window;
    double same = 0;
    for (std::size_t w = 0; w < n; ++w) {
        double ea = 0, eb = 0;
        for (std::size_t i = w * window; i < (w + 1) * window; ++i) {
            ea += std::abs(a.samples[i]);
            eb += std::abs(b.samples[i]);
        }
        same += std::abs(ea - eb) <= 0.2 * std::max(ea, eb) + window * 50.0;
    }
    EXPECT_GT(same / n, 0.95);
}

WavFile Cut(const WavFile& w, std::size_t from, std::size_t to)
{
    WavFile out = w;
    out.samples.assign(w.samples.begin() + long(std::min(from, w.samples.size())),
                       w.samples.begin() + long(std::min(to, w.samples.size())));
    return out;
}

bool WaitFor(const std::function<bool()>& ready)
{
    for (int i = 0; i < 1000 && !ready(); ++i)
        std::this_thread::sleep_for(10ms);
    return ready();
}

// Passes everything on to the sink it wraps and keeps what pausing did: the player pauses the sink
// once the slice it was writing is out, and a write between that and the sink's Resume is sound
// the listener would hear during the pause.
class PauseWatchingSink : public IAudioSink {
public:
    explicit PauseWatchingSink(std::unique_ptr<IAudioSink> inner) : inner(std::move(inner)) {}
    bool Open(const AudioFormat& format) override { return inner->Open(format); }
    void Write(const std::uint8_t* data, std::size_t n) override
    {
        {
            std::lock_guard lock(mutex);
            if (paused) ++writesWhilePaused;
        }
        inner->Write(data, n);
    }
    void Drain() override { inner->Drain(); }
    void Abort() override { inner->Abort(); }
    void Pause() override
    {
        inner->Pause();
        std::lock_guard lock(mutex);
        paused = true;
        ++pauses;
        changed.notify_all();
    }
    void Resume() override
    {
        {
            std::lock_guard lock(mutex);
            paused = false;
        }
        inner->Resume();
    }
    void Interrupt() override { inner->Interrupt(); }
    std::string Describe() const override { return inner->Describe(); }

    // Waits until the player has paused the sink `count` times in all.
    bool WaitForPauses(int count)
    {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, 10s, [&] { return pauses >= count; });
    }
    int WritesWhilePaused()
    {
        std::lock_guard lock(mutex);
        return writesWhilePaused;
    }

private:
    std::unique_ptr<IAudioSink> inner;
    std::mutex mutex;
    std::condition_variable changed;
    bool paused = false;
    int pauses = 0;
    int writesWhilePaused = 0;
};

TEST(Voice, PauseHoldsOutputAndResumeGoesOnWithoutLosingOrRepeatingSamples)
{
    WavFile whole = SpeakToWav(kPhrase, "whole.wav");
    ASSERT_GT(whole.Seconds(), 2.0);

    std::string error;
    std::string path = TempPath("paused.wav");
    auto* watch = new PauseWatchingSink(MakeWavAudioSink(path, true, error));
    auto voice = MakeVoice(std::unique_ptr<IAudioSink>(watch));
    voice->Speak(kPhrase);
    // Several pauses, so that some fall inside a piece of audio and some between two.
    int pauses = 0;
    for (double at : {0.3, 0.8, 1.3, 1.8}) {
        ASSERT_TRUE(WaitFor([&] { return ReadWav(path).Seconds() > at; }));
        voice->Pause();
        EXPECT_TRUE(voice->IsPaused());
        ASSERT_TRUE(watch->WaitForPauses(++pauses));
        EXPECT_LT(ReadWav(path).samples.size(), whole.samples.size());
        if (at > 1.5) voice->Speak("queued while paused");
        EXPECT_FALSE(voice->IsIdle());
        if (at < 1.5) voice->Resume();
    }
    voice->Resume();
    ASSERT_TRUE(voice->WaitUntilIdle(15000));
    EXPECT_EQ(watch->WritesWhilePaused(), 0);  // nothing during the pauses
    voice.reset();

    WavFile after = ReadWav(path);
    WavFile queued = SpeakToWav("queued while paused", "queued.wav");
    std::size_t split = after.samples.size() - queued.samples.size();
    ExpectSameSpeech(Cut(after, 0, split), whole);
    ExpectSameSpeech(Cut(after, split, after.samples.size()), queued);
}

TEST(Voice, PurgeEndsTheCurrentStreamDropsTheQueueAndKeepsThePause)
{
    auto* sink = new RecordingSink(true);
    auto* watch = new PauseWatchingSink(std::unique_ptr<IAudioSink>(sink));
    auto voice = MakeVoice(std::unique_ptr<IAudioSink>(watch));
    std::uint64_t first = voice->Speak(kPhrase);
    voice->Speak(kPhrase);
    voice->Speak(kPhrase);
    ASSERT_TRUE(WaitFor([&] { return sink->Size() > 0; }));
    voice->Pause();
    ASSERT_TRUE(watch->WaitForPauses(1));
    voice->Purge();  // Stop while paused
    ASSERT_TRUE(voice->WaitUntilIdle(1000));
    EXPECT_TRUE(voice->IsPaused());
    std::vector<VoiceEvent> events = Drain(*voice);
    ASSERT_EQ(events.size(), 2u);  // the started stream ends; the others never start
    EXPECT_EQ(events[1].kind, VoiceEventKind::EndStream);
    EXPECT_EQ(events[1].stream, first);

    // Still paused: a new text waits for Resume, then is heard.
    std::size_t before = sink->Size();
    std::uint64_t next = voice->Speak("again");
    voice->Resume();
    ASSERT_TRUE(voice->WaitUntilIdle(5000));
    EXPECT_GT(sink->Size(), before);
    EXPECT_EQ(watch->WritesWhilePaused(), 0);
    events = Drain(*voice);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].stream, next);

    // A purge while speaking, not paused, silences within a slice or two: less than 60 ms of
    // sound reaches the sink after it.
    std::size_t heard = sink->Size();
    voice->Speak(kPhrase);
    ASSERT_TRUE(WaitFor([&] { return sink->Size() > heard; }));
    voice->Purge();
    std::size_t atPurge = sink->Size();
    ASSERT_TRUE(voice->WaitUntilIdle(1000));
    std::lock_guard lock(sink->mutex);
    EXPECT_LT(sink->bytes.size() - atPurge, std::size_t(sink->format.BytesPerSecond()) * 60 / 1000);
}

TEST(Voice, RateVolumeVoiceAndBadInput)
{
    WavFile normal = SpeakToWav(kPhrase, "normal.wav");
    std::string error;
    auto voice = MakeVoice(MakeWavAudioSink(TempPath("fast.wav"), false, error));
    std::vector<VoiceInfo> voices = voice->Voices();
    EXPECT_GT(voices.size(), 50u);
    EXPECT_EQ(voice->CurrentVoice().language, "en-gb");
    EXPECT_FALSE(voice->SetVoice("no/such-voice"));
    EXPECT_EQ(voice->CurrentVoice().language, "en-gb");
    EXPECT_FALSE(voice->SetFormatRow(36));
    EXPECT_FALSE(voice->SetFormatRow(-1));
    EXPECT_EQ(voice->FormatRow(), 18);
    voice->SetRate(10);
    voice->SetVolume(50);
    voice->Speak(kPhrase);
    ASSERT_TRUE(voice->WaitUntilIdle(5000));
    voice.reset();
    WavFile fast = ReadWav(TempPath("fast.wav"));
    EXPECT_LT(fast.Seconds(), normal.Seconds() * 0.6);
    EXPECT_NEAR(fast.Rms() / normal.Rms(), 0.5, 0.1);

    // Only one voice at a time: espeak-ng is one per process.
    voice = MakeVoice(std::make_unique<RecordingSink>());
    EXPECT_FALSE(MakeEspeakVoice(MakeNullAudioSink(), error));
    EXPECT_FALSE(error.empty());
    // Bytes that are no UTF-8 are spoken around, not choked on.
    voice->Speak("ab\xff\xfe\xc3 cd \xe2\x82");
    EXPECT_TRUE(voice->WaitUntilIdle(5000));
    // A megabyte of text queues at once and Stop ends it at once.
    std::string big;
    while (big.size() < (1 << 20))
        big += "word ";
    auto* sink = new RecordingSink(true);
    voice.reset();
    voice = MakeVoice(std::unique_ptr<IAudioSink>(sink));
    voice->Speak(big);
    ASSERT_TRUE(WaitFor([&] { return sink->Size() > 0; }));
    voice->Purge();
    EXPECT_TRUE(voice->WaitUntilIdle(500));
    EXPECT_EQ(FindVoice(voices, "english (great britain)"), FindVoice(voices, "gmw/en"));
    EXPECT_EQ(FindVoice(voices, "es"), FindVoice(voices, "Spanish_(Spain)"));
    EXPECT_EQ(FindVoice(voices, "nonesuch"), -1);
}

// The default sink looks for the device only when the first speech starts: until then every
// call is harmless, even from another thread, and speech through it ends as with any sink.
TEST(Voice, TheDefaultSinkFindsItsDeviceAtTheFirstSpeech)
{
    ::unsetenv("TALVERO_AUDIO_OUT");
    std::unique_ptr<IAudioSink> sink = MakeDefaultAudioSink();
    sink->Interrupt();
    sink->Drain();
    sink->Abort();
    sink->Pause();
    sink->Resume();
    EXPECT_EQ(sink->Describe(), "sound device");
    auto voice = MakeVoice(std::move(sink));
    voice->Speak("Hi.");
    EXPECT_TRUE(voice->WaitUntilIdle(10000));
    EXPECT_EQ(Drain(*voice).size(), 2u);  // its stream's start and end
}

}  // namespace

}  // namespace talvero
