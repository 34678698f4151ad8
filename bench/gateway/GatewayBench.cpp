// The local translation service against its targets, with the real Apertium service, in one run:
//   the anchor: one Apertium service (a single APy process) asked directly over a kept-open
//     connection, and also as the translators ask, 1 client and 8;
//   then the service as the session starts it (one APy process per core behind talvero-gateway,
//   every installed pair warmed in the background):
//   first translation after start: <= 2 s;
//   first request of each installed pair once warming is done: <= 60 ms;
//   a Translate with the three web rows, warm, 6-word phrase: median <= 60 ms;
//   8 concurrent clients: >= 1.5x the anchor's translations per second;
//   1 client: median <= 1.15x the anchor's.
// Every phrase is different, so that no answer comes from the gateway's memory. The anchor and
// the gateway are measured in alternating rounds, so that both meet the same load.
// Usage: gateway_bench SOURCE_DIR GATEWAY_BINARY [APY-OPTION...]
//   TALVERO_APERTIUM_SERVICES=N: N services behind the gateway instead of one per core.

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/TranslationDispatch.h"
#include "catalogue/Catalogue.h"
#include "gateway/Apertium.h"
#include "tests/support/ChildProcess.h"
#include "web/HttpRetriever.h"
#include "web/Translators.h"

namespace talvero {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double MsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

int Pair(PairList list)
{
    return PairNumberForPosition(list, PositionOfSettingsName(list, "SPANISH TO ENGLISH").value());
}

int GooglePair(const std::string& code)
{
    for (int n = 0; n < 529; ++n)
        if (Translator::PairCode(n) == code) return n;
    return -1;
}

// Six-word Spanish phrases, each one different (its number).
std::string Phrase(int i)
{
    static const char* subjects[] = {"el perro", "la niña", "mi hermano", "el gato", "la mujer"};
    static const char* verbs[] = {"come", "busca", "quiere", "compra", "mira", "tiene"};
    static const char* objects[] = {"manzanas rojas", "libros nuevos", "casas grandes",
                                    "coches azules",  "cartas largas", "panes blancos"};
    return std::string(subjects[i % 5]) + " " + verbs[(i / 5) % 6] + " " + std::to_string(i) + " " +
           objects[(i / 30) % 6];
}

std::string Escape(const std::string& text)
{
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c)) {
            out += static_cast<char>(c);
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            out += hex;
        }
    }
    return out;
}

std::string Load()
{
    std::ifstream in("/proc/loadavg");
    std::string one, five;
    in >> one >> five;
    return one + " " + five;
}

// `translate(i)` for phrase numbers from `first`, one client, each time in ms added to `times`.
void OneClient(const std::function<bool(int)>& translate, int first, int count,
               std::vector<double>& times)
{
    for (int i = 0; i < count; ++i) {
        auto t = Clock::now();
        translate(first + i);
        times.push_back(MsSince(t));
    }
}

double Median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return times.empty() ? 0 : times[times.size() / 2];
}

double OneClientMedian(const std::function<bool(int)>& translate, int first, int count = 60)
{
    std::vector<double> times;
    OneClient(translate, first, count, times);
    return Median(times);
}

// The machine is shared and its load moves by the second: the anchor and the service are
// measured in alternating rounds, so that both meet the same load.
struct Rounds {
    std::vector<double> times;
    int done = 0, failed = 0;
    double seconds = 0;
};

// `clients` at once for `seconds`, each its own phrases from `first`: translations per second.
double Throughput(const std::function<bool(int)>& translate, int first, int clients = 8,
                  int seconds = 5, int* failedOut = nullptr, int* doneOut = nullptr)
{
    std::atomic<int> done{0}, failed{0};
    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    auto t = Clock::now();
    for (int c = 0; c < clients; ++c)
        threads.emplace_back([&, c] {
            for (int i = first + c; !stop; i += clients)
                (translate(i) ? done : failed)++;
        });
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    stop = true;
    for (auto& thread : threads)
        thread.join();
    if (failedOut) *failedOut = failed;
    if (doneOut) *doneOut = done;
    return done / (MsSince(t) / 1000.0);
}

bool WaitForLine(const std::string& file, const std::string& text, int timeoutMs)
{
    auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Clock::now() < end) {
        std::ifstream in(file);
        std::stringstream all;
        all << in.rdbuf();
        if (all.str().find(text) != std::string::npos) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

}  // namespace

}  // namespace talvero

