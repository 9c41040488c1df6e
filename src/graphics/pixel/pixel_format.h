// The DirectDraw side of the pixel library: a surface's pixel format as one flag with its
// channel layout, colour fills of a host memory surface, clipping of a scaled target and its
// source together, and the alpha-ramp table.
#pragma once

#include <cstdint>
#include <memory>

#include "graphics/pixel/surface_rows.h"
#include "host/surface/memory_surface.h"
#include "platform/rect.h"

namespace bw {

struct PixelFormatInfo {
  uint8_t bitCount = 0;
  uint32_t redMask = 0, greenMask = 0, blueMask = 0, alphaMask = 0;
  uint8_t redBits = 0, greenBits = 0, blueBits = 0, alphaBits = 0;
  // Zero bits below each mask's lowest set bit; 32 for an empty mask.
  uint8_t redShift = 32, greenShift = 32, blueShift = 32, alphaShift = 32;
};

// One of the kFormat flags; 0 when neither a format nor a surface whose format can be read is
// given. info, when given, receives the channel layout.
int ClassifyPixelFormat(const host::MemorySurface* surface, PixelFormatInfo* info,
                        const host::DdPixelFormat* format);

constexpr int kFillDone = 0;
constexpr int kFillNoFormat = 1;
constexpr int kFillNoLock = 2;
// Fills rect (null: the whole surface) with the colour packed into the surface's format, every
// field reduced to its width and masked. The blitter does it when it can; otherwise the locked
// memory is written, clipped to the surface.
[[nodiscard]] int FillSurfaceRect(host::MemorySurface* surface, const PixelFormatInfo* info, int r,
                                  int g, int b, const Rect* rect, int alpha);

constexpr int kClipLeft = 0;
constexpr int kClipEmpty = -1;
constexpr int kClipNoBounds = 1;
// Places target at (x, y) (with targetSize, else the source's size) and cuts it to bounds,
// cutting the source in proportion.
[[nodiscard]] int ClipScaledRects(int32_t x, int32_t y, Rect* source, Rect* target,
                                  const Rect* bounds, const Size* targetSize);
// Clamps rect to bounds; true when something is left.
bool IntersectWithBounds(Rect* rect, const Rect* bounds);

constexpr int kRampDone = 0;
constexpr int kRampTooFew = 1;
constexpr int kRampNoMemory = 2;
constexpr int kRampBadDepth = 3;

// A linear ramp of count 8-bit levels or 32-bit colours from start to end.
class AlphaRampTable {
 public:
  AlphaRampTable() = default;
  AlphaRampTable(int* result, int32_t count, int32_t start, int32_t end, int depth);
  virtual ~AlphaRampTable() = default;

  // On failure the table is left empty.
  [[nodiscard]] int Build(int32_t count, int32_t start, int32_t end, int depth);
  void Clear();

  const uint8_t* Levels() const { return depth_ == 8 ? buffer_.get() : nullptr; }
  const uint32_t* Colors() const {
    return depth_ == 32 ? reinterpret_cast<const uint32_t*>(buffer_.get()) : nullptr;
  }
  int32_t Count() const { return count_; }
  int32_t Start() const { return start_; }
  int32_t End() const { return end_; }
  int Depth() const { return depth_; }

 private:
  std::unique_ptr<uint8_t[]> buffer_;
  int32_t count_ = 0;
  int32_t start_ = -1;
  int32_t end_ = -1;
  uint8_t depth_ = 0;
};

}  // namespace bw
