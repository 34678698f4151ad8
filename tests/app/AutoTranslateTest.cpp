#include "app/AutoTranslate.h"

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "settings/Settings.h"

namespace talvero {

namespace {

// A window stand-in: the delay is a timer the test fires by hand, and Translate either ends at
// once (as the local dictionary does) or when the test says (a web engine).
class FakeHost : public IAutoTranslateHost {
public:
    std::string input;
    std::vector<double> delays;
    std::vector<std::string> log;
    bool translateLater = false;
    bool delayRunning = false;
    AutoTranslatePass* pass = nullptr;

    std::string ReadInput() override { return input; }
    void StartDelay(double ms) override
    {
        delays.push_back(ms);
        delayRunning = true;
    }
    void SpeakRecognizedText() override { log.push_back("speak"); }
    void TranslateInput() override
    {
        log.push_back("translate:" + input);
        if (!translateLater) pass->Translated();
    }
    void SetInput(const std::string& text) override
    {
        log.push_back("input:" + text);
        input = text;
    }
    // The timer fires; `typed` first changes the input as the user would.
    void Elapse(const char* typed = nullptr)
    {
        ASSERT_TRUE(delayRunning);
        delayRunning = false;
        if (typed) input = typed;
        pass->Elapsed();
    }
};

struct AutoTranslateTest : ::testing::Test {
    FakeHost host;
    AutoTranslateState state;
    Settings settings;
    AutoTranslatePass pass{host, state, settings};
    AutoTranslateTest()
    {
        settings.launchTranslationAutomatically = true;
        host.pass = &pass;
    }
};

TEST_F(AutoTranslateTest, SettledTextIsTranslatedAfterFullDelaysAndTheInputEmptied)
{
    settings.translationDelay = 250;
    host.input = "ho";
    pass.InputChanged();
    pass.InputChanged();  // a change while waiting starts nothing new
    host.Elapse("hol");
    host.Elapse("hola");
    EXPECT_TRUE(host.log.empty());
    host.Elapse();
    EXPECT_EQ(host.delays, (std::vector<double>{250, 250, 250}));
    EXPECT_EQ(host.log, (std::vector<std::string>{"translate:hola", "input:"}));
    EXPECT_FALSE(state.autoTranslateBusy);
}

TEST_F(AutoTranslateTest, EmptyInputLoadingDictionaryOrEndingWindowDoNothing)
{
    pass.InputChanged();
    host.input = "hola";
    state.dictionaryLoading = true;
    pass.InputChanged();
    EXPECT_TRUE(host.delays.empty());
    state.dictionaryLoading = false;
    pass.InputChanged();
    pass.Stop();
    host.Elapse();
    EXPECT_TRUE(host.log.empty());
    EXPECT_EQ(host.input, "hola");
    EXPECT_FALSE(state.autoTranslateBusy);
}

TEST_F(AutoTranslateTest, AutomaticTranslationOffOnlySpeaksBackAndKeepsTheText)
{
    settings.launchTranslationAutomatically = false;
    settings.speakRecognizedText = true;
    host.input = "hola";
    pass.InputChanged();
    host.Elapse();
    EXPECT_EQ(host.log, std::vector<std::string>{"speak"});
    EXPECT_EQ(host.input, "hola");
    EXPECT_FALSE(state.autoTranslateBusy);
}

// A phrase that arrives while a slow translation runs is neither swallowed by the emptying nor
// merged into the running pass: it stays, and gets a pass of its own.
TEST_F(AutoTranslateTest, TextArrivingDuringTheTranslationGetsItsOwnPass)
{
    host.translateLater = true;
    host.input = "go forward ";
    pass.InputChanged();
    host.Elapse();
    host.input += "turn left ";
    pass.InputChanged();  // the dictated phrase's notification, while the web engines work
    EXPECT_TRUE(state.autoTranslateBusy);
    pass.Translated();
    EXPECT_EQ(host.input, "turn left ");
    ASSERT_TRUE(host.delayRunning);
    host.Elapse();
    pass.Translated();
    EXPECT_EQ(host.log, (std::vector<std::string>{"translate:go forward ", "input:turn left ",
                                                  "translate:turn left ", "input:"}));
    EXPECT_EQ(AutoTranslatePass::Remainder("xy", "abc"), "xy");
    EXPECT_EQ(AutoTranslatePass::Remainder("abc ", "abc"), " ");
}

}  // namespace

}  // namespace talvero
