// The two HTTP clients against real loopback servers: progress texts, status code and raw
// headers, reload, the event pump, the proxy path through tinyproxy, time-outs, cut and
// oversized bodies; and the POST client's body assembly and status-line scan.
#include <gtest/gtest.h>
#include <httplib.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>

#include "tests/support/LoopbackServer.h"
#include "tests/support/TempDir.h"
#include "web/HttpRetriever.h"
#include "web/WebGrab.h"
#include "web/WebResourceProvider.h"

namespace talvero {

using loopback::Field;
using loopback::HttpServer;
using loopback::Reply;

namespace {

class RecordingWindow : public CStatusWindow {
public:
    void SetStatusText(const std::string& text) override
    {
        std::lock_guard<std::mutex> lock(mutex);
        texts.push_back(text);
    }
    std::vector<std::string> Texts()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return texts;
    }
    bool Saw(const std::string& text)
    {
        for (const std::string& t : Texts())
            if (t == text) return true;
        return false;
    }

private:
    std::mutex mutex;
    std::vector<std::string> texts;
};

HttpLimits Fast()
{
    HttpLimits limits;
    limits.connectTimeoutMs = 2000;
    limits.stallTimeoutMs = 300;
    return limits;
}

std::vector<std::string> Lines(const std::string& nulSeparated)
{
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < nulSeparated.size()) {
        size_t end = nulSeparated.find('\0', at);
        if (end == std::string::npos) end = nulSeparated.size();
        lines.push_back(nulSeparated.substr(at, end - at));
        at = end + 1;
    }
    return lines;
}

// The proxy variables of the environment would send loopback requests elsewhere.
class NoEnvironmentProxy : public testing::Environment {
public:
    void SetUp() override
    {
        for (const char* v :
             {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"})
            unsetenv(v);
    }
};
testing::Environment* const kNoProxy = testing::AddGlobalTestEnvironment(new NoEnvironmentProxy);

// --- CWebGrab ---------------------------------------------------------------------------------

TEST(WebGrab, ProgressTextsInOrderAndTheLastIsEmpty)
{
    HttpServer server;
    server.SetReply({200, std::string(10000, 'x')});
    RecordingWindow window;
    CWebGrab grab;
    std::string body;
    ASSERT_TRUE(grab.GetFile(server.BaseAddress() + "/page", body, "Agent/1", &window));
    EXPECT_EQ(body.size(), 10000u);
    EXPECT_EQ(grab.GetStatusCode(), 200u);

    std::vector<std::string> texts = window.Texts();
    // The connection steps come in this order, then the reads, then the empty text.
    std::vector<std::string> steps = {"Resolving name for 127.0.0.1",
                                      "Resolved name for 127.0.0.1",
                                      "Connecting to socket address ",
                                      "Connected to socket address",
                                      "Sending request...",
                                      "Request sent",
                                      "Response received"};
    size_t at = 0;
    for (const std::string& step : steps) {
        auto it = std::find(texts.begin() + at, texts.end(), step);
        ASSERT_NE(it, texts.end()) << "missing or out of order: " << step;
        at = it - texts.begin() + 1;
    }
    // Read steps of at most 4095 bytes; a fast read reports no rate.
    std::vector<std::string> reads;
    for (const std::string& t : texts)
        if (t.starts_with("Read ")) reads.push_back(t);
    ASSERT_GE(reads.size(), 3u);
    EXPECT_EQ(reads.back(), "Read 10000 bytes");
    EXPECT_EQ(texts.back(), "");
    EXPECT_EQ(grab.GetSession()->GetStatusText(), "");
}

TEST(WebGrab, SlowReadReportsTheRate)
{
    HttpServer server;
    Reply reply{200, std::string(4000, 'y')};
    reply.stallAfterMs = 1100;  // half now, the rest after a second
    server.SetReply(reply);
    RecordingWindow window;
    CWebGrab grab;
    std::string body;
    ASSERT_TRUE(grab.GetFile(server.BaseAddress() + "/", body, "A", &window));
    EXPECT_TRUE(window.Saw("Read 2000 bytes"));
    // 4000 bytes after about a second: 3.9 Kb/s (2.0 if the machine was slow to wake us).
    EXPECT_TRUE(window.Saw("Read 4000 bytes (3.9 Kb/s)") ||
                window.Saw("Read 4000 bytes (2.0 Kb/s)"));
}

TEST(WebGrab, WaitingForTheAnswerDoesNotCountIntoTheRate)
{
    // The server thinks for over a second, then sends the page at once: the reading itself
    // took no time, so no rate.
    HttpServer server;
    Reply reply{200, std::string(6000, 'w')};
    reply.delayMs = 1200;
    server.SetReply(reply);
    RecordingWindow window;
    CWebGrab grab;
    std::string body;
    ASSERT_TRUE(grab.GetFile(server.BaseAddress() + "/", body, "A", &window));
    EXPECT_TRUE(window.Saw("Read 6000 bytes"));
    for (const std::string& text : window.Texts())
        EXPECT_EQ(text.find("Kb/s"), std::string::npos) << text;
}

TEST(WebGrab, ErrorStatusIsReadLikeAnyPageWithRawHeaders)
{
    HttpServer server;
    server.SetReply({404, "<html>not here</html>"});
    CWebGrab grab;
    grab.SetReload(true);
    std::string body;
    ASSERT_TRUE(grab.GetFile(server.BaseAddress() + "/missing", body, "Agent/2"));
    EXPECT_EQ(grab.GetStatusCode(), 404u);
    EXPECT_EQ(body, "<html>not here</html>");
    std::vector<std::string> lines = Lines(grab.GetRawHeaders());
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "HTTP/1.1 404 Not Found");
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Content-Type: text/html"), lines.end());

    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].method, "GET");
    EXPECT_EQ(Field(requests[0].headers, "User-Agent"), "Agent/2");
    EXPECT_EQ(Field(requests[0].headers, "Cache-Control"), "no-cache");
    EXPECT_EQ(Field(requests[0].headers, "Pragma"), "no-cache");
}

