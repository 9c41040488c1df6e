// "bg_rast" ripples a layer's picture row by row and "bg_haze" shimmers it like heat haze; both
// fade in, hold and fade out, redrawing the work surface only when the wave changed.
#pragma once

#include <memory>

#include <cstdint>
#include <vector>

#include "effects/bg_layer_effect.h"

namespace bw {

// Set-up results of both.
constexpr int kBgWaveNoSine = 1;
constexpr int kBgWaveBadArguments = 2;  // no timer service, layer or 32-bit picture
constexpr int kBgWaveHasWorkSurface = 3;
constexpr int kBgWaveNoWorkSurface = 4;
constexpr int kBgWavePictureSmaller = 5;
constexpr int kBgRastRefused = 6;
constexpr int kBgHazeBadWave = 6;  // wave text missing, empty or without "(", or n <= 0
constexpr int kBgHazeRefused = 7;
// Control: the fade-out is already running.
constexpr int kBgWaveFadingOut = 1;

// What a row's pixels that no source reaches show.
enum class Uncovered { kPicture, kFill, kKeep };

// Copies a row of width pixels from the source row (srcWidth pixels) starting at source column
// from (which may lie outside); the rest takes the plain row (aligned with dst), the colour, or
// stays.
void ShiftRow(uint32_t* dst, int32_t width, const uint32_t* src, int32_t srcWidth, int64_t from,
              Uncovered uncovered, const uint32_t* plain, uint32_t color);

class WaveLayerEffect : public LayerEffect {
 public:
  [[nodiscard]] int32_t Update(uint32_t nowMs) override;
  void Stop() override;
  using DisplayEffect::Command;
  using DisplayEffect::Query;
  // Starts the fade-out, from the level reached.
  [[nodiscard]] int Command(ArgWords args) override;
  // The state, 0 to 3.
  [[nodiscard]] int Query(ArgWords args) override;

 protected:
  // The layer, the tables and the work surface; 0 or a set-up result.
  [[nodiscard]] int Prepare(TimerService* timers, EffectTarget target);
  // Fills the envelope from the timing words: hold, fade-in, fade-out.
  void SetTiming(int32_t full, ArgWords timing);
  virtual void Redraw(uint32_t elapsedMs, int32_t level) = 0;
  const uint32_t* PictureRow(int32_t y) const;
  uint32_t* WorkRow(int32_t y) const;

  FadeEnvelope envelope_;
  ImageSurface* source_ = nullptr;
  int32_t offsetX_ = 0, offsetY_ = 0;  // the picture's scroll position
  uint32_t period_ = 1;
  bool fill_ = false;
  bool drawn_ = false;
};

class BgRastEffect final : public WaveLayerEffect {
 public:
  static std::unique_ptr<DisplayEffect> Create(uint32_t extra);
  const char* GetKeyword() const override { return "bg_rast"; }
  // Words: amplitude (pixels), rows per wave, period ms, hold ms (0 endless), fade-in ms,
  // fade-out ms, fill flag, notify flag.
  [[nodiscard]] int Setup(TimerService* timers, EffectTarget target, ArgWords args) override;

 private:
  void Redraw(uint32_t elapsedMs, int32_t level) override;

  uint32_t rows_ = 1;
  int32_t lastPhase_ = -1, lastLevel_ = -1;
};

struct WaveTriple {
  int32_t k = 0, phase = 0, amplitude = 0;
};
// Reads the "(k,phase,amplitude)..." groups of a wave text; numbers a group lacks read 0. The
// number of groups; 0 for a missing text or one without "(".
size_t ParseWaveText(const char* text, std::vector<WaveTriple>& out);

class BgHazeEffect final : public WaveLayerEffect {
 public:
  static std::unique_ptr<DisplayEffect> Create(uint32_t extra);
  // The displacement table of n entries that the triples make.
  static std::vector<int32_t> BuildTable(const TrigTables& trig,
                                         const std::vector<WaveTriple>& waves, int32_t n);
  const char* GetKeyword() const override { return "bg_haze"; }
  // Words: wave text, table length n, period ms, hold ms, fade-in ms, fade-out ms, fill flag,
  // notify flag.
  [[nodiscard]] int Setup(TimerService* timers, EffectTarget target, ArgWords args) override;
  const std::vector<int32_t>& Table() const { return table_; }

 private:
  void Redraw(uint32_t elapsedMs, int32_t level) override;

  std::vector<int32_t> table_;
  int64_t lastOffset_ = -1;
  int32_t lastLevel_ = -1;
};

}  // namespace bw
