#include "app/DesktopSpeech.h"

#include <cstdio>

#include "base/CodePage.h"
#include "settings/Settings.h"

namespace talvero {

DesktopSpeech::DesktopSpeech(std::unique_ptr<IVoice> v) : voice(std::move(v)) {}

DesktopSpeech::DesktopSpeech(std::function<std::unique_ptr<IVoice>()> make)
    : makeVoice(std::move(make)), voice(makeVoice())
{
}

IVoice* DesktopSpeech::ReplaceVoice()
{
    if (!makeVoice) return voice.get();
    if (voice) {
        voice->SetNotify({});
        voice->Purge();
    }
    // espeak-ng holds one voice per process: the old one goes before the new one starts.
    voice.reset();
    voice = makeVoice();
    // The old voice's end of stream will never come: recognition it suspended goes on now.
    if (speaking) {
        speaking = false;
        SwitchRecognizer();
    }
    return voice.get();
}

DesktopSpeech::~DesktopSpeech()
{
    if (voice) voice->SetNotify({});
}

void DesktopSpeech::SpeakText(const std::string& text)
{
    if (voice) voice->Speak(CodePageToUtf8(text));
    lastSpokenText = text;
}

void DesktopSpeech::SuspendRecognition(bool on)
{
    held = on;
    SwitchRecognizer();
}

void DesktopSpeech::PurgeSpeech()
{
    if (voice) voice->Purge();
}

void DesktopSpeech::OnVoiceEvent(const Settings& settings)
{
    if (!voice) return;
    VoiceEvent event;
    while (voice->GetEvent(event)) {
        if (event.kind == VoiceEventKind::StartStream) {
            if (settings.activateSpeechRecognition && settings.suspendRecognitionDuringTts) {
                speaking = true;
                SwitchRecognizer();
            }
        } else if (settings.activateSpeechRecognition && speaking) {
            speaking = false;
            SwitchRecognizer();
        }
    }
}

std::unique_ptr<ISpeech> MakeDesktopSpeech()
{
    return std::make_unique<DesktopSpeech>([]() -> std::unique_ptr<IVoice> {
        std::string note, error;
        std::unique_ptr<IAudioSink> sink = MakeDefaultAudioSink(&note);
        if (!note.empty())
            std::fprintf(stderr, "talvero: %s; speaking to no device\n", note.c_str());
        std::unique_ptr<IVoice> voice = MakeEspeakVoice(std::move(sink), error);
        if (!voice) std::fprintf(stderr, "talvero: no voice: %s\n", error.c_str());
        return voice;
    });
}

}  // namespace talvero