TEST(HttpClients, MovedPagesAreFollowedOnTheWebOnly)
{
    HttpServer server;
    server.SetHandler([&server](const loopback::RecordedRequest& r) {
        Reply reply;
        if (r.path == "/old") {
            reply.status = 302;
            reply.location = server.BaseAddress() + "/new";
        } else if (r.path == "/file") {
            reply.status = 302;
            reply.location = "file:///etc/passwd";
        } else {
            reply.body = "new " + r.method;
        }
        return reply;
    });
    CWebGrab grab;
    std::string body;
    ASSERT_TRUE(grab.GetFile(server.BaseAddress() + "/old", body, "A"));
    EXPECT_EQ(body, "new GET");
    EXPECT_EQ(grab.GetStatusCode(), 200u);
    EXPECT_EQ(Lines(grab.GetRawHeaders()).at(0), "HTTP/1.1 200 OK");
    EXPECT_FALSE(grab.GetFile(server.BaseAddress() + "/file", body, "A"));

    CHttpRetriever client;
    const char* reply = client.ReadAll((server.BaseAddress() + "/old").c_str(), "a=1");
    ASSERT_NE(reply, nullptr);
    EXPECT_EQ(std::string(reply), "new GET");
    EXPECT_EQ(client.GetStatusCode(), 200);
    EXPECT_EQ(client.ReadAll((server.BaseAddress() + "/file").c_str(), "a=1"), nullptr);
}

TEST(WebGrab, EventPumpRunsWhileReading)
{
    HttpServer server;
    Reply reply{200, "late"};
    reply.delayMs = 300;
    server.SetReply(reply);
    CWebGrab grab;
    int pumped = 0;
    grab.SetEventPump([&] { ++pumped; });
    std::string body;
    ASSERT_TRUE(grab.GetFile(server.BaseAddress() + "/", body, "A"));
    EXPECT_EQ(body, "late");
    EXPECT_GT(pumped, 3);
}

