#pragma once
// The Translate action and the automatic pass around it, apart from the window that shows them.
// Translate starts the engines and returns; the outcome is applied when it comes back on the
// window's thread (boxes, banner, near list, voice), one Translate at a time. The automatic
// pass's turn, asked for while another Translate runs, follows it. No GUI code: the window is
// reached through ITranslationView, so a test drives this with a fake view and fake engines.
#include <string>
#include <vector>

#include "app/AutoTranslate.h"
#include "app/OwnedThreads.h"
#include "app/TranslationDispatch.h"

namespace talvero {

class ITranslationEngines;
class ILocalDictionary;
class ISpeech;
struct Settings;

class ITranslationView {
public:
    virtual ~ITranslationView() = default;
    virtual std::string ReadInput() = 0;
    // Replaces the input's text without a change notification, the caret at its end.
    virtual void SetInput(const std::string& text) = 0;
    // The pair lists' choices into `settings`, as the engines read them.
    virtual void ReadPairPositions(Settings& settings) = 0;
    // "Enter text to translate" and the focus back into the input.
    virtual void SayInputEmpty() = 0;
    // On: Translate's button off and the busy cursor; off: both as they were before.
    virtual void ShowTranslating(bool on) = 0;
    virtual void SetResult(int engine, const std::string& text) = 0;
    virtual void ShowBanner(const BannerDecision& banner) = 0;
    virtual void ClearNearList() = 0;
    virtual void FillNearList(std::vector<std::string> phrases) = 0;
    // Starts the automatic pass's one-shot delay; the view calls DelayElapsed when it has passed.
    virtual void StartDelay(int ms) = 0;
};

class TranslationPresenter : private IAutoTranslateHost {
public:
    // `settings` are read at each step: the window and its dialogs change them meanwhile.
    TranslationPresenter(ITranslationView& view, ITranslationEngines& engines,
                         ILocalDictionary& dictionary, ISpeech& speech, Settings& settings,
                         PostToOwner post);

    // The Translate button; dropped while a Translate runs.
    void Translate();
    bool Running() const { return running; }
    // The input changed (its edit complete): the automatic pass looks at it.
    void InputChanged() { pass.InputChanged(); }
    void DelayElapsed() { pass.Elapsed(); }
    // The window is ending: no outcome is applied and no pass runs from now on.
    void Stop();
    // What the speak-back of the automatic pass says: the latest recognized text.
    void SetLastRecognized(std::string text) { lastRecognized = std::move(text); }
    const std::string& LastRecognized() const { return lastRecognized; }
    // A local-dictionary load is under way: the automatic pass waits it out.
    void SetDictionaryLoading(bool on) { state.dictionaryLoading = on; }
    const AutoTranslateState& AutoState() const { return state; }
    // The translation of a near-list entry, into the local result box.
    void OpenNearEntry(const std::string& phrase);

private:
    // IAutoTranslateHost
    std::string ReadInput() override;
    void StartDelay(double ms) override;
    void SpeakRecognizedText() override;
    void TranslateInput() override { Start(true); }
    void SetInput(const std::string& text) override;

    void Start(bool forPass);
    void Apply(TranslateOutcome outcome);

    ITranslationView& view;
    ITranslationEngines& engines;
    ILocalDictionary& dictionary;
    ISpeech& speech;
    Settings& settings;
    PostToOwner post;
    AutoTranslateState state;
    AutoTranslatePass pass{*this, state, settings};
    bool running = false;
    bool forPass = false;     // the running one was started by the automatic pass
    bool passQueued = false;  // the pass's turn, asked for while another one ran
    bool stopped = false;
    std::string lastRecognized;  // as recognized, with a trailing blank
};

// A delay from an edited settings file may be anything: at most a day, at least nothing.
int AutoTranslateDelayMs(double ms);

}  // namespace talvero
