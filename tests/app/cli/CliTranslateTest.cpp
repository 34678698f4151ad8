// talvero-cli translate in a working directory of its own, against loopback services.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "settings/Settings.h"
#include "tests/support/CliRunner.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/TempDir.h"

namespace talvero {

namespace fs = std::filesystem;

namespace {

CliRun Translate(const fs::path& dir, const std::string& text)
{
    return RunCli(dir.string(), "translate " + ShellArgs({text}));
}

void Write(const fs::path& path, const std::string& content)
{
    std::ofstream(path, std::ios::binary) << content;
}

class CliTranslate : public testing::Test {
protected:
    void Configure(Settings s)
    {
        Write(dir / "TalveroConfig.txt", FormatSettings(s));
        Settings loaded;
        ApplySettingsText(loaded, FormatSettings(s));
        localFile = loaded.localDictionaryFile;
        Write(dir / "TalveroServices.txt", "GOOGLE FORM ADDRESS\n" + google.BaseAddress() +
                                               "\nBABELFISH FORM ADDRESS\n" + babel.BaseAddress() +
                                               "\nFREETRANSLATION FORM ADDRESS\n" +
                                               free.BaseAddress() + "\n");
    }

    TempDir temp;
    fs::path dir = temp.Path();
    std::string localFile;
    loopback::HttpServer google, babel, free;
};

TEST_F(CliTranslate, OneLinePerTickedEngineThenTheNearList)
{
    google.SetReply({200, loopback::GooglePage("the white house")});
    babel.SetReply({200, "<html>changed layout</html>"});
    Settings s;
    s.useGoogle = s.useBabelfish = s.useLocalDictionary = true;
    s.useFreeTranslation = false;
    Configure(s);
    Write(dir / localFile, "casa\nhouse\ncasa blanca\nwhite house\ncasas\nhouses");

    CliRun run = Translate(dir, "casa");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out,
              "google: the white house\n"
              "babelfish: (failed: no translation in the reply)\n"
              "local: house\n"
              "casa blanca\ncasas\ncasa\n");  // the dictionary's near-search order
    ASSERT_EQ(google.Requests().size(), 1u);
    EXPECT_EQ(loopback::Field(google.Requests()[0].form, "text"), "casa");
    EXPECT_TRUE(free.Requests().empty());

    run = Translate(dir, "perro");
    EXPECT_EQ(run.out,
              "google: the white house\nbabelfish: (failed: no translation in the reply)\n"
              "local: (unchanged)\n");
}

TEST_F(CliTranslate, ServerBytesCannotSteerTheTerminalAndFailuresSayWhy)
{
    // A carriage return and an escape sequence would overwrite the line before or retitle the
    // terminal.
    google.SetReply({200, loopback::GooglePage("house\r\x1b]0;owned\x07 \xc2\x9b"
                                               "2J done")});
    babel.SetReply({500, "<html>down</html>"});
    Settings s;
    s.useGoogle = s.useBabelfish = s.useFreeTranslation = true;
    Configure(s);
    int port = 0;
    {
        loopback::HttpServer closed;  // a port that nobody listens on once it is gone
        port = closed.Port();
    }
    Write(dir / "TalveroServices.txt",
          "GOOGLE FORM ADDRESS\n" + google.BaseAddress() + "\nBABELFISH FORM ADDRESS\n" +
              babel.BaseAddress() +
              "\nFREETRANSLATION FORM ADDRESS\nhttp://127.0.0.1:" + std::to_string(port) + "\n");
    CliRun run = Translate(dir, "casa");
    EXPECT_EQ(run.out,
              "google: house??]0;owned? ?2J done\n"
              "babelfish: (failed: HTTP 500)\n"
              "freetranslation: (failed: connection refused)\n");
}

TEST_F(CliTranslate, BlankTextAndMisuse)
{
    Configure(Settings{});
    EXPECT_EQ(Translate(dir, "  ").status, 2);
    CliRun help = Translate(dir, "--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("freetranslation: RESULT"), std::string::npos);
}

TEST_F(CliTranslate, NothingTickedPrintsNothingAndSaysWhyOnStandardError)
{
    CliRun run = Translate(dir, "hola");  // no settings file at all
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.err.find("no TalveroConfig.txt"), std::string::npos) << run.err;
    EXPECT_EQ(Translate(dir, "hola").out, "");

    Configure(Settings{});  // a settings file with every engine unticked
    run = Translate(dir, "hola");
    EXPECT_NE(run.err.find("no engine is ticked"), std::string::npos) << run.err;
    EXPECT_TRUE(google.Requests().empty());
}

TEST_F(CliTranslate, AddressTheProgramCannotTakeIsNamed)
{
    Settings s;
    s.useLocalDictionary = true;  // no web engine: nothing goes to the default services
    Configure(s);
    Write(dir / "TalveroServices.txt",
          "BABELFISH FORM ADDRESS\n127.0.0.1:8080\n"
          "GOOGLE FORM ADDRESS\nhttp://127.0.0.1:1/\n"
          "FREETRANSLATION FORM ADDRESS\nhttp://127.0.0.1:1/form\n");
    CliRun run = Translate(dir, "hola");
    EXPECT_NE(run.err.find("BABELFISH FORM ADDRESS \"127.0.0.1:8080\" is not"), std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("FREETRANSLATION FORM ADDRESS \"http://127.0.0.1:1/form\""),
              std::string::npos);
    EXPECT_EQ(run.err.find("GOOGLE FORM ADDRESS"), std::string::npos);  // taken as given
}

}  // namespace

}  // namespace talvero