TEST(WebGrab, FailuresReturnFalseWithAReason)
{
    RecordingWindow window;
    {
        // Nobody listens: the open fails; the reason is the status text only.
        CWebGrab grab;
        std::string body = "old";
        EXPECT_FALSE(grab.GetFile("http://127.0.0.1:" + std::to_string(loopback::FreePort()), body,
                                  "A", &window));
        EXPECT_EQ(body, "");
        EXPECT_EQ(grab.GetStatusCode(), 0u);
        EXPECT_FALSE(grab.GetSession()->GetStatusText().empty());
        EXPECT_EQ(grab.GetErrorMessage(), "");
    }
    HttpServer server;
    {
        // Headers, then half the body and the connection closes: a read failure.
        Reply reply{200, std::string(5000, 'z')};
        reply.cut = true;
        server.SetReply(reply);
        CWebGrab grab;
        grab.SetLimits(Fast());
        std::string body;
        EXPECT_FALSE(grab.GetFile(server.BaseAddress() + "/", body, "A", &window));
        EXPECT_EQ(body, "");
        EXPECT_FALSE(grab.GetErrorMessage().empty());
        EXPECT_EQ(grab.GetSession()->GetStatusText(), grab.GetErrorMessage());
    }
    {
        Reply reply{200, std::string(5000, 'z')};
        reply.stallAfterMs = 5000;  // stalls longer than the limit
        server.SetReply(reply);
        CWebGrab grab;
        grab.SetLimits(Fast());
        std::string body;
        EXPECT_FALSE(grab.GetFile(server.BaseAddress() + "/", body, "A", &window));
        EXPECT_EQ(grab.GetErrorMessage(), "Timed out waiting for the server");
    }
    {
        server.SetReply({200, std::string(70000, 'z')});
        CWebGrab grab;
        HttpLimits limits = Fast();
        limits.maxBodyBytes = 65536;
        grab.SetLimits(limits);
        std::string body;
        EXPECT_FALSE(grab.GetFile(server.BaseAddress() + "/", body, "A", &window));
        EXPECT_EQ(grab.GetErrorMessage(), "Reply larger than the allowed size");
    }
    {
        loopback::RawServer silent("", true);  // accepts and never says a word
        CWebGrab grab;
        grab.SetLimits(Fast());
        std::string body;
        EXPECT_FALSE(grab.GetFile(silent.BaseAddress() + "/", body, "A", &window));
    }
}

