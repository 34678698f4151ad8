#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "catalogue/Catalogue.h"
#include "settings/Settings.h"
#include "tests/support/CliRunner.h"
#include "tests/support/TempDir.h"

namespace talvero {

namespace {

namespace fs = std::filesystem;

class CliTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Write("localdictionary_es_en.txt", "el\nthe\nperro\ndog\ncome\neats\nel perro\nthe dog");
    }
    void Write(const std::string& name, const std::string& content) const
    {
        std::ofstream(dir + "/" + name, std::ios::binary) << content;
    }
    std::string Read(const std::string& name) const
    {
        std::ifstream in(dir + "/" + name, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    using Result = CliRun;
    Result Run(const std::vector<std::string>& args) const { return RunCli(dir, ShellArgs(args)); }

    TempDir temp;
    std::string dir = temp.Path().string();
};

TEST_F(CliTest, LocalPrintsResultThenNearListAndTracesToStandardError)
{
    Result r = Run({"local", "perro come"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "dog eats\n");
    EXPECT_EQ(r.err,
              "talvero-cli: Could not open the file: personaldictionary_es_en.txt\n"
              "Resulting token: perro\nResulting token: come\n");

    Write("personaldictionary_es_en.txt", "");
    r = Run({"local", " el "});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "the\nel perro\nel\n");
    EXPECT_EQ(r.err, "");

    r = Run({"local", "gato"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "\n");
}

// A dictionary large enough for a saved index: the run that writes it in the background and
// the runs that use it print the same, and nothing of the writing is left but the index.
TEST_F(CliTest, ALargeDictionaryAnswersAlikeBeforeAndAfterItsIndex)
{
    std::string text;
    for (int i = 0; i < 6000; ++i)
        text += "palabra" + std::to_string(i) + "\nword" + std::to_string(i) + "\n";
    Write("localdictionary_es_en.txt", text + "el perro\nthe dog");
    Write("personaldictionary_es_en.txt", "palabra7\nmine");
    const Result first = Run({"local", "palabra7"});
    EXPECT_EQ(first.status, 0);
    EXPECT_EQ(first.out.substr(0, 5), "mine\n");  // the personal pair wins
    // The index comes from a process of its own, by a rename.
    const fs::path index = dir + "/localdictionary_es_en.txt.index";
    for (int i = 0; i < 3000 && !fs::exists(index); ++i)
        ::usleep(10'000);
    ASSERT_TRUE(fs::exists(index));
    for (int run = 0; run < 2; ++run) {
        const Result later = Run({"local", "palabra7"});
        EXPECT_EQ(later.status, first.status);
        EXPECT_EQ(later.out, first.out);
        EXPECT_EQ(later.err, first.err);
    }
    EXPECT_EQ(Run({"local", "el perro"}).out.substr(0, 8), "the dog\n");
    size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir))
        ++files;
    EXPECT_EQ(files, 3u);
}

TEST_F(CliTest, EachUnreadableFileIsOneLineAndTheLookupStillRuns)
{
    fs::remove(dir + "/localdictionary_es_en.txt");
    Result r = Run({"local", "perro"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "\n");
    EXPECT_EQ(r.err,
              "talvero-cli: Could not open the file: localdictionary_es_en.txt\n"
              "talvero-cli: Could not open the file: personaldictionary_es_en.txt\n");

    // Windows line ends, no line end after the last line, and a personal file that wins.
    Write("localdictionary_es_en.txt", "perro\r\ndog\r\ngato\r\ncat");
    Write("personaldictionary_es_en.txt", "gato\r\nkitten\r\n");
    r = Run({"local", "gato"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "kitten\ngato\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(Run({"local", "perro"}).out, "dog\nperro\n");
}

TEST_F(CliTest, HelpOfEachCommandGoesToStandardOutput)
{
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--help"}, {"local", "--help"}, {"add", "--help"}, {"local", "-h"}}) {
        Result r = Run(args);
        EXPECT_EQ(r.status, 0) << args.back();
        EXPECT_EQ(r.out.rfind("Usage: talvero-cli ", 0), 0u) << r.out;
        EXPECT_EQ(r.err, "");
    }
    EXPECT_FALSE(fs::exists(dir + "/personaldictionary_es_en.txt"));
}

TEST_F(CliTest, MisuseIsOneLineAndStatusTwo)
{
    for (const auto& args : std::vector<std::vector<std::string>>{{"local"},
                                                                  {"local", "a", "b"},
                                                                  {"local", "  "},
                                                                  {"add", "gato"},
                                                                  {"add", "", "cat"}}) {
        Result r = Run(args);
        EXPECT_EQ(r.status, 2) << args.size();
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
}

TEST_F(CliTest, StoredPairAndWordLimitComeFromTheSettingsFile)
{
    Settings settings;
    for (const PairEntry& e : PairsOf(PairList::Local)) {
        if (e.dictionaryCode == "de_en") settings.localPairPosition = e.position;
    }
    settings.maxWordsInCombinations = 1;
    ASSERT_TRUE(SaveSettings(settings, dir + "/TalveroConfig.txt"));
    Write("localdictionary_de_en.txt", "Hund\ndog\nHund bellt\ndog barks\nbellt\nbarks");
    Write("personaldictionary_de_en.txt", "");

    Result r = Run({"local", "Hund"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "dog\nHund bellt\nHund\n");
    r = Run({"local", "Hund bellt"});  // two words, more than the limit
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "\nHund bellt\n");

    r = Run({"add", "Katze", "cat"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(Read("personaldictionary_de_en.txt"), "Katze\ncat");
    EXPECT_EQ(Run({"local", "Katze"}).out, "cat\nKatze\n");
}

TEST_F(CliTest, AddCreatesThePersonalFileAndReportsWhatItCannotWrite)
{
    Result r = Run({"add", "gato", "cat"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(Read("personaldictionary_es_en.txt"), "gato\ncat");
    EXPECT_EQ(Run({"add", "pez", "fish"}).status, 0);
    EXPECT_EQ(Read("personaldictionary_es_en.txt"), "gato\ncat\npez\nfish");
    EXPECT_EQ(Run({"local", "gato"}).out, "cat\ngato\n");

    fs::remove(dir + "/personaldictionary_es_en.txt");
    fs::create_directory(dir + "/personaldictionary_es_en.txt");
    r = Run({"add", "gato", "cat"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "talvero-cli: Could not open the file: personaldictionary_es_en.txt\n");
}

TEST_F(CliTest, AnUnreadableSettingsFileIsNotTakenForAMissingOne)
{
    // A settings file that cannot be read may hold another pair: adding to the default pair's
    // file would put the pair where the user never looks.
    fs::create_directory(dir + "/TalveroConfig.txt");
    Result r = Run({"add", "gato", "cat"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "talvero-cli: TalveroConfig.txt exists but cannot be read (a directory): "
              "nothing added\n");
    EXPECT_FALSE(fs::exists(dir + "/personaldictionary_es_en.txt"));
    Write("personaldictionary_es_en.txt", "");
    r = Run({"local", "perro"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err,
              "talvero-cli: TalveroConfig.txt exists but cannot be read (a directory): "
              "the defaults apply\n");
}

}  // namespace

namespace {

// Dictionary files written on Windows: the terminal still speaks UTF-8.
TEST_F(CliTest, WindowsCodePageFilesMeetAUtf8Terminal)
{
    Write("localdictionary_es_en.txt",
          "ni\xF1o\nchild\nni\xF1os\nchildren\n\xBF"
          "qu\xE9?\nwhat?");
    Write("personaldictionary_es_en.txt", "");
    setenv("TALVERO_CODEPAGE", "CP1252", 1);
    Result r = Run({"local", "ni\xC3\xB1o"});
    Result question = Run({"local",
                           "\xC2\xBF"
                           "qu\xC3\xA9?"});
    Run({"add", "a\xC3\xB1o", "year"});
    unsetenv("TALVERO_CODEPAGE");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "child\nni\xC3\xB1os\nni\xC3\xB1o\n");
    EXPECT_EQ(question.out,
              "what?\n\xC2\xBF"
              "qu\xC3\xA9?\n");
    EXPECT_EQ(Read("personaldictionary_es_en.txt"), "a\xF1o\nyear");
}

}  // namespace

namespace {

// Stored phrases are data: whatever bytes they hold, none may steer the terminal.
TEST_F(CliTest, StoredPhrasesReachTheTerminalWithoutControlBytes)
{
    Write("personaldictionary_es_en.txt",
          "gato\n\x1B]0;owned\a\x1B[2Jcat\ngatos\ncats\x9B"
          "31m\ngatito\n\xC2\x9B"
          "2Jkitty");
    Result r = Run({"local", "gato"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "?]0;owned?"
              "?[2Jcat\ngatos\ngato\n");
    r = Run({"local", "gatos"});
    EXPECT_EQ(r.out, "cats?31m\ngatos\n");
    r = Run({"local", "gatito"});
    EXPECT_EQ(r.out, "?2Jkitty\ngatito\n");

    // In an 8-bit code page 0x9B is CSI itself; converted for the terminal it must not become
    // U+009B either.
    CliRun latin = RunCli(dir, ShellArgs({"local", "gatos"}), "TALVERO_CODEPAGE=ISO-8859-1");
    EXPECT_EQ(latin.out, "cats?31m\ngatos\n");
}

TEST_F(CliTest, SettingsThatCannotBeUsedAsTheyStandAreToldOnce)
{
    // Saved as "Unicode" by an editor: still the user's pair.
    std::string utf16 = "\xFF\xFE";
    for (char c : std::string("LOCAL DICTIONARY LANGUAGE PAIR\r\nDUTCH TO CROATIAN\r\n"))
        utf16 += std::string(1, c) + '\0';
    Write("TalveroConfig.txt", utf16);
    Result r = Run({"local", "perro"});
    EXPECT_EQ(r.err,
              "talvero-cli: Could not open the file: localdictionary_du_hr.txt\n"
              "talvero-cli: Could not open the file: personaldictionary_du_hr.txt\n");

    Write("TalveroConfig.txt", std::string(1000, '\0'));
    Write("personaldictionary_es_en.txt", "");
    r = Run({"local", "perro"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err,
              "talvero-cli: TalveroConfig.txt holds no setting Talvero knows; it was kept as "
              "TalveroConfig.txt.bad and the defaults apply\n");
    EXPECT_EQ(Read("TalveroConfig.txt.bad"), std::string(1000, '\0'));

    Write("TalveroConfig.txt", "FONT SIZE FOR MAIN TEXT BOXES\n2147483647");
    r = Run({"local", "perro"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err,
              "talvero-cli: TalveroConfig.txt: FONT SIZE FOR MAIN TEXT BOXES 2147483647 is not "
              "between 6 and 20; 20 is used\n");
}

}  // namespace

}  // namespace talvero
