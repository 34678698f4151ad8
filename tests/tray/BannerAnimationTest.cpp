#include "tray/BannerAnimation.h"

#include <gtest/gtest.h>

#include "FakeBannerHost.h"

namespace talvero {

using banner::CBannerAnimator;
using banner::Placement;
using banner::Point;
using banner::Rect;
using banner::State;

namespace {

constexpr int kScreenW = 1280;
constexpr int kScreenH = 800;
// A taskbar of 28 pixels at the bottom.
const Rect kWorkBottom{0, 0, 1280, 772};

class BannerAnimationTest : public ::testing::Test {
protected:
    BannerAnimationTest() : animator(host, host)
    {
        host.Attach(&animator);
        animator.SetSize(352, 129);
    }
    void Show(std::uint32_t show, std::uint32_t stay, std::uint32_t hide,
              const Rect& work = kWorkBottom)
    {
        animator.Show(show, stay, hide, work, kScreenW, kScreenH);
    }
    // Places made while the appear timer was the one running.
    int MovesSinceStart() const { return int(host.places.size()) - 1; }

    FakeBannerHost host;
    CBannerAnimator animator;
};

TEST_F(BannerAnimationTest, BottomTaskbarRisesInSixtyFiveStepsAndSinksBackAtOnce)
{
    Show(10, 0, 10);
    EXPECT_TRUE(host.visible);
    EXPECT_EQ(animator.GetPlacement(), Placement::Bottom);
    EXPECT_EQ(animator.GetStartPosition(), (Point{1280 - 352, 772}));
    // 10 ms over 64 steps rounds to 0: the shortest timer period.
    EXPECT_EQ(animator.GetShowStepInterval(), 0u);
    ASSERT_FALSE(host.starts.empty());
    EXPECT_EQ(host.starts.front(),
              (std::pair<int, std::uint32_t>{1, banner::kShortestTimerPeriodMs}));

    // Rising: every step 2 pixels up, 65 of them (130 pixels, one more than the height).
    while (animator.GetState() == State::Appearing)
        host.Advance(1);
    EXPECT_EQ(animator.GetState(), State::Waiting);
    std::vector<int> ys;
    for (const auto& p : host.places)
        ys.push_back(p.position.y);
    int steps = 0;
    for (size_t i = 1; i < ys.size(); ++i)
        if (ys[i] != ys[i - 1]) {
            EXPECT_EQ(ys[i - 1] - ys[i], 2);
            ++steps;
        }
    EXPECT_EQ(steps, 65);
    EXPECT_EQ(animator.GetPosition(), (Point{928, 772 - 130}));
    for (const auto& p : host.places) {
        EXPECT_EQ(p.width, 352);
        EXPECT_EQ(p.height, 129);
        EXPECT_EQ(p.position.x, 928);
    }

    // A stay of 0 ms: sinking starts at the next tick, and ends hidden at the start position.
    host.places.clear();
    host.RunUntilIdle();
    EXPECT_EQ(animator.GetState(), State::Idle);
    EXPECT_FALSE(host.visible);
    EXPECT_TRUE(host.running.empty());
    ASSERT_FALSE(host.places.empty());
    EXPECT_EQ(host.places.back().position.y, 772);
    EXPECT_EQ(int(host.places.size()), 65);
}

TEST_F(BannerAnimationTest, TimesFollowTheShowStayAndHideTimes)
{
    // 640 ms over 64 steps: 10 ms a step; 1280 ms to hide: 20 ms a step.
    Show(640, 1800, 1280);
    EXPECT_EQ(animator.GetShowStepInterval(), 10u);
    EXPECT_EQ(animator.GetHideStepInterval(), 20u);
    host.Advance(66 * 10 - 1);
    EXPECT_EQ(animator.GetState(), State::Appearing);
    host.Advance(1);
    EXPECT_EQ(animator.GetState(), State::Waiting);
    host.Advance(1800 - 1);
    EXPECT_EQ(animator.GetState(), State::Waiting);
    host.Advance(1);
    EXPECT_EQ(animator.GetState(), State::Disappearing);
    // 65 steps back and one more tick that finds it home.
    host.Advance(66 * 20 - 1);
    EXPECT_EQ(animator.GetState(), State::Disappearing);
    host.Advance(1);
    EXPECT_EQ(animator.GetState(), State::Idle);
}

struct PlacementCase {
    const char* name;
    Rect work;
    Placement placement;
    Point start;
    Point shown;  // where the slide ends
};

class BannerPlacementTest : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(BannerPlacementTest, StartsAtTheTaskbarEdgeAndSlidesIntoTheWorkArea)
{
    const PlacementCase& c = GetParam();
    FakeBannerHost host;
    CBannerAnimator animator(host, host);
    host.Attach(&animator);
    animator.SetSize(352, 129);
    animator.Show(10, 100, 10, c.work, kScreenW, kScreenH);
    EXPECT_EQ(animator.GetPlacement(), c.placement);
    EXPECT_EQ(animator.GetStartPosition(), c.start);
    ASSERT_FALSE(host.places.empty());
    EXPECT_EQ(host.places.front().position, c.start);
    while (animator.GetState() == State::Appearing)
        host.Advance(1);
    EXPECT_EQ(animator.GetPosition(), c.shown);
}

INSTANTIATE_TEST_SUITE_P(
    Edges, BannerPlacementTest,
    ::testing::Values(
        PlacementCase{"bottom", {0, 0, 1280, 772}, Placement::Bottom, {928, 772}, {928, 642}},
        PlacementCase{"none", {0, 0, 1280, 800}, Placement::Bottom, {928, 800}, {928, 670}},
        // 352 / 2 = 176 steps: exactly the width.
        PlacementCase{"right", {0, 0, 1230, 800}, Placement::Right, {1230, 671}, {878, 671}},
        PlacementCase{"left", {50, 0, 1280, 800}, Placement::Left, {-302, 671}, {50, 671}},
        PlacementCase{"top", {0, 30, 1280, 800}, Placement::Top, {928, -99}, {928, 31}}),
    [](const ::testing::TestParamInfo<PlacementCase>& info) { return info.param.name; });

TEST_F(BannerAnimationTest, ShowWhileAppearingKeepsOneSlide)
{
    Show(640, 1000, 640);
    host.Advance(200);
    Point midway = animator.GetPosition();
    Show(640, 5000, 640);
    EXPECT_EQ(animator.GetState(), State::Appearing);
    EXPECT_EQ(animator.GetPosition(), midway);
    EXPECT_GT(host.redraws, 0);
    // One slide: the banner never goes back down while it rises.
    host.Advance(600);
    EXPECT_EQ(animator.GetState(), State::Waiting);
    for (size_t i = 1; i < host.places.size(); ++i)
        EXPECT_LE(host.places[i].position.y, host.places[i - 1].position.y);
    // The new stay time applies.
    host.Advance(4800);
    EXPECT_EQ(animator.GetState(), State::Waiting);
    host.Advance(100);
    EXPECT_EQ(animator.GetState(), State::Disappearing);
}

TEST_F(BannerAnimationTest, ShowWhileWaitingRestartsTheStay)
{
    Show(10, 1000, 10);
    while (animator.GetState() == State::Appearing)
        host.Advance(1);
    host.Advance(900);
    Show(10, 1000, 10);
    host.Advance(900);
    EXPECT_EQ(animator.GetState(), State::Waiting);
    host.Advance(101);
    EXPECT_EQ(animator.GetState(), State::Disappearing);
}

TEST_F(BannerAnimationTest, ShowWhileDisappearingJumpsBackAndWaitsTheNewStay)
{
    Show(10, 100, 640);
    while (animator.GetState() != State::Disappearing)
        host.Advance(1);
    host.Advance(200);
    ASSERT_EQ(animator.GetState(), State::Disappearing);
    ASSERT_GT(animator.GetPosition().y, 772 - 129);
    Show(10, 3000, 640);
    EXPECT_EQ(animator.GetState(), State::Waiting);
    EXPECT_EQ(animator.GetPosition(), (Point{928, 772 - 129}));
    EXPECT_EQ(host.places.back().position, (Point{928, 772 - 129}));
    EXPECT_EQ(host.running.count(banner::kDisappearTimer), 0u);
    host.Advance(2999);
    EXPECT_EQ(animator.GetState(), State::Waiting);
    EXPECT_EQ(animator.GetPosition(), (Point{928, 772 - 129}));
    host.Advance(1);
    EXPECT_EQ(animator.GetState(), State::Disappearing);
    host.RunUntilIdle();
    EXPECT_FALSE(host.visible);
}

TEST_F(BannerAnimationTest, ShowJustAfterTheStayEndedCountsAsLeaving)
{
    Show(10, 500, 640);
    while (animator.GetState() == State::Appearing)
        host.Advance(1);
    host.Advance(500);  // the stay is over; the first step down is 10 ms away
    ASSERT_EQ(animator.GetState(), State::Disappearing);
    Show(10, 2000, 640);
    EXPECT_EQ(animator.GetState(), State::Waiting);
    EXPECT_EQ(host.running.size(), 1u);
    EXPECT_EQ(host.running.count(banner::kStayTimer), 1u);
    Point shown = animator.GetPosition();
    host.Advance(1999);
    EXPECT_EQ(animator.GetPosition(), shown);
}

TEST_F(BannerAnimationTest, HideStopsEveryTimerFromAnyState)
{
    for (int stage = 0; stage < 3; ++stage) {
        Show(640, 500, 640);
        if (stage >= 1)
            while (animator.GetState() != State::Waiting)
                host.Advance(1);
        if (stage >= 2)
            while (animator.GetState() != State::Disappearing)
                host.Advance(1);
        animator.Hide();
        EXPECT_EQ(animator.GetState(), State::Idle) << stage;
        EXPECT_FALSE(host.visible) << stage;
        EXPECT_TRUE(host.running.empty()) << stage;
        size_t places = host.places.size();
        host.Advance(5000);
        EXPECT_EQ(host.places.size(), places) << "a timer moved the hidden banner, stage " << stage;
    }
}

TEST_F(BannerAnimationTest, ShowAfterTheEndStartsAFreshSlide)
{
    Show(10, 0, 10);
    host.RunUntilIdle();
    host.places.clear();
    Show(10, 0, 10, Rect{0, 0, 1230, 800});
    EXPECT_EQ(animator.GetPlacement(), Placement::Right);
    EXPECT_EQ(host.places.front().position, (Point{1230, 671}));
}

TEST(BannerAnimationEdge, ATinySkinNeitherDividesByZeroNorHangs)
{
    FakeBannerHost host;
    CBannerAnimator animator(host, host);
    host.Attach(&animator);
    animator.SetSize(1, 1);
    animator.Show(10, 0, 10, kWorkBottom, kScreenW, kScreenH);
    EXPECT_EQ(animator.GetShowStepInterval(), 10u);
    host.RunUntilIdle();
    EXPECT_EQ(animator.GetState(), State::Idle);
}

}  // namespace

}  // namespace talvero
