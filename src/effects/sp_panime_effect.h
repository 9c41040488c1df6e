// "sp_panime": moves, fades, turns and zooms one sprite along a motion path text, once or in a
// loop. The path player here is also the base of "sp_change" and of the pieces of "sp_parts".
#pragma once

#include <memory>

#include <cstdint>
#include <vector>

#include "effects/display_effect.h"
#include "effects/motion_path.h"

namespace bw {

class Sprite;

// Setup results.
constexpr int kSpPanimeSetUp = 0;
constexpr int kSpPanimeEndedAtOnce = -1;  // duration 0: the sprite is at the end state
constexpr int kSpPanimeBadArguments = 1;
constexpr int kSpPanimePathRefused = 2;
constexpr int kSpPanimeRefused = 3;
// Query result without records.
constexpr int kSpPanimeNoPath = 1;

class SpPanimeEffect : public DisplayEffect {
 public:
  static std::unique_ptr<DisplayEffect> Create(uint32_t extra);
  // The registry's command: mode 0 (front, back priority) sets the priorities "F" and "B" use;
  // any other mode (sprite, path text, out x, y, opacity, order, zoom, rotation, origin x, y)
  // puts the sprite at the path's end state at once.
  [[nodiscard]] static int PathCommand(ArgWords args);
  // The priorities "F" and "B" move a sprite to; each effect keeps those published when it is
  // set up.
  static void PublishBand(uint32_t front, uint32_t back);
  static uint32_t FrontPriority();
  static uint32_t BackPriority();

  SpPanimeEffect() = default;

  uint32_t GetKindId() const override { return kTaskKindSpriteEffect; }
  [[nodiscard]] int32_t Update(uint32_t nowMs) override;
  void Stop() override { Finish(); }
  const char* GetKeyword() const override { return "sp_panime"; }
  uint8_t GetType() const override { return kEffectTypeSprite; }
  // Words: sprite, path text, default segment ms (0: end state at once), loop, notify.
  [[nodiscard]] int Setup(TimerService* timers, EffectTarget target, ArgWords args) override;
  using DisplayEffect::Command;
  using DisplayEffect::Query;
  // Out pointers: x, y, opacity (-1 before the first record is reached), mode bytes, zoom and
  // rotation (floats, as every out word is 32 bits), origin x, y, transform flag.
  [[nodiscard]] int Query(ArgWords args) override;
  bool IsBoundTo(const void* object) const override;
  void Unbind(const void* object) override;

  // Puts the sprite at the path's end state; later calls do nothing.
  virtual void Finish();
  // Places the sprite between position records from and from + 1 at progress p.
  virtual void ApplyStep(int32_t from, double p);

  const MotionPath& Path() const { return path_; }
  // The last position record reached, -1 for none.
  int32_t Reached() const { return reached_; }
  bool Transforms() const { return zoomGiven_ || rotationGiven_; }

 protected:
  void ShiftStartTimes(uint32_t spanMs) override;
  // Reads the path for sprite and prepares it for the path's transform; a kPath code.
  [[nodiscard]] int LoadPath(Sprite* sprite, const char* text, uint32_t defaultMs, bool loop);
  // LoadPath without the work surface.
  [[nodiscard]] int ReadPath(Sprite* sprite, const char* text, uint32_t defaultMs, bool loop);
  // Takes the records already in the path for sprite.
  void Prepare(Sprite* sprite, uint32_t defaultMs, bool loop);
  // The work surface the path's largest zoom or its rotation needs.
  void PrepareWorkSurface();
  // The position and opacity of ApplyStep; false when from starts no segment.
  bool ApplyPlace(int32_t from, double p);
  // The turn and zoom of ApplyStep, the zoom times factor; false when the sprite stood so.
  bool ApplyTurn(int32_t from, double p, double factor);
  // Zooms the sprite beyond the path: its largest zoom grows by factor where that is larger.
  void RaiseZoom(double factor);
  // The path's order mode in the low byte, the zoom and rotation flags in the next two.
  int32_t ModeWord() const;
  // Walks the records up to nowMs; true once the path has ended without a loop.
  bool StepPath(uint32_t nowMs);
  // Opacity of position record i, unchanged values resolved.
  uint8_t OpacityAt(int32_t i) const { return opacities_[static_cast<size_t>(i)]; }
  double LargestZoom() const { return largestZoom_; }
  void ApplyOrder();

  Sprite* sprite_ = nullptr;
  MotionPath path_;
  bool finished_ = false;
  // Added to the path's last point where the finish puts the sprite.
  int32_t offsetX_ = 0;
  int32_t offsetY_ = 0;

 private:
  void Restart();
  void RunRecord(const PathRecord& r);
  double Progress(uint32_t elapsed, uint32_t duration) const;

  std::vector<uint8_t> opacities_;
  uint32_t front_ = 0;
  uint32_t back_ = 0;
  size_t index_ = 1;
  int32_t reached_ = -1;
  uint32_t defaultMs_ = kPathDefaultDurationMs;
  uint32_t segmentMs_ = kPathDefaultDurationMs;
  uint32_t segmentStart_ = 0;
  bool started_ = false;
  bool loop_ = false;
  bool smooth_ = false;
  bool cosineEase_ = false;
  double exponent_ = 0.0;
  bool zoomGiven_ = false;
  bool rotationGiven_ = false;
  double largestZoom_ = 1.0;
};

// Calls routine on the rectangle of source placed at (x, y) of destination, both 32-bit, with
// the row skips (pitch - 4 * width bytes) the routine steps over. False when either is not 32-bit
// or the rectangle leaves a surface.
using PixelRowsRoutine = void (*)(uint8_t* destination, const uint8_t* source,
                                  int32_t destinationSkip, int32_t sourceSkip, int32_t width,
                                  int32_t height);
class ImageSurface;
struct Rect;
[[nodiscard]] bool ApplyPixelRoutine(PixelRowsRoutine routine, ImageSurface* destination, int32_t x,
                                     int32_t y, const ImageSurface* source, const Rect& sourceRect);

}  // namespace bw
