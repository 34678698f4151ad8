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
// Takes a screenshot of the whole screen into the test program's directory (the build tree).
void Screenshot(const std::string& name);

}  // namespace talvero
