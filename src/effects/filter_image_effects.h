// The image filters of the transition registry: "quake" shakes the layer's picture, "zoomflip"
// pushes or zooms one picture into the other, "rotcenter" turns one in about the centre,
// "addsub" fades through white or black, "hblur" blurs along rows. Each turns the clock into a
// progress value and draws that state into the area its layer asks for.
#pragma once

#include <memory>

#include <cstdint>

#include "effects/filter_effect.h"
#include "effects/overlay_shake.h"

namespace bw {

class SubtractiveRandom;

class ImageFilter : public FilterEffect {
 public:
  using FilterEffect::SetUp;
  // Word 0 is the duration (ms, 0 refused); the words after it are the filter's own.
  [[nodiscard]] int SetUp(SurfaceLayer* target, ArgWords args) override;
  // The first call after set-up takes nowMs as the start and progress 0.
  [[nodiscard]] int Advance(uint32_t nowMs) override;
  int IsFinished() const override { return progress_ >= endProgress_ ? 1 : 0; }
  int32_t Progress() const { return progress_; }
  int32_t EndProgress() const { return endProgress_; }

 protected:
  // Throws a set-up code; sets endProgress_.
  virtual void ReadArguments(const ImageSurface& picture, ArgWords words) = 0;

  uint32_t startMs_ = 0;
  bool firstUpdate_ = false;
  int32_t progress_ = 0;
  int32_t endProgress_ = 0;
};

class QuakeFilter final : public FilterEffect {
 public:
  static std::unique_ptr<FilterEffect> Create(uint32_t extra);
  // The script host's generator, shared by every quake filter.
  static void SetRandom(SubtractiveRandom* random) { random_ = random; }

  uint8_t GetKind() const override { return kFilterKindOneLayer; }
  const char* GetKeyword() const override { return "quake"; }
  using FilterEffect::SetUp;
  // Words as the quake overlay's 0 to 4, then 5: clear what the shifted picture leaves bare.
  [[nodiscard]] int SetUp(SurfaceLayer* target, ArgWords args) override;
  [[nodiscard]] int Advance(uint32_t nowMs) override;
  int IsFinished() const override { return finished_ ? 1 : 0; }
  [[nodiscard]] int Draw(const FilterDrawRequest& request) override;
  int32_t OffsetX() const { return dx_; }
  int32_t OffsetY() const { return dy_; }

 private:
  static SubtractiveRandom* random_;
  Shake shake_;
  bool clearBorder_ = false;
  bool finished_ = false;
  int32_t dx_ = 0;
  int32_t dy_ = 0;
};

constexpr int kZoomflipModes = 7;

class ZoomflipFilter final : public ImageFilter {
 public:
  static std::unique_ptr<FilterEffect> Create(uint32_t extra);
  uint8_t GetKind() const override { return kFilterKindTwoLayerWhole; }
  const char* GetKeyword() const override { return "zoomflip"; }
  [[nodiscard]] int Draw(const FilterDrawRequest& request) override;

 private:
  // Words: mode 0-6, the byte handed on to the stretch routine.
  void ReadArguments(const ImageSurface& picture, ArgWords words) override;

  int mode_ = 0;
  uint32_t extra_ = 0;
  int32_t drawnProgress_ = -1;
};

class RotcenterFilter final : public ImageFilter {
 public:
  static std::unique_ptr<FilterEffect> Create(uint32_t extra);
  uint8_t GetKind() const override { return kFilterKindTwoLayerWhole; }
  const char* GetKeyword() const override { return "rotcenter"; }
  [[nodiscard]] int Draw(const FilterDrawRequest& request) override;

 private:
  // Words: 1 the old picture turns away, 2 a trail; the byte handed on to the affine routine.
  void ReadArguments(const ImageSurface& picture, ArgWords words) override;

  int mode_ = 0;
  uint32_t extra_ = 0;
  int32_t drawnProgress_ = -1;
};

class AddsubFilter final : public ImageFilter {
 public:
  static std::unique_ptr<FilterEffect> Create(uint32_t extra);
  uint8_t GetKind() const override { return kFilterKindTwoLayerBanded; }
  const char* GetKeyword() const override { return "addsub"; }
  [[nodiscard]] int Advance(uint32_t nowMs) override;
  [[nodiscard]] int Draw(const FilterDrawRequest& request) override;

 private:
  // Words: mode (bit 0: toward the new picture; 2 and above: through black).
  void ReadArguments(const ImageSurface& picture, ArgWords words) override;

  uint32_t mode_ = 0;
};

class HblurFilter final : public ImageFilter {
 public:
  static std::unique_ptr<FilterEffect> Create(uint32_t extra);
  uint8_t GetKind() const override { return kFilterKindTwoLayerWhole; }
  const char* GetKeyword() const override { return "hblur"; }
  [[nodiscard]] int Draw(const FilterDrawRequest& request) override;
  int Radius() const { return radius_; }

 private:
  // Words: mode (0 a blur through 2r + 1 steps, else a blurred cross-fade), radius.
  void ReadArguments(const ImageSurface& picture, ArgWords words) override;

  int mode_ = 0;
  int radius_ = 1;
};

}  // namespace bw
