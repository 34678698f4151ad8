#include "gateway/GatewayServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gnutls/abstract.h>
#include <gnutls/gnutls.h>
#include <microhttpd.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <strings.h>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <tuple>

#include "base/TextFile.h"
#include "gateway/Forms.h"

namespace talvero {

using Clock = std::chrono::steady_clock;

// One connection: when its current request began (its first byte, or the end of the request
// before it on the same connection).
struct GatewayServer::Link {
    Clock::time_point start = Clock::now();
    bool cut = false;
};

// One request on its way through: its line, headers and body as they are read in.
struct GatewayServer::Exchange {
    HttpRequest request;
    Link* link = nullptr;
    std::string peer;
    bool headersRead = false;
    bool tooLarge = false;
    bool counted = false;  // in `perAddress`
    // The answer, once the work set aside has given it.
    std::mutex mutex;
    bool handled = false;
    bool aside = false;
    bool answered = false;
    HttpReply reply;
};

// A certificate (chain) and its key as GnuTLS hands them to a handshake.
struct GatewayServer::Credentials {
    std::string certificate, key;  // the PEM text they were read from
    std::vector<gnutls_pcert_st> chain;
    gnutls_privkey_t privateKey = nullptr;

    ~Credentials()
    {
        for (auto& certificate : chain)
            gnutls_pcert_deinit(&certificate);
        if (privateKey) gnutls_privkey_deinit(privateKey);
    }
    bool Load(std::string& error)
    {
        gnutls_datum_t cert{reinterpret_cast<unsigned char*>(certificate.data()),
                            static_cast<unsigned>(certificate.size())};
        gnutls_datum_t keyData{reinterpret_cast<unsigned char*>(key.data()),
                               static_cast<unsigned>(key.size())};
        unsigned count = 16;
        chain.resize(count);
        int rc =
            gnutls_pcert_list_import_x509_raw(chain.data(), &count, &cert, GNUTLS_X509_FMT_PEM, 0);
        chain.resize(rc < 0 ? 0 : count);
        if (rc < 0 || count == 0) {
            error = rc < 0 ? gnutls_strerror(rc) : "no certificate in it";
            return false;
        }
        rc = gnutls_privkey_init(&privateKey);
        if (rc >= 0)
            rc = gnutls_privkey_import_x509_raw(privateKey, &keyData, GNUTLS_X509_FMT_PEM, nullptr,
                                                0);
        if (rc < 0) {
            error = gnutls_strerror(rc);
            return false;
        }
        return true;
    }
};

namespace {

std::string AddressText(const sockaddr* address)
{
    char text[INET6_ADDRSTRLEN] = "";
    if (!address) return {};
    if (address->sa_family == AF_INET)
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, text,
                  sizeof text);
    else if (address->sa_family == AF_INET6)
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr, text,
                  sizeof text);
    return text;
}

// Two descriptors per connection (libmicrohttpd's and the deadline sweep's own) and some to
// spare: the connection cap must fit in what the process may open.
int ConnectionsTheProcessCanOpen(int wanted)
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return wanted;
    if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
        getrlimit(RLIMIT_NOFILE, &limit);
    }
    if (limit.rlim_cur == RLIM_INFINITY) return wanted;
    long fit = (static_cast<long>(limit.rlim_cur) - 64) / 2;
    return static_cast<int>(std::max(1L, std::min<long>(wanted, fit)));
}

// Whether the key fits the certificate, and why not, in GnuTLS's words.
bool CheckCertificate(const std::string& certificate, const std::string& key, std::string& error)
{
    gnutls_certificate_credentials_t credentials = nullptr;
    if (gnutls_certificate_allocate_credentials(&credentials) != GNUTLS_E_SUCCESS) {
        error = "GnuTLS could not start";
        return false;
    }
    gnutls_datum_t cert{reinterpret_cast<unsigned char*>(const_cast<char*>(certificate.data())),
                        static_cast<unsigned>(certificate.size())};
    gnutls_datum_t keyData{reinterpret_cast<unsigned char*>(const_cast<char*>(key.data())),
                           static_cast<unsigned>(key.size())};
    int rc = gnutls_certificate_set_x509_key_mem(credentials, &cert, &keyData, GNUTLS_X509_FMT_PEM);
    gnutls_certificate_free_credentials(credentials);
    if (rc < 0) {
        error = gnutls_strerror(rc);
        return false;
    }
    return true;
}

