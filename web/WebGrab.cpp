#include "web/WebGrab.h"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace talvero {

namespace {

constexpr long kReadStep = 4095;
constexpr size_t kMaxStatus = 511;
constexpr size_t kMaxErrorText = 255;

// One GET in progress: what the curl callbacks need.
struct Transfer {
    CWebGrabSession* session = nullptr;
    std::string* body = nullptr;
    std::string* rawHeaders = nullptr;
    std::string resolvingHost;
    size_t maxBody = 0;
    bool overCap = false;
    bool headersIn = false;
    StallWatch* watch = nullptr;
    // When the reading began: the end of the (last) reply's headers, so that the time spent
    // connecting and waiting for the server does not count into the read rate.
    std::chrono::steady_clock::time_point start;
};

void Notify(CWebGrabSession* session, unsigned long status, const std::string& info = {})
{
    session->OnStatusCallback(1, status, info.c_str(), static_cast<unsigned long>(info.size() + 1));
}

std::string HostOf(const std::string& url)
{
    std::string host;
    CURLU* u = curl_url();
    if (curl_url_set(u, CURLUPART_URL, url.c_str(), CURLU_DEFAULT_SCHEME) == CURLUE_OK) {
        char* h = nullptr;
        if (curl_url_get(u, CURLUPART_HOST, &h, 0) == CURLUE_OK && h) host = h;
        curl_free(h);
    }
    curl_url_cleanup(u);
    return host;
}

int OnResolverStart(void*, void*, void* clientp)
{
    auto* t = static_cast<Transfer*>(clientp);
    Notify(t->session, kStatusResolvingName, t->resolvingHost);
    return 0;
}

curl_socket_t OnOpenSocket(void* clientp, curlsocktype, curl_sockaddr* address)
{
    auto* t = static_cast<Transfer*>(clientp);
    char text[INET6_ADDRSTRLEN] = "";
    if (address->family == AF_INET) {
        auto* in = reinterpret_cast<sockaddr_in*>(&address->addr);
        inet_ntop(AF_INET, &in->sin_addr, text, sizeof text);
    } else if (address->family == AF_INET6) {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&address->addr);
        inet_ntop(AF_INET6, &in6->sin6_addr, text, sizeof text);
    }
    Notify(t->session, kStatusNameResolved, text);
    Notify(t->session, kStatusConnectingToServer);
    return socket(address->family, address->socktype, address->protocol);
}

int OnPrereq(void* clientp, char*, char*, int, int)
{
    auto* t = static_cast<Transfer*>(clientp);
    Notify(t->session, kStatusConnectedToServer);
    Notify(t->session, kStatusSendingRequest);
    return CURL_PREREQFUNC_OK;
}

int OnDebug(CURL*, curl_infotype type, char* data, size_t size, void* clientp)
{
    auto* t = static_cast<Transfer*>(clientp);
    if (type == CURLINFO_HEADER_OUT) {
        Notify(t->session, kStatusRequestSent);
    } else if (type == CURLINFO_HEADER_IN && !t->headersIn) {
        t->headersIn = true;
        Notify(t->session, kStatusReceivingResponse);
        Notify(t->session, kStatusResponseReceived);
    } else if (type == CURLINFO_TEXT) {
        std::string_view text(data, size);
        if (text.starts_with("Closing connection")) {
            Notify(t->session, kStatusClosingConnection);
            Notify(t->session, kStatusConnectionClosed);
        }
    }
    return 0;
}

size_t OnHeader(char* data, size_t size, size_t count, void* clientp)
{
    auto* t = static_cast<Transfer*>(clientp);
    size_t n = size * count;
    std::string line(data, n);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    if (line.starts_with("HTTP/")) t->rawHeaders->clear();  // a later reply (after 100, proxy)
    if (!line.empty()) {
        *t->rawHeaders += line;
        *t->rawHeaders += '\0';
    } else {
        t->start = std::chrono::steady_clock::now();
    }
    return n;
}

int OnProgress(void* clientp, curl_off_t, curl_off_t dlNow, curl_off_t, curl_off_t ulNow)
{
    auto* t = static_cast<Transfer*>(clientp);
    return t->watch->Moved(dlNow, ulNow) ? 0 : 1;
}

