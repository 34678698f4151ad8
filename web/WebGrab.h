#pragma once
// GET client with proxy, reload, progress texts for a status window, status code and raw header
// lines. While a GET reads, the caller's event pump keeps its window responsive.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "web/HttpCommon.h"

namespace talvero {

// Where progress texts go: the window makes each one its caption and redraws at once. GETs run
// on the update-check worker thread too, so an implementation must be callable from any thread.
class CStatusWindow {
public:
    virtual ~CStatusWindow() = default;
    virtual void SetStatusText(const std::string& text) = 0;
};

// Handles whatever events wait on the calling thread (and returns when none is left). Called
// repeatedly while a GET reads; it may run any command of the window.
using EventPump = std::function<void()>;

// Progress notifications of a session, numbered as the status texts are keyed.
enum WebGrabStatusCode : unsigned long {
    kStatusResolvingName = 10,
    kStatusNameResolved = 11,
    kStatusConnectingToServer = 20,
    kStatusConnectedToServer = 21,
    kStatusSendingRequest = 30,
    kStatusRequestSent = 31,
    kStatusReceivingResponse = 40,
    kStatusResponseReceived = 41,
    kStatusClosingConnection = 50,
    kStatusConnectionClosed = 51,
    kStatusHandleCreated = 60,
    kStatusHandleClosing = 70,
    kStatusRequestComplete = 100,
};

// The asynchronous result that comes with kStatusRequestComplete (information length 8).
struct WebGrabAsyncResult {
    std::uint32_t result;
    std::uint32_t error;
};

class CWebGrabSession {
public:
    CWebGrabSession(const std::string& agent, CStatusWindow* statusWindow);
    ~CWebGrabSession();
    CWebGrabSession(const CWebGrabSession&) = delete;
    CWebGrabSession& operator=(const CWebGrabSession&) = delete;

    // Formats the text (kept under 512 bytes), keeps it as the status text and hands it to the
    // status window, if there is one.
    void SetStatus(const char* format, ...) __attribute__((format(printf, 2, 3)));
    const std::string& GetStatusText() const { return statusText; }

    // Turns a progress notification into its status text. `info` is the notification's
    // information: a NUL-terminated text for the name notifications, a WebGrabAsyncResult for
    // kStatusRequestComplete when infoLength is 8.
    void OnStatusCallback(unsigned long context, unsigned long status, const void* info,
                          unsigned long infoLength);

    void SetStatusWindow(CStatusWindow* window) { statusWindow = window; }
    CStatusWindow* GetStatusWindow() const { return statusWindow; }
    const std::string& GetAgent() const { return agent; }

    // "host:port" of the proxy, or empty for the system's settings (the environment's proxy
    // variables).
    void SetProxy(const std::string& proxy) { this->proxy = proxy; }
    const std::string& GetProxy() const { return proxy; }

    // The connection state that one session keeps between its GETs.
    void* EasyHandle() const { return easy; }
    void* MultiHandle() const { return multi; }

private:
    std::string agent;
    CStatusWindow* statusWindow = nullptr;
    std::string statusText;
    std::string proxy;
    void* easy = nullptr;
    void* multi = nullptr;
};

class CWebGrab {
public:
    CWebGrab();
    ~CWebGrab();
    CWebGrab(const CWebGrab&) = delete;
    CWebGrab& operator=(const CWebGrab&) = delete;

    // Takes effect at the next Initialise (or the first GetFile).
    void SetProxy(const std::string& server, unsigned short port, bool use);
    // Fresh copy from the server (no-cache) rather than a cached one.
    void SetReload(bool reload) { this->reload = reload; }
    void SetEventPump(EventPump pump) { eventPump = std::move(pump); }
    // Asked every few milliseconds while a GET runs (on the GET's thread); once it answers true
    // the GET stops and fails with "Cancelled". A window that ends, or a worker told to quit,
    // must not wait for a server that never answers.
    void SetCancelCheck(std::function<bool()> check) { cancelCheck = std::move(check); }
    void SetLimits(const HttpLimits& limits) { this->limits = limits; }

    bool Initialise(const std::string& agent, CStatusWindow* statusWindow = nullptr);

    // GET of `url` into `body`. True when the page was read to its end, also for an error
    // status (see GetStatusCode). False when no session could be made, the URL could not be
    // opened (the reason is the status text), or reading failed (the reason is also the last
    // error text): refused, timed out, cut, or longer than the body cap.
    bool GetFile(const std::string& url, std::string& body, const std::string& agent = {},
                 CStatusWindow* statusWindow = nullptr);

    void Close();

    unsigned long GetStatusCode() const { return statusCode; }
    // Raw header lines of the last completed GET, the status line first, each ended by a NUL.
    const std::string& GetRawHeaders() const { return rawHeaders; }
    const std::string& GetErrorMessage() const { return lastErrorText; }
    CWebGrabSession* GetSession() const { return session.get(); }

private:
    std::unique_ptr<CWebGrabSession> session;
    bool reload = false;
    bool useProxy = false;
    unsigned short proxyPort = 0;
    unsigned long statusCode = 0;
    std::string lastErrorText;
    std::string proxyServer;
    std::string rawHeaders;
    EventPump eventPump;
    std::function<bool()> cancelCheck;
    HttpLimits limits;
};

}  // namespace talvero