MHD_Result Respond(MHD_Connection* connection, const HttpReply& reply, bool close = false)
{
    MHD_Response* response = MHD_create_response_from_buffer(
        reply.body.size(), const_cast<char*>(reply.body.data()), MHD_RESPMEM_MUST_COPY);
    if (!response) return MHD_NO;
    if (!reply.contentType.empty())
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, reply.contentType.c_str());
    for (const auto& [name, value] : reply.headers)
        MHD_add_response_header(response, name.c_str(), value.c_str());
    // The rest of what the client sent cannot be trusted to be where it says: nothing more is
    // read from this connection.
    if (close) MHD_add_response_header(response, MHD_HTTP_HEADER_CONNECTION, "close");
    MHD_Result queued =
        MHD_queue_response(connection, static_cast<unsigned>(reply.status), response);
    MHD_destroy_response(response);
    return queued;
}

// Every value of the request's headers named `name`.
std::vector<std::string> HeaderValues(MHD_Connection* connection, const char* name)
{
    struct Search {
        const char* name;
        std::vector<std::string> values;
    } search{name, {}};
    MHD_get_connection_values(
        connection, MHD_HEADER_KIND,
        [](void* cls, MHD_ValueKind, const char* key, const char* value) -> MHD_Result {
            auto* s = static_cast<Search*>(cls);
            if (key && strcasecmp(key, s->name) == 0) s->values.emplace_back(value ? value : "");
            return MHD_YES;
        },
        &search);
    return search.values;
}

// Why the body's framing is ambiguous, or empty when it is not. A request that two readers
// (a balancer and this gateway) could split differently is refused: two Content-Lengths, a
// Content-Length that is no plain number, a Transfer-Encoding other than "chunked" alone, or
// one beside a Content-Length.
std::string FramingProblem(MHD_Connection* connection)
{
    auto lengths = HeaderValues(connection, MHD_HTTP_HEADER_CONTENT_LENGTH);
    auto encodings = HeaderValues(connection, MHD_HTTP_HEADER_TRANSFER_ENCODING);
    if (lengths.size() > 1) return "more than one Content-Length";
    if (lengths.size() == 1) {
        std::string_view length = TrimWhiteSpace(lengths[0]);
        if (length.empty() || length.size() > 18 ||
            length.find_first_not_of("0123456789") != std::string_view::npos)
            return "a Content-Length that is no number";
    }
    if (encodings.empty()) return {};
    if (encodings.size() > 1) return "more than one Transfer-Encoding";
    if (!lengths.empty()) return "both Transfer-Encoding and Content-Length";
    if (strcasecmp(std::string(TrimWhiteSpace(encodings[0])).c_str(), "chunked") != 0)
        return "a Transfer-Encoding other than chunked";
    return {};
}

HttpReply BadFramingReply(const std::string& why)
{
    return {400, "text/plain; charset=utf-8", "Bad request: " + why, {}};
}

// The certificate for a handshake: the set of the server listening on the connection's port.
std::mutex serversMutex;
std::map<int, GatewayServer*> serversByPort;

}  // namespace

struct GatewayCallbacks {
    static void* OnUri(void*, const char* uri, MHD_Connection* connection)
    {
        auto* exchange = new GatewayServer::Exchange;
        std::string_view text = uri ? uri : "";
        size_t question = text.find('?');
        exchange->request.path = std::string(text.substr(0, question));
        if (question != std::string_view::npos)
            exchange->request.query = std::string(text.substr(question + 1));
        const MHD_ConnectionInfo* info =
            MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
        if (info) exchange->link = static_cast<GatewayServer::Link*>(info->socket_context);
        info = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
        if (info) exchange->peer = AddressText(info->client_addr);
        exchange->request.clientAddress = exchange->peer;
        return exchange;
    }

