// The eight named transitions as filter effects: each reads its arguments at set-up, turns the
// clock into its progress value, and draws the state at that value into the area the layer
// asks for.
#pragma once

#include <memory>

#include <cstdint>

#include "effects/filter_effect.h"
#include "effects/transitions/named_transitions.h"

namespace bw {

class NamedTransition : public FilterEffect {
 public:
  // The first call after set-up takes nowMs as the start and the start value as the progress.
  [[nodiscard]] int Advance(uint32_t nowMs) final;
  int IsFinished() const override { return progress_ == EndValue() ? 1 : 0; }
  using FilterEffect::SetUp;
  // Word 0 is the duration (ms); the words after it are the transition's own.
  [[nodiscard]] int SetUp(SurfaceLayer* target, ArgWords args) final;
  int32_t Progress() const { return progress_; }
  // Every transition but the turn over an axis covers an area it may draw in full.
  bool WritesWhole(const FilterDrawRequest& request) const override {
    return DrawsWholeArea(request, GetKind() != kFilterKindOneLayer);
  }

 protected:
  virtual int32_t StartValue() const { return 0; }
  virtual int32_t EndValue() const = 0;
  virtual int32_t ProgressAt(uint32_t elapsedMs) = 0;
  virtual void FirstStep() {}
  // Throws kFilterBadArguments or kFilterUnsuitableSurface.
  virtual void ReadArguments(SurfaceLayer& /*target*/, ArgWords /*words*/) {}
  // elapsed × scale / duration in 64 bits, capped at cap.
  int32_t Scaled(uint32_t elapsedMs, int64_t scale, int32_t cap) const;

  uint32_t startMs_ = 0;
  int32_t progress_ = 0;
  bool firstStep_ = false;
};

class CrossTransition final : public NamedTransition {
 public:
  static std::unique_ptr<FilterEffect> Create(uint32_t extra);
  uint8_t GetKind() const override { return kFilterKindTwoLayerBanded; }
  const char* GetKeyword() const override { return "cross"; }
  bool ReadsOnlyItsRows() const override { return true; }
  [[nodiscard]] int Draw(const FilterDrawRequest& request) override;

 private:
  int32_t EndValue() const override { return 255; }
  int32_t ProgressAt(uint32_t elapsedMs) override { return Scaled(elapsedMs, 255, 255); }
};

class RuleTransition final : public NamedTransition {
 public:
  static std::unique_ptr<FilterEffect> Create(uint32_t extra);
  uint8_t GetKind() const override { return kFilterKindTwoLayerBanded; }
  const char* GetKeyword() const override { return "rule"; }
  bool ReadsOnlyItsRows() const override { return true; }
  [[nodiscard]] int Draw(const FilterDrawRequest& request) override;
  bool WritesWhole(const FilterDrawRequest& request) const override;

 private:
  int32_t EndValue() const override { return 255; }
  int32_t ProgressAt(uint32_t elapsedMs) override { return Scaled(elapsedMs, 255, 255); }
  // Words: the 8-bit rule picture, the ramp width.
  void ReadArguments(SurfaceLayer& target, ArgWords words) override;

  const ImageSurface* rule_ = nullptr;
  int32_t ramp_ = 0;
};

class ScrollTransition final : public NamedTransition {
 public:
  static std::unique_ptr<FilterEffect> Create(uint32_t extra);
  uint8_t GetKind() const override { return kFilterKindTwoLayerBanded; }
  const char* GetKeyword() const override { return "scroll"; }
  [[nodiscard]] int Draw(const FilterDrawRequest& request) override;
  int32_t FadeLevel() const { return fadeLevel_; }

 private:
  int32_t EndValue() const override { return distance_; }
  int32_t ProgressAt(uint32_t elapsedMs) override;
  void FirstStep() override;
  // Words: direction 0-3, movement mode 0-4, the easing exponent as a text (null: 0).
  void ReadArguments(SurfaceLayer& target, ArgWords words) override;

