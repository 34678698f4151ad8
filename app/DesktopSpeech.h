#pragma once
// The program's speech layer behind ISpeech: the voice and its event handling. The voice's
// streams suspend and resume recognition through SetRecognizerActive, which hands the change to
// the recognizer's owner (SetRecognizerSwitch). Whether recognition is suspended is kept here
// and nowhere else.
#include <functional>
#include <memory>
#include <string>

#include "app/WindowServices.h"
#include "speech/Voice.h"

namespace talvero {

class DesktopSpeech : public ISpeech {
public:
    // `voice` may be null (espeak-ng could not start): then nothing is spoken. A layer made
    // around one voice keeps it through ReplaceVoice.
    explicit DesktopSpeech(std::unique_ptr<IVoice> voice);
    // The voice comes from `makeVoice`, now and at every ReplaceVoice.
    explicit DesktopSpeech(std::function<std::unique_ptr<IVoice>()> makeVoice);
    ~DesktopSpeech() override;

    bool SetUp() override { return false; }
    void SpeakText(const std::string& text) override;
    void OnVoiceEvent(const Settings& settings) override;
    void PurgeSpeech() override;
    IVoice* Voice() override { return voice.get(); }
    std::string LastSpokenText() override { return lastSpokenText; }
    bool SpeechSuspended() override { return held || speaking; }
    void SuspendRecognition(bool on) override;
    IVoice* ReplaceVoice() override;
    void SetRecognizerSwitch(std::function<void(bool active)> onSwitch) override
    {
        recognizerSwitch = std::move(onSwitch);
    }

protected:
    // Recognition goes inactive, dropping what it heard so far (false), or active again.
    virtual void SetRecognizerActive(bool active)
    {
        if (recognizerSwitch) recognizerSwitch(active);
    }

private:
    std::function<std::unique_ptr<IVoice>()> makeVoice;
    std::unique_ptr<IVoice> voice;
    void SwitchRecognizer() { SetRecognizerActive(!held && !speaking); }

    std::string lastSpokenText;
    // Why recognition is off: the voice is speaking, or someone holds it off. The recognizer
    // runs only when neither is the case.
    bool speaking = false;
    bool held = false;
    std::function<void(bool)> recognizerSwitch;
};

}  // namespace talvero
