// Natives 791-794: create, destroy, step and configure the scenario frame. The frame lives with
// the script host and is destroyed with it (its read-text log is written then).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "script/native_args.h"
#include "script/script_host.h"

namespace bw {

class CanvasLayer;
class DisplayManager;
class OffscreenLayer;
class TgsFrame;
class TgsFrameHost;

// NativeTgsCreate
constexpr int32_t kTgsCreateBadCanvas = 1;
constexpr int32_t kTgsCreateSetup = 2;
constexpr int32_t kTgsCreateInitTable = 3;
constexpr int32_t kTgsCreateOther = -1;
// NativeTgsStep
constexpr int32_t kTgsStepNoFrame = 1;
constexpr int32_t kTgsStepLoadFailed = 2;
// Natives 791-793 called from inside a running step (by a statement of the scenario).
constexpr int32_t kTgsFrameBusy = 4;

const NativeFamily& TgsFrameNativeFamily();

// The canvas the frame draws on: the one given to its creation, or its own, made once at the
// display's canvas size with an offscreen layer linked to it as the scene's back page. The canvas
// in use becomes the display's screen.
class TgsFrameCanvas {
 public:
  TgsFrameCanvas();
  ~TgsFrameCanvas();
  TgsFrameCanvas(const TgsFrameCanvas&) = delete;
  TgsFrameCanvas& operator=(const TgsFrameCanvas&) = delete;

  // A given canvas must have pixels; 0, or kTgsCreateSetup. Without a display there is no
  // screen to give: 0 and nothing made.
  [[nodiscard]] int Use(CanvasLayer* given, DisplayManager* display);
  // Own layers go; the display's screen is cleared first when it is the own canvas.
  void Release(DisplayManager* display);
  // Runs once the screen has left the own canvas, before it goes: whatever stands on it leaves.
  void SetLeaving(std::function<void()> leaving) { leaving_ = std::move(leaving); }
  CanvasLayer* OwnCanvas() const { return canvas_.get(); }
  OffscreenLayer* OwnOffscreen() const { return offscreen_.get(); }

 private:
  std::unique_ptr<CanvasLayer> canvas_;
  std::unique_ptr<OffscreenLayer> offscreen_;
  std::function<void()> leaving_;
};

class TgsFrameNativeState : public ScriptHostExtension {
 public:
  explicit TgsFrameNativeState(ScriptHost& host);
  ~TgsFrameNativeState() override;
  // The frame's read-text log.
  void SavePersistentData() override;

  // Replaces the frame's host (tests); null restores the application's.
  void SetFrameHost(TgsFrameHost* host);
  TgsFrameHost* FrameHost() const { return frameHost_; }
  TgsFrame* Frame() const { return frame_.get(); }
  void Destroy();
  void Adopt(std::unique_ptr<TgsFrame> frame);
  // Switches the screen for a new frame: 0 or kTgsCreateSetup.
  [[nodiscard]] int UseCanvas(CanvasLayer* given);
  const TgsFrameCanvas& Canvas() const { return canvas_; }

  // Marks the frame as running a step while it lives.
  class StepScope {
   public:
    explicit StepScope(TgsFrameNativeState& state) : state_(state) { ++state_.stepping_; }
    ~StepScope() { --state_.stepping_; }
    StepScope(const StepScope&) = delete;
    StepScope& operator=(const StepScope&) = delete;

   private:
    TgsFrameNativeState& state_;
  };
  bool Stepping() const { return stepping_ > 0; }

 private:
  std::unique_ptr<TgsFrameHost> appHost_;
  TgsFrameHost* frameHost_;
  TgsFrameCanvas canvas_;
  std::unique_ptr<TgsFrame> frame_;
  int stepping_ = 0;
};

}  // namespace bw
