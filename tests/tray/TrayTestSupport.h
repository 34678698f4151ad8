#pragma once
// The tray host as the tray tests see it.
#include <string>
#include <vector>

#include <wx/gdicmn.h>

namespace talvero {

// Our program's entries embedded in the tray host, on screen.
std::vector<wxRect> TrayEntries();
// "x y" of the rectangle's centre, for xdotool.
std::string Centre(const wxRect& r);
// Handles every event the X server held for this program when called: a round trip, then the
// toolkit's queue until it is empty. Input that a finished X client sent has arrived by then.
void HandleQueuedEvents();
// Lets the toolkit's double-click time pass, so that the next click is not paired with the last.
void WaitOutDoubleClick();
// Takes a screenshot of the whole screen into the test program's directory (the build tree).
void Screenshot(const std::string& name);

}  // namespace talvero
