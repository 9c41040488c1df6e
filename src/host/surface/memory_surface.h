// The host's DirectDraw-style surface in memory: pixels with a pixel format, a colour fill by
// the blitter, and lock and unlock. Result codes follow DirectDraw's (0 done).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace bw::host {

using HResult = int32_t;
constexpr HResult kDdOk = 0;
constexpr HResult kDdErrInvalidParams = -2147024809;  // 0x80070057
constexpr HResult kDdErrUnsupported = -2147467263;    // 0x80004001
constexpr HResult kDdErrSurfaceBusy = -2005532242;    // 0x887601AE
constexpr HResult kDdErrNotLocked = -2005532200;      // 0x887601D8
constexpr HResult kDdErrSurfaceLost = -2005532222;    // 0x887601C2

// Pixel-format flags of DdPixelFormat.
constexpr uint32_t kDdpfAlphaPixels = 0x1;
constexpr uint32_t kDdpfPaletteIndexed8 = 0x20;
constexpr uint32_t kDdpfRgb = 0x40;

// The 32-byte pixel-format record.
struct DdPixelFormat {
  uint32_t size = 32;
  uint32_t flags = 0;
  uint32_t fourCC = 0;
  uint32_t rgbBitCount = 0;
  uint32_t rBitMask = 0;
  uint32_t gBitMask = 0;
  uint32_t bBitMask = 0;
  uint32_t rgbAlphaBitMask = 0;
};

struct DdRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
};

// What a lock hands out.
struct DdSurfaceDesc {
  uint32_t width = 0;
  uint32_t height = 0;
  int32_t pitch = 0;
  uint8_t* surface = nullptr;
  DdPixelFormat pixelFormat;
};

constexpr uint32_t kDdBltColorFill = 0x400;
constexpr uint32_t kDdBltWait = 0x1000000;

// The blit-effects record; its size field carries the platform record's size.
constexpr uint32_t kDdBltFxSize = 100;
struct DdBltFx {
  uint32_t size = kDdBltFxSize;
  uint32_t fillColor = 0;
};

class MemorySurface {
 public:
  // Null for a size below 1, a bit count other than 8, 16, 24 or 32, or too many bytes.
  static std::unique_ptr<MemorySurface> Create(int width, int height, const DdPixelFormat& format);

  HResult GetPixelFormat(DdPixelFormat* out) const;
  // Only the colour fill is a blit this surface does now; the rectangle (null: the whole
  // surface) must lie inside it.
  HResult Blt(const DdRect* rect, uint32_t flags, const DdBltFx* fx);
  HResult Lock(DdSurfaceDesc* out);
  HResult Unlock();

  int Width() const { return width_; }
  int Height() const { return height_; }
  ptrdiff_t Pitch() const { return pitch_; }
  const uint8_t* Pixels() const { return pixels_.get(); }
  bool IsLocked() const { return locked_; }

  // Test hooks: a lost surface refuses everything; a refusing blitter makes callers fall back
  // to writing locked memory.
  void SetLost(bool lost) { lost_ = lost; }
  void SetBlitterRefuses(bool refuses) { blitterRefuses_ = refuses; }

 private:
  MemorySurface() = default;

  std::unique_ptr<uint8_t[]> pixels_;
  int width_ = 0;
  int height_ = 0;
  ptrdiff_t pitch_ = 0;
  DdPixelFormat format_;
  bool locked_ = false;
  bool lost_ = false;
  bool blitterRefuses_ = false;
};

}  // namespace bw::host
