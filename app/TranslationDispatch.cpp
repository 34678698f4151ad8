#include "app/TranslationDispatch.h"

#include <algorithm>
#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "catalogue/Catalogue.h"
#include "catalogue/TextFile.h"

namespace {

constexpr std::array<Engine, kWebEngineCount> kWebEngines{Engine::Google, Engine::Babelfish,
                                                          Engine::FreeTranslation};

bool UseFlag(const Settings& s, Engine e)
{
    switch (e) {
        case Engine::Google:
            return s.useGoogle;
        case Engine::Babelfish:
            return s.useBabelfish;
        case Engine::FreeTranslation:
            return s.useFreeTranslation;
        case Engine::Local:
            return s.useLocalDictionary;
    }
    return false;
}

bool SpeakFlag(const Settings& s, Engine e)
{
    switch (e) {
        case Engine::Google:
            return s.speakGoogle;
        case Engine::Babelfish:
            return s.speakBabelfish;
        case Engine::FreeTranslation:
            return s.speakFreeTranslation;
        case Engine::Local:
            return s.speakLocal;
    }
    return false;
}

}  // namespace

const char* EngineName(Engine engine)
{
    switch (engine) {
        case Engine::Google:
            return "google";
        case Engine::Babelfish:
            return "babelfish";
        case Engine::FreeTranslation:
            return "freetranslation";
        case Engine::Local:
            return "local";
    }
    return "";
}

int BannerSourceOf(Engine engine)
{
    switch (engine) {
        case Engine::Google:
            return 1;
        case Engine::Babelfish:
            return 2;
        case Engine::FreeTranslation:
            return 3;
        case Engine::Local:
            return 0;
    }
    return -1;
}

std::string TrimInput(std::string_view input)
{
    return std::string(TrimWhiteSpace(input));
}

std::array<int, kWebEngineCount> WebPairNumbers(const Settings& settings)
{
    return {PairNumberForPosition(PairList::Google, settings.googlePairPosition),
            PairNumberForPosition(PairList::Babelfish, settings.babelfishPairPosition),
            PairNumberForPosition(PairList::FreeTranslation, settings.freeTranslationPairPosition)};
}

BannerDecision MakeBanner(Engine source, const std::string& text, const std::string& result,
                          bool showOriginal)
{
    BannerDecision banner;
    banner.show = true;
    banner.source = source;
    banner.text = showOriginal ? text + ":\n" + result : result;
    banner.lines = static_cast<unsigned>(banner.text.size() / 36);
    // The stay counts the line a short text starts: with none, a text under 36 bytes slid away
    // the moment it was up, before anyone could read it.
    banner.stayMs = std::max(1u, banner.lines) * 1800;
    return banner;
}

LocalStep MakeLocalStep(LocalDictionary& dictionary)
{
    return [&dictionary](const std::string& text, const Settings& settings) {
        return TranslateLocal(dictionary, text, settings);
    };
}

TranslateOutcome RunTranslate(std::string_view input, const Settings& settings,
                              const TranslateEngines& engines, const WebWait& wait)
{
    TranslateOutcome out;
    out.pairNumbers = WebPairNumbers(settings);
    out.text = TrimInput(input);
    if (out.text.empty()) {
        out.emptyInput = true;
        return out;
    }

    // Every ticked web engine is asked at once; nothing is applied before all have answered.
    // The threads share only this round with the caller, so a caller that stops waiting (a
    // window closing) leaves nothing behind that they still use.
    struct Round {
        std::mutex mutex;
        std::condition_variable answered;
        std::array<WebAnswer, kWebEngineCount> answers;
        int remaining = 0;
    };
    auto round = std::make_shared<Round>();
    std::array<bool, kWebEngineCount> asked{};
    for (int i = 0; i < kWebEngineCount; ++i) {
        if (!UseFlag(settings, kWebEngines[i])) continue;
        asked[i] = true;
        if (engines.web)
            ++round->remaining;
        else
            round->answers[i] = WebAnswer{true, {}, "No web engine available", "no web engine"};
    }
    for (int i = 0; i < kWebEngineCount; ++i) {
        if (!asked[i] || !engines.web) continue;
        std::thread([round, web = engines.web, e = kWebEngines[i], text = out.text,
                     pair = out.pairNumbers[i], i] {
            WebAnswer answer;
            try {
                answer = web(e, text, pair);
            } catch (const std::exception& ex) {
                answer = WebAnswer{true, {}, ex.what(), ex.what()};
            } catch (...) {
                answer = WebAnswer{true, {}, "Unknown failure", "unknown failure"};
            }
            std::lock_guard<std::mutex> lock(round->mutex);
            round->answers[i] = std::move(answer);
            --round->remaining;
            round->answered.notify_all();
        }).detach();
    }
    if (wait && !wait([round] {
            std::lock_guard<std::mutex> lock(round->mutex);
            return round->remaining == 0;
        })) {
        out.abandoned = true;
        return out;
    }
    std::array<WebAnswer, kWebEngineCount> answers;
    {
        std::unique_lock<std::mutex> lock(round->mutex);
        round->answered.wait(lock, [&] { return round->remaining == 0; });
        answers = round->answers;
    }
    const bool bannerOn = settings.showTranslationBanner;
    for (int i = 0; i < kWebEngineCount; ++i) {
        Engine e = kWebEngines[i];
        if (!asked[i]) continue;
        EngineResult& r = out.engines[static_cast<int>(e)];
        if (answers[i].failed) {
            r.outcome = EngineOutcome::Failed;
            r.errorText = answers[i].errorText;
            r.reason = answers[i].reason;
            continue;
        }
        r.outcome = EngineOutcome::Changed;
        r.text = answers[i].text;
        if (!r.text.empty() && bannerOn && settings.bannerSource == BannerSourceOf(e))
            out.banner = MakeBanner(e, out.text, r.text, settings.showOriginalTextBanner);
    }

    if (settings.useLocalDictionary) {
        EngineResult& r = out.engines[static_cast<int>(Engine::Local)];
        r.outcome = EngineOutcome::Unchanged;
        if (engines.local) {
            LocalStepResult local = engines.local(out.text, settings);
            if (local.found && !local.translation.empty()) {
                r.outcome = EngineOutcome::Changed;
                r.text = local.translation;
                if (bannerOn && settings.bannerSource == BannerSourceOf(Engine::Local))
                    out.banner = MakeBanner(Engine::Local, out.text, r.text,
                                            settings.showOriginalTextBanner);
            }
            out.nearList = std::move(local.nearList);
        }
    }

    // A failed web engine and a local step without a result are not spoken; a web engine that
    // succeeded with an empty result is (an empty request, as the voice gets it).
    for (int i = 0; i < kEngineCount; ++i) {
        Engine e = static_cast<Engine>(i);
        const EngineResult& r = out.engines[i];
        if (r.outcome == EngineOutcome::Changed && SpeakFlag(settings, e))
            out.speakQueue.push_back({e, r.text});
    }
    return out;
}
