// Translate with the three web engines against loopback servers that answer after 300 ms (the
// engines run at the same time, so one run should take little more than 300 ms), the same three
// requests one after the other for comparison, and the cost of one translator request against a
// server that answers at once; and the text extraction of a reply as large as the body cap.
#include <benchmark/benchmark.h>

#include <curl/curl.h>

#include <chrono>
#include <cstdlib>
#include <type_traits>

#include "app/TranslationDispatch.h"
#include "tests/support/LoopbackServer.h"
#include "web/Translators.h"

namespace talvero {

namespace {

constexpr int kDelayMs = 300;

double MsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

struct ThreeServices {
    loopback::HttpServer google, babel, free;
    Services services;
    explicit ThreeServices(int delayMs)
    {
        google.SetReply({200, loopback::GooglePage("hello"), "text/html", delayMs});
        babel.SetReply({200, loopback::BabelfishPage("hello"), "text/html", delayMs});
        free.SetReply({200, loopback::FreeTranslationPage("hello"), "text/html", delayMs});
        services.googleFormAddress = google.BaseAddress();
        services.babelfishFormAddress = babel.BaseAddress();
        services.freeTranslationFormAddress = free.BaseAddress();
    }
};

Settings AllWeb()
{
    Settings s;
    s.useGoogle = s.useBabelfish = s.useFreeTranslation = true;
    s.useLocalDictionary = false;
    s.speakGoogle = s.speakBabelfish = s.speakFreeTranslation = true;
    return s;
}

void BM_TranslateThreeWebEngines(benchmark::State& state)
{
    ThreeServices three(kDelayMs);
    TranslateEngines engines{MakeWebEngineRunner(three.services), {}};
    Settings settings = AllWeb();
    double totalMs = 0;  // run time as a multiple of one answer's delay: target at most 1.2
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        TranslateOutcome o = RunTranslate("hola mundo", settings, engines);
        totalMs += MsSince(start);
        if (o.speakQueue.size() != 3) state.SkipWithError("an engine failed");
        benchmark::DoNotOptimize(o);
    }
    state.counters["x300ms"] = totalMs / static_cast<double>(state.iterations()) / kDelayMs;
}
BENCHMARK(BM_TranslateThreeWebEngines)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(10);

void BM_ThreeEnginesOneAfterTheOther(benchmark::State& state)
{
    ThreeServices three(kDelayMs);
    WebEngineRunner runner = MakeWebEngineRunner(three.services);
    double totalMs = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        for (Engine e : {Engine::Google, Engine::Babelfish, Engine::FreeTranslation}) {
            WebAnswer a = runner(e, "hola mundo", 0);
            if (a.failed) state.SkipWithError("an engine failed");
        }
        totalMs += MsSince(start);
    }
    state.counters["x300ms"] = totalMs / static_cast<double>(state.iterations()) / kDelayMs;
}
BENCHMARK(BM_ThreeEnginesOneAfterTheOther)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);

// One whole translator request: form body, client, POST, read, status, parse, tidy.
template <typename T>
void BM_TranslatorRequest(benchmark::State& state)
{
    loopback::HttpServer server;
    std::string page = std::is_same_v<T, Translator> ? loopback::GooglePage("hello")
                       : std::is_same_v<T, BabelfishTranslator>
                           ? loopback::BabelfishPage("hello")
                           : loopback::FreeTranslationPage("hello");
    server.SetReply({200, page});
    for (auto _ : state) {
        T t("hola mundo & co", 5, server.BaseAddress());
        t.Retrieve();
        if (t.GetErrorFlag() != 0) state.SkipWithError("request failed");
    }
}
BENCHMARK_TEMPLATE(BM_TranslatorRequest, Translator)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime()
    ->MinTime(2.0);
BENCHMARK_TEMPLATE(BM_TranslatorRequest, BabelfishTranslator)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime()
    ->MinTime(2.0);
BENCHMARK_TEMPLATE(BM_TranslatorRequest, FreeTranslationTranslator)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime()
    ->MinTime(2.0);

// The same server with a bare libcurl POST on a fresh handle, as each translator request makes
// one: what the loopback round trip costs by itself. The translator's overhead is the difference.
size_t Discard(char*, size_t size, size_t count, void*)
{
    return size * count;
}

void BM_BareCurlPost(benchmark::State& state)
{
    loopback::HttpServer server;
    server.SetReply({200, loopback::GooglePage("hello")});
    std::string url = server.BaseAddress() + "/translate_t";
    EnsureHttpLibrary();
    for (auto _ : state) {
        CURL* h = curl_easy_init();
        curl_easy_setopt(h, CURLOPT_URL, url.c_str());
        curl_easy_setopt(h, CURLOPT_POSTFIELDS, "text=hola");
        curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &Discard);
        curl_easy_setopt(h, CURLOPT_PROXY, "");
        if (curl_easy_perform(h) != CURLE_OK) state.SkipWithError("request failed");
        curl_easy_cleanup(h);
    }
}
BENCHMARK(BM_BareCurlPost)->Unit(benchmark::kMicrosecond)->UseRealTime()->MinTime(2.0);

// Tag removal and entity decoding of a reply as large as the body cap, full of entities in both
// letter cases: one pass per entity step, so well under a second.
void BM_StripHtmlPageAtTheBodyCap(benchmark::State& state)
{
    const std::string unit = "&AMP;x&amp;&nbsp;<b>y</b>&#39;";
    std::string page;
    while (page.size() + unit.size() <= HttpLimits{}.maxBodyBytes)
        page += unit;
    for (auto _ : state) {
        std::string text = page;
        CWebResourceProvider::StripHtml(text);
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_StripHtmlPageAtTheBodyCap)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

}  // namespace talvero

BENCHMARK_MAIN();
