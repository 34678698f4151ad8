#include "tests/support/WaitPumping.h"

#include <chrono>
#include <cmath>
#include <memory>

#include <wx/evtloop.h>

bool WaitPumping(double ms, const std::function<bool()>& keepWaiting)
{
    // Tests (and a window shown before any loop runs) may have no active loop yet.
    std::unique_ptr<wxEventLoop> ownLoop;
    std::unique_ptr<wxEventLoopActivator> activate;
    wxEventLoopBase* loop = wxEventLoopBase::GetActive();
    if (!loop) {
        ownLoop = std::make_unique<wxEventLoop>();
        activate = std::make_unique<wxEventLoopActivator>(ownLoop.get());
        loop = ownLoop.get();
    }
    if (!(ms > 0)) ms = 0;  // negative or NaN: one pass only
    if (ms > 86400000.0) ms = 86400000.0;
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::microseconds(std::llround(ms * 1000.0));
    // DispatchTimeout blocks in the toolkit's poll until an event arrives or the time is up
    // (its return value does not tell a timeout from an ending loop on every port, so the
    // caller's keepWaiting decides about ending).
    loop->DispatchTimeout(0);
    for (;;) {
        if (keepWaiting && !keepWaiting()) return false;
        auto left = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now()).count();
        if (left <= 0) return true;
        loop->DispatchTimeout(static_cast<unsigned long>(left));
    }
}
