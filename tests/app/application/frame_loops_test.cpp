// Label: threads
// The frame loops and the threaded frame step, headless on the virtual clock.
#include "app/application/game_app.h"

#include <gtest/gtest.h>

#include <functional>

#include "graphics/device/direct_draw_device.h"
#include "graphics/device/render_item.h"
#include "host/input_event.h"
#include "host/message_queue.h"
#include "support/game_run.h"
#include "support/movie_samples.h"
#include "support/spin_until.h"

namespace bw {
namespace {

using test::CountingTask;
using test::SpinUntil;

constexpr char kEndless[] = "l:\n wait\n jmp l\n";
constexpr uint32_t kFrameMs = 16;
constexpr uint32_t kHalfFrameMs = kFrameMs / 2;
constexpr uint32_t kIdleTurnMs = 50;
constexpr uint32_t kUnusedMessage = 0x8123;

struct LoopKind {
  const char* name;
  bool threaded;
  bool canvas;
};

constexpr LoopKind kLoops[] = {
    {"direct", false, false},
    {"canvas", false, true},
    {"locked direct", true, false},
    {"locked canvas", true, true},
};

class FrameLoopTest : public test::GameRun {
 public:
  FrameLoopTest() { config.pacing.frameSkipCounting = 1; }
  // A refused mode latches exclusive mode for the rest of the process.
  ~FrameLoopTest() override { SetExclusiveModeLatched(false); }

  // A started application whose script host runs body as "MAIN", with the loop of kind chosen.
  // The threaded loops run on this thread: their frame thread is never started.
  std::unique_ptr<GameApp> Start(const std::string& body, const LoopKind& kind = kLoops[0]) {
    config.engine.canvas = kind.canvas ? 1 : 0;
    WriteGame(body);
    auto app = std::make_unique<GameApp>();
    EXPECT_TRUE(GameRun::Start(*app));
    EXPECT_EQ(app->FrameThreadBegin(), 0);
    app->Config().engine.threadedDriving = kind.threaded ? 1 : 0;
    app->ChooseFrameLoop();
    return app;
  }

  uint32_t Now() { return static_cast<uint32_t>(clock().NowNanoseconds() / 1000000u); }
  host::VirtualClock& clock() { return backend.Clock(); }

  // The last frame was due idleMs ago.
  void FrameDueAfter(GameApp& app, uint32_t idleMs) {
    app.GetFrameClock().SetRate(60, false);
    clock().AdvanceMilliseconds(idleMs);
  }

  // The frame thread's step on a frame that came due on time.
  int StepOnTime(GameApp& app) { return FrameDueAfter(app, kFrameMs), app.FrameThreadStep(); }

  // Runs fn and answers how long it slept on the virtual clock.
  uint32_t SleptDuring(const std::function<void()>& fn) {
    uint32_t before = Now();
    fn();
    return Now() - before;
  }

