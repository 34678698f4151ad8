// The whole road with the real Apertium service (Debian's APy, started once for all cases on a
// free loopback port): the unchanged translators and `talvero-cli translate` through the gateway.
#include <gtest/gtest.h>

#include "catalogue/Catalogue.h"
#include "gateway/GatewayServer.h"
#include "settings/Settings.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/CliRunner.h"
#include "tests/support/TempDir.h"
#include "web/Translators.h"

namespace talvero {

namespace {

// Apertium's service for the whole run.
class ApertiumService : public testing::Environment {
public:
    static inline std::string address;

    void SetUp() override
    {
        std::string log = dir.File("log");
        pid = SpawnGroup(ApertiumServiceCommand(TALVERO_SOURCE_DIR, dir.File("port")), log);
        int port = WaitForPortFile(dir.File("port"));
        ASSERT_GT(port, 0) << "Apertium's service did not start; see " << log;
        address = "http://127.0.0.1:" + std::to_string(port);
    }
    void TearDown() override { StopGroup(pid); }

private:
    pid_t pid = -1;
    TempDir dir;
};

class WithApertium : public testing::Test {
protected:
    void SetUp() override
    {
        GatewayConfig config;
        config.port = 0;
        config.apertiumAddress = ApertiumService::address;
        config.databaseFile = dir.File("uploads.sqlite");
        gateway = std::make_unique<GatewayServer>(config);
        std::string error;
        ASSERT_TRUE(gateway->StartInBackground(error)) << error;
    }
    void TearDown() override { gateway.reset(); }

    TempDir dir;
    std::unique_ptr<GatewayServer> gateway;
};

int Position(PairList list)
{
    return PositionOfSettingsName(list, "SPANISH TO ENGLISH").value_or(-1);
}

TEST_F(WithApertium, EachTranslatorGetsEnglishFromSpanish)
{
    std::string base = gateway->BaseAddress();
    Translator google("el perro come",
                      PairNumberForPosition(PairList::Google, Position(PairList::Google)), base);
    BabelfishTranslator babel(
        "el perro come", PairNumberForPosition(PairList::Babelfish, Position(PairList::Babelfish)),
        base);
    FreeTranslationTranslator free(
        "el perro come",
        PairNumberForPosition(PairList::FreeTranslation, Position(PairList::FreeTranslation)),
        base);
    for (CWebTranslator* t : std::initializer_list<CWebTranslator*>{&google, &babel, &free}) {
        t->Retrieve();
        EXPECT_EQ(t->GetErrorFlag(), 0) << t->GetErrorText();
        EXPECT_EQ(t->GetResult(), "The dog eats");
    }
    // Other installed pairs answer too; a pair without an installed Apertium pair fails.
    BabelfishTranslator french("el perro come", 35, base);  // Spanish to French
    french.Retrieve();
    EXPECT_EQ(french.GetResult(), "Le chien mange");
    BabelfishTranslator german("der Hund", 23, base);  // German to English
    german.Retrieve();
    EXPECT_EQ(german.GetErrorFlag(), 1);
}

TEST_F(WithApertium, ResultsArePlainTextWithoutApertiumMarks)
{
    // Apertium's "<" and ">" reach the box as they are, and its "#" before a word it could not
    // generate (French to Spanish, a Spanish question) does not.
    std::string base = gateway->BaseAddress();
    BabelfishTranslator less(
        "si x < 5 y z > 3",
        PairNumberForPosition(PairList::Babelfish, Position(PairList::Babelfish)), base);
    less.Retrieve();
    EXPECT_EQ(less.GetResult(), "If x < 5 and z > 3");
    // The user's own "*" stays; the one Apertium puts before a word it does not know goes.
    BabelfishTranslator star(
        "3*4 perro xyzzy",
        PairNumberForPosition(PairList::Babelfish, Position(PairList::Babelfish)), base);
    star.Retrieve();
    EXPECT_EQ(star.GetResult(), "3*4 dog xyzzy");
    int frenchToSpanish = 0;
    while (Translator::PairCode(frenchToSpanish) != "fr|es")
        ++frenchToSpanish;
    Translator marked("\u00BFD\u00F3nde est\u00E1 \u00E9l?", frenchToSpanish, base);
    marked.Retrieve();
    EXPECT_EQ(marked.GetErrorFlag(), 0);
    EXPECT_EQ(marked.GetResult().find('#'), std::string::npos) << marked.GetResult();
}

TEST_F(WithApertium, CliTranslateFillsTheThreeWebRows)
{
    Settings s;
    s.useGoogle = s.useBabelfish = s.useFreeTranslation = true;
    s.useLocalDictionary = false;
    s.googlePairPosition = Position(PairList::Google);
    s.babelfishPairPosition = Position(PairList::Babelfish);
    s.freeTranslationPairPosition = Position(PairList::FreeTranslation);
    dir.Write("TalveroConfig.txt", FormatSettings(s));
    std::string base = gateway->BaseAddress();
    dir.Write("TalveroServices.txt", "GOOGLE FORM ADDRESS\n" + base + "\nBABELFISH FORM ADDRESS\n" +
                                         base + "\nFREETRANSLATION FORM ADDRESS\n" + base);
    CliRun run = RunCli(dir.Path().string(), "translate 'el perro come'");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              "google: The dog eats\n"
              "babelfish: The dog eats\n"
              "freetranslation: The dog eats\n");
}

}  // namespace

}  // namespace talvero

int main(int argc, char** argv)
{
    using namespace talvero;
    testing::InitGoogleTest(&argc, argv);
    testing::AddGlobalTestEnvironment(new ApertiumService);
    return RUN_ALL_TESTS();
}
