#include "gateway/Apertium.h"

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <nlohmann/json.hpp>
#include <thread>

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

}  // namespace

ApertiumClient::ApertiumClient(std::string address, int timeoutSeconds)
    : address(std::move(address)), timeoutSeconds(timeoutSeconds)
{
    while (!this->address.empty() && this->address.back() == '/')
        this->address.pop_back();
}

ApertiumClient::~ApertiumClient() = default;

std::unique_ptr<httplib::Client> ApertiumClient::Take()
{
    {
        std::lock_guard lock(mutex);
        if (!idle.empty()) {
            auto client = std::move(idle.back());
            idle.pop_back();
            return client;
        }
    }
    auto client = std::make_unique<httplib::Client>(address);
    client->set_keep_alive(true);
    // Request header and body go out in separate writes; with Nagle on, the body waits for the
    // service's delayed acknowledgement (about 40 ms on every request).
    client->set_tcp_nodelay(true);
    client->set_connection_timeout(5);
    client->set_read_timeout(timeoutSeconds);
    client->set_write_timeout(timeoutSeconds);
    return client;
}

void ApertiumClient::Give(std::unique_ptr<httplib::Client> client)
{
    std::lock_guard lock(mutex);
    if (idle.size() < 64) idle.push_back(std::move(client));
}

ApertiumResult ApertiumClient::Translate(const ApertiumPair& pair, const std::string& utf8Text)
{
    ApertiumResult result;
    auto client = Take();
    if (!client->is_valid()) {
        result.kind = ApertiumResult::Kind::Unreachable;
        result.problem = "Not an address of a translation service: " + address;
        return result;
    }
    // Plain text both ways (APy's default treats the text as HTML), unknown words unmarked.
    httplib::Params params{
        {"langpair", pair.LangPair()}, {"q", utf8Text}, {"markUnknown", "no"}, {"format", "txt"}};
    const auto deadline = Deadlines::Clock::now() + std::chrono::seconds(timeoutSeconds);
    unsigned long long watch = Deadlines::Instance().Arm(deadline, client.get());
    httplib::Result reply = client->Post("/translate", params);
    Deadlines::Instance().Disarm(watch);
    if (!reply && Deadlines::Clock::now() >= deadline) {
        result.kind = ApertiumResult::Kind::Unreachable;
        result.problem = "The translation service at " + address + " took longer than " +
                         std::to_string(timeoutSeconds) + " s";
        return result;
    }
    if (!reply) {
        result.kind = ApertiumResult::Kind::Unreachable;
        result.problem = "The translation service at " + address +
                         " did not answer: " + httplib::to_string(reply.error());
        return result;  // the connection is not reused
    }
    int status = reply->status;
    std::string body = reply->body;
    Give(std::move(client));

    nlohmann::json json = nlohmann::json::parse(body, nullptr, false);
    if (status == 200 && json.is_object()) {
        const auto& data = json.value("responseData", nlohmann::json::object());
        auto text = data.find("translatedText");
        if (text != data.end() && text->is_string()) {
            result.kind = ApertiumResult::Kind::Ok;
            result.text = text->get<std::string>();
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
