#include "effects/ripple_effect.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "effects/arg_cursor.h"
#include "graphics/layers/surface_layer.h"
#include "graphics/surface/image_surface.h"
#include "platform/mmx_flag.h"

namespace bw {

namespace {

constexpr int32_t kFullLevel = 255;
constexpr uint32_t kShortestMs = 2;
constexpr int32_t kDefaultAmplitude = 24;
constexpr int32_t kLargestAmplitude = 127;
constexpr double kPi = 3.14159265358979323846;

RippleCrossRoutine crossRows = RippleCrossRowPlain;

int32_t Centre(int32_t given, int32_t size) {
  if (given < 0) return size / 2;
  return given >= size ? size - 1 : given;
}

// How far a sample lies from its pixel along one axis, given the axis' sign and the least and
// greatest displacement.
struct SampleReach {
  int32_t least, most;
};
SampleReach Reach(int sign, int32_t least, int32_t most) {
  return sign > 0 ? SampleReach{least, most} : SampleReach{-most, -least};
}

// The blended rows a draw keeps: a ring of rows, a few times the rows one output row samples so
// that few need copies, and a copy of the rows within reach of either end of the ring beyond it.
// Small enough to stay in the cache, where a whole blended frame would not.
int32_t RingRows(int32_t reach) {
  return 4 * (reach + 1);
}
int32_t WindowRows(int32_t reach, int32_t height) {
  return std::min(RingRows(reach), height) + 2 * reach;
}

}  // namespace

std::unique_ptr<FilterEffect> RippleEffect::Create(uint32_t) {
  return std::make_unique<RippleEffect>();
}

void RippleEffect::Initialise() {
  crossRows = MmxEnabled() ? RippleCrossRowVector : RippleCrossRowPlain;
}

void RippleEffect::Finalise() {
  ClearRippleTableCache();
}

RippleCrossRoutine RippleEffect::CrossRows() {
  return crossRows;
}

RippleEffect::~RippleEffect() {
  ReleaseRippleTables(tables_);
}

int RippleEffect::SetUp(SurfaceLayer* target, ArgWords args) {
  if (target == nullptr || args.Empty()) return kFilterBadArguments;
  const ImageSurface* picture = target->GetImage();
  if (picture == nullptr || !picture->GetPixels() || picture->GetBitsPerPixel() != 32 ||
      picture->GetWidth() <= 0 || picture->GetHeight() <= 0) {
    return kFilterUnsuitableSurface;
  }
  durationMs = std::max(args.Uint(0), kShortestMs);
  RippleKey key;
  key.width = picture->GetWidth();
  key.height = picture->GetHeight();
  key.centreX = Centre(args.Int(1), key.width);
  key.centreY = Centre(args.Int(2), key.height);
  const int32_t wave = args.Int(3);
  key.waveLength = wave == 16 || wave == 32 || wave == 64 || wave == 128 ? wave : 16;
  const double aspect = DecimalOr(args.Text(4), 0);
  key.aspect = aspect > 0 ? float(aspect) : 1.0f;
  speed_ = float(DecimalOr(args.Text(5), 6.0));
  const int32_t amplitude = args.Int(6);
  key.amplitude = amplitude <= 0 ? kDefaultAmplitude : std::min(amplitude, kLargestAmplitude);
  ReleaseRippleTables(tables_);
  tables_ = nullptr;
  try {
    offsets_.assign(size_t(4) * size_t(key.waveLength) * kRippleDirections, 0);
    // No displacement exceeds the amplitude.
    crossed_.resize(size_t(WindowRows(key.amplitude, key.height)) * size_t(key.width));
    tables_ = AcquireRippleTables(key);
  } catch (...) {
    return kFilterSetUpFailed;
  }
  offsetsRow_ = nullptr;
  key_ = key;
  firstStep_ = true;
  level_ = phase_ = amplitudeLevel_ = 0;
  margin_ = 2;
  displacement_ = tables_->Row(0, 0);
  return kFilterSetUpDone;
}

int RippleEffect::Advance(uint32_t nowMs) {
  if (tables_ == nullptr) return 0;
  if (firstStep_) {
    firstStep_ = false;
    startMs_ = nowMs;
  }
  elapsedMs_ = nowMs - startMs_;
  level_ = int32_t(std::min<int64_t>(int64_t{elapsedMs_} * kFullLevel / durationMs, kFullLevel));
  const int32_t wave = key_.waveLength;
  const double turns = double(speed_) * wave * elapsedMs_ * 0.00015915494398817547;
  int64_t phase = std::isfinite(turns) && std::fabs(turns) < 9e18 ? int64_t(turns) % wave : 0;
  if (phase < 0) phase = 0;
  phase_ = wave - int32_t(phase) - 1;
  const double rise = std::sin(kPi * elapsedMs_ / durationMs) * key_.amplitude * 4;
  amplitudeLevel_ = int32_t(std::clamp(rise, 0.0, double(4 * key_.amplitude - 1)));
  margin_ = amplitudeLevel_ / 4 + 1;
  margin_ += margin_ & 1;
  displacement_ = tables_->Row(amplitudeLevel_, phase_);
  return 0;
}

// A picture with the offset that maps a ripple point to a pixel of it.
struct RippleEffect::Placed {
  const ImageSurface* picture;
  int32_t dx;
  int32_t dy;
  const uint32_t* At(int32_t x, int32_t y) const {
    return reinterpret_cast<const uint32_t*>(picture->GetRowPointer(y + dy)) + (x + dx);
  }
};

// The old and new pictures blended at the level, in the rows a draw keeps (see RingRows). Row y
// of the crossed frame lives in ring slot (y - top) mod ring, stored `reach` rows into the
// window; a slot within reach of either end of the ring is also stored past that end, so that a
// sample's row offset from its pixel's row never wraps.
struct RippleEffect::CrossedRing {
  uint32_t* window;
  RippleBounds crossed;
  ptrdiff_t pitch;
  int32_t reach;
  int32_t ring;
  int32_t blended;  // the next crossed row to blend
  Placed from, to;
  uint32_t level;