    static MHD_Result OnRequest(void* cls, MHD_Connection* connection, const char*,
                                const char* method, const char*, const char* uploadData,
                                size_t* uploadDataSize, void** context)
    {
        auto* self = static_cast<GatewayServer*>(cls);
        auto* exchange = static_cast<GatewayServer::Exchange*>(*context);
        if (!exchange) return MHD_NO;
        if (!exchange->headersRead) {
            exchange->headersRead = true;
            exchange->request.method = method ? method : "";
            if (std::string why = FramingProblem(connection); !why.empty())
                return Respond(connection, BadFramingReply(why), true);
            if (!self->trusted.Empty()) {
                exchange->request.clientAddress = self->trusted.Client(
                    exchange->peer, HeaderValues(connection, "X-Forwarded-For"));
                // Behind a balancer the cap on one address's connections counts requests of
                // the real client instead.
                std::lock_guard lock(self->perAddressMutex);
                int& count = self->perAddress[exchange->request.clientAddress];
                ++count;
                exchange->counted = true;
                if (count > self->config.maxConnectionsPerAddress)
                    return Respond(connection, BusyReply(), true);
            }
            const char* length =
                MHD_lookup_connection_value(connection, MHD_HEADER_KIND, "Content-Length");
            // Refused before a byte of the body is read.
            if (length && std::strtoull(length, nullptr, 10) > self->config.maxBodyBytes)
                return Respond(connection, TooLargeReply());
            return MHD_YES;
        }
        if (*uploadDataSize > 0) {
            if (exchange->request.body.size() + *uploadDataSize > self->config.maxBodyBytes)
                exchange->tooLarge = true;
            else
                exchange->request.body.append(uploadData, *uploadDataSize);
            *uploadDataSize = 0;
            return MHD_YES;
        }
        if (exchange->tooLarge) return Respond(connection, TooLargeReply());
        std::unique_lock lock(exchange->mutex);
        if (exchange->handled) {
            // Called again after the work set aside has answered.
            if (!exchange->answered) return MHD_YES;
            return Respond(connection, exchange->reply);
        }
        exchange->handled = true;
        lock.unlock();
        // Work that takes long answers later, from its own queue; the connection is set aside
        // meanwhile, so this thread goes on serving others.
        try {
            HandleRequest(self->parts, exchange->request,
                          [self, exchange, connection](HttpReply reply) {
                              std::lock_guard answer(exchange->mutex);
                              exchange->reply = std::move(reply);
                              exchange->answered = true;
                              if (!exchange->aside) return;
                              MHD_resume_connection(connection);
                              std::lock_guard count(self->asideMutex);
                              if (--self->aside == 0) self->asideDone.notify_all();
                          });
        } catch (const std::exception& e) {
            self->Log(std::string("a request failed: ") + e.what());
            lock.lock();
            if (!exchange->answered) {
                exchange->answered = true;
                exchange->reply = {
                    500, "text/html; charset=utf-8", ErrorPage("Internal error"), {}};
            }
            lock.unlock();
        }
        lock.lock();
        if (exchange->answered) return Respond(connection, exchange->reply);
        exchange->aside = true;
        {
            std::lock_guard count(self->asideMutex);
            ++self->aside;
        }
        MHD_suspend_connection(connection);
        return MHD_YES;
    }

