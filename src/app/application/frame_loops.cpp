// The frame loops and the script stepping between start-up and shut-down, on the main thread or
// on the frame thread of the threaded driving mode.
#include "app/application/game_app.h"

#include "host/clock.h"
#include "host/message_queue.h"

namespace bw {

void GameApp::DrawFrame() {
  UpdatePointer();
  inputManager().Poll();
  secondTimers_.RunDue(host::TimeGetTime());
  DrawScene();
}

void GameApp::DrawScene() {
  if (displayManager().GetScreenCanvas() != nullptr) {
    displayManager().UpdateBackBuffer();
  } else if (displayManager().GetBackBuffer() != nullptr) {
    displayManager().DrawRenderList();
  }
}

int GameApp::FrameLoop() {
  if (!entered_ && displayManager().GetScreenCanvas() == nullptr && displayManager().GetBackBuffer() != nullptr) {
    if (displayManager().Present() == 2 && displayManager().RestoreLostSurfaces() != 0) {
      displayFailure_ = kDisplayRestoreFailed;
      return kFrameStop;
    }
  }
  entered_ = false;
  for (;;) {
    if (PumpMessages(config_.pacing.systemCursor != 0) == kPumpQuit) return kFrameStop;
    if (displayFailure_ != kDisplayOk || interrupt_ != kInterruptNone) return kFrameStop;
    timers_.RunDue(host::TimeGetTime());
    if (!active() && config_.display.pauseWhenInactive) {
      host::WaitMessage();
      continue;
    }
    if (!frameClock_.Tick()) {
      uint32_t hint = frameClock_.WaitHint();
      host::Sleep(hint);
      continue;
    }
    DrawFrame();
    int32_t behind = frameClock_.FramesBehind();
    if (behind == 0) return kFrameOneStep;
    if (behind > kMostStepsPerFrame) behind = kFrameOneStep;
    if (frameClock_.WaitHint() != 0) host::Sleep(frameClock_.WaitHint());
    return behind;
  }
}

bool GameApp::StepScript(int& stepsLeft) {
  int r = host_->Step();
  if (r == kStepEnded) return false;
  if (r != kStepWaiting) {
    if (r >= kStepIllegal && r <= kStepCallFailed) ShowMessage(StepFailureMessage(r));
    exitStatus_ = kExitScriptFailed;
    return false;
  }
  if (interrupt_ != kInterruptNone) {
    if (!ServePendingInterrupt()) return false;
  }
  --stepsLeft;
  return true;
}

void GameApp::Run() {
  frameClock_.SetSkipCounting(config_.pacing.frameSkipCounting != 0);
  if (InitScript() != kInitScriptOk) {
    exitStatus_ = kExitScriptFailed;
    return;
  }
  for (;;) {
    int n = FrameLoop();
    if (n == kFrameStop) {
      // Only a pending interrupt: restart "MAIN" and go on.
      if (interrupt_ != kInterruptNone && !quitSeen() && displayFailure_ == kDisplayOk) {
        if (!ServePendingInterrupt()) return;
        continue;
      }
      if (displayFailure_ != kDisplayOk) exitStatus_ = kExitScriptFailed;
      return;
    }
    int steps = n < 1 ? 1 : n;
    while (steps > 0) {
      if (!StepScript(steps)) return;
    }
  }
}

int GameApp::FrameThreadBegin() {
  frameClock_.SetSkipCounting(config_.pacing.frameSkipCounting != 0);
  if (InitScript() != kInitScriptOk) {
    exitStatus_ = kExitScriptFailed;
    return 1;
  }
  return 0;
}

void GameApp::PresentFrame() {
  ScopedLock hold(frameLock());
  if (displayManager().GetScreenCanvas() != nullptr) {
    displayManager().UpdateBackBuffer();
  } else if (displayManager().GetBackBuffer() != nullptr) {
    displayManager().Present();
  }
}

int GameApp::FrameThreadStep() {
  if (FramePaused()) return 0;
  timers_.RunDue(host::TimeGetTime());
  if (!active() && config_.display.pauseWhenInactive) {
    host::Sleep(50);
    return 0;
  }
  if (displayFailure_ != kDisplayOk) {
    exitStatus_ = kExitScriptFailed;
    return kFrameStepDisplayFailed;
  }
  if (!frameClock_.Tick()) {
    // The clock's own sleep: a stop request is seen at the next turn, one frame later at most.
    host::Sleep(frameClock_.WaitHint());
    return 0;
  }
  {
    // The window thread changes the display and the pointer's display mode under this lock.
    ScopedLock hold(frameLock());
    UpdatePointer();
    inputManager().Poll();
    secondTimers_.RunDue(host::TimeGetTime());
    if (displayManager().GetScreenCanvas() == nullptr && displayManager().GetBackBuffer() != nullptr) {
      displayManager().DrawRenderList();
    }
  }
  int32_t behind = frameClock_.FramesBehind();
  if (behind > kMostStepsPerFrame) behind = 0;
  if (behind != 0 && frameClock_.WaitHint() != 0) host::Sleep(frameClock_.WaitHint());
  for (;;) {
    int r = host_->Step();
    if (r == kStepEnded) return kFrameStepEnded;
    if (r != kStepWaiting) {
      if (r >= kStepIllegal && r <= kStepCallFailed) ShowMessage(StepFailureMessage(r));
      exitStatus_ = kExitScriptFailed;
      return r + 1;
    }
    if (interrupt_ != kInterruptNone) {
      if (!ServePendingInterrupt()) return kFrameStepInterruptFailed;
      break;
    }
    if (behind-- <= 0) break;
  }
  PresentFrame();
  return 0;
}

void GameApp::FrameThreadEnd() {
  if (sound_) sound_->DeleteAllBuffers();
}

}  // namespace bw
