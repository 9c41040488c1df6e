// "bg_panime": moves a layer's picture along a motion path, record by record, with the path's
// own durations and eases; optionally through the work surface or over a snapshot of the whole
// layer, and looping.
#pragma once

#include <cstdint>
#include <memory>

#include "effects/bg_layer_effect.h"
#include "effects/motion_path.h"

namespace bw {

// Set-up results.
constexpr int kBgPanimeBadArguments = 1;  // no timer service or layer
constexpr int kBgPanimeRefused = 2;       // the path is not read, or registration
constexpr int kBgPanimeNoSnapshot = 3;
constexpr int kBgPanimeRenderFailed = 4;
constexpr int kBgPanimeNoWorkSurface = 5;
// Query results.
constexpr int kBgPanimeNoPath = 1;
constexpr int kBgPanimeNoRecord = 2;

// Records shorter than this count as done.
constexpr uint32_t kPathShortestRecordMs = 2;

class BgPanimeEffect final : public LayerEffect {
 public:
  static std::unique_ptr<DisplayEffect> Create(uint32_t extra);
  // Words: layer item, path text, out x, out y. Moves the picture to the path's end at once.
  [[nodiscard]] static int ApplyCommand(ArgWords args);

  BgPanimeEffect();
  ~BgPanimeEffect() override;
  [[nodiscard]] int32_t Update(uint32_t nowMs) override;
  void Stop() override;
  const char* GetKeyword() const override { return "bg_panime"; }
  // Words: path text, default record duration (0: the end at once), surface mode (65535 none,
  // else non-zero draws through the work surface), snapshot flag, a flag kept unused, loop
  // flag, notify flag.
  [[nodiscard]] int Setup(TimerService* timers, EffectTarget target, ArgWords args) override;
  using DisplayEffect::Query;
  // The current record's position through two out-pointers.
  [[nodiscard]] int Query(ArgWords args) override;

  const MotionPath& Path() const { return path_; }

 private:
  // Back to the first record after the start state, with the path's defaults.
  void Rewind();
  // The eased share of a record of d ms at t.
  double Ease(uint32_t t, uint32_t d) const;
  void MoveTo(int32_t x, int32_t y);
  // Puts the layer's own picture back where the path left it.
  void Finish();

  MotionPath path_;
  std::unique_ptr<SurfaceWatch> watch_;
  std::unique_ptr<ImageSurface> snapshot_;
  int32_t originX_ = 0, originY_ = 0;  // the own picture's place under a snapshot
  size_t record_ = 1;
  uint32_t recordStart_ = 0;  // elapsed time the current record began
  uint32_t defaultDuration_ = 0;
  uint32_t duration_ = 0;  // of the position records to come
  double exponent_ = 0;
  bool cosineEase_ = false;
  bool smooth_ = false;
  bool loop_ = false;
  bool throughWork_ = false;
  bool moved_ = false;
  int32_t x_ = 0, y_ = 0;
};

}  // namespace bw
