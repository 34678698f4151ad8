#include "app/AutoTranslate.h"

#include "settings/Settings.h"

namespace talvero {

AutoTranslatePass::AutoTranslatePass(IAutoTranslateHost& host, AutoTranslateState& state,
                                     const Settings& settings)
    : host(host), state(state), settings(settings)
{
}

void AutoTranslatePass::InputChanged()
{
    if (stopped || phase != Phase::Idle || state.dictionaryLoading) return;
    text = host.ReadInput();
    if (text.empty()) return;
    phase = Phase::Waiting;
    state.autoTranslateBusy = true;
    host.StartDelay(settings.translationDelay);
}

void AutoTranslatePass::Elapsed()
{
    if (stopped || phase != Phase::Waiting) return;
    const std::string now = host.ReadInput();
    if (now != text) {  // not settled: wait a full delay again
        text = now;
        if (text.empty())
            Finish();
        else
            host.StartDelay(settings.translationDelay);
        return;
    }
    if (settings.speakRecognizedText) host.SpeakRecognizedText();
    if (!settings.launchTranslationAutomatically) {
        Finish();
        return;
    }
    phase = Phase::Translating;
    host.TranslateInput();
}

void AutoTranslatePass::Translated()
{
    if (stopped || phase != Phase::Translating) return;
    std::string rest = Remainder(host.ReadInput(), text);
    // Blanks alone would end in the empty-input warning: nothing was added that needs a pass.
    if (rest.find_first_not_of(" \t\r\n") == std::string::npos) rest.clear();
    host.SetInput(rest);
    Finish();
    // A phrase dictated or typed while the translation ran gets its own pass, as it would have
    // had if it had arrived after the input was emptied.
    if (!rest.empty()) InputChanged();
}

void AutoTranslatePass::Stop()
{
    stopped = true;
    Finish();
}

void AutoTranslatePass::Finish()
{
    phase = Phase::Idle;
    state.autoTranslateBusy = false;
}

std::string AutoTranslatePass::Remainder(const std::string& now, const std::string& sent)
{
    if (now.compare(0, sent.size(), sent) == 0) return now.substr(sent.size());
    // The translated text itself was edited meanwhile: all of it stays, nothing is lost.
    return now;
}

}  // namespace talvero
