#include "web/HttpCommon.h"

#include <curl/curl.h>

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
