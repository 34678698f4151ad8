// The window program's entry: the command line first, then either the hand-over to the window
// that already runs (no toolkit needed for that) or a window of its own.
#include <cstdio>

#include "app/CommandLine.h"
#include "app/gui/TalveroApp.h"
#include "platform/Platform.h"

wxIMPLEMENT_APP_NO_MAIN(talvero::CTalveroApp);

int main(int argc, char** argv)
{
    using namespace talvero;
    const CommandLine line = ParseCommandLine(argc, argv);
    if (!line.unknown.empty()) {
        std::fprintf(stderr, "talvero: unknown option '%s'\n\n%s", line.unknown.c_str(),
                     CommandLineUsage().c_str());
        return 2;
    }
    if (line.help) {
        std::fputs(CommandLineUsage().c_str(), stdout);
        return 0;
    }
    const int handedOver = HandOverActions(line.actions, 0);
    if (handedOver >= 0) return handedOver;
    // The toolkit's own message would name DISPLAY even where the Wayland compositor is gone.
    if (const std::string problem = DisplayProblem(); !problem.empty()) {
        std::fprintf(stderr, "talvero: %s\n", problem.c_str());
        return 1;
    }
    CTalveroApp::startActions = line.actions;
    // The toolkit sees no option of ours.
    char* toolkitArgs[] = {argv[0], nullptr};
    int toolkitArgc = 1;
    return wxEntry(toolkitArgc, toolkitArgs);
}
