// Natives 791-794: create, destroy, step and configure the scenario frame. The frame lives with
// the script host and is destroyed with it (its read-text log is written then).
#pragma once

#include <cstdint>
#include <memory>

#include "script/native_args.h"
#include "script/script_host.h"

namespace bw {

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

const NativeFamily& TgsFrameNativeFamily();

class TgsFrameNativeState : public ScriptHostExtension {
 public:
  explicit TgsFrameNativeState(ScriptHost& host);
  ~TgsFrameNativeState() override;

  // Replaces the frame's host (tests); null restores the application's.
  void SetFrameHost(TgsFrameHost* host);
  TgsFrameHost* FrameHost() const { return frameHost_; }
  TgsFrame* Frame() const { return frame_.get(); }
  void Destroy();
  void Adopt(std::unique_ptr<TgsFrame> frame);

 private:
  std::unique_ptr<TgsFrameHost> appHost_;
  TgsFrameHost* frameHost_;
  std::unique_ptr<TgsFrame> frame_;
};

}  // namespace bw
