#pragma once
// Form POST client: one request at a time, response body returned as one NUL-terminated buffer.
// It always connects directly (no proxy). TLS follows the URL's scheme and verifies the peer.
#include <string>

#include "web/HttpCommon.h"

namespace talvero {

inline constexpr const char* kHttpRetrieverAgent = "Brindle Software HTTP Retriever 1.0";

class CHttpRetriever {
public:
    CHttpRetriever();
    ~CHttpRetriever();
    CHttpRetriever(const CHttpRetriever&) = delete;
    CHttpRetriever& operator=(const CHttpRetriever&) = delete;

    // Sends one POST of `body` (bodyLength bytes; -1: up to its NUL) with the single header
    // "Content-Type: application/x-www-form-urlencoded" and receives the whole reply. False
    // when no complete reply came (connection refused, time-out, cut body, body over the cap);
    // the curl error code is then the last error.
    bool Post(const char* url, const char* body, long bodyLength = -1);

    // Post, then the reply body NUL-terminated (owned by this object, valid until the next
    // request), or nullptr. A NUL inside the body ends its 8191-byte read step: the bytes after
    // it up to the step's end are dropped. No URL: nullptr and last error -1.
    const char* ReadAll(const char* url, const char* body, long bodyLength = -1);

    // The three digits of the first raw header line that contains "http" in any case; 0 when
    // there is none.
    int GetStatusCode() const;

    // Raw header lines of the last reply, each ended by a NUL, then an empty line (one NUL).
    const std::string& GetRawHeaders() const { return rawHeaders; }
    long GetLastError() const { return lastError; }

    void SetLimits(const HttpLimits& limits) { this->limits = limits; }

    // For tests: the status code scan over arbitrary raw headers.
    static int StatusCodeFromRawHeaders(const std::string& rawHeaders);

private:
    void* session = nullptr;  // the curl easy handle; reused so connections stay open
    std::string received;     // the reply's bytes as they came
    std::string body;         // what ReadAll hands out
    std::string rawHeaders;
    long lastError = 0;
    std::string agent = kHttpRetrieverAgent;
    HttpLimits limits;

    static size_t OnBody(char* data, size_t size, size_t count, void* self);
    static int OnProgress(void* watch, long long dlTotal, long long dlNow, long long ulTotal,
                          long long ulNow);
    static size_t OnHeader(char* data, size_t size, size_t count, void* self);
};

}  // namespace talvero
