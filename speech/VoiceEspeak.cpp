// The voice on espeak-ng. Three parties: the caller queues texts; the synthesis thread owns
// espeak-ng (it keeps global state, so only that thread calls it), converts each piece of audio
// into the output format and puts it into a small bounded queue; the player thread takes the
// pieces out, writes them to the sink in 20 ms slices and reports the streams' start and end.
// A purge raises a generation counter: whatever was queued under an older generation is
// dropped wherever it is met, and the synthesizer aborts the text it is in.
#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "speech/Voice.h"

namespace talvero {

namespace {

std::atomic<bool> espeakTaken{false};

struct Chunk {
    enum Kind { Begin, Audio, End } kind;
    std::uint64_t stream;
    std::uint64_t generation;
    AudioFormat format;
    std::vector<std::uint8_t> bytes;
};

struct Request {
    std::uint64_t stream;
    std::uint64_t generation;
    std::string text;
};

std::string Spaced(std::string s)
{
    std::replace(s.begin(), s.end(), '_', ' ');
    return s;
}

std::string Lower(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return out;
}

// Invalid UTF-8 would reach espeak-ng's decoder; what cannot be decoded is left out.
std::string ValidUtf8(std::string_view in)
{
    std::string out;
    out.reserve(in.size());
    std::size_t i = 0;
    while (i < in.size()) {
        unsigned char c = in[i];
        std::size_t n = c < 0x80         ? 1
                        : (c >> 5) == 6  ? 2
                        : (c >> 4) == 14 ? 3
                        : (c >> 3) == 30 ? 4
                                         : 0;
        bool ok = n > 0 && i + n <= in.size();
        for (std::size_t k = 1; ok && k < n; ++k)
            ok = (static_cast<unsigned char>(in[i + k]) >> 6) == 2;
        if (ok && n == 2) ok = c >= 0xC2;
        if (ok && n > 1 && c != 0)
            out.append(in.substr(i, n));
        else if (ok && c != 0)
            out.push_back(char(c));
        i += ok ? n : 1;
    }
    return out;
}

class EspeakVoice final : public IVoice {
public:
    explicit EspeakVoice(std::unique_ptr<IAudioSink> sink) : sink(std::move(sink)) {}

    bool Start(std::string& error)
    {
        synthThread = std::thread([this] { SynthMain(); });
        std::unique_lock lock(mutex);
        cv.wait(lock, [&] { return initDone; });
        if (!initError.empty()) {
            error = initError;
            return false;
        }
        playerThread = std::thread([this] { PlayerMain(); });
        return true;
    }

    ~EspeakVoice() override
    {
        {
            std::lock_guard lock(mutex);
            stopping = true;
            ++generation;
            requests.clear();
            chunks.clear();
            chunkBytes = 0;
        }
        cv.notify_all();
        sink->Interrupt();
        if (playerThread.joinable()) playerThread.join();
        if (synthThread.joinable()) synthThread.join();
        espeakTaken = false;
    }

    std::uint64_t Speak(std::string_view utf8) override
    {
        std::string text = ValidUtf8(utf8);
        std::lock_guard lock(mutex);
        std::uint64_t stream = ++lastIssued;
        requests.push_back({stream, generation, std::move(text)});
        cv.notify_all();
        return stream;
    }

    void Purge() override
    {
        {
            std::lock_guard lock(mutex);
            ++generation;
            requests.clear();
            chunks.clear();
            chunkBytes = 0;
            lastFinished = lastIssued;
        }
        cv.notify_all();
        sink->Interrupt();
    }

    void Pause() override
    {
        std::lock_guard lock(mutex);
        paused = true;
        cv.notify_all();
    }
    void Resume() override
    {
        std::lock_guard lock(mutex);
        paused = false;
        cv.notify_all();
    }
    bool IsPaused() const override
    {
        std::lock_guard lock(mutex);
        return paused;
    }
    bool IsIdle() const override
    {
        std::lock_guard lock(mutex);
        return IdleLocked();
    }
    bool WaitUntilIdle(int ms) override
    {
        std::unique_lock lock(mutex);
        return cv.wait_for(lock, std::chrono::milliseconds(ms), [&] { return IdleLocked(); });
    }

