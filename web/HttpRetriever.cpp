#include "web/HttpRetriever.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace talvero {

namespace {

constexpr size_t kReadStep = 8191;

CURL* Handle(void* p)
{
    return static_cast<CURL*>(p);
}

}  // namespace

CHttpRetriever::CHttpRetriever()
{
    EnsureHttpLibrary();
    session = curl_easy_init();
}

CHttpRetriever::~CHttpRetriever()
{
    if (session) curl_easy_cleanup(Handle(session));
}

size_t CHttpRetriever::OnBody(char* data, size_t size, size_t count, void* self)
{
    auto* me = static_cast<CHttpRetriever*>(self);
    size_t n = size * count;
    if (me->received.size() + n > me->limits.maxBodyBytes) return 0;  // fails the transfer
    me->received.append(data, n);
    return n;
}

int CHttpRetriever::OnProgress(void* watch, long long dlTotal, long long dlNow, long long ulTotal,
                               long long ulNow)
{
    (void)dlTotal;
    (void)ulTotal;
    return static_cast<StallWatch*>(watch)->Moved(dlNow, ulNow) ? 0 : 1;
}

size_t CHttpRetriever::OnHeader(char* data, size_t size, size_t count, void* self)
{
    auto* me = static_cast<CHttpRetriever*>(self);
    size_t n = size * count;
    std::string line(data, n);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    // A new status line (after "100 Continue" or a redirect) starts the reply's headers anew.
    if (line.size() >= 5 && line.compare(0, 5, "HTTP/") == 0) me->rawHeaders.clear();
    if (!line.empty()) {
        me->rawHeaders += line;
        me->rawHeaders += '\0';
    }
    return n;
}

bool CHttpRetriever::Post(const char* url, const char* bodyBytes, long bodyLength)
{
    received.clear();
    rawHeaders.clear();
    if (!url) {
        lastError = -1;
        return false;
    }
    if (!session) {
        lastError = CURLE_FAILED_INIT;
        return false;
    }
    if (!bodyBytes) bodyBytes = "";
    if (bodyLength < 0) bodyLength = static_cast<long>(std::strlen(bodyBytes));

    CURL* h = Handle(session);
    curl_easy_reset(h);
    curl_slist* headers = nullptr;
    headers = curl_slist_append(headers, "Content-Type: application/x-www-form-urlencoded");
    // Without this curl would add "Expect: 100-continue" to bigger bodies: the form gets one
    // header of its own and nothing else.
    headers = curl_slist_append(headers, "Expect:");
    curl_easy_setopt(h, CURLOPT_URL, url);
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    // A moved form is followed (a 301/302/303 turns the POST into a GET, as in browsers), but
    // never off the web.
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_PROXY, "");  // always direct, whatever the environment says
    curl_easy_setopt(h, CURLOPT_USERAGENT, agent.c_str());
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(h, CURLOPT_POST, 1L);
    curl_easy_setopt(h, CURLOPT_POSTFIELDS, bodyBytes);
    curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE, bodyLength);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, limits.connectTimeoutMs);
    ApplyCaFile(h, url, limits);
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, limits.totalTimeoutMs);
    StallWatch watch(limits.stallTimeoutMs, limits.cancel);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &CHttpRetriever::OnProgress);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, &watch);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &CHttpRetriever::OnBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &CHttpRetriever::OnHeader);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, this);
    CURLcode rc = curl_easy_perform(h);
    curl_slist_free_all(headers);
    if (rc != CURLE_OK) {
        // Headers may have come before the failure (a cut or stalled body): they belong to no
        // complete reply, so the status code is 0, "no response", not the 200 they announced.
        lastError = rc;
        received.clear();
        rawHeaders.clear();
        return false;
    }
    lastError = 0;
    rawHeaders += '\0';  // the empty line that ends the header block
    return true;
}

const char* CHttpRetriever::ReadAll(const char* url, const char* bodyBytes, long bodyLength)
{
    body.clear();
    if (!url) {
        lastError = -1;
        return nullptr;
    }
    if (!Post(url, bodyBytes, bodyLength)) return nullptr;
    // The body is assembled step by step as C strings, so a NUL ends its step's piece.
    for (size_t at = 0; at < received.size(); at += kReadStep) {
        size_t n = std::min(kReadStep, received.size() - at);
        const char* piece = received.data() + at;
        body.append(piece, strnlen(piece, n));
    }
    received.clear();
    return body.c_str();
}

int CHttpRetriever::StatusCodeFromRawHeaders(const std::string& raw)
{
    size_t at = 0;
    while (at < raw.size()) {
        size_t end = raw.find('\0', at);
        if (end == std::string::npos) end = raw.size();
        std::string line = raw.substr(at, end - at);
        at = end + 1;
        std::string low = line;
        for (char& c : low)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (low.find("http") == std::string::npos) continue;
        if (line.size() < 3) return 0;
        for (size_t i = 0; i + 2 < line.size(); ++i) {
            auto d = [&](size_t k) { return std::isdigit(static_cast<unsigned char>(line[k])); };
            if (d(i) && d(i + 1) && d(i + 2))
                return (line[i] - '0') * 100 + (line[i + 1] - '0') * 10 + (line[i + 2] - '0');
        }
        return 0;
    }
    return 0;
}

int CHttpRetriever::GetStatusCode() const
{
    return StatusCodeFromRawHeaders(rawHeaders);
}

}  // namespace talvero
