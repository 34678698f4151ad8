#include "tests/support/LoopbackServer.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>

namespace talvero {

namespace loopback {

namespace {

int ListenOnLoopback(int& port)
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return -1;
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(fd, 16) != 0) {
        close(fd);
        return -1;
    }
    socklen_t len = sizeof addr;
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    port = ntohs(addr.sin_port);
    return fd;
}

bool CanConnect(int port)
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(port));
    bool ok = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    close(fd);
    return ok;
}

}  // namespace

// --- HttpServer -------------------------------------------------------------------------------

HttpServer::HttpServer() : server(std::make_unique<httplib::Server>())
{
    auto serve = [this](const httplib::Request& req, httplib::Response& res) {
        RecordedRequest r;
        r.method = req.method;
        r.path = req.path;
        r.target = req.target;
        r.body = req.body;
        for (const auto& [k, v] : req.headers)
            r.headers.emplace(k, v);
        // The body's form fields, decoded as any server would.
        if (req.method == "POST") {
            httplib::Params params;
            httplib::detail::parse_query_text(req.body, params);
            for (const auto& [k, v] : params)
                r.form.emplace(k, v);
        }
        for (const auto& [k, v] : req.params)
            if (req.method != "POST") r.form.emplace(k, v);
        Handler h;
        {
            std::lock_guard<std::mutex> lock(mutex);
            requests.push_back(r);
            h = handler;
        }
        Reply reply = h ? h(r) : Reply{};
        std::unique_lock<std::mutex> lock(mutex);
        if (reply.hang) {
            release.wait(lock, [this] { return stopping; });
            res.status = 500;
            return;
        }
        if (reply.delayMs > 0)
            release.wait_for(lock, std::chrono::milliseconds(reply.delayMs),
                             [this] { return stopping; });
        lock.unlock();
        res.status = reply.status;
        if (!reply.location.empty()) res.set_header("Location", reply.location);
        if (reply.cut || reply.stallAfterMs > 0) {
            auto body = std::make_shared<std::string>(reply.body);
            bool cut = reply.cut;
            int stall = reply.stallAfterMs;
            res.set_content_provider(
                body->size(), reply.contentType,
                [this, body, cut, stall](size_t offset, size_t, httplib::DataSink& sink) {
                    size_t half = body->size() / 2;
                    if (offset < half) {
                        sink.write(body->data(), half);
                        return true;
                    }
                    if (cut) return false;
                    {
                        std::unique_lock<std::mutex> l(mutex);
                        release.wait_for(l, std::chrono::milliseconds(stall),
                                         [this] { return stopping; });
                    }
                    sink.write(body->data() + half, body->size() - half);
                    return true;
                });
        } else {
            res.set_content(reply.body, reply.contentType.c_str());
        }
    };
    server->Get(".*", serve);
    server->Post(".*", serve);
    port = server->bind_to_any_port("127.0.0.1");
    thread = std::thread([this] { server->listen_after_bind(); });
    // stop() before the server runs would leave join() waiting forever.
    while (!server->is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

HttpServer::~HttpServer()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    release.notify_all();
    server->stop();
    thread.join();
}

std::string HttpServer::BaseAddress() const
{
    return "http://127.0.0.1:" + std::to_string(port);
}

void HttpServer::SetHandler(Handler h)
{
    std::lock_guard<std::mutex> lock(mutex);
    handler = std::move(h);
}

void HttpServer::SetReply(Reply reply)
{
    SetHandler([reply](const RecordedRequest&) { return reply; });
}

std::vector<RecordedRequest> HttpServer::Requests() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return requests;
}

// --- RawServer --------------------------------------------------------------------------------

