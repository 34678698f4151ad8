#pragma once
// Client of an Apertium translation service (APy's HTTP API: POST /translate). APy keeps its
// pipelines warm and serves several requests at once; this side keeps a few connections open
// and reuses them, one per request in flight.
#include <future>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "gateway/Languages.h"

namespace httplib {
class Client;
}

struct ApertiumResult {
    enum class Kind { Ok, PairNotInstalled, Unreachable, Failed };
    Kind kind = Kind::Failed;
    std::string text;     // the translation (UTF-8) when Ok
    std::string problem;  // what went wrong otherwise
};

class ApertiumClient {
public:
    // `address`: "http://host:port" (or https); the service's paths are appended. A request not
    // answered whole within `timeoutSeconds` fails, however steadily the reply trickles.
    explicit ApertiumClient(std::string address, int timeoutSeconds = 20);
    ~ApertiumClient();
    ApertiumClient(const ApertiumClient&) = delete;
    ApertiumClient& operator=(const ApertiumClient&) = delete;

    // Plain text in, plain text out; unknown words come back as they are, unmarked. Thread-safe.
    ApertiumResult Translate(const ApertiumPair& pair, const std::string& utf8Text);

    const std::string& Address() const { return address; }

private:
    std::unique_ptr<httplib::Client> Take();
    void Give(std::unique_ptr<httplib::Client> client);

    std::string address;
    int timeoutSeconds;
    std::mutex mutex;
    std::vector<std::unique_ptr<httplib::Client>> idle;
};

// The three web rows of one Translate post the same text with the same pair at the same moment:
// one request to Apertium answers all three, and a recent answer is given again (short texts
// only, a bounded number of them). Failures are not remembered.
class SharedTranslations {
public:
    SharedTranslations(ApertiumClient& client, size_t capacity = 512);
    ApertiumResult Translate(const ApertiumPair& pair, const std::string& utf8Text);

private:
    struct Entry {
        std::shared_future<ApertiumResult> result;
        std::list<std::string>::iterator age;
    };

    ApertiumClient& client;
    size_t capacity;
    std::mutex mutex;
    std::unordered_map<std::string, Entry> entries;
    std::list<std::string> ages;  // most recently used first
};