size_t OnBody(char* data, size_t size, size_t count, void* clientp)
{
    auto* t = static_cast<Transfer*>(clientp);
    size_t n = size * count;
    if (t->body->size() + n > t->maxBody) {
        t->overCap = true;
        return 0;
    }
    t->body->append(data, n);
    using namespace std::chrono;
    double elapsed = duration<double>(steady_clock::now() - t->start).count();
    long seconds = std::lround(elapsed);
    int total = static_cast<int>(t->body->size());
    if (seconds > 0) {
        double rate = (t->body->size() / 1024.0) / static_cast<double>(seconds);
        t->session->SetStatus("Read %d bytes (%0.1f Kb/s)", total, rate);
    } else {
        t->session->SetStatus("Read %d bytes", total);
    }
    return n;
}

std::string Clip(std::string text, size_t max)
{
    if (text.size() > max) text.resize(max);
    return text;
}

}  // namespace

// --- CWebGrabSession --------------------------------------------------------------------------

CWebGrabSession::CWebGrabSession(const std::string& agent, CStatusWindow* statusWindow)
    : agent(agent), statusWindow(statusWindow)
{
    EnsureHttpLibrary();
    easy = curl_easy_init();
    multi = curl_multi_init();
}

CWebGrabSession::~CWebGrabSession()
{
    // The handles go first: closing a connection still reports through this object.
    if (multi) curl_multi_cleanup(static_cast<CURLM*>(multi));
    if (easy) curl_easy_cleanup(static_cast<CURL*>(easy));
}

void CWebGrabSession::SetStatus(const char* format, ...)
{
    char text[kMaxStatus + 1];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    statusText = text;
    if (statusWindow) statusWindow->SetStatusText(statusText);
}

void CWebGrabSession::OnStatusCallback(unsigned long, unsigned long status, const void* info,
                                       unsigned long infoLength)
{
    const char* infoText = info ? static_cast<const char*>(info) : "";
    switch (status) {
        case kStatusResolvingName:
            SetStatus("Resolving name for %s", infoText);
            break;
        case kStatusNameResolved:
            SetStatus("Resolved name for %s", infoText);
            break;
        case kStatusConnectingToServer:
            SetStatus("Connecting to socket address ");
            break;
        case kStatusConnectedToServer:
            SetStatus("Connected to socket address");
            break;
        case kStatusSendingRequest:
            SetStatus("Sending request...");
            break;
        case kStatusRequestSent:
            SetStatus("Request sent");
            break;
        case kStatusReceivingResponse:
            break;
        case kStatusResponseReceived:
            SetStatus("Response received");
            break;
        case kStatusClosingConnection:
            SetStatus("Closing the connection to the server");
            break;
        case kStatusConnectionClosed:
            SetStatus("Connection to the server closed");
            break;
        case kStatusHandleCreated:
            SetStatus("%s", "");
            break;
        case kStatusHandleClosing:
            break;
        case kStatusRequestComplete:
            if (info && infoLength == sizeof(WebGrabAsyncResult)) {
                WebGrabAsyncResult r;
                std::memcpy(&r, info, sizeof r);
                SetStatus("Request complete, dwResult = %8.8X, dwError = %8.8X", r.result, r.error);
            } else {
                SetStatus("Request complete");
            }
            break;
        default:
            SetStatus("Unknown status: %d", static_cast<int>(status));
            break;
    }
}

// --- CWebGrab ---------------------------------------------------------------------------------

CWebGrab::CWebGrab() = default;

CWebGrab::~CWebGrab()
{
    Close();
}

void CWebGrab::SetProxy(const std::string& server, unsigned short port, bool use)
{
    proxyServer = server;
    proxyPort = port;
    useProxy = use;
}

bool CWebGrab::Initialise(const std::string& agent, CStatusWindow* statusWindow)
{
    Close();
    statusCode = 0;
    session = std::make_unique<CWebGrabSession>(agent, statusWindow);
    if (!session->EasyHandle() || !session->MultiHandle()) {
        session.reset();
        return false;
    }
    if (useProxy) session->SetProxy(proxyServer + ":" + std::to_string(proxyPort));
    return true;
}

void CWebGrab::Close()
{
    session.reset();
}