TEST(WebGrab, ConnectTimeOut)
{
    // A listener whose backlog is full and that never accepts: further connections hang in
    // the handshake until the client gives up.
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(listen(fd, 0), 0);
    socklen_t len = sizeof addr;
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    std::vector<int> fillers;
    for (int i = 0; i < 3; ++i) {
        int c = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        connect(c, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        fillers.push_back(c);
    }
    CWebGrab grab;
    HttpLimits limits = Fast();
    limits.connectTimeoutMs = 500;
    limits.stallTimeoutMs = 60000;  // only the connect limit can end this
    grab.SetLimits(limits);
    std::string body;
    EXPECT_FALSE(
        grab.GetFile("http://127.0.0.1:" + std::to_string(ntohs(addr.sin_port)) + "/", body, "A"));
    for (int c : fillers)
        close(c);
    close(fd);
}

TEST(HttpClients, ReplyThatNeverCompletesEndsAtTheTotalLimit)
{
    // Half the page, then a pause longer than the test; only the total limit can end it.
    HttpServer server;
    Reply reply{200, std::string(4000, 't')};
    reply.stallAfterMs = 20000;
    server.SetReply(reply);
    HttpLimits limits = Fast();
    limits.stallTimeoutMs = 60000;
    limits.totalTimeoutMs = 400;

    CWebGrab grab;
    grab.SetLimits(limits);
    std::string body;
    EXPECT_FALSE(grab.GetFile(server.BaseAddress() + "/", body, "A"));
    EXPECT_EQ(body, "");

    CHttpRetriever client;
    client.SetLimits(limits);
    EXPECT_EQ(client.ReadAll((server.BaseAddress() + "/").c_str(), "a=1"), nullptr);
    EXPECT_EQ(client.GetLastError(), 28);  // operation timed out
    EXPECT_EQ(client.GetStatusCode(), 0);
}

TEST(WebGrab, ThroughTinyproxy)
{
    loopback::Tinyproxy proxy;
    if (!loopback::TinyproxyInstalled()) GTEST_SKIP() << proxy.Problem();
    ASSERT_TRUE(proxy.Running()) << proxy.Problem();
    HttpServer server;
    server.SetReply({200, "via proxy"});
    RecordingWindow window;
    CWebGrab grab;
    grab.SetProxy("127.0.0.1", static_cast<unsigned short>(proxy.Port()), true);
    grab.SetReload(true);
    std::string body;
    ASSERT_TRUE(grab.GetFile(server.BaseAddress() + "/p", body, "ProxyAgent", &window))
        << grab.GetSession()->GetStatusText();
    EXPECT_EQ(body, "via proxy");
    EXPECT_EQ(grab.GetStatusCode(), 200u);
    auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_NE(Field(requests[0].headers, "Via").find("tinyproxy"), std::string::npos);
    EXPECT_EQ(Field(requests[0].headers, "User-Agent"), "ProxyAgent");

    // A proxy that is down fails the GET rather than going direct.
    CWebGrab down;
    down.SetProxy("127.0.0.1", static_cast<unsigned short>(loopback::FreePort()), true);
    EXPECT_FALSE(down.GetFile(server.BaseAddress() + "/p", body, "A"));
    EXPECT_EQ(server.Requests().size(), 1u);
}

TEST(WebGrab, ProxySettingsTakeEffectAtInitialise)
{
    HttpServer server;
    server.SetReply({200, "direct"});
    CWebGrab grab;
    ASSERT_TRUE(grab.Initialise("A"));
    grab.SetProxy("127.0.0.1", static_cast<unsigned short>(loopback::FreePort()), true);
    std::string body;
    EXPECT_TRUE(grab.GetFile(server.BaseAddress() + "/", body));  // old session: direct
    EXPECT_EQ(body, "direct");
    grab.Close();
    EXPECT_FALSE(grab.GetFile(server.BaseAddress() + "/", body, "A"));  // new session: proxy
}

struct StatusCase {
    unsigned long code;
    std::string info;
    bool changes;
    std::string text;
};

class SessionStatusTexts : public testing::TestWithParam<StatusCase> {};

TEST_P(SessionStatusTexts, Table)
{
    const StatusCase& c = GetParam();
    RecordingWindow window;
    CWebGrabSession session("A", &window);
    session.SetStatus("%s", "before");
    session.OnStatusCallback(1, c.code, c.info.c_str(), static_cast<unsigned long>(c.info.size()));
    EXPECT_EQ(session.GetStatusText(), c.changes ? c.text : "before");
    EXPECT_EQ(window.Texts().size(), c.changes ? 2u : 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, SessionStatusTexts,
    testing::Values(StatusCase{10, "example.org", true, "Resolving name for example.org"},
                    StatusCase{11, "10.0.0.1", true, "Resolved name for 10.0.0.1"},
                    StatusCase{20, "", true, "Connecting to socket address "},
                    StatusCase{21, "", true, "Connected to socket address"},
                    StatusCase{30, "", true, "Sending request..."},
                    StatusCase{31, "", true, "Request sent"}, StatusCase{40, "", false, ""},
                    StatusCase{41, "", true, "Response received"},
                    StatusCase{50, "", true, "Closing the connection to the server"},
                    StatusCase{51, "", true, "Connection to the server closed"},
                    StatusCase{60, "", true, ""}, StatusCase{70, "", false, ""},
                    StatusCase{100, "", true, "Request complete"},
                    StatusCase{77, "", true, "Unknown status: 77"}));

TEST(WebGrabSession, RequestCompleteWithResultAndLongTexts)
{
    CWebGrabSession session("A", nullptr);
    WebGrabAsyncResult r{0x1234, 0xABCDEF};
    session.OnStatusCallback(1, kStatusRequestComplete, &r, sizeof r);
    EXPECT_EQ(session.GetStatusText(), "Request complete, dwResult = 00001234, dwError = 00ABCDEF");
    session.SetStatus("%s", std::string(2000, 'n').c_str());
    EXPECT_EQ(session.GetStatusText().size(), 511u);
}

// --- CHttpRetriever ---------------------------------------------------------------------------

TEST(HttpRetriever, BodyWithNulKeepsOnlyBytesBeforeItInItsReadStep)
{
    HttpServer server;
    std::string page =
        "head" + std::string(1, '\0') + "lost" + std::string(8191 - 9, '.') + "second step";
    server.SetReply({200, page});
    CHttpRetriever client;
    const char* body = client.ReadAll((server.BaseAddress() + "/x").c_str(), "a=1");
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(std::string(body), "headsecond step");
    EXPECT_EQ(client.GetStatusCode(), 200);
    EXPECT_EQ(server.Requests()[0].body, "a=1");
}

TEST(HttpRetriever, ExplicitLengthAndFailures)
{
    HttpServer server;
    server.SetReply({201, "made"});
    CHttpRetriever client;
    const char* body = client.ReadAll((server.BaseAddress() + "/").c_str(), "a=1&b=2", 3);
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(server.Requests()[0].body, "a=1");
    EXPECT_EQ(client.GetStatusCode(), 201);

    std::string refused = "http://127.0.0.1:" + std::to_string(loopback::FreePort()) + "/";
    EXPECT_EQ(client.ReadAll(refused.c_str(), "a=1"), nullptr);
    EXPECT_EQ(client.GetLastError(), 7);  // could not connect
    EXPECT_EQ(client.GetStatusCode(), 0);

    EXPECT_EQ(client.ReadAll(nullptr, "a=b"), nullptr);
    EXPECT_EQ(client.GetLastError(), -1);
}

struct HeaderCase {
    std::string raw;
    int code;
};

class StatusLineScan : public testing::TestWithParam<HeaderCase> {};

TEST_P(StatusLineScan, FirstHttpLineFirstThreeDigits)
{
    EXPECT_EQ(CHttpRetriever::StatusCodeFromRawHeaders(GetParam().raw), GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, StatusLineScan,
    testing::Values(HeaderCase{std::string("HTTP/1.1 200 OK\0Server: x\0\0", 27), 200},
                    HeaderCase{std::string("Server: 123\0http/1.0 404 No\0\0", 30), 404},
                    HeaderCase{std::string("Server: 123\0Date: 1999\0\0", 24), 0},
                    HeaderCase{std::string("HTTP/1.1 OK\0X: 500\0\0", 20), 0},
                    HeaderCase{std::string("HTTP/2 302\0\0", 12), 302}, HeaderCase{"", 0}));

// --- TLS ------------------------------------------------------------------------------------

TEST(Tls, SelfSignedCertificateIsRefused)
{
    if (access("/usr/bin/openssl", X_OK) != 0) GTEST_SKIP() << "openssl command not installed";
    TempDir temp;
    std::string dir = temp.Path().string();
    std::string cmd =
        "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 "
        "-keyout " +
        dir + "/key.pem -out " + dir + "/cert.pem >/dev/null 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    httplib::SSLServer server((dir + "/cert.pem").c_str(), (dir + "/key.pem").c_str());
    server.Post(".*", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(loopback::GooglePage("secret"), "text/html");
    });
    int port = server.bind_to_any_port("127.0.0.1");
    std::thread thread([&] { server.listen_after_bind(); });
    while (!server.is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));

    CHttpRetriever client;
    std::string url = "https://127.0.0.1:" + std::to_string(port) + "/translate_t";
    EXPECT_EQ(client.ReadAll(url.c_str(), "a=1"), nullptr);
    EXPECT_EQ(client.GetLastError(), 60);  // peer certificate cannot be authenticated
    CWebGrab grab;
    std::string body;
    EXPECT_FALSE(grab.GetFile(url, body, "A"));

    server.stop();
    thread.join();
    std::system(("rm -rf " + dir).c_str());
}

}  // namespace

