// The shared frame of the layer effects ("bg_" keywords): the target layer item and its
// composition layer, the start time with its own started flag, the eased time, the fade
// envelope of the wave effects and the work surface the pixel effects draw into.
#pragma once

#include <cstdint>

#include "effects/display_effect.h"
#include "graphics/surface/surface.h"

namespace bw {

class CompositionLayer;
class ImageSurface;
class SurfaceLayer;
class TrigTables;

// Set-up: duration 0, so the end state is shown and nothing runs.
constexpr int kBgEndStateApplied = -1;
// The command functions' answer for an item without a composition layer.
constexpr int kBgNoLayer = -1;

// Eased time in whole ms at elapsed t of duration d > 0: exponent 0 linear, above 0 slow start,
// below 0 slow end.
uint32_t EasedTime(uint32_t elapsedMs, uint32_t durationMs, double exponent);
// The share of the duration that the eased time has reached, 1.0 near its end.
double EasedProgress(uint32_t elapsedMs, uint32_t durationMs, double exponent);
// A decimal argument text; fallback when the text is not given.
double DecimalArg(const char* text, double fallback);
// The composition layer of a layer item (a SurfaceLayer); null when the item holds none.
CompositionLayer* LayerOf(const SurfaceLayer* item);
// sin(i · pi / 256) in 16.16 from the shared table, i taken modulo 512.
int32_t Sine16(const TrigTables& trig, int64_t i);

// Holds a picture the effect does not own and forgets it when it goes first.
class SurfaceWatch final : public SurfaceUser {
 public:
  explicit SurfaceWatch(ImageSurface* surface);
  ~SurfaceWatch();
  SurfaceWatch(const SurfaceWatch&) = delete;
  SurfaceWatch& operator=(const SurfaceWatch&) = delete;
  ImageSurface* Get() const { return surface_; }
  void DetachSurface(const bw::Surface* surface) override;

 private:
  ImageSurface* surface_;
};

class LayerEffect : public DisplayEffect {
 public:
  ~LayerEffect() override;

  uint32_t GetKindId() const override { return kTaskKindLayerEffect; }
  uint8_t GetType() const override { return kEffectTypeLayer; }
  bool IsBoundTo(const void* object) const override;
  void Unbind(const void* object) override;

  CompositionLayer* Layer() const { return layer_; }
  bool Started() const { return started_; }

 protected:
  // Keeps the target's layer item and its composition layer; false when it names none.
  [[nodiscard]] bool BindTarget(EffectTarget target);
  // The elapsed time since the first update, which starts the clock.
  uint32_t Elapsed(uint32_t nowMs);
  void ShiftStartTimes(uint32_t spanMs) override;

  // The work surface the pixel effects own while they run: made at set-up, dropped at the end
  // (and by the destructor), when the layer shows its plain picture again.
  [[nodiscard]] int MakeWorkSurface();
  void DropWorkSurface();
  ImageSurface* Work() const;
  // The picture of the layer; null when it shows a colour.
  ImageSurface* Picture() const;

  SurfaceLayer* item_ = nullptr;
  CompositionLayer* layer_ = nullptr;
  uint32_t startTime_ = 0;
  bool started_ = false;          // a start at clock 0 is a start too
  ImageSurface* work_ = nullptr;  // the work surface this effect made; compared, never read
};

// The four-state fade envelope of "bg_rast" and "bg_haze": fading in, full, fade-out requested,
// fading out. The level runs 0 to full; zero fade times are instant.
class FadeEnvelope {
 public:
  static constexpr int kFadingIn = 0;
  static constexpr int kFull = 1;
  static constexpr int kFadeRequested = 2;
  static constexpr int kFadingOut = 3;

  void Set(int32_t full, uint32_t holdMs, uint32_t fadeInMs, uint32_t fadeOutMs);
  // The level at elapsed t; sets *finished once the fade-out is over.
  int32_t Step(uint32_t elapsedMs, bool* finished);
  // Asks for the fade-out; false when already fading out.
  bool RequestFadeOut();
  int State() const { return state_; }

 private:
  int32_t full_ = 0;
  uint32_t hold_ = 0;
  uint32_t fadeIn_ = 0;
  uint32_t fadeOut_ = 0;
  int state_ = kFadingIn;
  int32_t level_ = 0;          // the level reached
  int32_t fadeFrom_ = 0;       // the level the fade-out starts from
  uint32_t fadeOutStart_ = 0;  // elapsed time
};

}  // namespace bw
