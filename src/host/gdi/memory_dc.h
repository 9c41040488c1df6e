// Device contexts as the engine uses them: a memory context with a DIB section selected into
// it, that is, memory pixels with a format (8, 16, 24 or 32 bits, rows top-down, each padded to
// 4 bytes) and, at 8 bits, a 256-entry colour table. BitBlt and StretchBlt are memory copies.
// The context also holds a font, a text colour and a background mode and colour: FillSolidRect
// and TextOutA paint in the section's own format (at 8 bits the nearest colour of the table),
// and, as the system does, leave the unused fourth byte of 32-bit pixels 0 where they paint.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "host/font/glyph_source.h"
#include "host/large_block.h"

namespace bw::host {

// A colour as 0x00BBGGRR.
using COLORREF = uint32_t;
constexpr COLORREF RGB(uint8_t r, uint8_t g, uint8_t b) {
  return COLORREF{r} | COLORREF{g} << 8 | COLORREF{b} << 16;
}
constexpr uint32_t CLR_INVALID = 0xFFFFFFFF;

// Background modes.
constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;

class DibSection {
 public:
  // Null for a size below 1, a depth other than 8, 16, 24 or 32, or more bytes than a section
  // may hold. An 8-bit section starts with a grey colour table; its pixels start zero unless
  // the caller writes them all before reading (zeroed false).
  static std::unique_ptr<DibSection> Create(int width, int height, int bits, bool zeroed = true);
  // A section over pixels the caller owns, rows padded as RowPitch says, kept alive and unmoved
  // while the section lives. Null as for Create, or for null pixels.
  static std::unique_ptr<DibSection> Over(uint8_t* pixels, int width, int height, int bits);

  uint8_t* Pixels() { return pixels_; }
  const uint8_t* Pixels() const { return pixels_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  int Bits() const { return bits_; }
  ptrdiff_t Pitch() const { return pitch_; }

  // Colour-table words are 0x00RRGGBB. Entries past 255 are not written; answers how many were.
  int SetColorTable(int first, int count, const uint32_t* colors);
  const uint32_t* ColorTable() const { return colors_; }

  // The red, green and blue masks of a 16-bit section (5-5-5 unless set). False, leaving them,
  // for masks of another depth or masks that are empty, overlap, or are not one run of bits
  // of at most 8.
  [[nodiscard]] bool SetMasks(uint32_t red, uint32_t green, uint32_t blue);
  const uint32_t* Masks() const { return masks_; }

  // A colour as this section stores it (the colour table's nearest entry at 8 bits).
  uint32_t Encode(COLORREF color) const;
  COLORREF Decode(uint32_t value) const;
  uint32_t Read(int x, int y) const;
  void Write(int x, int y, uint32_t value);

 private:
  DibSection() = default;

  static std::unique_ptr<DibSection> Shaped(int width, int height, int bits);

  LargeBlock owned_;
  uint8_t* pixels_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  int bits_ = 0;
  ptrdiff_t pitch_ = 0;
  uint32_t colors_[256] = {};
  uint32_t masks_[3] = {0x7C00, 0x03E0, 0x001F};
};

// The largest section in bytes: anything larger is refused rather than allocated.
constexpr int64_t kMaxSectionBytes = 0x7FFFFFF8;

// Bytes per row of a picture, padded to 4; 0 when the row would not fit the size limit.
int64_t RowPitch(int64_t width, int bits);

// An x, y, width, height rectangle.
struct DcRect {
  int32_t x = 0;
  int32_t y = 0;
  int32_t w = 0;
  int32_t h = 0;
};

class MemoryDc {
 public:
  // Selects a section (not owned; null deselects) and answers the previous one.
  DibSection* Select(DibSection* section);
  DibSection* Selected() const { return selected_; }

  // Selects a font (not owned; null deselects) and answers the previous one.
  const GlyphFont* SelectFont(const GlyphFont* font);
  const GlyphFont* SelectedFont() const { return font_; }

  // Each answers the previous value; SetBkMode answers 0 for a mode other than TRANSPARENT
  // and OPAQUE and keeps the mode.
  COLORREF SetTextColor(COLORREF color);
  COLORREF SetBkColor(COLORREF color);
  int SetBkMode(int mode);
  COLORREF TextColor() const { return textColor_; }
  COLORREF BkColor() const { return bkColor_; }
  int BkMode() const { return bkMode_; }

  // Fills the rectangle, clipped to the section. False without a section.
  [[nodiscard]] bool FillSolidRect(const DcRect& rect, COLORREF color);

  // Draws count bytes of CP932 text with the selected font: (x, y) is the top-left corner of
  // the first character cell, about which the escapement turns the run. In OPAQUE mode the
  // run's cells (its extent by the cell height, turned) are first filled with the background
  // colour. Hard-edged text writes the text colour; grey text blends it over what is there.
  // False without a section or font, for a null text with a count or a negative count, or
  // when the run cannot be drawn.
  [[nodiscard]] bool TextOutA(int x, int y, const char* text, int count);

  // The picture the selected section's pixels stand for, when those may still lag behind it in
  // places (pixels of the same shape, not owned; null: the section itself). BitBltChanged
  // compares with it.
  void SetShown(const uint8_t* pixels) { shown_ = pixels; }
  const uint8_t* Shown() const { return shown_; }

 private:
  DibSection* selected_ = nullptr;
  const uint8_t* shown_ = nullptr;
  const GlyphFont* font_ = nullptr;
  COLORREF textColor_ = RGB(0, 0, 0);
  COLORREF bkColor_ = RGB(255, 255, 255);
  int bkMode_ = OPAQUE;
};

// Copies a w x h rectangle, clipped to both sections. Same depths copy bytes; other depths are
// converted through the colour (an 8-bit source through its colour table, an 8-bit destination
// to its table's nearest entry; the fourth byte of 32-bit pixels comes out 0). A context
// without a section answers false.
[[nodiscard]] bool BitBlt(MemoryDc& dst, int x, int y, int w, int h, const MemoryDc& src, int sx,
                          int sy);
// The same copy, leaving the rows that already hold what it would write untouched: a frame drawn
// again as it was costs reads alone. The rows it wrote in dst run from firstRow up to endRow
// (equal when it wrote none). With a shown picture set on dst, the rows are compared with that
// picture, and every row from firstRow up to endRow is written.
[[nodiscard]] bool BitBltChanged(MemoryDc& dst, int x, int y, int w, int h, const MemoryDc& src,
                                 int sx, int sy, int* firstRow, int* endRow);
// Nearest-neighbour scaling of the sw x sh source rectangle onto w x h, converting as BitBlt
// does; pixels that would read outside the source are left alone.
[[nodiscard]] bool StretchBlt(MemoryDc& dst, int x, int y, int w, int h, const MemoryDc& src,
                              int sx, int sy, int sw, int sh);

}  // namespace bw::host
