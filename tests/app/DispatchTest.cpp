// The Translate action's routing: which boxes change, the banner, the speak order, the local step,
// and that the web engines are asked at the same time.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "app/TranslationDispatch.h"
#include "tests/support/LoopbackServer.h"

namespace talvero {

namespace {

struct Call {
    Engine engine;
    std::string text;
    int pairNumber;
};

// Web engines answering from a table; an engine missing from the table fails.
struct FakeWeb {
    std::map<Engine, std::string> answers;
    std::mutex mutex;
    std::vector<Call> calls;

    WebEngineRunner Runner()
    {
        return [this](Engine e, const std::string& text, int pair) {
            {
                std::lock_guard<std::mutex> lock(mutex);
                calls.push_back({e, text, pair});
            }
            auto it = answers.find(e);
            if (it == answers.end()) return WebAnswer{true, {}, "Error parsing content", {}};
            return WebAnswer{false, it->second, {}, {}};
        };
    }
};

Settings AllWeb()
{
    Settings s;
    s.useGoogle = s.useBabelfish = s.useFreeTranslation = true;
    s.useLocalDictionary = false;
    s.showTranslationBanner = true;
    s.showOriginalTextBanner = false;
    return s;
}

LocalStep FixedLocal(bool found, std::string translation, std::vector<std::string> near)
{
    return [=](const std::string&, const Settings&) {
        return LocalStepResult{found, translation, near};
    };
}

const EngineResult& R(const TranslateOutcome& o, Engine e)
{
    return o.engines[static_cast<int>(e)];
}

}  // namespace

TEST(Dispatch, BlankInputAsksNobody)
{
    FakeWeb web;
    Settings s = AllWeb();
    s.useLocalDictionary = true;
    bool localAsked = false;
    TranslateEngines engines{web.Runner(), [&](const std::string&, const Settings&) {
                                 localAsked = true;
                                 return LocalStepResult{};
                             }};
    TranslateOutcome o = RunTranslate(" \t\r\n ", s, engines);
    EXPECT_TRUE(o.emptyInput);
    EXPECT_TRUE(web.calls.empty());
    EXPECT_FALSE(localAsked);
    for (const EngineResult& r : o.engines)
        EXPECT_EQ(r.outcome, EngineOutcome::NotAsked);
    EXPECT_FALSE(o.banner.show);
    EXPECT_TRUE(o.speakQueue.empty());
    EXPECT_TRUE(o.nearList.empty());
}

TEST(Dispatch, PairNumbersFromPositionsAndTrimmedText)
{
    FakeWeb web;
    Settings s = AllWeb();
    s.googlePairPosition = 132;
    s.babelfishPairPosition = 2;         // Dutch to English
    s.freeTranslationPairPosition = 16;  // Russian to English
    TranslateOutcome o = RunTranslate("  hola mundo \n", s, {web.Runner(), {}});
    EXPECT_EQ(o.text, "hola mundo");
    ASSERT_EQ(web.calls.size(), 3u);
    std::map<Engine, Call> byEngine;
    for (const Call& c : web.calls)
        byEngine.emplace(c.engine, c);
    EXPECT_EQ(byEngine.at(Engine::Google).pairNumber, 132);
    EXPECT_EQ(byEngine.at(Engine::Babelfish).pairNumber, 14);
    EXPECT_EQ(byEngine.at(Engine::FreeTranslation).pairNumber, 17);
    for (const Call& c : web.calls)
        EXPECT_EQ(c.text, "hola mundo");

    s.googlePairPosition = s.babelfishPairPosition = s.freeTranslationPairPosition = -1;
    o = RunTranslate("x", s, {web.Runner(), {}});
    EXPECT_EQ(o.pairNumbers, (std::array<int, 3>{-1, 255, 255}));
}

TEST(Dispatch, FailedEngineKeepsItsBoxAndIsNotSpoken)
{
    FakeWeb web;
    web.answers[Engine::Babelfish] = "hello";
    Settings s = AllWeb();
    s.useFreeTranslation = false;
    s.speakGoogle = s.speakBabelfish = s.speakFreeTranslation = true;
    TranslateOutcome o = RunTranslate("hola", s, {web.Runner(), {}});
    EXPECT_EQ(R(o, Engine::Google).outcome, EngineOutcome::Failed);
    EXPECT_EQ(R(o, Engine::Google).errorText, "Error parsing content");
    EXPECT_EQ(R(o, Engine::Babelfish).outcome, EngineOutcome::Changed);
    EXPECT_EQ(R(o, Engine::Babelfish).text, "hello");
    EXPECT_EQ(R(o, Engine::FreeTranslation).outcome, EngineOutcome::NotAsked);
    ASSERT_EQ(o.speakQueue.size(), 1u);
    EXPECT_EQ(o.speakQueue[0].engine, Engine::Babelfish);
    EXPECT_EQ(o.speakQueue[0].text, "hello");
}

TEST(Dispatch, EmptyWebResultEmptiesTheBoxIsSpokenButFeedsNoBanner)
{
    FakeWeb web;
    web.answers[Engine::Google] = "";
    Settings s = AllWeb();
    s.useBabelfish = s.useFreeTranslation = false;
    s.bannerSource = 1;
    s.speakGoogle = true;
    TranslateOutcome o = RunTranslate("hola", s, {web.Runner(), {}});
    EXPECT_EQ(R(o, Engine::Google).outcome, EngineOutcome::Changed);
    EXPECT_EQ(R(o, Engine::Google).text, "");
    EXPECT_FALSE(o.banner.show);
    ASSERT_EQ(o.speakQueue.size(), 1u);
    EXPECT_EQ(o.speakQueue[0].text, "");
}

TEST(Dispatch, SpeakOrderIsEngineOrderWithLocalLast)
{
    FakeWeb web;
    web.answers = {{Engine::Google, "g"}, {Engine::Babelfish, "b"}, {Engine::FreeTranslation, "f"}};
    Settings s = AllWeb();
    s.useLocalDictionary = true;
    s.speakGoogle = s.speakBabelfish = s.speakFreeTranslation = s.speakLocal = true;
    TranslateOutcome o = RunTranslate("hola", s, {web.Runner(), FixedLocal(true, "l", {})});
    std::vector<std::string> spoken;
    for (const SpeakItem& item : o.speakQueue)
        spoken.push_back(item.text);
    EXPECT_EQ(spoken, (std::vector<std::string>{"g", "b", "f", "l"}));

    s.speakBabelfish = false;  // a speak flag alone decides nothing else
    o = RunTranslate("hola", s, {web.Runner(), FixedLocal(true, "l", {})});
    EXPECT_EQ(o.speakQueue.size(), 3u);
    EXPECT_EQ(R(o, Engine::Babelfish).outcome, EngineOutcome::Changed);
}

TEST(Dispatch, LocalStepNothingFoundKeepsBoxButFillsNearList)
{
    Settings s;
    s.useLocalDictionary = true;
    s.speakLocal = true;
    s.bannerSource = 0;
    TranslateOutcome o =
        RunTranslate("ca", s, {{}, FixedLocal(false, "", {"casa", "casa blanca", "cama"})});
    EXPECT_EQ(R(o, Engine::Local).outcome, EngineOutcome::Unchanged);
    EXPECT_EQ(o.nearList, (std::vector<std::string>{"casa", "casa blanca", "cama"}));
    EXPECT_TRUE(o.speakQueue.empty());
    EXPECT_FALSE(o.banner.show);

    s.useLocalDictionary = false;  // not ticked: no near list either
    o = RunTranslate("ca", s, {{}, FixedLocal(true, "x", {"casa"})});
    EXPECT_EQ(R(o, Engine::Local).outcome, EngineOutcome::NotAsked);
    EXPECT_TRUE(o.nearList.empty());
}

struct BannerCase {
    int source;
    bool bannerOn;
    bool useBabelfish;
    int expectedEngine;  // -1: no banner
};

class DispatchBanner : public testing::TestWithParam<BannerCase> {};

TEST_P(DispatchBanner, ChosenSourceOnly)
{
    const BannerCase& c = GetParam();
    FakeWeb web;
    web.answers = {{Engine::Google, "g"}, {Engine::Babelfish, "b"}, {Engine::FreeTranslation, "f"}};
    Settings s = AllWeb();
    s.useLocalDictionary = true;
    s.useBabelfish = c.useBabelfish;
    s.bannerSource = c.source;
    s.showTranslationBanner = c.bannerOn;
    TranslateOutcome o = RunTranslate("hola", s, {web.Runner(), FixedLocal(true, "l", {})});
    if (c.expectedEngine < 0) {
        EXPECT_FALSE(o.banner.show);
    } else {
        ASSERT_TRUE(o.banner.show);
        EXPECT_EQ(static_cast<int>(o.banner.source), c.expectedEngine);
        EXPECT_EQ(o.banner.text, R(o, o.banner.source).text);
    }
}

INSTANTIATE_TEST_SUITE_P(Sources, DispatchBanner,
                         testing::Values(BannerCase{0, true, true, 3}, BannerCase{1, true, true, 0},
                                         BannerCase{2, true, true, 1}, BannerCase{3, true, true, 2},
                                         BannerCase{2, true, false, -1},  // Babelfish not ticked
                                         BannerCase{1, false, true, -1},  // banner off
                                         BannerCase{7, true, true, -1}));

TEST(Dispatch, BannerLinesAndStayTime)
{
    // A short text stays up long enough to be read: the line it starts counts for the stay
    // (the skin keeps its base size).
    BannerDecision b = MakeBanner(Engine::Google, "in", "dog", false);
    EXPECT_EQ(b.lines, 0u);
    EXPECT_EQ(b.stayMs, 1800u);
    b = MakeBanner(Engine::Google, "in", std::string(36, 'x'), false);
    EXPECT_EQ(b.stayMs, 1800u);
    b = MakeBanner(Engine::Google, "in", std::string(72, 'x'), false);
    EXPECT_EQ(b.lines, 2u);
    EXPECT_EQ(b.stayMs, 3600u);
    EXPECT_EQ(b.appearMs, 10u);
    EXPECT_EQ(b.hideMs, 10u);
    EXPECT_EQ(b.skinBitmap, 132);
    // With the original the count covers "text:\nresult": 30 + 2 + 10 = 42 bytes -> 1 line.
    b = MakeBanner(Engine::Local, std::string(30, 'a'), std::string(10, 'b'), true);
    EXPECT_EQ(b.text, std::string(30, 'a') + ":\n" + std::string(10, 'b'));
    EXPECT_EQ(b.lines, 1u);
    EXPECT_EQ(b.stayMs, 1800u);
}

TEST(Dispatch, WebEnginesAreAskedAtTheSameTime)
{
    // Each engine waits until all three are inside the runner: asked one after the other, the
    // first would give up waiting.
    std::mutex mutex;
    std::condition_variable cv;
    int inside = 0;
    bool allMet = true;
    WebEngineRunner runner = [&](Engine e, const std::string&, int) {
        std::unique_lock<std::mutex> lock(mutex);
        ++inside;
        cv.notify_all();
        if (!cv.wait_for(lock, std::chrono::seconds(10), [&] { return inside == 3; }))
            allMet = false;
        return WebAnswer{false, EngineName(e), {}, {}};
    };
    Settings s = AllWeb();
    s.speakGoogle = s.speakBabelfish = s.speakFreeTranslation = true;
    TranslateOutcome o = RunTranslate("hola", s, {runner, {}});
    EXPECT_TRUE(allMet);
    ASSERT_EQ(o.speakQueue.size(), 3u);
    EXPECT_EQ(o.speakQueue[0].text, "google");
    EXPECT_EQ(o.speakQueue[2].text, "freetranslation");
}

TEST(Dispatch, RealEnginesOverLoopback)
{
    loopback::HttpServer google, babel, free;
    google.SetReply({200, loopback::GooglePage("hello &amp; bye")});
    babel.SetReply({500, "<html>Internal error</html>"});
    free.SetReply({200, loopback::FreeTranslationPage("hi\nthere")});
    Services services;
    services.googleFormAddress = google.BaseAddress();
    services.babelfishFormAddress = babel.BaseAddress();
    services.freeTranslationFormAddress = free.BaseAddress();
    Settings s = AllWeb();
    s.googlePairPosition = 435;
    s.freeTranslationPairPosition = 3;
    TranslateOutcome o = RunTranslate("a&b=c", s, {MakeWebEngineRunner(services), {}});
    EXPECT_EQ(R(o, Engine::Google).text, "hello & bye");
    EXPECT_EQ(R(o, Engine::Babelfish).outcome, EngineOutcome::Failed);
    EXPECT_EQ(R(o, Engine::FreeTranslation).text, "hi there");
    ASSERT_EQ(google.Requests().size(), 1u);
    EXPECT_EQ(loopback::Field(google.Requests()[0].form, "text"), "a&b=c");
    EXPECT_EQ(loopback::Field(google.Requests()[0].form, "langpair"), "pt|es");
    EXPECT_EQ(loopback::Field(free.Requests()[0].form, "Language"), "English/Dutch");
}

namespace {

// Nothing an engine's thread holds may outlive the action: a thread still tearing down its copy
// of the runner while the program exits freed memory twice. The copies' destructor dawdles so
// that a thread left running is caught.
TEST(Dispatch, NoEngineThreadOutlivesTheAction)
{
    struct Dawdle {
        std::shared_ptr<std::atomic<int>> alive;
        explicit Dawdle(std::shared_ptr<std::atomic<int>> a) : alive(std::move(a)) { ++*alive; }
        Dawdle(const Dawdle& o) : alive(o.alive) { ++*alive; }
        ~Dawdle()
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            --*alive;
        }
    };
    auto alive = std::make_shared<std::atomic<int>>(0);
    {
        TranslateEngines engines;
        engines.web = [d = Dawdle(alive)](Engine e, const std::string&, int) {
            return WebAnswer{false, EngineName(e), {}, {}};
        };
        const int mine = alive->load();
        TranslateOutcome o = RunTranslate("hola", AllWeb(), engines);
        EXPECT_EQ(R(o, Engine::FreeTranslation).text, "freetranslation");
        EXPECT_EQ(alive->load(), mine);
    }
    EXPECT_EQ(alive->load(), 0);
}

// A request whose owner gives up (a window closing) ends at the next progress call instead of
// waiting for a form that never answers.
TEST(Dispatch, ACancelledRequestEndsWithoutItsAnswer)
{
    loopback::HttpServer server;
    server.SetReply({200, loopback::GooglePage("late"), "text/html", 0, false, true});
    Services services;
    services.googleFormAddress = server.BaseAddress();
    HttpLimits limits;
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    limits.cancel = cancel;
    Settings s;
    s.useGoogle = true;
    s.useLocalDictionary = false;
    std::thread stopper([&] {  // once the form holds the request (ten seconds at most)
        for (int i = 0; i < 10000 && server.Requests().empty(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        cancel->store(true);
    });
    TranslateOutcome o = RunTranslate("hola", s, {MakeWebEngineRunner(services, limits), {}});
    stopper.join();
    EXPECT_EQ(R(o, Engine::Google).outcome, EngineOutcome::Failed);
}

}  // namespace

}  // namespace talvero
