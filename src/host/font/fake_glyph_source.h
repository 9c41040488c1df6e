// A glyph source with fixed metrics, for tests of what draws text: every font of height h
// (abs(lfHeight), 16 for 0) has ascent h - h / 8, descent h / 8 and no leading; single bytes
// advance h / 2 and double-byte characters h, whatever the weight or italic. Each glyph but
// the blanks (0x20 and the ideographic space 0x8140) is a solid box one pixel inside its
// advance, from the baseline up to one pixel below the cell's top, drawn through the matrix and
// the escapement; the blanks advance and draw nothing. By default the face has no outlines:
// the grey formats fail and only GGO_BITMAP draws, which is what drives the renderers' 4x and
// 8x bitmap fallback. With outlines the grey formats draw the same box at full level.
#pragma once

#include "host/font/glyph_source.h"

namespace bw::host {

class FakeGlyphSource final : public GlyphSource {
 public:
  static constexpr int32_t kMaxHeight = 512;

  explicit FakeGlyphSource(bool outlines = false) : outlines_(outlines) {}

  int32_t MaxHeight() const override { return kMaxHeight; }
  std::unique_ptr<GlyphFont> CreateFont(const LOGFONTA& logFont) const override;

 private:
  bool outlines_;
};

}  // namespace bw::host
