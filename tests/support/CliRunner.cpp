#include "tests/support/CliRunner.h"

#include <sys/wait.h>

#include <cstdlib>

#include "tests/support/TempDir.h"

namespace talvero {

std::string ShellArgs(const std::vector<std::string>& args)
{
    std::string text;
    for (const std::string& a : args) {
        if (!text.empty()) text += ' ';
        text += '\'';
        for (char c : a)
            text += c == '\'' ? std::string("'\\''") : std::string(1, c);
        text += '\'';
    }
    return text;
}

CliRun RunCli(const std::string& dir, const std::string& args, const std::string& env)
{
    // The captured streams go elsewhere, so that the working directory holds only what the
    // program wrote.
    TempDir capture;
    std::string command = "cd " + ShellArgs({dir}) + " && " + env + (env.empty() ? "" : " ") +
                          ShellArgs({TALVERO_CLI}) + " " + args + " </dev/null >" +
                          ShellArgs({capture.File("out")}) + " 2>" +
                          ShellArgs({capture.File("err")});
    int rc = std::system(command.c_str());
    CliRun run;
    run.status = rc != -1 && WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    run.out = capture.Read("out");
    run.err = capture.Read("err");
    return run;
}

}  // namespace talvero