    std::vector<VoiceInfo> Voices() const override { return voices; }
    VoiceInfo CurrentVoice() const override
    {
        std::lock_guard lock(mutex);
        return voices.empty() ? VoiceInfo{} : voices[voiceIndex];
    }
    bool SetVoice(const std::string& id) override
    {
        for (std::size_t i = 0; i < voices.size(); ++i)
            if (voices[i].id == id) {
                std::lock_guard lock(mutex);
                voiceIndex = i;
                return true;
            }
        return false;
    }
    int Rate() const override { return rate; }
    void SetRate(int r) override { rate = std::clamp(r, kVoiceRateMin, kVoiceRateMax); }
    int Volume() const override { return volume; }
    void SetVolume(int v) override { volume = std::clamp(v, kVoiceVolumeMin, kVoiceVolumeMax); }
    int FormatRow() const override { return formatRow; }
    bool SetFormatRow(int row) override
    {
        if (!VoiceFormatAt(row)) return false;
        formatRow = row;
        return true;
    }

    void SetNotify(std::function<void()> n) override
    {
        std::lock_guard lock(eventMutex);
        notify = std::move(n);
    }
    bool GetEvent(VoiceEvent& event) override
    {
        std::lock_guard lock(eventMutex);
        if (events.empty()) return false;
        event = events.front();
        events.pop_front();
        return true;
    }
    std::string OutputDescription() const override { return sink->Describe(); }

private:
    // About 300 ms of audio may wait between the two threads: enough to ride over a slow
    // sentence start, little enough that synthesis never runs far ahead of what is heard.
    static constexpr double kQueueSeconds = 0.3;
    static constexpr int kSliceMs = 20;

    bool IdleLocked() const { return lastFinished == lastIssued && playing == 0; }

    void Post(VoiceEventKind kind, std::uint64_t stream)
    {
        std::function<void()> n;
        {
            std::lock_guard lock(eventMutex);
            events.push_back({kind, stream});
            n = notify;
        }
        if (n) n();
    }

    // ---- synthesis thread ----

    struct SynthJob {
        EspeakVoice* voice;
        std::uint64_t stream;
        std::uint64_t generation;
        AudioConverter* converter;
    };

    static int OnSynth(short* wav, int samples, espeak_EVENT* events)
    {
        auto* job = static_cast<SynthJob*>(events ? events->user_data : nullptr);
        if (!job) return 0;
        if (!wav || samples <= 0) return job->voice->Current(job) ? 0 : 1;
        std::vector<std::uint8_t> bytes;
        job->converter->Convert(wav, std::size_t(samples), job->voice->volume, bytes);
        return job->voice->PushAudio(*job, std::move(bytes)) ? 0 : 1;
    }

    bool Current(const SynthJob* job)
    {
        std::lock_guard lock(mutex);
        return job->generation == generation && !stopping;
    }

    // Blocks while the queue is full; false once the stream was purged.
    bool PushAudio(const SynthJob& job, std::vector<std::uint8_t> bytes)
    {
        const AudioFormat& f = job.converter->Format();
        const std::size_t limit = std::size_t(f.BytesPerSecond() * kQueueSeconds);
        std::unique_lock lock(mutex);
        cv.wait(lock,
                [&] { return job.generation != generation || stopping || chunkBytes < limit; });
        if (job.generation != generation || stopping) return false;
        if (bytes.empty()) return true;
        chunkBytes += bytes.size();
        chunks.push_back({Chunk::Audio, job.stream, job.generation, f, std::move(bytes)});
        cv.notify_all();
        return true;
    }

    void PushMarker(Chunk::Kind kind, std::uint64_t stream, std::uint64_t gen)
    {
        std::lock_guard lock(mutex);
        if (gen != generation || stopping) return;
        chunks.push_back({kind, stream, gen, {}, {}});
        cv.notify_all();
    }

    void SynthMain()
    {
        // Once per process and never terminated: espeak-ng 1.51 hangs in espeak_Terminate
        // once it has been initialised a second time. Voices follow each other on the one
        // engine (espeakTaken), each from its own synthesis thread.
        static const int rateHz =
            espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 50, nullptr, espeakINITIALIZE_DONT_EXIT);
        {
            std::lock_guard lock(mutex);
            if (rateHz <= 0)
                initError = "espeak-ng could not start (is espeak-ng-data installed?)";
            else
                ListVoices();
            if (initError.empty() && voices.empty()) initError = "espeak-ng lists no voice";
            initDone = true;
        }
        cv.notify_all();
        if (!initError.empty()) return;
        espeak_SetSynthCallback(&EspeakVoice::OnSynth);

