#pragma once
// Who the client is behind a load balancer. Only a peer among the trusted networks may say so,
// in X-Forwarded-For: each balancer appends the address it was reached from, so the last
// address that is not itself a trusted balancer is the client (earlier ones are the client's to
// write and prove nothing).
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace talvero {

class TrustedNetworks {
public:
    // "ADDRESS" or "ADDRESS/BITS", IPv4 or IPv6. nullopt for anything else.
    static std::optional<TrustedNetworks> Parse(const std::vector<std::string>& networks,
                                                std::string* bad = nullptr);

    bool Empty() const { return networks.empty(); }
    bool Contains(std::string_view address) const;

    // The client's address for a request from `peer` with these X-Forwarded-For header values
    // (all of them, in order). From an untrusted peer the headers are ignored. An entry that is
    // no address ends the walk: the last address taken stands.
    std::string Client(const std::string& peer, const std::vector<std::string>& forwarded) const;

private:
    struct Network {
        int family;
        std::array<unsigned char, 16> bytes;
        int bits;
    };
    std::vector<Network> networks;
};

}  // namespace talvero
