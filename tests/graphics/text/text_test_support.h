// What the text renderer tests share: the tables the blends read, the trigonometry tables, a
// 32- or 8-bit picture to draw on and the box of what was inked.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "common/global.h"
#include "graphics/pixel/blend_reference.h"
#include "graphics/surface/dib_surface.h"
#include "platform/rect.h"
#include "platform/trig_tables.h"

namespace bw::text_test {

class TextFixture : public testing::Test {
 protected:
  TrigTables trig_;
  ScopedGlobal<TrigTables> trigScope_{&trig_};
};

// A cleared picture; 32-bit pixels start at 0 (black, alpha 0).
inline void MakePicture(DibSurface& picture, int32_t width, int32_t height, int bits = 32) {
  ASSERT_EQ(picture.Create(width, height, bits, false), kSurfaceDone);
  for (int32_t y = 0; y < height; ++y) {
    std::fill_n(picture.GetRowPointer(y), size_t(picture.GetPitch()), uint8_t{0});
  }
}

// The box of the pixels whose colour bytes are not 0 (alpha ignored); empty when none.
inline Rect InkBox(const DibSurface& picture, uint32_t mask = 0xFFFFFF) {
  Rect box;
  bool any = false;
  for (int32_t y = 0; y < picture.GetHeight(); ++y) {
    for (int32_t x = 0; x < picture.GetWidth(); ++x) {
      if ((picture.GetPixel(x, y) & mask) == 0) continue;
      if (!any) box = {x, y, x + 1, y + 1};
      box.left = std::min(box.left, x), box.top = std::min(box.top, y);
      box.right = std::max(box.right, x + 1), box.bottom = std::max(box.bottom, y + 1);
      any = true;
    }
  }
  return box;
}

}  // namespace bw::text_test
