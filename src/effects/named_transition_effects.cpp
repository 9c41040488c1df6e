#include "effects/named_transition_effects.h"

#include <algorithm>
#include <new>

#include "common/global.h"
#include "effects/arg_cursor.h"
#include "effects/ease.h"
#include "graphics/layers/surface_layer.h"
#include "graphics/surface/image_surface.h"
#include "platform/trig_tables.h"

namespace bw {

namespace {

// The numbered transition modes there are.
constexpr int kNumberedModes = 87;
constexpr int kNoSineTable = 5;

// sin(i · pi / 256) in 16.16.
int64_t Sine(const TrigTables& trig, int64_t i) {
  return trig.Cosine(static_cast<int>((i - 128) & 511));
}

template <typename T>
std::unique_ptr<FilterEffect> Make() {
  return std::make_unique<T>();
}

}  // namespace

int NamedTransition::Advance(uint32_t nowMs) {
  if (firstStep_) {
    firstStep_ = false;
    startMs_ = nowMs;
    progress_ = StartValue();
    FirstStep();
    return 0;
  }
  progress_ = ProgressAt(nowMs - startMs_);
  return 0;
}

int NamedTransition::SetUp(SurfaceLayer* target, ArgWords args) {
  if (args.Empty()) return kFilterBadArguments;
  try {
    if (target == nullptr || target->GetImage() == nullptr || args.Uint(0) == 0)
      throw kFilterBadArguments;
    durationMs = args.Uint(0);
    if (target->GetImage()->GetBitsPerPixel() != 32) throw kFilterUnsuitableSurface;
    ReadArguments(*target, args.From(1));
    firstStep_ = true;
    return kFilterSetUpDone;
  } catch (int code) {
    return code;
  } catch (...) {
    return kFilterSetUpFailed;
  }
}

int32_t NamedTransition::Scaled(uint32_t elapsedMs, int64_t scale, int32_t cap) const {
  return static_cast<int32_t>(std::min<int64_t>(int64_t{elapsedMs} * scale / durationMs, cap));
}

std::unique_ptr<FilterEffect> CrossTransition::Create(uint32_t) {
  return Make<CrossTransition>();
}

int CrossTransition::Draw(const FilterDrawRequest& request) {
  return DrawCrossTransition(request, progress_);
}

std::unique_ptr<FilterEffect> RuleTransition::Create(uint32_t) {
  return Make<RuleTransition>();
}

void RuleTransition::ReadArguments(SurfaceLayer&, ArgWords words) {
  rule_ = words.Pointer<const ImageSurface>(0);
  if (rule_ == nullptr) throw kFilterBadArguments;
  if (rule_->GetBitsPerPixel() != 8) throw kFilterUnsuitableSurface;
  ramp_ = words.Int(1);
}

int RuleTransition::Draw(const FilterDrawRequest& request) {
  return DrawRuleTransition(request, rule_, progress_, ramp_);
}

bool RuleTransition::WritesWhole(const FilterDrawRequest& request) const {
  // A rule smaller than the target draws nothing; one as large covers every area in the target.
  return rule_ && rule_->GetPixels() && rule_->GetBitsPerPixel() == 8 && request.target &&
         rule_->GetWidth() >= request.target->GetWidth() &&
         rule_->GetHeight() >= request.target->GetHeight() && NamedTransition::WritesWhole(request);
}

std::unique_ptr<FilterEffect> ScrollTransition::Create(uint32_t) {
  return Make<ScrollTransition>();
}

void ScrollTransition::ReadArguments(SurfaceLayer& target, ArgWords words) {
  const uint32_t direction = words.Uint(0), mode = words.Uint(1);
  if (direction >= kScrollDirections || mode >= kScrollModes) throw kFilterBadArguments;
  direction_ = static_cast<uint8_t>(direction);
  mode_ = static_cast<uint8_t>(mode);
  fade_ = mode_ >= 3;
  exponent_ = DecimalOr(words.Text(2), 0);
  const ImageSurface* picture = target.GetImage();
  distance_ = direction_ % 2 == 0 ? picture->GetWidth() : picture->GetHeight();
}

void ScrollTransition::FirstStep() {
  fadeLevel_ = fade_ && mode_ == 4 ? 255 : 0;
}

int32_t ScrollTransition::ProgressAt(uint32_t elapsedMs) {
  const double duration = durationMs;
  const double t = std::min<double>(elapsedMs, duration);
  const auto eased = static_cast<uint32_t>(EaseProgress(t / duration, exponent_) * duration);
  if (fade_) {
    const int32_t in = static_cast<int32_t>(int64_t{eased} * 255 / durationMs);
    fadeLevel_ = mode_ == 3 ? in : 255 - in;
  }
  return static_cast<int32_t>(int64_t{distance_} * eased / durationMs);
}

int ScrollTransition::Draw(const FilterDrawRequest& request) {
  return DrawScrollTransition(request, direction_, mode_, progress_, fadeLevel_);
}

uint32_t WaveGapColor(uint32_t a, uint32_t b, int level) {
  const uint32_t w = level >= 255 ? 256 : static_cast<uint32_t>(std::max(level, 0));
  const uint32_t rb = (((a & 0xFF00FF) * (256 - w) + (b & 0xFF00FF) * w) >> 8) & 0xFF00FF;
  const uint32_t g = (((a & 0xFF00) * (256 - w) + (b & 0xFF00) * w) >> 8) & 0xFF00;
  return (a & 0xFF000000u) | rb | g;
}

std::unique_ptr<FilterEffect> WaveTransition::Create(uint32_t) {
  return Make<WaveTransition>();
}

void WaveTransition::ReadArguments(SurfaceLayer& target, ArgWords words) {
  if (Global<TrigTables>::Get() == nullptr) throw kNoSineTable;
  durationMs = std::max<uint32_t>(durationMs, 2);
  height_ = target.GetImage()->GetHeight();
  mode_ = words.Int(0);
  maxAmplitude_ = words.Int(1);
  waveCount_ = words.Int(2);
  colorA_ = words.Uint(3);
  colorB_ = words.Uint(4);
}

int32_t WaveTransition::ProgressAt(uint32_t elapsedMs) {
  const TrigTables* trig = Global<TrigTables>::Get();
  const int64_t duration = durationMs;
  const int64_t elapsed = std::min<int64_t>(elapsedMs, duration);
  const int64_t half = duration / 2;
  const int64_t envelope = elapsed < half ? elapsed : duration - elapsed;
  const int64_t sine = trig ? Sine(*trig, envelope * 128 / half) : 0;
  frame_.amplitude = static_cast<int32_t>(maxAmplitude_ * sine >> 16);
  int64_t step = waveCount_;
  if (mode_ == 0) step = waveCount_ * sine >> 16;
  if (mode_ == 1) step = waveCount_ * (duration - elapsed) / duration;
  if (mode_ == 2) step = waveCount_ * elapsed / duration;
  frame_.step = static_cast<int32_t>(step);
  frame_.phase = static_cast<int32_t>(mode_ <= 2 ? -(height_ / 2) * step
                                                 : waveCount_ * elapsed / duration * maxAmplitude_);
  frame_.level = static_cast<int>(std::min<int64_t>(elapsed * 255 / duration, 255));
  frame_.gapColor = WaveGapColor(colorA_, colorB_, frame_.level);
  return frame_.level;
}

int WaveTransition::Draw(const FilterDrawRequest& request) {
  return DrawWaveTransition(request, frame_);
}

std::unique_ptr<FilterEffect> MosaicTransition::Create(uint32_t) {
  return Make<MosaicTransition>();
}

void MosaicTransition::ReadArguments(SurfaceLayer&, ArgWords words) {
  const uint32_t anchor = words.Uint(0);
  anchor_ = anchor <= 4 ? static_cast<uint8_t>(anchor) : 0;
  maximum_ = 2 * std::clamp(words.Int(1), 1, INT32_MAX / 2);
  keepAspect_ = words.Int(2) != 0;
}

int MosaicTransition::Draw(const FilterDrawRequest& request) {
  return DrawMosaicTransition(request, progress_, maximum_, anchor_, keepAspect_);
}

std::unique_ptr<FilterEffect> RotaxisTransition::Create(uint32_t) {
  return Make<RotaxisTransition>();
}

void RotaxisTransition::ReadArguments(SurfaceLayer&, ArgWords words) {
  // Built ahead of the first frame; the drawing checks for it again.
  if (TrigTables* trig = Global<TrigTables>::Get()) (void)trig->EnsureCosineDoubles();

  const uint32_t axis = words.Uint(0);
  if (axis > 3) throw kFilterBadArguments;
  axis_ = static_cast<uint8_t>(axis);
}

int RotaxisTransition::Draw(const FilterDrawRequest& request) {
  return DrawRotaxisTransition(request, progress_, axis_);
}

std::unique_ptr<FilterEffect> TransTransition::Create(uint32_t) {
  return Make<TransTransition>();
}

void TransTransition::ReadArguments(SurfaceLayer&, ArgWords words) {
  const uint8_t mode = static_cast<uint8_t>(words.Uint(0));
  // Only so many numbered routines exist.
  if (mode >= kNumberedModes) throw kFilterBadArguments;
  mode_ = mode;
  reverse_ = words.Int(1) != 0;
}

int32_t TransTransition::ProgressAt(uint32_t elapsedMs) {
  const int32_t p = Scaled(elapsedMs, 256, 256);
  return reverse_ ? 256 - p : p;
}

int TransTransition::Draw(const FilterDrawRequest& request) {
  return DrawTransTransition(request, mode_, progress_);
}

std::unique_ptr<FilterEffect> ToneTransition::Create(uint32_t) {
  return Make<ToneTransition>();
}

void ToneTransition::ReadArguments(SurfaceLayer&, ArgWords words) {
  color_ = words.Uint(0);
  reverse_ = words.Int(1) != 0;
}

int32_t ToneTransition::ProgressAt(uint32_t elapsedMs) {
  const int32_t level = Scaled(elapsedMs, 255, 255);
  return reverse_ ? 255 - level : level;
}

int ToneTransition::Draw(const FilterDrawRequest& request) {
  return DrawToneTransition(request, color_, progress_);
}

}  // namespace bw
