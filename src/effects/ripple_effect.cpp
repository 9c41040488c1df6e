#include "effects/ripple_effect.h"

#include <algorithm>
#include <cmath>
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
constexpr int32_t kTileWidth = 128;

RippleRowRoutine interiorRows = RippleRowPlain;
RippleEdgeRoutine edgeRows = RippleRowEdgeSafe;

int32_t Centre(int32_t given, int32_t size) {
  if (given < 0) return size / 2;
  return given >= size ? size - 1 : given;
}

// A picture with the offset that maps a ripple point to a pixel of it.
struct Placed {
  const ImageSurface* picture;
  int32_t dx;
  int32_t dy;
  ptrdiff_t Pitch() const {
    if (picture->GetHeight() < 2) return picture->GetPitch() / 4;
    return reinterpret_cast<const uint32_t*>(picture->GetRowPointer(1)) -
           reinterpret_cast<const uint32_t*>(picture->GetRowPointer(0));
  }
  const uint32_t* At(int32_t x, int32_t y) const {
    return reinterpret_cast<const uint32_t*>(picture->GetRowPointer(y + dy)) + (x + dx);
  }
};

}  // namespace

FilterEffect* RippleEffect::Create(uint32_t) {
  return new (std::nothrow) RippleEffect;
}

void RippleEffect::Initialise() {
  interiorRows = MmxEnabled() ? RippleRowVector : RippleRowPlain;
  edgeRows = MmxEnabled() ? RippleRowEdgeSafeVector : RippleRowEdgeSafe;
}

void RippleEffect::Finalise() {
  ClearRippleTableCache();
}

