#pragma once
// What the upload and the update check share: the program's usual title, and one GET made the
// way both make it (reload, the services' proxy, progress texts for the caption, limits).
#include <functional>
#include <string>
#include <string_view>

#include "settings/Services.h"
#include "web/HttpCommon.h"
#include "web/WebGrab.h"

namespace talvero {

// "Talvero (host)": the product name with the host of the update site's address.
std::string UsualTitle(const Services& services);

// The host part of a base address ("http://www.example.org:8080" gives "www.example.org").
std::string HostOfAddress(std::string_view address);

// Both requests fetch a short text page: a reply that does not fit in a megabyte, or a server
// that keeps the caller waiting for a minute, is a failed request.
HttpLimits OnlineLimits();

struct OnlineHooks {
    CStatusWindow* caption = nullptr;  // gets every progress text (the window's caption)
    std::function<bool()> cancelled;   // answers true once the GET must stop (window ended)
    HttpLimits limits = OnlineLimits();
};

struct OnlineReply {
    bool read = false;  // the reply was read to its end (whatever its status)
    unsigned long status = 0;
    std::string body;
    std::string error;  // why it was not read
};

// One GET of `url` with `agent`: reload on, the proxy of `services` when its use flag is on.
OnlineReply OnlineGet(const Services& services, const std::string& url, const std::string& agent,
                      const OnlineHooks& hooks);

}  // namespace talvero
