// Moves the system pointer to a place in the picture over a duration, eased by an exponent.
#pragma once

#include <cstdint>
#include <memory>

#include "host/input/key_state.h"
#include "platform/timed_task.h"

namespace bw {

class EngineInput;
class TimerService;

constexpr int32_t kPointerMoveMissing = 1;
constexpr int32_t kPointerMoveRefused = 2;
constexpr int32_t kPointerMoveCursorHidden = -1;

// Modes: 0 the pointer stays where it is when the move is stopped early; 1 it jumps to the
// target then unless the cursor is hidden; 2 it jumps and also moves while the cursor is hidden.
constexpr uint8_t kPointerMoveStay = 0;
constexpr uint8_t kPointerMoveJumpIfShown = 1;
constexpr uint8_t kPointerMoveAlways = 2;

class PointerMoveTask final : public TimedTask {
 public:
  // Starts a move to (x, y) in picture coordinates, replacing a running one. While the cursor is
  // hidden nothing runs: with immediate mode 2 the pointer jumps there.
  [[nodiscard]] static int32_t Start(TimerService* service, EngineInput* input, int32_t x,
                                     int32_t y, uint32_t duration, double easing, uint8_t mode,
                                     uint8_t immediateMode);

  uint32_t GetKindId() const override { return kTaskKindPointerMove; }
  int32_t Update(uint32_t nowMs) override;
  void Stop() override;

 private:
  PointerMoveTask(EngineInput* input, host::Point start, host::Point target, uint32_t duration,
                  double easing, uint8_t mode);
  // Null when memory runs out.
  static std::unique_ptr<PointerMoveTask> Make(EngineInput* input, host::Point start,
                                               host::Point target, uint32_t duration, double easing,
                                               uint8_t mode);
  void JumpToTarget() const;

  EngineInput* input_;
  int32_t dx_;
  int32_t dy_;
  host::Point start_;
  uint32_t duration_;
  uint32_t startTime_ = 0;
  uint8_t state_ = 0;  // 0 not started, 1 running, 2 finished
  double easing_;
  uint8_t mode_;
};

}  // namespace bw