RippleRowRoutine RippleEffect::InteriorRows() {
  return interiorRows;
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
  double aspect = 0;
  if (const char* text = args.Text(4)) ArgCursor(text).ReadDecimal(&aspect);
  key.aspect = aspect > 0 ? float(aspect) : 1.0f;
  double speed = 6.0;
  if (const char* text = args.Text(5)) ArgCursor(text).ReadDecimal(&speed);
  speed_ = float(speed);
  const int32_t amplitude = args.Int(6);
  key.amplitude = amplitude <= 0 ? kDefaultAmplitude : std::min(amplitude, kLargestAmplitude);
  ReleaseRippleTables(tables_);
  tables_ = nullptr;
  try {
    offsets_.assign(size_t(8) * size_t(key.waveLength) * kRippleDirections, 0);
    moves_.assign(size_t(4) * size_t(key.waveLength) * kRippleDirections, 0);
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
  const ptrdiff_t fromPitch = from.Pitch(), toPitch = to.Pitch();
  // Samples stay inside the set-up size and both pictures.
  RippleBounds bounds{0, 0, key_.width, key_.height};
  for (const Placed& p : {from, to}) {
    bounds.left = std::max(bounds.left, -p.dx);
    bounds.top = std::max(bounds.top, -p.dy);
    bounds.right = int32_t(std::min<int64_t>(bounds.right, int64_t{p.picture->GetWidth()} - p.dx));
    bounds.bottom =
        int32_t(std::min<int64_t>(bounds.bottom, int64_t{p.picture->GetHeight()} - p.dy));
  }
  if (bounds.left >= bounds.right || bounds.top >= bounds.bottom) return kFilterDrawn;
  const size_t span = size_t(key_.waveLength) * kRippleDirections;
  if (offsetsRow_ != displacement_ || offsetsPitch_[0] != fromPitch ||
      offsetsPitch_[1] != toPitch) {
    for (int quadrant = 0; quadrant < 4; ++quadrant) {
      const int xSign = quadrant & 2 ? -1 : 1, ySign = quadrant & 1 ? -1 : 1;
      int32_t* out = offsets_.data() + size_t(quadrant) * 2 * span;
      RippleSampleOffsets(out, displacement_, int(span), xSign, ySign, fromPitch);
      RippleSampleOffsets(out + span, displacement_, int(span), xSign, ySign, toPitch);
      RippleSampleMoves(moves_.data() + size_t(quadrant) * span, displacement_, int(span), xSign,
                        ySign);
    }
    offsetsRow_ = displacement_;
    offsetsPitch_[0] = fromPitch;
    offsetsPitch_[1] = toPitch;
  }
  const RippleRowRoutine interior = interiorRows;
  const RippleEdgeRoutine edge = edgeRows;
  const int32_t cx = key_.centreX, cy = key_.centreY, qw = tables_->quadrantWidth;
  // Columns a tile at a time: the rows a tile samples, up to the amplitude above and below
  // each, stay in the cache while it walks down.
  for (int32_t tile = a.areaX; tile < a.areaX + a.width; tile += kTileWidth) {
    const int32_t tileEnd = std::min(a.areaX + a.width, tile + kTileWidth);
    for (int32_t j = 0; j < a.height; ++j) {
      const int32_t y = a.areaY + j;
      const bool below = y >= cy;
      const int32_t codeRow = below ? y - cy : cy - y - 1;
      // The rows the samples reach next come in from memory while this one is drawn.
      if (const int32_t ahead = y + margin_ + 1; ahead < bounds.bottom) {
        const int32_t left = std::max(bounds.left, tile - margin_);
        const int32_t right = std::min(bounds.right, tileEnd + margin_);
        for (const Placed& p : {from, to}) {
          const char* start = reinterpret_cast<const char*>(p.At(left, ahead));
          for (int32_t k = 0; k < (right - left) * 4; k += 64) __builtin_prefetch(start + k);
        }
      }
      auto* out = reinterpret_cast<uint32_t*>(a.target->GetRowPointer(a.targetY + j)) + a.targetX;
      const bool edgeRow = y < bounds.top + margin_ || y >= bounds.bottom - margin_;
      const int32_t x0 = tile, x1 = tileEnd;
      // Two halves about the centre column, each cut into edge and interior runs.
      const int32_t halves[2][2] = {{x0, std::min(x1, cx)}, {std::max(x0, cx), x1}};
      for (int half = 0; half < 2; ++half) {
        const int32_t from0 = halves[half][0], to0 = halves[half][1];
        if (from0 >= to0) continue;
        const bool right = half == 1;
        RippleRow row{};
        row.fromPitch = fromPitch;
        row.toPitch = toPitch;
        row.codeStep = right ? 1 : -1;
        row.displacement = displacement_;
        row.y = y;
        row.xSign = right ? -1 : 1;
        row.ySign = below ? -1 : 1;
        row.level = uint32_t(level_);
        // Quadrants: bit 1 right of the centre column, bit 0 from the centre row down.
        const size_t quadrant = size_t((right ? 2 : 0) + (below ? 1 : 0));
        const int32_t* offsets = offsets_.data() + quadrant * 2 * span;
        row.fromOffsets = offsets;
        // Pictures of one pitch share their offsets.
        row.toOffsets = fromPitch == toPitch ? offsets : offsets + span;
        row.moves = moves_.data() + quadrant * span;
        auto run = [&](int32_t start, int32_t end, bool safe) {
          if (start >= end) return;
          const int32_t index = right ? start - cx : cx - start - 1;
          row.codes = tables_->codes.data() + size_t(codeRow) * size_t(qw) + size_t(index);
          row.dst = out + (start - a.areaX);
          row.from = from.At(start, y);
          row.to = to.At(start, y);
          row.x = start;
          row.count = end - start;
          if (safe) {
            edge(row, bounds);
          } else {
            interior(row);
          }
        };
        if (edgeRow) {
          run(from0, to0, true);
          continue;
        }
        const int32_t inLeft = std::clamp(bounds.left + margin_, from0, to0);
        const int32_t inRight = std::clamp(bounds.right - margin_, inLeft, to0);
        run(from0, inLeft, true);
        run(inLeft, inRight, false);
        run(inRight, to0, true);
      }
    }
  }
  a.target->MarkDirty({a.targetX, a.targetY, a.targetX + a.width, a.targetY + a.height});
  return kFilterDrawn;
}

}  // namespace bw
