// "sp_cfade": replaces one sprite by another with a cross-fade. Overlapping pictures are blended
// in a work surface shown by a sprite of the effect's own, so the old picture never shows
// through the new one; apart, each sprite simply fades by its opacity.
#pragma once

#include <cstdint>
#include <memory>

#include "effects/display_effect.h"
#include "graphics/surface/image_surface.h"
#include "graphics/surface/sprite.h"

namespace bw {

// Setup results.
constexpr int kSpCfadeSetUp = 0;
constexpr int kSpCfadeBadArguments = 1;  // no timer service, or the old sprite is the new one
constexpr int kSpCfadeBusy = 2;
constexpr int kSpCfadeNoPicture = 3;
constexpr int kSpCfadeNoList = 4;
constexpr int kSpCfadeNoSurface = 5;
constexpr int kSpCfadeRefused = 6;

// The picture a sprite shows: its zoom or rotation work surface while one is active, else its
// source; the rectangle of it that is shown.
const ImageSurface* ShownPicture(const Sprite& sprite, Rect* shown);

// Deletes a sprite handed over to an effect, then the source picture it showed; through the
// display manager where its lists hold them.
void DeleteHandedSprite(Sprite* sprite);

// The blend of a picture A fading out under a picture B fading in, composed in a work surface
// the size of the two places' union: outside A the surface is cleared, A is copied in and its
// alpha scaled by (255 - v) / 255, B is laid over at opacity v.
class CrossFadeComposition {
 public:
  // placedA and placedB: where each shown rectangle stands on the layer.
  [[nodiscard]] bool Build(const ImageSurface* a, const Rect& shownA, const Rect& placedA,
                           const ImageSurface* b, const Rect& shownB, const Rect& placedB);
  void Compose(uint8_t v);
  ImageSurface* Surface() const { return work_.get(); }
  const Rect& Union() const { return union_; }

 private:
  std::unique_ptr<ImageSurface> work_;
  Rect union_;
  const ImageSurface* a_ = nullptr;
  const ImageSurface* b_ = nullptr;
  Rect shownA_, shownB_;
  Rect placeA_, placeB_;  // in the work surface
  Rect clear_[4];
  int clearCount_ = 0;
};

class SpCfadeEffect final : public DisplayEffect {
 public:
  static std::unique_ptr<DisplayEffect> Create(uint32_t extra);

  SpCfadeEffect() = default;
  // Deletes the old sprite (taken over by a successful set-up) and its picture.
  ~SpCfadeEffect() override;

  uint32_t GetKindId() const override { return kTaskKindSpriteEffect; }
  [[nodiscard]] int32_t Update(uint32_t nowMs) override;
  void Stop() override { Finish(); }
  const char* GetKeyword() const override { return "sp_cfade"; }
  uint8_t GetType() const override { return kEffectTypeSprite; }
  // Target: the composition layer. Words: new sprite, old sprite, priority of the blend sprite,
  // duration ms (0 taken as 1), notify.
  [[nodiscard]] int Setup(TimerService* timers, EffectTarget target, ArgWords args) override;
  bool IsBoundTo(const void* object) const override;
  void Unbind(const void* object) override;

  void Finish();
  bool Overlapping() const { return overlap_; }
  const Sprite* BlendSprite() const { return blend_.get(); }
  const ImageSurface* WorkSurface() const { return composition_.Surface(); }

 protected:
  void ShiftStartTimes(uint32_t spanMs) override;

 private:
  void Forget();

  Sprite* new_ = nullptr;
  Sprite* old_ = nullptr;
  bool owned_ = false;
  const ImageSurface* newPicture_ = nullptr;
  const ImageSurface* oldPicture_ = nullptr;
  uint32_t duration_ = 1;
  bool overlap_ = false;
  CrossFadeComposition composition_;
  std::unique_ptr<Sprite> blend_;
  bool started_ = false;
  uint32_t startTime_ = 0;
  uint8_t last_ = 0;
};

}  // namespace bw
