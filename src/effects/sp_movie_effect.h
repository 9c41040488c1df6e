// "sp_movie": a movie shown as a display object of a layer until it stops.
#pragma once

#include <cstdint>
#include <memory>

#include "effects/display_effect.h"
#include "effects/effect_movie.h"

namespace bw {

class CompositionLayer;

// Setup results.
constexpr int kSpMovieSetUp = 0;
constexpr int kSpMovieBadArguments = 1;
constexpr int kSpMovieNoLayer = 2;
constexpr int kSpMovieNotOpened = 3;  // also without the movie libraries
constexpr int kSpMovieRefused = 5;
// Update's answers besides continue.
constexpr int32_t kSpMovieEnded = -1;
constexpr int32_t kSpMovieFailed = 5;

class SpMovieEffect final : public DisplayEffect {
 public:
  static std::unique_ptr<DisplayEffect> Create(uint32_t extra);

  SpMovieEffect() = default;
  ~SpMovieEffect() override;

  uint32_t GetKindId() const override { return kTaskKindSpriteEffect; }
  [[nodiscard]] int32_t Update(uint32_t nowMs) override;
  void Stop() override { Close(); }
  const char* GetKeyword() const override { return "sp_movie"; }
  uint8_t GetType() const override { return kEffectTypeSprite; }
  // Target: the composition layer. Words: movie name, attach flag (the layer is marked as
  // showing a movie), x, y, priority, loop flag, notify.
  [[nodiscard]] int Setup(TimerService* timers, EffectTarget target, ArgWords args) override;
  using DisplayEffect::Command;
  // Word 0 = 0 clears the loop flag (0); anything else 1.
  [[nodiscard]] int Command(ArgWords args) override;
  bool IsBoundTo(const void* object) const override { return object == layer_; }
  void Unbind(const void* object) override;

 private:
  // Takes the movie out of the layer and closes it.
  void Close();

  std::unique_ptr<EffectMovie> movie_;
  CompositionLayer* layer_ = nullptr;
  bool attached_ = false;
};

}  // namespace bw
