// "bg_loop" scrolls a layer's picture endlessly in one direction, a whole picture per period;
// "bg_cross" cross-fades it with the partner layer's picture and back, once per period.
#pragma once

#include <cstdint>
#include <memory>

#include "effects/bg_layer_effect.h"

namespace bw {

// "bg_loop" set-up results.
constexpr int kBgLoopBadArguments = 1;  // no timer service, layer or 32-bit picture
constexpr int kBgLoopNoWorkSurface = 2;
constexpr int kBgLoopPictureNarrower = 3;
constexpr int kBgLoopPictureLower = 4;
constexpr int kBgLoopRefused = 5;
// Its Update's answer when the last period ran out.
constexpr int32_t kBgLoopCountDone = -1;

// "bg_cross" set-up results.
constexpr int kBgCrossBadArguments = 1;
constexpr int kBgCrossNoPartner = 3;  // no partner layer with a picture, or registration
constexpr int kBgCrossSizesDiffer = 4;
constexpr int kBgCrossNoWorkSurface = 5;

// The counted periods both keep: a count of 1 ends at the end of a period, a higher one is
// lowered; an endless count (0) ends at a boundary once a stop was asked for.
class PeriodCounter {
 public:
  void Set(uint32_t periodMs, uint32_t count);
  // False once the elapsed time passed the period that ends the effect.
  bool Advance(uint32_t elapsedMs);
  void RequestStop() { stop_ = true; }
  uint32_t Period() const { return period_; }

 private:
  uint32_t period_ = 1;
  uint32_t count_ = 0;
  uint64_t done_ = 0;  // boundaries passed
  bool stop_ = false;
};

class BgLoopEffect final : public LayerEffect {
 public:
  static std::unique_ptr<DisplayEffect> Create(uint32_t extra);
  [[nodiscard]] int32_t Update(uint32_t nowMs) override;
  void Stop() override;
  const char* GetKeyword() const override { return "bg_loop"; }
  // Words: direction (0 left, 1 right, 2 up, 3 down), period ms, loop count (0 endless),
  // notify flag.
  [[nodiscard]] int Setup(TimerService* timers, EffectTarget target, ArgWords args) override;
  using DisplayEffect::Command;
  // Word 0 = 0: stop at the next period boundary.
  [[nodiscard]] int Command(ArgWords args) override;

 private:
  void Redraw(int64_t offset);

  PeriodCounter periods_;
  ImageSurface* source_ = nullptr;
  uint8_t direction_ = 0;
  int64_t lastOffset_ = -1;
};

class BgCrossEffect final : public LayerEffect {
 public:
  static std::unique_ptr<DisplayEffect> Create(uint32_t extra);
  ~BgCrossEffect() override;
  [[nodiscard]] int32_t Update(uint32_t nowMs) override;
  void Stop() override;
  const char* GetKeyword() const override { return "bg_cross"; }
  bool IsBoundTo(const void* object) const override;
  void Unbind(const void* object) override;
  // Words: period ms, repeat count (0 endless), snapshot mode (0 none, 1 the partner layer, 2
  // this layer), swap flag (draw into the partner), notify flag.
  [[nodiscard]] int Setup(TimerService* timers, EffectTarget target, ArgWords args) override;
  using DisplayEffect::Command;
  // Stops at the next period boundary.
  [[nodiscard]] int Command(ArgWords args) override;

  // The level at t of a period: 0 up to 255 halfway and back.
  static int Level(uint32_t elapsedMs, uint32_t periodMs);

 private:
  void DropInto();

  PeriodCounter periods_;
  CompositionLayer* partner_ = nullptr;
  CompositionLayer* into_ = nullptr;  // whose work surface shows the blend
  const ImageSurface* mine_ = nullptr;
  const ImageSurface* theirs_ = nullptr;
  std::unique_ptr<ImageSurface> snapshot_;
  int snapshotOf_ = 0;
  bool ownsInto_ = false;
  int lastLevel_ = -1;
};

}  // namespace bw
