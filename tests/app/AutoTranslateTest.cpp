#include "app/AutoTranslate.h"

#include <deque>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "catalogue/Settings.h"

namespace {

// A window stand-in: the input box's text changes during waits as scripted.
class FakeHost : public IAutoTranslateHost {
public:
    std::string input;
    std::deque<std::string> typedDuringWait;  // one entry per wait; "" keeps the text
    std::vector<double> waits;
    std::vector<std::string> log;
    bool windowEnding = false;
    std::function<void()> duringWait;

    std::string ReadInput() override { return input; }
    bool WaitPumping(double ms) override
    {
        waits.push_back(ms);
        if (duringWait) duringWait();
        if (!typedDuringWait.empty()) {
            if (!typedDuringWait.front().empty()) input = typedDuringWait.front();
            typedDuringWait.pop_front();
        }
        return !windowEnding;
    }
    void SpeakRecognizedText() override { log.push_back("speak"); }
    void Translate() override { log.push_back("translate:" + input); }
    void EmptyInput() override
    {
        log.push_back("empty");
        input.clear();
    }
};

struct AutoTranslateTest : ::testing::Test {
    FakeHost host;
    AutoTranslateState state;
    Settings settings;
    AutoTranslateTest() { settings.launchTranslationAutomatically = true; }
};

TEST_F(AutoTranslateTest, TranslatesSettledTextAfterOneDelayAndEmptiesInput)
{
    host.input = "hola";
    AutoTranslate(host, state, settings);
    EXPECT_EQ(host.waits, std::vector<double>{1000.0});
    EXPECT_EQ(host.log, (std::vector<std::string>{"translate:hola", "empty"}));
    EXPECT_FALSE(state.autoTranslateBusy);
}

TEST_F(AutoTranslateTest, TextChangedDuringTheWaitRestartsAFullDelay)
{
    host.input = "ho";
    host.typedDuringWait = {"hol", "hola", ""};
    settings.translationDelay = 250;
    AutoTranslate(host, state, settings);
    EXPECT_EQ(host.waits, (std::vector<double>{250, 250, 250}));
    EXPECT_EQ(host.log, (std::vector<std::string>{"translate:hola", "empty"}));
}

TEST_F(AutoTranslateTest, EmptyInputOrLoadingDictionaryStartsNothing)
{
    AutoTranslate(host, state, settings);
    EXPECT_TRUE(host.waits.empty());
    EXPECT_FALSE(state.autoTranslateBusy);

    host.input = "hola";
    state.dictionaryLoading = true;
    AutoTranslate(host, state, settings);
    EXPECT_TRUE(host.waits.empty());
    EXPECT_TRUE(host.log.empty());
}

TEST_F(AutoTranslateTest, PassStartedDuringAWaitIsDropped)
{
    host.input = "hola";
    int nested = 0;
    host.duringWait = [&] {
        if (nested++ == 0) AutoTranslate(host, state, settings);  // a change while busy
    };
    AutoTranslate(host, state, settings);
    EXPECT_EQ(host.waits.size(), 1u);
    EXPECT_EQ(host.log, (std::vector<std::string>{"translate:hola", "empty"}));
    EXPECT_FALSE(state.autoTranslateBusy);
}

TEST_F(AutoTranslateTest, AutomaticTranslationOffOnlySpeaksBackAndKeepsTheText)
{
    settings.launchTranslationAutomatically = false;
    settings.speakRecognizedText = true;
    host.input = "hola";
    AutoTranslate(host, state, settings);
    EXPECT_EQ(host.log, std::vector<std::string>{"speak"});
    EXPECT_EQ(host.input, "hola");
    EXPECT_FALSE(state.autoTranslateBusy);
}

TEST_F(AutoTranslateTest, WindowEndingDuringTheWaitStopsThePass)
{
    host.input = "hola";
    host.windowEnding = true;
    AutoTranslate(host, state, settings);
    EXPECT_TRUE(host.log.empty());
    EXPECT_EQ(host.input, "hola");
    EXPECT_FALSE(state.autoTranslateBusy);
}

TEST_F(AutoTranslateTest, DelayZeroStillMakesOnePass)
{
    settings.translationDelay = 0;
    host.input = "x";
    AutoTranslate(host, state, settings);
    EXPECT_EQ(host.waits, std::vector<double>{0.0});
    EXPECT_EQ(host.log.front(), "translate:x");
}

}  // namespace
