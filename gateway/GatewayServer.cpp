#include "gateway/GatewayServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gnutls/gnutls.h>
#include <microhttpd.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>

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
    bool headersRead = false;
    bool tooLarge = false;
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

MHD_Result Respond(MHD_Connection* connection, const HttpReply& reply)
{
    MHD_Response* response = MHD_create_response_from_buffer(
        reply.body.size(), const_cast<char*>(reply.body.data()), MHD_RESPMEM_MUST_COPY);
    if (!response) return MHD_NO;
    if (!reply.contentType.empty())
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, reply.contentType.c_str());
    MHD_Result queued =
        MHD_queue_response(connection, static_cast<unsigned>(reply.status), response);
    MHD_destroy_response(response);
    return queued;
}

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
        if (info) exchange->request.clientAddress = AddressText(info->client_addr);
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
        // Answered here, on the thread that read it: a connection waits only on its own
        // request, and the other threads keep taking new connections meanwhile. (Setting the
        // connection aside for a worker would read the end of a half-closed request before the
        // reply could go out, and the library then drops it.)
        HttpReply reply;
        try {
            reply = HandleRequest(self->parts, exchange->request);
        } catch (const std::exception& e) {
            self->Log(std::string("a request failed: ") + e.what());
            reply = {500, "text/html; charset=utf-8", ErrorPage("Internal error")};
        }
        return Respond(connection, reply);
    }

    static void OnCompleted(void* cls, MHD_Connection*, void** context, MHD_RequestTerminationCode)
    {
        auto* self = static_cast<GatewayServer*>(cls);
        auto* exchange = static_cast<GatewayServer::Exchange*>(*context);
        if (!exchange) return;
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
      users(this->config.usersFile, this->config.loginLimits,
            [this](const std::string& message) { Log(message); })
{
    parts.translate = [this](const ApertiumPair& pair, const std::string& text) {
        return translations.Translate(pair, text);
    };
    parts.verify = [this](const std::string& name, const std::string& password,
                          const std::string& address) {
        return users.Verify(name, password, address);
    };
    parts.store = [this](const UploadRow& row, std::string& error) {
        if (store.Add(row)) return true;
        error = store.Error();
        return false;
    };
    parts.log = [this](const std::string& message) { Log(message); };
    parts.currentVersion = this->config.currentVersion;
}

GatewayServer::~GatewayServer()
{
    Stop();
}

void GatewayServer::Log(const std::string& message)
{
    if (config.log)
        config.log(message);
    else
        std::fprintf(stderr, "talvero-gateway: %s\n", message.c_str());
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

bool GatewayServer::Start(std::string& error)
{
    storeProblem.clear();
    int userCount = 0;
    if (!users.Check(userCount, error)) return false;
    const bool tls = !config.tlsCertFile.empty() || !config.tlsKeyFile.empty();
    if (tls) {
        if (config.tlsCertFile.empty() || config.tlsKeyFile.empty()) {
            error = "HTTPS needs both a certificate (--tls-cert) and its key (--tls-key)";
            return false;
        }
        if (!ReadWholeFile(config.tlsCertFile, certificate)) {
            error = "Could not read the certificate " + config.tlsCertFile;
            return false;
        }
        if (!ReadWholeFile(config.tlsKeyFile, key)) {
            error = "Could not read the key " + config.tlsKeyFile;
            return false;
        }
        std::string why;
        if (!CheckCertificate(certificate, key, why)) {
            error = "The key " + config.tlsKeyFile + " cannot serve the certificate " +
                    config.tlsCertFile + ": " + why;
            return false;
        }
    }
    if (!store.Open(config.databaseFile)) {
        // A database server may come up after the gateway: translations are served meanwhile,
        // and uploads are refused until it answers.
        if (!UploadStore::IsServerAddress(config.databaseFile)) {
            error = store.Error();
            return false;
        }
        storeProblem = store.Error();
    }
    if (!Listen(error)) return false;

    MHD_set_panic_func(&GatewayCallbacks::OnPanic, nullptr);
    unsigned flags = MHD_USE_EPOLL_INTERNAL_THREAD | MHD_USE_ITC;
    if (tls) flags |= MHD_USE_TLS;
    std::vector<MHD_OptionItem> options = {
        {MHD_OPTION_LISTEN_SOCKET, listenSocket, nullptr},
        {MHD_OPTION_THREAD_POOL_SIZE, config.threads, nullptr},
        {MHD_OPTION_CONNECTION_LIMIT, ConnectionsTheProcessCanOpen(config.maxConnections), nullptr},
        {MHD_OPTION_PER_IP_CONNECTION_LIMIT, config.maxConnectionsPerAddress, nullptr},
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
        options.push_back({MHD_OPTION_HTTPS_MEM_CERT, 0, certificate.data()});
        options.push_back({MHD_OPTION_HTTPS_MEM_KEY, 0, key.data()});
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

void GatewayServer::Sweep()
{
    const auto deadline = std::chrono::seconds(config.requestDeadlineSeconds);
    std::unique_lock lock(sweepMutex);
    while (!stopping) {
        sweepWake.wait_for(lock, std::chrono::milliseconds(250));
        auto now = Clock::now();
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
    {
        std::lock_guard lock(serveMutex);
        running = false;
    }
    stopped.notify_all();
}

}  // namespace talvero
