#pragma once
// The administrator's log says a thing once a minute, not a thousand times: a message of a kind
// written within the last `interval` is counted instead, and the count is written when the
// interval ends ("… (and 2317 more like it in the last 60 s)"). A kind is the message itself
// unless the caller names one (messages that differ only by a user name).
#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace talvero {

class LogThrottle {
public:
    using Clock = std::chrono::steady_clock;
    explicit LogThrottle(std::chrono::seconds interval = std::chrono::seconds(60))
        : interval(interval)
    {
    }

    // The lines to write now for `message`: the message, or nothing when it is counted.
    std::vector<std::string> Take(const std::string& message, const std::string& kind,
                                  Clock::time_point now = Clock::now())
    {
        std::lock_guard lock(mutex);
        std::vector<std::string> lines;
        Expire(now, lines);
        const std::string& key = kind.empty() ? message : kind;
        auto it = kinds.find(key);
        if (it != kinds.end()) {
            ++it->second.more;
            return lines;
        }
        // A flood of distinct kinds: the oldest is closed early, so the table stays small.
        if (kinds.size() >= kMostKinds) Close(kinds.begin(), lines);
        kinds.emplace(key, Kind{message, now, 0});
        lines.push_back(message);
        return lines;
    }

    // The counts of the kinds whose interval has ended (called now and then).
    std::vector<std::string> Flush(Clock::time_point now = Clock::now())
    {
        std::lock_guard lock(mutex);
        std::vector<std::string> lines;
        Expire(now, lines);
        return lines;
    }

private:
    struct Kind {
        std::string first;
        Clock::time_point since;
        long long more;
    };
    static constexpr size_t kMostKinds = 256;

    void Close(std::map<std::string, Kind>::iterator it, std::vector<std::string>& lines)
    {
        if (it->second.more > 0)
            lines.push_back(it->second.first + " (and " + std::to_string(it->second.more) +
                            " more like it in " + std::to_string(interval.count()) + " s)");
        kinds.erase(it);
    }

    void Expire(Clock::time_point now, std::vector<std::string>& lines)
    {
        for (auto it = kinds.begin(); it != kinds.end();) {
            auto next = std::next(it);
            if (now - it->second.since >= interval) Close(it, lines);
            it = next;
        }
    }

    const std::chrono::seconds interval;
    std::mutex mutex;
    std::map<std::string, Kind> kinds;
};

}  // namespace talvero
