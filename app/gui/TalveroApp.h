#pragma once
// The application object: one instance per user, the main window run modally, and the process
// ends when it ends.
#include <memory>
#include <string>
#include <vector>

#include <wx/app.h>

class wxSingleInstanceChecker;

namespace talvero {

inline constexpr const char* kInstanceLockName = "MutexTalveroTestInstance";

class ICommandChannel;

// Hands `actions` (a plain start: "show") to this user's running window. The exit status when
// that settles this start (0 done, 1 the window did not answer), or -1 when no window runs.
int HandOverActions(const std::vector<std::string>& actions, int waitForWindowMs);

class CTalveroApp : public wxApp {
public:
    CTalveroApp();
    ~CTalveroApp() override;
    bool OnInit() override;
    int OnRun() override;

    // What the command line asked for, carried out once the window runs.
    static std::vector<std::string> startActions;

private:
    std::unique_ptr<wxSingleInstanceChecker> instanceLock;  // held until the process ends
    bool anotherRunning = false;
    int exitCode = 0;
    bool unsetGl = false;  // GDK_GL was set here, for the toolkit's start alone
};

}  // namespace talvero
