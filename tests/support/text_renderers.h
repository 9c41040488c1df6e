// The engine's text renderers on the fixed-metric fake face, for tests of what holds rendered
// text. At height 16 "AB" measures 16 x 16 and each glyph is a box over columns 1..6 of its
// 8-pixel advance and rows 1..13; the face has no outlines, so smoothed glyphs come from the
// bitmap fallback and cover their box fully.
#pragma once

#include <memory>

#include "graphics/text/gdi_text_renderer.h"
#include "graphics/text/outline_text_renderer.h"
#include "graphics/text/renderer_factory.h"
#include "host/font/fake_glyph_source.h"

namespace bw::testing_text {

inline const host::FakeGlyphSource& FakeSource() {
  static const host::FakeGlyphSource source;
  return source;
}

// A GDI renderer whose every drawing fails.
class FailingTextRenderer : public GdiTextRenderer {
 public:
  FailingTextRenderer() : GdiTextRenderer(FakeSource()) {
    (void)SetFont(16, false, false, nullptr);
  }
  int DrawText(Surface*, int32_t, int32_t, const char*, Rect*, Point*) override {
    return kGdiDrawFailed;
  }
  int DrawTextToDc(host::MemoryDc*, int32_t, int32_t, const char*, Rect*) override {
    return kGdiDrawFailed;
  }
};

class FakeFaceRenderers {
 protected:
  FakeFaceRenderers() {
    (void)gdi.SetFont(16, false, false, nullptr);
    (void)outline.SetFont(16, false, false, nullptr);
  }
  GlyphTextRendererFactory factory{FakeSource(), [] { return 16u; }};
  GdiTextRenderer gdi{FakeSource()};
  OutlineTextRenderer outline{FakeSource(), 16};
};

}  // namespace bw::testing_text