// --- The provider's GET form ----------------------------------------------------------------

namespace {

class GetPage : public CWebResourceProvider {
public:
    explicit GetPage(std::string address) : address(std::move(address)) {}
    int fetches = 0;

protected:
    std::string GetResourceUrl() override { return address; }
    void ParseContent() override { ++fetches; }

private:
    std::string address;
};

TEST(ResourceProviderGet, FetchesWithReloadAgentAndStatusWindow)
{
    HttpServer server;
    server.SetReply({200, "<html>page</html>"});
    RecordingWindow window;
    GetPage page(server.BaseAddress() + "/autoupdate.html");
    page.SetAgent("Talvero");
    page.SetStatusWindow(&window);
    page.Retrieve();
    EXPECT_EQ(page.GetErrorFlag(), 0);
    EXPECT_EQ(page.GetContent(), "<html>page</html>");
    EXPECT_EQ(page.fetches, 1);
    auto r = server.Requests();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].method, "GET");
    EXPECT_EQ(Field(r[0].headers, "User-Agent"), "Talvero");
    EXPECT_EQ(Field(r[0].headers, "Pragma"), "no-cache");
    EXPECT_TRUE(window.Saw("Read 17 bytes"));
}

TEST(ResourceProviderGet, FailureNamesTheUrl)
{
    std::string url = "http://127.0.0.1:" + std::to_string(loopback::FreePort()) + "/x";
    GetPage page(url);
    page.Retrieve();
    EXPECT_EQ(page.GetErrorFlag(), 1);
    EXPECT_EQ(page.GetErrorText(), "Error fetching resource" + url);
    EXPECT_EQ(page.GetContent(), "");
}

}  // namespace

