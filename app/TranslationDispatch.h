#pragma once
// The Translate action without a window: which engines are asked, with which pair numbers, what
// each result box shows afterwards, what the translation banner shows and for how long, what is
// spoken and in which order, and what the near-match list holds. The window (button 1032 and the
// end of every automatic translation) and `talvero-cli translate` both run it and then apply the
// outcome to their own surfaces.
//
// The ticked web engines run at the same time, each on its own HTTP client in its own thread,
// joined before the web step returns, so the outcome is the one the engines would give one
// after the other, only sooner. RunTranslate blocks its caller; the window runs the web step
// (AskWebEngines) on a worker and the rest (FinishTranslate) back on its own thread.
#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "dictionary/LocalDictionary.h"
#include "res/Ids.h"
#include "settings/Services.h"
#include "settings/Settings.h"
#include "web/HttpCommon.h"

namespace talvero {

// The engines in the order in which every step visits them. The value is the index into
// `TranslateOutcome::engines`.
enum class Engine { Google = 0, Babelfish = 1, FreeTranslation = 2, Local = 3 };
inline constexpr int kEngineCount = 4;
inline constexpr int kWebEngineCount = 3;

// "google", "babelfish", "freetranslation", "local".
const char* EngineName(Engine engine);
// "POPUP BANNER SOURCE" number of the engine: Local 0, Google 1, Babelfish 2, FreeTranslation 3.
int BannerSourceOf(Engine engine);

// Message box text (OK, warning icon, application name as caption) for blank input.
inline constexpr const char* kEmptyInputMessage = "Please enter the text you want to translate.";

// --- What the action needs from the engines -------------------------------------------------

// One web engine's answer: `failed` when the request or the parsing failed (then `text` is
// empty and `errorText` says why; nobody shows it). A successful answer may be empty.
struct WebAnswer {
    bool failed = true;
    std::string text;
    std::string errorText;
    std::string reason;  // why, in a few words ("certificate", "time-out", "HTTP 404", ...)
};

// Asks one web engine (Google, Babelfish or FreeTranslation) for the translation of `text`
// with its pair number. Called from worker threads, several at once: it must be thread-safe.
using WebEngineRunner =
    std::function<WebAnswer(Engine engine, const std::string& text, int pairNumber)>;

// The real web engines: the three translators against the base addresses of `services`, each
// request on its own client with `limits` (time-outs, body cap). A form post ends after
// kFormPostTotalMs at the latest, whatever `limits` says: the user waits for all of them.
inline constexpr long kFormPostTotalMs = 30000;
WebEngineRunner MakeWebEngineRunner(const Services& services, const HttpLimits& limits = {});

// The local dictionary's part (LocalStepResult and TranslateLocal come with the dictionary):
// `found` when it gave a non-empty translation (the word limit of "MAX NUMBER OF WORDS IN
// COMBINATIONS" is its business), and the near-search list, filled whether or not a translation
// was found.
using LocalStep = std::function<LocalStepResult(const std::string& text, const Settings& settings)>;

// The local step of a loaded dictionary (which must outlive the step).
LocalStep MakeLocalStep(LocalDictionary& dictionary);

struct TranslateEngines {
    WebEngineRunner web;  // may be empty when no web engine is ticked
    LocalStep local;      // may be empty: the local engine then finds nothing and no near list
};

// --- What the action produces ---------------------------------------------------------------

enum class EngineOutcome {
    NotAsked,   // engine not ticked: its box is not touched
    Changed,    // replace the whole content of the engine's box with `text` (may be empty)
    Unchanged,  // asked, nothing to show (local: nothing found / too many words): box keeps text
    Failed,     // web engine failed: box keeps its text, nothing spoken, no banner
};

struct EngineResult {
    EngineOutcome outcome = EngineOutcome::NotAsked;
    std::string text;       // the new box content when Changed
    std::string errorText;  // why, when Failed (never shown)
    std::string reason;     // why, in a few words, when Failed (talvero-cli prints it)
};

// The translation banner, shown at most once per run.
struct BannerDecision {
    bool show = false;
    Engine source = Engine::Local;  // the engine whose result it shows
    std::string text;               // "%s:\n%s" (input, result) or the result alone
    unsigned lines = 0;             // text bytes / 36, rounded down: the skin's extra lines
    unsigned appearMs = 10;
    unsigned stayMs = 0;  // lines * 1800, and at least 1800 (one line)
    unsigned hideMs = 10;
    int skinBitmap =
        res::kTranslationSkin;  // transparent colour (255, 0, 255); SetSkinForLines(..., lines)
};

struct SpeakItem {
    Engine engine;
    std::string text;
};

struct TranslateOutcome {
    // Blank input: show kEmptyInputMessage and put the focus into the input box; nothing else
    // changes (apart from the near-match list 1006, which is always emptied first).
    bool emptyInput = false;
    std::string text;  // the trimmed input
    // Pair numbers handed to Google, Babelfish, FreeTranslation (-1 / 255 for no selection).
    std::array<int, kWebEngineCount> pairNumbers{-1, 255, 255};
    std::array<EngineResult, kEngineCount> engines;  // indexed by Engine
    BannerDecision banner;
    std::vector<SpeakItem> speakQueue;  // queue on the voice in this order; the last is "Repeat"
    std::vector<std::string> nearList;  // list box 1006 after emptying, in this order
};

// The window applies an outcome in this order: empty list 1006; on emptyInput the message and
// focus, end; for Google, Babelfish, FreeTranslation, Local replace the boxes whose outcome is
// Changed; show the banner when banner.show (Hide, SetSkinForLines, Show); fill 1006 from
// nearList; SpeakText each speakQueue item in order.
TranslateOutcome RunTranslate(std::string_view input, const Settings& settings,
                              const TranslateEngines& engines);

// The three steps of RunTranslate, for a caller that waits for the web elsewhere.
// 1. The trimmed input and the pair numbers; emptyInput when there is nothing to translate.
TranslateOutcome BeginTranslate(std::string_view input, const Settings& settings);
// 2. The ticked web engines' answers (blocks; thread-safe). No thread outlives the call.
struct WebRound {
    std::array<bool, kWebEngineCount> asked{};
    std::array<WebAnswer, kWebEngineCount> answers;
};
bool AsksTheWeb(const Settings& settings);
WebRound AskWebEngines(const TranslateOutcome& begun, const Settings& settings,
                       const WebEngineRunner& web);
// 3. Boxes, banner, local step, near list and speak queue from the web's answers.
TranslateOutcome FinishTranslate(TranslateOutcome begun, const WebRound& round,
                                 const Settings& settings, const LocalStep& local);

// Helpers the action is built from, for callers that need them alone.
std::string TrimInput(std::string_view input);
std::array<int, kWebEngineCount> WebPairNumbers(const Settings& settings);
BannerDecision MakeBanner(Engine source, const std::string& text, const std::string& result,
                          bool showOriginal);

}  // namespace talvero
