// The outline renderer's three draw operations: one walk over the text, three ways of putting
// each glyph down.
#include <algorithm>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "graphics/pixel/mask_kernels.h"
#include "graphics/text/outline_text_renderer.h"
#include "graphics/text/text_angles.h"
#include "graphics/text/text_rules.h"

namespace bw {
namespace {

MaskColors One(const uint32_t* color) {
  return MaskColors{color, ColorRamp::kNone};
}

CoverageMask MaskOf(const GlyphBitmap& g) {
  return CoverageMask{g.pixels.data(), g.width, g.height, g.pitch};
}

}  // namespace

// What one draw puts every glyph down with.
struct OutlineTextRenderer::DrawState {
  DrawMode mode;
  TextPixels target;
  Rect* rect;
  Point shadow;
  uint32_t textColor, decoration;
  MaskBlend glyphBlend, decorationBlend;
  const uint32_t* ramp;
  int32_t rampCount;
  ColorRamp rampMode;
  std::vector<uint32_t> glyphRamp;

  // The ramp's colours for one glyph, by its rows (or columns at 2700) from the cell's top,
  // held to the ramp where edges and tall glyphs run past it.
  MaskColors ColorsFor(const GlyphBitmap& g) {
    if (rampMode == ColorRamp::kNone) return One(&textColor);
    const int32_t n = rampMode == ColorRamp::kRows ? g.height : g.width;
    glyphRamp.resize(size_t(std::max(n, 1)));
    for (int32_t i = 0; i < n; ++i) {
      const int64_t from =
          rampMode == ColorRamp::kRows ? int64_t(g.originY) + i : -(int64_t(g.originX) + i) - 1;
      glyphRamp[size_t(i)] = ramp[std::clamp<int64_t>(from, 0, rampCount - 1)];
    }
    return MaskColors{glyphRamp.data(), rampMode};
  }
};

int OutlineTextRenderer::Draw(DrawMode mode, Surface* surface, int32_t x, int32_t y,
                              const char* text, Rect* rect, Point* endPoint) {
  TextPixels target;
  if (!font_ || !ResolveTextPixels(surface, &target)) return kTextNotReady;
  if (mode != DrawMode::kText && target.bits != 32) return kTextNotReady;
  if (rect) *rect = {x, y, x, y};
  Point pen{x, y};
  if (!text) {
    if (endPoint) *endPoint = pen;
    return kTextDone;
  }
  DrawState state = PrepareDraw(mode, target, rect);
  if (mode == DrawMode::kLayer && style_ != kTextPlain) FillLayerBox(state, text, x, y);
  int32_t c = 0, s = 0;
  const bool turned = Turn(&c, &s);
  const int64_t lineHeight = std::abs(int64_t(logFont_.lfHeight)) + lineSpacing_;
  const Point lineStep =
      turned ? Point{MulFixed(lineHeight, s), MulFixed(lineHeight, c)}
             : Point{0, int32_t(std::clamp<int64_t>(lineHeight, INT32_MIN, INT32_MAX))};
  const int32_t size = std::abs(logFont_.lfHeight);
  const bool bold = logFont_.lfWeight == host::FW_BOLD;
  const bool italic = logFont_.lfItalic != 0;
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
    const GlyphBitmap* glyph =
        BorrowGlyph(unit.code, size, false, bold, italic, picture, unit.picture);
    if (!glyph) continue;
    if (edgeGlyph && !edgeGlyph->IsBlank()) PutEdge(state, *edgeGlyph, pen);
    if (!glyph->IsBlank()) PutGlyph(state, *glyph, pen);
    pen = {pen.x + glyph->advanceX, pen.y + glyph->advanceY};
  }
  if (rect && mode == DrawMode::kLayer) {
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

OutlineTextRenderer::DrawState OutlineTextRenderer::PrepareDraw(DrawMode mode,
                                                                const TextPixels& target,
                                                                Rect* rect) const {
  const int32_t angle = logFont_.lfOrientation;
  DrawState state{mode,
                  target,
                  rect,
                  Point{shadowOffsetX_, shadowOffsetY_},
                  PackedColor(textColor_),
                  PackedColor(decorationColor_),
                  mode == DrawMode::kString ? MaskBlend::kAlphaAware
                  : antialiasLevel_ == 0    ? MaskBlend::kSolid
                                            : MaskBlend::kBlended,
                  mode == DrawMode::kString ? MaskBlend::kAlphaAware : MaskBlend::kBlended,
                  gradationRamp_.Colors(),
                  gradationRamp_.Count(),
                  ColorRamp::kNone,
                  {}};
  if (gradationOn_ && state.ramp && state.rampCount > 0) {
    state.rampMode = angle == 0                ? ColorRamp::kRows
                     : angle == kVerticalAngle ? ColorRamp::kColumns
                                               : ColorRamp::kNone;
  }
  int32_t c = 0, s = 0;
  if (Turn(&c, &s) && angle != kVerticalAngle) {
    state.shadow = {MulFixed(shadowOffsetX_, c) + MulFixed(shadowOffsetY_, s),
                    MulFixed(shadowOffsetY_, c) - MulFixed(shadowOffsetX_, s)};
  }
  return state;
}

// A decorated layer text: the face's (shadow) or the edge's colour over the whole box first.
void OutlineTextRenderer::FillLayerBox(const DrawState& state, const char* text, int32_t x,
                                       int32_t y) {
  Size box;
  int32_t ox = 0, oy = 0;
  MeasureText(text, &box, &ox, &oy, true, nullptr);
  Rect turnedBox;
  GetRotatedRect(&turnedBox, ox, oy, box.width, box.height);
  turnedBox = {turnedBox.left + x, turnedBox.top + y, turnedBox.right + x, turnedBox.bottom + y};
  const uint32_t fill = style_ == kTextShadow ? state.textColor : state.decoration;
  FillTextColor(state.target, turnedBox, One(&fill), true);
}

void OutlineTextRenderer::PutEdge(const DrawState& state, const GlyphBitmap& edge, Point pen) {
  const int32_t ex = pen.x + edge.originX, ey = pen.y + edge.originY;
  Rect drawn;
  if (state.mode == DrawMode::kLayer) {
    RaiseTextAlpha(state.target, ex, ey, MaskOf(edge));
    UniteTextBox(state.rect, Rect{ex, ey, ex + edge.width, ey + edge.height});
  } else if (BlendTextMask(state.target, ex, ey, MaskOf(edge), state.decorationBlend,
                           One(&state.decoration), &drawn)) {
    UniteTextBox(state.rect, drawn);
  }
}

// The shadow, then the face.
void OutlineTextRenderer::PutGlyph(DrawState& state, const GlyphBitmap& glyph, Point pen) {
  const TextPixels& target = state.target;
  const CoverageMask mask = MaskOf(glyph);
  const int32_t gx = pen.x + glyph.originX, gy = pen.y + glyph.originY;
  Rect drawn;
  if (style_ == kTextShadow) {
    const int32_t sx = gx + state.shadow.x, sy = gy + state.shadow.y;
    if (state.mode == DrawMode::kLayer) {
      // The colour under every bit of coverage; the alpha carries the softness.
      // A surface without pixels, or an area that misses it, is left as it is.
      (void)DrawMaskSolid(sx, sy, decorationColor_.r, decorationColor_.g, decorationColor_.b,
                          MaskTarget{target.pixels, target.width, target.height, target.pitch},
                          MaskSource{mask.bits, mask.width, mask.height, mask.pitch});
      RaiseTextAlpha(target, sx, sy, mask);
      UniteTextBox(state.rect, Rect{sx, sy, sx + mask.width, sy + mask.height});
    } else if (BlendTextMask(target, sx, sy, mask, state.decorationBlend, One(&state.decoration),
                             &drawn)) {
      UniteTextBox(state.rect, drawn);
    }
  }
  const MaskColors colors = state.ColorsFor(glyph);
  if (state.mode == DrawMode::kLayer && style_ == kTextPlain) {
    FillTextColor(target, Rect{gx, gy, gx + glyph.width, gy + glyph.height}, colors, false);
    UniteTextBox(state.rect, Rect{gx, gy, gx + glyph.width, gy + glyph.height});
  } else if (BlendTextMask(target, gx, gy, mask, state.glyphBlend, colors, &drawn)) {
    UniteTextBox(state.rect, drawn);
  }
  if (state.mode == DrawMode::kLayer) RaiseTextAlpha(target, gx, gy, mask);
}

}  // namespace bw
