// The screen overlays "quake" (shakes the backgrounds of a layer and of its linked layer) and
// "noise" (lays a flickering noise picture over both), with the base they share with the
// particle overlays: the target layer, its linked layer, their composition layers A and B, and
// the script host's random generator.
#pragma once

#include <cstdint>
#include <memory>

#include "effects/display_effect.h"
#include "effects/overlay_shake.h"
#include "graphics/surface/image_surface.h"
#include "graphics/surface/sprite.h"

namespace bw {

class CompositionLayer;
class SubtractiveRandom;
class SurfaceLayer;

// Setup results of the overlays.
constexpr int kOverlaySetUp = 0;
constexpr int kOverlayBadArguments = 1;
constexpr int kOverlayNoLinkedLayer = 2;
constexpr int kOverlayNoPicture = 3;
constexpr int kOverlayNoSurface = 4;
constexpr int kOverlayRefused = 5;  // the timer service refused; the quake: no random source

class ScreenOverlay : public DisplayEffect {
 public:
  // The script host's generator, shared by every overlay.
  static void SetRandom(SubtractiveRandom* random) { random_ = random; }
  static SubtractiveRandom* Random() { return random_; }

  uint32_t GetKindId() const override { return kTaskKindScreenOverlay; }
  uint8_t GetType() const override { return kEffectTypeScreen; }
  bool IsBoundTo(const void* object) const override;
  void Unbind(const void* object) override;

 protected:
  // Takes the target's layer, its composition layer A, its linked layer and that one's B.
  [[nodiscard]] bool Bind(EffectTarget target);
  bool Bound() const { return b_ != nullptr; }

  SurfaceLayer* target_ = nullptr;
  SurfaceLayer* linked_ = nullptr;
  CompositionLayer* a_ = nullptr;
  CompositionLayer* b_ = nullptr;

 private:
  static SubtractiveRandom* random_;
};

class QuakeOverlay final : public ScreenOverlay {
 public:
  static std::unique_ptr<DisplayEffect> Create(uint32_t extra);
  ~QuakeOverlay() override;

  [[nodiscard]] int32_t Update(uint32_t nowMs) override;
  void Stop() override { Restore(); }
  const char* GetKeyword() const override { return "quake"; }
  // Words 0 to 4 as Shake::Read; 5 shake through the work surfaces, 6 and 7 shake A and B, 8
  // lower the frame thread's priority.
  [[nodiscard]] int Setup(TimerService* timers, EffectTarget target, ArgWords args) override;
  using DisplayEffect::Command;
  // Word 0 equal to 0 stops at the end of the current period.
  [[nodiscard]] int Command(ArgWords args) override;

 protected:
  void ShiftStartTimes(uint32_t spanMs) override { shake_.startMs += spanMs; }

 private:
  struct Base {
    bool picture = false;
    int32_t x = 0;
    int32_t y = 0;
  };
  void Apply(CompositionLayer& layer, const Base& base, int32_t dx, int32_t dy);
  void Restore();

  Shake shake_;
  bool useWork_ = false;
  bool applyToA_ = false;
  bool applyToB_ = false;
  bool running_ = false;
  Base baseA_, baseB_;
};

class NoiseOverlay final : public ScreenOverlay {
 public:
  static std::unique_ptr<DisplayEffect> Create(uint32_t extra);

  [[nodiscard]] int32_t Update(uint32_t nowMs) override;
  void Stop() override;
  const char* GetKeyword() const override { return "noise"; }
  // Words: opacity, the priority in both lists, shown over A, shown over B.
  [[nodiscard]] int Setup(TimerService* timers, EffectTarget target, ArgWords args) override;
  using DisplayEffect::Command;
  // Words: shown over A, shown over B.
  [[nodiscard]] int Command(ArgWords args) override;
  const ImageSurface& Output() const { return output_; }
  const Sprite& SpriteA() const { return spriteA_; }
  const Sprite& SpriteB() const { return spriteB_; }

 private:
  void Show(bool inA, bool inB);

  ImageSurface noise_;
  ImageSurface output_;
  Sprite spriteA_;
  Sprite spriteB_;
};

// Loads a picture of the game folder for an overlay, at 32 bits; false when it has no pixels.
[[nodiscard]] bool LoadOverlayPicture(ImageSurface& into, const char* name);

}  // namespace bw
