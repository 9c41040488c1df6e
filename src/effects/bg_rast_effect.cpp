#include "effects/bg_rast_effect.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "common/global.h"
#include "common/sjis.h"
#include "effects/arg_cursor.h"
#include "graphics/pixel/pixel_kernels.h"
#include "graphics/surface/composition_layer.h"
#include "graphics/surface/image_surface.h"
#include "platform/timer_service.h"
#include "platform/trig_tables.h"

namespace bw {

namespace {

constexpr int32_t kFullStrength = 512;

}  // namespace

void ShiftRow(uint32_t* dst, int32_t width, const uint32_t* src, int32_t srcWidth, int64_t from,
              Uncovered uncovered, const uint32_t* plain, uint32_t color) {
  const int64_t lo = std::clamp<int64_t>(-from, 0, width);
  const int64_t hi = std::clamp<int64_t>(srcWidth - from, lo, width);
  // The library's row copy: aligned wide stores, where memcpy may take a slower path.
  if (src != nullptr && hi > lo) CopyRows32Mmx(dst + lo, src + from + lo, 0, 0, int(hi - lo), 1);
  const int64_t spans[2][2] = {{0, src ? lo : width}, {src ? hi : width, width}};
  for (const auto& span : spans) {
    if (span[1] <= span[0]) continue;
    const size_t count = static_cast<size_t>(span[1] - span[0]);
    if (uncovered == Uncovered::kFill || (uncovered == Uncovered::kPicture && !plain)) {
      std::fill_n(dst + span[0], count, color);
    } else if (uncovered == Uncovered::kPicture) {
      CopyRows32Mmx(dst + span[0], plain + span[0], 0, 0, int(count), 1);
    }
  }
}

int WaveLayerEffect::Prepare(TimerService* timers, EffectTarget target) {
  if (Global<TrigTables>::Get() == nullptr) return kBgWaveNoSine;
  if (timers == nullptr || !BindTarget(target)) return kBgWaveBadArguments;
  source_ = Picture();
  if (source_ == nullptr || source_->GetBitsPerPixel() != 32 || layer_->GetTarget() == nullptr)
    return kBgWaveBadArguments;
  if (layer_->GetWorkSurface() != nullptr) return kBgWaveHasWorkSurface;
  if (MakeWorkSurface() != 0 || Work()->GetBitsPerPixel() != 32) return kBgWaveNoWorkSurface;
  layer_->GetBackground(nullptr, &offsetX_, &offsetY_, nullptr, nullptr, nullptr);
  if (source_->GetWidth() < Work()->GetWidth() || source_->GetHeight() < Work()->GetHeight())
    return kBgWavePictureSmaller;
  return 0;
}

void WaveLayerEffect::SetTiming(int32_t full, ArgWords timing) {
  envelope_.Set(full, timing.Uint(0), timing.Uint(1), timing.Uint(2));
}

const uint32_t* WaveLayerEffect::PictureRow(int32_t y) const {
  const int64_t row = int64_t{y} + offsetY_;
  if (source_ == nullptr || row < 0 || row >= source_->GetHeight()) return nullptr;
  return reinterpret_cast<const uint32_t*>(source_->GetRowPointer(static_cast<int32_t>(row)));
}

uint32_t* WaveLayerEffect::WorkRow(int32_t y) const {
  return reinterpret_cast<uint32_t*>(Work()->GetRowPointer(y));
}

int32_t WaveLayerEffect::Update(uint32_t nowMs) {
  // A picture replaced or gone under the effect (which takes the work surface with it) ends it.
  if (layer_ == nullptr || Work() == nullptr || Picture() != source_) {
    Stop();
    return kTaskStepFinished;
  }
  const uint32_t elapsed = Elapsed(nowMs);
  bool finished = false;
  const int32_t level = envelope_.Step(elapsed, &finished);
  if (finished) {
    Stop();
    return kTaskStepFinished;
  }
  Redraw(elapsed, level);
  return kTaskStepContinue;
}

void WaveLayerEffect::Stop() {
  DropWorkSurface();
}

int WaveLayerEffect::Command(ArgWords) {
  return envelope_.RequestFadeOut() ? 0 : kBgWaveFadingOut;
}

int WaveLayerEffect::Query(ArgWords) {
  return envelope_.State();
}

std::unique_ptr<DisplayEffect> BgRastEffect::Create(uint32_t) {
  return std::make_unique<BgRastEffect>();
}

int BgRastEffect::Setup(TimerService* timers, EffectTarget target, ArgWords args) {
  if (int code = Prepare(timers, target); code != 0) return code;
  // Rows and period of 0 would divide by zero.
  rows_ = std::max<uint32_t>(args.Uint(1), 1);
  period_ = std::max<uint32_t>(args.Uint(2), 1);
  fill_ = args.Int(6) != 0;
  SetTiming(args.Int(0), args.From(3));
  // The plain picture shows until the first update.
  Redraw(0, 0);
  if (args.Int(7) != 0) NotifyStart();
  return 0;
}

void BgRastEffect::Redraw(uint32_t elapsed, int32_t level) {
  const int32_t phase = static_cast<int32_t>(uint64_t{elapsed % period_} * 512 / period_);
  if (drawn_ && phase == lastPhase_ && level == lastLevel_) return;
  drawn_ = true;
  lastPhase_ = phase;
  lastLevel_ = level;
  const TrigTables& trig = *Global<TrigTables>::Get();
  const int32_t width = Work()->GetWidth(), height = Work()->GetHeight();
  const Uncovered uncovered = fill_ ? Uncovered::kFill : Uncovered::kPicture;
  const uint32_t color = layer_->GetFillColor();
  for (int32_t y = 0; y < height; ++y) {
    const int64_t step = int64_t{y} * 512 / rows_;
    // 64 bits: an amplitude from 32768 up times the 16.16 sine passes 32 bits.
    const int64_t shift = int64_t{level} * Sine16(trig, phase + step - 128) >> 16;
    const uint32_t* src = PictureRow(y);
    ShiftRow(WorkRow(y), width, src, source_->GetWidth(), offsetX_ - shift, uncovered,
             src ? src + offsetX_ : nullptr, color);
  }
  // A layer without a target has nothing to redraw.
  (void)layer_->InvalidateAll();
}

size_t ParseWaveText(const char* text, std::vector<WaveTriple>& out) {
  out.clear();
  if (text == nullptr) return 0;
  for (const char* p = text; *p != '\0';) {
    if (sjis::IsLeadByte(*p) && p[1] != '\0') {
      p += 2;
      continue;
    }
    if (*p != '(') {
      ++p;
      continue;
    }
    ArgCursor cursor(p + 1);
    WaveTriple w;
    for (int32_t* value : {&w.k, &w.phase, &w.amplitude}) {
      if (cursor.SkipSeparators() == '\0' || *cursor.Position() == '(') break;
      if (cursor.ReadInt(value) != kArgRead) break;
    }
    out.push_back(w);
    p = std::max(cursor.Position(), p + 1);
  }
  return out.size();
}

std::unique_ptr<DisplayEffect> BgHazeEffect::Create(uint32_t) {
  return std::make_unique<BgHazeEffect>();
}

std::vector<int32_t> BgHazeEffect::BuildTable(const TrigTables& trig,
                                              const std::vector<WaveTriple>& waves, int32_t n) {
  std::vector<int32_t> table(static_cast<size_t>(n));
  const int64_t step = (int64_t{1} << 25) / n;
  const auto count = static_cast<int64_t>(waves.size());
  for (int32_t i = 0; i < n; ++i) {
    const int64_t angle = (i * step) >> 16;
    int64_t sum = 0;
    for (const WaveTriple& w : waves)
      sum += int64_t{Sine16(trig, angle * w.k + w.phase)} * w.amplitude;
    table[static_cast<size_t>(i)] = static_cast<int32_t>((sum / count) >> 16);
  }
  return table;
}

int BgHazeEffect::Setup(TimerService* timers, EffectTarget target, ArgWords args) {
  if (int code = Prepare(timers, target); code != 0) return code;
  std::vector<WaveTriple> waves;
  // A table of no entries would divide by zero.
  const int32_t n = args.Int(1);
  if (ParseWaveText(args.Text(0), waves) == 0 || n <= 0) return kBgHazeBadWave;
  table_ = BuildTable(*Global<TrigTables>::Get(), waves, n);
  period_ = std::max<uint32_t>(args.Uint(2), 1);
  fill_ = args.Int(6) != 0;
  SetTiming(kFullStrength, args.From(3));
  // Without the fill the rows no source reaches keep the picture.
  for (int32_t y = 0; y < Work()->GetHeight(); ++y) {
    const uint32_t* src = PictureRow(y);
    ShiftRow(WorkRow(y), Work()->GetWidth(), src, source_->GetWidth(), offsetX_, Uncovered::kFill,
             nullptr, layer_->GetFillColor());
  }
  // A layer without a target has nothing to redraw.
  (void)layer_->InvalidateAll();
  if (args.Int(7) != 0) NotifyStart();
  return 0;
}

void BgHazeEffect::Redraw(uint32_t elapsed, int32_t level) {
  const auto n = static_cast<int64_t>(table_.size());
  const int64_t offset = int64_t{elapsed % period_} * n / period_;
  if (drawn_ && offset == lastOffset_ && level == lastLevel_) return;
  drawn_ = true;
  lastOffset_ = offset;
  lastLevel_ = level;
  const int32_t width = Work()->GetWidth(), height = Work()->GetHeight();
  const Uncovered uncovered = fill_ ? Uncovered::kFill : Uncovered::kKeep;
  const uint32_t color = layer_->GetFillColor();
  for (int32_t y = 0; y < height; ++y) {
    // 64 bits: a large table entry times the strength passes 32 bits.
    const int64_t d = int64_t{table_[static_cast<size_t>((offset + y) % n)]} * level >> 9;
    const int64_t row = std::clamp<int64_t>(y + d, INT32_MIN / 2, INT32_MAX / 2);
    const uint32_t* src = PictureRow(static_cast<int32_t>(row));
    ShiftRow(WorkRow(y), width, src, source_->GetWidth(), offsetX_ - d, uncovered, nullptr, color);
  }
  // A layer without a target has nothing to redraw.
  (void)layer_->InvalidateAll();
}

}  // namespace bw
