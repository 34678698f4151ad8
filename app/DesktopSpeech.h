#pragma once
// The program's speech layer behind ISpeech: the voice and its event handling. The voice's
// streams suspend and resume recognition through SetRecognizerActive, which hands the change to
// the recognizer's owner (SetRecognizerSwitch).
#include <functional>
#include <memory>
#include <string>

#include "app/WindowServices.h"
#include "speech/Voice.h"

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
    std::string LastRecognizedText() override { return {}; }
    void OnRecognitionEvent() override {}
    void OnVoiceEvent(const Settings& settings) override;
    void PurgeSpeech() override;
    IVoice* Voice() override { return voice.get(); }
    std::string LastSpokenText() override { return lastSpokenText; }
    bool SpeechSuspended() override { return speechSuspended; }
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
    std::string lastSpokenText;
    bool speechSuspended = false;
    std::function<void(bool)> recognizerSwitch;
};
