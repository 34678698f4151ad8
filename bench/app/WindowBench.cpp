// Window benchmarks, run on a display (scripts/bench.sh window gives it a private one):
//   BM_AutoTranslateDelayCpu  processor time the program uses while an automatic translation
//                             waits its 1000 ms delay, as a share of one core
//   BM_UiBlockWhileTranslating longest time the window's event loop goes without a turn while
//                             Translate waits 3 s for a slow web service (target: 100 ms)
//   BM_LaunchToMapped         from starting the program to its window being mapped: /0 with the
//                             German-English dictionary
//                             (TALVERO_BENCH_DATA/localdictionary_de_en.txt) as the local pair,
//                             /1 with empty dictionary files; /2 and /3 a bare dialog with only
//                             the four pair lists, sizing themselves by every entry (/2) or
//                             measured once (/3); /4 the German dictionary at a first start,
//                             with no saved index beside it; rss_MiB is the median resident
//                             memory three seconds after the window is mapped
//   BM_OneLetterInput         typing one letter with automatic translation on and the German
//                             dictionary with synonyms split
//                             (TALVERO_BENCH_DATA/split/localdictionary_de_en.txt): the longest
//                             the event loop stalls (a 2 ms timer pings it), the processor time
//                             of the whole pass, and the near matches listed
//   BM_NearListFill           what the window does with a near search: search, copy, list fill
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include <wx/app.h>
#include <wx/init.h>
#include <wx/listbox.h>
#include <wx/textctrl.h>
#include <wx/timer.h>

#include "app/WindowServices.h"
#include "app/gui/TalveroDlg.h"
#include "dictionary/LocalDictionary.h"
#include "tests/support/LoopbackServer.h"
#include "tests/support/WaitPumping.h"
#include "ui/Control.h"

extern char** environ;

namespace talvero {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

fs::path MakeTempDir(const char* prefix)
{
    std::string tmpl = std::string("/tmp/") + prefix + "-XXXXXX";
    return mkdtemp(tmpl.data());
}

void WriteText(const fs::path& file, const std::string& text)
{
    std::ofstream(file, std::ios::binary) << text;
}

double CpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void BM_AutoTranslateDelayCpu(benchmark::State& state)
{
    const fs::path old = fs::current_path();
    const fs::path dir = MakeTempDir("talvero-bench-cpu");
    fs::current_path(dir);
    WriteText("localdictionary_es_en.txt", "hola\nhello");
    WriteText("personaldictionary_es_en.txt", "adios\nbye");
    WriteText("TalveroConfig.txt",
              "USE LOCAL DICTIONARY\nYES\nLAUNCH TRANSLATION AUTOMATICALLY\nYES\n"
              "TIME DELAY BEFORE AUTOMATIC TRANSLATION\n1000\nCHECK FOR UPDATES AT STARTUP\nNO\n");
    double cpuTotal = 0, wallTotal = 0;
    for (auto _ : state) {
        CTalveroDlg::Parts parts = CTalveroDlg::DefaultParts();
        parts.speech = MakeSilentSpeech();
        CTalveroDlg dlg(nullptr, std::move(parts));
        double cpu = 0, wall = 0;
        std::string after;
        dlg.CallAfter([&] {
            auto* input = Control<wxTextCtrl>(&dlg, 1000);
            // Let the window finish appearing (mapping, first paint) before measuring the wait.
            WaitPumping(500);
            const double cpu0 = CpuSeconds();
            const auto t0 = Clock::now();
            input->SetValue("hola");  // the pass waits the delay, translates, empties the input
            while (!input->IsEmpty() && Clock::now() - t0 < std::chrono::seconds(5))
                WaitPumping(100);
            wall = std::chrono::duration<double>(Clock::now() - t0).count();
            cpu = CpuSeconds() - cpu0;
            after = input->GetValue().utf8_string();
            dlg.EndWithoutSaving();
        });
        dlg.ShowModal();
        if (!after.empty() || wall < 1.0) state.SkipWithError("the pass did not run its delay");
        state.SetIterationTime(wall);
        cpuTotal += cpu;
        wallTotal += wall;
    }
    state.counters["cpu_percent_of_one_core"] = 100.0 * cpuTotal / wallTotal;
    fs::current_path(old);
    fs::remove_all(dir);
}
BENCHMARK(BM_AutoTranslateDelayCpu)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_UiBlockWhileTranslating(benchmark::State& state)
{
    loopback::HttpServer google;
    loopback::Reply slow{200, loopback::GooglePage("hello")};
    slow.delayMs = 3000;
    google.SetReply(slow);
    const fs::path old = fs::current_path();
    const fs::path dir = MakeTempDir("talvero-bench-block");
    fs::current_path(dir);
    WriteText("localdictionary_es_en.txt", "hola\nhello");
    WriteText("personaldictionary_es_en.txt", "");
    WriteText("TalveroConfig.txt", "USE GOOGLE\nYES\nCHECK FOR UPDATES AT STARTUP\nNO\n");
    WriteText("TalveroServices.txt", "GOOGLE FORM ADDRESS\n" + google.BaseAddress() + "\n");
    double worstMs = 0;
    for (auto _ : state) {
        CTalveroDlg::Parts parts = CTalveroDlg::DefaultParts();
        parts.speech = MakeSilentSpeech();
        CTalveroDlg dlg(nullptr, std::move(parts));
        double longestGapMs = 0, wall = 0;
        std::string result;
        dlg.CallAfter([&] {
            WaitPumping(500);
            Control<wxTextCtrl>(&dlg, 1000)->ChangeValue("hola");
            // A timer every 5 ms: the longest time between two of its turns is the longest the
            // window went without handling its events.
            wxTimer tick;
            auto last = Clock::now();
            tick.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
                const auto now = Clock::now();
                longestGapMs = std::max(
                    longestGapMs, std::chrono::duration<double, std::milli>(now - last).count());
                last = now;
            });
            tick.Start(5);
            const auto t0 = Clock::now();
            last = t0;
            dlg.Translate();  // returns at once; the outcome is applied when the form answers
            WaitPumping(10000, [&] { return dlg.IsTranslating(); });
            wall = std::chrono::duration<double>(Clock::now() - t0).count();
            tick.Stop();
            result = Control<wxTextCtrl>(&dlg, 1002)->GetValue().utf8_string();
            dlg.EndWithoutSaving();
        });
        dlg.ShowModal();
        if (result != "hello") state.SkipWithError("the slow service's answer was not applied");
        state.SetIterationTime(wall);
        worstMs = std::max(worstMs, longestGapMs);
    }
    state.counters["longest_ui_block_ms"] = worstMs;
    state.counters["target_ms"] = 100;
    fs::current_path(old);
    fs::remove_all(dir);
}
BENCHMARK(BM_UiBlockWhileTranslating)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// Whether `w` or a window below it belongs to process `pid` (_NET_WM_PID).
bool BelongsTo(Display* d, Window w, long pid, Atom pidAtom, int depth = 0)
{
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(d, w, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &count, &after,
                           &data) == Success &&
        data) {
        long value = count ? *reinterpret_cast<long*>(data) : -1;
        XFree(data);
        if (value == pid) return true;
    }
    if (depth > 3) return false;
    Window root, parent, *children = nullptr;
    unsigned n = 0;
    if (!XQueryTree(d, w, &root, &parent, &children, &n)) return false;
    bool found = false;
    for (unsigned i = 0; i < n && !found; ++i)
        found = BelongsTo(d, children[i], pid, pidAtom, depth + 1);
    if (children) XFree(children);
    return found;
}

