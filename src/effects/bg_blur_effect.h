// "bg_blur": a layer's picture zoomed and turned about a point, or carried along a list of
// points, drawn into the work surface every frame; below full opacity each frame is laid over
// the last, so earlier frames show through as a trail.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "effects/bg_layer_effect.h"
#include "platform/rect.h"

namespace bw {

// Set-up results.
constexpr int kBgBlurNoCosine = 1;
constexpr int kBgBlurBadArguments = 2;  // no timer service or layer
constexpr int kBgBlurFewPoints = 3;
constexpr int kBgBlurSourceNotLoaded = 4;
constexpr int kBgBlurNoPicture = 5;
constexpr int kBgBlurCopyFailed = 6;
constexpr int kBgBlurNoDrawTarget = 7;
constexpr int kBgBlurRefused = 8;  // work surface or registration
// The command's further results.
constexpr int kBgBlurCommandBadZoom = 1;
constexpr int kBgBlurCommandNoSurface = 2;
constexpr int kBgBlurCommandNoSine = 3;
constexpr int kBgBlurCommandBadSize = 4;

class BgBlurEffect final : public LayerEffect {
 public:
  static std::unique_ptr<DisplayEffect> Create(uint32_t extra);
  // The source rectangle that shows a target of targetW x targetH zoomed by zoom about (x, y):
  // the point keeps its place. kBgBlurCommandBadSize when the rectangle comes out empty.
  [[nodiscard]] static int ComputeView(int32_t x, int32_t y, double zoom, int32_t targetW,
                                       int32_t targetH, Rect* view);
  // Words: layer item, x, y, zoom and angle as doubles in two 32-bit words each (low first),
  // out x, y, width, height. Shows the view at once: stretched, or turned when the angle is
  // not 0.
  [[nodiscard]] static int ApplyCommand(ArgWords args);

  [[nodiscard]] int32_t Update(uint32_t nowMs) override;
  void Stop() override;
  const char* GetKeyword() const override { return "bg_blur"; }
  // Words: null, x, y, start zoom text, start angle text, end zoom text, end angle text; or a
  // point text "(x,y,zoom)..." and a smooth flag; then duration, opacity, ease text, source
  // picture name, two filter flags, draw-into-the-picture flag, pass-through byte, start
  // delay, leave-out-the-final-frame flag.
  [[nodiscard]] int Setup(TimerService* timers, EffectTarget target, ArgWords args) override;

 private:
  struct View {
    double x = 0, y = 0, zoom = 1.0, angle = 0;
    friend bool operator==(const View&, const View&) = default;
  };
  View At(double p) const;
  // Draws the view at opacity (255: over the fill colour).
  void Draw(const View& view, int opacity);
  [[nodiscard]] int SetUpSource(const char* name, bool filterB, bool filterA, bool copy);

  std::unique_ptr<ImageSurface> ownSource_;
  std::unique_ptr<ImageSurface> scratch_;  // a turned frame before it joins the trail
  ImageSurface* source_ = nullptr;
  ImageSurface* into_ = nullptr;
  std::vector<double> pointsX_, pointsY_, zooms_;
  std::vector<double> termsX_, termsY_;
  View start_, end_, last_;
  bool pointMode_ = false;
  bool drawnOnce_ = false;
  bool intoPicture_ = false;
  bool skipFinal_ = false;
  uint8_t opacity_ = 255;
  uint32_t pass_ = 0;
  double ease_ = 0;
  uint32_t duration_ = 0;
};

}  // namespace bw
