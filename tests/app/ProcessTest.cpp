// The program as a process on the test display: one instance per user, exit status 0 however
// it ends, and the settings file rewritten only by the ways that save.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

extern char** environ;

namespace talvero {

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

std::string Shell(const std::string& command)
{
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[256];
        while (fgets(buf, sizeof buf, p))
            out += buf;
        pclose(p);
    }
    return out;
}

class ProcessTest : public ::testing::Test {
protected:
    TempDir temp;
    fs::path dir;
    std::vector<pid_t> started;

    void SetUp() override
    {
        dir = temp.Path();
        fs::create_directories(dir / "home");
        Write("localdictionary_es_en.txt", "hola\nhello");
        Write("personaldictionary_es_en.txt", "adios\nbye");
        Write("TalveroConfig.txt", "USE GOOGLE\nYES\n");
    }
    void TearDown() override
    {
        for (pid_t pid : started) {
            if (waitpid(pid, nullptr, WNOHANG) == 0) {
                kill(pid, SIGKILL);
                waitpid(pid, nullptr, 0);
            }
        }
    }
    void Write(const std::string& name, const std::string& text)
    {
        std::ofstream(dir / name, std::ios::binary) << text;
    }
    std::string Read(const std::string& name)
    {
        std::ifstream in(dir / name, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    pid_t Start()
    {
        std::string home = "HOME=" + (dir / "home").string();
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e)
            if (std::string(*e).rfind("HOME=", 0) != 0) env.push_back(*e);
        env.push_back(home);
        std::vector<char*> envp;
        for (auto& s : env)
            envp.push_back(s.data());
        envp.push_back(nullptr);
        std::string binary = TALVERO_BINARY;
        char* argv[] = {binary.data(), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
        const std::string errors = (dir / "stderr.txt").string();
        posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                         0644);
        pid_t pid = -1;
        int rc = posix_spawn(&pid, binary.c_str(), &actions, nullptr, argv, envp.data());
        posix_spawn_file_actions_destroy(&actions);
        EXPECT_EQ(rc, 0);
        started.push_back(pid);
        return pid;
    }

    // The visible window of `pid`, waiting for it up to `limit`; "" when none appears. Its
    // caption is "Talvero", or the usual title "Talvero (host)" once the update check ended.
    static std::string WindowOf(pid_t pid, std::chrono::milliseconds limit = 10s)
    {
        auto end = std::chrono::steady_clock::now() + limit;
        do {
            std::string out = Shell("xdotool search --onlyvisible --pid " + std::to_string(pid) +
                                    " --name '^Talvero( [(].*[)])?$' 2>/dev/null");
            if (!out.empty()) return out.substr(0, out.find('\n'));
            std::this_thread::sleep_for(50ms);
        } while (std::chrono::steady_clock::now() < end);
        return "";
    }

    // Exit status, or -1 when the process did not end within `limit`.
    static int WaitExit(pid_t pid, std::chrono::milliseconds limit = 10s)
    {
        auto end = std::chrono::steady_clock::now() + limit;
        do {
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid)
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            std::this_thread::sleep_for(20ms);
        } while (std::chrono::steady_clock::now() < end);
        return -1;
    }
};

TEST_F(ProcessTest, SecondStartEndsAtOnceSilentlyAndTheFirstKeepsRunning)
{
    pid_t first = Start();
    std::string window = WindowOf(first);
    ASSERT_FALSE(window.empty()) << "the window did not appear";

    pid_t second = Start();
    EXPECT_EQ(WaitExit(second, 5s), 0);
    EXPECT_EQ(Shell("xdotool search --onlyvisible --name '^Talvero( [(].*[)])?$' 2>/dev/null"),
              window + "\n")
        << "the second start showed a window";
    EXPECT_EQ(waitpid(first, nullptr, WNOHANG), 0) << "the first instance ended";
    EXPECT_EQ(WindowOf(first, 1s), window);

    // Esc ends without saving, with status 0.
    Shell("xdotool windowactivate --sync " + window + " key Escape");
    EXPECT_EQ(WaitExit(first), 0);
    EXPECT_EQ(Read("TalveroConfig.txt"), "USE GOOGLE\nYES\n");

    // Once it has ended, the program starts again.
    pid_t third = Start();
    EXPECT_FALSE(WindowOf(third).empty());
    kill(third, SIGTERM);
    WaitExit(third);
}