// Resident memory of a running process, from /proc.
double ResidentMiB(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
    }
    return 0;
}

void BM_LaunchToMapped(benchmark::State& state)
{
    const int which = static_cast<int>(state.range(0));
    static const char* kLabels[] = {"talvero, German dictionary", "talvero, empty dictionary",
                                    "bare dialog, lists fit", "bare dialog, lists measured once",
                                    "talvero, German dictionary, first start (no index)"};
    state.SetLabel(kLabels[which]);
    const char* data = std::getenv("TALVERO_BENCH_DATA");
    const fs::path dictionary = data ? fs::path(data) / "localdictionary_de_en.txt" : fs::path();
    if (!data || !fs::exists(dictionary)) {
        state.SkipWithError("set TALVERO_BENCH_DATA to the output of scripts/make-bench-data.sh");
        for (auto _ : state) {
        }
        return;
    }
    const fs::path dir = MakeTempDir("talvero-bench-launch");
    fs::create_directories(dir / "home");
    if (which == 0 || which == 4) {
        fs::create_symlink(dictionary, dir / "localdictionary_de_en.txt");
        WriteText(dir / "personaldictionary_de_en.txt", "Hallo\nhello");
    } else {
        WriteText(dir / "localdictionary_de_en.txt", "");
        WriteText(dir / "personaldictionary_de_en.txt", "");
    }
    WriteText(dir / "TalveroConfig.txt",
              "USE LOCAL DICTIONARY\nYES\nLOCAL DICTIONARY LANGUAGE PAIR\nGERMAN TO ENGLISH\n"
              "CHECK FOR UPDATES AT STARTUP\nNO\n");

    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        if (std::string(*e).rfind("HOME=", 0) != 0) env.push_back(*e);
    env.push_back("HOME=" + (dir / "home").string());
    std::vector<char*> envp;
    for (auto& s : env)
        envp.push_back(s.data());
    envp.push_back(nullptr);
    // TALVERO_BENCH_BINARY: another build of the program to compare with.
    const char* other = std::getenv("TALVERO_BENCH_BINARY");
    std::string binary = which == 2 || which == 3 ? BARE_DIALOG_BINARY
                         : other                  ? other
                                                  : TALVERO_BINARY;
    std::string mode = which == 3 ? "fixed" : "fit";
    char* argv[] = {binary.data(), which == 2 || which == 3 ? mode.data() : nullptr, nullptr};

    Display* d = XOpenDisplay(nullptr);
    const Window root = DefaultRootWindow(d);
    const Atom pidAtom = XInternAtom(d, "_NET_WM_PID", False);
    XSelectInput(d, root, SubstructureNotifyMask);
    XSync(d, True);

    std::vector<double> rss;
    // One launch: the time to the window being mapped (negative when it was not within 20 s),
    // and the memory it holds once it has settled.
    auto launch = [&](double& resident, bool untilIndexed) {
        const fs::path index = dir / "localdictionary_de_en.txt.index";
        if (which == 4) fs::remove(index);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
        pid_t pid = -1;
        const auto t0 = Clock::now();
        posix_spawn(&pid, binary.c_str(), &actions, nullptr, argv, envp.data());
        posix_spawn_file_actions_destroy(&actions);
        bool mapped = false;
        while (!mapped && Clock::now() - t0 < std::chrono::seconds(20)) {
            if (!XPending(d)) {
                pollfd p{ConnectionNumber(d), POLLIN, 0};
                poll(&p, 1, 100);
                continue;
            }
            XEvent ev;
            XNextEvent(d, &ev);
            if (ev.type == MapNotify && BelongsTo(d, ev.xmap.window, pid, pidAtom)) mapped = true;
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
        if (mapped) {
            usleep(3'000'000);
            resident = ResidentMiB(pid);
        }
        for (int i = 0; untilIndexed && i < 600 && !fs::exists(index); ++i)
            usleep(50'000);
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
        return mapped ? seconds : -1.0;
    };
    // The first start with a dictionary writes its saved index; the figures are those of the
    // starts after it.
    double resident = 0;
    if (which == 0) launch(resident, true);
    for (auto _ : state) {
        const double seconds = launch(resident, false);
        if (seconds < 0) {
            state.SkipWithError("the window was not mapped within 20 s");
            break;
        }
        rss.push_back(resident);
        state.SetIterationTime(seconds);
    }
    XCloseDisplay(d);
    fs::remove_all(dir);
    if (!rss.empty()) {
        std::sort(rss.begin(), rss.end());
        state.counters["rss_MiB"] = rss[rss.size() / 2];
    }
}
BENCHMARK(BM_LaunchToMapped)
    ->DenseRange(0, 4)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);

double ThreadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// Pings the event loop every 2 ms and keeps the longest time between two pings, and the most
// processor time the window's thread spent between two (on a busy machine the first also holds
// time the thread waited for a processor).
class LoopPing : public wxTimer {
public:
    void Begin()
    {
        last = Clock::now();
        lastCpu = ThreadCpuMs();
        longest = longestCpu = 0;
        Start(2);
    }
    void Notify() override
    {
        const auto now = Clock::now();
        const double cpu = ThreadCpuMs();
        longest = std::max(longest, std::chrono::duration<double, std::milli>(now - last).count());
        longestCpu = std::max(longestCpu, cpu - lastCpu);
        last = now;
        lastCpu = cpu;
    }
    double longest = 0;
    double longestCpu = 0;

private:
    Clock::time_point last;
    double lastCpu = 0;
};

// The German dictionary the one-letter benchmarks use; empty, with the benchmark skipped, when
// it has not been made.
fs::path GermanDictionary(benchmark::State& state)
{
    const char* data = std::getenv("TALVERO_BENCH_DATA");
    fs::path path = data ? fs::path(data) / "split" / "localdictionary_de_en.txt" : fs::path();
    if (!path.empty() && fs::exists(path)) return path;
    state.SkipWithError("TALVERO_BENCH_DATA/split/localdictionary_de_en.txt is missing");
    for (auto _ : state) {
    }
    return {};
}

void BM_OneLetterInput(benchmark::State& state)
{
    const fs::path dictionary = GermanDictionary(state);
    if (dictionary.empty()) return;
    const fs::path old = fs::current_path();
    const fs::path dir = MakeTempDir("talvero-bench-letter");
    fs::current_path(dir);
    fs::create_symlink(dictionary, dir / "localdictionary_de_en.txt");
    WriteText("personaldictionary_de_en.txt", "Hallo\nhello");
    WriteText("TalveroConfig.txt",
              "USE LOCAL DICTIONARY\nYES\nLOCAL DICTIONARY LANGUAGE PAIR\nGERMAN TO ENGLISH\n"
              "LAUNCH TRANSLATION AUTOMATICALLY\nYES\n"
              "TIME DELAY BEFORE AUTOMATIC TRANSLATION\n50\nCHECK FOR UPDATES AT STARTUP\nNO\n");
    double longest = 0, longestCpu = 0, cpuTotal = 0;
    size_t listed = 0;
    int passes = 0;
    {
        CTalveroDlg::Parts parts = CTalveroDlg::DefaultParts();
        parts.speech = MakeSilentSpeech();
        CTalveroDlg dlg(nullptr, std::move(parts));
        dlg.CallAfter([&] {
            auto* input = Control<wxTextCtrl>(&dlg, 1000);
            auto* near = Control<wxListBox>(&dlg, 1006);
            WaitPumping(500);
            // Once to have the dictionary loaded and the caches warm, as a user would have.
            input->SetValue("e");
            while (!input->IsEmpty())
                WaitPumping(20);
            // A long near list is filled over a few turns of the event loop: the pass ends
            // when it is all there.
            size_t expected = 0;
            for (size_t seen = 1; seen != expected;) {
                seen = expected;
                WaitPumping(100);
                expected = near->GetCount();
            }
            LoopPing ping;
            for (auto _ : state) {
                near->Clear();
                WaitPumping(50);
                ping.Begin();
                const double cpu0 = CpuSeconds();
                const auto t0 = Clock::now();
                input->SetValue("e");  // the pass waits the delay, translates, empties the input
                while ((!input->IsEmpty() || near->GetCount() < expected) &&
                       Clock::now() - t0 < std::chrono::seconds(20))
                    WaitPumping(5);
                WaitPumping(20);  // pings that were due while the pass ran
                const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
                cpuTotal += CpuSeconds() - cpu0;
                ping.Stop();
                longest = std::max(longest, ping.longest);
                longestCpu = std::max(longestCpu, ping.longestCpu);
                listed = near->GetCount();
                ++passes;
                state.SetIterationTime(wall);
            }
            dlg.EndWithoutSaving();
        });
        dlg.ShowModal();
    }
    state.counters["longest_stall_ms"] = longest;
    state.counters["longest_stall_cpu_ms"] = longestCpu;
    state.counters["cpu_ms_per_pass"] = passes ? 1000.0 * cpuTotal / passes : 0;
    state.counters["near_matches"] = static_cast<double>(listed);
    fs::current_path(old);
    fs::remove_all(dir);
}
BENCHMARK(BM_OneLetterInput)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// Search, copy and list fill: what the window does with the near list of a one-, two- and
// four-letter input, timed together.
void BM_NearListFill(benchmark::State& state)
{
    const fs::path dictionary = GermanDictionary(state);
    if (dictionary.empty()) return;
    static const char* kPrefixes[] = {"e", "ei", "eine"};
    const std::string prefix = kPrefixes[state.range(0)];
    LocalDictionary dictionaryEngine;
    dictionaryEngine.Load(dictionary.string(), "/nonexistent/personal.txt");
    const fs::path old = fs::current_path();
    const fs::path dir = MakeTempDir("talvero-bench-near");
    fs::current_path(dir);
    WriteText("localdictionary_es_en.txt", "");
    WriteText("personaldictionary_es_en.txt", "");
    WriteText("TalveroConfig.txt", "CHECK FOR UPDATES AT STARTUP\nNO\n");
    size_t listed = 0;
    {
        CTalveroDlg::Parts parts = CTalveroDlg::DefaultParts();
        parts.speech = MakeSilentSpeech();
        CTalveroDlg dlg(nullptr, std::move(parts));
        dlg.CallAfter([&] {
            WaitPumping(300);
            for (auto _ : state) {
                CTernarySearchTree& tree = dictionaryEngine.Tree();
                tree.nearList.clear();
                tree.CollectNear(prefix);
                const std::vector<std::string> copy = tree.nearList.Strings();
                dlg.FillNearList(copy);
                listed = copy.size();
            }
            dlg.EndWithoutSaving();
        });
        dlg.ShowModal();
    }
    state.counters["near_matches"] = static_cast<double>(listed);
    fs::current_path(old);
    fs::remove_all(dir);
}
BENCHMARK(BM_NearListFill)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->Iterations(10);

class BenchApp : public wxApp {
public:
    bool OnInit() override { return true; }
};

}  // namespace

}  // namespace talvero

int main(int argc, char** argv)
{
    using namespace talvero;
    wxApp::SetInstance(new BenchApp);
    if (!wxEntryStart(argc, argv)) return 2;
    wxTheApp->CallOnInit();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    wxTheApp->OnExit();
    wxEntryCleanup();
    return 0;
}
