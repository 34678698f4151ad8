// The gateway facing a network: HTTPS with a private certificate authority, clients that trickle
// or hoard connections, password guessing, a botched users file, a database that refuses rows.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "gateway/Forms.h"
#include "gateway/Handler.h"
#include "online/Upload.h"
#include "settings/Services.h"
#include "tests/gateway/GatewayTestSupport.h"
#include "web/WebGrab.h"

namespace talvero {

namespace {

using gatewaytest::GatewayFixture;
using Clock = std::chrono::steady_clock;

int Connect(int port)
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Whether the server has closed `fd`, waiting at most `limit`.
bool ClosedWithin(int fd, std::chrono::milliseconds limit)
{
    timeval wait{0, 100000};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    char buffer[512];
    for (auto end = Clock::now() + limit; Clock::now() < end;) {
        ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) return true;
    }
    return false;
}

std::string UploadOver(const std::string& base, const std::string& caFile)
{
    Services services;
    ApplyServicesText(services, "UPLOAD SERVER ADDRESS\n" + base +
                                    (caFile.empty() ? "" : "\nCA FILE\n" + caFile) + "\n");
    EXPECT_EQ(services.caFile, caFile);
    CUploader uploader(services);
    UploadResult r = uploader.Send("gato", "cat", {"es", "en"}, {"ana", "pw"});
    return r.stored ? "stored" : r.error;
}

class GatewayTls : public GatewayFixture {
protected:
    void Openssl(const std::string& arguments)
    {
        std::string command =
            "cd '" + dir.Path().string() + "' && openssl " + arguments + " >/dev/null 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }
    // A key and a certificate for `name` (an IP address or a host name) signed by the test's CA.
    void Certificate(const std::string& file, const std::string& name)
    {
        const bool ip = name.find_first_not_of("0123456789.") == std::string::npos;
        dir.Write(file + ".ext",
                  "subjectAltName=" + std::string(ip ? "IP:" : "DNS:") + name + "\n");
        Openssl("req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -keyout " + file +
                ".key -out " + file + ".csr -subj /CN=" + name);
        Openssl("x509 -req -in " + file +
                ".csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 "
                "-out " +
                file + ".pem -extfile " + file + ".ext");
    }
};

TEST_F(GatewayTls, UploadOverHttpsWithAPrivateAuthorityAndWhatItRefuses)
{
    Openssl(
        "req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -keyout ca.key "
        "-out ca.pem -days 2 -subj /CN=Talvero-test-CA "
        "-addext basicConstraints=critical,CA:TRUE -addext keyUsage=keyCertSign");
    Certificate("here", "127.0.0.1");
    Certificate("elsewhere", "elsewhere.example");
    std::string error;
    ASSERT_TRUE(SetUserPassword(config.usersFile, "ana", "pw", error)) << error;

    // A key that is not the certificate's: refused at start, with both files named.
    config.tlsCertFile = dir.File("here.pem");
    config.tlsKeyFile = dir.File("elsewhere.key");
    GatewayServer mismatched(config);
    EXPECT_FALSE(mismatched.Start(error));
    EXPECT_NE(error.find("elsewhere.key cannot serve the certificate"), std::string::npos) << error;

    config.tlsKeyFile = dir.File("here.key");
    StartGateway();
    const std::string base = gateway->BaseAddress();
    ASSERT_EQ(base.rfind("https://127.0.0.1:", 0), 0u) << base;
    // Plain HTTP to the TLS port gets nowhere and harms nothing.
    CWebGrab plain;
    std::string body;
    plain.GetFile("http" + base.substr(5) + "/autoupdate.html", body, "test");
    EXPECT_EQ(body.find("Current Version"), std::string::npos);

    EXPECT_EQ(UploadOver(base, dir.File("ca.pem")), "stored");
    EXPECT_NE(UploadOver(base, ""), "stored");  // the system's authorities do not know ours

    // A certificate of our CA, but for another name: refused.
    config.tlsCertFile = dir.File("elsewhere.pem");
    config.tlsKeyFile = dir.File("elsewhere.key");
    gateway.reset();
    StartGateway();
    EXPECT_NE(UploadOver(gateway->BaseAddress(), dir.File("ca.pem")), "stored");
}

TEST_F(GatewayFixture, TricklingAndHoardingClientsAreCut)
{
    config.requestDeadlineSeconds = 1;
    config.maxConnectionsPerAddress = 3;
    StartGateway();
    // A byte every 100 ms never trips the ten-second silence rule; the deadline ends it.
    int trickler = Connect(gateway->Port());
    ASSERT_GE(trickler, 0);
    bool cut = false;
    const std::string request = "GET /autoupdate.html HTTP/1.1\r\nX-Slow: " + std::string(100, 'a');
    for (size_t i = 0; i < request.size() && !cut; ++i) {
        cut = send(trickler, &request[i], 1, MSG_NOSIGNAL) != 1 ||
              ClosedWithin(trickler, std::chrono::milliseconds(100));
    }
    EXPECT_TRUE(cut);
    close(trickler);

    // A client that shuts its side after the request still gets the reply.
    int half = Connect(gateway->Port());
    const char get[] = "GET /autoupdate.html HTTP/1.1\r\nHost: x\r\n\r\n";
    ASSERT_EQ(send(half, get, sizeof get - 1, MSG_NOSIGNAL), static_cast<ssize_t>(sizeof get - 1));
    shutdown(half, SHUT_WR);
    std::string reply;
    char buffer[4096];
    ssize_t n;
    while (reply.find("</html>") == std::string::npos &&
           (n = recv(half, buffer, sizeof buffer, 0)) > 0)
        reply.append(buffer, static_cast<size_t>(n));
    EXPECT_NE(reply.find("Current Version Update"), std::string::npos) << reply;
    close(half);

    // One address holds at most three connections (the half-closed one may still count); the
    // ones past the cap are closed at once.
    std::vector<int> idle;
    for (int i = 0; i < 4; ++i)
        idle.push_back(Connect(gateway->Port()));
    int refused = 0;
    for (int fd : idle)
        refused += ClosedWithin(fd, std::chrono::milliseconds(500));
    EXPECT_GE(refused, 1);
    for (int fd : idle)
        close(fd);
}

TEST_F(GatewayFixture, GuessingIsLimitedPerNameAndAddressAndUnknownNamesCountAlike)
{
    config.loginLimits.perPair = 2;
    config.loginLimits.perAddress = 5;
    std::string error;
    ASSERT_TRUE(SetUserPassword(config.usersFile, "ana", "pw", error)) << error;
    StartGateway();
    auto upload = [&](const std::string& user, const std::string& password) {
        CWebGrab grab;
        std::string body;
        grab.GetFile(gateway->BaseAddress() +
                         "/upload_es.php?texttotranslate=a&translation=b&from=es&to=en&"
                         "user_name_data=" +
                         user + "&password_data=" + password,
                     body, "test");
        return std::to_string(grab.GetStatusCode()) + " " + body;
    };
    EXPECT_EQ(upload("ana", "pw"), "200 Result:OK");
    for (const char* name : {"ana", "bob"}) {  // bob is not in the file
        EXPECT_EQ(upload(name, "guess1").substr(0, 3), "403") << name;
        EXPECT_EQ(upload(name, "guess2").substr(0, 3), "403") << name;
        std::string refused = upload(name, "pw");
        EXPECT_EQ(refused.substr(0, 3), "429") << name;
        EXPECT_NE(refused.find("Result:DENIED too many failed attempts"), std::string::npos);
    }
    EXPECT_EQ(upload("carl", "guess").substr(0, 3), "403");  // the address's fifth failure
    EXPECT_EQ(upload("dora", "guess").substr(0, 3), "429");
}

TEST(GatewayUsersFile, ProblemsAreToldByLineAndOnlySoundUsersCount)
{
    const std::string good = HashPassword("pw");
    std::string costly = good;
    costly.replace(costly.find("m="), costly.find(',') - costly.find("m="), "m=4194304");
    UsersText users = ParseUsers("# who may upload\n\nana:" + good + "\njunk line\nana:" + good +
                                 "\nbob:" + costly + "\ncarl:$argon2id$nonsense\n:" + good + "\n");
    EXPECT_EQ(users.hashes.size(), 1u);
    EXPECT_EQ(users.hashes["ana"], good);
    ASSERT_EQ(users.problems.size(), 5u);
    EXPECT_EQ(users.problems[0], "line 4: not \"name:hash\"");
    EXPECT_EQ(users.problems[1], "line 5: a second line for a user of line 3; the first counts");
    EXPECT_NE(users.problems[2].find("line 6: the hash's cost (m=4194304"), std::string::npos);
    EXPECT_EQ(users.problems[3].rfind("line 7: not an Argon2 hash", 0), 0u);
    EXPECT_EQ(users.problems[4], "line 8: not \"name:hash\"");

    // A directory in the file's place stops the start; passwd does not replace it.
    TempDir dir;
    std::filesystem::create_directory(dir.File("users"));
    GatewayConfig config;
    config.port = 0;
    config.usersFile = dir.File("users");
    config.databaseFile = dir.File("db.sqlite");
    GatewayServer server(config);
    std::string error;
    EXPECT_FALSE(server.Start(error));
    EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
    EXPECT_FALSE(SetUserPassword(config.usersFile, "ana", "pw", error));
}

TEST(GatewayHandling, AStoreFailureIsLoggedAndNeverAcknowledged)
{
    std::string logged;
    RequestParts parts;
    parts.verify = [](const std::string&, const std::string&, const std::string&, auto done) {
        done(LoginVerdict::Accepted, std::chrono::seconds(0));
    };
    parts.store = [](const UploadRow&, auto done) {
        done(StoreOutcome::Failed, "database or disk is full");
    };
    parts.log = [&](const std::string& message) { logged += message; };
    HttpRequest request{"GET", "/upload_es.php",
                        "texttotranslate=a&translation=b&from=es&to=en&user_name_data=an%1Ba&"
                        "password_data=pw",
                        "", "192.0.2.1"};
    HttpReply reply = HandleRequest(parts, request);
    EXPECT_EQ(reply.status, 500);
    EXPECT_EQ(reply.body, "Result:ERROR the pair could not be stored");
    EXPECT_EQ(logged, "an upload by an\\x1Ba was not stored: database or disk is full");

    // What `list` prints: no byte an uploader chose can drive the terminal.
    EXPECT_EQ(PrintableText("a\tb\x1b[31m\xc2\x9b\xff\x7f\\ \xc3\xa9"),
              "a\\tb\\x1B[31m\\u009B\\xFF\\x7F\\\\ \xc3\xa9");
}

TEST(GatewayApertium, AReplyThatTricklesFailsAtTheDeadline)
{
    int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 4), 0);
    socklen_t length = sizeof address;
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    std::atomic<bool> done{false};
    std::thread slow([&] {
        int client = accept(listener, nullptr, nullptr);
        const std::string reply =
            "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n" + std::string(100, ' ');
        for (size_t i = 0; i < reply.size() && !done; ++i) {
            if (send(client, &reply[i], 1, MSG_NOSIGNAL) != 1) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
        close(client);
    });
    // A second service listed after it: the deadline is the translation's, not each service's,
    // so once the first has used it up the second is not asked.
    int second = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    sockaddr_in secondAddress = address;
    secondAddress.sin_port = 0;
    ASSERT_EQ(bind(second, reinterpret_cast<sockaddr*>(&secondAddress), sizeof secondAddress), 0);
    ASSERT_EQ(listen(second, 4), 0);
    length = sizeof secondAddress;
    getsockname(second, reinterpret_cast<sockaddr*>(&secondAddress), &length);
    ApertiumClient client("http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) +
                              " http://127.0.0.1:" + std::to_string(ntohs(secondAddress.sin_port)),
                          1);
    ApertiumResult result = client.Translate(*PairFromGoogleCode("es|en"), "hola");
    done = true;
    slow.join();
    close(listener);
    EXPECT_EQ(result.kind, ApertiumResult::Kind::Unreachable);
    EXPECT_NE(result.problem.find("took longer than 1 s"), std::string::npos) << result.problem;
    EXPECT_LT(accept(second, nullptr, nullptr), 0);  // nobody came
    close(second);
}

}  // namespace

}  // namespace talvero
