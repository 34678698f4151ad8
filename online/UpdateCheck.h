#pragma once
// The update check: the maker's update page is fetched at start-up on a worker thread and a
// newer version is announced. The worker never touches a window: it reports through a host
// whose implementation hands every call over to the window's own thread.
#include <atomic>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "online/OnlineRequest.h"
#include "settings/Services.h"

namespace talvero {

inline constexpr const char* kUpdatePagePath = "/autoupdate.html";
inline constexpr const char* kUpdateAgent = "Download new version";
inline constexpr const char* kUpdateMarker = "Current Version Update";
inline constexpr const char* kCheckingCaption = "Checking for updates...";
inline constexpr long kRunningVersion = 100000;

std::string UpdatePageUrl(const Services& services);

// The version the page announces: the (up to) six characters that start one character after
// the first "Current Version Update" (exact letter case), read as a decimal number the way the
// C library does (leading blanks and a sign accepted, stops at the first non-digit, 0 without
// digits). 0 when the marker is missing; `markerFound` tells the two apart.
long VersionOnUpdatePage(std::string_view page, bool* markerFound = nullptr);

// "There is available a new version of the program. Please, visit <site> and download it."
std::string NewVersionMessage(const Services& services);

struct UpdateCheckResult {
    bool read = false;
    bool markerFound = false;
    long version = 0;
    bool newer = false;  // version > kRunningVersion
    std::string error;
};

// Fetches the update page once (agent "Download new version", reload, the services' proxy).
// Only a page served with a success status is read for the version.
UpdateCheckResult CheckForUpdate(const Services& services, const OnlineHooks& hooks);

// Receives the worker's reports, on the worker's thread.
class IUpdateCheckHost {
public:
    virtual ~IUpdateCheckHost() = default;
    virtual void SetCaption(const std::string& caption) = 0;
    virtual void AnnounceNewVersion(const std::string& message) = 0;
};

// One update check on a thread of its own. The caption goes "Checking for updates...", the
// request's progress texts, then the usual title; a newer version is announced before that
// last caption. Cancel (and destruction) stops the request at once and waits for the thread;
// after it the host hears nothing more.
class CUpdateCheck {
public:
    CUpdateCheck() = default;
    ~CUpdateCheck();
    CUpdateCheck(const CUpdateCheck&) = delete;
    CUpdateCheck& operator=(const CUpdateCheck&) = delete;

    void Start(const Services& services, IUpdateCheckHost& host,
               HttpLimits limits = OnlineLimits());
    void Cancel();
    bool Finished() const { return finished; }
    UpdateCheckResult Result() const;

private:
    void Run(Services services, IUpdateCheckHost& host, HttpLimits limits);
    // Passes a caption to the host unless the check was cancelled meanwhile.
    void Report(IUpdateCheckHost& host, const std::string& caption);

    std::thread worker;
    std::atomic<bool> cancelled{false};
    std::atomic<bool> finished{false};
    std::mutex hostMutex;  // a report and Cancel never overlap
    mutable std::mutex resultMutex;
    UpdateCheckResult result;
};

}  // namespace talvero