    static void OnCompleted(void* cls, MHD_Connection*, void** context, MHD_RequestTerminationCode)
    {
        auto* self = static_cast<GatewayServer*>(cls);
        auto* exchange = static_cast<GatewayServer::Exchange*>(*context);
        if (!exchange) return;
        if (exchange->counted) {
            std::lock_guard lock(self->perAddressMutex);
            auto it = self->perAddress.find(exchange->request.clientAddress);
            if (it != self->perAddress.end() && --it->second <= 0) self->perAddress.erase(it);
        }
        if (exchange->link) {
            // The next request on this connection has a deadline of its own.
            std::lock_guard lock(self->linksMutex);
            exchange->link->start = Clock::now();
        }
        delete exchange;
        *context = nullptr;
    }

    static void OnConnection(void* cls, MHD_Connection* connection, void** context,
                             MHD_ConnectionNotificationCode what)
    {
        auto* self = static_cast<GatewayServer*>(cls);
        if (what == MHD_CONNECTION_NOTIFY_STARTED) {
            const MHD_ConnectionInfo* info =
                MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
            // A descriptor of our own keeps the socket from being closed and its number reused
            // while the sweep may still cut it.
            int own = info ? fcntl(info->connect_fd, F_DUPFD_CLOEXEC, 0) : -1;
            auto* link = new GatewayServer::Link;
            *context = link;
            std::lock_guard lock(self->linksMutex);
            self->links.emplace(link, own);
        } else if (what == MHD_CONNECTION_NOTIFY_CLOSED) {
            auto* link = static_cast<GatewayServer::Link*>(*context);
            if (!link) return;
            std::lock_guard lock(self->linksMutex);
            auto it = self->links.find(link);
            if (it != self->links.end()) {
                if (it->second >= 0) close(it->second);
                self->links.erase(it);
            }
            delete link;
            *context = nullptr;
        }
    }

    static int OnCertificate(gnutls_session_t session, const gnutls_datum_t*, int,
                             const gnutls_pk_algorithm_t*, int, gnutls_pcert_st** chain,
                             unsigned int* length, gnutls_privkey_t* privateKey)
    {
        sockaddr_storage local{};
        socklen_t size = sizeof local;
        int fd = gnutls_transport_get_int(session);
        if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &size) != 0) return -1;
        int localPort =
            ntohs(local.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&local)->sin6_port
                                              : reinterpret_cast<sockaddr_in*>(&local)->sin_port);
        std::lock_guard servers(serversMutex);
        auto it = serversByPort.find(localPort);
        if (it == serversByPort.end()) return -1;
        GatewayServer* self = it->second;
        std::lock_guard lock(self->credentialsMutex);
        if (self->credentials.empty()) return -1;
        auto& current = *self->credentials.back();
        *chain = current.chain.data();
        *length = static_cast<unsigned>(current.chain.size());
        *privateKey = current.privateKey;
        return 0;
    }

    static void OnPanic(void*, const char* file, unsigned line, const char* reason)
    {
        std::fprintf(stderr, "talvero-gateway: libmicrohttpd failed at %s:%u: %s\n",
                     file ? file : "?", line, reason ? reason : "");
        std::abort();
    }
};