bool CWebGrab::GetFile(const std::string& url, std::string& body, const std::string& agent,
                       CStatusWindow* statusWindow)
{
    rawHeaders.clear();
    statusCode = 0;
    body.clear();
    if (!session && !Initialise(agent, statusWindow)) return false;
    if (statusWindow) session->SetStatusWindow(statusWindow);
    CWebGrabSession* s = session.get();

    Transfer t;
    t.session = s;
    t.body = &body;
    std::string headers;
    t.rawHeaders = &headers;
    t.maxBody = limits.maxBodyBytes;
    t.resolvingHost = s->GetProxy().empty() ? HostOf(url) : HostOf("http://" + s->GetProxy());
    char errorBuffer[CURL_ERROR_SIZE] = "";

    CURL* h = static_cast<CURL*>(s->EasyHandle());
    CURLM* m = static_cast<CURLM*>(s->MultiHandle());
    curl_easy_reset(h);
    curl_slist* extra = nullptr;
    if (reload) {
        extra = curl_slist_append(extra, "Cache-Control: no-cache");
        extra = curl_slist_append(extra, "Pragma: no-cache");
    }
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    // Moved pages are followed, as a browser would, but never off the web.
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    if (!s->GetProxy().empty()) curl_easy_setopt(h, CURLOPT_PROXY, s->GetProxy().c_str());
    if (!s->GetAgent().empty()) curl_easy_setopt(h, CURLOPT_USERAGENT, s->GetAgent().c_str());
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, extra);
    curl_easy_setopt(h, CURLOPT_BUFFERSIZE, kReadStep);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, limits.connectTimeoutMs);
    ApplyCaFile(h, url, limits);
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, limits.totalTimeoutMs);
    StallWatch watch(limits.stallTimeoutMs, limits.cancel);
    t.watch = &watch;
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &OnProgress);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, &t);
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &OnBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &OnHeader);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(h, CURLOPT_RESOLVER_START_FUNCTION, &OnResolverStart);
    curl_easy_setopt(h, CURLOPT_RESOLVER_START_DATA, &t);
    curl_easy_setopt(h, CURLOPT_OPENSOCKETFUNCTION, &OnOpenSocket);
    curl_easy_setopt(h, CURLOPT_OPENSOCKETDATA, &t);
    curl_easy_setopt(h, CURLOPT_PREREQFUNCTION, &OnPrereq);
    curl_easy_setopt(h, CURLOPT_PREREQDATA, &t);
    curl_easy_setopt(h, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(h, CURLOPT_DEBUGFUNCTION, &OnDebug);
    curl_easy_setopt(h, CURLOPT_DEBUGDATA, &t);

    Notify(s, kStatusHandleCreated);
    t.start = std::chrono::steady_clock::now();
    CURLcode rc = CURLE_OK;
    bool cancelled = false;
    if (curl_multi_add_handle(m, h) != CURLM_OK) {
        rc = CURLE_FAILED_INIT;
    } else {
        int running = 1;
        while (running) {
            if (curl_multi_perform(m, &running) != CURLM_OK) break;
            if (!running) break;
            if (eventPump) eventPump();
            if (cancelCheck && cancelCheck()) {
                cancelled = true;
                break;
            }
            curl_multi_poll(m, nullptr, 0, eventPump || cancelCheck ? 20 : 200, nullptr);
        }
        int left = 0;
        rc = cancelled ? CURLE_ABORTED_BY_CALLBACK : CURLE_FAILED_INIT;
        while (CURLMsg* msg = curl_multi_info_read(m, &left))
            if (msg->msg == CURLMSG_DONE && msg->easy_handle == h) rc = msg->data.result;
        curl_multi_remove_handle(m, h);
    }
    // The handle keeps pointers to this frame's data; it is reset before the next use, but
    // closing a kept connection later reports through the debug callback, so detach it now.
    long code = 0;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &code);
    curl_easy_setopt(h, CURLOPT_DEBUGFUNCTION, nullptr);
    curl_easy_setopt(h, CURLOPT_VERBOSE, 0L);
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, nullptr);
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, nullptr);
    curl_slist_free_all(extra);

    if (rc != CURLE_OK) {
        std::string message;
        if (cancelled)
            message = "Cancelled";
        else if (t.overCap)
            message = "Reply larger than the allowed size";
        else if (watch.Stalled())
            message = "Timed out waiting for the server";
        else
            message = errorBuffer[0] ? errorBuffer : curl_easy_strerror(rc);
        message = Clip(message, kMaxErrorText);
        if (t.headersIn) lastErrorText = message;  // the page opened but could not be read
        s->SetStatus("%s", message.c_str());
        body.clear();
        return false;
    }
    statusCode = static_cast<unsigned long>(code);
    rawHeaders = std::move(headers);
    s->SetStatus("%s", "");
    return true;
}

}  // namespace talvero
