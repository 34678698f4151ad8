#pragma once
// What the main window asks of the parts around it: the translation engines, the local
// dictionary and speech. The window holds one object of each and calls them from its handlers;
// tests plug in recording stand-ins here. No GUI code.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/OwnedThreads.h"
#include "app/TranslationDispatch.h"

namespace talvero {

struct Settings;
class LocalDictionary;

class ITranslationEngines {
public:
    virtual ~ITranslationEngines() = default;
    // The Translate action for the input box's text: what each box, the banner, the near list
    // and the voice get.
    virtual TranslateOutcome Translate(std::string_view input, const Settings& settings) = 0;
    // The same action without holding the caller: returns at once, and `done` gets the
    // outcome later through `post` (on the caller's thread). Engines that answer at once call
    // `done` before returning; that is the default. Work still under way when the engines
    // are destroyed is stopped and joined then, and its `done` never runs.
    virtual void StartTranslate(std::string_view input, const Settings& settings,
                                const PostToOwner& post, std::function<void(TranslateOutcome)> done)
    {
        (void)post;
        done(Translate(input, settings));
    }
};

class ILocalDictionary {
public:
    virtual ~ILocalDictionary() = default;
    // Loads both files anew; returns one message per file that could not be opened
    // ("Could not open the file: <name>").
    virtual std::vector<std::string> Load(const std::string& localFile,
                                          const std::string& personalFile) = 0;
    // Translation of a stored original, or nothing.
    virtual std::optional<std::string> Find(const std::string& original) = 0;
    // Shutdown: the entries and the tree are dropped.
    virtual void Discard() = 0;
    // Loads both files as Load does, but on another thread where it can, so that the window
    // appears meanwhile; every other call waits until the load is done. Returns at once with
    // the messages for files that cannot be opened; `later` is called once the load is done,
    // from the loading thread, with any that only the load itself found (often none). By
    // default the load happens here and now, and `later` is called before the return.
    virtual std::vector<std::string> LoadInBackground(
        const std::string& localFile, const std::string& personalFile,
        std::function<void(std::vector<std::string> messages)> later)
    {
        std::vector<std::string> messages = Load(localFile, personalFile);
        if (later) later({});
        return messages;
    }
    // The dictionary engine behind it, for the Translate action's local step (null: none).
    virtual LocalDictionary* Engine() = 0;
};

class IVoice;

class ISpeech {
public:
    virtual ~ISpeech() = default;
    // Recognition and voice set-up at start-up; false when no recognizer exists.
    virtual bool SetUp() = 0;
    // Queues a code-page text behind whatever is being spoken (never purges) and makes it the
    // last spoken text.
    virtual void SpeakText(const std::string& text) = 0;
    // The voice's events: suspends recognition from the start of each spoken stream to its end
    // when `settings` ask for it (1012 checked and "SUSPEND TEXT RECOGNITION DURING TTS").
    virtual void OnVoiceEvent(const Settings& settings) = 0;
    // Purges the voice's queue (the "Stop" button; the tray's "Disable").
    virtual void PurgeSpeech() {}
    // The voice; null when there is none (speaking, Stop, Pause, Repeat and the voice dialog
    // then do nothing with it).
    virtual IVoice* Voice() { return nullptr; }
    // The text of the latest SpeakText ("" before the first): what "Repeat" speaks.
    virtual std::string LastSpokenText() { return {}; }
    // On while recognition is suspended: for the voice's speech, or held by SuspendRecognition.
    virtual bool SpeechSuspended() { return false; }
    // Holds recognition off (on) until released, whatever the voice does meanwhile.
    virtual void SuspendRecognition(bool on) { (void)on; }
    // How the layer turns the recognizer off while the voice speaks and on again afterwards
    // (the window owns the recognizer).
    virtual void SetRecognizerSwitch(std::function<void(bool active)> onSwitch) { (void)onSwitch; }
    // An engine change: the voice is dropped (with what it had queued) and a new one takes its
    // place with the default voice, rate, volume and output; nothing chosen earlier carries
    // over. Returns the new voice (null when none could be made).
    virtual IVoice* ReplaceVoice() { return Voice(); }
};

// The program's local dictionary (files of the working directory).
std::unique_ptr<ILocalDictionary> MakeLocalDictionary();

// The Translate action with the web engines of "TalveroServices.txt" (read now) and the local
// step of `dictionary`, which must outlive the engines.
std::unique_ptr<ITranslationEngines> MakeTranslationEngines(ILocalDictionary& dictionary);

// A speech layer without recognizer or voice.
std::unique_ptr<ISpeech> MakeSilentSpeech();

// The program's speech layer: the voice on espeak-ng, its samples to the sound device (or the
// WAV file named by TALVERO_AUDIO_OUT, or a null sink); each replacement voice is made alike.
std::unique_ptr<ISpeech> MakeDesktopSpeech();

}  // namespace talvero
