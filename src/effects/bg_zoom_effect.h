// "bg_zoom" and "bg_rot": a layer's picture zoomed onto a point, or turned and scaled about one,
// over an eased time.
#pragma once

#include <memory>

#include <cstdint>

#include "effects/bg_layer_effect.h"
#include "platform/rect.h"

namespace bw {

// Set-up results of both.
constexpr int kBgZoomBadArguments = 1;  // no timer service, no layer, zoom 0 or below
constexpr int kBgZoomNoPicture = 2;
constexpr int kBgZoomRefused = 3;

// The view of a picture of pictureW x pictureH zoomed by zoom onto (x, y), pushed back inside
// the picture: (left, top, width, height).
Rect ZoomView(int32_t pictureW, int32_t pictureH, int32_t x, int32_t y, double zoom);

// A transform shown at the eased progress of its duration; the end state at the end.
class EasedLayerEffect : public LayerEffect {
 public:
  [[nodiscard]] int32_t Update(uint32_t nowMs) override;
  void Stop() override;

 protected:
  // Runs from the start state, or shows the end at once for a zero duration.
  [[nodiscard]] int Begin(double ease, uint32_t durationMs);
  virtual void ShowAt(double progress) = 0;

  double ease_ = 0;
  uint32_t duration_ = 0;
};

class BgZoomEffect final : public EasedLayerEffect {
 public:
  static std::unique_ptr<DisplayEffect> Create(uint32_t extra);
  // Words: layer item, x, y, zoom text, then out x, y, width and height (each may be null).
  // Shows the end view at once.
  [[nodiscard]] static int ApplyCommand(ArgWords args);

  const char* GetKeyword() const override { return "bg_zoom"; }
  // Words: x, y, zoom text (1.0), ease text (0.0), duration ms.
  [[nodiscard]] int Setup(TimerService* timers, EffectTarget target, ArgWords args) override;
  using DisplayEffect::Query;
  // The end view through four out-pointers.
  [[nodiscard]] int Query(ArgWords args) override;

 private:
  void ShowAt(double progress) override;

  int32_t start_[4] = {};  // left, top, width, height
  int32_t end_[4] = {};
  Rect shown_{};
  bool drawn_ = false;
};

class BgRotEffect final : public EasedLayerEffect {
 public:
  static std::unique_ptr<DisplayEffect> Create(uint32_t extra);

  const char* GetKeyword() const override { return "bg_rot"; }
  // Words: centre x, y, angle (512ths), zoom text (1.0), ease text (0.0), duration ms.
  [[nodiscard]] int Setup(TimerService* timers, EffectTarget target, ArgWords args) override;

 private:
  void ShowAt(double progress) override;

  int32_t startX_ = 0, startY_ = 0, endX_ = 0, endY_ = 0;
  int startAngle_ = 0, endAngle_ = 0;
  double startZoom_ = 1.0, endZoom_ = 1.0;
};

}  // namespace bw
