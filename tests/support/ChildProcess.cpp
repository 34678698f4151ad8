#include "tests/support/ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <fstream>
#include <thread>

extern char** environ;

namespace talvero {

pid_t SpawnGroup(std::vector<std::string> args, const std::string& logFile)
{
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    return pid;
}

void StopGroup(pid_t pid)
{
    if (pid <= 0) return;
    kill(-pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

int WaitForPortFile(const std::string& file, int timeoutMs)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
        std::ifstream in(file);
        int port = 0;
        if (in >> port && port > 0) return port;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return 0;
}

std::vector<std::string> ApertiumServiceCommand(const std::string& sourceDir,
                                                const std::string& portFile,
                                                const std::vector<std::string>& options)
{
    std::vector<std::string> args{"/usr/bin/python3",
                                  sourceDir + "/gateway/apertium-service.py",
                                  "--port-file",
                                  portFile,
                                  "-p",
                                  "0"};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back("/usr/share/apertium/modes");
    return args;
}

}  // namespace talvero
