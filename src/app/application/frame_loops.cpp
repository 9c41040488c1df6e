// The frame loops and the script stepping between start-up and shut-down, on the main thread or
// on the frame thread of the threaded driving mode.
//
// A loop answers kFrameStop, or how many script steps this frame takes. Natives that wait for
// frames inside a step call the same loop and stop waiting when it answers kFrameStop.
#include "app/application/game_app.h"

#include <algorithm>

#include "host/clock.h"
#include "host/d3d/direct3d.h"
#include "host/message_queue.h"

namespace bw {

namespace {

constexpr uint32_t kIdleWaitMs = 50;  // the frame thread's turn while parked, paused or inactive
constexpr uint32_t kBlankWaitMs = 3;  // before a frame the vertical blank paces
constexpr uint32_t kColorKeyOn = 1;

// How long a turn on which no frame is due sleeps. With the performance counter the clock's own
// hint sleeps through the first half of a frame only and leaves the second to yields, a hundred
// turns a frame that each pump the window: an idle screen would keep a tenth of a core busy.
// Sleeping whole milliseconds to within one of the frame, and yielding only through that last
// one, keeps the frame on time as well.
uint32_t IdleSleepMs(const FrameClock& clock) {
  if (!clock.UsesPerformanceCounter()) return clock.WaitHint();
  const uint32_t left = clock.MsToNextFrame();
  return left > 1 ? left - 1 : 0;
}

}  // namespace

void GameApp::ChooseFrameLoop() {
  const bool canvas = GetDisplayManager().GetScreenCanvas() != nullptr;
  canvasLoop_ = canvas;
  if (Threaded()) {
    frameFunction_ = canvas ? &GameApp::LockedCanvasFrameLoop : &GameApp::LockedDirectFrameLoop;
  } else {
    frameFunction_ = canvas ? &GameApp::CanvasFrameLoop : &GameApp::DirectFrameLoop;
  }
}

// A script may change the screen between a canvas and the render list: the loop follows from the
// next turn.
int GameApp::FrameLoop() {
  if ((GetDisplayManager().GetScreenCanvas() != nullptr) != canvasLoop_) ChooseFrameLoop();
  return (this->*frameFunction_)();
}

// The effects have every turn drawn between frames, as fast as the machine goes. A clock that
// moves only when slept on would never reach the next frame that way: there the turn sleeps until
// the frame is due instead, so a virtual second holds as many frames with effects as without.
void GameApp::SleepToNextFrame() {
  host::Sleep(std::max<uint32_t>(1, pacing_.Clock().MsToNextFrame()));
}

bool GameApp::HeldWhileInactive() {
  if (Active()) return false;
  if (config_.display.pauseWhenInactive != 0 || FullScreenReapplyPending() != 0) return true;
  return GetDisplayManager().ScreenState() == kScreenFull &&
         GetDisplayManager().CooperativeState() == kCoopExclusive;
}

bool GameApp::PresentOrRestore() {
  if (GetDisplayManager().Present() == kPresentLost &&
      GetDisplayManager().RestoreLostSurfaces() != 0) {
    displayFailure_ = kDisplayRestoreFailed;
    return false;
  }
  return true;
}

void GameApp::RunFirstTimers() {
  ScopedLock hold(timers_.FirstLock());
  timers_.First().RunDue(host::TimeGetTime());
}

// Without a back buffer the clearing and the drawing answer their failure and draw nothing.
void GameApp::DrawRenderListFrame() {
  // A frame that is not shown is drawn again on the next turn.
  if (clearBackBuffer_) (void)GetDisplayManager().ClearBackBuffer();
  timers_.Second().RunDue(host::TimeGetTime());
  // A frame that is not shown is drawn again on the next turn.
  (void)GetDisplayManager().DrawRenderList();
}

void GameApp::DrawCanvasFrame() {
  timers_.Second().RunDue(host::TimeGetTime());
  // A frame that is not shown is drawn again on the next turn.
  (void)GetDisplayManager().UpdateBackBuffer();
}

bool GameApp::CanvasCovered() {
  return movie_.Showing() && GetDisplayManager().GetPrimary() != nullptr;
}

int GameApp::StepsForFrame(bool onFrameThread) {
  int32_t behind = pacing_.Clock().FramesBehind();
  if (behind == 0) return kFrameOneStep;
  if (behind > kMostStepsPerFrame) behind = kFrameOneStep;
  if (uint32_t hint = pacing_.Clock().WaitHint(); hint != 0) {
    if (onFrameThread) {
      FrameThreadWait(hint);
    } else {
      host::Sleep(hint);
    }
  }
  return behind;
}

int GameApp::DirectFrameLoop() {
  if (!movie_.Showing() && !PresentOrRestore()) return kFrameStop;
  return PumpedLoop(false);
}

int GameApp::CanvasFrameLoop() {
  return PumpedLoop(true);
}

int GameApp::PumpedLoop(bool canvas) {
  for (;;) {
    CountFrameTurn();
    if (PumpMessages(config_.pacing.systemCursor != 0) == kPumpQuit) return kFrameStop;
    if (displayFailure_ != kDisplayOk || interrupt_ != kInterruptNone) return kFrameStop;
    RunFirstTimers();
    TrackMovie();
    if (HeldWhileInactive()) {
      host::WaitMessage();
      continue;
    }
    if (!pacing_.Clock().Tick()) {
      if (pacing_.PriorityLowerings() == 0) {
        host::Sleep(IdleSleepMs(pacing_.Clock()));
      } else if (!host::CurrentClock().MovesOnItsOwn()) {
        SleepToNextFrame();
      } else if (!movie_.Showing()) {
        // The effects asked for every turn: draw instead of sleeping.
        if (canvas) {
          DrawCanvasFrame();
        } else {
          DrawRenderListFrame();
          if (!PresentOrRestore()) return kFrameStop;
        }
      }
      continue;
    }
    if (!canvas && GetDisplayManager().VerticalBlankWait() != 0)
      host::Sleep(yieldBeforeFrame_ ? 0 : kBlankWaitMs);
    UpdatePointer();
    GetInputManager().Poll();
    if (!movie_.Showing()) {
      if (canvas) {
        DrawCanvasFrame();
      } else {
        DrawRenderListFrame();
      }
    }
    return StepsForFrame(false);
  }
}

bool GameApp::EffectsPausedTurn() {
  if (!timers_.FollowEffectsPause()) return false;
  FrameThreadWait(kIdleWaitMs);
  return true;
}

void GameApp::DrawAndPresentOnFrameThread(bool canvas) {
  ScopedLock hold(FrameLock());
  if (canvas) {
    if (!CanvasCovered()) DrawCanvasFrame();
  } else if (!movie_.Showing()) {
    DrawRenderListFrame();
    // A frame that is not shown is drawn again on the next turn.
    (void)GetDisplayManager().Present();
  }
}

bool GameApp::FrameDueOnFrameThread(bool canvas, bool tickAgainAfterDrawing) {
  // The frame clock is this thread's: a pacing change the window thread asked for lands here.
  pacing_.UpdateIfAsked();
  while (!pacing_.Clock().Tick()) {
    if (pacing_.PriorityLowerings() == 0) {
      FrameThreadWait(IdleSleepMs(pacing_.Clock()));
      return false;
    }
    if (host::CurrentClock().MovesOnItsOwn()) {
      DrawAndPresentOnFrameThread(canvas);
    } else {
      SleepToNextFrame();
    }
    // Drawing every turn never waits, so a stop request is looked for here.
    if (!tickAgainAfterDrawing || !FrameThread().KeepRunning()) return false;
  }
  return true;
}

void GameApp::DueFrameOnFrameThread(bool canvas, bool drawCanvas) {
  if (!canvas && GetDisplayManager().VerticalBlankWait() != 0) {
    if (yieldBeforeFrame_) {
      host::Sleep(0);
    } else {
      FrameThreadWait(kBlankWaitMs);
    }
  }
  {
    // The window thread switches the screen and the pointer's display mode under this lock.
    ScopedLock hold(FrameLock());
    MeasurePointer();
    GetInputManager().Poll();
    if (!canvas) {
      if (!movie_.Showing()) DrawRenderListFrame();
    } else if (drawCanvas && !CanvasCovered()) {
      DrawCanvasFrame();
    }
  }
  // Sent with the lock let go: the window thread may be waiting for it.
  SendPointerRequests();
}

int GameApp::LockedDirectFrameLoop() {
  if (!movie_.Showing()) {
    ScopedLock hold(FrameLock());
    // A frame that is not shown is drawn again on the next turn.
    (void)GetDisplayManager().Present();
  }
  return LockedLoop(false);
}

int GameApp::LockedCanvasFrameLoop() {
  return LockedLoop(true);
}

int GameApp::LockedLoop(bool canvas) {
  for (;;) {
    CountFrameTurn();
    if (!FrameThread().KeepRunning()) return kFrameStop;
    if (FramePaused()) continue;
    if (interrupt_ != kInterruptNone) return kFrameStop;
    RunFirstTimers();
    TrackMovie();
    if (EffectsPausedTurn()) continue;
    if (HeldWhileInactive()) {
      FrameThreadWait(kIdleWaitMs);
      continue;
    }
    if (displayFailure_ != kDisplayOk) return kFrameStop;
    if (!FrameDueOnFrameThread(canvas, true)) continue;
    DueFrameOnFrameThread(canvas, true);
    return StepsForFrame(true);
  }
}

void GameApp::FailScriptStep(int stepResult) {
  if (stepResult >= kStepIllegal && stepResult <= kStepCallFailed) {
    ShowMessage(StepFailureMessage(stepResult));
  }
  exitStatus_ = kExitScriptFailed;
}

bool GameApp::StepScript(int& stepsLeft) {
  int r = host_->Step();
  if (r == kStepEnded) return false;
  if (r != kStepWaiting) {
    FailScriptStep(r);
    return false;
  }
  if (interrupt_ != kInterruptNone) {
    if (!ServePendingInterrupt()) return false;
  }
  --stepsLeft;
  return true;
}

void GameApp::PrepareFrames() {
  pacing_.Clock().SetSkipCounting(config_.pacing.frameSkipCounting != 0);
  // A state the device refuses leaves the one it has.
  (void)GetDisplayManager().SetColorKeyEnable(kColorKeyOn);
  (void)GetDisplayManager().SetCullMode(host::kCullNone);
}

void GameApp::Run() {
  PrepareFrames();
  if (InitScript() != kInitScriptOk) {
    exitStatus_ = kExitScriptFailed;
    return;
  }
  for (;;) {
    int n = FrameLoop();
    if (n == kFrameStop) {
      // Only a pending interrupt: restart "MAIN" and go on.
      if (interrupt_ != kInterruptNone && !QuitSeen() && displayFailure_ == kDisplayOk) {
        if (!ServePendingInterrupt()) return;
        continue;
      }
      if (displayFailure_ != kDisplayOk) exitStatus_ = kExitScriptFailed;
      return;
    }
    // -1 and anything past the most steps of a frame give one step.
    int steps = n < 1 ? 1 : n;
    while (steps > 0) {
      if (!StepScript(steps)) return;
    }
  }
}

int GameApp::FrameThreadBegin() {
  PrepareFrames();
  if (InitScript() != kInitScriptOk) {
    exitStatus_ = kExitScriptFailed;
    return 1;
  }
  return 0;
}

int GameApp::FrameThreadStep() {
  CountFrameTurn();
  if (FramePaused()) return 0;
  RunFirstTimers();
  TrackMovie();
  if (EffectsPausedTurn()) return 0;
  if (HeldWhileInactive()) {
    FrameThreadWait(kIdleWaitMs);
    return 0;
  }
  if (displayFailure_ != kDisplayOk) {
    exitStatus_ = kExitScriptFailed;
    return kFrameStepDisplayFailed;
  }
  const bool canvas = GetDisplayManager().GetScreenCanvas() != nullptr;
  if (!FrameDueOnFrameThread(canvas, false)) return 0;
  // The canvas is drawn with the present, after the steps.
  DueFrameOnFrameThread(canvas, false);

  int32_t extraSteps = pacing_.Clock().FramesBehind();
  if (extraSteps > kMostStepsPerFrame) extraSteps = 0;
  if (extraSteps != 0 && pacing_.Clock().WaitHint() != 0)
    FrameThreadWait(pacing_.Clock().WaitHint());
  for (;;) {
    int r = host_->Step();
    if (r == kStepEnded) return kFrameStepEnded;
    if (r != kStepWaiting) {
      FailScriptStep(r);
      return r + 1;
    }
    if (interrupt_ != kInterruptNone)
      return ServePendingInterrupt() ? 0 : kFrameStepInterruptFailed;
    if (extraSteps-- <= 0) break;
  }

  if (canvas) {
    DrawAndPresentOnFrameThread(true);
  } else if (!movie_.Showing()) {
    ScopedLock hold(FrameLock());
    // A frame that is not shown is drawn again on the next turn.
    (void)GetDisplayManager().Present();
  }
  return 0;
}

void GameApp::FrameThreadEnd() {
  if (sound_) sound_->DeleteAllBuffers();
}

}  // namespace bw
