// talvero-cli upload, check-update and add (with uploading on) in a working directory of their
// own, against loopback servers.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>

#include "settings/Settings.h"
#include "tests/support/CliRunner.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/TempDir.h"

namespace talvero {

namespace {

class CliOnline : public testing::Test {
protected:
    CliOnline()
    {
        dir.Write("TalveroServices.txt", "UPLOAD SERVER ADDRESS\n" + server.BaseAddress() +
                                             "\nUPDATE SITE ADDRESS\n" + server.BaseAddress() +
                                             "\n");
    }
    CliRun Run(const std::string& args)
    {
        CliRun run = RunCli(dir.Path().string(), args);
        dir.Write("stderr", run.err);
        return run;
    }
    TempDir dir;
    loopback::HttpServer server;
};

TEST_F(CliOnline, UploadUsesTheStoredPairAndCredentialsAndTellsTheOutcome)
{
    Settings s;
    s.localDictionaryFile = "localdictionary_sv_es.txt";
    s.localPairPosition = 528;  // "Swedish to Spanish"
    s.onlineUsername = "ana";
    s.onlinePassword = "secret-pw";
    dir.Write("TalveroConfig.txt", FormatSettings(s));

    server.SetReply({200, "Result:OK"});
    EXPECT_EQ(Run("upload 'hund & katt' 'perro y gato'").status, 0);
    server.SetReply({200, "Result:FAILED"});
    EXPECT_EQ(Run("upload hund perro").status, 1);
    server.SetReply({500, "Result:OK"});  // the marker counts, whatever the status
    EXPECT_EQ(Run("upload hund perro").status, 0);
    EXPECT_EQ(Run("upload onlyone").status, 2);

    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(loopback::Field(requests[0].form, "texttotranslate"), "hund & katt");
    EXPECT_EQ(loopback::Field(requests[0].form, "from"), "sv");
    EXPECT_EQ(loopback::Field(requests[0].form, "to"), "es");
    EXPECT_EQ(loopback::Field(requests[0].form, "password_data"), "secret-pw");
    EXPECT_EQ(dir.Read("stderr").find("secret-pw"), std::string::npos);

    s.onlinePassword = "";
    dir.Write("TalveroConfig.txt", FormatSettings(s));
    EXPECT_EQ(Run("upload hund perro").status, 1);
    EXPECT_EQ(server.Requests().size(), 3u);
}

TEST_F(CliOnline, AddUploadsWhenTheSettingIsOn)
{
    Settings s;
    s.uploadNewTranslations = true;
    s.localPairPosition = 491;  // "Spanish to English"
    dir.Write("TalveroConfig.txt", FormatSettings(s));
    server.SetReply({200, "Result:OK"});
    EXPECT_EQ(Run("add gato cat").status, 0);
    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(loopback::Field(requests[0].form, "from"), "es");
    EXPECT_EQ(loopback::Field(requests[0].form, "user_name_data"), "username");
    EXPECT_NE(dir.Read("personaldictionary_es_en.txt").find("gato\ncat"), std::string::npos);
}

TEST_F(CliOnline, CheckUpdatePrintsTheVersionFound)
{
    server.SetReply({200, "<b>Current Version Update 100002</b>"});
    CliRun run = Run("check-update");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "version: 100002\nnewer: yes\n");
    server.SetReply({200, "no marker"});
    run = Run("check-update");
    EXPECT_EQ(run.out, "version: 0\nnewer: no\n");
    EXPECT_EQ(Run("check-update extra").status, 2);
}

}  // namespace

}  // namespace talvero