        std::size_t appliedVoice = SIZE_MAX;
        int appliedRate = INT32_MIN;
        for (;;) {
            Request request;
            std::size_t wantedVoice;
            {
                std::unique_lock lock(mutex);
                cv.wait(lock, [&] { return stopping || !requests.empty(); });
                if (stopping) break;
                request = std::move(requests.front());
                requests.pop_front();
                if (request.generation != generation) continue;
                wantedVoice = voiceIndex;
            }
            if (wantedVoice != appliedVoice) {
                espeak_SetVoiceByName(voices[wantedVoice].id.c_str());
                appliedVoice = wantedVoice;
                appliedRate = INT32_MIN;  // a new voice starts at its own rate
            }
            if (int r = rate; r != appliedRate) {
                espeak_SetParameter(espeakRATE, VoiceWordsPerMinute(r), 0);
                appliedRate = r;
            }
            AudioConverter converter(rateHz, VoiceFormatAt(formatRow)->format);
            SynthJob job{this, request.stream, request.generation, &converter};
            PushMarker(Chunk::Begin, request.stream, request.generation);
            if (!request.text.empty()) {
                unsigned int uid = 0;
                espeak_Synth(request.text.c_str(), request.text.size() + 1, 0, POS_CHARACTER, 0,
                             espeakCHARS_UTF8 | espeakENDPAUSE, &uid, &job);
            }
            std::vector<std::uint8_t> tail;
            converter.Flush(volume, tail);
            if (!tail.empty()) PushAudio(job, std::move(tail));
            PushMarker(Chunk::End, request.stream, request.generation);
        }
    }

    void ListVoices()
    {
        const espeak_VOICE** list = espeak_ListVoices(nullptr);
        for (; list && *list; ++list) {
            const espeak_VOICE* v = *list;
            if (!v->name || !v->identifier || !v->languages) continue;
            // languages: a priority byte and a string, repeated; the first is the voice's own.
            std::string language = v->languages + 1;
            std::string id = v->identifier;
            if (language == "variant" || id.rfind("mb/", 0) == 0) continue;
            std::string name = Spaced(v->name);
            voices.push_back({id, name, language, name + " - " + language});
        }
        std::stable_sort(voices.begin(), voices.end(), [](const VoiceInfo& a, const VoiceInfo& b) {
            return a.description < b.description;
        });
        int english = FindVoice(voices, "en");
        voiceIndex = english >= 0 ? std::size_t(english) : 0;
    }

    // ---- player thread ----

    void PlayerMain()
    {
        AudioFormat opened{};
        bool isOpen = false, openOk = false, sinkPaused = false;
        std::uint64_t seenGeneration;
        {
            std::lock_guard lock(mutex);
            seenGeneration = generation;
        }
        for (;;) {
            std::unique_lock lock(mutex);
            cv.wait(lock, [&] {
                return stopping || generation != seenGeneration || paused != sinkPaused ||
                       (!paused && !chunks.empty());
            });
            if (stopping) break;
            if (generation != seenGeneration) {
                // Purged: silence now, and close the stream that was being heard.
                seenGeneration = generation;
                std::uint64_t ended = playing;
                lock.unlock();
                sink->Abort();
                if (ended) Post(VoiceEventKind::EndStream, ended);
                lock.lock();
                if (playing == ended) playing = 0;
                cv.notify_all();
                continue;
            }
            if (paused != sinkPaused) {
                sinkPaused = paused;
                lock.unlock();
                if (sinkPaused)
                    sink->Pause();
                else
                    sink->Resume();
                continue;
            }
            Chunk chunk = std::move(chunks.front());
            chunks.pop_front();
            chunkBytes -= chunk.bytes.size();
            cv.notify_all();
            if (chunk.kind == Chunk::Begin) playing = chunk.stream;
            lock.unlock();

            if (chunk.kind == Chunk::Begin) {
                Post(VoiceEventKind::StartStream, chunk.stream);
            } else if (chunk.kind == Chunk::End) {
                sink->Drain();
                lock.lock();
                if (chunk.generation == generation) {
                    // The stream's end is posted (and its notify has returned) before the voice
                    // counts as idle: whoever waits for idle then finds every event in place.
                    lastFinished = std::max(lastFinished, chunk.stream);
                    lock.unlock();
                    Post(VoiceEventKind::EndStream, chunk.stream);
                    lock.lock();
                    if (playing == chunk.stream) playing = 0;
                    cv.notify_all();
                }
            } else {
                if (!isOpen || !(opened == chunk.format)) {
                    openOk = sink->Open(chunk.format);
                    opened = chunk.format;
                    isOpen = true;
                }
                PlayAudio(chunk, openOk);
            }
        }
        if (isOpen) sink->Abort();
    }