int main(int argc, char** argv)
{
    using namespace talvero;
    if (argc < 3) {
        std::fprintf(stderr, "usage: gateway_bench SOURCE_DIR GATEWAY_BINARY [APY-OPTION...]\n");
        return 2;
    }
    std::string source = argv[1], gatewayBinary = argv[2];
    std::vector<std::string> apyOptions(argv + 3, argv + argc);
    int serviceCount = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    if (const char* n = std::getenv("TALVERO_APERTIUM_SERVICES")) serviceCount = std::atoi(n);
    char tmpl[] = "/tmp/talvero-gateway-bench-XXXXXX";
    if (!mkdtemp(tmpl)) return 1;
    fs::path dir = tmpl;
    std::printf("load average at start (1, 5 min): %s; %u cores\n", Load().c_str(),
                std::thread::hardware_concurrency());

    // --- The anchor: one Apertium service alone ----------------------------------------------
    pid_t anchorPid = SpawnGroup(ApertiumServiceCommand(source, (dir / "anchor.port").string()),
                                 (dir / "anchor.log").string());
    int anchorPort = WaitForPortFile((dir / "anchor.port").string());
    // APy at its best: a kept-open connection without Nagle's delay, as the gateway asks it.
    // Beside it, for the 1-client median, the way the translators ask the gateway (the
    // program's HTTP client, a form post, a connection per request).
    ApertiumClient anchor("http://127.0.0.1:" + std::to_string(anchorPort));
    auto direct = [&](int i) {
        return anchor.Translate({"spa", "eng"}, Phrase(i)).kind == ApertiumResult::Kind::Ok;
    };
    std::string anchorUrl = "http://127.0.0.1:" + std::to_string(anchorPort) + "/translate";
    auto directForm = [&](int i) {
        std::string body = "langpair=spa%7Ceng&markUnknown=no&format=txt&q=" + Escape(Phrase(i));
        CHttpRetriever client;
        const char* reply =
            client.ReadAll(anchorUrl.c_str(), body.c_str(), static_cast<long>(body.size()));
        return reply && client.GetStatusCode() == 200;
    };
    if (anchorPort > 0) Throughput(direct, 900000, 8, 1);  // its pipeline started and warm

    // --- The service as the session starts it: first translation after start ------------------
    auto start = Clock::now();
    std::vector<pid_t> apyPids;
    std::vector<std::string> gatewayCommand{gatewayBinary,
                                            "--port",
                                            "0",
                                            "--port-file",
                                            (dir / "gateway.port").string(),
                                            "--database",
                                            (dir / "uploads.sqlite").string(),
                                            "--warm",
                                            "es|en",
                                            "--warm",
                                            "all"};
    bool ok = anchorPort > 0;
    for (int s = 0; s < serviceCount; ++s) {
        std::string n = std::to_string(s);
        apyPids.push_back(SpawnGroup(
            ApertiumServiceCommand(source, (dir / ("apy" + n + ".port")).string(), apyOptions),
            (dir / ("apy" + n + ".log")).string()));
    }
    for (int s = 0; s < serviceCount; ++s) {
        int port = WaitForPortFile((dir / ("apy" + std::to_string(s) + ".port")).string());
        ok = ok && port > 0;
        gatewayCommand.push_back("--apertium");
        gatewayCommand.push_back("http://127.0.0.1:" + std::to_string(port));
    }
    double apyMs = MsSince(start);
    std::string gatewayLog = (dir / "gateway.log").string();
    pid_t gatewayPid = SpawnGroup(gatewayCommand, gatewayLog);
    int gatewayPort = WaitForPortFile((dir / "gateway.port").string());
    double gatewayMs = MsSince(start);
    std::string base = "http://127.0.0.1:" + std::to_string(gatewayPort);
    auto firstStart = Clock::now();
    Translator first(Phrase(0), Pair(PairList::Google), base);
    first.Retrieve();
    double firstMs = MsSince(firstStart);
    double totalMs = MsSince(start);
    ok = ok && gatewayPort > 0 && first.GetErrorFlag() == 0;
    std::printf(
        "first translation after start: %.0f ms in all (%d Apertium services listening "
        "after %.0f ms, gateway after %.0f ms, the translation itself %.0f ms: \"%s\")  "
        "target <= 2000 ms\n",
        totalMs, serviceCount, apyMs, gatewayMs, firstMs, first.GetResult().c_str());

    if (ok) {
        // --- First request of each installed pair once warming is done ----------------------
        bool warmed = WaitForLine(gatewayLog, "warming done", 60000);
        std::printf("warming of every pair done after %.0f ms%s\n", MsSince(start),
                    warmed ? "" : " (not reported within 60 s)");
        int phrase = 300000;
        double worst = 0;
        std::string each;
        for (const char* code : {"es|en", "en|es", "es|fr", "fr|es", "es|pt", "pt|es"}) {
            auto t = Clock::now();
            Translator tr(code[0] == 'e' && code[1] == 's' ? Phrase(++phrase)
                          : code[0] == 'e' ? "the dog eats " + std::to_string(++phrase)
                                           : "le " + std::to_string(++phrase),
                          GooglePair(code), base);
            tr.Retrieve();
            double ms = MsSince(t);
            worst = std::max(worst, ms);
            char item[64];
            std::snprintf(item, sizeof item, "%s%s %.0f ms%s", each.empty() ? "" : ", ", code, ms,
                          tr.GetErrorFlag() ? " (failed)" : "");
            each += item;
        }
        std::printf(
            "first request of each installed pair after warming: %s; worst %.0f ms  "
            "target <= 60 ms\n",
            each.c_str(), worst);

        // --- A Translate with the three web rows, warm ----------------------------------------
        Services services;
        services.googleFormAddress = services.babelfishFormAddress =
            services.freeTranslationFormAddress = base;
        TranslateEngines engines{MakeWebEngineRunner(services), {}};
        Settings settings;
        settings.useGoogle = settings.useBabelfish = settings.useFreeTranslation = true;
        settings.useLocalDictionary = false;
        settings.googlePairPosition =
            *PositionOfSettingsName(PairList::Google, "SPANISH TO ENGLISH");
        settings.babelfishPairPosition =
            *PositionOfSettingsName(PairList::Babelfish, "SPANISH TO ENGLISH");
        settings.freeTranslationPairPosition =
            *PositionOfSettingsName(PairList::FreeTranslation, "SPANISH TO ENGLISH");
        int failed = 0;
        auto threeRows = [&](int i) {
            TranslateOutcome o = RunTranslate(Phrase(i), settings, engines);
            for (int e = 0; e < kWebEngineCount; ++e)
                failed += o.engines[e].outcome != EngineOutcome::Changed;
            return true;
        };
        double rowsMedian = OneClientMedian(threeRows, 400000);
        std::printf(
            "Translate, three web rows, 6-word phrase, warm: median %.1f ms (%d rows "
            "failed)  target median <= 60 ms\n",
            rowsMedian, failed);

        // --- Against the anchor ---------------------------------------------------------------
        auto viaGateway = [&](int i) {
            Translator tr(Phrase(i), Pair(PairList::Google), base);
            tr.Retrieve();
            return tr.GetErrorFlag() == 0;
        };
        Throughput(viaGateway, 800000, 8, 1);  // every service's pipeline busy once
        Rounds anchorRounds, formRounds, gatewayRounds;
        for (int round = 0; round < 4; ++round) {
            OneClient(direct, 100000 + 20 * round, 20, anchorRounds.times);
            OneClient(directForm, 150000 + 20 * round, 20, formRounds.times);
            OneClient(viaGateway, 500000 + 20 * round, 20, gatewayRounds.times);
        }
        for (int round = 0; round < 4; ++round) {
            struct Side {
                Rounds* rounds;
                std::function<bool(int)> translate;
                int first;
            };
            for (const Side& side :
                 {Side{&anchorRounds, direct, 200000}, Side{&formRounds, directForm, 250000},
                  Side{&gatewayRounds, viaGateway, 600000}}) {
                int done = 0, failed = 0;
                auto t = Clock::now();
                Throughput(side.translate, side.first + 10000 * round, 8, 2, &failed, &done);
                side.rounds->seconds += MsSince(t) / 1000.0;
                side.rounds->done += done;
                side.rounds->failed += failed;
            }
        }
        double anchorMedian = Median(anchorRounds.times), formMedian = Median(formRounds.times),
               gatewayMedian = Median(gatewayRounds.times);
        double anchorRate = anchorRounds.done / anchorRounds.seconds,
               formRate = formRounds.done / formRounds.seconds,
               gatewayRate = gatewayRounds.done / gatewayRounds.seconds;
        std::printf(
            "anchor, one Apertium service asked directly (4 rounds, alternating with the "
            "gateway): 1 client median %.1f ms, 8 clients %.0f translations/s; asked as the "
            "translators ask: %.1f ms, %.0f/s\n",
            anchorMedian, anchorRate, formMedian, formRate);
        std::printf(
            "1 client through the gateway: median %.1f ms = %.2fx the anchor's %.1f ms "
            "(%.2fx asked alike)  target <= 1.15x\n",
            gatewayMedian, gatewayMedian / anchorMedian, anchorMedian, gatewayMedian / formMedian);
        std::printf(
            "8 clients through the gateway: %.0f translations/s (%d failed) = %.2fx the "
            "anchor's %.0f/s (%.2fx asked alike)  target >= 1.5x\n",
            gatewayRate, gatewayRounds.failed, gatewayRate / anchorRate, anchorRate,
            gatewayRate / formRate);
    } else {
        std::printf("the services did not start; see %s\n", dir.c_str());
    }
    std::printf("load average at the end (1, 5 min): %s\n", Load().c_str());

    StopGroup(gatewayPid);
    StopGroup(anchorPid);
    for (pid_t pid : apyPids)
        StopGroup(pid);
    if (ok) fs::remove_all(dir);
    return ok ? 0 : 1;
}
