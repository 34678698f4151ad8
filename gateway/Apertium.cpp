#include "gateway/Apertium.h"

#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <nlohmann/json.hpp>
#include <string_view>
#include <thread>

namespace talvero {

namespace {

// A service that trickles its reply a byte at a time never trips the read time-out. Past a
// request's whole deadline its socket is shut from this thread, which ends the blocked read.
class Deadlines {
public:
    using Clock = std::chrono::steady_clock;
    static Deadlines& Instance()
    {
        static Deadlines deadlines;
        return deadlines;
    }
    ~Deadlines()
    {
        {
            std::lock_guard lock(mutex);
            quit = true;
        }
        changed.notify_all();
        thread.join();
    }
    unsigned long long Arm(Clock::time_point when, httplib::Client* client)
    {
        std::lock_guard lock(mutex);
        armed.emplace(next, std::make_pair(when, client));
        changed.notify_all();
        return next++;
    }
    // Once it returns, the client is not touched from here any more.
    void Disarm(unsigned long long id)
    {
        std::lock_guard lock(mutex);
        armed.erase(id);
    }

private:
    void Run()
    {
        std::unique_lock lock(mutex);
        while (!quit) {
            auto soonest = Clock::time_point::max();
            for (auto it = armed.begin(); it != armed.end();) {
                if (it->second.first <= Clock::now()) {
                    it->second.second->stop();
                    it = armed.erase(it);
                } else {
                    soonest = std::min(soonest, it->second.first);
                    ++it;
                }
            }
            if (soonest == Clock::time_point::max())
                changed.wait(lock);
            else
                changed.wait_until(lock, soonest);
        }
    }

