#include "app/TranslationPresenter.h"

#include <algorithm>
#include <cmath>

#include "app/WindowServices.h"
#include "settings/Settings.h"

namespace talvero {

TranslationPresenter::TranslationPresenter(ITranslationView& view, ITranslationEngines& engines,
                                           ILocalDictionary& dictionary, ISpeech& speech,
                                           Settings& settings, PostToOwner post)
    : view(view),
      engines(engines),
      dictionary(dictionary),
      speech(speech),
      settings(settings),
      post(std::move(post))
{
}

void TranslationPresenter::Translate()
{
    Start(false);
}

void TranslationPresenter::Stop()
{
    stopped = true;
    pass.Stop();
}

void TranslationPresenter::Start(bool byPass)
{
    if (stopped) return;
    // One Translate at a time. A press meanwhile is dropped (the button is off then); the
    // automatic pass gets its turn once the running one is applied.
    if (running) {
        if (byPass) passQueued = true;
        return;
    }
    view.ClearNearList();
    const std::string text = view.ReadInput();
    if (TrimInput(text).empty()) {
        view.SayInputEmpty();
        if (byPass) pass.Translated();
        return;
    }
    view.ReadPairPositions(settings);
    running = true;
    forPass = byPass;
    view.ShowTranslating(true);
    engines.StartTranslate(text, settings, post,
                           [this](TranslateOutcome outcome) { Apply(std::move(outcome)); });
}

void TranslationPresenter::Apply(TranslateOutcome outcome)
{
    running = false;
    view.ShowTranslating(false);
    if (stopped) return;
    for (int i = 0; i < kEngineCount; ++i)
        if (outcome.engines[i].outcome == EngineOutcome::Changed)
            view.SetResult(i, outcome.engines[i].text);
    if (outcome.banner.show) view.ShowBanner(outcome.banner);
    view.FillNearList(std::move(outcome.nearList));
    for (const SpeakItem& item : outcome.speakQueue)
        speech.SpeakText(item.text);
    if (forPass) pass.Translated();
    if (passQueued && !running) {
        passQueued = false;
        Start(true);
    }
}

void TranslationPresenter::OpenNearEntry(const std::string& phrase)
{
    if (std::optional<std::string> translation = dictionary.Find(phrase))
        view.SetResult(static_cast<int>(Engine::Local), *translation);
}

std::string TranslationPresenter::ReadInput()
{
    return view.ReadInput();
}

void TranslationPresenter::StartDelay(double ms)
{
    view.StartDelay(AutoTranslateDelayMs(ms));
}

void TranslationPresenter::SpeakRecognizedText()
{
    speech.SpeakText(lastRecognized);
}

void TranslationPresenter::SetInput(const std::string& text)
{
    view.SetInput(text);
}

int AutoTranslateDelayMs(double ms)
{
    if (!(ms > 0)) return 0;
    return static_cast<int>(std::llround(std::min(ms, 86400000.0)));
}

}  // namespace talvero