// --- The provider's POST form ---------------------------------------------------------------

namespace {

class PostPage : public CWebResourceProvider {
public:
    explicit PostPage(std::string address) : address(std::move(address)) {}

protected:
    std::string GetResourceUrl() override { return address; }
    bool UsePost() override { return true; }
    std::string GetPostData() override { return "a=1"; }

private:
    std::string address;
};

TEST(ResourceProviderPost, IncompleteReplyIsAFailureWithoutAStatus)
{
    HttpServer server;
    {
        server.SetReply({201, "made"});
        PostPage page(server.BaseAddress() + "/form");
        page.Retrieve();
        EXPECT_EQ(page.GetErrorFlag(), 0);
        EXPECT_EQ(page.GetContent(), "made");
    }
    {
        server.SetReply({404, "gone"});
        PostPage page(server.BaseAddress() + "/form");
        page.Retrieve();
        EXPECT_EQ(page.GetErrorFlag(), 1);
        EXPECT_EQ(page.GetErrorText(), "Error 404 fetching resource");
    }
    {
        // "200 OK" and then only half the announced body: no page came.
        Reply reply{200, std::string(5000, 'z')};
        reply.cut = true;
        server.SetReply(reply);
        PostPage page(server.BaseAddress() + "/form");
        page.SetLimits(Fast());
        page.Retrieve();
        EXPECT_EQ(page.GetErrorFlag(), 1);
        EXPECT_EQ(page.GetErrorText(), "Error 0 fetching resource");
        EXPECT_EQ(page.GetContent(), "");
    }
}

}  // namespace

}  // namespace talvero