    std::mutex mutex;
    std::condition_variable changed;
    std::map<unsigned long long, std::pair<Clock::time_point, httplib::Client*>> armed;
    unsigned long long next = 1;
    bool quit = false;
    std::thread thread{[this] { Run(); }};
};

constexpr char kMarks[] = {'*', '@', '#'};

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Whether a word may start at `at`: the text's start, after a blank or an opening sign.
bool OpensWord(const std::string& text, size_t at)
{
    if (at == 0) return true;
    char before = text[at - 1];
    if (IsBlank(before) || std::string_view("([{\"'").find(before) != std::string_view::npos)
        return true;
    // "¿", "¡", "«" and the opening quotes, in UTF-8.
    for (std::string_view sign : {"\u00BF", "\u00A1", "\u00AB", "\u201C", "\u2018"})
        if (at >= sign.size() && text.compare(at - sign.size(), sign.size(), sign) == 0)
            return true;
    return false;
}

bool MarkOpensWord(const std::string& text, size_t at)
{
    return OpensWord(text, at) && at + 1 < text.size() && !IsBlank(text[at + 1]);
}

}  // namespace

std::string WithoutApertiumMarks(const std::string& translation, const std::string& source)
{
    std::string written;  // the marks that open a word in the source: kept in the translation
    for (size_t at = 0; at < source.size(); ++at)
        if (std::string_view(kMarks, sizeof kMarks).find(source[at]) != std::string_view::npos &&
            MarkOpensWord(source, at) && written.find(source[at]) == std::string::npos)
            written += source[at];
    std::string out;
    out.reserve(translation.size());
    bool afterRemovedMark = false;  // Apertium may stack marks ("#*word")
    for (size_t at = 0; at < translation.size(); ++at) {
        char c = translation[at];
        bool mark = std::string_view(kMarks, sizeof kMarks).find(c) != std::string_view::npos;
        bool opens = afterRemovedMark || OpensWord(translation, at);
        afterRemovedMark = mark && opens && written.find(c) == std::string::npos &&
                           at + 1 < translation.size() && !IsBlank(translation[at + 1]);
        if (!afterRemovedMark) out += c;
    }
    return out;
}

ApertiumClient::ApertiumClient(const std::string& addresses, int timeoutSeconds)
    : timeoutSeconds(timeoutSeconds)
{
    size_t at = 0;
    while (at < addresses.size()) {
        size_t begin = addresses.find_first_not_of(' ', at);
        if (begin == std::string::npos) break;
        size_t end = addresses.find(' ', begin);
        std::string address = addresses.substr(begin, end - begin);
        while (!address.empty() && address.back() == '/')
            address.pop_back();
        services.push_back(std::make_unique<Service>());
        services.back()->address = address;
        at = end;
    }
    if (services.empty()) {
        services.push_back(std::make_unique<Service>());
        services.back()->address = addresses;
    }
}

ApertiumClient::~ApertiumClient() = default;

std::string ApertiumClient::Address() const
{
    std::string all;
    for (const auto& service : services)
        all += (all.empty() ? "" : " ") + service->address;
    return all;
}

std::unique_ptr<httplib::Client> ApertiumClient::Take(Service& service)
{
    {
        std::lock_guard lock(mutex);
        if (!service.idle.empty()) {
            auto client = std::move(service.idle.back());
            service.idle.pop_back();
            return client;
        }
    }
    auto client = std::make_unique<httplib::Client>(service.address);
    client->set_keep_alive(true);
    // Request header and body go out in separate writes; with Nagle on, the body waits for the
    // service's delayed acknowledgement (about 40 ms on every request).
    client->set_tcp_nodelay(true);
    client->set_connection_timeout(5);
    client->set_read_timeout(timeoutSeconds);
    client->set_write_timeout(timeoutSeconds);
    return client;
}

void ApertiumClient::Give(Service& service, std::unique_ptr<httplib::Client> client)
{
    std::lock_guard lock(mutex);
    if (service.idle.size() < 64) service.idle.push_back(std::move(client));
}

ApertiumResult ApertiumClient::Translate(const ApertiumPair& pair, const std::string& utf8Text)
{
    // The least busy service first, the lowest in the list among equals: one client's requests
    // keep to one warm process, several at once spread out. A service that did not answer a
    // moment ago comes last; the others are tried in turn when one does not answer (a
    // translation may be asked twice without harm).
    std::vector<Service*> order;
    {
        std::lock_guard lock(mutex);
        auto now = std::chrono::steady_clock::now();
        for (auto& service : services)
            order.push_back(service.get());
        std::stable_sort(order.begin(), order.end(), [now](const Service* a, const Service* b) {
            bool aDown = a->downUntil > now, bDown = b->downUntil > now;
            return aDown != bDown ? bDown : a->inFlight < b->inFlight;
        });
    }
    // One deadline for the whole translation, however many services it takes: a service that
    // trickles its reply uses up the time, and the next one is asked only while some is left.
    const auto deadline = Deadlines::Clock::now() + std::chrono::seconds(timeoutSeconds);
    ApertiumResult result;
    for (Service* service : order) {
        if (service != order.front() && Deadlines::Clock::now() >= deadline) break;
        result = TranslateOn(*service, pair, utf8Text, deadline);
        if (result.kind != ApertiumResult::Kind::Unreachable) break;
        std::lock_guard lock(mutex);
        service->downUntil = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    }
    return result;
}

ApertiumResult ApertiumClient::TranslateOn(Service& service, const ApertiumPair& pair,
                                           const std::string& utf8Text,
                                           std::chrono::steady_clock::time_point deadline)
{
    ApertiumResult result;
    auto client = Take(service);
    if (!client->is_valid()) {
        result.kind = ApertiumResult::Kind::Unreachable;
        result.problem = "Not an address of a translation service: " + service.address;
        return result;
    }
    // Plain text both ways (APy's default treats the text as HTML), unknown words unmarked.
    httplib::Params params{
        {"langpair", pair.LangPair()}, {"q", utf8Text}, {"markUnknown", "no"}, {"format", "txt"}};
    {
        std::lock_guard lock(mutex);
        ++service.inFlight;
    }
    unsigned long long watch = Deadlines::Instance().Arm(deadline, client.get());
    httplib::Result reply = client->Post("/translate", params);
    Deadlines::Instance().Disarm(watch);
    {
        std::lock_guard lock(mutex);
        --service.inFlight;
    }
    if (!reply && Deadlines::Clock::now() >= deadline) {
        result.kind = ApertiumResult::Kind::Unreachable;
        result.problem = "The translation service at " + service.address + " took longer than " +
                         std::to_string(timeoutSeconds) + " s";
        return result;
    }
    if (!reply) {
        result.kind = ApertiumResult::Kind::Unreachable;
        result.problem = "The translation service at " + service.address +
                         " did not answer: " + httplib::to_string(reply.error());
        return result;  // the connection is not reused
    }
    int status = reply->status;
    std::string body = reply->body;
    Give(service, std::move(client));

    nlohmann::json json = nlohmann::json::parse(body, nullptr, false);
    if (status == 200 && json.is_object()) {
        const auto& data = json.value("responseData", nlohmann::json::object());
        auto text = data.find("translatedText");
        if (text != data.end() && text->is_string()) {
            result.kind = ApertiumResult::Kind::Ok;
            result.text = WithoutApertiumMarks(text->get<std::string>(), utf8Text);
            return result;
        }
    }
    std::string explanation;
    if (json.is_object() && json.contains("explanation") && json["explanation"].is_string())
        explanation = json["explanation"].get<std::string>();
    result.kind = explanation.find("not installed") != std::string::npos
                      ? ApertiumResult::Kind::PairNotInstalled
                      : ApertiumResult::Kind::Failed;
    result.problem = "The translation service answered " + std::to_string(status) +
                     (explanation.empty() ? "" : ": " + explanation);
    return result;
}

void ApertiumClient::Warm(const std::vector<ApertiumPair>& first, bool all,
                          const std::function<void(const std::string&)>& report)
{
    std::vector<std::thread> threads;
    std::mutex reportMutex;
    // The first service warms the first pairs alone: the first translation, which goes there,
    // then shares the processor with one pipeline's start, not with one per service. The others
    // follow before the next translation is likely to come.
    std::promise<void> firstReady;
    std::shared_future<void> firstWarm = firstReady.get_future().share();
    for (auto& owned : services) {
        Service* service = owned.get();
        bool leader = service == services.front().get();
        threads.emplace_back([&, service, leader] {
            if (!leader) firstWarm.wait();
            auto say = [&](const std::string& text) {
                std::lock_guard lock(reportMutex);
                report(text);
            };
            std::vector<ApertiumPair> pairs = first;
            if (all) {
                auto client = Take(*service);
                httplib::Result reply = client->Get("/listPairs");
                nlohmann::json json =
                    reply ? nlohmann::json::parse(reply->body, nullptr, false) : nlohmann::json();
                if (!reply || !json.is_object() || !json.contains("responseData") ||
                    !json["responseData"].is_array()) {
                    say("no list of pairs from " + service->address);
                } else {
                    for (const auto& entry : json["responseData"]) {
                        ApertiumPair pair{entry.value("sourceLanguage", ""),
                                          entry.value("targetLanguage", "")};
                        if (IsGatewayApertiumCode(pair.source) &&
                            IsGatewayApertiumCode(pair.target) &&
                            std::find(pairs.begin(), pairs.end(), pair) == pairs.end())
                            pairs.push_back(pair);
                    }
                    Give(*service, std::move(client));
                }
            }
            for (size_t i = 0; i < pairs.size(); ++i) {
                if (leader && i == first.size()) firstReady.set_value();
                ApertiumResult r =
                    TranslateOn(*service, pairs[i], "1",
                                Deadlines::Clock::now() + std::chrono::seconds(timeoutSeconds));
                if (r.kind != ApertiumResult::Kind::Ok)
                    say("warming " + pairs[i].LangPair() + " at " + service->address + ": " +
                        r.problem);
            }
            if (leader && pairs.size() <= first.size()) firstReady.set_value();
        });
    }
    for (auto& thread : threads)
        thread.join();
}

SharedTranslations::SharedTranslations(ApertiumClient& client, size_t capacity)
    : client(client), capacity(capacity)
{
}

ApertiumResult SharedTranslations::Translate(const ApertiumPair& pair, const std::string& utf8Text)
{
    constexpr size_t kLongestKept = 2000;
    if (utf8Text.size() > kLongestKept) return client.Translate(pair, utf8Text);
    std::string key = pair.LangPair() + '\n' + utf8Text;
    std::promise<ApertiumResult> promise;
    std::shared_future<ApertiumResult> earlier;
    {
        std::lock_guard lock(mutex);
        auto it = entries.find(key);
        if (it != entries.end()) {
            ages.splice(ages.begin(), ages, it->second.age);
            earlier = it->second.result;
        } else {
            ages.push_front(key);
            entries.emplace(key, Entry{promise.get_future().share(), ages.begin()});
            while (entries.size() > capacity) {
                entries.erase(ages.back());
                ages.pop_back();
            }
        }
    }
    if (earlier.valid()) return earlier.get();
    ApertiumResult answer = client.Translate(pair, utf8Text);
    promise.set_value(answer);
    if (answer.kind != ApertiumResult::Kind::Ok) {
        std::lock_guard lock(mutex);
        auto it = entries.find(key);
        if (it != entries.end()) {
            ages.erase(it->second.age);
            entries.erase(it);
        }
    }
    return answer;
}

}  // namespace talvero
