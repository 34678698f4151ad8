#pragma once
// A clock, timers and a window for the banner's animation, without a display: timers fire in
// the order of their due times as the test advances the clock.
#include <cstdint>
#include <map>
#include <vector>

#include "tray/BannerAnimation.h"

namespace talvero {

struct WindowPlace {
    banner::Point position;
    int width;
    int height;
};

class FakeBannerHost : public banner::ITimers, public banner::IWindow {
public:
    void Attach(banner::CBannerAnimator* a) { animator = a; }

    void StartTimer(int id, std::uint32_t periodMs) override
    {
        running[id] = {periodMs, now + periodMs};
        starts.push_back({id, periodMs});
    }
    void StopTimer(int id) override { running.erase(id); }
    void ShowWindow() override { visible = true; }
    void PlaceWindow(banner::Point p, int w, int h) override { places.push_back({p, w, h}); }
    void HideWindow() override
    {
        visible = false;
        ++hides;
    }
    void Redraw() override { ++redraws; }

    // Advances the clock by `ms`, firing every timer that falls due on the way.
    void Advance(std::uint64_t ms)
    {
        std::uint64_t end = now + ms;
        for (;;) {
            int id = 0;
            std::uint64_t due = end + 1;
            for (auto& [tid, t] : running)
                if (t.due < due) {
                    due = t.due;
                    id = tid;
                }
            if (id == 0) break;
            now = due;
            running[id].due = now + running[id].period;
            animator->OnTimer(id);
        }
        now = end;
    }
    // Advances until the banner is idle again (or `limitMs` passed); returns the time taken.
    std::uint64_t RunUntilIdle(std::uint64_t limitMs = 60000)
    {
        std::uint64_t begin = now;
        while (animator->GetState() != banner::State::Idle && now - begin < limitMs)
            Advance(1);
        return now - begin;
    }

    struct Timer {
        std::uint32_t period;
        std::uint64_t due;
    };
    std::uint64_t now = 0;
    std::map<int, Timer> running;
    std::vector<std::pair<int, std::uint32_t>> starts;
    std::vector<WindowPlace> places;
    bool visible = false;
    int hides = 0;
    int redraws = 0;
    banner::CBannerAnimator* animator = nullptr;
};

}  // namespace talvero
