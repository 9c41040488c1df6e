// "sp_change": replaces a standing sprite's picture by a new one while a motion path moves it,
// optionally zooming between the two pictures' sizes; styles 2 and 3 cross-fade the two
// pictures in a combined image that moves instead.
#pragma once

#include <cstdint>
#include <memory>

#include "effects/sp_cfade_effect.h"
#include "effects/sp_panime_effect.h"
#include "platform/rect.h"

namespace bw {

// Setup results.
constexpr int kSpChangeSetUp = 0;
constexpr int kSpChangeBadArguments = 1;
constexpr int kSpChangeOldZoomed = 2;
constexpr int kSpChangePathRefused = 3;
constexpr int kSpChangeRefused = 4;

// Styles: 0 the new sprite moves, 1 the old one, 2 and 3 a combined picture cross-fading from
// the old to the new (3 with the blend value reversed); 5 is style 2 as a plain cross-fade, of
// two unturned pictures that do not zoom.
constexpr uint8_t kChangeMoveNew = 0;
constexpr uint8_t kChangeMoveOld = 1;
constexpr uint8_t kChangeBlend = 2;
constexpr uint8_t kChangeBlendReversed = 3;
constexpr uint8_t kChangePlainBlend = 5;

// What the caller's scene command passes as the set-up's target.
struct SpChangeParams {
  uint8_t style = kChangeMoveNew;
  uint32_t priority = 0;  // of the combined sprite
  int32_t zoom = 0;       // non-zero: zoom between the two pictures' sizes
};

class SpChangeEffect final : public SpPanimeEffect {
 public:
  static std::unique_ptr<DisplayEffect> Create(uint32_t extra);

  SpChangeEffect() = default;
  // Deletes the old sprite (taken over by a successful set-up) and its picture.
  ~SpChangeEffect() override;

  [[nodiscard]] int32_t Update(uint32_t nowMs) override;
  const char* GetKeyword() const override { return "sp_change"; }
  // Target: SpChangeParams. Words: new sprite, old sprite, path text, the style, priority and
  // zoom flag of a target without the block, path time ms (0 taken as 1), notify.
  [[nodiscard]] int Setup(TimerService* timers, EffectTarget target, ArgWords args) override;
  using DisplayEffect::Command;
  using DisplayEffect::Query;
  [[nodiscard]] int Command(ArgWords) override { return kEffectUnsupported; }
  // Out pointers: x and y plus the offset, opacity (-1 before any point), state, zoom and
  // rotation (floats), standing x and y, zoom flag (float).
  [[nodiscard]] int Query(ArgWords args) override;
  bool IsBoundTo(const void* object) const override;
  void Unbind(const void* object) override;

  void Finish() override;
  void ApplyStep(int32_t from, double p) override;

  uint8_t Style() const { return style_; }
  bool Zooms() const { return zoom_; }
  double Ratio() const { return ratio_; }
  const Sprite* Moving() const { return sprite_; }
  const Sprite* Combined() const { return combined_.get(); }

 protected:
  void ShiftStartTimes(uint32_t spanMs) override;

 private:
  // The layer's size, the new picture's standing place, whether the path sets an origin.
  void TakeStanding(const Sprite* fresh, const char* path);
  // Where the path starts: the style's set-up; the sprite that moves, or null on failure.
  Sprite* PlaceForStyle(const SpChangeParams& params, Sprite* fresh, Sprite* old, const char* path);
  // Puts the new sprite where the turned old one stands, turned alike about its pivot.
  void PlaceTurned(Sprite* fresh, const Sprite* old, const char* path);
  [[nodiscard]] int BuildCombined(const SpChangeParams& params, Sprite* fresh, Sprite* old);
  // Styles 1, 3 and 5 once the path is read: a zooming or turning path sets the zoom flag, and
  // styles 1 and 3 drift so that the moving picture meets the new one at the end.
  void SettleOddStyle();
  // Changed between sizes, the moving picture turns and zooms about its standing point, so that
  // it keeps standing, unless the path gives its own origin.
  bool FeetPivot() const { return zoom_ && !pathOrigin_; }
  // The share of the path time gone, at most 1.
  double Progress() const;
  // The zoom between the two pictures' sizes at t.
  double ZoomAt(double t) const;

  Sprite* new_ = nullptr;
  Sprite* old_ = nullptr;
  bool owned_ = false;
  std::unique_ptr<ImageSurface> stretched_;
  CrossFadeComposition composition_;
  std::unique_ptr<Sprite> combined_;
  // The moving picture's standing point; a combined picture's is where both pictures' meet.
  int32_t footX_ = 0;
  int32_t footY_ = 0;
  // The layer the pictures stand in; empty without one.
  Size layer_;
  // The path sets the point it turns about ("o", "z").
  bool pathOrigin_ = false;
  uint8_t style_ = kChangeMoveNew;
  bool zoom_ = false;
  double ratio_ = 1.0;
  int32_t standX_ = 0;
  int32_t standY_ = 0;
  int32_t driftX_ = 0;
  int32_t driftY_ = 0;
  uint32_t pathMs_ = 1;
  uint32_t startTime_ = 0;
  uint32_t now_ = 0;
  bool first_ = true;
  int last_ = -1;
};

}  // namespace bw
