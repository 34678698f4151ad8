// The gateway as an administrator runs it: login limits that slow a guesser without locking the
// user out, ambiguous request framing, full work queues, the schema's version, `list`,
// `backup` and `passwd` on files they must not spoil, the configuration file, reloads.
#include <arpa/inet.h>
#include <grp.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include "gateway/Forwarded.h"
#include "gateway/LogThrottle.h"
#include "gateway/LoginLimiter.h"
#include "online/Upload.h"
#include "settings/Services.h"
#include "tests/gateway/GatewayTestSupport.h"
#include "tests/support/ChildProcess.h"

namespace talvero {

namespace {

using gatewaytest::GatewayFixture;
using namespace std::chrono_literals;

// The gateway program run with `arguments` (shell words): its exit status and all it printed.
std::pair<int, std::string> RunGateway(const std::string& arguments)
{
    std::string command = std::string("'") + TALVERO_GATEWAY + "' " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    std::string out;
    char buffer[4096];
    size_t n;
    while (pipe && (n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, n);
    int status = pipe ? pclose(pipe) : -1;
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

// A raw request to the gateway: the status line and headers of its answer, and whether the
// connection was closed after it.
std::string RawExchange(int port, const std::string& request, bool& closed)
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return {};
    send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    timeval wait{3, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    std::string reply;
    char buffer[4096];
    ssize_t n;
    closed = false;
    while ((n = recv(fd, buffer, sizeof buffer, 0)) > 0)
        reply.append(buffer, static_cast<size_t>(n));
    closed = n == 0;
    close(fd);
    return reply;
}

TEST(GatewayLogin, LimitsCountAtOnceSlowAGuesserAndSpareTheUser)
{
    std::vector<std::string> logged;
    LoginLimits limits;
    limits.perName = 22;
    LoginLimiter limiter(limits, [&](const std::string& line) { logged.push_back(line); });
    auto now = LoginLimiter::Clock::now();
    limiter.SetClock([&] { return now; });

    // Forty attempts at one moment for one name from one address: ten are let through.
    int through = 0;
    for (int i = 0; i < 40; ++i)
        through += limiter.Begin("ana", "192.0.2.1");
    EXPECT_EQ(through, 10);
    for (int i = 0; i < 10; ++i)
        limiter.Finish("ana", "192.0.2.1", false);
    ASSERT_FALSE(logged.empty());
    EXPECT_NE(logged[0].find("\"ana\" from 192.0.2.1; refused there until 20"), std::string::npos)
        << logged[0];

    // Ten wrong attempts from ten other addresses do not lock the user out elsewhere.
    for (int i = 0; i < 10; ++i) {
        std::string from = "198.51.100." + std::to_string(i);
        ASSERT_TRUE(limiter.Begin("ana", from));
        limiter.Finish("ana", from, false);
    }
    ASSERT_TRUE(limiter.Begin("ana", "203.0.113.9"));
    limiter.Finish("ana", "203.0.113.9", true);  // the user, from home

    // Past the name's bar each failure makes the next attempt wait; the user's own address,
    // where the name logged in, is not held up.
    std::chrono::seconds wait{0};
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(limiter.Begin("ana", "198.51.100.77"));
        limiter.Finish("ana", "198.51.100.77", false);
    }
    EXPECT_FALSE(limiter.Begin("ana", "198.51.100.78", &wait));
    EXPECT_EQ(wait, 1s);
    EXPECT_TRUE(limiter.Begin("ana", "203.0.113.9"));
    limiter.Finish("ana", "203.0.113.9", true);
    now += 2s;
    ASSERT_TRUE(limiter.Begin("ana", "198.51.100.78"));
    limiter.Finish("ana", "198.51.100.78", false);
    EXPECT_FALSE(limiter.Begin("ana", "198.51.100.79", &wait));
    EXPECT_EQ(wait, 2s);  // doubled

    // A shared address: a success clears its count, so the others behind it go on.
    for (int i = 0; i < 29; ++i) {
        ASSERT_TRUE(limiter.Begin("u" + std::to_string(i), "10.0.0.1"));
        limiter.Finish("u" + std::to_string(i), "10.0.0.1", false);
    }
    ASSERT_TRUE(limiter.Begin("bob", "10.0.0.1"));
    limiter.Finish("bob", "10.0.0.1", true);
    EXPECT_TRUE(limiter.Begin("carl", "10.0.0.1"));
    limiter.Finish("carl", "10.0.0.1", false, false);

    // Huge names cost no more than short ones, and the table keeps to its bytes.
    limits.memoryBytes = 200 * LoginLimiter::EntryBytes();
    LoginLimiter small(limits);
    for (int i = 0; i < 400; ++i) {
        std::string name(30000, 'x');
        name += std::to_string(i);
        std::string from = "10.1." + std::to_string(i / 250) + "." + std::to_string(i % 250);
        if (small.Begin(name, from)) small.Finish(name, from, false);
    }
    EXPECT_LE(small.MemoryBytes(), limits.memoryBytes);
}

TEST(GatewayForwarded, OnlyTrustedPeersNameTheClient)
{
    auto trusted = TrustedNetworks::Parse({"10.0.0.0/8", "::1"});
    ASSERT_TRUE(trusted);
    EXPECT_FALSE(TrustedNetworks::Parse({"10.0.0.0/33"}));
    EXPECT_FALSE(TrustedNetworks::Parse({"balancer"}));
    EXPECT_EQ(trusted->Client("192.0.2.1", {"198.51.100.1"}), "192.0.2.1");  // untrusted peer
    EXPECT_EQ(trusted->Client("10.1.2.3", {"6.6.6.6, 198.51.100.1"}), "198.51.100.1");
    EXPECT_EQ(trusted->Client("10.1.2.3", {"198.51.100.1", "10.9.9.9"}), "198.51.100.1");
    EXPECT_EQ(trusted->Client("::1", {"198.51.100.1, junk"}), "::1");
    std::string many;
    for (int i = 0; i < 1000; ++i)
        many += "10.0.0." + std::to_string(i % 250) + ",";
    // A long list is walked only as far as balancers can be stacked.
    std::string client = trusted->Client("10.1.2.3", {"198.51.100.1," + many + "10.0.0.1"});
    EXPECT_TRUE(trusted->Contains(client)) << client;
}

TEST(GatewayLog, RepeatedLinesAreCounted)
{
    LogThrottle throttle(60s);
    auto t = LogThrottle::Clock::now();
    EXPECT_EQ(throttle.Take("not stored: down", "down", t).size(), 1u);
    for (int i = 0; i < 500; ++i)
        EXPECT_TRUE(throttle.Take("not stored: down", "down", t + 1s).empty());
    auto flushed = throttle.Flush(t + 61s);
    ASSERT_EQ(flushed.size(), 1u);
    EXPECT_EQ(flushed[0], "not stored: down (and 500 more like it in 60 s)");
}

TEST_F(GatewayFixture, AmbiguousFramingIsRefusedAndTheConnectionClosed)
{
    StartGateway();
    for (const char* headers :
         {"Content-Length: 3\r\nContent-Length: 5\r\n",
          "Content-Length: 3\r\nContent-Length: 3\r\n", "Transfer-Encoding: chunked, identity\r\n",
          "Transfer-Encoding: chunked\r\nContent-Length: 3\r\n", "Content-Length: +3\r\n"}) {
        bool closed = false;
        std::string reply = RawExchange(
            gateway->Port(),
            std::string("POST /translate_t HTTP/1.1\r\nHost: x\r\n") + headers + "\r\nabcde",
            closed);
        EXPECT_EQ(reply.rfind("HTTP/1.1 400", 0), 0u) << headers << reply;
        EXPECT_TRUE(closed) << headers;
    }
    bool closed = false;
    EXPECT_EQ(RawExchange(gateway->Port(),
                          "GET /health HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n", closed)
                  .rfind("HTTP/1.1 200", 0),
              0u);
}

TEST_F(GatewayFixture, AFullQueueAnswersBusyAtOnce)
{
    std::string error;
    ASSERT_TRUE(SetUserPassword(config.usersFile, "ana", "pw", error)) << error;
    config.hashQueue = 0;
    config.translateQueue = 0;
    StartGateway();
    Services services;
    ApplyServicesText(services, "UPLOAD SERVER ADDRESS\n" + gateway->BaseAddress() + "\n");
    CUploader uploader(services);
    UploadResult r = uploader.Send("gato", "cat", {"es", "en"}, {"ana", "pw"});
    EXPECT_FALSE(r.stored);
    EXPECT_EQ(r.status, 503u) << r.error;
    bool closed = false;
    std::string translate = RawExchange(gateway->Port(),
                                        "POST /translate_t HTTP/1.1\r\nHost: x\r\nContent-Type: "
                                        "application/x-www-form-urlencoded\r\nContent-Length: "
                                        "26\r\nConnection: close\r\n\r\ntext=hola&langpair=es%7Cen",
                                        closed);
    EXPECT_EQ(translate.rfind("HTTP/1.1 503", 0), 0u) << translate;
}

TEST_F(GatewayFixture, ForeignOrLaterTablesStopTheStartAndListNeverWrites)
{
    auto exec = [&](const std::string& sql) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(config.databaseFile.c_str(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql;
        sqlite3_close(db);
    };
    exec("CREATE TABLE uploads (id INTEGER PRIMARY KEY, word TEXT)");
    GatewayServer foreign(config);
    std::string error;
    EXPECT_FALSE(foreign.Start(error));
    EXPECT_NE(error.find("lacks the column original"), std::string::npos) << error;
    EXPECT_NE(error.find("has the column word"), std::string::npos) << error;

    std::filesystem::remove(config.databaseFile);
    StartGateway();
    gateway.reset();
    exec("UPDATE talvero_schema SET version = 7");
    GatewayServer later(config);
    EXPECT_FALSE(later.Start(error));
    EXPECT_NE(error.find("later gateway (schema version 7"), std::string::npos) << error;

    // A database of the gateway before the version's table: brought up to date.
    exec("DROP TABLE talvero_schema");
    exec(
        "INSERT INTO uploads (user, source_language, target_language, original, translation) "
        "VALUES ('ana', 'es', 'en', 'gato', 'cat')");
    StartGateway();
    gateway.reset();

    // A read-only copy (a backup taken while running) is listed and left byte for byte.
    auto [status, said] = RunGateway("backup --database '" + config.databaseFile + "' '" +
                                     dir.File("copy.sqlite") + "'");
    ASSERT_EQ(status, 0) << said;
    chmod(dir.File("copy.sqlite").c_str(), 0444);
    const std::string before = dir.Read("copy.sqlite");
    auto [listed, rows] = RunGateway("list --database '" + dir.File("copy.sqlite") + "'");
    EXPECT_EQ(listed, 0) << rows;
    EXPECT_NE(rows.find("\tana\tes\ten\tgato\tcat\n"), std::string::npos) << rows;
    EXPECT_EQ(dir.Read("copy.sqlite"), before);
    EXPECT_FALSE(std::filesystem::exists(dir.File("copy.sqlite-wal")));

    // backup refuses what would spoil a file.
    EXPECT_NE(
        RunGateway("backup --database '" + config.databaseFile + "' '" + config.databaseFile + "'")
            .second.find("is the database itself"),
        std::string::npos);
    EXPECT_NE(
        RunGateway("backup --database '" + config.databaseFile + "' '" + dir.Path().string() + "'")
            .second.find("is a directory"),
        std::string::npos);
}

TEST_F(GatewayFixture, BackupOfARunningDatabaseHoldsWhatIsInTheLog)
{
    std::string error;
    ASSERT_TRUE(SetUserPassword(config.usersFile, "ana", "pw", error)) << error;
    StartGateway();
    Services services;
    ApplyServicesText(services, "UPLOAD SERVER ADDRESS\n" + gateway->BaseAddress() + "\n");
    CUploader uploader(services);
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(
            uploader.Send("w" + std::to_string(i), "x", {"es", "en"}, {"ana", "pw"}).stored);
    // The rows are in the write-ahead log while the gateway runs; the copy has them all.
    auto [status, said] = RunGateway("backup --database '" + config.databaseFile + "' '" +
                                     dir.File("copy.sqlite") + "'");
    ASSERT_EQ(status, 0) << said;
    auto [listed, rows] = RunGateway("list --database '" + dir.File("copy.sqlite") + "'");
    EXPECT_EQ(std::count(rows.begin(), rows.end(), '\n'), 20) << rows;
}

TEST(GatewayPasswd, KeepsOwnerGroupAndMode)
{
    if (geteuid() != 0) GTEST_SKIP() << "needs root to hand the file to another user";
    TempDir dir;
    const std::string users = dir.File("users.txt");
    std::string error;
    ASSERT_TRUE(SetUserPassword(users, "ana", "pw", error)) << error;
    const passwd* nobody = getpwnam("nobody");
    ASSERT_NE(nobody, nullptr);
    ASSERT_EQ(chown(users.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    ASSERT_EQ(chmod(users.c_str(), 0640), 0);
    int status = std::system(("printf 'secret\\n' | '" + std::string(TALVERO_GATEWAY) +
                              "' passwd bob --users '" + users + "' 2>/dev/null")
                                 .c_str());
    ASSERT_EQ(status, 0);
    struct stat st {};
    ASSERT_EQ(stat(users.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, nobody->pw_uid);
    EXPECT_EQ(st.st_gid, nobody->pw_gid);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_NE(dir.Read("users.txt").find("\nbob:"), std::string::npos);
}

TEST(GatewayOptions, ConfigFileCommandLineAndRepeats)
{
    TempDir dir;
    // Repeated single-valued options are named; exit 2.
    auto [twice, said] = RunGateway("list --database a.sqlite --database b.sqlite");
    EXPECT_EQ(twice, 2);
    EXPECT_NE(said.find("--database given twice"), std::string::npos) << said;

    const std::string database = dir.File("none.sqlite");
    dir.Write("gateway.conf", "# made by hand\n\ndatabase " + database + "\nwarm all");
    auto [fromFile, out] = RunGateway("list --config '" + dir.File("gateway.conf") + "'");
    EXPECT_NE(out.find("none.sqlite"), std::string::npos) << out;  // taken, no trailing newline
    auto [overridden, out2] = RunGateway("list --config '" + dir.File("gateway.conf") +
                                         "' --database '" + dir.File("other.sqlite") + "'");
    EXPECT_NE(out2.find("other.sqlite"), std::string::npos) << out2;

    for (const std::string& bad : {std::string("porrt 8730\n"), std::string("port 1\nport 2\n"),
                                   std::string(1 << 20, 'j')}) {
        dir.Write("bad.conf", bad);
        auto [status, message] = RunGateway("list --config '" + dir.File("bad.conf") + "'");
        EXPECT_EQ(status, 2) << message;
        EXPECT_NE(message.find("bad.conf"), std::string::npos) << message;
    }
}

TEST(GatewayOptions, EveryHelpOptionIsInTheManualPageAndBack)
{
    auto [status, help] = RunGateway("--help");
    ASSERT_EQ(status, 0);
    std::ifstream page(TALVERO_SOURCE_DIR "/packaging/man/talvero-gateway.1.scd");
    std::string manual((std::istreambuf_iterator<char>(page)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(manual.empty());
    // The options that open a line after `lead` ("  " in --help, "*" in the page's headings).
    auto options = [](const std::string& text, const std::string& lead) {
        std::set<std::string> found;
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line);) {
            if (line.rfind(lead + "--", 0) != 0) continue;
            size_t end = line.find_first_not_of("abcdefghijklmnopqrstuvwxyz-", lead.size() + 2);
            found.insert(line.substr(lead.size(), end - lead.size()));
        }
        return found;
    };
    auto fromHelp = options(help, "  ");
    EXPECT_GE(fromHelp.size(), 18u);
    EXPECT_EQ(fromHelp, options(manual, "*"));
}

TEST_F(GatewayFixture, ReloadTakesANewCertificateAndKeepsTheOldOneForABadOne)
{
    auto openssl = [&](const std::string& arguments) {
        std::string command =
            "cd '" + dir.Path().string() + "' && openssl " + arguments + " >/dev/null 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    };
    openssl(
        "req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -keyout ca.key "
        "-out ca.pem -days 2 -subj /CN=Talvero-test-CA "
        "-addext basicConstraints=critical,CA:TRUE -addext keyUsage=keyCertSign");
    for (const char* name : {"127.0.0.1", "elsewhere.example"}) {
        std::string file = name[0] == '1' ? "here" : "elsewhere";
        dir.Write(file + ".ext",
                  std::string("subjectAltName=") + (name[0] == '1' ? "IP:" : "DNS:") + name + "\n");
        openssl("req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -keyout " + file +
                ".key -out " + file + ".csr -subj /CN=" + name);
        openssl("x509 -req -in " + file +
                ".csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 -out " + file +
                ".pem -extfile " + file + ".ext");
    }
    std::string error;
    ASSERT_TRUE(SetUserPassword(config.usersFile, "ana", "pw", error)) << error;
    std::filesystem::copy_file(dir.File("elsewhere.pem"), dir.File("cert.pem"));
    std::filesystem::copy_file(dir.File("elsewhere.key"), dir.File("cert.key"));
    config.tlsCertFile = dir.File("cert.pem");
    config.tlsKeyFile = dir.File("cert.key");
    std::vector<std::string> logged;
    std::mutex logMutex;
    config.log = [&](const std::string& line) {
        std::lock_guard lock(logMutex);
        logged.push_back(line);
    };
    StartGateway();
    auto upload = [&] {
        Services services;
        ApplyServicesText(services, "UPLOAD SERVER ADDRESS\n" + gateway->BaseAddress() +
                                        "\nCA FILE\n" + dir.File("ca.pem") + "\n");
        CUploader uploader(services);
        return uploader.Send("gato", "cat", {"es", "en"}, {"ana", "pw"}).stored;
    };
    EXPECT_FALSE(upload());  // a certificate for another name
    dir.Write("cert.pem", "not a certificate");
    gateway->Reload();
    EXPECT_FALSE(upload());
    {
        std::lock_guard lock(logMutex);
        ASSERT_FALSE(logged.empty());
        EXPECT_NE(logged.back().find("the certificate in use stays"), std::string::npos)
            << logged.back();
    }
    std::filesystem::copy_file(dir.File("here.pem"), dir.File("cert.pem"),
                               std::filesystem::copy_options::overwrite_existing);
    std::filesystem::copy_file(dir.File("here.key"), dir.File("cert.key"),
                               std::filesystem::copy_options::overwrite_existing);
    gateway->Reload();
    EXPECT_TRUE(upload());
}

TEST_F(GatewayFixture, HugeFilesNamedByOptionsAreRefusedUnread)
{
    // Sparse: four gigabytes that take no room and would take a minute to read.
    for (const char* name : {"huge.pem", "huge-users.txt"}) {
        dir.Write(name, "");
        std::filesystem::resize_file(dir.File(name), 4ull << 30);
    }
    config.tlsCertFile = dir.File("huge.pem");
    config.tlsKeyFile = dir.File("huge.pem");
    std::string error;
    GatewayServer tls(config);
    EXPECT_FALSE(tls.Start(error));
    EXPECT_NE(error.find("larger than 1 MiB"), std::string::npos) << error;
    config.tlsCertFile = config.tlsKeyFile = "";
    config.usersFile = dir.File("huge-users.txt");
    GatewayServer users(config);
    EXPECT_FALSE(users.Start(error));
    EXPECT_NE(error.find("too large"), std::string::npos) << error;
}

TEST_F(GatewayFixture, SighupReadsTheUsersFileAndADirectoryInItsPlaceKeepsTheUsers)
{
    std::string error;
    ASSERT_TRUE(SetUserPassword(config.usersFile, "ana", "pw", error)) << error;
    pid_t pid = SpawnGroup(
        {TALVERO_GATEWAY, "--port", "0", "--port-file", dir.File("port"), "--apertium",
         config.apertiumAddress, "--database", config.databaseFile, "--users", config.usersFile},
        dir.File("gateway.log"));
    int port = WaitForPortFile(dir.File("port"));
    ASSERT_GT(port, 0) << dir.Read("gateway.log");
    auto upload = [&](const std::string& user, const std::string& password) {
        Services services;
        ApplyServicesText(services,
                          "UPLOAD SERVER ADDRESS\nhttp://127.0.0.1:" + std::to_string(port) + "\n");
        CUploader uploader(services);
        return uploader.Send("gato", "cat", {"es", "en"}, {user, password}).stored;
    };
    std::filesystem::rename(config.usersFile, dir.File("users.old"));
    std::filesystem::create_directory(config.usersFile);
    for (int i = 0; i < 100; ++i)
        kill(pid, SIGHUP);
    std::this_thread::sleep_for(200ms);
    EXPECT_TRUE(upload("ana", "pw"));  // alive, and the users read before stay
    std::filesystem::remove(config.usersFile);
    std::filesystem::rename(dir.File("users.old"), config.usersFile);
    ASSERT_TRUE(SetUserPassword(config.usersFile, "bob", "pw2", error)) << error;
    kill(pid, SIGHUP);
    EXPECT_TRUE(upload("bob", "pw2"));
    StopGroup(pid);
    const std::string log = dir.Read("gateway.log");
    EXPECT_NE(log.find("the 1 users read before stay"), std::string::npos) << log;
    EXPECT_NE(log.find("read again: 2 users may upload"), std::string::npos) << log;
}

TEST(GatewayWarm, AllIsAskedUntilTheServiceAnswers)
{
    std::atomic<int> asked{0};
    loopback::HttpServer service;
    service.SetHandler([&](const loopback::RecordedRequest& request) -> loopback::Reply {
        if (request.path == "/listPairs") {
            if (++asked < 3) return {503, "starting", "text/plain"};
            return {200,
                    R"({"responseData": [{"sourceLanguage": "spa", "targetLanguage": "eng"}]})",
                    "application/json"};
        }
        return gatewaytest::FakeApertium(request);
    });
    ApertiumClient client(service.BaseAddress(), 5);
    std::vector<std::string> said;
    client.Warm({}, true, [&](const std::string& line) { said.push_back(line); });
    EXPECT_EQ(asked, 3);
    ASSERT_EQ(service.Requests().size(), 4u);
    EXPECT_EQ(loopback::Field(service.Requests().back().form, "langpair"), "spa|eng");
    ASSERT_EQ(said.size(), 1u);  // "asking again", once
}

}  // namespace

}  // namespace talvero
