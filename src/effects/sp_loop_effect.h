// "sp_loop": a picture that scrolls without end through a view of a layer, shown by two sprites
// of the effect's own side by side: the second shows what wraps round from the picture's start.
// The parts effect also runs it on a part's picture and list, updating it itself.
#pragma once

#include <cstdint>
#include <memory>

#include "effects/display_effect.h"
#include "graphics/surface/sprite.h"

namespace bw {

class DisplayObjectList;
class ImageSurface;

// Setup results.
constexpr int kSpLoopSetUp = 0;
constexpr int kSpLoopBadArguments = 1;
constexpr int kSpLoopNoPicture = 2;
constexpr int kSpLoopViewTooLarge = 3;
constexpr int kSpLoopRefused = 4;
// Update's answers besides continue: the count ran out; no picture.
constexpr int32_t kSpLoopEnded = -1;
constexpr int32_t kSpLoopNothingShown = 5;

// Scroll directions.
constexpr uint8_t kLoopLeftward = 0;
constexpr uint8_t kLoopRightward = 1;
constexpr uint8_t kLoopUpward = 2;
constexpr uint8_t kLoopDownward = 3;

struct LoopPlacement {
  int32_t x = 0;
  int32_t y = 0;
  int32_t view = 0;  // along the direction; below 1 the picture's own size
  uint8_t opacity = 255;
  uint32_t priority = 0;
  uint8_t direction = kLoopLeftward;
  uint32_t periodMs = 1;
  uint32_t count = 0;  // 0 = endless
};

class SpLoopEffect final : public DisplayEffect {
 public:
  static std::unique_ptr<DisplayEffect> Create(uint32_t extra);

  SpLoopEffect() = default;
  ~SpLoopEffect() override;

  uint32_t GetKindId() const override { return kTaskKindSpriteEffect; }
  [[nodiscard]] int32_t Update(uint32_t nowMs) override;
  // A loop runs until its count or a stop request ends it at a period boundary.
  void Stop() override {}
  const char* GetKeyword() const override { return "sp_loop"; }
  uint8_t GetType() const override { return kEffectTypeSprite; }
  // Target: the composition layer. Words: picture name, x, y, view, opacity, priority,
  // direction, period ms, count, notify.
  [[nodiscard]] int Setup(TimerService* timers, EffectTarget target, ArgWords args) override;
  // The parts loader's set-up: picture (not owned) shown in list; not registered anywhere, the
  // caller updates the loop.
  [[nodiscard]] int SetupOn(ImageSurface* picture, DisplayObjectList* list,
                            const LoopPlacement& placement);
  using DisplayEffect::Command;
  // Word 0: 0 ends at the next period boundary, 1 shows (word 1) or hides, 2 moves to (word 1,
  // word 2), 3 sets the opacity byte of word 1.
  [[nodiscard]] int Command(ArgWords args) override;

  void Finish() { stopRequested_ = true; }
  const Sprite& First() const { return first_; }
  const Sprite& Second() const { return second_; }
  uint32_t CountLeft() const { return placement_.count; }

 protected:
  void ShiftStartTimes(uint32_t spanMs) override;

 private:
  [[nodiscard]] int Place(ImageSurface* picture, DisplayObjectList* list,
                          const LoopPlacement& placement);
  void ShowOffset(int32_t offset);

  std::unique_ptr<ImageSurface> owned_;
  ImageSurface* picture_ = nullptr;
  Sprite first_;
  Sprite second_;
  LoopPlacement placement_;
  int32_t size_ = 0;  // the picture's size along the direction
  uint32_t periodStart_ = 0;
  bool started_ = false;
  int32_t offset_ = 0;
  bool shown_ = true;
  bool stopRequested_ = false;
};

}  // namespace bw
