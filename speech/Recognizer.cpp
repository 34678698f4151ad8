#include "speech/Recognizer.h"

#include <pocketsphinx.h>
#include <sphinxbase/err.h>
#include <sphinxbase/ngram_model.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <fstream>
#include <vector>

#include "speech/LanguageModelTrainer.h"

namespace talvero {

namespace {

constexpr size_t kChunkSamples = kRecognizerSampleRate / 25;  // 40 ms
constexpr size_t kPauseSamples = kRecognizerSampleRate / 10;  // 100 ms
// Speech that never pauses (a noisy input, a long recording) is cut into results this long: the
// decoder's search grows with the utterance (ten minutes took 300 MB and twice the time).
constexpr uint64_t kLongestUtterance = 30 * kRecognizerSampleRate;
const char* const kGeneralSearch = "general";
const char* const kTrainedSearch = "trained";

bool IsDigitalSilence(const int16_t* samples, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        if (samples[i] > 2 || samples[i] < -2) return false;
    return true;
}

}  // namespace

struct RecognizerDecoder {
    cmd_ln_t* config = nullptr;
    ps_decoder_t* ps = nullptr;
    ngram_model_t* general = nullptr;
    std::string trainedFile;  // the trained model in use, or empty

    ~RecognizerDecoder()
    {
        if (general) ngram_model_free(general);
        if (ps) ps_free(ps);
        if (config) cmd_ln_free_r(config);
    }
};

Recognizer::Recognizer() = default;

Recognizer::~Recognizer()
{
    Stop();
}

bool Recognizer::Load(const RecognizerEngine& engine, const std::string& dir, std::string& error)
{
    Stop();
    static const bool quiet = [] {
        err_set_logfp(nullptr);
        return true;
    }();
    (void)quiet;
    auto d = std::make_unique<RecognizerDecoder>();
    // Dither: digital silence (a synthesized voice's pauses) otherwise gives empty utterances.
    d->config = cmd_ln_init(nullptr, ps_args(), TRUE, "-hmm", engine.acousticModel.c_str(), "-dict",
                            engine.dictionary.c_str(), "-dither", "yes", "-seed", "1", nullptr);
    if (d->config) d->ps = ps_init(d->config);
    if (!d->ps) {
        error = "The recognition engine \"" + engine.description + "\" could not be started";
        return false;
    }
    d->general = ngram_model_read(d->config, engine.languageModel.c_str(), NGRAM_AUTO,
                                  ps_get_logmath(d->ps));
    if (!d->general || ps_set_lm(d->ps, kGeneralSearch, d->general) < 0 ||
        ps_set_search(d->ps, kGeneralSearch) < 0) {
        error = "The language model of \"" + engine.description + "\" could not be loaded";
        return false;
    }
    {
        std::lock_guard lock(decoderMutex);
        decoder = std::move(d);
        workDir = dir;
        language = engine.language;
        trained = false;
    }
    std::string ignored;
    ReloadTrainedModel(ignored);
    return true;
}

bool Recognizer::ReloadTrainedModel(std::string& error)
{
    std::lock_guard lock(decoderMutex);
    if (!decoder) {
        error = "No recognition engine is loaded";
        return false;
    }
    RecognizerDecoder& d = *decoder;
    // The search cannot change in mid-utterance: what was said so far is dropped.
    if (utteranceOpen) {
        ps_end_utt(d.ps);
        utteranceOpen = false;
    }
    TrainedModelFiles files = TrainedModelPaths(workDir, language);
    std::ifstream dict(files.dictionary);
    ngram_model_t* own = nullptr;
    if (dict)
        own = ngram_model_read(d.config, files.languageModel.c_str(), NGRAM_ARPA,
                               ps_get_logmath(d.ps));
    if (!own) {
        // No trained model (or an unreadable one): the general model alone.
        trained = false;
        ps_set_search(d.ps, kGeneralSearch);
        if (dict) error = "The trained model in " + files.languageModel + " could not be read";
        return !dict;
    }
    // Words the engine's dictionary lacks get the trained pronunciations. Each word is added
    // once; later trainings only add what is new again.
    std::string line;
    while (std::getline(dict, line)) {
        size_t end = line.find_first_of(" \t");
        if (end == std::string::npos) continue;
        std::string word = line.substr(0, end);
        std::string phones = line.substr(line.find_first_not_of(" \t", end));
        if (word.find('(') != std::string::npos || ps_lookup_word(d.ps, word.c_str())) continue;
        ps_add_word(d.ps, word.c_str(), phones.c_str(), FALSE);
    }
    // The trained model already holds the general model's word probabilities and its most
    // likely words (TrainLanguageModel); mixing in the whole general model as well made the
    // text's phrases recognize clearly worse (measured: 17 % more word errors at weight 0.99).
    int rc = ps_set_lm(d.ps, kTrainedSearch, own);
    ngram_model_free(own);
    if (rc < 0 || ps_set_search(d.ps, kTrainedSearch) < 0) {
        ps_set_search(d.ps, kGeneralSearch);
        trained = false;
        error = "The trained model could not be used";
        return false;
    }
    d.trainedFile = files.languageModel;
    trained = true;
    return true;
}

void Recognizer::Start(std::unique_ptr<IRecognizerAudio> source, std::function<void()> callback)
{
    Stop();
    if (!source || !decoder) return;
    audio = std::move(source);
    notify = std::move(callback);
    ended = false;
    feeder = std::thread([this] { Feed(); });
}

void Recognizer::Stop()
{
    if (audio) audio->Close();
    if (feeder.joinable()) feeder.join();
    audio.reset();
    ended = true;
}

void Recognizer::RecognizeToEnd(std::unique_ptr<IRecognizerAudio> input,
                                const std::function<void(const RecognitionEvent&)>& onEvent)
{
    std::mutex mutex;
    std::condition_variable wake;
    bool signalled = false;
    Start(std::move(input), [&] {
        std::lock_guard lock(mutex);
        signalled = true;
        wake.notify_one();
    });
    for (bool done = false; !done;) {
        done = AudioEnded();
        RecognitionEvent event;
        while (NextEvent(event))
            onEvent(event);
        std::unique_lock lock(mutex);
        wake.wait_for(lock, std::chrono::milliseconds(200), [&] { return signalled; });
        signalled = false;
    }
    Stop();
}

bool Recognizer::NextEvent(RecognitionEvent& event)
{
    std::lock_guard lock(queueMutex);
    if (queue.empty()) return false;
    event = std::move(queue.front());
    queue.pop_front();
    return true;
}

void Recognizer::SetActive(bool on)
{
    if (!on) {
        purge = true;
        std::lock_guard lock(queueMutex);
        queue.clear();
    }
    active = on;
}

void Recognizer::Push(RecognitionEvent::Kind kind, const std::string& text, double at)
{
    {
        std::lock_guard lock(queueMutex);
        queue.push_back({kind, text, at});
    }
    if (notify) notify();
}

void Recognizer::Feed()
{
    std::vector<int16_t> chunk(kChunkSamples);
    uint64_t samples = 0, speechStart = 0;
    size_t silentSamples = 0;
    bool inSpeech = false;
    std::string lastHypothesis;
    auto seconds = [&] { return static_cast<double>(samples) / kRecognizerSampleRate; };
    auto hypothesis = [&](ps_decoder_t* ps) {
        int32 score = 0;
        const char* hyp = ps_get_hyp(ps, &score);
        return std::string(hyp ? hyp : "");
    };
    for (;;) {
        size_t n = audio->Read(chunk.data(), chunk.size());
        if (n == 0) break;
        samples += n;
        std::lock_guard lock(decoderMutex);
        ps_decoder_t* ps = decoder->ps;
        if (purge.exchange(false) || !active) {
            // Suspended: what was said so far is dropped with the audio.
            if (utteranceOpen) ps_end_utt(ps);
            utteranceOpen = inSpeech = false;
            lastHypothesis.clear();
            continue;
        }
        // Chunks are short so that a hypothesis follows speech quickly; exact silence only
        // counts once it has lasted a pause's length, as a short gap between words is no end.
        silentSamples = IsDigitalSilence(chunk.data(), n) ? silentSamples + n : 0;
        if (silentSamples >= kPauseSamples || (silentSamples > 0 && !utteranceOpen)) {
            // A file's or a muted input's exact silence is not given to the decoder: long
            // stretches of it skew the running cepstral mean so far that the next words are
            // misheard. It ends an utterance like any pause.
            if (utteranceOpen && inSpeech) {
                ps_end_utt(ps);
                utteranceOpen = inSpeech = false;
                lastHypothesis.clear();
                std::string final = hypothesis(ps);
                if (!final.empty()) Push(RecognitionEvent::Kind::Recognition, final, seconds());
            }
            continue;
        }
        if (!utteranceOpen) {
            if (ps_start_utt(ps) < 0) continue;
            utteranceOpen = true;
            inSpeech = false;
            lastHypothesis.clear();
        }
        ps_process_raw(ps, chunk.data(), n, FALSE, FALSE);
        bool speech = ps_get_in_speech(ps);
        if (speech && !inSpeech) speechStart = samples;
        if (speech && samples - speechStart >= kLongestUtterance) speech = false;
        if (speech) {
            inSpeech = true;
            std::string hyp = hypothesis(ps);
            if (!hyp.empty() && hyp != lastHypothesis) {
                lastHypothesis = hyp;
                Push(RecognitionEvent::Kind::Hypothesis, hyp, seconds());
            }
        } else if (inSpeech) {
            // The fall to silence ends the utterance.
            ps_end_utt(ps);
            utteranceOpen = inSpeech = false;
            lastHypothesis.clear();
            std::string final = hypothesis(ps);
            if (!final.empty()) Push(RecognitionEvent::Kind::Recognition, final, seconds());
        }
    }
    {
        std::lock_guard lock(decoderMutex);
        if (utteranceOpen) {
            ps_end_utt(decoder->ps);
            utteranceOpen = false;
            std::string final = hypothesis(decoder->ps);
            if (inSpeech && !final.empty() && active)
                Push(RecognitionEvent::Kind::Recognition, final, seconds());
        }
    }
    ended = true;
    if (notify) notify();
}

}  // namespace talvero
