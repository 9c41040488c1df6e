// The outline renderer's three draw operations: one walk over the text, three ways of putting
// each glyph down.
#include <algorithm>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "graphics/pixel/mask_kernels.h"
#include "graphics/text/text_angles.h"
#include "scenario/text/outline_text_renderer.h"
#include "scenario/text/text_rules.h"

namespace bw {
namespace {

MaskColors One(const uint32_t* color) {
  return MaskColors{color, ColorRamp::kNone};
}

CoverageMask MaskOf(const GlyphBitmap& g) {
  return CoverageMask{g.pixels.data(), g.width, g.height, g.pitch};
}

}  // namespace

int OutlineTextRenderer::Draw(Mode mode, Surface* surface, int32_t x, int32_t y, const char* text,
                              Rect* rect, Point* endPoint) {
  TextPixels target;
  if (!font_ || !ResolveTextPixels(surface, &target)) return kTextNotReady;
  if (mode != Mode::kDraw && target.bits != 32) return kTextNotReady;
  if (rect) *rect = {x, y, x, y};
  Point pen{x, y};
  if (!text) {
    if (endPoint) *endPoint = pen;
    return kTextDone;
  }

  const int32_t angle = logFont_.lfOrientation;
  const uint32_t* ramp = gradationRamp_.Colors();
  const int32_t rampCount = gradationRamp_.Count();
  ColorRamp rampMode = ColorRamp::kNone;
  if (gradationOn_ && ramp && rampCount > 0) {
    rampMode = angle == 0                ? ColorRamp::kRows
               : angle == kVerticalAngle ? ColorRamp::kColumns
                                         : ColorRamp::kNone;
  }
  int32_t c = 0, s = 0;
  const bool turned = Turn(&c, &s);
  const int64_t lineHeight = std::abs(int64_t(logFont_.lfHeight)) + lineSpacing_;
  const Point lineStep =
      turned ? Point{MulFixed(lineHeight, s), MulFixed(lineHeight, c)}
             : Point{0, int32_t(std::clamp<int64_t>(lineHeight, INT32_MIN, INT32_MAX))};
  Point shadow{shadowOffsetX_, shadowOffsetY_};
  if (turned && angle != kVerticalAngle) {
    shadow = {MulFixed(shadowOffsetX_, c) + MulFixed(shadowOffsetY_, s),
              MulFixed(shadowOffsetY_, c) - MulFixed(shadowOffsetX_, s)};
  }
  const int32_t size = std::abs(logFont_.lfHeight);
  const bool bold = logFont_.lfWeight == host::FW_BOLD;
  const bool italic = logFont_.lfItalic != 0;
  const uint32_t textColor = PackedColor(textColor_), decoration = PackedColor(decorationColor_);
  const MaskBlend glyphBlend = mode == Mode::kString  ? MaskBlend::kAlphaAware
                               : antialiasLevel_ == 0 ? MaskBlend::kSolid
                                                      : MaskBlend::kBlended;
  const MaskBlend decorationBlend =
      mode == Mode::kString ? MaskBlend::kAlphaAware : MaskBlend::kBlended;

  if (mode == Mode::kLayer && style_ != kTextPlain) {
    Size box;
    int32_t ox = 0, oy = 0;
    MeasureText(text, &box, &ox, &oy, true, nullptr);
    Rect turnedBox;
    GetRotatedRect(&turnedBox, ox, oy, box.width, box.height);
    turnedBox = {turnedBox.left + x, turnedBox.top + y, turnedBox.right + x, turnedBox.bottom + y};
    const uint32_t fill = style_ == kTextShadow ? textColor : decoration;
    FillTextColor(target, turnedBox, One(&fill), true);
  }

  // The ramp's colours for one glyph, by its rows (or columns at 2700) from the cell's top,
  // held to the ramp where edges and tall glyphs run past it.
  std::vector<uint32_t> glyphRamp;
  auto colorsFor = [&](const GlyphBitmap& g) {
    if (rampMode == ColorRamp::kNone) return One(&textColor);
    const int32_t n = rampMode == ColorRamp::kRows ? g.height : g.width;
    glyphRamp.resize(size_t(std::max(n, 1)));
    for (int32_t i = 0; i < n; ++i) {
      const int64_t from =
          rampMode == ColorRamp::kRows ? int64_t(g.originY) + i : -(int64_t(g.originX) + i) - 1;
      glyphRamp[size_t(i)] = ramp[std::clamp<int64_t>(from, 0, rampCount - 1)];
    }
    return MaskColors{glyphRamp.data(), rampMode};
  };

  Point lineStart = pen;
  const std::string_view str(text);
  TextUnit unit;
  for (size_t pos = 0; NextTextUnit(str, pos, &unit);) {
    if (unit.kind == TextUnit::Kind::kNewline) {
      lineStart = {lineStart.x + lineStep.x, lineStart.y + lineStep.y};
      pen = lineStart;
      continue;
    }
    const bool picture = unit.kind == TextUnit::Kind::kPicture;
    // The edge glyph stays held while the plain one is fetched: a small cache may evict it.
    GlyphRef edgeGlyph;
    if (style_ == kTextEdge) {
      edgeGlyph = GetGlyph(unit.code, size, true, bold, italic, picture, unit.picture);
    }
    GlyphRef glyph = GetGlyph(unit.code, size, false, bold, italic, picture, unit.picture);
    if (!glyph) continue;
    Rect drawn;
    if (edgeGlyph && !edgeGlyph->IsBlank()) {
      const int32_t ex = pen.x + edgeGlyph->originX, ey = pen.y + edgeGlyph->originY;
      if (mode == Mode::kLayer) {
        RaiseTextAlpha(target, ex, ey, MaskOf(*edgeGlyph));
        UniteTextBox(rect, Rect{ex, ey, ex + edgeGlyph->width, ey + edgeGlyph->height});
      } else if (BlendTextMask(target, ex, ey, MaskOf(*edgeGlyph), decorationBlend,
                               One(&decoration), &drawn)) {
        UniteTextBox(rect, drawn);
      }
    }
    if (!glyph->IsBlank()) {
      const CoverageMask mask = MaskOf(*glyph);
      const int32_t gx = pen.x + glyph->originX, gy = pen.y + glyph->originY;
      if (style_ == kTextShadow) {
        const int32_t sx = gx + shadow.x, sy = gy + shadow.y;
        if (mode == Mode::kLayer) {
          // The colour under every bit of coverage; the alpha carries the softness.
          DrawMaskSolid(sx, sy, decorationColor_.r, decorationColor_.g, decorationColor_.b,
                        MaskTarget{target.pixels, target.width, target.height, target.pitch},
                        MaskSource{mask.bits, mask.width, mask.height, mask.pitch});
          RaiseTextAlpha(target, sx, sy, mask);
          UniteTextBox(rect, Rect{sx, sy, sx + mask.width, sy + mask.height});
        } else if (BlendTextMask(target, sx, sy, mask, decorationBlend, One(&decoration), &drawn)) {
          UniteTextBox(rect, drawn);
        }
      }
      const MaskColors colors = colorsFor(*glyph);
      if (mode == Mode::kLayer && style_ == kTextPlain) {
        FillTextColor(target, Rect{gx, gy, gx + glyph->width, gy + glyph->height}, colors, false);
        UniteTextBox(rect, Rect{gx, gy, gx + glyph->width, gy + glyph->height});
      } else if (BlendTextMask(target, gx, gy, mask, glyphBlend, colors, &drawn)) {
        UniteTextBox(rect, drawn);
      }
      if (mode == Mode::kLayer) RaiseTextAlpha(target, gx, gy, mask);
    }
    pen = {pen.x + glyph->advanceX, pen.y + glyph->advanceY};
  }
  if (rect && mode == Mode::kLayer) {
    // Boxes filled in whole were reported unclipped.
    rect->left = std::max(rect->left, 0);
    rect->top = std::max(rect->top, 0);
    rect->right = std::min(rect->right, target.width);
    rect->bottom = std::min(rect->bottom, target.height);
    if (rect->IsEmpty()) *rect = {x, y, x, y};
  }
  if (endPoint) *endPoint = pen;
  return kTextDone;
}

}  // namespace bw
