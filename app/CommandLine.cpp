#include "app/CommandLine.h"

#include <string_view>

namespace talvero {

CommandLine ParseCommandLine(int argc, const char* const* argv)
{
    CommandLine line;
    bool show = false, capture = false, translate = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i] ? argv[i] : "";
        if (arg == "--show")
            show = true;
        else if (arg == "--capture")
            capture = true;
        else if (arg == "--translate-selection")
            translate = true;
        else if (arg == "-h" || arg == "--help")
            line.help = true;
        else {
            line.unknown = std::string(arg);
            return line;
        }
    }
    // Shown first, so that what follows happens in view; the capture before the translation,
    // which replaces the input.
    if (show) line.actions.push_back(kActionShow);
    if (capture) line.actions.push_back(kActionCapture);
    if (translate) line.actions.push_back(kActionTranslateSelection);
    return line;
}

std::string CommandLineUsage()
{
    return "Usage: talvero [--show] [--capture] [--translate-selection]\n"
           "\n"
           "Starts the Talvero window, or hands the actions to the one already running (a plain\n"
           "second start brings it forward).\n"
           "  --show                 bring the window forward, also out of the tray\n"
           "  --capture              put the selected text into the next box of new translations\n"
           "                         (\"Activate hotkey to fill boxes\" on)\n"
           "  --translate-selection  translate the selected text; the result shows in the banner\n"
           "Bind \"talvero --capture\" to a key where the desktop gives programs no global "
           "hotkey.\n";
}

}  // namespace talvero
