#pragma once
// The popup banner's motion, without a window: where it starts, how it slides out of the
// taskbar's edge of the screen, how long it stays and how it slides back. The window layer
// gives it timers and a window to move (the two small interfaces below); tests give it fakes
// and a clock of their own.
#include <cstdint>

namespace talvero {

namespace banner {

// A rectangle by its edges; right and bottom are exclusive.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool operator==(const Rect&) const = default;
};

struct Point {
    int x = 0;
    int y = 0;
    bool operator==(const Point&) const = default;
};

// Which screen edge the taskbar is on, judged from the work area; None before the first Show.
enum class Placement { None = 0, Top = 1, Left = 2, Right = 3, Bottom = 4 };

enum class State { Idle = 0, Appearing = 1, Waiting = 2, Disappearing = 3 };

enum TimerId { kAppearTimer = 1, kStayTimer = 2, kDisappearTimer = 3 };

// Pixels per animation step.
constexpr int kIncrement = 2;
// What an interval of 0 ms becomes: the shortest period a window timer runs at.
constexpr std::uint32_t kShortestTimerPeriodMs = 10;

// The taskbar's edge: right when the work area is narrower than the screen and starts at
// x = 0, left when it is narrower and starts elsewhere, top when it is lower and starts below
// y = 0, else bottom (also when nothing shrinks the work area).
Placement PlacementFor(const Rect& workArea, int screenWidth, int screenHeight);

// Periodic timers: a started timer fires every `periodMs` until stopped; starting a running
// timer restarts it with the new period.
class ITimers {
public:
    virtual ~ITimers() = default;
    virtual void StartTimer(int id, std::uint32_t periodMs) = 0;
    virtual void StopTimer(int id) = 0;
};

// The banner's window as the animation moves it.
class IWindow {
public:
    virtual ~IWindow() = default;
    // Makes the (still off-screen) window visible, without taking the focus.
    virtual void ShowWindow() = 0;
    // Places the window with this size, without raising or activating it.
    virtual void PlaceWindow(Point position, int width, int height) = 0;
    // Moves the window to (0, 0) with size 0 x 0 and hides it.
    virtual void HideWindow() = 0;
    virtual void Redraw() = 0;
};

class CBannerAnimator {
public:
    CBannerAnimator(ITimers& timers, IWindow& window) : timers(timers), window(window) {}

    // The size of the skin, which is the size of the banner.
    void SetSize(int width, int height);

    // Starts or continues the show. Idle: slides out from the taskbar's edge. Appearing: the
    // slide goes on (the new stay time applies when it ends). Waiting: the stay time starts
    // again. Disappearing: jumps back to fully shown and waits the new stay time.
    void Show(std::uint32_t timeToShow, std::uint32_t timeToStay, std::uint32_t timeToHide,
              const Rect& workArea, int screenWidth, int screenHeight);
    // Stops at once, from any state.
    void Hide();
    // The window layer calls this when timer `id` fires.
    void OnTimer(int id);

    State GetState() const { return state; }
    Placement GetPlacement() const { return placement; }
    Point GetPosition() const { return position; }
    Point GetStartPosition() const { return start; }
    std::uint32_t GetShowStepInterval() const { return showStepInterval; }
    std::uint32_t GetHideStepInterval() const { return hideStepInterval; }

private:
    static std::uint32_t Period(std::uint32_t ms) { return ms == 0 ? kShortestTimerPeriodMs : ms; }
    void Place();

    ITimers& timers;
    IWindow& window;
    int width = 0;
    int height = 0;
    State state = State::Idle;
    Placement placement = Placement::None;
    std::uint32_t timeToShow = 0;
    std::uint32_t timeToStay = 0;
    std::uint32_t timeToHide = 0;
    std::uint32_t showStepInterval = 0;
    std::uint32_t hideStepInterval = 0;
    Point start;
    Point position;
};

}  // namespace banner

}  // namespace talvero
