// "bg_movie": a movie played into a 32-bit frame surface that a layer shows as its picture,
// with play, pause, resume, stop, seek, loop and volume commands.
#pragma once

#include <cstdint>
#include <memory>

#include "effects/display_effect.h"
#include "effects/effect_movie.h"

namespace bw {

class CompositionLayer;
class ImageSurface;

// Setup results.
constexpr int kBgMovieSetUp = 0;
constexpr int kBgMovieNoLibrary = 1;  // no movie libraries or file system, or bad arguments
constexpr int kBgMovieOpen = 2;       // a movie is already open
constexpr int kBgMovieBadExtension = 3;
constexpr int kBgMovieNotFound = 4;
constexpr int kBgMovieNoControl = 5;
constexpr int kBgMovieNoFrame = 6;
constexpr int kBgMovieRefused = 8;
// Command results.
constexpr int kBgMovieDone = 0;
constexpr int kBgMovieNothing = 1;  // no movie or no layer
constexpr int kBgMovieUnknown = 2;
constexpr int kBgMovieWrongState = 3;

class BgMovieEffect final : public DisplayEffect {
 public:
  static std::unique_ptr<DisplayEffect> Create(uint32_t extra);

  BgMovieEffect();
  ~BgMovieEffect() override;

  uint32_t GetKindId() const override { return kTaskKindLayerEffect; }
  [[nodiscard]] int32_t Update(uint32_t nowMs) override;
  void Stop() override { StopMovie(); }
  const char* GetKeyword() const override { return "bg_movie"; }
  uint8_t GetType() const override { return kEffectTypeLayer; }
  // Target: the composition layer. Words: movie name, loop flag, play-at-once flag.
  [[nodiscard]] int Setup(TimerService* timers, EffectTarget target, ArgWords args) override;
  using DisplayEffect::Command;
  using DisplayEffect::Query;
  // Word 0: 0 seek to word 1 ms, 1 play, 2 pause, 3 resume, 4 stop, 5 clear the loop flag,
  // 6 volume word 1 (0..256).
  [[nodiscard]] int Command(ArgWords args) override;
  // The state: 0 stopped, 1 playing, 2 paused.
  [[nodiscard]] int Query(ArgWords args) override;
  bool IsBoundTo(const void* object) const override { return object == layer_; }
  void Unbind(const void* object) override;

  const ImageSurface* Frame() const { return frame_.get(); }

 private:
  void StopMovie();
  // The layer's own picture back.
  void Restore();

  std::unique_ptr<EffectMovie> movie_;
  std::unique_ptr<ImageSurface> frame_;
  CompositionLayer* layer_ = nullptr;
  ImageSurface* ownPicture_ = nullptr;
  int32_t ownX_ = 0;
  int32_t ownY_ = 0;
  bool showing_ = false;
  bool loop_ = false;
  int32_t volume_ = 256;
  uint8_t state_ = kEffectMovieStopped;
};

}  // namespace bw