RawServer::RawServer(std::string bytes, bool holdOpen) : bytes(std::move(bytes)), holdOpen(holdOpen)
{
    listenFd = ListenOnLoopback(port);
    thread = std::thread([this] {
        std::vector<int> open;
        while (!stopping) {
            pollfd p{listenFd, POLLIN, 0};
            if (poll(&p, 1, 20) <= 0) continue;
            int fd = accept(listenFd, nullptr, nullptr);
            if (fd < 0) continue;
            if (!this->bytes.empty()) (void)!write(fd, this->bytes.data(), this->bytes.size());
            if (this->holdOpen) {
                open.push_back(fd);
            } else {
                shutdown(fd, SHUT_WR);
                close(fd);
            }
        }
        for (int fd : open)
            close(fd);
    });
}

RawServer::~RawServer()
{
    stopping = true;
    thread.join();
    if (listenFd >= 0) close(listenFd);
}

std::string RawServer::BaseAddress() const
{
    return "http://127.0.0.1:" + std::to_string(port);
}

// --- Tinyproxy --------------------------------------------------------------------------------

bool TinyproxyInstalled()
{
    return access("/usr/bin/tinyproxy", X_OK) == 0;
}

int FreePort()
{
    int port = 0;
    int fd = ListenOnLoopback(port);
    if (fd >= 0) close(fd);
    return port;
}

Tinyproxy::Tinyproxy()
{
    if (!TinyproxyInstalled()) {
        problem =
            "tinyproxy is not installed (/usr/bin/tinyproxy); scripts/install-deps.sh adds it";
        return;
    }
    char tmpl[] = "/tmp/talvero-tinyproxy-XXXXXX";
    if (!mkdtemp(tmpl)) {
        problem = "cannot make a temporary directory";
        return;
    }
    dir = tmpl;
    port = FreePort();
    std::string conf = dir + "/tinyproxy.conf";
    {
        std::ofstream out(conf);
        out << "Port " << port << "\n"
            << "Listen 127.0.0.1\n"
            << "Timeout 30\n"
            << "MaxClients 20\n"
            << "Allow 127.0.0.1\n"
            << "LogLevel Info\n"
            << "LogFile \"" << dir << "/tinyproxy.log\"\n";
    }
    pid_t child = fork();
    if (child == 0) {
        execl("/usr/bin/tinyproxy", "tinyproxy", "-d", "-c", conf.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    if (child < 0) {
        problem = "cannot start tinyproxy";
        return;
    }
    pid = child;
    for (int i = 0; i < 500; ++i) {
        if (CanConnect(port)) return;
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            pid = -1;
            problem = "tinyproxy exited at start (see " + dir + "/tinyproxy.log)";
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    problem = "tinyproxy did not listen on port " + std::to_string(port) + " within 5 s";
}

Tinyproxy::~Tinyproxy()
{
    if (pid > 0) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
    if (!dir.empty()) {
        std::remove((dir + "/tinyproxy.conf").c_str());
        std::remove((dir + "/tinyproxy.log").c_str());
        rmdir(dir.c_str());
    }
}

// --- Pages ------------------------------------------------------------------------------------

std::string GooglePage(const std::string& translation)
{
    return "<html><head><title>Translate</title></head><body>\n<form action=\"/translate_t\">"
           "<textarea name=text></textarea></form>\n<div id=result_box dir=\"ltr\">" +
           translation + "</div>\n<div id=footer>(c)</div></body></html>\n";
}

std::string BabelfishPage(const std::string& translation)
{
    return "<html><body><h1>Translation</h1>\n<div id=\"result\"><div "
           "style=\"padding:0.6em;\">" +
           translation + "</div></div>\n<div>more</div></body></html>\n";
}

std::string FreeTranslationPage(const std::string& translation)
{
    return "<html><body><form>\n<textarea name=\"srctext\" cols=\"40\" rows=\"6\">x</textarea>\n"
           "<textarea name=\"dsttext\" cols=\"40\" rows=\"6\">" +
           translation + "</textarea></form></body></html>\n";
}

std::string Field(const std::multimap<std::string, std::string>& fields, const std::string& name)
{
    auto it = fields.find(name);
    return it == fields.end() ? std::string() : it->second;
}

}  // namespace loopback

}  // namespace talvero
