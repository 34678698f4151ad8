#include "web/HttpCommon.h"

#include <curl/curl.h>

#include <chrono>
#include <mutex>

void EnsureHttpLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
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

StallWatch::StallWatch(long limitMs) : limitMs(limitMs), lastChangeMs(NowMs()) {}

bool StallWatch::Moved(long long downloaded, long long uploaded)
{
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
