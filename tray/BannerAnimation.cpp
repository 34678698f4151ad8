#include "tray/BannerAnimation.h"

namespace talvero {

namespace banner {

Placement PlacementFor(const Rect& workArea, int screenWidth, int screenHeight)
{
    if (workArea.Width() < screenWidth)
        return workArea.left == 0 ? Placement::Right : Placement::Left;
    if (workArea.Height() < screenHeight && workArea.top != 0) return Placement::Top;
    return Placement::Bottom;
}

void CBannerAnimator::SetSize(int newWidth, int newHeight)
{
    width = newWidth;
    height = newHeight;
}

void CBannerAnimator::Show(std::uint32_t show, std::uint32_t stay, std::uint32_t hide,
                           const Rect& work, int screenWidth, int screenHeight)
{
    timeToShow = show;
    timeToStay = stay;
    timeToHide = hide;
    Placement now = PlacementFor(work, screenWidth, screenHeight);

    switch (state) {
        case State::Idle: {
            bool horizontal = now == Placement::Left || now == Placement::Right;
            int steps = (horizontal ? width : height) / kIncrement;
            // A skin narrower than one step still takes one step (and no division by zero).
            if (steps <= 0) steps = 1;
            showStepInterval = timeToShow / std::uint32_t(steps);
            hideStepInterval = timeToHide / std::uint32_t(steps);
            switch (now) {
                case Placement::Right:
                    start = {work.right, work.bottom - height};
                    break;
                case Placement::Left:
                    start = {work.left - width, work.bottom - height};
                    break;
                case Placement::Top:
                    start = {work.right - width, work.top - height};
                    break;
                default:
                    start = {work.right - width, work.bottom};
                    break;
            }
            placement = now;
            position = start;
            // Placed before it is shown, so that it never flashes at the screen's corner.
            Place();
            window.ShowWindow();
            state = State::Appearing;
            timers.StartTimer(kAppearTimer, Period(showStepInterval));
            break;
        }
        case State::Appearing:
            window.Redraw();
            break;
        case State::Waiting:
            window.Redraw();
            timers.StartTimer(kStayTimer, Period(timeToStay));
            break;
        case State::Disappearing:
            timers.StopTimer(kDisappearTimer);
            timers.StartTimer(kStayTimer, Period(timeToStay));
            state = State::Waiting;
            switch (now) {
                case Placement::Right:
                    position.x = work.right - width;
                    break;
                case Placement::Left:
                    position.x = work.left;
                    break;
                case Placement::Top:
                    position.y = work.top;
                    break;
                default:
                    position.y = work.bottom - height;
                    break;
            }
            Place();
            window.Redraw();
            break;
    }
}

void CBannerAnimator::Hide()
{
    // All three, not only the current state's: no timer may move the banner after this.
    timers.StopTimer(kAppearTimer);
    timers.StopTimer(kStayTimer);
    timers.StopTimer(kDisappearTimer);
    window.HideWindow();
    state = State::Idle;
}

void CBannerAnimator::OnTimer(int id)
{
    switch (id) {
        case kAppearTimer: {
            if (state != State::Appearing) {
                timers.StopTimer(kAppearTimer);
                return;
            }
            bool moved = true;
            switch (placement) {
                case Placement::Top:
                    if (position.y - start.y < height)
                        position.y += kIncrement;
                    else
                        moved = false;
                    break;
                case Placement::Left:
                    if (position.x - start.x < width)
                        position.x += kIncrement;
                    else
                        moved = false;
                    break;
                case Placement::Right:
                    if (position.x > start.x - width)
                        position.x -= kIncrement;
                    else
                        moved = false;
                    break;
                default:
                    if (position.y > start.y - height)
                        position.y -= kIncrement;
                    else
                        moved = false;
                    break;
            }
            if (!moved) {
                timers.StopTimer(kAppearTimer);
                timers.StartTimer(kStayTimer, Period(timeToStay));
                state = State::Waiting;
            }
            Place();
            break;
        }
        case kStayTimer:
            timers.StopTimer(kStayTimer);
            if (state != State::Waiting) return;
            timers.StartTimer(kDisappearTimer, Period(hideStepInterval));
            // Already now, not at the first step: a Show before that step must find the
            // banner leaving, or it would restart the stay time while the slide runs.
            state = State::Disappearing;
            break;
        case kDisappearTimer: {
            if (state != State::Disappearing) {
                timers.StopTimer(kDisappearTimer);
                return;
            }
            bool moved = true;
            switch (placement) {
                case Placement::Top:
                    if (position.y > start.y)
                        position.y -= kIncrement;
                    else
                        moved = false;
                    break;
                case Placement::Left:
                    if (position.x > start.x)
                        position.x -= kIncrement;
                    else
                        moved = false;
                    break;
                case Placement::Right:
                    if (position.x < start.x)
                        position.x += kIncrement;
                    else
                        moved = false;
                    break;
                default:
                    if (position.y < start.y)
                        position.y += kIncrement;
                    else
                        moved = false;
                    break;
            }
            if (!moved) {
                timers.StopTimer(kDisappearTimer);
                Hide();
                return;
            }
            Place();
            break;
        }
        default:
            break;
    }
}

void CBannerAnimator::Place()
{
    window.PlaceWindow(position, width, height);
}

}  // namespace banner

}  // namespace talvero
