#include "online/UpdateCheck.h"

#include <cstdlib>
#include <cstring>

namespace talvero {

std::string UpdatePageUrl(const Services& services)
{
    return services.updateSiteAddress + kUpdatePagePath;
}

long VersionOnUpdatePage(std::string_view page, bool* markerFound)
{
    const size_t at = page.find(kUpdateMarker);
    if (markerFound) *markerFound = at != std::string_view::npos;
    if (at == std::string_view::npos) return 0;
    // One separator character is skipped, whatever it is.
    const size_t start = at + std::strlen(kUpdateMarker) + 1;
    const std::string text(start < page.size() ? page.substr(start, 6) : std::string_view());
    return std::strtol(text.c_str(), nullptr, 10);
}

std::string NewVersionMessage(const Services& services)
{
    return "There is available a new version of the program. Please, visit " +
           services.updateSiteAddress + " and download it.";
}

UpdateCheckResult CheckForUpdate(const Services& services, const OnlineHooks& hooks)
{
    UpdateCheckResult result;
    OnlineReply reply = OnlineGet(services, UpdatePageUrl(services), kUpdateAgent, hooks);
    result.read = reply.read;
    result.error = reply.error;
    // An error page (a 404 of a moved site, a proxy's notice) is not the update page, whatever
    // it happens to contain.
    if (reply.read && reply.status >= 200 && reply.status < 300) {
        result.version = VersionOnUpdatePage(reply.body, &result.markerFound);
        result.newer = result.version > kRunningVersion;
    }
    return result;
}

// --- CUpdateCheck -------------------------------------------------------------------------------

namespace {

class CaptionRelay : public CStatusWindow {
public:
    explicit CaptionRelay(std::function<void(const std::string&)> relay) : relay(std::move(relay))
    {
    }
    void SetStatusText(const std::string& text) override { relay(text); }

private:
    std::function<void(const std::string&)> relay;
};

}  // namespace

CUpdateCheck::~CUpdateCheck()
{
    Cancel();
}

void CUpdateCheck::Start(const Services& services, IUpdateCheckHost& host, HttpLimits limits)
{
    Cancel();
    cancelled = false;
    finished = false;
    worker = std::thread([this, services, &host, limits] { Run(services, host, limits); });
}

void CUpdateCheck::Cancel()
{
    {
        std::lock_guard<std::mutex> lock(hostMutex);
        cancelled = true;
    }
    if (worker.joinable()) worker.join();
}

UpdateCheckResult CUpdateCheck::Result() const
{
    std::lock_guard<std::mutex> lock(resultMutex);
    return result;
}

void CUpdateCheck::Report(IUpdateCheckHost& host, const std::string& caption)
{
    std::lock_guard<std::mutex> lock(hostMutex);
    if (!cancelled) host.SetCaption(caption);
}

void CUpdateCheck::Run(Services services, IUpdateCheckHost& host, HttpLimits limits)
{
    Report(host, kCheckingCaption);
    CaptionRelay relay([&](const std::string& text) { Report(host, text); });
    OnlineHooks hooks;
    hooks.caption = &relay;
    hooks.cancelled = [this] { return cancelled.load(); };
    hooks.limits = limits;
    UpdateCheckResult r = CheckForUpdate(services, hooks);
    {
        std::lock_guard<std::mutex> lock(resultMutex);
        result = r;
    }
    {
        std::lock_guard<std::mutex> lock(hostMutex);
        if (!cancelled) {
            if (r.newer) host.AnnounceNewVersion(NewVersionMessage(services));
            host.SetCaption(UsualTitle(services));
        }
    }
    finished = true;
}

}  // namespace talvero