    // Writes the chunk in slices, checking between them for a purge or a pause. A pause puts
    // the rest back at the front of the queue, so speech goes on from exactly there.
    void PlayAudio(Chunk& chunk, bool openOk)
    {
        const std::size_t slice = std::size_t(chunk.format.BytesPerSecond()) * kSliceMs / 1000 /
                                  chunk.format.FrameBytes() * chunk.format.FrameBytes();
        std::size_t at = 0;
        while (at < chunk.bytes.size()) {
            {
                std::lock_guard lock(mutex);
                if (chunk.generation != generation || stopping) return;
                if (paused) {
                    chunk.bytes.erase(chunk.bytes.begin(), chunk.bytes.begin() + long(at));
                    chunkBytes += chunk.bytes.size();
                    chunks.push_front(std::move(chunk));
                    return;
                }
            }
            std::size_t n = std::min(slice, chunk.bytes.size() - at);
            if (openOk)
                sink->Write(chunk.bytes.data() + at, n);
            else
                sink->Abort();  // nothing can be heard; the stream still ends as it would
            at += n;
        }
    }

    std::unique_ptr<IAudioSink> sink;
    std::thread synthThread, playerThread;

    mutable std::mutex mutex;  // everything below up to the events
    std::condition_variable cv;
    bool initDone = false;
    std::string initError;
    bool stopping = false;
    bool paused = false;
    std::uint64_t generation = 0;
    std::uint64_t lastIssued = 0, lastFinished = 0;
    std::uint64_t playing = 0;  // stream whose start was reported and end not yet
    std::deque<Request> requests;
    std::deque<Chunk> chunks;
    std::size_t chunkBytes = 0;
    std::vector<VoiceInfo> voices;  // fixed after start-up
    std::size_t voiceIndex = 0;

    std::atomic<int> rate{0}, volume{100}, formatRow{kDefaultVoiceFormatRow};

    std::mutex eventMutex;
    std::deque<VoiceEvent> events;
    std::function<void()> notify;
};

}  // namespace

std::unique_ptr<IVoice> MakeEspeakVoice(std::unique_ptr<IAudioSink> sink, std::string& error)
{
    if (!sink) sink = MakeNullAudioSink();
    if (espeakTaken.exchange(true)) {
        error = "another voice of this program is still speaking";
        return nullptr;
    }
    auto voice = std::make_unique<EspeakVoice>(std::move(sink));
    if (!voice->Start(error)) return nullptr;
    return voice;
}

int FindVoice(const std::vector<VoiceInfo>& voices, std::string_view wanted)
{
    std::string w = Lower(Spaced(std::string(wanted)));
    for (std::size_t i = 0; i < voices.size(); ++i) {
        const VoiceInfo& v = voices[i];
        if (Lower(v.id) == w || Lower(v.name) == w || Lower(v.description) == w) return int(i);
    }
    // Then by language: a voice's own language first, then the last part of its id ("en" for
    // "gmw/en").
    for (std::size_t i = 0; i < voices.size(); ++i)
        if (Lower(voices[i].language) == w) return int(i);
    for (std::size_t i = 0; i < voices.size(); ++i) {
        std::string id = Lower(voices[i].id);
        if (id.substr(id.rfind('/') + 1) == w) return int(i);
    }
    return -1;
}

int VoiceWordsPerMinute(int rate)
{
    double wpm = 175.0 * std::pow(3.0, std::clamp(rate, kVoiceRateMin, kVoiceRateMax) / 10.0);
    return std::clamp(int(std::lround(wpm)), 80, 450);
}

}  // namespace talvero
