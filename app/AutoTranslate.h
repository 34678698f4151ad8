#pragma once
// The automatic-translation pass: after a change of the input box, wait the delay while the
// window keeps working, and translate once the text has stayed the same over a whole delay.
// The window supplies the host; tests supply a fake.
#include <string>

struct Settings;

class IAutoTranslateHost {
public:
    virtual ~IAutoTranslateHost() = default;
    virtual std::string ReadInput() = 0;
    // Waits `ms` while handling the window's events. False when the window is ending: the pass
    // then stops without touching anything.
    virtual bool WaitPumping(double ms) = 0;
    virtual void SpeakRecognizedText() = 0;
    virtual void Translate() = 0;
    // Empties the input box without a change notification.
    virtual void EmptyInput() = 0;
};

struct AutoTranslateState {
    bool autoTranslateBusy = false;
    bool dictionaryLoading = false;
};

// Settings are read afresh after each wait: an options dialog may have changed them meanwhile.
void AutoTranslate(IAutoTranslateHost& host, AutoTranslateState& state, const Settings& settings);
