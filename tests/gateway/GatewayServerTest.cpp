// The gateway over real HTTP: the unchanged translators and the program's GET client against it,
// with a stand-in for Apertium's service (the real one is in GatewayApertiumTest).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <thread>

#include "catalogue/Catalogue.h"
#include "gateway/Forms.h"
#include "gateway/UploadStore.h"
#include "online/UpdateCheck.h"
#include "online/Upload.h"
#include "settings/Settings.h"
#include "tests/gateway/GatewayTestSupport.h"
#include "tests/support/CliRunner.h"
#include "web/HttpRetriever.h"
#include "web/Translators.h"
#include "web/WebGrab.h"

namespace talvero {

namespace {

using gatewaytest::GatewayFixture;

// A GET with the program's own client, as the upload and the update check make it.
std::string Get(const std::string& url)
{
    CWebGrab grab;
    std::string body;
    if (!grab.GetFile(url, body, "test")) return "(failed)";
    return body;
}

std::string Rows(const std::string& databaseFile)
{
    auto store = UploadStore::For(databaseFile);
    std::string rows;
    EXPECT_TRUE(store->OpenReadOnly()) << store->Error();
    store->ForEach([&](const UploadRow& row) {
        rows += row.user + "|" + row.sourceLanguage + "|" + row.targetLanguage + "|" +
                row.original + "|" + row.translation + "\n";
        EXPECT_EQ(row.uploadedAt.size(), 20u) << row.uploadedAt;
    });
    return rows;
}

TEST_F(GatewayFixture, EachFormThroughItsUnchangedTranslator)
{
    StartGateway();
    std::string base = gateway->BaseAddress();
    Translator google("pan & <vino>", 491, base);  // Spanish to English
    google.Retrieve();
    EXPECT_EQ(google.GetErrorFlag(), 0) << google.GetErrorText();
    EXPECT_EQ(google.GetResult(), "[spa|eng] pan & <vino>");
    BabelfishTranslator babel("uno\ndos", 34, base);
    babel.Retrieve();
    EXPECT_EQ(babel.GetResult(), "[spa|eng] uno dos");
    FreeTranslationTranslator free("ni\xC3\xB1o", 12, base);  // French to English
    free.Retrieve();
    EXPECT_EQ(free.GetResult(), "[fra|eng] ni\xC3\xB1o");
    ASSERT_EQ(apertium.Requests().size(), 3u);
    // Apertium marks what it adds; the gateway removes those marks itself.
    EXPECT_EQ(loopback::Field(apertium.Requests()[0].form, "markUnknown"), "");
    // The same text and pair again (another row of the same Translate) is answered from memory.
    BabelfishTranslator again("pan & <vino>", 34, base);
    again.Retrieve();
    EXPECT_EQ(again.GetResult(), google.GetResult());
    EXPECT_EQ(apertium.Requests().size(), 3u);

    // A program in Windows-1252 gets its answer in Windows-1252; Apertium always sees UTF-8.
    BabelfishTranslator cp1252("ni\xF1o", 34, base);
    cp1252.Retrieve();
    EXPECT_EQ(cp1252.GetResult(), "[spa|eng] ni\xF1o");
    EXPECT_EQ(loopback::Field(apertium.Requests().back().form, "q"), "ni\xC3\xB1o");
}

TEST_F(GatewayFixture, WhatCannotBeTranslatedFailsTheEngineQuietly)
{
    StartGateway();
    std::string base = gateway->BaseAddress();
    for (int pair : {21, 255, 23}) {  // no code, nothing chosen, German (not installed)
        BabelfishTranslator babel("hallo", pair, base);
        babel.Retrieve();
        EXPECT_EQ(babel.GetErrorFlag(), 1) << pair;
        EXPECT_EQ(babel.GetResult(), "");
    }
    EXPECT_EQ(apertium.Requests().size(), 1u);  // only the well-formed one was asked

    CHttpRetriever raw;  // malformed bodies of every kind
    for (const char* body : {"", "&&&", "langpair", "langpair=%ZZ&text=%", "\xff\xfe=\x01"}) {
        raw.ReadAll((base + "/translate_t").c_str(), body, static_cast<long>(strlen(body)));
        EXPECT_EQ(raw.GetStatusCode(), 400) << body;
    }

    // Of several services, one that is gone is passed over; with none left the engine fails.
    config.apertiumAddress = "http://127.0.0.1:1 " + apertium.BaseAddress();
    gateway.reset();
    StartGateway();
    for (int i = 0; i < 3; ++i) {
        Translator google("hola " + std::to_string(i), 491, gateway->BaseAddress());
        google.Retrieve();
        EXPECT_EQ(google.GetResult(), "[spa|eng] hola " + std::to_string(i));
    }
    config.apertiumAddress = "http://127.0.0.1:1";  // nobody there
    gateway.reset();
    StartGateway();
    Translator google("hola", 491, gateway->BaseAddress());
    google.Retrieve();
    EXPECT_EQ(google.GetErrorFlag(), 1);
}

TEST_F(GatewayFixture, BodiesOverTheCapAreRefusedAndSlowClientsDropped)
{
    config.maxBodyBytes = 1000;
    config.clientTimeoutSeconds = 1;
    config.threads = 2;
    StartGateway();
    std::string base = gateway->BaseAddress();
    Translator big(std::string(1 << 20, 'a'), 491, base);  // a 1 MB text
    big.Retrieve();
    EXPECT_EQ(big.GetErrorFlag(), 1);
    std::string body = "langpair=es%7Cen&text=" + std::string(1001, 'a');
    CHttpRetriever raw;
    raw.ReadAll((base + "/translate_t").c_str(), body.c_str(), static_cast<long>(body.size()));
    EXPECT_EQ(raw.GetStatusCode(), 413);
    EXPECT_TRUE(apertium.Requests().empty());

    // Clients that send half a request and fall silent cost no worker: with more of them than
    // threads, a translation is answered while every one of them is still open and unanswered,
    // so it did not wait for any of them to be dropped.
    auto openSilent = [&](int count) {
        std::vector<int> fds;
        for (int i = 0; i < count; ++i) {
            int fd = socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_port = htons(static_cast<uint16_t>(gateway->Port()));
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
            const char half[] =
                "POST /translate_t HTTP/1.1\r\nContent-Length: 100\r\n\r\nlangpair=";
            EXPECT_GT(write(fd, half, sizeof half - 1), 0);
            fds.push_back(fd);
        }
        return fds;
    };
    config.clientTimeoutSeconds = 10;  // far beyond one translation, even on a loaded machine
    gateway.reset();
    StartGateway();
    std::vector<int> silent = openSilent(4);
    Translator google("hola", 491, gateway->BaseAddress());
    google.Retrieve();
    EXPECT_EQ(google.GetErrorFlag(), 0) << google.GetErrorText();
    for (int fd : silent) {
        char byte;
        ssize_t got = recv(fd, &byte, 1, MSG_DONTWAIT);  // 0 would mean closed
        int error = errno;
        EXPECT_EQ(got, -1) << "a silent client was answered or dropped before the translation";
        EXPECT_TRUE(error == EAGAIN || error == EWOULDBLOCK) << strerror(error);
        close(fd);
    }

    // And a silent client is dropped once the limit passes: the gateway closes its side.
    config.clientTimeoutSeconds = 1;
    gateway.reset();
    StartGateway();
    int dropped = openSilent(1).front();
    timeval patience{60, 0};  // only so that a gateway that never drops it fails, not hangs
    setsockopt(dropped, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
    char byte;
    EXPECT_EQ(recv(dropped, &byte, 1, 0), 0);
    close(dropped);
}

TEST_F(GatewayFixture, UploadsOfKnownUsersAreStoredLiterally)
{
    std::string error;
    ASSERT_TRUE(SetUserPassword(config.usersFile, "ana", "s3cret", error)) << error;
    ASSERT_TRUE(SetUserPassword(config.usersFile, "o'brien\"; --", "x", error)) << error;
    std::ifstream users(config.usersFile);
    std::string text((std::istreambuf_iterator<char>(users)), {});
    EXPECT_EQ(text.find("s3cret"), std::string::npos);  // stored hashed
    EXPECT_NE(text.find("ana:$argon2id$"), std::string::npos);
    StartGateway();
    std::string upload = gateway->BaseAddress() + "/upload_es.php?";

    EXPECT_EQ(Get(upload + "texttotranslate=gato%20negro&translation=black%20cat&from=es&to=en&"
                           "user_name_data=ana&password_data=s3cret"),
              "Result:OK");
    // SQL and HTML metacharacters in every field, a Windows-1252 "ñ", an ampersand sent encoded.
    EXPECT_EQ(
        Get(upload + "texttotranslate=x');DROP%20TABLE%20uploads;--&translation=ni%F1o%20%26%20<b>&"
                     "from=du&to=zh-TW&user_name_data=o'brien%22;%20--&password_data=x"),
        "Result:OK");
    for (const char* refused :
         {"texttotranslate=a&translation=b&from=es&to=en&user_name_data=ana&password_data=wrong",
          "texttotranslate=a&translation=b&from=es&to=en&user_name_data=bob&password_data=s3cret",
          "texttotranslate=a&translation=b&from=es&to=en&user_name_data=ana&password_data=",
          "texttotranslate=a&translation=b&from=es&to=en&user_name_data=ana",
          "texttotranslate=a&translation=b&from=es&to=xx&user_name_data=ana&password_data=s3cret",
          "texttotranslate=&translation=b&from=es&to=en&user_name_data=ana&password_data=s3cret"})
        EXPECT_EQ(Get(upload + refused).rfind("Result:", 0), 0u) << refused;
    EXPECT_EQ(Rows(config.databaseFile),
              "ana|es|en|gato negro|black cat\n"
              "o'brien\"; --|du|zh-TW|x');DROP TABLE uploads;--|ni\xC3\xB1o & <b>\n");

    // A password changed while the gateway runs counts at once.
    ASSERT_TRUE(SetUserPassword(config.usersFile, "ana", "new", error)) << error;
    EXPECT_NE(Get(upload + "texttotranslate=a&translation=b&from=es&to=en&user_name_data=ana&"
                           "password_data=s3cret"),
              "Result:OK");
}

TEST_F(GatewayFixture, UploadsAtOnceAllLandAndSurviveARestart)
{
    std::string error;
    ASSERT_TRUE(SetUserPassword(config.usersFile, "ana", "pw", error)) << error;
    StartGateway();
    const std::string query = "/upload_es.php?from=es&to=en&user_name_data=ana&password_data=pw&";
    std::string upload = gateway->BaseAddress() + query;
    std::vector<std::thread> clients;
    std::atomic<int> ok{0};
    for (int c = 0; c < 2; ++c)
        clients.emplace_back([&, c] {
            for (int i = 0; i < 10; ++i)
                ok += Get(upload + "texttotranslate=w" + std::to_string(c * 10 + i) +
                          "&translation=t") == "Result:OK";
        });
    for (auto& t : clients)
        t.join();
    EXPECT_EQ(ok, 20);

    gateway.reset();  // a second gateway on the same database sees every row and adds to them
    StartGateway();
    upload = gateway->BaseAddress() + query;
    EXPECT_EQ(Get(upload + "texttotranslate=last&translation=t"), "Result:OK");
    std::string rows = Rows(config.databaseFile);
    EXPECT_EQ(std::count(rows.begin(), rows.end(), '\n'), 21);
    for (int i = 0; i < 20; ++i)
        EXPECT_NE(rows.find("|w" + std::to_string(i) + "|t\n"), std::string::npos) << i;

    // And the command line lists them, one line each.
    std::string cmd =
        std::string("'" TALVERO_GATEWAY "' list --database '") + config.databaseFile + "'";
    FILE* p = popen(cmd.c_str(), "r");
    std::string out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    EXPECT_EQ(pclose(p), 0);
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 21);
    EXPECT_NE(out.find("\tana\tes\ten\tlast\tt\n"), std::string::npos) << out;
}

TEST_F(GatewayFixture, UpdatePage)
{
    config.currentVersion = 100001;
    StartGateway();
    std::string page = Get(gateway->BaseAddress() + "/autoupdate.html");
    size_t at = page.find("Current Version Update");
    ASSERT_NE(at, std::string::npos) << page;
    EXPECT_EQ(std::atoi(page.substr(at + 23, 6).c_str()), 100001);
    EXPECT_EQ(Get(gateway->BaseAddress() + "/nothing").find("Current"), std::string::npos);
}

}  // namespace

namespace {

TEST_F(GatewayFixture, TheProgramsOwnUploadAndUpdateCheck)
{
    std::string error;
    ASSERT_TRUE(SetUserPassword(config.usersFile, "ana", "pw & co", error)) << error;
    config.currentVersion = 100001;
    StartGateway();
    Services services;
    services.uploadServerAddress = services.updateSiteAddress = gateway->BaseAddress();

    CUploader uploader(services);
    UploadResult r =
        UploadPair(uploader, "es_en", "pan & vino = 2", "bread & wine = 2", {"ana", "pw & co"});
    EXPECT_TRUE(r.stored) << r.error << " " << r.status;
    r = uploader.Send("a", "b", {"sv", "zh-CN"}, {"ana", "wrong"});
    EXPECT_TRUE(r.read);
    EXPECT_FALSE(r.stored);
    UpdateCheckResult update = CheckForUpdate(services, OnlineHooks{});
    EXPECT_TRUE(update.markerFound);
    EXPECT_EQ(update.version, 100001);
    EXPECT_TRUE(update.newer);

    // The same through talvero-cli in a working directory pointed at the gateway.
    dir.Write("TalveroServices.txt", "UPLOAD SERVER ADDRESS\n" + gateway->BaseAddress() +
                                         "\nUPDATE SITE ADDRESS\n" + gateway->BaseAddress());
    Settings s;
    s.onlineUsername = "ana";
    s.onlinePassword = "pw & co";
    s.localPairPosition = PositionOfSettingsName(PairList::Local, "SPANISH TO ENGLISH").value();
    dir.Write("TalveroConfig.txt", FormatSettings(s));
    CliRun run = RunCli(dir.Path().string(), "upload perro dog");
    EXPECT_EQ(run.status, 0) << run.err;
    run = RunCli(dir.Path().string(), "check-update");
    EXPECT_EQ(run.out, "version: 100001\nnewer: yes\n") << run.err;
    EXPECT_EQ(Rows(config.databaseFile),
              "ana|es|en|pan & vino = 2|bread & wine = 2\nana|es|en|perro|dog\n");
}

}  // namespace

}  // namespace talvero
