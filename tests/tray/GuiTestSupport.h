#pragma once
// Runs GoogleTest inside a wx application on the test display, with helpers that let the
// event loop work while a test waits.
#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/stopwatch.h>

#include <functional>
#include <string>
#include <vector>

#include <wx/gdicmn.h>

// Lets the application work for `ms` milliseconds.
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

// Our program's entries embedded in the tray host, on screen.
std::vector<wxRect> TrayEntries();
// "x y" of the rectangle's centre, for xdotool.
std::string Centre(const wxRect& r);
// Takes a screenshot of the whole screen into the test program's directory (the build tree).
void Screenshot(const std::string& name);
