#include "graphics/surface/memory_bitmap.h"

#include <cstring>
#include <new>

namespace bw {
namespace {

bool SupportedDepth(int bits) {
  return bits == 8 || bits == 16 || bits == 32;
}

}  // namespace

uint8_t* MemoryBitmap::GetRowPointer(int32_t y) const {
  if (!block_ || y < 0 || y >= height_) return nullptr;
  return block_.get() + ptrdiff_t{pitch_} * y;
}

int MemoryBitmap::Create(int32_t width, int32_t height, int bits) {
  Free();
  if (width < 1 || height < 1 || !SupportedDepth(bits)) return kSurfaceBadArgument;
  int64_t pitch = host::RowPitch(width, bits);
  int64_t bytes = pitch * height;
  if (pitch == 0 || bytes > host::kMaxSectionBytes) return kSurfaceNoMemory;
  block_ = host::AllocateLargeBlock(size_t(bytes), true);
  if (!block_) return kSurfaceNoMemory;
  blockSize_ = size_t(bytes);
  bits_ = bits;
  width_ = width;
  height_ = height;
  pitch_ = static_cast<int32_t>(pitch);
  SetClipRect(nullptr);
  return kSurfaceDone;
}

int MemoryBitmap::Resize(int32_t width, int32_t height) {
  if (!block_ || width < 1 || height < 1) return kSurfaceBadArgument;
  if (width == width_ && height == height_) return kSurfaceDone;
  int64_t pitch = host::RowPitch(width, bits_);
  int64_t bytes = pitch * height;
  if (pitch == 0 || bytes > host::kMaxSectionBytes) return kSurfaceNoMemory;
  if (size_t(bytes) > blockSize_) {
    host::LargeBlock block = host::AllocateLargeBlock(size_t(bytes), true);
    if (!block) return kSurfaceNoMemory;
    block_ = std::move(block);
    blockSize_ = size_t(bytes);
  }
  width_ = width;
  height_ = height;
  pitch_ = static_cast<int32_t>(pitch);
  SetClipRect(nullptr);
  return kSurfaceDone;
}

void MemoryBitmap::Free() {
  block_.reset();
  blockSize_ = 0;
  bits_ = 0;
  width_ = height_ = pitch_ = 0;
  clip_ = {};
  colorKey_ = kNoColorKey;
}

uint32_t MemoryBitmap::GetPixel(int32_t x, int32_t y) const {
  const uint8_t* row = GetRowPointer(y);
  if (!row || x < 0 || x >= width_) return kNoPixel;
  switch (bits_) {
    case 8:
      return row[x];
    case 16:
      return uint32_t(row[2 * x] | row[2 * x + 1] << 8);
    case 32: {
      uint32_t v;
      std::memcpy(&v, row + 4 * x, 4);
      return v;
    }
    default:
      return kNoPixel;
  }
}

int MemoryBitmap::SetColorKeyRgb(int r, int g, int b) {
  r &= 0xFF, g &= 0xFF, b &= 0xFF;
  switch (bits_) {
    case 8:
      colorKey_ = uint32_t(r);
      break;
    case 16:
      colorKey_ = uint32_t((r & 0xF8) << 8 | (g & 0xFC) << 3 | b >> 3);
      break;
    default:
      colorKey_ = uint32_t(r << 16 | g << 8 | b);
      break;
  }
  return colorKey_ == kNoColorKey ? kKeyCleared : kKeySet;
}

int MemoryBitmap::SetColorKeyFromPixel(int32_t x, int32_t y) {
  colorKey_ = GetPixel(x, y);
  return colorKey_ == kNoColorKey ? kKeyCleared : kKeySet;
}

int MemoryBitmap::ClearColorKey() {
  colorKey_ = kNoColorKey;
  return 0;
}

}  // namespace bw
