#include "web/HttpCommon.h"

#include <curl/curl.h>

#include <chrono>
#include <mutex>
#include <utility>

namespace talvero {

void EnsureHttpLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

void ApplyCaFile(void* curlHandle, const std::string& url, const HttpLimits& limits)
{
    if (limits.caFile.empty() || url.compare(0, 8, "https://") != 0) return;
    curl_easy_setopt(static_cast<CURL*>(curlHandle), CURLOPT_CAINFO, limits.caFile.c_str());
}

std::string PercentEncode(std::string_view value)
{
    if (value.empty()) return {};
    EnsureHttpLibrary();
    // A null handle is allowed here; curl encodes every byte outside a-zA-Z0-9-._~.
    char* escaped = curl_easy_escape(nullptr, value.data(), static_cast<int>(value.size()));
    if (!escaped) return {};
    std::string out(escaped);
    curl_free(escaped);
    return out;
}

namespace {

long long NowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

StallWatch::StallWatch(long limitMs, std::shared_ptr<const std::atomic<bool>> cancel)
    : limitMs(limitMs), cancel(std::move(cancel)), lastChangeMs(NowMs())
{
}

bool StallWatch::Moved(long long downloaded, long long uploaded)
{
    if (cancel && cancel->load()) return false;
    long long total = downloaded + uploaded;
    long long now = NowMs();
    if (total != lastTotal) {
        lastTotal = total;
        lastChangeMs = now;
        return true;
    }
    if (now - lastChangeMs > limitMs) stalled = true;
    return !stalled;
}

std::string TransferFailureReason(long code)
{
    switch (code) {
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
            return "certificate";
        case CURLE_SSL_CONNECT_ERROR:
            return "TLS handshake";
        case CURLE_OPERATION_TIMEDOUT:
        case CURLE_ABORTED_BY_CALLBACK:  // the stall watch gave up on it
            return "time-out";
        case CURLE_COULDNT_RESOLVE_HOST:
            return "unknown host";
        case CURLE_COULDNT_CONNECT:
            return "connection refused";
        case CURLE_WRITE_ERROR:  // the body cap stopped it
            return "reply too large";
        case CURLE_PARTIAL_FILE:
        case CURLE_RECV_ERROR:
        case CURLE_SEND_ERROR:
        case CURLE_GOT_NOTHING:
            return "connection cut";
        case CURLE_TOO_MANY_REDIRECTS:
            return "too many redirects";
        case CURLE_UNSUPPORTED_PROTOCOL:
        case CURLE_URL_MALFORMAT:
            return "bad address";
        default:
            return "network error " + std::to_string(code);
    }
}

}  // namespace talvero
