#include "gateway/LoginLimiter.h"

#include <sodium.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <vector>

#include "gateway/Forms.h"

namespace talvero {

namespace {

// What the log shows of a name the client chose: printable, and not a flood of it.
std::string ShownName(const std::string& name)
{
    constexpr size_t kShown = 64;
    std::string shown = PrintableText(name.substr(0, kShown));
    return "\"" + shown + (name.size() > kShown ? "…" : "") + "\"";
}

}  // namespace

LoginLimiter::LoginLimiter(LoginLimits limits, Log log) : limits(limits), log(std::move(log))
{
    if (sodium_init() >= 0)
        crypto_shorthash_keygen(key);
    else
        std::memset(key, 0x5a, sizeof key);
}

size_t LoginLimiter::EntryBytes()
{
    // An unordered_map node holds the pair and a next pointer (and the cached hash); the bucket
    // array adds about a pointer per entry.
    return sizeof(std::pair<const uint64_t, Entry>) + 3 * sizeof(void*);
}

uint64_t LoginLimiter::Key(Kind kind, const std::string& name, const std::string& address) const
{
    // Keyed (SipHash): a client cannot choose a name whose entry is another's.
    std::string text(1, static_cast<char>(kind));
    if (kind != Kind::Address) text += name;
    text += '\0';
    if (kind != Kind::Name) text += address;
    uint64_t digest = 0;
    crypto_shorthash(reinterpret_cast<unsigned char*>(&digest),
                     reinterpret_cast<const unsigned char*>(text.data()), text.size(), key);
    return digest;
}

void LoginLimiter::Age(Entry& entry, Clock::time_point now) const
{
    if (now - entry.windowStart >= limits.window) {
        entry.failures = 0;
        entry.slowSteps = 0;
        entry.windowStart = now;
    }
}

LoginLimiter::Entry* LoginLimiter::Find(uint64_t at, Clock::time_point now)
{
    auto it = entries.find(at);
    if (it == entries.end()) return nullptr;
    Age(it->second, now);
    return &it->second;
}

LoginLimiter::Entry& LoginLimiter::At(uint64_t at, Clock::time_point now)
{
    if (Entry* entry = Find(at, now)) return *entry;
    if ((entries.size() + 1) * EntryBytes() > limits.memoryBytes) MakeRoom(now);
    Entry& entry = entries[at];
    entry.windowStart = now;
    entry.lastUse = now;
    return entry;
}

void LoginLimiter::MakeRoom(Clock::time_point now)
{
    // First what has aged out; then, when still full, the quarter used longest ago, so that the
    // cost of making room is spread over many new entries.
    std::erase_if(entries, [&](const auto& item) {
        const Entry& e = item.second;
        return e.inFlight == 0 && now - e.lastUse >= limits.window && now >= e.slowedUntil;
    });
    const size_t room = limits.memoryBytes / EntryBytes();
    if (entries.size() + 1 <= room * 3 / 4 + 1) return;
    std::vector<Clock::time_point> uses;
    uses.reserve(entries.size());
    for (const auto& item : entries)
        if (item.second.inFlight == 0) uses.push_back(item.second.lastUse);
    if (uses.empty()) return;
    size_t drop = std::min(uses.size() - 1, std::max<size_t>(1, entries.size() / 4));
    std::nth_element(uses.begin(), uses.begin() + static_cast<long>(drop), uses.end());
    const Clock::time_point cut = uses[drop];
    std::erase_if(entries, [&](const auto& item) {
        return item.second.inFlight == 0 && item.second.lastUse < cut;
    });
    // Entries in flight all at once and the table still full: never grow past the budget.
    while (!entries.empty() && (entries.size() + 1) * EntryBytes() > limits.memoryBytes) {
        auto victim = std::find_if(entries.begin(), entries.end(),
                                   [](const auto& item) { return item.second.inFlight == 0; });
        if (victim == entries.end()) break;
        entries.erase(victim);
    }
}

std::string LoginLimiter::Until(Clock::time_point when, Clock::time_point now) const
{
    auto wall = std::chrono::system_clock::now() +
                std::chrono::duration_cast<std::chrono::system_clock::duration>(when - now);
    std::time_t t = std::chrono::system_clock::to_time_t(wall);
    std::tm utc{};
    gmtime_r(&t, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

bool LoginLimiter::Begin(const std::string& name, const std::string& address,
                         std::chrono::seconds* retryAfter)
{
    const auto now = clock();
    const uint64_t pairKey = Key(Kind::Pair, name, address);
    const uint64_t addressKey = Key(Kind::Address, name, address);
    const uint64_t nameKey = Key(Kind::Name, name, address);
    std::lock_guard lock(mutex);
    auto refuse = [&](Clock::time_point until) {
        if (retryAfter)
            *retryAfter = std::max(std::chrono::seconds(1),
                                   std::chrono::ceil<std::chrono::seconds>(until - now));
        return false;
    };
    // Attempts in flight count as failures until they are known not to be: ten attempts sent
    // at one moment are ten, not one.
    Entry* byAddress = Find(addressKey, now);
    if (byAddress && byAddress->failures + byAddress->inFlight >= limits.perAddress)
        return refuse(byAddress->windowStart + limits.window);
    Entry* pair = Find(pairKey, now);
    if (pair && pair->failures + pair->inFlight >= limits.perPair)
        return refuse(pair->windowStart + limits.window);
    Entry* byName = Find(nameKey, now);
    if (byName && !(pair && pair->trusted)) {
        if (now < byName->slowedUntil) return refuse(byName->slowedUntil);
        // Past the bar, one attempt at a time: its outcome sets the next delay.
        if (byName->failures + byName->inFlight >= limits.perName && byName->inFlight > 0)
            return refuse(now + std::chrono::duration_cast<Clock::duration>(limits.firstDelay));
    }
    for (uint64_t at : {addressKey, pairKey, nameKey}) {
        Entry& entry = At(at, now);
        ++entry.inFlight;
        entry.lastUse = now;
    }
    return true;
}

void LoginLimiter::Finish(const std::string& name, const std::string& address, bool success,
                          bool counted)
{
    const auto now = clock();
    std::string told;
    {
        std::lock_guard lock(mutex);
        Entry* entry[3] = {Find(Key(Kind::Address, name, address), now),
                           Find(Key(Kind::Pair, name, address), now),
                           Find(Key(Kind::Name, name, address), now)};
        for (Entry* e : entry)
            if (e && e->inFlight > 0) --e->inFlight;
        if (!counted) return;
        auto [byAddress, pair, byName] = entry;
        if (success) {
            if (byAddress) byAddress->failures = 0;
            if (pair) {
                pair->failures = 0;
                pair->trusted = true;
            }
            return;
        }
        if (byAddress && ++byAddress->failures == limits.perAddress)
            told = "login: " + std::to_string(limits.perAddress) +
                   " failed attempts from address " + PrintableText(address) +
                   "; it is refused until " + Until(byAddress->windowStart + limits.window, now);
        if (pair && ++pair->failures == limits.perPair) {
            pair->trusted = false;
            if (told.empty())
                told = "login: " + std::to_string(limits.perPair) + " failed attempts for user " +
                       ShownName(name) + " from " + PrintableText(address) +
                       "; refused there until " + Until(pair->windowStart + limits.window, now);
        }
        if (byName && ++byName->failures >= limits.perName) {
            const int step = std::min(byName->slowSteps, 20);
            const std::chrono::milliseconds delay = std::min<std::chrono::milliseconds>(
                limits.firstDelay * (1LL << step), limits.longestDelay);
            const std::chrono::milliseconds before =
                step == 0 ? delay.zero()
                          : std::min<std::chrono::milliseconds>(
                                limits.firstDelay * (1LL << (step - 1)), limits.longestDelay);
            ++byName->slowSteps;
            byName->slowedUntil = now + std::chrono::duration_cast<Clock::duration>(delay);
            // Said when the slowing starts and when it reaches its longest, not at every step.
            if (told.empty() && (step == 0 || (delay == limits.longestDelay && before < delay)))
                told = "login: " + std::to_string(byName->failures) + " failed attempts for user " +
                       ShownName(name) + " within " + std::to_string(limits.window.count() / 60) +
                       " minutes; each further attempt waits " + std::to_string(delay.count()) +
                       " ms, the next until " + Until(byName->slowedUntil, now);
        }
    }
    if (!told.empty() && log) log(told);
}

size_t LoginLimiter::MemoryBytes()
{
    std::lock_guard lock(mutex);
    return entries.size() * EntryBytes();
}

size_t LoginLimiter::Entries()
{
    std::lock_guard lock(mutex);
    return entries.size();
}

}  // namespace talvero
