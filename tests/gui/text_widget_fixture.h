// A message window on the fixed-metric fake face at size 24 (narrow characters advance 12, wide
// ones 24), in a display list, for the text widgets' tests.
#pragma once

#include <algorithm>

#include "graphics/surface/display_object.h"
#include "gui_fixture.h"
#include "host/cp932.h"
#include "support/text_renderers.h"

namespace bw::test {

using host::Cp932Literal;

// Pixels of rect whose colour differs from the background word.
inline int InkIn(const ImageSurface& s, const Rect& rect, uint32_t background) {
  int ink = 0;
  for (int32_t y = std::max(0, rect.top); y < std::min(rect.bottom, s.GetHeight()); ++y)
    for (int32_t x = std::max(0, rect.left); x < std::min(rect.right, s.GetWidth()); ++x)
      ink += s.GetPixel(x, y) != background;
  return ink;
}

class TextWidgetRig : public GuiTest {
 protected:
  TextWidgetRig() {
    (void)main.SetFont(24, false, false, Cp932Literal("ＭＳ ゴシック").c_str());
    (void)ruby.SetFont(12, false, false, Cp932Literal("ＭＳ ゴシック").c_str());
  }
  OutlineTextRenderer main{testing_text::FakeSource(), 64};
  OutlineTextRenderer ruby{testing_text::FakeSource(), 64};
  DisplayObjectList list;
};

}  // namespace bw::test
