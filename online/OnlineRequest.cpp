#include "online/OnlineRequest.h"

#include "res/Templates.h"

namespace talvero {

std::string HostOfAddress(std::string_view address)
{
    if (size_t scheme = address.find("://"); scheme != std::string_view::npos)
        address.remove_prefix(scheme + 3);
    if (address.starts_with('[')) {  // an IPv6 literal keeps its brackets
        size_t close = address.find(']');
        return std::string(
            address.substr(0, close == std::string_view::npos ? address.size() : close + 1));
    }
    return std::string(address.substr(0, address.find_first_of(":/")));
}

std::string UsualTitle(const Services& services)
{
    return std::string(res::kAppName) + " (" + HostOfAddress(services.updateSiteAddress) + ")";
}

HttpLimits OnlineLimits()
{
    HttpLimits limits;
    limits.connectTimeoutMs = 15000;
    limits.stallTimeoutMs = 20000;
    limits.totalTimeoutMs = 60000;
    limits.maxBodyBytes = std::size_t{1} << 20;
    return limits;
}

OnlineReply OnlineGet(const Services& services, const std::string& url, const std::string& agent,
                      const OnlineHooks& hooks)
{
    OnlineReply reply;
    CWebGrab grab;
    if (services.useProxy) grab.SetProxy(services.proxyServer, services.proxyPort, true);
    grab.SetReload(true);
    HttpLimits limits = hooks.limits;
    if (limits.caFile.empty()) limits.caFile = services.caFile;
    grab.SetLimits(limits);
    if (hooks.cancelled) grab.SetCancelCheck(hooks.cancelled);
    reply.read = grab.GetFile(url, reply.body, agent, hooks.caption);
    reply.status = grab.GetStatusCode();
    if (!reply.read) {
        // GetFile leaves its reason as the last status text (no address in it: the query holds
        // the password).
        reply.error = grab.GetSession() ? grab.GetSession()->GetStatusText() : std::string();
        if (reply.error.empty()) reply.error = "The request could not be made";
    }
    return reply;
}

}  // namespace talvero
