#pragma once
// The in-process recognizer: pocketsphinx fed from an audio source on a thread of its own. It
// splits the audio into utterances at silences and queues a hypothesis whenever the current
// guess changes while speech goes on, and a final result at the end of each utterance.
#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "speech/RecognizerAudio.h"
#include "speech/RecognizerEngines.h"

namespace talvero {

struct RecognitionEvent {
    enum class Kind { Hypothesis, Recognition };
    Kind kind = Kind::Hypothesis;
    std::string text;           // UTF-8 words separated by single blanks
    double audioSeconds = 0.0;  // where in the audio the event arose
};

struct RecognizerDecoder;

class Recognizer {
public:
    Recognizer();
    ~Recognizer();
    Recognizer(const Recognizer&) = delete;
    Recognizer& operator=(const Recognizer&) = delete;

    // Loads the engine's models, combined with the model trained for this engine in `workDir`
    // when one is there (LanguageModelTrainer). False with `error` set when the engine's own
    // models cannot be loaded; a trained model that cannot be read is skipped.
    bool Load(const RecognizerEngine& engine, const std::string& workDir, std::string& error);
    bool UsesTrainedModel() const { return trained; }
    const std::string& Language() const { return language; }  // of the loaded engine

    // Decodes `audio` on the recognizer's thread until it ends or Stop is called; `notify` is
    // called from that thread after each queued event and when the audio ends.
    void Start(std::unique_ptr<IRecognizerAudio> audio, std::function<void()> notify);
    void Stop();
    // True once the audio has ended (or no audio was started).
    bool AudioEnded() const { return ended; }

    // Takes the oldest queued event; false when none is queued.
    bool NextEvent(RecognitionEvent& event);

    // Decodes `audio` to its end, handing each event to `onEvent` on the calling thread as it
    // comes (for programs without an event loop of their own: the command line, tests, benches).
    void RecognizeToEnd(std::unique_ptr<IRecognizerAudio> audio,
                        const std::function<void(const RecognitionEvent&)>& onEvent);

    // Inactive: audio is read and thrown away, the utterance under way is dropped and queued
    // events are purged; active again starts a fresh utterance.
    void SetActive(bool active);

    // Combines the general model with the model now trained in the working directory given to
    // Load (or goes back to the general model when there is none). Safe from any thread; waits
    // at most for the chunk being decoded.
    bool ReloadTrainedModel(std::string& error);

private:
    void Feed();
    void Push(RecognitionEvent::Kind kind, const std::string& text, double at);

    std::unique_ptr<RecognizerDecoder> decoder;
    std::mutex decoderMutex;  // the decoder is used by the feeder and by reloads
    std::string workDir;
    std::string language;
    bool trained = false;
    bool utteranceOpen = false;  // guarded by decoderMutex

    std::unique_ptr<IRecognizerAudio> audio;
    std::function<void()> notify;
    std::thread feeder;
    std::atomic<bool> ended = true;
    std::atomic<bool> active = true;
    std::atomic<bool> purge = false;

    std::mutex queueMutex;
    std::deque<RecognitionEvent> queue;
};

}  // namespace talvero
