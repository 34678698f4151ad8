#pragma once
// The local translation service: the three translation forms answered by Apertium, the upload
// of phrase pairs into a database, and the update page.
//
// libmicrohttpd serves: each of a fixed number of threads waits on epoll for its share of the
// connections, so idle or trickling clients cost a socket and a little memory each, never a
// thread. A whole request that needs slow work (a password hash, a database write, a wait on
// Apertium) is set aside while that work runs in a bounded queue of its own, so those threads
// only ever move bytes; a full queue answers 503 at once. Each address may hold only so many
// connections, a client that sends nothing for a while is dropped, and so is one whose request
// has not been read and answered within a deadline however steadily it trickles.
#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "gateway/Apertium.h"
#include "gateway/Forwarded.h"
#include "gateway/Handler.h"
#include "gateway/LogThrottle.h"
#include "gateway/UploadStore.h"
#include "gateway/Users.h"
#include "gateway/WorkQueue.h"

struct MHD_Daemon;
struct MHD_Connection;

namespace talvero {

struct GatewayConfig {
    std::string listenAddress = "127.0.0.1";
    int port = 8730;  // 0: any free port
    std::string apertiumAddress = "http://127.0.0.1:2737";
    std::string databaseFile = "talvero-uploads.sqlite";  // or a postgresql:// address
    std::string usersFile = "talvero-users.txt";
    size_t maxBodyBytes = 64 * 1024;   // a longer request body is refused (413)
    int currentVersion = 100000;       // announced by the update page
    int threads = 16;                  // requests worked on at once
    int clientTimeoutSeconds = 10;     // a client that sends or takes nothing this long is dropped
    int requestDeadlineSeconds = 30;   // a request not read and answered by then is dropped
    int apertiumDeadlineSeconds = 20;  // a translation not back by then fails
    int maxConnections = 4000;
    int maxConnectionsPerAddress = 64;
    // Both set: HTTPS with this PEM certificate (chain) and its key.
    std::string tlsCertFile;
    std::string tlsKeyFile;
    UserFile::Limits loginLimits;
    // Balancers in front ("ADDRESS" or "ADDRESS/BITS"): from these peers alone the client's
    // address is taken from X-Forwarded-For, for the login limits and the per-address cap.
    std::vector<std::string> trustedProxies;
    // Work queued beyond those being done: past it, 503.
    int hashThreads = 0;  // 0: half the processor's cores (at least one), the rest for serving
    size_t hashQueue = 256;
    int writeThreads = 2;
    size_t writeQueue = 256;
    int translateThreads = 64;
    size_t translateQueue = 1024;
    // Where the administrator's messages go (store failures, users file problems); stderr when
    // unset.
    std::function<void(const std::string&)> log;
};

class GatewayServer {
public:
    explicit GatewayServer(GatewayConfig config);
    ~GatewayServer();
    GatewayServer(const GatewayServer&) = delete;
    GatewayServer& operator=(const GatewayServer&) = delete;

    // Reads the users file, opens the database, loads the certificate, binds the port and starts
    // serving. False with `error` when any of them fails.
    bool Start(std::string& error);
    // Waits until Stop() (from any thread or a signal watcher).
    void Serve();
    // Start() for tests and benchmarks; Stop() ends it.
    bool StartInBackground(std::string& error) { return Start(error); }
    void Stop();

    // SIGHUP: reads the users file, the certificate and the key again. A certificate or key
    // that cannot serve keeps the ones in use; the log says why.
    void Reload();

    int Port() const { return port; }
    std::string BaseAddress() const;  // "http://127.0.0.1:PORT", https with a certificate
    const GatewayConfig& Config() const { return config; }
    // Why a database server could not be reached at Start(); empty when it could.
    const std::string& StoreProblem() const { return storeProblem; }
    // What is true about the database, for the start-up log.
    std::string StoreStatus() { return store->Status(); }
    int UserCount() { return users.UserCount(); }

    struct Exchange;
    struct Link;

    struct Credentials;

private:
    // `kind` groups messages that repeat with other details: counted, not repeated.
    void Log(const std::string& message, const std::string& kind = {});
    void Write(const std::vector<std::string>& lines);
    bool Listen(std::string& error);
    bool LoadCredentials(std::string& error);
    void Sweep();

    friend struct GatewayCallbacks;

    GatewayConfig config;
    ApertiumClient apertium;
    SharedTranslations translations{apertium};
    std::unique_ptr<UploadStore> store;
    UserFile users;
    TrustedNetworks trusted;
    std::string storeProblem;
    RequestParts parts;
    std::mutex credentialsMutex;
    // Every set loaded, the current last: a handshake may still use an earlier one.
    std::vector<std::unique_ptr<Credentials>> credentials;
    LogThrottle logThrottle;
    MHD_Daemon* daemon = nullptr;
    int listenSocket = -1;
    int port = 0;

    // Every open connection, for the deadline sweep.
    std::mutex linksMutex;
    std::map<Link*, int> links;  // the link and a descriptor of its socket of our own
    std::thread sweeper;
    std::mutex sweepMutex;
    std::condition_variable sweepWake;
    bool stopping = false;

    // Requests set aside while their work runs; the daemon stops only when none is left.
    std::mutex asideMutex;
    std::condition_variable asideDone;
    int aside = 0;
    std::atomic<bool> refusing{false};
    // Requests in flight per client address, when the address comes from a balancer.
    std::mutex perAddressMutex;
    std::map<std::string, int> perAddress;
    // The database's answer to /health, kept a moment so that a flood of checks costs nothing.
    std::mutex healthMutex;
    std::chrono::steady_clock::time_point healthAt;
    bool healthy = false;

    // Last, so that they are joined first: their work uses everything above.
    std::unique_ptr<WorkQueue> hashing, writing, translating, probing;

    std::mutex serveMutex;
    std::condition_variable stopped;
    bool running = false;
};

}  // namespace talvero
