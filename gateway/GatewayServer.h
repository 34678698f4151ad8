#pragma once
// The local translation service: the three translation forms answered by Apertium, the upload
// of phrase pairs into a database, and the update page. cpp-httplib serves; each request runs
// on one of a fixed number of worker threads, with time limits on reading and writing so that a
// slow or silent client cannot keep a worker.
#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "gateway/Apertium.h"
#include "gateway/UploadStore.h"
#include "gateway/Users.h"

namespace httplib {
class Server;
}

struct GatewayConfig {
    std::string listenAddress = "127.0.0.1";
    int port = 8730;  // 0: any free port
    std::string apertiumAddress = "http://127.0.0.1:2737";
    std::string databaseFile = "talvero-uploads.sqlite";  // or a postgresql:// address
    std::string usersFile = "talvero-users.txt";
    size_t maxBodyBytes = 64 * 1024;  // a longer request body is refused (413)
    int currentVersion = 100000;      // announced by the update page
    int threads = 16;
    int clientTimeoutSeconds = 10;  // a client that sends or takes nothing this long is dropped
};

class GatewayServer {
public:
    explicit GatewayServer(GatewayConfig config);
    ~GatewayServer();
    GatewayServer(const GatewayServer&) = delete;
    GatewayServer& operator=(const GatewayServer&) = delete;

    // Opens the database and binds the port. False with `error` when either fails.
    bool Start(std::string& error);
    // Serves until Stop() (from any thread or a signal watcher).
    void Serve();
    // Start() and Serve() on a thread of its own (tests, benchmarks); Stop() ends it.
    bool StartInBackground(std::string& error);
    void Stop();

    int Port() const { return port; }
    std::string BaseAddress() const;  // "http://127.0.0.1:PORT"
    const GatewayConfig& Config() const { return config; }
    // Why a database server could not be reached at Start(); empty when it could.
    const std::string& StoreProblem() const { return storeProblem; }

private:
    void Route();
    void WaitUntilRunning();

    GatewayConfig config;
    std::unique_ptr<httplib::Server> server;
    ApertiumClient apertium;
    SharedTranslations translations{apertium};
    UploadStore store;
    UserFile users;
    std::string storeProblem;
    int port = 0;
    std::atomic<bool> serving{false};
    std::thread thread;
};
