#include "app/TranslationDispatch.h"

#include <algorithm>
#include <future>
#include <optional>

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
    // A started line is a line: rounded down, a text under 36 bytes counted none and the banner
    // slid away the moment it was up.
    banner.lines = static_cast<unsigned>(std::max<size_t>(1, (banner.text.size() + 35) / 36));
    banner.stayMs = banner.lines * 1800;
    return banner;
}

LocalStep MakeLocalStep(LocalDictionary& dictionary)
{
    return [&dictionary](const std::string& text, const Settings& settings) {
        return TranslateLocal(dictionary, text, settings);
    };
}

TranslateOutcome RunTranslate(std::string_view input, const Settings& settings,
                              const TranslateEngines& engines)
{
    TranslateOutcome out;
    out.pairNumbers = WebPairNumbers(settings);
    out.text = TrimInput(input);
    if (out.text.empty()) {
        out.emptyInput = true;
        return out;
    }

    // Every ticked web engine is asked at once; nothing is applied before all have answered.
    std::array<std::optional<std::future<WebAnswer>>, kWebEngineCount> pending;
    for (int i = 0; i < kWebEngineCount; ++i) {
        Engine e = kWebEngines[i];
        if (!UseFlag(settings, e)) continue;
        if (!engines.web) {
            std::promise<WebAnswer> none;
            none.set_value(WebAnswer{true, {}, "No web engine available", "no web engine"});
            pending[i] = none.get_future();
            continue;
        }
        pending[i] = std::async(std::launch::async, [&engines, e, &out, i] {
            try {
                return engines.web(e, out.text, out.pairNumbers[i]);
            } catch (const std::exception& ex) {
                return WebAnswer{true, {}, ex.what(), ex.what()};
            } catch (...) {
                return WebAnswer{true, {}, "Unknown failure", "unknown failure"};
            }
        });
    }
    std::array<WebAnswer, kWebEngineCount> answers;
    for (int i = 0; i < kWebEngineCount; ++i)
        if (pending[i]) answers[i] = pending[i]->get();

    const bool bannerOn = settings.showTranslationBanner;
    for (int i = 0; i < kWebEngineCount; ++i) {
        Engine e = kWebEngines[i];
        if (!pending[i]) continue;
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