// Centre of the program's entry in the tray host's panel, in screen coordinates; "" if none.
std::string TrayEntryCentre()
{
    std::istringstream tree(Shell("xwininfo -root -tree 2>/dev/null"));
    std::string line;
    size_t panelIndent = std::string::npos;
    while (std::getline(tree, line)) {
        size_t indent = line.find_first_not_of(' ');
        if (line.find("(\"panel\" \"trayer\")") != std::string::npos) {
            panelIndent = indent;
            continue;
        }
        if (panelIndent == std::string::npos) continue;
        if (indent <= panelIndent) {
            panelIndent = std::string::npos;
            continue;
        }
        if (line.find("(\"talvero\" \"Talvero\")") == std::string::npos) continue;
        int w = 0, h = 0, x = 0, y = 0, ax = 0, ay = 0;
        size_t at = line.find(")  ");
        if (at == std::string::npos ||
            std::sscanf(line.c_str() + at + 3, "%dx%d+%d+%d +%d+%d", &w, &h, &x, &y, &ax, &ay) != 6)
            continue;
        return std::to_string(ax + w / 2) + " " + std::to_string(ay + h / 2);
    }
    return "";
}

TEST_F(ProcessTest, DoubleClickOnTheTrayEntryBringsTheWindowBackActive)
{
    if (Shell("xdotool search --class trayer 2>/dev/null").empty())
        GTEST_SKIP() << "no tray host on this display";
    pid_t pid = Start();
    std::string window = WindowOf(pid);
    ASSERT_FALSE(window.empty());
    Shell("xdotool windowactivate --sync " + window + " windowminimize " + window);
    std::string entry;
    for (int i = 0; i < 100 && entry.empty(); ++i) {
        std::this_thread::sleep_for(50ms);
        entry = TrayEntryCentre();
    }
    ASSERT_FALSE(entry.empty()) << "no tray entry";
    // (xdotool's name search ignores case and would also find the entry, "talvero".)
    auto viewable = [&] {
        return Shell("xwininfo -id " + window + " 2>/dev/null").find("IsViewable") !=
               std::string::npos;
    };
    bool hidden = false;
    for (int i = 0; i < 60 && !hidden; ++i) {
        hidden = !viewable();
        if (!hidden) std::this_thread::sleep_for(50ms);
    }
    EXPECT_TRUE(hidden) << "the window stayed on screen";

    // A user's double click: the second click comes when the entry is already gone.
    Shell("xdotool mousemove " + entry + " click --repeat 2 --delay 150 1");
    bool shown = false;
    for (int i = 0; i < 100 && !shown; ++i) {
        shown = viewable();
        if (!shown) std::this_thread::sleep_for(50ms);
    }
    EXPECT_TRUE(shown) << "the window did not come back";
    std::string active;
    for (int i = 0; i < 60 && active != window + "\n"; ++i) {
        std::this_thread::sleep_for(50ms);
        active = Shell("xdotool getactivewindow 2>/dev/null");
    }
    EXPECT_EQ(active, window + "\n") << "the window came back without the focus";
    EXPECT_TRUE(TrayEntryCentre().empty()) << "the entry stayed";
    kill(pid, SIGTERM);
    WaitExit(pid);
}

TEST_F(ProcessTest, ClosingTheWindowSavesTheSettingsAndExitsWithStatusZero)
{
    // The voice into a file: the recognizer is then the first to start the audio library.
    setenv("TALVERO_AUDIO_OUT", (dir / "voice.wav").c_str(), 1);
    pid_t pid = Start();
    unsetenv("TALVERO_AUDIO_OUT");
    std::string window = WindowOf(pid);
    ASSERT_FALSE(window.empty());
    Shell("xdotool windowactivate --sync " + window + " key alt+F4");
    EXPECT_EQ(WaitExit(pid), 0);
    std::string saved = Read("TalveroConfig.txt");
    EXPECT_EQ(saved.rfind("USE LOCAL DICTIONARY\nNO\nUSE GOOGLE\nYES\n", 0), 0u) << saved;
    EXPECT_NE(saved.find("UPLOAD TRANSLATION PAIRS FILE LANGUAGE TO\nARABIC"), std::string::npos);
    EXPECT_EQ(Read("newtranslationsadded.txt"), "");
    // The audio libraries' probes of a machine without sound stay off the terminal.
    const std::string errors = Read("stderr.txt");
    EXPECT_EQ(errors.find("jack"), std::string::npos) << errors;
    EXPECT_EQ(errors.find("ALSA lib"), std::string::npos) << errors;
}

}  // namespace

}  // namespace talvero
