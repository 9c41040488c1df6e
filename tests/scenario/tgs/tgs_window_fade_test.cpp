// Label: optimised
// The message windows' fade as a task on the effects' timer service: its alphas and end states,
// the built-in that waits for it, and the closing, the click and the end that cut it short.
#include "scenario/tgs/tgs_window_fade.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "common/global.h"
#include "host/clock.h"
#include "platform/timer_service.h"
#include "scenario/tgs/tgs_frame.h"
#include "scenario/tgs/tgs_test_world.h"
#include "script/script_file_source.h"

namespace bw {
namespace {

// A frame host whose turns step the effects' timer service on the host's clock, and which keeps
// what the windows were told.
struct FadeHost : FakeFrameHost {
  host::VirtualClock clockSource{1000};
  ScopedGlobal<host::ClockSource> publishedClock{&clockSource};
  TimerService timers;
  ScopedGlobal<TimerService> publishedTimers{&timers};
  std::vector<int> alphas;
  bool windowVisible = false;

  int FrameTurn() override {
    const int r = FakeFrameHost::FrameTurn();
    clockSource.SetMilliseconds(clock);
    timers.RunDue(clock);
    return r;
  }
  void SetWindowAlpha(uint8_t alpha, bool) override { alphas.push_back(alpha); }
  void SetWindowVisible(bool visible) override { windowVisible = visible; }
};

class WindowFadeTest : public ::testing::Test {
 protected:
  WindowFadeTest() : frame(nullptr, &files, &host) {}

  MemoryScriptFileSource files;
  FadeHost host;
  TgsFrame frame;
};

TEST(WindowFadeAlpha, RisesFallsAndNeverWraps) {
  EXPECT_EQ(TgsWindowFade::AlphaAt(true, 0, 300), 0);
  EXPECT_EQ(TgsWindowFade::AlphaAt(true, 150, 300), 127);
  EXPECT_EQ(TgsWindowFade::AlphaAt(false, 150, 300), 128);
  EXPECT_EQ(TgsWindowFade::AlphaAt(true, 900, 300), 255) << "elapsed is capped at the time";
  EXPECT_EQ(TgsWindowFade::AlphaAt(true, 0xF0000000u, 0xFFFFFFFFu), 239)
      << "elapsed x 255 past 32 bits";
  EXPECT_EQ(TgsWindowFade::AlphaAt(false, 5, 0), 0) << "a time of 0 is 1 ms";
}

TEST_F(WindowFadeTest, FadeInRunsFrameByFrameToFullAlpha) {
  EXPECT_EQ(frame.FadeMessageWindows(true, 50, false), 0);
  EXPECT_TRUE(host.windowVisible);
  EXPECT_TRUE(frame.WindowShown());
  ASSERT_GE(host.alphas.size(), 3u);
  EXPECT_EQ(host.alphas.front(), 0) << "the first frame drawn is transparent";
  for (size_t i = 1; i < host.alphas.size(); ++i) EXPECT_GE(host.alphas[i], host.alphas[i - 1]);
  EXPECT_EQ(host.alphas.back(), 255);
  EXPECT_EQ(host.timers.Count(), 0u) << "the task is gone once it ended";
  EXPECT_EQ(host.turns, 6) << "10 ms turns: the start, then 50 ms";
}

TEST_F(WindowFadeTest, FadeOutHidesAndPutsAlphaBack) {
  host.windowVisible = true;
  EXPECT_EQ(frame.FadeMessageWindows(false, 40, true), 0);
  EXPECT_FALSE(host.windowVisible);
  EXPECT_FALSE(frame.WindowShown());
  ASSERT_FALSE(host.buttonsShown.empty());
  EXPECT_FALSE(host.buttonsShown.back());
  EXPECT_EQ(host.alphas.front(), 255);
  EXPECT_EQ(host.alphas.back(), 255) << "hidden, then opaque again for the next show";
  EXPECT_LT(*std::min_element(host.alphas.begin(), host.alphas.end()), 255);
}

TEST_F(WindowFadeTest, SkippingOrNoTimerServiceShowAtOnce) {
  frame.DispatchInput(5);  // system skip on
  host.alphas.clear();
  const int turns = host.turns;
  EXPECT_EQ(frame.FadeMessageWindows(true, 300, true), 0);
  EXPECT_EQ(host.turns, turns);
  EXPECT_TRUE(host.windowVisible);
  EXPECT_TRUE(host.alphas.empty());
  frame.DispatchInput(5);

  ScopedGlobal<TimerService> none{nullptr};
  EXPECT_EQ(frame.FadeMessageWindows(false, 300, false), 0);
  EXPECT_EQ(host.turns, turns);
  EXPECT_FALSE(host.windowVisible);
}

// A quit leaves the fade running; closing the window, a click of the next wait or the end of
// the scene ends it at its end state.
TEST_F(WindowFadeTest, QuitLeavesItRunningForCloseAndClickToEnd) {
  host.quitAtTurn = host.turns + 2;
  EXPECT_EQ(frame.FadeMessageWindows(false, 100000, false), -1);
  ASSERT_EQ(host.timers.Count(), 1u);
  EXPECT_EQ(frame.CloseMessageWindow(0), 0);
  EXPECT_EQ(host.timers.FindByHandle(1), nullptr);
  EXPECT_FALSE(host.windowVisible);
  EXPECT_EQ(host.alphas.back(), 255);

  // Wait mode 2: the first click ends the fade and the wait goes on; the second ends the wait.
  host.quitAtTurn = host.turns + 1;
  EXPECT_EQ(frame.FadeMessageWindows(true, 100000, false), -1);
  host.clickTurns = {host.turns + 2, host.turns + 4};
  frame.BeginMessage(0);
  frame.Text() = "text";
  ASSERT_EQ(frame.MessageWait(), 0);
  EXPECT_EQ(host.alphas.back(), 255);
  EXPECT_EQ(host.timers.FindById(kTaskKindNone), nullptr);
  EXPECT_EQ(host.turns, *host.clickTurns.rbegin()) << "the first click only ended the fade";

  // Without the click-skips setting a click ends the wait and leaves the fade alone.
  host.settings.clickSkips = false;
  host.quitAtTurn = host.turns + 1;
  EXPECT_EQ(frame.FadeMessageWindows(true, 100000, false), -1);
  host.clickTurns = {host.turns + 2};
  frame.BeginMessage(1);
  frame.Text() = "more";
  ASSERT_EQ(frame.MessageWait(), 0);
  EXPECT_NE(host.timers.FindById(kTaskKindNone), nullptr);
  EXPECT_EQ(host.turns, *host.clickTurns.begin());
}

TEST_F(WindowFadeTest, DestroyingTheFrameEndsTheFade) {
  {
    TgsFrame other(nullptr, &files, &host);
    host.quitAtTurn = host.turns + 1;
    EXPECT_EQ(other.FadeMessageWindows(false, 100000, true), -1);
    host.windowVisible = true;
  }
  EXPECT_EQ(host.timers.FindById(kTaskKindNone), nullptr);
  EXPECT_FALSE(host.windowVisible) << "the fade-out's end state, not a task left on the host";
}

}  // namespace
}  // namespace bw
