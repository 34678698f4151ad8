// The Translate action apart from the window: one at a time however often it is asked for, the
// automatic pass's turn after the running one, nothing applied into a window that has ended.
#include "app/TranslationPresenter.h"

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/WindowServices.h"
#include "settings/Settings.h"

namespace talvero {

namespace {

struct FakeView : ITranslationView {
    std::string input;
    std::vector<std::string> log;
    int busy = 0;  // the busy cursor's depth: must come back to 0
    std::string ReadInput() override { return input; }
    void SetInput(const std::string& text) override { input = text; }
    void ReadPairPositions(Settings&) override {}
    void SayInputEmpty() override { log.push_back("empty"); }
    void ShowTranslating(bool on) override { busy += on ? 1 : -1; }
    void SetResult(int engine, const std::string& text) override
    {
        log.push_back(std::to_string(engine) + ":" + text);
    }
    void ShowBanner(const BannerDecision&) override { log.push_back("banner"); }
    void ClearNearList() override {}
    void FillNearList(std::vector<std::string>) override {}
    void StartDelay(int) override { log.push_back("delay"); }
};

// Web engines that answer when the test says so.
struct HeldEngines : ITranslationEngines {
    std::vector<std::string> asked;
    std::vector<std::function<void(TranslateOutcome)>> waiting;
    TranslateOutcome Translate(std::string_view, const Settings&) override { return {}; }
    void StartTranslate(std::string_view input, const Settings&, const PostToOwner&,
                        std::function<void(TranslateOutcome)> done) override
    {
        asked.emplace_back(input);
        waiting.push_back(std::move(done));
    }
    void Answer(const std::string& text)
    {
        auto done = std::move(waiting.front());
        waiting.erase(waiting.begin());
        TranslateOutcome outcome;
        outcome.engines[0] = {EngineOutcome::Changed, text, {}, {}};
        outcome.speakQueue.push_back({Engine::Google, text});
        done(std::move(outcome));
    }
};

struct NoDictionary : ILocalDictionary {
    std::vector<std::string> Load(const std::string&, const std::string&) override { return {}; }
    std::optional<std::string> Find(const std::string&) override { return std::nullopt; }
    void Discard() override {}
    LocalDictionary* Engine() override { return nullptr; }
};

struct SpokenSpeech : ISpeech {
    std::vector<std::string> spoken;
    bool SetUp() override { return false; }
    void SpeakText(const std::string& text) override { spoken.push_back(text); }
    void OnVoiceEvent(const Settings&) override {}
};

struct TranslationPresenterTest : ::testing::Test {
    FakeView view;
    HeldEngines engines;
    NoDictionary dictionary;
    SpokenSpeech speech;
    Settings settings;
    TranslationPresenter presenter{view, engines, dictionary, speech, settings, {}};
};

TEST_F(TranslationPresenterTest, PressesWhileRunningAreDroppedAndThePassFollows)
{
    settings.launchTranslationAutomatically = true;
    view.input = "hola";
    for (int i = 0; i < 20; ++i)
        presenter.Translate();
    ASSERT_EQ(engines.asked.size(), 1u);
    EXPECT_TRUE(presenter.Running());
    // The automatic pass's turn comes while the press runs: it waits, then runs on its own.
    view.input = "hola perro";
    presenter.InputChanged();
    presenter.DelayElapsed();
    EXPECT_EQ(engines.asked.size(), 1u);
    engines.Answer("hello");
    ASSERT_EQ(engines.asked.size(), 2u);
    EXPECT_EQ(engines.asked[1], "hola perro");
    engines.Answer("hello dog");
    EXPECT_EQ(view.input, "");  // the pass empties what it translated
    EXPECT_EQ(view.busy, 0);
    EXPECT_EQ(speech.spoken, (std::vector<std::string>{"hello", "hello dog"}));
    EXPECT_FALSE(presenter.AutoState().autoTranslateBusy);
}

TEST_F(TranslationPresenterTest, NothingIsAppliedOnceTheWindowHasEnded)
{
    view.input = "hola";
    presenter.Translate();
    presenter.Stop();
    engines.Answer("hello");
    presenter.Translate();
    EXPECT_EQ(engines.asked.size(), 1u);
    EXPECT_TRUE(view.log.empty());
    EXPECT_TRUE(speech.spoken.empty());
    EXPECT_EQ(view.busy, 0);  // the busy cursor is given back all the same
}

TEST_F(TranslationPresenterTest, BlankInputIsSaidAndEndsThePass)
{
    settings.launchTranslationAutomatically = true;
    view.input = "  ";
    presenter.InputChanged();
    presenter.DelayElapsed();
    EXPECT_EQ(view.log, (std::vector<std::string>{"delay", "empty"}));
    EXPECT_TRUE(engines.asked.empty());
    EXPECT_FALSE(presenter.AutoState().autoTranslateBusy);
}

}  // namespace

}  // namespace talvero