  uint8_t direction_ = 0;
  uint8_t mode_ = 0;
  bool fade_ = false;
  int32_t fadeLevel_ = 0;
  int32_t distance_ = 0;
  double exponent_ = 0;
};

class WaveTransition final : public NamedTransition {
 public:
  static std::unique_ptr<FilterEffect> Create(uint32_t extra);
  uint8_t GetKind() const override { return kFilterKindTwoLayerBanded; }
  const char* GetKeyword() const override { return "wave"; }
  [[nodiscard]] int Draw(const FilterDrawRequest& request) override;
  const WaveFrame& Frame() const { return frame_; }

 private:
  int32_t EndValue() const override { return 255; }
  int32_t ProgressAt(uint32_t elapsedMs) override;
  // Words: mode 0-3, maximum amplitude, wave count, colour A, colour B.
  void ReadArguments(SurfaceLayer& target, ArgWords words) override;

  int32_t height_ = 0;
  int32_t mode_ = 0;
  int32_t maxAmplitude_ = 0;
  int32_t waveCount_ = 0;
  uint32_t colorA_ = 0;
  uint32_t colorB_ = 0;
  WaveFrame frame_;
};

class MosaicTransition final : public NamedTransition {
 public:
  static std::unique_ptr<FilterEffect> Create(uint32_t extra);
  uint8_t GetKind() const override { return kFilterKindTwoLayerWhole; }
  const char* GetKeyword() const override { return "mosaic"; }
  [[nodiscard]] int Draw(const FilterDrawRequest& request) override;

 private:
  int32_t EndValue() const override { return maximum_; }
  int32_t ProgressAt(uint32_t elapsedMs) override { return Scaled(elapsedMs, maximum_, maximum_); }
  // Words: anchor 0-4, peak block size, keep-aspect flag.
  void ReadArguments(SurfaceLayer& target, ArgWords words) override;

  int32_t maximum_ = 2;
  uint8_t anchor_ = 0;
  bool keepAspect_ = false;
};

class RotaxisTransition final : public NamedTransition {
 public:
  static std::unique_ptr<FilterEffect> Create(uint32_t extra);
  uint8_t GetKind() const override { return kFilterKindTwoLayerWhole; }
  const char* GetKeyword() const override { return "rotaxis"; }
  [[nodiscard]] int Draw(const FilterDrawRequest& request) override;
  bool WritesWhole(const FilterDrawRequest&) const override { return false; }

 private:
  int32_t EndValue() const override { return 256; }
  int32_t ProgressAt(uint32_t elapsedMs) override { return Scaled(elapsedMs, 256, 256); }
  // Words: axis 0-3.
  void ReadArguments(SurfaceLayer& target, ArgWords words) override;

  uint8_t axis_ = 0;
};

class TransTransition final : public NamedTransition {
 public:
  static std::unique_ptr<FilterEffect> Create(uint32_t extra);
  uint8_t GetKind() const override { return kFilterKindTwoLayerWhole; }
  const char* GetKeyword() const override { return "trans"; }
  [[nodiscard]] int Draw(const FilterDrawRequest& request) override;

 private:
  int32_t StartValue() const override { return reverse_ ? 256 : 0; }
  int32_t EndValue() const override { return reverse_ ? 0 : 256; }
  int32_t ProgressAt(uint32_t elapsedMs) override;
  // Words: the numbered transition's mode (low byte), the reverse flag.
  void ReadArguments(SurfaceLayer& target, ArgWords words) override;

  uint8_t mode_ = 0;
  bool reverse_ = false;
};

class ToneTransition final : public NamedTransition {
 public:
  static std::unique_ptr<FilterEffect> Create(uint32_t extra);
  uint8_t GetKind() const override { return kFilterKindOneLayer; }
  const char* GetKeyword() const override { return "tone"; }
  [[nodiscard]] int Draw(const FilterDrawRequest& request) override;

 private:
  int32_t StartValue() const override { return reverse_ ? 255 : 0; }
  int32_t EndValue() const override { return reverse_ ? 0 : 255; }
  int32_t ProgressAt(uint32_t elapsedMs) override;
  // Words: the colour word, the reverse flag.
  void ReadArguments(SurfaceLayer& target, ArgWords words) override;

  uint32_t color_ = 0;
  bool reverse_ = false;
};

// The gap colour of a wave at level: a blended toward b, a's alpha kept.
uint32_t WaveGapColor(uint32_t a, uint32_t b, int level);

}  // namespace bw
