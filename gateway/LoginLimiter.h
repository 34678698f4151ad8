#pragma once
// Failed logins, counted so that a guesser is slowed down without locking the real user out:
//  - per name and address together: after `perPair` failures within `window` that pair is
//    refused until the window ends (one guesser at one user);
//  - per address: after `perAddress` failures, any name from it is refused (one guesser at many
//    users); a success from the address clears its count, so that the users behind a shared
//    address are not locked out by one of them;
//  - per name from anywhere: past `perName` failures each further failure makes the name wait
//    longer before it is checked again (`firstDelay`, doubled up to `longestDelay`): many
//    addresses guessing one password are slowed, while the user gets through within a minute,
//    at once from an address where the name logged in before.
// A check reserves its attempt before the password is hashed, so that attempts made at the same
// moment cannot pass the limits together. Names and addresses are kept as keyed 64-bit digests,
// never as text: every entry has the same size, and the table is bounded in bytes.
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <unordered_map>

namespace talvero {

struct LoginLimits {
    int perPair = 10;
    int perAddress = 30;
    int perName = 100;
    std::chrono::seconds window = std::chrono::minutes(15);
    std::chrono::milliseconds firstDelay = std::chrono::seconds(1);
    std::chrono::milliseconds longestDelay = std::chrono::seconds(60);
    size_t memoryBytes = 8 << 20;
};

class LoginLimiter {
public:
    using Clock = std::chrono::steady_clock;
    // Told when a name, an address or a pair is refused or slowed, with until when (UTC).
    using Log = std::function<void(const std::string&)>;

    explicit LoginLimiter(LoginLimits limits, Log log = nullptr);

    // Reserves an attempt of `name` from `address`. False when it is refused now; `retryAfter`
    // then says how long until it would be taken.
    bool Begin(const std::string& name, const std::string& address,
               std::chrono::seconds* retryAfter = nullptr);
    // Ends an attempt that Begin took: counted as a failure or a success, or (`counted` false)
    // not at all, when it was never checked.
    void Finish(const std::string& name, const std::string& address, bool success,
                bool counted = true);

    size_t MemoryBytes();
    size_t Entries();

    // The bytes one entry is counted as: the entry, its key and the table's node around them.
    static size_t EntryBytes();

    // For tests: the clock the limiter reads.
    void SetClock(std::function<Clock::time_point()> now) { clock = std::move(now); }

private:
    struct Entry {
        int failures = 0;
        int inFlight = 0;
        int slowSteps = 0;     // names: how often the delay has doubled
        bool trusted = false;  // pairs: the name logged in from this address
        Clock::time_point windowStart;
        Clock::time_point lastUse;
        Clock::time_point slowedUntil;  // names
    };
    enum class Kind : char { Pair = 'P', Address = 'A', Name = 'N' };

    uint64_t Key(Kind kind, const std::string& name, const std::string& address) const;
    Entry& At(uint64_t key, Clock::time_point now);  // with `mutex` held
    Entry* Find(uint64_t key, Clock::time_point now);
    void Age(Entry& entry, Clock::time_point now) const;
    void MakeRoom(Clock::time_point now);
    std::string Until(Clock::time_point when, Clock::time_point now) const;

    LoginLimits limits;
    Log log;
    std::function<Clock::time_point()> clock = [] { return Clock::now(); };
    unsigned char key[16];
    std::mutex mutex;
    std::unordered_map<uint64_t, Entry> entries;
};

}  // namespace talvero
