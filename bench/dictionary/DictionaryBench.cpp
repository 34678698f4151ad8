// Benchmarks of the local dictionary against std::unordered_map loaded from the same file.
// Inputs: TALVERO_BENCH_REAL (a converted real dictionary) and TALVERO_BENCH_1M (a generated
// file of a million pairs), as scripts/make-bench-data.sh writes them;
// scripts/bench.sh dictionary runs everything.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/TextFile.h"
#include "dictionary/LocalDictionary.h"

namespace talvero {

namespace {

using Map = std::unordered_map<std::string, std::string>;

size_t HeapInUse()
{
    struct mallinfo2 mi = mallinfo2();
    return mi.uordblks + mi.hblkhd;
}

// The baseline: read the file, split its lines, keep the last translation of each original.
void LoadMap(const std::string& path, Map& map)
{
    std::string text;
    ReadWholeFile(path, text);
    size_t lines = static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
    map.clear();
    map.reserve(lines / 2 + 1);
    size_t pos = 0;
    auto next = [&](std::string_view& line) {
        size_t nl = text.find('\n', pos);
        size_t end = nl == std::string::npos ? text.size() : nl;
        size_t len = end - pos;
        if (nl != std::string::npos && len > 0 && text[end - 1] == '\r') --len;
        line = std::string_view(text).substr(pos, len);
        pos = nl == std::string::npos ? text.size() : nl + 1;
    };
    while (pos < text.size()) {
        std::string_view original, translation;
        next(original);
        if (pos < text.size()) next(translation);
        if (!original.empty())
            map.insert_or_assign(std::string(original), std::string(translation));
    }
}

struct Input {
    std::string path;
    std::unique_ptr<LocalDictionary> dictionary;
    Map map;
    std::vector<std::string> hits, misses;
    std::vector<std::string> prefixes[5];  // by length 1, 2, 4
    std::vector<std::string> words;        // single-word originals
};

const std::string& PathOf(int which)
{
    static const std::string real =
        getenv("TALVERO_BENCH_REAL") ? getenv("TALVERO_BENCH_REAL") : "";
    static const std::string big = getenv("TALVERO_BENCH_1M") ? getenv("TALVERO_BENCH_1M") : "";
    return which == 0 ? real : big;
}

const char* kNoFile = "/nonexistent/personal.txt";

Input& Get(int which)
{
    static std::unique_ptr<Input> inputs[2];
    if (!inputs[which]) {
        auto in = std::make_unique<Input>();
        in->path = PathOf(which);
        in->dictionary = std::make_unique<LocalDictionary>();
        in->dictionary->Load(in->path, kNoFile);
        LoadMap(in->path, in->map);
        std::vector<std::string> keys;
        keys.reserve(in->map.size());
        for (const auto& kv : in->map)
            keys.push_back(kv.first);
        std::sort(keys.begin(), keys.end());
        std::mt19937 rng(42);
        for (int i = 0; i < 65536; ++i) {
            const std::string& k = keys[rng() % keys.size()];
            in->hits.push_back(k);
            std::string miss = k;
            miss.insert(miss.begin() + static_cast<long>(rng() % (miss.size() + 1)), '#');
            in->misses.push_back(miss);
        }
        for (int len : {1, 2, 4}) {
            while (in->prefixes[len].size() < 64) {
                const std::string& k = keys[rng() % keys.size()];
                if (k.size() >= static_cast<size_t>(len))
                    in->prefixes[len].push_back(k.substr(0, len));
            }
        }
        for (const std::string& k : keys) {
            if (k.find(' ') == std::string::npos && k.size() > 2) in->words.push_back(k);
        }
        inputs[which] = std::move(in);
    }
    return *inputs[which];
}

bool HaveInput(benchmark::State& state, int which)
{
    if (PathOf(which).empty() || !std::filesystem::exists(PathOf(which))) {
        state.SkipWithError("input file not set (TALVERO_BENCH_REAL / TALVERO_BENCH_1M)");
        return false;
    }
    return true;
}

void BM_LoadTree(benchmark::State& state)
{
    const int which = static_cast<int>(state.range(0));
    if (!HaveInput(state, which)) return;
    size_t bytes = 0, pairs = 0;
    for (auto _ : state) {
        size_t before = HeapInUse();
        auto d = std::make_unique<LocalDictionary>();
        d->Load(PathOf(which), kNoFile);
        // The nodes are mapped outside the heap.
        bytes = HeapInUse() - before + d->Tree().NodeCount() * sizeof(CTSTNode);
        pairs = d->Entries().size();
        state.PauseTiming();
        d.reset();
        state.ResumeTiming();
    }
    state.counters["pairs"] = static_cast<double>(pairs);
    state.counters["bytes_per_pair"] = static_cast<double>(bytes) / static_cast<double>(pairs);
}

void BM_LoadMap(benchmark::State& state)
{
    const int which = static_cast<int>(state.range(0));
    if (!HaveInput(state, which)) return;
    size_t bytes = 0, pairs = 0;
    for (auto _ : state) {
        size_t before = HeapInUse();
        auto map = std::make_unique<Map>();
        LoadMap(PathOf(which), *map);
        bytes = HeapInUse() - before;
        pairs = map->size();
        state.PauseTiming();
        map.reset();
        state.ResumeTiming();
    }
    state.counters["bytes_per_pair"] = static_cast<double>(bytes) / static_cast<double>(pairs);
}

// The exact lookup behind LookUpPhrase on a cache miss and the near list's double-click.
template <bool kHit>
void BM_FindTree(benchmark::State& state)
{
    const int which = static_cast<int>(state.range(0));
    if (!HaveInput(state, which)) return;
    Input& in = Get(which);
    const auto& keys = kHit ? in.hits : in.misses;
    const EntryTable& table = in.dictionary->Entries();
    size_t i = 0, found = 0;
    for (auto _ : state) {
        const int32_t entry = in.dictionary->Tree().FindEntry(keys[i++ & 65535]);
        if (entry >= 0) {
            std::string_view t = table.Translation(static_cast<uint32_t>(entry));
            benchmark::DoNotOptimize(t.data());
            ++found;
        }
    }
    if (found != (kHit ? static_cast<size_t>(state.iterations()) : 0)) {
        state.SkipWithError("wrong answers");
    }
}

// The walk down the tree to where a text ends (what a near search starts with).
template <bool kHit>
void BM_FindPosition(benchmark::State& state)
{
    const int which = static_cast<int>(state.range(0));
    if (!HaveInput(state, which)) return;
    Input& in = Get(which);
    const auto& keys = kHit ? in.hits : in.misses;
    size_t i = 0;
    for (auto _ : state) {
        auto pos = in.dictionary->Tree().Find(keys[i++ & 65535]);
        benchmark::DoNotOptimize(pos);
    }
}

template <bool kHit>
void BM_FindMap(benchmark::State& state)
{
    const int which = static_cast<int>(state.range(0));
    if (!HaveInput(state, which)) return;
    Input& in = Get(which);
    const auto& keys = kHit ? in.hits : in.misses;
    size_t i = 0;
    for (auto _ : state) {
        auto it = in.map.find(keys[i++ & 65535]);
        if (it != in.map.end()) benchmark::DoNotOptimize(it->second.data());
    }
}

void BM_NearTree(benchmark::State& state)
{
    const int which = static_cast<int>(state.range(0));
    if (!HaveInput(state, which)) return;
    Input& in = Get(which);
    const auto& prefixes = in.prefixes[state.range(1)];
    CTernarySearchTree& tree = in.dictionary->Tree();
    size_t i = 0, results = 0;
    for (auto _ : state) {
        tree.nearList.clear();
        tree.CollectNear(prefixes[i++ & 63]);
        results += tree.nearList.size();
    }
    state.counters["results"] =
        static_cast<double>(results) / static_cast<double>(state.iterations());
}

// What a hash map needs for the same answer: scan every key, then sort in the tree's order.
bool TreeOrderLess(std::string_view a, std::string_view b)
{
    size_t n = std::min(a.size(), b.size());
    for (size_t k = 0; k < n; ++k) {
        signed char x = static_cast<signed char>(a[k]), y = static_cast<signed char>(b[k]);
        if (x != y) return x < y;
    }
    return a.size() > b.size();
}

void BM_NearMap(benchmark::State& state)
{
    const int which = static_cast<int>(state.range(0));
    if (!HaveInput(state, which)) return;
    Input& in = Get(which);
    const auto& prefixes = in.prefixes[state.range(1)];
    size_t i = 0;
    std::vector<std::string> out;
    for (auto _ : state) {
        const std::string& p = prefixes[i++ & 63];
        out.clear();
        for (const auto& kv : in.map) {
            if (kv.first.compare(0, p.size(), p) == 0) out.push_back(kv.first);
        }
        std::sort(out.begin(), out.end(), TreeOrderLess);
        benchmark::DoNotOptimize(out.data());
    }
}

void BM_AddTranslation(benchmark::State& state)
{
    const int which = static_cast<int>(state.range(0));
    if (!HaveInput(state, which)) return;
    Input& in = Get(which);
    char dir[] = "/tmp/talvero-bench-XXXXXX";
    if (!mkdtemp(dir)) {
        state.SkipWithError("no temporary directory");
        return;
    }
    LocalDictionary& d = *in.dictionary;
    const std::string personal = d.personalDictionaryFile;
    const std::string news = d.newTranslationsFile;
    d.personalDictionaryFile = std::string(dir) + "/personal.txt";
    d.newTranslationsFile = std::string(dir) + "/newtranslationsadded.txt";
    std::ofstream(d.newTranslationsFile).flush();
    std::mt19937 rng(7);
    size_t n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::string original = in.words[rng() % in.words.size()] + " nuevo " + std::to_string(n++);
        state.ResumeTiming();
        d.AddTranslation(original, "new translation");
    }
    d.personalDictionaryFile = personal;
    d.newTranslationsFile = news;
    std::filesystem::remove_all(dir);
}

// 10,000 additions in a row on a freshly loaded dictionary, each timed alone: the slowest is
// what a user may meet, when a buffer or index outgrows its room. Both the elapsed time and the
// thread's CPU time are taken: on a shared machine the first also holds time given to others.
void BM_AdditionWorst(benchmark::State& state)
{
    const int which = static_cast<int>(state.range(0));
    if (!HaveInput(state, which)) return;
    Input& in = Get(which);
    char dir[] = "/tmp/talvero-bench-XXXXXX";
    if (!mkdtemp(dir)) {
        state.SkipWithError("no temporary directory");
        return;
    }
    std::vector<double> micros, cpuMicros;
    auto threadCpu = [] {
        timespec ts{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        return static_cast<double>(ts.tv_sec) * 1e6 + static_cast<double>(ts.tv_nsec) / 1e3;
    };
    for (auto _ : state) {
        state.PauseTiming();
        LocalDictionary d;
        d.Load(PathOf(which), kNoFile);
        d.personalDictionaryFile = std::string(dir) + "/personal.txt";
        d.newTranslationsFile = std::string(dir) + "/newtranslationsadded.txt";
        std::ofstream(d.newTranslationsFile).flush();
        std::mt19937 rng(7);
        std::vector<std::string> originals;
        for (int n = 0; n < 10000; ++n)
            originals.push_back(in.words[rng() % in.words.size()] + " nuevo " + std::to_string(n));
        micros.clear();
        cpuMicros.clear();
        state.ResumeTiming();
        for (const std::string& original : originals) {
            const double cpu = threadCpu();
            const auto start = std::chrono::steady_clock::now();
            d.AddTranslation(original, "new translation");
            micros.push_back(
                std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                    .count());
            cpuMicros.push_back(threadCpu() - cpu);
        }
    }
    std::sort(micros.begin(), micros.end());
    std::sort(cpuMicros.begin(), cpuMicros.end());
    state.counters["cpu_max_us"] = cpuMicros.back();
    state.counters["median_us"] = micros[micros.size() / 2];
    state.counters["p999_us"] = micros[micros.size() * 999 / 1000];
    state.counters["max_us"] = micros.back();
    std::filesystem::remove_all(dir);
}

// The Translate action's local step on an 8-word phrase with a cold cache. With `kLastKnown`
// false the last word is in no entry, so every split has to be tried.
template <bool kLastKnown>
void BM_TranslateLocal(benchmark::State& state)
{
    const int which = static_cast<int>(state.range(0));
    if (!HaveInput(state, which)) return;
    Input& in = Get(which);
    LocalDictionary& d = *in.dictionary;
    std::string trace;
    d.SetTraceSink([&trace](std::string_view line) { trace.append(line); });
    std::mt19937 rng(11);
    Settings settings;
    std::vector<std::string> phrases;
    for (int p = 0; p < 16; ++p) {
        std::string phrase;
        for (int w = 0; w < 8; ++w) {
            if (w) phrase += ' ';
            phrase += (w == 7 && !kLastKnown) ? "zzqx" : in.words[rng() % in.words.size()];
        }
        phrases.push_back(phrase);
    }
    size_t i = 0, found = 0;
    for (auto _ : state) {
        d.ClearCache();
        trace.clear();
        LocalStepResult r = TranslateLocal(d, phrases[i++ & 15], settings);
        found += r.found;
        benchmark::DoNotOptimize(r.translation.data());
    }
    state.counters["found"] = static_cast<double>(found) / static_cast<double>(state.iterations());
    d.SetTraceSink([](std::string_view line) { std::fwrite(line.data(), 1, line.size(), stdout); });
}

BENCHMARK(BM_LoadTree)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_LoadMap)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_FindTree<true>)->Arg(0)->Arg(1);
BENCHMARK(BM_FindMap<true>)->Arg(0)->Arg(1);
BENCHMARK(BM_FindTree<false>)->Arg(0)->Arg(1);
BENCHMARK(BM_FindMap<false>)->Arg(0)->Arg(1);
BENCHMARK(BM_FindPosition<true>)->Arg(0)->Arg(1);
BENCHMARK(BM_FindPosition<false>)->Arg(0)->Arg(1);
BENCHMARK(BM_NearTree)->ArgsProduct({{0, 1}, {1, 2, 4}})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NearMap)->ArgsProduct({{0, 1}, {1, 2, 4}})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AddTranslation)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AdditionWorst)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_TranslateLocal<true>)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TranslateLocal<false>)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

}  // namespace talvero

int main(int argc, char** argv)
{
    using namespace talvero;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
