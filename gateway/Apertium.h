#pragma once
// Client of an Apertium translation service (APy's HTTP API: POST /translate). APy keeps its
// pipelines warm and serves several requests at once; this side keeps a few connections open
// and reuses them, one per request in flight.
#include <atomic>
#include <chrono>
#include <functional>
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

namespace talvero {

struct ApertiumResult {
    enum class Kind { Ok, PairNotInstalled, Unreachable, Failed, Busy };
    Kind kind = Kind::Failed;
    std::string text;     // the translation (UTF-8) when Ok
    std::string problem;  // what went wrong otherwise
};

// Apertium marks words it could not translate ("*" unknown, "@" missing in the bilingual
// dictionary, "#" not generated) by a sign in front of them. A reader of the result wants the
// words without the signs, and the signs the user typed as typed ("3*4", "#tag", "@name"). The
// signs Apertium added are those the translation has more of than `source`; of the signs that
// open a word, those before a word that `source` has without that sign go first (an unknown
// word passes through unchanged), then the others from the left.
std::string WithoutApertiumMarks(const std::string& translation, const std::string& source);

class ApertiumClient {
public:
    // `addresses`: "http://host:port" (or https), several separated by blanks: each a service
    // with every pair, e.g. one per core. Requests go to the one with the fewest in flight. A
    // translation not answered whole within `timeoutSeconds` fails, however steadily the reply
    // trickles; another service is asked only within that time.
    explicit ApertiumClient(const std::string& addresses, int timeoutSeconds = 20);
    ~ApertiumClient();
    ApertiumClient(const ApertiumClient&) = delete;
    ApertiumClient& operator=(const ApertiumClient&) = delete;

    // Plain text in, plain text out; words Apertium could not translate come back as they are,
    // without its marks. Thread-safe. A service that does not answer is passed over for another.
    ApertiumResult Translate(const ApertiumPair& pair, const std::string& utf8Text);

    // Starts the pipelines of `first`, then (with `all`) of every other pair the services have
    // among the gateway's languages, on every service, so that no user waits for a pipeline to
    // start. Each service is warmed on a thread of its own, one pair after the other, so that
    // the machine keeps room for translations meanwhile. With `all`, a service that does not
    // answer yet (started after the gateway) is asked again every second. Returns when all are
    // warm, or soon after `quit` is set; `report` gets what failed.
    void Warm(const std::vector<ApertiumPair>& first, bool all,
              const std::function<void(const std::string&)>& report,
              const std::atomic<bool>* quit = nullptr);

    std::string Address() const;  // the addresses, separated by blanks

private:
    struct Service {
        std::string address;
        std::vector<std::unique_ptr<httplib::Client>> idle;  // guarded by `mutex`
        int inFlight = 0;                                    // guarded by `mutex`
        std::chrono::steady_clock::time_point downUntil;     // guarded by `mutex`
    };

    // Past `deadline` the reply is given up, however steadily it trickles.
    ApertiumResult TranslateOn(Service& service, const ApertiumPair& pair,
                               const std::string& utf8Text,
                               std::chrono::steady_clock::time_point deadline);
    std::unique_ptr<httplib::Client> Take(Service& service);
    void Give(Service& service, std::unique_ptr<httplib::Client> client);

    int timeoutSeconds;
    std::mutex mutex;
    std::vector<std::unique_ptr<Service>> services;
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

}  // namespace talvero