  int32_t Rows() const { return crossed.bottom - crossed.top; }
  uint32_t* Row(int32_t slot) const { return window + (slot + reach) * pitch; }
  const uint32_t* At(int32_t x, int32_t y) const {
    return Row((y - crossed.top) % ring) + (x - crossed.left);
  }
  // Rows are blended just before the first pixel that can reach them, and after the last pixel
  // that could reach the row whose slot they take.
  void BlendUpTo(int32_t end) {
    const RippleCrossRoutine cross = crossRows;
    for (end = std::min(end, crossed.bottom); blended < end; ++blended) {
      const int32_t slot = (blended - crossed.top) % ring;
      uint32_t* row = Row(slot);
      cross(row, from.At(crossed.left, blended), to.At(crossed.left, blended), int(pitch), level);
      if (Rows() <= ring) continue;
      const size_t bytes = size_t(pitch) * sizeof(uint32_t);
      if (slot < reach) std::memcpy(Row(slot + ring), row, bytes);
      if (slot >= ring - reach) std::memcpy(Row(slot - ring), row, bytes);
    }
  }
};

int RippleEffect::Draw(const FilterDrawRequest& request) {
  if (tables_ == nullptr) return kFilterBadArguments;
  FilterDrawRequest a = request;
  // The set-up size bounds the area too: the code table covers no more.
  a.width = int32_t(std::min<int64_t>(a.width, int64_t{key_.width} - a.areaX));
  a.height = int32_t(std::min<int64_t>(a.height, int64_t{key_.height} - a.areaY));
  if (a.areaX < 0 || a.areaY < 0 || a.width <= 0 || a.height <= 0) return kFilterDrawn;
  if (int code = PrepareDrawArea(a, true); code != kNamedDrawGo) return code;
  if (a.areaX + a.width > key_.width || a.areaY + a.height > key_.height) return kFilterDrawn;
  const Placed from{a.oldImage, a.oldX - a.areaX, a.oldY - a.areaY};
  const Placed to{a.newImage, a.newX - a.areaX, a.newY - a.areaY};
  const RippleBounds bounds = SampleBounds(from, to);
  if (bounds.left >= bounds.right || bounds.top >= bounds.bottom) return kFilterDrawn;
  if (offsetsRow_ != displacement_) MeasureDisplacement();
  // The area lies inside the bounds (both pictures cover it), so every sample, reflected or
  // not, lies within reach of its pixel: the crossed frame covers the area and that reach.
  const int32_t reach = std::max({-leastAcross_, mostAcross_, -leastDown_, mostDown_, int32_t{0}});
  if (reach == 0) {
    CrossFadeArea(a, from, to);
  } else {
    const RippleBounds crossed{std::max(bounds.left, a.areaX - reach),
                               std::max(bounds.top, a.areaY - reach),
                               std::min(bounds.right, a.areaX + a.width + reach),
                               std::min(bounds.bottom, a.areaY + a.height + reach)};
    const ptrdiff_t pitch = crossed.right - crossed.left;
    const int32_t ring = std::min(crossed.bottom - crossed.top, RingRows(reach));
    if (size_t(ring + 2 * reach) * size_t(pitch) > crossed_.size()) return kFilterBadArguments;
    CrossedRing frame{crossed_.data(), crossed, pitch, reach,           ring,
                      crossed.top,     from,    to,    uint32_t(level_)};
    PrepareOffsets(pitch);
    for (int32_t j = 0; j < a.height; ++j) {
      frame.BlendUpTo(a.areaY + j + reach + 1);
      MoveRow(a, j, frame, bounds);
    }
  }
  a.target->MarkDirty({a.targetX, a.targetY, a.targetX + a.width, a.targetY + a.height});
  return kFilterDrawn;
}

// Samples stay inside the set-up size and both pictures.
RippleBounds RippleEffect::SampleBounds(const Placed& from, const Placed& to) const {
  RippleBounds bounds{0, 0, key_.width, key_.height};
  for (const Placed& p : {from, to}) {
    bounds.left = std::max(bounds.left, -p.dx);
    bounds.top = std::max(bounds.top, -p.dy);
    bounds.right = int32_t(std::min<int64_t>(bounds.right, int64_t{p.picture->GetWidth()} - p.dx));
    bounds.bottom =
        int32_t(std::min<int64_t>(bounds.bottom, int64_t{p.picture->GetHeight()} - p.dy));
  }
  return bounds;
}

void RippleEffect::MeasureDisplacement() {
  leastAcross_ = mostAcross_ = leastDown_ = mostDown_ = 0;
  const size_t span = size_t(key_.waveLength) * kRippleDirections;
  for (size_t c = 0; c < span; ++c) {
    const int32_t h = int8_t(displacement_[c] >> 8), v = int8_t(displacement_[c] & 0xFF);
    leastAcross_ = std::min(leastAcross_, h), mostAcross_ = std::max(mostAcross_, h);
    leastDown_ = std::min(leastDown_, v), mostDown_ = std::max(mostDown_, v);
  }
}

// Nothing is displaced: the frame is the plain cross-fade.
void RippleEffect::CrossFadeArea(const FilterDrawRequest& a, const Placed& from,
                                 const Placed& to) const {
  const RippleCrossRoutine cross = crossRows;
  for (int32_t j = 0; j < a.height; ++j) {
    const int32_t y = a.areaY + j;
    cross(reinterpret_cast<uint32_t*>(a.target->GetRowPointer(a.targetY + j)) + a.targetX,
          from.At(a.areaX, y), to.At(a.areaX, y), int(a.width), uint32_t(level_));
  }
}

void RippleEffect::PrepareOffsets(ptrdiff_t pitch) {
  if (offsetsRow_ == displacement_ && offsetsPitch_ == pitch) return;
  const size_t span = size_t(key_.waveLength) * kRippleDirections;
  for (int quadrant = 0; quadrant < 4; ++quadrant) {
    RippleSampleOffsets(offsets_.data() + size_t(quadrant) * span, displacement_, int(span),
                        quadrant & 2 ? -1 : 1, quadrant & 1 ? -1 : 1, pitch);
  }
  offsetsRow_ = displacement_;
  offsetsPitch_ = pitch;
}

// Output row j of the area, in two halves about the centre column, each cut into edge and
// interior runs.
void RippleEffect::MoveRow(const FilterDrawRequest& a, int32_t j, const CrossedRing& frame,
                           const RippleBounds& bounds) const {
  const int32_t y = a.areaY + j;
  const int32_t cx = key_.centreX, cy = key_.centreY, qw = tables_->quadrantWidth;
  const size_t span = size_t(key_.waveLength) * kRippleDirections;
  const bool below = y >= cy;
  const int32_t codeRow = below ? y - cy : cy - y - 1;
  auto* out = reinterpret_cast<uint32_t*>(a.target->GetRowPointer(a.targetY + j)) + a.targetX;
  // Samples move toward the centre, so only the rows and columns whose samples can leave
  // the bounds need the edge-safe loop: with the centre inside, usually none.
  const SampleReach down = Reach(below ? -1 : 1, leastDown_, mostDown_);
  const bool edgeRow = y + down.least < bounds.top || y + down.most >= bounds.bottom;
  const int32_t x0 = a.areaX, x1 = a.areaX + a.width;
  const int32_t halves[2][2] = {{x0, std::min(x1, cx)}, {std::max(x0, cx), x1}};
  for (int half = 0; half < 2; ++half) {
    const int32_t from0 = halves[half][0], to0 = halves[half][1];
    if (from0 >= to0) continue;
    const bool right = half == 1;
    RippleRow row{};
    row.pitch = frame.pitch;
    row.codeStep = right ? 1 : -1;
    row.displacement = displacement_;
    row.y = y;
    row.xSign = right ? -1 : 1;
    row.ySign = below ? -1 : 1;
    // Quadrants: bit 1 right of the centre column, bit 0 from the centre row down.
    row.offsets = offsets_.data() + size_t((right ? 2 : 0) + (below ? 1 : 0)) * span;
    auto run = [&](int32_t start, int32_t end, bool safe) {
      if (start >= end) return;
      const int32_t index = right ? start - cx : cx - start - 1;
      row.codes = tables_->codes.data() + size_t(codeRow) * size_t(qw) + size_t(index);
      row.dst = out + (start - a.areaX);
      row.src = frame.At(start, y);
      row.x = start;
      row.count = end - start;
      if (safe) {
        RippleMoveRowEdgeSafe(row, bounds);
      } else {
        RippleMoveRow(row);
      }
    };
    if (edgeRow) {
      run(from0, to0, true);
      continue;
    }
    const SampleReach across = Reach(row.xSign, leastAcross_, mostAcross_);
    const int32_t inLeft = std::clamp(bounds.left - across.least, from0, to0);
    const int32_t inRight = std::clamp(bounds.right - across.most, inLeft, to0);
    run(from0, inLeft, true);
    run(inLeft, inRight, false);
    run(inRight, to0, true);
  }
}

}  // namespace bw