  CountingTask* AddTask(TimerService& service, std::function<void(int)> action = {}) {
    return test::List(service, std::make_unique<CountingTask>(std::move(action)));
  }
};

// Each loop takes its steps from the frames behind. Paced by the performance counter, a turn
// without a frame due sleeps to within a millisecond of the frame and yields only through that
// one: an idle window turns a few times a frame, not the hundred times that yielding through the
// second half of every frame takes. The slot's window movie is stepped by every loop on the
// virtual clock, and while it shows the game's frames are held back.
TEST_F(FrameLoopTest, EachLoopPacesItsStepsAndStepsTheWindowMovie) {
  constexpr uint64_t kMostTurnsPerIdleFrame = 12;
  const std::vector<uint8_t> bytes = test::MakeMovie({});
  ASSERT_FALSE(bytes.empty());
  dir.WriteFile("OP.MPG", std::string(bytes.begin(), bytes.end()));
  for (const LoopKind& kind : kLoops) {
    SCOPED_TRACE(kind.name);
    auto app = Start(kEndless, kind);
    // {slept, answer} of one turn.
    auto turn = [&](uint32_t idleMs) {
      FrameDueAfter(*app, idleMs);
      int r = 0;
      return std::pair(SleptDuring([&] { r = app->FrameLoop(); }), r);
    };
    EXPECT_EQ(turn(kFrameMs), std::pair(0u, kFrameOneStep)) << "on time, no sleep after the frame";
    EXPECT_EQ(turn(8 * kFrameMs), std::pair(kHalfFrameMs, kFrameOneStep))
        << "the wait hint; seven behind is too far to catch up";
    EXPECT_EQ(turn(3 * kFrameMs), std::pair(kHalfFrameMs, 2));
    // Not due yet: the loop sleeps the rest of the frame and then draws it.
    EXPECT_EQ(turn(0), std::pair(kFrameMs, kFrameOneStep));

    app->GetFrameClock().SetRate(60, true);
    ASSERT_TRUE(app->GetFrameClock().UsesPerformanceCounter());
    for (int frame = 0; frame < 3; ++frame) {
      const uint64_t before = app->FrameTurns();
      EXPECT_EQ(app->FrameLoop(), kFrameOneStep);
      EXPECT_LE(app->FrameTurns() - before, kMostTurnsPerIdleFrame) << "frame " << frame;
    }

    auto owned = std::make_unique<MovieObject>();
    ASSERT_EQ(owned->Open(app->MainWindow().GetHandle(), "OP.MPG", nullptr, 64, 48), kMovieOpened);
    MovieObject* movie = owned.get();
    app->SetMovieObject(std::move(owned));
    (void)movie->Play();
    clock().AdvanceMilliseconds(500);
    EXPECT_NE(app->FrameLoop(), kFrameStop);
    EXPECT_EQ(app->MovieShowingState(), 1);
    EXPECT_FALSE(movie->LastFrame().empty()) << "a frame was decoded";
    ASSERT_EQ(0, movie->Stop());
    FrameDueAfter(*app, kFrameMs);
    EXPECT_NE(app->FrameLoop(), kFrameStop);
    EXPECT_EQ(app->MovieShowingState(), 0);
    app->AppShutdown(1);
  }
}

TEST_F(FrameLoopTest, TheFrameThreadStepsOnceMoreThanTheFramesBehind) {
  struct Case {
    const char* name;
    const char* body;
    uint32_t idleMs;
    int first;   // the step's answer for the frame
    int second;  // the next on-time frame's
  };
  const Case cases[] = {
      {"two behind: the third step ends MAIN", " wait\n wait\n ret\n", 3 * kFrameMs,
       kFrameStepEnded, 0},
      {"two behind: three steps", " wait\n wait\n wait\n ret\n", 3 * kFrameMs, 0, kFrameStepEnded},
      {"seven behind: one step", " wait\n ret\n", 8 * kFrameMs, 0, kFrameStepEnded},
  };
  for (const Case& c : cases) {
    auto app = Start(c.body, kLoops[2]);
    FrameDueAfter(*app, c.idleMs);
    EXPECT_EQ(app->FrameThreadStep(), c.first) << c.name;
    if (c.first == 0) {
      EXPECT_EQ(StepOnTime(*app), c.second) << c.name;
    }
    app->AppShutdown(1);
  }
}

TEST_F(FrameLoopTest, TheFrameThreadServesTheInterruptFoundAfterAStep) {
  // 1 restarts "MAIN" from its top; 3 is only cleared.
  for (uint8_t request : {kInterruptRestart, uint8_t{3}}) {
    auto app = Start(" wait\n wait\n ret\n", kLoops[2]);
    ASSERT_EQ(StepOnTime(*app), 0);
    app->RequestInterrupt(request);
    EXPECT_EQ(StepOnTime(*app), 0);
    EXPECT_EQ(app->InterruptRequest(), kInterruptNone);
    EXPECT_EQ(StepOnTime(*app), request == kInterruptRestart ? 0 : kFrameStepEnded) << int{request};
    app->AppShutdown(1);
  }
}

TEST_F(FrameLoopTest, AQuitOrAPendingInterruptEndsTheLoopOnThatTurn) {
  for (const LoopKind& kind : kLoops) {
    // The frame thread has no pump: only the interrupt reaches it.
    for (bool quit : {true, false}) {
      if (quit && kind.threaded) continue;
      auto app = Start(kEndless, kind);
      CountingTask* turns = AddTask(app->FirstTimers());
      FrameDueAfter(*app, kFrameMs);
      if (quit) {
        host::PostQuitMessage(0);
      } else {
        app->RequestInterrupt(kInterruptRestart);
      }
      EXPECT_EQ(app->FrameLoop(), kFrameStop) << kind.name;
      EXPECT_EQ(std::tuple(app->QuitSeen(), turns->updates.load()), std::tuple(quit, 0))
          << kind.name << ": the turn went no further";
      app->RequestInterrupt(kInterruptNone);
      app->AppShutdown(1);
    }
  }
}

TEST_F(FrameLoopTest, AnInactiveApplicationHoldsItsFramesWhileAnyRuleSaysSo) {
  struct Case {
    const char* name;
    bool pauseWhenInactive;
    bool exclusiveFullScreen;
    bool held;
  };
  const Case cases[] = {
      {"pause when inactive", true, false, true},
      {"exclusive full screen", false, true, true},
      {"no rule: frames go on", false, false, false},
  };
  for (const LoopKind& kind : {kLoops[0], kLoops[2]}) {
    for (const Case& c : cases) {
      auto app = Start(kEndless, kind);
      app->Config().display.pauseWhenInactive = c.pauseWhenInactive ? 1 : 0;
      if (c.exclusiveFullScreen) {
        SetExclusiveModeLatched(true);
        ASSERT_EQ(app->GetDisplayManager().SelectDisplayDevice(true, kNoMonitor, 0, 32, nullptr),
                  kDisplayDone);
        ASSERT_EQ(app->SwitchScreenMode(kSavedScreenFull, 32, kSwitchForced), kSwitchDone);
        SetExclusiveModeLatched(false);
        ASSERT_EQ(app->GetDisplayManager().CooperativeState(), kCoopExclusive);
      }
      Window& window = app->MainWindow();
      window.SendMessage(host::WM_ACTIVATEAPP, 0, 0);
      ASSERT_FALSE(app->Active());
      CountingTask* frames = AddTask(app->SecondTimers());
      // The third held turn gives the focus back; the pumped loop waits for a message each turn.
      CountingTask* turns = AddTask(app->FirstTimers(), [&](int n) {
        if (n == 3) {
          EXPECT_TRUE(window.PostMessage(host::WM_ACTIVATEAPP, 1, 0));
          if (kind.threaded) window.SendMessage(host::WM_ACTIVATEAPP, 1, 0);
        } else {
          EXPECT_TRUE(window.PostMessage(kUnusedMessage, 0, 0));
        }
      });
      FrameDueAfter(*app, kFrameMs);
      uint32_t slept = SleptDuring(
          [&] { EXPECT_NE(app->FrameLoop(), kFrameStop) << kind.name << ", " << c.name; });
      EXPECT_EQ(frames->updates, 1) << kind.name << ", " << c.name;
      EXPECT_EQ(turns->updates, c.held ? (kind.threaded ? 3 : 4) : 1)
          << kind.name << ", " << c.name;
      if (kind.threaded) {
        EXPECT_GE(slept, c.held ? 2 * kIdleTurnMs : 0u) << c.name << ": the frame thread idles";
      } else {
        EXPECT_EQ(slept, 0u) << c.name << ": waiting for messages takes no frame time";
      }
      app->AppShutdown(1);
    }
  }
}

TEST_F(FrameLoopTest, TheEffectsPauseHoldsTheFrameThreadAndStaysBalanced) {
  auto app = Start(kEndless, kLoops[2]);
  CountingTask* effect = AddTask(app->SecondTimers());
  CountingTask* heldElsewhere = AddTask(app->SecondTimers());
  heldElsewhere->Pause(Now());
  const uint32_t heldCount = heldElsewhere->PauseCount();

  // The loops on the main thread leave the request alone.
  app->Config().engine.threadedDriving = 0;
  app->ChooseFrameLoop();
  app->RequestEffectsPause(kEffectsPauseRequested);
  FrameDueAfter(*app, kFrameMs);
  EXPECT_EQ(app->FrameLoop(), kFrameOneStep);
  EXPECT_EQ(std::tuple(app->EffectsPauseState(), effect->PauseCount()),
            std::tuple(kEffectsPauseRequested, 0u));

  FrameDueAfter(*app, kFrameMs);
  EXPECT_EQ(SleptDuring([&] { EXPECT_EQ(app->FrameThreadStep(), 0); }), kIdleTurnMs);
  EXPECT_EQ(std::tuple(app->EffectsPauseState(), effect->PauseCount()),
            std::tuple(kEffectsPaused, 1u));
  int updates = effect->updates;
  FrameDueAfter(*app, kFrameMs);
  EXPECT_EQ(SleptDuring([&] { EXPECT_EQ(app->FrameThreadStep(), 0); }), kIdleTurnMs)
      << "still paused";
  // A second request while paused does not nest the pause.
  app->RequestEffectsPause(kEffectsPauseRequested);
  EXPECT_EQ(app->FrameThreadStep(), 0);
  EXPECT_EQ(std::tuple(effect->PauseCount(), effect->updates.load()), std::tuple(1u, updates))
      << "no frame while paused";

  app->RequestEffectsPause(kEffectsResumeRequested);
  EXPECT_EQ(StepOnTime(*app), 0);
  EXPECT_EQ(std::tuple(app->EffectsPauseState(), effect->PauseCount(), heldElsewhere->PauseCount()),
            std::tuple(kEffectsRunning, 0u, heldCount));
  EXPECT_GT(effect->updates, updates);

  // A resume without a pause resumes nothing.
  app->RequestEffectsPause(kEffectsResumeRequested);
  EXPECT_EQ(StepOnTime(*app), 0);
  EXPECT_EQ(std::tuple(app->EffectsPauseState(), heldElsewhere->PauseCount()),
            std::tuple(kEffectsRunning, heldCount));

  // A pause whose byte is simply cleared is undone as a resume would.
  app->RequestEffectsPause(kEffectsPauseRequested);
  EXPECT_EQ(app->FrameThreadStep(), 0);
  app->RequestEffectsPause(kEffectsRunning);
  EXPECT_EQ(StepOnTime(*app), 0);
  EXPECT_EQ(effect->PauseCount(), 0u);

  // The threaded loop honours it as the step does.
  app->Config().engine.threadedDriving = 1;
  app->ChooseFrameLoop();
  AddTask(app->FirstTimers(), [&](int n) {
    if (n == 2) app->RequestEffectsPause(kEffectsResumeRequested);
  });
  app->RequestEffectsPause(kEffectsPauseRequested);
  FrameDueAfter(*app, kFrameMs);
  EXPECT_NE(app->FrameLoop(), kFrameStop);
  EXPECT_EQ(std::tuple(app->EffectsPauseState(), effect->PauseCount()),
            std::tuple(kEffectsRunning, 0u));
  app->AppShutdown(1);
}

TEST_F(FrameLoopTest, AParkedFrameThreadRunsNothingUntilReleased) {
  config.engine.threadedDriving = 1;
  WriteGame(kEndless);
  GameApp app;
  CountingTask* turns = AddTask(app.FirstTimers());
  ASSERT_TRUE(GameRun::Start(app));
  ASSERT_TRUE(app.FrameThread().IsRunning());
  ASSERT_TRUE(SpinUntil([&] { return turns->updates > 0; }, "the frame thread's first turn"));

  host::HWND window = app.MainWindow().GetHandle();
  EXPECT_EQ(app.WaitForFrameThread(&window), kWaitParked);
  EXPECT_EQ(app.FramePauseState(), kFrameParked);
  EXPECT_FALSE(host::IsWindowEnabled(window)) << "the window takes no input while parked";
  host::InputEvent click;
  click.kind = host::InputEventKind::kMouseButtonDown;
  EXPECT_FALSE(host::DeliverInputEvent(window, click));
  int parkedAt = turns->updates;
  // The parked thread idles in its own waits; several of them pass without a turn.
  uint32_t since = Now();
  ASSERT_TRUE(SpinUntil([&] { return Now() - since >= 4 * kIdleTurnMs; },
                        "the parked thread's idle waits"));
  EXPECT_EQ(turns->updates, parkedAt);
  app.ReleaseFrameThreadWait(&window);
  EXPECT_EQ(app.FramePauseState(), kFrameRunning);
  EXPECT_TRUE(host::IsWindowEnabled(window));
  ASSERT_TRUE(SpinUntil([&] { return turns->updates > parkedAt; }, "a turn after the release"));
  // A screen-mode request from the window thread is carried out at once.
  EXPECT_EQ(app.RequestScreenMode(kSavedScreenWindow, 0, 1), 0);

  app.FrameThread().RequestStop();
  host::MSG msg;
  while (host::GetMessage(&msg, host::HWND{}, 0, 0) > 0) host::DispatchMessage(msg);
  EXPECT_FALSE(app.MainWindow().IsWindow()) << "the frame thread's end destroys the window";
  app.AppShutdown(0);
  EXPECT_EQ(app.ExitStatus(), kExitNormal);
}

}  // namespace
}  // namespace bw
