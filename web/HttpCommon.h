#pragma once
// Pieces shared by the two HTTP clients: libcurl set-up, limits, percent-encoding.
#include <atomic>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace talvero {

// How long a request may wait and how much it may read. A server that accepts and never
// answers must not hold the caller forever, nor may a huge reply exhaust memory.
struct HttpLimits {
    long connectTimeoutMs = 60000;  // no connection within this time: the request fails
    long stallTimeoutMs = 30000;    // no byte moved for this long: the request fails
    // A reply still not complete after this long fails too: a server that trickles a byte now
    // and then never stalls, and the window waits on it.
    long totalTimeoutMs = 120000;
    std::size_t maxBodyBytes = std::size_t{16} << 20;  // a longer reply body fails the request
    // PEM file of the certificate authorities that https addresses are checked against, beside
    // the system's (a private CA of one's own gateway); empty: the system's alone. It travels
    // with the limits because every request made for the services file shares both.
    std::string caFile;
    // Set by the request's owner when it no longer wants the answer (its window is going):
    // the transfer ends at curl's next progress call, within about a second.
    std::shared_ptr<const std::atomic<bool>> cancel;
};

// Sets the CA file of `limits` on a curl handle for an https URL.
void ApplyCaFile(void* curlHandle, const std::string& url, const HttpLimits& limits);

// Watches a transfer for stalls: Moved() with the byte counts so far answers false once nothing
// has moved for longer than the limit.
class StallWatch {
public:
    explicit StallWatch(long limitMs, std::shared_ptr<const std::atomic<bool>> cancel = {});
    bool Moved(long long downloaded, long long uploaded);
    bool Stalled() const { return stalled; }

private:
    long limitMs;
    std::shared_ptr<const std::atomic<bool>> cancel;
    long long lastTotal = -1;
    long long lastChangeMs = 0;
    bool stalled = false;
};

// A few words on why a transfer failed, for people: "certificate", "time-out", "connection
// refused", ... from libcurl's result code.
std::string TransferFailureReason(long curlCode);

// libcurl's process-wide set-up, done once before the first handle (thread-safe).
void EnsureHttpLibrary();

// Percent-encodes a form or query value: every byte except A-Z a-z 0-9 - . _ ~ becomes %XX.
// The bytes are those of the code page; no character-set conversion.
std::string PercentEncode(std::string_view value);

}  // namespace talvero
