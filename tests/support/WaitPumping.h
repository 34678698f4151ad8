#pragma once
// Waiting while the window keeps working: for tests and benchmarks, which drive the window from
// outside its event loop. The program itself never waits this way.
#include <functional>

class wxWindow;

namespace talvero {

// Waits at least `ms` milliseconds (steady clock) while the event loop handles the window's
// events, sleeping while there is nothing to do. Handles at least one waiting event, if any,
// even for a wait of 0. After each event `keepWaiting` (when given) is asked; when it says
// no (say, the window has ended meanwhile), the wait stops early and returns false.
bool WaitPumping(double ms, const std::function<bool()>& keepWaiting = {});

// Handles what is already waiting: the toolkit's events and the application's queued calls,
// and whatever those queue in turn, until nothing is left. Unlike a fixed wait it neither gives
// up early on a busy machine nor waits longer than the queue lasts; what only a timer, another
// thread or another program brings later is not waited for (wait for a condition then).
void DrainEvents();

// Lets a top-level window be mapped by the window manager, then laid out and drawn once: what
// is measured afterwards is what shows. The deadlines only keep a broken test from hanging.
void WaitUntilDrawn(wxWindow* top);

}  // namespace talvero
