#pragma once
// The window program's command line: what to do once the window runs, whether this start
// brings up a new window or hands the actions to the one already running.
#include <string>
#include <vector>

namespace talvero {

// The actions, as they travel to a running window.
inline constexpr const char* kActionShow = "show";
inline constexpr const char* kActionCapture = "capture";
inline constexpr const char* kActionTranslateSelection = "translate-selection";

struct CommandLine {
    bool help = false;
    std::string unknown;  // the first argument not understood; nothing else counts then
    // In the order they run, each once however often it was given; empty for a plain start.
    std::vector<std::string> actions;
};

CommandLine ParseCommandLine(int argc, const char* const* argv);

// For standard error (unknown options) or standard output (--help).
std::string CommandLineUsage();

}  // namespace talvero