GatewayServer::GatewayServer(GatewayConfig config)
    : config(std::move(config)),
      apertium(this->config.apertiumAddress, this->config.apertiumDeadlineSeconds),
      store(UploadStore::For(this->config.databaseFile)),
      users(this->config.usersFile, this->config.loginLimits,
            [this](const std::string& message) { Log(message); })
{
    parts.translate = [this](const ApertiumPair& pair, const std::string& text,
                             std::function<void(ApertiumResult)> done) {
        auto work = [this, pair, text, done] {
            if (refusing) return done({ApertiumResult::Kind::Busy, "", "stopping"});
            done(translations.Translate(pair, text));
        };
        if (!translating->Post(work)) done({ApertiumResult::Kind::Busy, "", "busy"});
    };
    parts.verify = [this](const std::string& name, const std::string& password,
                          const std::string& address,
                          std::function<void(LoginVerdict, std::chrono::seconds)> done) {
        auto attempt = std::make_shared<LoginAttempt>(users.Begin(name, password, address));
        if (attempt->decided) return done(attempt->verdict, attempt->retryAfter);
        bool queued = hashing->Post([this, attempt, done] {
            if (refusing) {
                users.Cancel(*attempt);
                return done(LoginVerdict::Busy, {});
            }
            done(users.CheckPassword(*attempt), {});
        });
        if (!queued) {
            users.Cancel(*attempt);
            done(LoginVerdict::Busy, {});
        }
    };
    parts.store = [this](const UploadRow& row,
                         std::function<void(StoreOutcome, const std::string&)> done) {
        bool queued = writing->Post([this, row, done] {
            if (store->Add(row)) return done(StoreOutcome::Stored, {});
            done(StoreOutcome::Failed, store->Error());
        });
        if (!queued) done(StoreOutcome::Busy, {});
    };
    parts.health = [this](std::function<void(bool)> done) {
        const auto now = std::chrono::steady_clock::now();
        bool known;
        {
            std::lock_guard lock(healthMutex);
            known = now - healthAt < std::chrono::seconds(1);
            if (known) return done(healthy);
        }
        auto check = [this, done] {
            bool answers = store->Answers();
            {
                std::lock_guard lock(healthMutex);
                healthy = answers;
                healthAt = std::chrono::steady_clock::now();
            }
            done(answers);
        };
        // A flood of checks waits for none: the answer last found stands.
        if (!probing->Post(check)) {
            std::lock_guard lock(healthMutex);
            done(healthy);
        }
    };
    parts.log = [this](const std::string& message) {
        // Failures of one cause repeat with every upload: counted by their cause.
        size_t cause = message.find(" was not stored: ");
        Log(message, cause == std::string::npos ? "" : message.substr(cause));
    };
    parts.currentVersion = this->config.currentVersion;
}

GatewayServer::~GatewayServer()
{
    Stop();
}

void GatewayServer::Log(const std::string& message, const std::string& kind)
{
    Write(logThrottle.Take(message, kind));
}

void GatewayServer::Write(const std::vector<std::string>& lines)
{
    for (const std::string& line : lines) {
        if (config.log)
            config.log(line);
        else
            std::fprintf(stderr, "talvero-gateway: %s\n", line.c_str());
    }
}

std::string GatewayServer::BaseAddress() const
{
    std::string host = config.listenAddress.find(':') != std::string::npos
                           ? "[" + config.listenAddress + "]"
                           : config.listenAddress;
    return (config.tlsCertFile.empty() ? "http://" : "https://") + host + ":" +
           std::to_string(port);
}

