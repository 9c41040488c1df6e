// Picture glyphs: cells cut from one 8-bit picture, whose values are the coverage, selected in
// text by "@" and a number and drawn like characters. A second set of cells, when loaded, serves
// hard-edged text; edged copies are made once per cell.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "graphics/text/glyph_bitmap.h"

namespace bw {

constexpr int kTextureDone = 0;
constexpr int kTextureNotLoaded = 1;
constexpr int kTextureTooSmall = 2;  // also a cell size or count below 1
constexpr int kTextureNoMemory = 3;

constexpr int kTextureFirstSet = 1;
constexpr int kTextureSecondSet = 2;

class TextTexture {
 public:
  explicit TextTexture(int32_t angle) : angle_(angle) {}

  // The picture by name through the image loaders. A picture that does not load leaves the
  // texture as it was (kTextureNotLoaded).
  [[nodiscard]] int Load(const char* fileName, int32_t count, int32_t cellWidth, int32_t cellHeight,
                         int sets);
  // The same from 8-bit rows already in memory. Cells are cut left to right, one row of cells
  // after another; a row ends where the next cell would not fit whole. With both sets the
  // second starts on the row below the one where the first set's next cell would have begun.
  [[nodiscard]] int Cut(const uint8_t* pixels, ptrdiff_t pitch, int32_t width, int32_t height,
                        int32_t count, int32_t cellWidth, int32_t cellHeight, int sets);

  // Null for numbers outside the set. Level 0 takes the second set when there is one, the grey
  // levels the first.
  GlyphRef GetCell(int32_t number, int antialiasLevel, bool edge);
  void SetOrientation(int32_t angle);
  void SetEdge(int32_t strength, int32_t radius);

  int32_t Count() const { return count_; }
  int32_t CellWidth() const { return cellWidth_; }
  int32_t CellHeight() const { return cellHeight_; }

 private:
  struct Set {
    std::vector<std::shared_ptr<GlyphBitmap>> cells;
    std::vector<GlyphRef> edged;
  };
  void Free();
  void Place(GlyphBitmap& cell) const;

  Set first_, second_;
  int32_t count_ = 0;
  int32_t cellWidth_ = 0;
  int32_t cellHeight_ = 0;
  int32_t angle_;
  int32_t edgeStrength_ = 1024;
  int32_t edgeRadius_ = 2;
};

}  // namespace bw
