// The local translation service against its targets, with the real Apertium service:
//   first translation after start (Apertium's service and talvero-gateway started fresh): <= 2 s;
//   a Translate with the three web rows through the gateway, once warm, 6-word phrase: median
//     <= 60 ms;
//   translations per second through one gateway with 8 concurrent clients: >= 100.
// Usage: gateway_bench SOURCE_DIR GATEWAY_BINARY [APY-OPTION...]

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "app/TranslationDispatch.h"
#include "catalogue/Catalogue.h"
#include "tests/gateway/ChildProcess.h"
#include "web/Translators.h"

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

// Six-word Spanish phrases, each one different (its number), so that no answer comes from the
// gateway's memory of recent translations.
std::string Phrase(int i)
{
    static const char* subjects[] = {"el perro", "la niña", "mi hermano", "el gato", "la mujer"};
    static const char* verbs[] = {"come", "busca", "quiere", "compra", "mira", "tiene"};
    static const char* objects[] = {"manzanas rojas", "libros nuevos", "casas grandes",
                                    "coches azules",  "cartas largas", "panes blancos"};
    return std::string(subjects[i % 5]) + " " + verbs[(i / 5) % 6] + " " + std::to_string(i) + " " +
           objects[(i / 30) % 6];
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: gateway_bench SOURCE_DIR GATEWAY_BINARY [APY-OPTION...]\n");
        return 2;
    }
    std::string source = argv[1], gatewayBinary = argv[2];
    char tmpl[] = "/tmp/talvero-gateway-bench-XXXXXX";
    if (!mkdtemp(tmpl)) return 1;
    fs::path dir = tmpl;

    // --- First translation after start ----------------------------------------------------
    auto start = Clock::now();
    pid_t apyPid =
        SpawnGroup(ApertiumServiceCommand(source, (dir / "apy.port").string(),
                                          std::vector<std::string>(argv + 3, argv + argc)),
                   (dir / "apy.log").string());
    int apyPort = WaitForPortFile((dir / "apy.port").string());
    double apyMs = MsSince(start);
    pid_t gatewayPid =
        SpawnGroup({gatewayBinary, "--port", "0", "--port-file", (dir / "gateway.port").string(),
                    "--apertium", "http://127.0.0.1:" + std::to_string(apyPort), "--database",
                    (dir / "uploads.sqlite").string(), "--warm", "es|en"},
                   (dir / "gateway.log").string());
    int gatewayPort = WaitForPortFile((dir / "gateway.port").string());
    double gatewayMs = MsSince(start);
    std::string base = "http://127.0.0.1:" + std::to_string(gatewayPort);
    auto firstStart = Clock::now();
    Translator first(Phrase(0), Pair(PairList::Google), base);
    first.Retrieve();
    double firstMs = MsSince(firstStart);
    double totalMs = MsSince(start);
    bool ok = apyPort > 0 && gatewayPort > 0 && first.GetErrorFlag() == 0;
    std::printf(
        "first translation after start: %.0f ms in all (Apertium's service listening "
        "after %.0f ms, gateway after %.0f ms, the translation itself %.0f ms: \"%s\")  "
        "target <= 2000 ms\n",
        totalMs, apyMs, gatewayMs, firstMs, first.GetResult().c_str());

    if (ok) {
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
        for (int i = 0; i < 5; ++i)
            RunTranslate(Phrase(i), settings, engines);  // warm-up
        std::vector<double> times;
        int failed = 0;
        for (int i = 0; i < 60; ++i) {
            auto t = Clock::now();
            TranslateOutcome o = RunTranslate(Phrase(i), settings, engines);
            times.push_back(MsSince(t));
            for (int e = 0; e < kWebEngineCount; ++e)
                failed += o.engines[e].outcome != EngineOutcome::Changed;
        }
        std::sort(times.begin(), times.end());
        std::printf(
            "Translate, three web rows, 6-word phrase, warm: median %.1f ms, 90th "
            "percentile %.1f ms over %zu runs (%d rows failed)  target median <= 60 ms\n",
            times[times.size() / 2], times[times.size() * 9 / 10], times.size(), failed);

        // --- Throughput with 8 concurrent clients -------------------------------------------
        std::atomic<int> done{0}, errors{0};
        std::atomic<bool> stop{false};
        std::vector<std::thread> clients;
        auto t = Clock::now();
        for (int c = 0; c < 8; ++c)
            clients.emplace_back([&, c] {
                for (int i = c; !stop; i += 8) {
                    Translator tr(Phrase(i), Pair(PairList::Google), base);
                    tr.Retrieve();
                    (tr.GetErrorFlag() == 0 ? done : errors)++;
                }
            });
        std::this_thread::sleep_for(std::chrono::seconds(5));
        stop = true;
        for (auto& c : clients)
            c.join();
        double seconds = MsSince(t) / 1000.0;
        std::printf(
            "8 concurrent clients: %.0f translations/s (%d in %.1f s, %d failed)  "
            "target >= 100/s\n",
            done / seconds, done.load(), seconds, errors.load());
    } else {
        std::printf("the services did not start; see %s\n", dir.c_str());
    }

    StopGroup(gatewayPid);
    StopGroup(apyPid);
    if (ok) fs::remove_all(dir);
    return ok ? 0 : 1;
}
