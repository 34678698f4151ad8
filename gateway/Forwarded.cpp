#include "gateway/Forwarded.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstdlib>

#include "base/TextFile.h"

namespace talvero {

namespace {

bool ReadAddress(std::string_view text, int& family, std::array<unsigned char, 16>& bytes)
{
    std::string address(TrimWhiteSpace(text));
    bytes.fill(0);
    if (inet_pton(AF_INET, address.c_str(), bytes.data()) == 1) {
        family = AF_INET;
        return true;
    }
    if (inet_pton(AF_INET6, address.c_str(), bytes.data()) == 1) {
        family = AF_INET6;
        return true;
    }
    return false;
}

}  // namespace

std::optional<TrustedNetworks> TrustedNetworks::Parse(const std::vector<std::string>& texts,
                                                      std::string* bad)
{
    TrustedNetworks trusted;
    for (const std::string& text : texts) {
        Network network{};
        size_t slash = text.find('/');
        bool ok =
            ReadAddress(std::string_view(text).substr(0, slash), network.family, network.bytes);
        const int most = network.family == AF_INET ? 32 : 128;
        network.bits = most;
        if (ok && slash != std::string::npos) {
            const std::string bits = text.substr(slash + 1);
            char* end = nullptr;
            long value = std::strtol(bits.c_str(), &end, 10);
            ok = !bits.empty() && *end == '\0' && value >= 0 && value <= most;
            network.bits = static_cast<int>(value);
        }
        if (!ok) {
            if (bad) *bad = text;
            return std::nullopt;
        }
        trusted.networks.push_back(network);
    }
    return trusted;
}

bool TrustedNetworks::Contains(std::string_view text) const
{
    int family = 0;
    std::array<unsigned char, 16> bytes{};
    if (!ReadAddress(text, family, bytes)) return false;
    for (const Network& network : networks) {
        if (network.family != family) continue;
        int whole = network.bits / 8, rest = network.bits % 8;
        bool match = std::equal(bytes.begin(), bytes.begin() + whole, network.bytes.begin());
        if (match && rest) {
            unsigned char mask = static_cast<unsigned char>(0xFF << (8 - rest));
            match = (bytes[whole] & mask) == (network.bytes[whole] & mask);
        }
        if (match) return true;
    }
    return false;
}

std::string TrustedNetworks::Client(const std::string& peer,
                                    const std::vector<std::string>& forwarded) const
{
    if (forwarded.empty() || !Contains(peer)) return peer;
    std::vector<std::string_view> entries;
    for (const std::string& header : forwarded)
        for (size_t at = 0; at <= header.size();) {
            size_t comma = header.find(',', at);
            if (comma == std::string::npos) comma = header.size();
            entries.push_back(std::string_view(header).substr(at, comma - at));
            at = comma + 1;
        }
    std::string client = peer;
    // From the right: a long list costs no more than the few balancers there can be.
    constexpr size_t kMostHops = 16;
    for (size_t i = entries.size(), seen = 0; i-- > 0 && seen < kMostHops; ++seen) {
        int family = 0;
        std::array<unsigned char, 16> bytes{};
        if (!ReadAddress(entries[i], family, bytes)) break;
        client = std::string(TrimWhiteSpace(entries[i]));
        if (!Contains(client)) return client;
    }
    return client;
}

}  // namespace talvero
