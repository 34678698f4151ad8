#include "app/TranslationDispatch.h"

#include <algorithm>
#include <memory>
#include <thread>

#include "base/TextFile.h"
#include "catalogue/Catalogue.h"

namespace talvero {

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

TranslateOutcome BeginTranslate(std::string_view input, const Settings& settings)
{
    TranslateOutcome out;
    out.pairNumbers = WebPairNumbers(settings);
    out.text = TrimInput(input);
    out.emptyInput = out.text.empty();
    return out;
}

bool AsksTheWeb(const Settings& settings)
{
    for (Engine e : kWebEngines)
        if (UseFlag(settings, e)) return true;
    return false;
}

WebRound AskWebEngines(const TranslateOutcome& begun, const Settings& settings,
                       const WebEngineRunner& web)
{
    // Every ticked web engine is asked at once; each thread writes only its own answer, and
    // all are joined here, so nothing the engines use outlives this call.
    WebRound round;
    std::array<std::thread, kWebEngineCount> threads;
    for (int i = 0; i < kWebEngineCount; ++i) {
        if (!UseFlag(settings, kWebEngines[i])) continue;
        round.asked[i] = true;
        if (!web) {
            round.answers[i] = WebAnswer{true, {}, "No web engine available", "no web engine"};
            continue;
        }
        threads[i] = std::thread([&round, &web, &begun, i] {
            WebAnswer answer;
            try {
                answer = web(kWebEngines[i], begun.text, begun.pairNumbers[i]);
            } catch (const std::exception& ex) {
                answer = WebAnswer{true, {}, ex.what(), ex.what()};
            } catch (...) {
                answer = WebAnswer{true, {}, "Unknown failure", "unknown failure"};
            }
            round.answers[i] = std::move(answer);
        });
    }
    for (std::thread& t : threads)
        if (t.joinable()) t.join();
    return round;
}

TranslateOutcome RunTranslate(std::string_view input, const Settings& settings,
                              const TranslateEngines& engines)
{
    TranslateOutcome out = BeginTranslate(input, settings);
    if (out.emptyInput) return out;
    const WebRound round = AskWebEngines(out, settings, engines.web);
    return FinishTranslate(std::move(out), round, settings, engines.local);
}

TranslateOutcome FinishTranslate(TranslateOutcome out, const WebRound& round,
                                 const Settings& settings, const LocalStep& local)
{
    if (out.emptyInput) return out;
    const bool bannerOn = settings.showTranslationBanner;
    for (int i = 0; i < kWebEngineCount; ++i) {
        Engine e = kWebEngines[i];
        if (!round.asked[i]) continue;
        const WebAnswer& answer = round.answers[i];
        EngineResult& r = out.engines[static_cast<int>(e)];
        if (answer.failed) {
            r.outcome = EngineOutcome::Failed;
            r.errorText = answer.errorText;
            r.reason = answer.reason;
            continue;
        }
        r.outcome = EngineOutcome::Changed;
        r.text = answer.text;
        if (!r.text.empty() && bannerOn && settings.bannerSource == BannerSourceOf(e))
            out.banner = MakeBanner(e, out.text, r.text, settings.showOriginalTextBanner);
    }

    if (settings.useLocalDictionary) {
        EngineResult& r = out.engines[static_cast<int>(Engine::Local)];
        r.outcome = EngineOutcome::Unchanged;
        if (local) {
            LocalStepResult found = local(out.text, settings);
            if (found.found && !found.translation.empty()) {
                r.outcome = EngineOutcome::Changed;
                r.text = found.translation;
                if (bannerOn && settings.bannerSource == BannerSourceOf(Engine::Local))
                    out.banner = MakeBanner(Engine::Local, out.text, r.text,
                                            settings.showOriginalTextBanner);
            }
            out.nearList = std::move(found.nearList);
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

}  // namespace talvero
