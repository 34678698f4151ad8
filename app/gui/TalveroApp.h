#pragma once
// The application object: one instance per user, the main window run modally, and the process
// ends when it ends.
#include <memory>

#include <wx/app.h>

class wxSingleInstanceChecker;

namespace talvero {

inline constexpr const char* kInstanceLockName = "MutexTalveroTestInstance";

class CTalveroApp : public wxApp {
public:
    CTalveroApp();
    ~CTalveroApp() override;
    bool OnInit() override;
    int OnRun() override;

private:
    std::unique_ptr<wxSingleInstanceChecker> instanceLock;  // held until the process ends
    bool anotherRunning = false;
    bool unsetGl = false;  // GDK_GL was set here, for the toolkit's start alone
};

}  // namespace talvero
