#include "graphics/text/text_texture.h"

#include <cstring>
#include <new>

#include "graphics/pixel/text_kernels.h"
#include "graphics/surface/image_surface.h"
#include "graphics/text/text_angles.h"

namespace bw {

int TextTexture::Load(const char* fileName, int32_t count, int32_t cellWidth, int32_t cellHeight,
                      int sets) {
  ImageSurface picture;
  if (!fileName || picture.Load8(fileName, nullptr, 0, 0) != 0 || !picture.GetPixels() ||
      picture.GetBitsPerPixel() != 8) {
    return kTextureNotLoaded;
  }
  return Cut(picture.GetPixels(), picture.GetPitch(), picture.GetWidth(), picture.GetHeight(),
             count, cellWidth, cellHeight, sets);
}

int TextTexture::Cut(const uint8_t* pixels, ptrdiff_t pitch, int32_t width, int32_t height,
                     int32_t count, int32_t cellWidth, int32_t cellHeight, int sets) {
  Free();
  if (!pixels || count < 1 || cellWidth < 1 || cellHeight < 1 || width < cellWidth ||
      height < cellHeight) {
    return kTextureTooSmall;
  }
  const int64_t perRow = width / cellWidth, rows = height / cellHeight;
  const bool withFirst = sets & kTextureFirstSet, withSecond = sets & kTextureSecondSet;
  // Cell i of a set starting at row r sits at column i % perRow, row r + i / perRow.
  const int64_t firstRow = 0;
  const int64_t secondRow = withFirst ? (int64_t(count) / perRow) + 1 : 0;
  auto fits = [&](int64_t startRow) { return startRow + (int64_t(count) - 1) / perRow < rows; };
  if ((withFirst && !fits(firstRow)) || (withSecond && !fits(secondRow))) return kTextureTooSmall;
  try {
    auto cut = [&](Set& set, int64_t startRow) {
      set.cells.resize(size_t(count));
      set.edged.assign(size_t(count), nullptr);
      for (int32_t i = 0; i < count; ++i) {
        auto cell = std::make_shared<GlyphBitmap>();
        cell->width = cellWidth;
        cell->height = cellHeight;
        cell->pitch = GlyphPitch(cellWidth);
        cell->pixels.assign(size_t(cell->pitch) * size_t(cellHeight), 0);
        const int64_t x = (i % perRow) * cellWidth, y = (startRow + i / perRow) * cellHeight;
        for (int32_t row = 0; row < cellHeight; ++row) {
          std::memcpy(cell->pixels.data() + size_t(row) * size_t(cell->pitch),
                      pixels + (y + row) * pitch + x, size_t(cellWidth));
        }
        Place(*cell);
        set.cells[size_t(i)] = std::move(cell);
      }
    };
    count_ = count;
    cellWidth_ = cellWidth;
    cellHeight_ = cellHeight;
    if (withFirst) cut(first_, firstRow);
    if (withSecond) cut(second_, secondRow);
  } catch (const std::bad_alloc&) {
    Free();
    return kTextureNoMemory;
  }
  return kTextureDone;
}

void TextTexture::Free() {
  first_ = Set{};
  second_ = Set{};
  count_ = cellWidth_ = cellHeight_ = 0;
}

void TextTexture::Place(GlyphBitmap& cell) const {
  cell.originX = angle_ == kVerticalAngle ? -cellWidth_ : 0;
  cell.originY = 0;
  if (angle_ == kVerticalAngle) {
    cell.advanceX = 0;
    cell.advanceY = cellHeight_;
    return;
  }
  int32_t c = 0, s = 0;
  if (!TurnOf(angle_, &c, &s)) {
    cell.advanceX = cellWidth_;
    cell.advanceY = 0;
    return;
  }
  cell.advanceX = MulFixed(cellWidth_, c);
  cell.advanceY = -MulFixed(cellHeight_, s);
}

GlyphRef TextTexture::GetCell(int32_t number, int antialiasLevel, bool edge) {
  if (number < 0 || number >= count_) return nullptr;
  const bool hasFirst = !first_.cells.empty(), hasSecond = !second_.cells.empty();
  Set* set =
      antialiasLevel == 0 ? (hasSecond ? &second_ : &first_) : (hasFirst ? &first_ : &second_);
  if (set->cells.empty()) return nullptr;
  const auto& cell = set->cells[size_t(number)];
  if (!edge) return cell;
  GlyphRef& edged = set->edged[size_t(number)];
  if (!edged) edged = MakeEdgeGlyph(*cell, false, edgeRadius_, edgeStrength_);
  return edged;
}

void TextTexture::SetOrientation(int32_t angle) {
  angle_ = angle;
  for (Set* set : {&first_, &second_}) {
    for (auto& cell : set->cells) Place(*cell);
    set->edged.assign(set->cells.size(), nullptr);
  }
}

void TextTexture::SetEdge(int32_t strength, int32_t radius) {
  edgeStrength_ = strength;
  edgeRadius_ = radius;
  for (Set* set : {&first_, &second_}) set->edged.assign(set->cells.size(), nullptr);
}

}  // namespace bw
