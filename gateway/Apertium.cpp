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

bool IsMark(char c)
{
    return std::string_view(kMarks, sizeof kMarks).find(c) != std::string_view::npos;
}

// The word that starts at `at`: up to a blank, a mark or a sign that ends a word.
std::string_view WordAt(std::string_view text, size_t at)
{
    size_t end = at;
    while (end < text.size() && !IsBlank(text[end]) && !IsMark(text[end]) &&
           std::string_view(".,;:!?)]}\"'").find(text[end]) == std::string_view::npos)
        ++end;
    return text.substr(at, end - at);
}

// Whether `source` has `word` as a whole word not directly after `mark`.
bool HasWordWithoutMark(std::string_view source, std::string_view word, char mark)
{
    if (word.empty()) return false;
    for (size_t at = source.find(word); at != std::string_view::npos;
         at = source.find(word, at + 1)) {
        bool starts = at == 0 || IsBlank(source[at - 1]) || IsMark(source[at - 1]) ||
                      std::string_view("([{\"'").find(source[at - 1]) != std::string_view::npos;
        bool ends = WordAt(source, at).size() == word.size();
        if (starts && ends && (at == 0 || source[at - 1] != mark)) return true;
    }
    return false;
}

}  // namespace

std::string WithoutApertiumMarks(const std::string& translation, const std::string& source)
{
    int added[256] = {};
    for (char c : translation)
        if (IsMark(c)) ++added[static_cast<unsigned char>(c)];
    for (char c : source)
        if (IsMark(c)) --added[static_cast<unsigned char>(c)];
    // Marks that open a word: after the text's start, a blank, an opening sign or another such
    // mark ("@*word"), and directly before something that is no blank.
    std::vector<size_t> opening;
    for (size_t at = 0; at < translation.size(); ++at) {
        if (!IsMark(translation[at]) || at + 1 >= translation.size() ||
            IsBlank(translation[at + 1]))
            continue;
        if (OpensWord(translation, at) || (!opening.empty() && opening.back() + 1 == at))
            opening.push_back(at);
    }
    std::vector<bool> drop(translation.size(), false);
    auto take = [&](size_t at) {
        int& left = added[static_cast<unsigned char>(translation[at])];
        if (left <= 0 || drop[at]) return;
        drop[at] = true;
        --left;
    };
    for (size_t at : opening) {
        size_t word = at;
        while (word < translation.size() && IsMark(translation[word]))
            ++word;
        if (HasWordWithoutMark(source, WordAt(translation, word), translation[at])) take(at);
    }
    for (size_t at : opening)
        take(at);
    std::string out;
    out.reserve(translation.size());
    for (size_t at = 0; at < translation.size(); ++at)
        if (!drop[at]) out += translation[at];
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
    // Plain text both ways (APy's default treats the text as HTML). Unknown words come back
    // marked: APy's own unmarking removes every "*", the user's too; ours keeps those.
    httplib::Params params{{"langpair", pair.LangPair()}, {"q", utf8Text}, {"format", "txt"}};
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
                          const std::function<void(const std::string&)>& report,
                          const std::atomic<bool>* quit)
{
    auto quitting = [quit] { return quit && quit->load(); };
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
            auto warmOne = [&](const ApertiumPair& pair) {
                ApertiumResult r =
                    TranslateOn(*service, pair, "1",
                                Deadlines::Clock::now() + std::chrono::seconds(timeoutSeconds));
                if (r.kind != ApertiumResult::Kind::Ok)
                    say("warming " + pair.LangPair() + " at " + service->address + ": " +
                        r.problem);
            };
            for (size_t i = 0; i < first.size() && !quitting(); ++i)
                warmOne(first[i]);
            if (leader) firstReady.set_value();
            if (!all) return;
            auto client = Take(*service);
            nlohmann::json list;
            // Asked until it answers: the services may start after the gateway. Said once.
            for (int attempt = 0; !quitting(); ++attempt) {
                httplib::Result reply = client->Get("/listPairs");
                list =
                    reply ? nlohmann::json::parse(reply->body, nullptr, false) : nlohmann::json();
                if (list.is_object() && list.contains("responseData") &&
                    list["responseData"].is_array())
                    break;
                list = nlohmann::json();
                if (attempt == 0)
                    say("no list of pairs from " + service->address +
                        " yet; asking again every second");
                for (int i = 0; i < 10 && !quitting(); ++i)
                    std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
            if (list.is_null()) return;
            Give(*service, std::move(client));
            for (const auto& entry : list["responseData"]) {
                if (quitting()) return;
                const auto source = entry.is_object() ? entry.find("sourceLanguage") : entry.end();
                const auto target = entry.is_object() ? entry.find("targetLanguage") : entry.end();
                if (source == entry.end() || target == entry.end() || !source->is_string() ||
                    !target->is_string())
                    continue;
                ApertiumPair pair{source->get<std::string>(), target->get<std::string>()};
                if (IsGatewayApertiumCode(pair.source) && IsGatewayApertiumCode(pair.target) &&
                    std::find(first.begin(), first.end(), pair) == first.end())
                    warmOne(pair);
            }
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
