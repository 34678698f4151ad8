#pragma once
// Every GUI test program runs GoogleTest inside one wx application on the test display
// (GuiTestMain.cpp): wx assertions fail the test, an event loop is active. The helpers let that
// loop work while a test waits for what it expects.
#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/stopwatch.h>

#include <functional>
#include <string>
#include <vector>

#include <wx/gdicmn.h>

namespace talvero {

// Lets the application work for `ms` milliseconds. Prefer PumpUntil: a fixed wait is either
// too short on a busy machine or longer than needed.
inline void Pump(long ms)
{
    wxEventLoopBase* loop = wxEventLoopBase::GetActive();
    wxStopWatch sw;
    for (;;) {
        long left = ms - sw.Time();
        if (left <= 0) return;
        loop->DispatchTimeout(int(left > 20 ? 20 : left));
        wxTheApp->ProcessIdle();
    }
}

// Lets the application work until `done` holds or `timeoutMs` passed; returns `done()`.
inline bool PumpUntil(const std::function<bool()>& done, long timeoutMs = 5000)
{
    wxStopWatch sw;
    while (!done()) {
        if (sw.Time() > timeoutMs) return done();
        Pump(10);
    }
    return true;
}

// Runs a shell command and returns its standard output.
std::string RunCommand(const std::string& command);
// Runs a shell command in the background (for input that a nested menu loop must receive).
void RunInBackground(const std::string& command);

}  // namespace talvero
