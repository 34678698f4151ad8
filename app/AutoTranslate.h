#pragma once
// The automatic-translation pass: after a change of the input box, wait the delay while the
// window keeps working, and translate once the text has stayed the same over a whole delay;
// then empty the input. A small state machine driven by the window's timer and the end of its
// Translate, so the window never waits inside a handler. The window supplies the host; tests
// supply a fake.
#include <string>

namespace talvero {

struct Settings;

class IAutoTranslateHost {
public:
    virtual ~IAutoTranslateHost() = default;
    virtual std::string ReadInput() = 0;
    // Starts the one-shot delay; when it has passed the host calls AutoTranslatePass::Elapsed.
    virtual void StartDelay(double ms) = 0;
    virtual void SpeakRecognizedText() = 0;
    // Starts the Translate action; once its outcome is applied (at once or later) the host calls
    // AutoTranslatePass::Translated.
    virtual void TranslateInput() = 0;
    // Replaces the input box's text without a change notification.
    virtual void SetInput(const std::string& text) = 0;
};

struct AutoTranslateState {
    bool autoTranslateBusy = false;  // a pass is under way (waiting or translating)
    bool dictionaryLoading = false;
};

class AutoTranslatePass {
public:
    // Settings are read at each step: an options dialog may change them meanwhile.
    AutoTranslatePass(IAutoTranslateHost& host, AutoTranslateState& state,
                      const Settings& settings);

    // The input box changed: starts a pass, unless one is under way (it looks at the text again
    // when its delay ends, and keeps what arrives while it translates).
    void InputChanged();
    void Elapsed();
    void Translated();
    // The window is ending: nothing more happens.
    void Stop();

    // What is left of the input once the translation of `sent` is done: text typed or dictated
    // behind it meanwhile stays for a pass of its own.
    static std::string Remainder(const std::string& now, const std::string& sent);

private:
    enum class Phase { Idle, Waiting, Translating };
    void Finish();

    IAutoTranslateHost& host;
    AutoTranslateState& state;
    const Settings& settings;
    Phase phase = Phase::Idle;
    std::string text;  // what the pass waits on, then what it translates
    bool stopped = false;
};

}  // namespace talvero
