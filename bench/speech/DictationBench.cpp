// Measures dictation against its targets and prints one line per figure:
//   speed       decoding time / audio time for recorded speech (target <= 0.3)
//   latency     first hypothesis after speech starts, audio fed in real time (target <= 300 ms)
//   word error  20 phrases of a training text spoken by espeak-ng, before and after training
//               with the text (target after <= 15 %)
// Usage: dictation_bench DATA_DIR TRAINING_TEXT PHRASE_WAV...  (each WAV beside a .txt of what
// it says; scripts/bench.sh dictation makes them). The training goes into DATA_DIR/trained.
#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <sndfile.h>

#include "speech/LanguageModelTrainer.h"
#include "speech/Recognizer.h"

namespace talvero {

namespace {

using Clock = std::chrono::steady_clock;

struct Run {
    std::vector<std::string> finals;
    double firstHypothesisAt = -1;  // seconds since the audio started, wall clock
    double seconds = 0;             // wall time of the whole run
};

Run Recognize(Recognizer& recognizer, const std::string& wav, bool paced)
{
    Run run;
    std::string error;
    auto audio = OpenRecognizerWav(wav, paced, error);
    if (!audio) {
        std::fprintf(stderr, "%s\n", error.c_str());
        std::exit(1);
    }
    auto start = Clock::now();
    recognizer.RecognizeToEnd(std::move(audio), [&](const RecognitionEvent& e) {
        if (e.kind == RecognitionEvent::Kind::Recognition) run.finals.push_back(e.text);
        if (run.firstHypothesisAt < 0 && e.kind == RecognitionEvent::Kind::Hypothesis)
            run.firstHypothesisAt = std::chrono::duration<double>(Clock::now() - start).count();
    });
    run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return run;
}

double Duration(const std::string& wav)
{
    SF_INFO info{};
    SNDFILE* f = sf_open(wav.c_str(), SFM_READ, &info);
    if (!f) return 0;
    sf_close(f);
    return static_cast<double>(info.frames) / info.samplerate;
}

// Where speech starts: the first 10 ms frame well above the file's quiet.
double SpeechOnset(const std::string& wav)
{
    SF_INFO info{};
    SNDFILE* f = sf_open(wav.c_str(), SFM_READ, &info);
    if (!f) return 0;
    std::vector<float> samples(info.frames * info.channels);
    sf_readf_float(f, samples.data(), info.frames);
    sf_close(f);
    size_t frame = info.samplerate / 100 * info.channels;
    for (size_t i = 0; i + frame <= samples.size(); i += frame) {
        double energy = 0;
        for (size_t k = i; k < i + frame; ++k)
            energy += samples[k] * samples[k];
        if (std::sqrt(energy / frame) > 0.02)
            return static_cast<double>(i / info.channels) / info.samplerate;
    }
    return 0;
}

std::vector<std::string> Words(const std::string& text)
{
    std::vector<std::string> words;
    std::string w;
    for (char c : text + " ") {
        if (std::isalpha(static_cast<unsigned char>(c)) || c == '\'') {
            w += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        } else if (!w.empty()) {
            words.push_back(w);
            w.clear();
        }
    }
    return words;
}

size_t EditDistance(const std::vector<std::string>& a, const std::vector<std::string>& b)
{
    std::vector<size_t> d(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j)
        d[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = d[0];
        d[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            size_t up = d[j];
            d[j] = std::min({d[j] + 1, d[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = up;
        }
    }
    return d[b.size()];
}

std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

double WordError(Recognizer& recognizer, const std::vector<std::string>& wavs)
{
    size_t errors = 0, words = 0;
    for (const std::string& wav : wavs) {
        std::string said = ReadText(std::filesystem::path(wav).replace_extension(".txt"));
        Run run = Recognize(recognizer, wav, false);
        std::string heard;
        for (const std::string& f : run.finals)
            heard += f + " ";
        errors += EditDistance(Words(said), Words(heard));
        words += Words(said).size();
    }
    return words ? 100.0 * errors / words : 0;
}

void Report(const char* what, double value, const char* unit, const char* target, bool met)
{
    std::printf("%-44s %9.3f %-3s  target %-8s %s\n", what, value, unit, target,
                met ? "met" : "MISSED");
}

}  // namespace

}  // namespace talvero

int main(int argc, char** argv)
{
    using namespace talvero;
    if (argc < 4) {
        std::fprintf(stderr, "usage: dictation_bench DATA_DIR TRAINING_TEXT PHRASE_WAV...\n");
        return 2;
    }
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const std::string dataDir = argv[1], textFile = argv[2];
    std::vector<std::string> phrases(argv + 3, argv + argc);
    auto engines = ListRecognizerEngines();
    if (engines.empty()) {
        std::fprintf(stderr, "no recognition engine installed\n");
        return 1;
    }
    const std::string untrained = dataDir + "/untrained", trained = dataDir + "/trained";
    std::filesystem::create_directories(untrained);
    std::filesystem::create_directories(trained);
    std::string error;

    Recognizer recognizer;
    auto loadStart = Clock::now();
    if (!recognizer.Load(engines[0], untrained, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    double loadSeconds = std::chrono::duration<double>(Clock::now() - loadStart).count();
    std::printf("engine %s, loaded in %.2f s\n", engines[0].description.c_str(), loadSeconds);

    // Speed on recorded speech, fed as fast as it decodes.
    const std::string testData = "/usr/share/pocketsphinx/test/data/librivox";
    double audio = 0, wall = 0;
    for (const auto& entry : std::filesystem::directory_iterator(testData)) {
        if (entry.path().extension() != ".wav") continue;
        audio += Duration(entry.path());
        wall += Recognize(recognizer, entry.path(), false).seconds;
    }
    Report("speed: decoding time / audio time", wall / audio, "x", "<= 0.3", wall / audio <= 0.3);

    // Latency, the audio fed at speaking pace as a microphone would.
    std::vector<double> latencies;
    for (const std::string& wav : {dataDir + "/goforward.wav", phrases.front(), phrases.back()}) {
        Run run = Recognize(recognizer, wav, true);
        latencies.push_back(1000 * (run.firstHypothesisAt - SpeechOnset(wav)));
    }
    double worst = *std::max_element(latencies.begin(), latencies.end());
    Report("first hypothesis after speech starts (worst of 3)", worst, "ms", "<= 300",
           worst <= 300);

    double before = WordError(recognizer, phrases);
    std::printf("%-44s %9.1f %%    (%zu espeak-ng phrases, general model)\n",
                "word error before training", before, phrases.size());

    std::string text = ReadText(textFile);
    TrainingProgress progress;
    auto trainStart = Clock::now();
    TrainingResult result = TrainLanguageModel(text, engines[0], trained, progress);
    double trainSeconds = std::chrono::duration<double>(Clock::now() - trainStart).count();
    if (!result.ok) {
        std::fprintf(stderr, "training failed: %s\n", result.error.c_str());
        return 1;
    }
    std::printf("trained on %zu words (%zu distinct, %zu new) in %.2f s\n", result.words,
                result.vocabulary, result.newWords, trainSeconds);
    Recognizer adapted;
    if (!adapted.Load(engines[0], trained, error) || !adapted.UsesTrainedModel()) {
        std::fprintf(stderr, "the trained model was not used: %s\n", error.c_str());
        return 1;
    }
    double after = WordError(adapted, phrases);
    Report("word error after training", after, "%", "<= 15", after <= 15);
    return 0;
}
