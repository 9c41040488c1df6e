// The particle overlays "paper", "light", "snow" and "rain": a fixed number of particles, each
// shown by one object in A's list and one in B's, stepped every 80 ms. Paper, light and snow
// drift sideways; light rises and twinkles; rain falls straight as thin streaks.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "effects/overlay_quake_noise.h"
#include "graphics/surface/color_rect_object.h"

namespace bw {

constexpr uint32_t kParticleStepMs = 80;

enum class ParticleKind { kPaper, kLight, kSnow, kRain };

class ParticleOverlay : public ScreenOverlay {
 public:
  struct Particle {
    // Sprites for the pictured kinds, colour rectangles for rain.
    std::unique_ptr<DisplayObject> inA;
    std::unique_ptr<DisplayObject> inB;
    bool active = false;
    int picture = 0;  // or the rain kind
    double x = 0;
    double y = 0;
    double vx = 0;
    double ax = 0;
    double vy = 0;
    int32_t height = 0;
    int32_t frame = 0;
    int32_t frameWidth = 0;
    uint16_t twinkle = 0;
  };

  explicit ParticleOverlay(ParticleKind kind) : kind_(kind) {}
  ~ParticleOverlay() override;

  [[nodiscard]] int32_t Update(uint32_t nowMs) override;
  // Every particle leaves the lists at once.
  void Stop() override;
  // Words: count (1 or more), priority in A's list, in B's, spread over the screen at once, the
  // speed factor as a decimal text (null or 0 = 1.0), shown over A, shown over B.
  [[nodiscard]] int Setup(TimerService* timers, EffectTarget target, ArgWords args) override;
  using DisplayEffect::Command;
  // Word 0 equal to 0: no more particles enter, and the effect ends once the screen is empty.
  // Otherwise words 1 and 2 show or hide the particles over A and over B.
  [[nodiscard]] int Command(ArgWords args) override;

  const std::vector<Particle>& Particles() const { return particles_; }
  double SpeedFactor() const { return speed_; }
  bool Stopping() const { return stopRequest_; }

 private:
  [[nodiscard]] int LoadPictures();
  bool MakeParticle(Particle& p);
  void Place(Particle& p, bool spread);
  // False when the particle is gone (only while stopping).
  bool StepParticle(Particle& p);
  void MoveObjects(Particle& p);
  void ShowObjects(Particle& p, bool shown);
  double Draw();

  ParticleKind kind_;
  std::vector<std::unique_ptr<ImageSurface>> pictures_;
  std::vector<Particle> particles_;
  double speed_ = 1.0;
  bool showInA_ = false;
  bool showInB_ = false;
  bool stopRequest_ = false;
  int32_t width_ = 0;
  int32_t height_ = 0;
};

template <ParticleKind Kind>
class ParticleOverlayOf final : public ParticleOverlay {
 public:
  static std::unique_ptr<DisplayEffect> Create(uint32_t extra);
  ParticleOverlayOf() : ParticleOverlay(Kind) {}
  const char* GetKeyword() const override;
};

using PaperOverlay = ParticleOverlayOf<ParticleKind::kPaper>;
using LightOverlay = ParticleOverlayOf<ParticleKind::kLight>;
using SnowOverlay = ParticleOverlayOf<ParticleKind::kSnow>;
using RainOverlay = ParticleOverlayOf<ParticleKind::kRain>;

}  // namespace bw