bool GatewayServer::Listen(std::string& error)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST | AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    std::string service = std::to_string(config.port);
    if (getaddrinfo(config.listenAddress.c_str(), service.c_str(), &hints, &found) != 0 || !found) {
        error = "Not an address to listen on: " + config.listenAddress;
        return false;
    }
    listenSocket = socket(found->ai_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    int on = 1;
    if (listenSocket >= 0) setsockopt(listenSocket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    bool ok = listenSocket >= 0 && bind(listenSocket, found->ai_addr, found->ai_addrlen) == 0 &&
              listen(listenSocket, 1024) == 0;
    freeaddrinfo(found);
    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    if (ok && getsockname(listenSocket, reinterpret_cast<sockaddr*>(&bound), &length) == 0)
        port =
            ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port
                                              : reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
    if (!ok) {
        error = "Could not listen on " + config.listenAddress + " port " +
                std::to_string(config.port) + ": " + std::strerror(errno);
        if (listenSocket >= 0) close(listenSocket);
        listenSocket = -1;
        return false;
    }
    return true;
}

bool GatewayServer::LoadCredentials(std::string& error)
{
    auto loaded = std::make_unique<Credentials>();
    // Checked by size before they are read: a certificate and its key are a few kilobytes.
    constexpr size_t kMostPemBytes = 1 << 20;
    for (auto [path, text, what] :
         {std::tuple{&config.tlsCertFile, &loaded->certificate, "the certificate"},
          std::tuple{&config.tlsKeyFile, &loaded->key, "the key"}}) {
        FileRead read = ReadFileIfPresent(*path, *text, kMostPemBytes);
        if (read != FileRead::Read) {
            error = std::string("Could not read ") + what + " " + *path +
                    (read == FileRead::TooLarge  ? ": larger than 1 MiB, not a PEM file"
                     : read == FileRead::Missing ? ": no such file"
                                                 : "");
            return false;
        }
    }
    {
        std::lock_guard lock(credentialsMutex);
        if (!credentials.empty() && credentials.back()->certificate == loaded->certificate &&
            credentials.back()->key == loaded->key)
            return true;  // unchanged
    }
    std::string why;
    if (!CheckCertificate(loaded->certificate, loaded->key, why) || !loaded->Load(why)) {
        error = "The key " + config.tlsKeyFile + " cannot serve the certificate " +
                config.tlsCertFile + ": " + why;
        return false;
    }
    std::lock_guard lock(credentialsMutex);
    credentials.push_back(std::move(loaded));
    return true;
}

bool GatewayServer::Start(std::string& error)
{
    storeProblem.clear();
    std::string bad;
    auto networks = TrustedNetworks::Parse(config.trustedProxies, &bad);
    if (!networks) {
        error = "Not an address or ADDRESS/BITS: " + bad;
        return false;
    }
    trusted = *networks;
    int userCount = 0;
    if (!users.Check(userCount, error)) return false;
    const bool tls = !config.tlsCertFile.empty() || !config.tlsKeyFile.empty();
    if (tls) {
        if (config.tlsCertFile.empty() || config.tlsKeyFile.empty()) {
            error = "HTTPS needs both a certificate (--tls-cert) and its key (--tls-key)";
            return false;
        }
        if (!LoadCredentials(error)) return false;
    }
    if (!store->Open()) {
        // A database server may come up after the gateway: translations are served meanwhile,
        // and uploads are refused until it answers. Tables that are not this gateway's stop it.
        if (!UploadStore::IsServerAddress(config.databaseFile) || store->Foreign()) {
            error = store->Error();
            return false;
        }
        storeProblem = store->Error();
    }
    if (!Listen(error)) return false;

    refusing = false;
    // A hash is memory-bound processor work: more of them at once than half the cores only slow
    // everything else down.
    const int hashThreads =
        config.hashThreads > 0
            ? config.hashThreads
            : std::max(1, static_cast<int>(std::thread::hardware_concurrency() / 2));
    hashing = std::make_unique<WorkQueue>(hashThreads, config.hashQueue, 10);
    writing = std::make_unique<WorkQueue>(config.writeThreads, config.writeQueue);
    translating = std::make_unique<WorkQueue>(config.translateThreads, config.translateQueue);
    probing = std::make_unique<WorkQueue>(1, 4);

    MHD_set_panic_func(&GatewayCallbacks::OnPanic, nullptr);
    unsigned flags = MHD_USE_EPOLL_INTERNAL_THREAD | MHD_USE_ITC | MHD_ALLOW_SUSPEND_RESUME;
    if (tls) flags |= MHD_USE_TLS;
    std::vector<MHD_OptionItem> options = {
        {MHD_OPTION_LISTEN_SOCKET, listenSocket, nullptr},
        {MHD_OPTION_THREAD_POOL_SIZE, config.threads, nullptr},
        {MHD_OPTION_CONNECTION_LIMIT, ConnectionsTheProcessCanOpen(config.maxConnections), nullptr},
        // Behind a balancer every connection comes from it: the cap then counts the clients'
        // requests instead (see OnRequest).
        {MHD_OPTION_PER_IP_CONNECTION_LIMIT, trusted.Empty() ? config.maxConnectionsPerAddress : 0,
         nullptr},
        {MHD_OPTION_CONNECTION_TIMEOUT, config.clientTimeoutSeconds, nullptr},
        // Room for the longest upload query the program sends in one request line.
        {MHD_OPTION_CONNECTION_MEMORY_LIMIT, 128 * 1024, nullptr},
        {MHD_OPTION_URI_LOG_CALLBACK, reinterpret_cast<intptr_t>(&GatewayCallbacks::OnUri), this},
        {MHD_OPTION_NOTIFY_COMPLETED, reinterpret_cast<intptr_t>(&GatewayCallbacks::OnCompleted),
         this},
        {MHD_OPTION_NOTIFY_CONNECTION, reinterpret_cast<intptr_t>(&GatewayCallbacks::OnConnection),
         this},
    };
    if (tls) {
        // Asked at each handshake, so that a reload takes effect without a restart.
        options.push_back({MHD_OPTION_HTTPS_CERT_CALLBACK, 0,
                           reinterpret_cast<void*>(&GatewayCallbacks::OnCertificate)});
        std::lock_guard lock(serversMutex);
        serversByPort[port] = this;
    }
    options.push_back({MHD_OPTION_END, 0, nullptr});

    stopping = false;
    sweeper = std::thread([this] { Sweep(); });
    daemon = MHD_start_daemon(flags, 0, nullptr, nullptr, &GatewayCallbacks::OnRequest, this,
                              MHD_OPTION_ARRAY, options.data(), MHD_OPTION_END);
    if (!daemon) {
        error = "The HTTP server could not start on " + config.listenAddress + " port " +
                std::to_string(port);
        Stop();
        return false;
    }
    std::lock_guard lock(serveMutex);
    running = true;
    return true;
}

void GatewayServer::Reload()
{
    users.Reload();
    if (config.tlsCertFile.empty()) return;
    std::string error;
    if (LoadCredentials(error))
        Log("certificate " + config.tlsCertFile + " and key " + config.tlsKeyFile +
            " read again; new connections use them");
    else
        Log(error + "; the certificate in use stays");
}

void GatewayServer::Sweep()
{
    const auto deadline = std::chrono::seconds(config.requestDeadlineSeconds);
    std::unique_lock lock(sweepMutex);
    while (!stopping) {
        sweepWake.wait_for(lock, std::chrono::milliseconds(250));
        auto now = Clock::now();
        Write(logThrottle.Flush(now));
        std::lock_guard linksLock(linksMutex);
        for (auto& [link, fd] : links) {
            if (link->cut || fd < 0 || now - link->start < deadline) continue;
            // libmicrohttpd sees the connection end and closes it on its own thread.
            shutdown(fd, SHUT_RDWR);
            link->cut = true;
        }
    }
}

void GatewayServer::Serve()
{
    std::unique_lock lock(serveMutex);
    stopped.wait(lock, [&] { return !running; });
}

void GatewayServer::Stop()
{
    // Work not yet begun is answered "busy"; what is under way ends (each part has its own
    // deadline), and the connections set aside come back before the daemon goes.
    refusing = true;
    {
        std::unique_lock lock(asideMutex);
        asideDone.wait(lock, [&] { return aside == 0; });
    }
    {
        std::lock_guard lock(sweepMutex);
        stopping = true;
    }
    sweepWake.notify_all();
    if (sweeper.joinable()) sweeper.join();
    if (daemon) {
        // Waits for the requests being answered.
        MHD_stop_daemon(daemon);
        daemon = nullptr;
        listenSocket = -1;  // closed with the daemon
    }
    if (listenSocket >= 0) {
        close(listenSocket);
        listenSocket = -1;
    }
    hashing.reset();
    writing.reset();
    translating.reset();
    probing.reset();
    {
        std::lock_guard lock(serversMutex);
        auto it = serversByPort.find(port);
        if (it != serversByPort.end() && it->second == this) serversByPort.erase(it);
    }
    {
        std::lock_guard lock(serveMutex);
        running = false;
    }
    stopped.notify_all();
}

}  // namespace talvero
