#pragma once
// Runs the built talvero-cli as a user would: in a directory of its own, with its standard
// output and standard error captured apart.
#include <string>
#include <vector>

namespace talvero {

struct CliRun {
    int status = -1;  // the exit status; -1 when it did not exit normally
    std::string out;
    std::string err;
};

// `args` is shell text ("translate 'el perro'"); the command runs in `dir`. `env` (shell text
// such as "TALVERO_CODEPAGE=CP1252") is set for the command only.
CliRun RunCli(const std::string& dir, const std::string& args, const std::string& env = "");

// Each argument quoted for the shell, separated by spaces.
std::string ShellArgs(const std::vector<std::string>& args);

}  // namespace talvero
