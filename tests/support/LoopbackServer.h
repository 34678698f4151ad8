#pragma once
// Test servers on 127.0.0.1: an HTTP server (cpp-httplib) that answers in each translation
// service's layout and records every request, a raw TCP server for replies that are not HTTP at
// all or never come, and Debian's tinyproxy started on a free port.
#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
class Server;
}

namespace talvero {

namespace loopback {

struct RecordedRequest {
    std::string method;
    std::string path;
    std::string target;  // the request line's target as sent (path and raw query)
    std::string body;    // as sent, still percent-encoded
    std::multimap<std::string, std::string> headers;
    std::multimap<std::string, std::string> form;  // decoded form fields of the body
};

struct Reply {
    int status = 200;
    std::string body;
    std::string contentType = "text/html";
    int delayMs = 0;         // wait before answering
    bool cut = false;        // announce the whole length, send half, close
    bool hang = false;       // never answer (until the server stops)
    int stallAfterMs = 0;    // send half, then stall this long before the rest
    std::string location{};  // a Location header (for redirects)
};

using Handler = std::function<Reply(const RecordedRequest&)>;

class HttpServer {
public:
    HttpServer();
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    int Port() const { return port; }
    std::string BaseAddress() const;  // "http://127.0.0.1:PORT"
    void SetHandler(Handler handler);
    void SetReply(Reply reply);  // the same reply to every request
    std::vector<RecordedRequest> Requests() const;

private:
    std::unique_ptr<httplib::Server> server;
    std::thread thread;
    int port = 0;
    mutable std::mutex mutex;
    Handler handler;
    std::vector<RecordedRequest> requests;
    std::condition_variable release;
    bool stopping = false;
};

// Accepts connections on 127.0.0.1 and, for each, writes `bytes` (if any) and then either
// closes or keeps the connection open without a word until the server stops.
class RawServer {
public:
    RawServer(std::string bytes, bool holdOpen);
    ~RawServer();
    int Port() const { return port; }
    std::string BaseAddress() const;

private:
    int listenFd = -1;
    int port = 0;
    std::string bytes;
    bool holdOpen;
    std::atomic<bool> stopping{false};
    std::thread thread;
};

// tinyproxy in the foreground on a free port with a private configuration; stopped by its pid.
class Tinyproxy {
public:
    Tinyproxy();
    ~Tinyproxy();
    bool Running() const { return pid > 0; }
    const std::string& Problem() const { return problem; }  // why it is not running
    int Port() const { return port; }

private:
    int pid = -1;
    int port = 0;
    std::string dir;
    std::string problem;
};

bool TinyproxyInstalled();

// A port that was free a moment ago.
int FreePort();

// The services' reply pages around a translation.
std::string GooglePage(const std::string& translation);
std::string BabelfishPage(const std::string& translation);
std::string FreeTranslationPage(const std::string& translation);

// First value of a field, or "" when it is missing.
std::string Field(const std::multimap<std::string, std::string>& fields, const std::string& name);

}  // namespace loopback

}  // namespace talvero
