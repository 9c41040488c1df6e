// "sp_gfade": reveals a sprite behind an edge that travels across it, soft (an alpha ramp of the
// edge's width) or hard (width 0). The effect works on the picture's alpha plane and puts the
// kept copy back when it ends.
#pragma once

#include <memory>

#include <cstdint>
#include <vector>

#include "effects/display_effect.h"
#include "graphics/pixel/pixel_format.h"

namespace bw {

class Sprite;

// Setup results.
constexpr int kSpGfadeSetUp = 0;
constexpr int kSpGfadeEndedAtOnce = -1;  // duration 0: the sprite is shown whole
constexpr int kSpGfadeBadArguments = 1;
constexpr int kSpGfadeNoEdge = 3;
constexpr int kSpGfadeRefused = 5;

class SpGfadeEffect final : public DisplayEffect {
 public:
  static std::unique_ptr<DisplayEffect> Create(uint32_t extra);

  SpGfadeEffect() = default;
  // A fade cut short leaves the picture whole.
  ~SpGfadeEffect() override { Finish(); }

  uint32_t GetKindId() const override { return kTaskKindSpriteEffect; }
  [[nodiscard]] int32_t Update(uint32_t nowMs) override;
  void Stop() override { Finish(); }
  const char* GetKeyword() const override { return "sp_gfade"; }
  uint8_t GetType() const override { return kEffectTypeSprite; }
  // Words: sprite, duration ms, direction (0 left to right, 1 right to left, 2 top to bottom,
  // 3 and above bottom to top), edge width, ease exponent text (given: notify at the start).
  [[nodiscard]] int Setup(TimerService* timers, EffectTarget target, ArgWords args) override;
  bool IsBoundTo(const void* object) const override;
  void Unbind(const void* object) override;

  // Shows the sprite with its own alpha; later calls do nothing.
  void Finish();

 protected:
  void ShiftStartTimes(uint32_t spanMs) override;

 private:
  // Redraws the alpha of the band between the last edge place and the new one.
  void Draw(int32_t reached);
  uint8_t* AlphaAt(int32_t along, int32_t across) const;

  Sprite* sprite_ = nullptr;
  std::vector<uint8_t> kept_;  // the picture's alpha, row by row
  AlphaRampTable edge_;
  uint32_t duration_ = 1;
  double exponent_ = 0.0;
  uint8_t direction_ = 0;
  int32_t edgeWidth_ = 0;
  int32_t length_ = 0;  // the picture's size along the direction
  int32_t breadth_ = 0;
  int32_t last_ = 0;
  uint32_t startTime_ = 0;
  bool started_ = false;
  bool drawn_ = false;
  bool running_ = false;
};

}  // namespace bw
