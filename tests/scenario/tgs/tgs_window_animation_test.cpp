// Label: optimised
// The message window's face animation on the real path effect: its end kept as the window's
// transform, animated and at once, the built-ins' window rules, and the talk that commits, moves
// and waits.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

#include "common/global.h"
#include "effects/motion_path.h"
#include "host/clock.h"
#include "platform/timer_service.h"
#include "scenario/tgs/tgs_frame.h"
#include "scenario/tgs/tgs_scene_world.h"
#include "scenario/tgs/tgs_test_world.h"
#include "scenario/tgs/tgs_window_fade.h"
#include "script/script_file_source.h"

namespace bw::test {
namespace {

class WindowAnimationTest : public RealEffectsWorld {
 protected:
  WindowAnimationTest() {
    (void)picture_.Create(300, 100, 32, kImagePlain);
    (void)picture_.Fill(0xFF336699, nullptr);
    (void)window_.SetImage(&picture_, nullptr, 250, 475);
    (void)shown_.GetCompositionLayer()->GetList().Add(&window_, 10000, 0);
  }
  ~WindowAnimationTest() override { shown_.GetCompositionLayer()->GetList().Remove(&window_); }

  ImageSurface picture_;
  Sprite window_;
};

TEST_F(WindowAnimationTest, RecordsTheEndThePathReachesBothForms) {
  const char* path = "P60,70 O99 Z1.5 R0.25";
  BothForms([&] {
    window_.SetPos(250, 475);
    window_.SetAlpha(255);
    TgsWindowTransform t;
    ASSERT_EQ(scene_->AnimateWindow(&window_, path, 300, false, t), 0);
    EXPECT_TRUE(t.Recorded());
    EXPECT_EQ(scene_->WaitWindowAnimation(false), 0);
    EXPECT_EQ(std::pair(t.x, t.y), std::pair(window_.GetX(), window_.GetY()));
    EXPECT_EQ(std::pair(int(t.alpha), window_.GetAlpha()), std::pair(99, 99));
    EXPECT_EQ(t.scale, 1.5f);
    EXPECT_EQ(t.angle, 128) << "a quarter turn in 512ths";

    // Saved and put back on a window that stands elsewhere: the same place and look.
    const auto bytes = t.ToBytes();
    float scale = 0;
    std::memcpy(&scale, bytes.data() + 32, sizeof scale);
    EXPECT_EQ(scale, 1.5f) << "save data reads the scale from word 8";
    Sprite other;
    (void)other.SetImage(&picture_, nullptr, 0, 0);
    TgsWindowTransform::FromBytes(bytes).ApplyTo(other);
    EXPECT_EQ(std::tuple(other.GetX(), other.GetY(), other.GetAlpha(), other.GetAngle()),
              std::tuple(window_.GetX(), window_.GetY(), window_.GetAlpha(), 128));
  });
}

TEST_F(WindowAnimationTest, SkippingEndsAtOnceAndFailuresLeaveTheRecord) {
  TgsWindowTransform t;
  skipping_ = true;
  ASSERT_EQ(scene_->AnimateWindow(&window_, "P10,20", 300, false, t), 0);
  EXPECT_EQ(timers_.FindById(kTaskKindSpriteEffect), nullptr) << "skipping: the end at once";
  EXPECT_EQ(std::pair(t.x, t.y), std::pair(window_.GetX(), window_.GetY()));
  skipping_ = false;

  // A long one is cut by a skippable wait, which leaves no task.
  ASSERT_EQ(scene_->AnimateWindow(&window_, "P30,40", 100000, false, t), 0);
  skipping_ = true;
  EXPECT_EQ(scene_->WaitWindowAnimation(true), 1);
  skipping_ = false;
  EXPECT_EQ(timers_.FindById(kTaskKindSpriteEffect), nullptr);

  const TgsWindowTransform before = t;
  EXPECT_EQ(scene_->AnimateWindow(nullptr, "P1,1", 300, false, t), kWindowNotReady);
  EXPECT_EQ(scene_->AnimateWindow(&window_, std::nullopt, 300, false, t), kSceneNoPicture);
  EXPECT_EQ(scene_->AnimateWindow(&window_, "P1,1 ?", 300, true, t), 3 + kPathBadCharacter)
      << "an immediate failure n answers n + 3";
  EXPECT_EQ(std::pair(t.x, t.priority), std::pair(before.x, before.priority));
}

// The frame's built-ins: window rules, the talk that commits, moves and waits, and the next
// page that puts the window back.
TEST_F(WindowAnimationTest, TalkCommitsMovesWaitsAndTheNextPageEndsIt) {
  struct Host : FakeFrameHost {
    std::function<bool()> worldTurn;
    Sprite* window = nullptr;
    Sprite* WindowSprite() override { return window; }
    int FrameTurn() override { return worldTurn(), FakeFrameHost::FrameTurn(); }
  } host;
  host.sceneHost = this;
  host.worldTurn = [this] { return Turn(); };
  MemoryScriptFileSource files;
  TgsFrame frame(nullptr, &files, &host);
  TgsOperations& operations = frame;

  EXPECT_EQ(operations.TalkAnime(1, "P1,1"), kBadWindow);
  EXPECT_EQ(operations.WaitTalkAnime(2, false), kBadWindow);
  EXPECT_EQ(operations.TalkAnime(-1, "P1,1"), kWindowNotReady) << "no window made yet";
  host.window = &window_;

  // Without show: the text stays collected, the window moves.
  frame.Text() = "hello";
  ASSERT_EQ(operations.MessageTalk(0, 300, "P100,200", false), 0);
  EXPECT_TRUE(host.shown.empty());
  EXPECT_EQ(operations.WaitTalkAnime(-1, false), 0);
  EXPECT_EQ(std::pair(window_.GetX(), window_.GetY()), std::pair(100, 200));

  // With show: committed, then moved, then waited for a click. The first click comes while the
  // window moves: it puts the window at its end and the wait goes on to the second.
  host.clickTurns = {host.turns + 2, host.turns + 3};
  ASSERT_EQ(operations.MessageTalk(0, 300, "P120,220", true), 0);
  EXPECT_EQ(host.turns, *host.clickTurns.rbegin());
  EXPECT_EQ(host.shown, std::vector<std::string>{"|hello"});
  EXPECT_TRUE(frame.Text().empty());
  EXPECT_EQ(timers_.FindById(kTaskKindSpriteEffect), nullptr);
  EXPECT_EQ(std::pair(window_.GetX(), window_.GetY()), std::pair(120, 220))
      << "an ended animation leaves the window at its end";
  ASSERT_EQ(operations.ReleaseTalkAnime(0), 0);

  // The recorded transform comes back on a window put elsewhere.
  window_.SetPos(0, 0);
  frame.ApplyWindowTransform();
  EXPECT_EQ(std::pair(window_.GetX(), window_.GetY()), std::pair(120, 220));

  // The next page ends the animation and forgets the transform.
  frame.Text() = "next";
  ASSERT_EQ(operations.MessageTalk(0, 100000, "P10,10", false), 0);
  ASSERT_NE(timers_.FindById(kTaskKindSpriteEffect), nullptr);
  EXPECT_EQ(frame.CommitMessageText(), 0);
  EXPECT_EQ(timers_.FindById(kTaskKindSpriteEffect), nullptr);
  window_.SetPos(5, 5);
  frame.ApplyWindowTransform();
  EXPECT_EQ(std::pair(window_.GetX(), window_.GetY()), std::pair(5, 5));
}

// The message windows' fade as a task on the effects' timer service: its alphas and end states,
// the built-in that waits for it, and the closing, the click and the end that cut it short.
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

// A fade runs frame by frame to full alpha and back; skipping or no timer service shows the end
// at once.
TEST_F(WindowFadeTest, FadesRunFrameByFrameUnlessSkippedOrWithoutTimers) {
  EXPECT_EQ(frame.FadeMessageWindows(true, 50, false), 0);
  EXPECT_TRUE(host.windowVisible);
  EXPECT_TRUE(frame.WindowShown());
  ASSERT_GE(host.alphas.size(), 3u);
  EXPECT_EQ(host.alphas.front(), 0) << "the first frame drawn is transparent";
  for (size_t i = 1; i < host.alphas.size(); ++i) EXPECT_GE(host.alphas[i], host.alphas[i - 1]);
  EXPECT_EQ(host.alphas.back(), 255);
  EXPECT_EQ(host.timers.Count(), 0u) << "the task is gone once it ended";
  EXPECT_EQ(host.turns, 6) << "10 ms turns: the start, then 50 ms";

  // The fade out hides the windows and puts the alpha back.
  host.alphas.clear();
  EXPECT_EQ(frame.FadeMessageWindows(false, 40, true), 0);
  EXPECT_FALSE(host.windowVisible);
  EXPECT_FALSE(frame.WindowShown());
  ASSERT_FALSE(host.buttonsShown.empty());
  EXPECT_FALSE(host.buttonsShown.back());
  EXPECT_EQ(host.alphas.front(), 255);
  EXPECT_EQ(host.alphas.back(), 255) << "hidden, then opaque again for the next show";
  EXPECT_LT(*std::min_element(host.alphas.begin(), host.alphas.end()), 255);

  // The state the dispatch leaves is what this checks.
  (void)frame.DispatchInput(5);  // system skip on
  host.alphas.clear();
  const int turns = host.turns;
  EXPECT_EQ(frame.FadeMessageWindows(true, 300, true), 0);
  EXPECT_EQ(host.turns, turns);
  EXPECT_TRUE(host.windowVisible);
  EXPECT_TRUE(host.alphas.empty());
  // The state the dispatch leaves is what this checks.
  (void)frame.DispatchInput(5);

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
  EXPECT_EQ(frame.BeginMessage(0), 0);
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
  EXPECT_EQ(frame.BeginMessage(1), 0);
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
}  // namespace bw::test
