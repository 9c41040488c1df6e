// A picture in one global memory block, 8, 16 or 32 bits per pixel, that owners may share with
// another thread under its lock.
#pragma once

#include <memory>
#include <mutex>

#include "graphics/surface/dib_surface.h"
#include "host/large_block.h"

namespace bw {

class MemoryBitmap : public SurfaceBase {
 public:
  MemoryBitmap() = default;
  ~MemoryBitmap() override = default;
  MemoryBitmap(const MemoryBitmap&) = delete;
  MemoryBitmap& operator=(const MemoryBitmap&) = delete;

  int GetKind() const override { return kKindMemoryBitmap; }
  uint8_t* GetPixels() const override { return block_.get(); }
  int GetPixelBits() const override { return bits_; }
  uint8_t* GetRowPointer(int32_t y) const override;
  // 8 bits: r is the index; 16 bits: the 565 value; 32 bits: r << 16 | g << 8 | b.
  [[nodiscard]] int SetColorKeyRgb(int r, int g, int b) override;
  [[nodiscard]] int SetColorKeyFromPixel(int32_t x, int32_t y) override;
  [[nodiscard]] int ClearColorKey() override;
  [[nodiscard]] int Restore(int) override { return 0; }

  // 1 for a size below 1 or a depth other than 8, 16 or 32; 2 when the block cannot be had.
  [[nodiscard]] int Create(int32_t width, int32_t height, int bits);
  [[nodiscard]] int Resize(int32_t width, int32_t height);
  void Free();
  uint32_t GetPixel(int32_t x, int32_t y) const;
  int GetBitsPerPixel() const { return bits_; }

  std::recursive_mutex& GetLock() { return lock_; }

 private:
  host::LargeBlock block_;
  size_t blockSize_ = 0;
  int bits_ = 0;
  std::recursive_mutex lock_;
};

}  // namespace bw
