// A picture in a DIB section selected into its own memory device context, or in plain heap
// memory. 8-bit surfaces carry a 256-entry palette of 0x00RRGGBB words.
#pragma once

#include <memory>

#include "graphics/surface/surface.h"
#include "host/gdi/memory_dc.h"
#include "host/large_block.h"

namespace bw {

// Answers of Create and Resize.
constexpr int kSurfaceDone = 0;
constexpr int kSurfaceBadArgument = 1;
constexpr int kSurfaceNoMemory = 2;

// GetPixel's answer outside the surface, without pixels or at depths it does not read.
constexpr uint32_t kNoPixel = 0xFFFFFFFFu;

class DibSurface : public SurfaceBase {
 public:
  DibSurface() = default;
  ~DibSurface() override;
  DibSurface(const DibSurface&) = delete;
  DibSurface& operator=(const DibSurface&) = delete;

  int GetKind() const override { return kKindDibSurface; }
  uint8_t* GetPixels() const override { return pixels_; }
  int GetPixelBits() const override { return bits_; }
  uint8_t* GetRowPointer(int32_t y) const override;
  [[nodiscard]] int SetColorKeyRgb(int r, int g, int b) override;
  [[nodiscard]] int SetColorKeyFromPixel(int32_t x, int32_t y) override;
  [[nodiscard]] int ClearColorKey() override;
  [[nodiscard]] int Restore(int) override { return 0; }

  // 1 for a size below 1 or a depth other than 8, 16, 24 or 32; 2 when the memory cannot be
  // had (also for a picture too large to address). The pixels start zero unless zeroed is false
  // (for a caller that writes every byte before anything reads them).
  [[nodiscard]] int Create(int32_t width, int32_t height, int bits, bool useDibSection,
                           bool zeroed = true);
  // A 32-bit surface with a device context over pixels the caller owns (rows padded as
  // host::RowPitch says), kept alive and unmoved while the surface lives. Answers as Create.
  [[nodiscard]] int CreateOver(uint8_t* pixels, int32_t width, int32_t height);
  [[nodiscard]] virtual int Resize(int32_t width, int32_t height);
  void Destroy();

  // entries null: the grey ramp. Else entries[first .. first + count - 1] go to the same
  // positions, stopping after 255. 1 unless 8-bit, 2 when the palette cannot be had.
  [[nodiscard]] int SetPalette(const uint32_t* entries, int count, int first);
  [[nodiscard]] bool SetPaletteEntry(int index, uint32_t color, bool apply);
  [[nodiscard]] bool FillPalette(uint32_t color, bool apply);
  const uint32_t* GetPalette() const { return palette_.get(); }
  int FindPaletteIndex(int r, int g, int b) const;

  // Fill the rectangle (null: the clip rectangle) cut to the clip rectangle: 8-bit surfaces
  // with the index, 32-bit ones with 0x00RRGGBB or the given word. touched gets what was filled.
  // False at other depths, without pixels or when nothing is left.
  [[nodiscard]] bool FillRgb(int r, int g, int b, const Rect* rect, Rect* touched);
  [[nodiscard]] bool Fill(uint32_t argb, const Rect* rect, Rect* touched);

  uint32_t GetPixel(int32_t x, int32_t y) const;
  int GetBitsPerPixel() const { return bits_; }
  host::MemoryDc* GetDc() const { return dc_.get(); }
  bool HasDibSection() const { return section_ != nullptr; }

 protected:
  // Exchanges the pixel stores (pixels, depth, pitch, palette, context) of two surfaces of the
  // same width and height.
  void SwapStore(DibSurface& other);
  void ApplyPalette();
  [[nodiscard]] bool FillWord(uint32_t value, const Rect* rect, Rect* touched);

 private:
  std::unique_ptr<host::MemoryDc> dc_;
  std::unique_ptr<host::DibSection> section_;
  host::LargeBlock block_;
  size_t blockSize_ = 0;
  uint8_t* pixels_ = nullptr;
  int bits_ = 0;
  std::unique_ptr<uint32_t[]> palette_;
};

}  // namespace bw
