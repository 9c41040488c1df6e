// Device contexts as the engine uses them: a memory context with a DIB section selected into
// it, that is, memory pixels with a format (8, 16, 24 or 32 bits, rows top-down, each padded to
// 4 bytes) and, at 8 bits, a 256-entry colour table. BitBlt and StretchBlt are memory copies.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace bw::host {

class DibSection {
 public:
  // Null for a size below 1, a depth other than 8, 16, 24 or 32, or more bytes than a section
  // may hold. An 8-bit section starts with a grey colour table.
  static std::unique_ptr<DibSection> Create(int width, int height, int bits);

  uint8_t* Pixels() { return pixels_.get(); }
  const uint8_t* Pixels() const { return pixels_.get(); }
  int Width() const { return width_; }
  int Height() const { return height_; }
  int Bits() const { return bits_; }
  ptrdiff_t Pitch() const { return pitch_; }

  // Colour-table words are 0x00RRGGBB. Entries past 255 are not written; answers how many were.
  int SetColorTable(int first, int count, const uint32_t* colors);
  const uint32_t* ColorTable() const { return colors_; }

 private:
  DibSection() = default;

  std::unique_ptr<uint8_t[]> pixels_;
  int width_ = 0;
  int height_ = 0;
  int bits_ = 0;
  ptrdiff_t pitch_ = 0;
  uint32_t colors_[256] = {};
};

// The largest section in bytes: anything larger is refused rather than allocated.
constexpr int64_t kMaxSectionBytes = 0x7FFFFFF8;

// Bytes per row of a picture, padded to 4; 0 when the row would not fit the size limit.
int64_t RowPitch(int64_t width, int bits);

class MemoryDc {
 public:
  // Selects a section (not owned; null deselects) and answers the previous one.
  DibSection* Select(DibSection* section);
  DibSection* Selected() const { return selected_; }

 private:
  DibSection* selected_ = nullptr;
};

// Copies a w x h rectangle, clipped to both sections. Same depths copy bytes; 8 to 32 bits
// looks each index up in the source's colour table (alpha 0). Other pairs, or a context
// without a section, answer false.
bool BitBlt(MemoryDc& dst, int x, int y, int w, int h, const MemoryDc& src, int sx, int sy);
// Nearest-neighbour scaling of the sw x sh source rectangle onto w x h, for the pairs BitBlt
// takes; pixels that would read outside the source are left alone.
bool StretchBlt(MemoryDc& dst, int x, int y, int w, int h, const MemoryDc& src, int sx, int sy,
                int sw, int sh);

}  // namespace bw::host
