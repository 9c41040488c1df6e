#include "graphics/text/gdi_text_renderer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "common/sjis.h"
#include "graphics/pixel/mask_kernels.h"
#include "graphics/pixel/rows8_kernels.h"
#include "graphics/pixel/text_kernels.h"
#include "graphics/text/glyph_bitmap.h"
#include "graphics/text/text_angles.h"
#include "graphics/text/text_rules.h"
#include "platform/mmx_flag.h"

namespace bw {
namespace {

constexpr int kSupersample = 4;
// The edge around folded coverage: one pixel, strong enough to carry 240 to full.
constexpr int32_t kFoldedEdgeStrength = 512;
constexpr int kFoldedEdgeRadius = 1;

host::COLORREF Ref(TextColor c) {
  return host::RGB(c.r, c.g, c.b);
}

Rect Moved(const Rect& r, int32_t dx, int32_t dy) {
  return {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

int32_t FloorDiv(int32_t v, int32_t d) {
  return v >= 0 ? v / d : -((-int64_t(v) + d - 1) / d);
}

void PutMask(const TextPixels& target, int32_t x, int32_t y, const CoverageMask& mask,
             MaskBlend blend, const MaskColors& colors, Rect* rect) {
  Rect drawn;
  if (mask.bits && BlendTextMask(target, x, y, mask, blend, colors, &drawn)) {
    UniteTextBox(rect, drawn);
  }
}

void UniteClipped(Rect* rect, Rect box, const TextPixels& target) {
  box.left = std::max(box.left, 0), box.top = std::max(box.top, 0);
  box.right = std::min(box.right, target.width);
  box.bottom = std::min(box.bottom, target.height);
  UniteTextBox(rect, box);
}

}  // namespace

GdiTextRenderer::GdiTextRenderer(const host::GlyphSource& source) : TextRenderer(source) {}

GdiTextRenderer::~GdiTextRenderer() {
  GdiTextRenderer::ReleaseFont();
}

void GdiTextRenderer::ReleaseFont() {
  dc_.reset();
  font_.reset();
}

int GdiTextRenderer::SetFont(int32_t height, bool bold, bool italic, const char* faceName) {
  if (faceName && !FaceNameFits(faceName)) return kGdiNoFace;
  if (HeightTooLarge(height, source_)) return kGdiFontFailed;
  if (faceName) CopyFaceName(&logFont_, faceName);
  logFont_.lfHeight = -std::abs(height);
  logFont_.lfItalic = italic ? 1 : 0;
  logFont_.lfWeight = bold ? host::FW_BOLD : host::FW_NORMAL;
  return CreateFont();
}

int GdiTextRenderer::CreateFont() {
  auto font = source_.CreateFont(logFont_);
  if (!font) {
    ReleaseFont();
    return kGdiFontFailed;
  }
  if (!dc_) dc_ = std::make_unique<host::MemoryDc>();
  dc_->SelectFont(font.get());
  font_ = std::move(font);
  return 0;
}

int GdiTextRenderer::SetFaceName(const char* faceName) {
  if (!FaceNameFits(faceName)) return kGdiNoFace;
  if (std::strncmp(faceName, logFont_.lfFaceName, host::kLfFaceSize) == 0) return 0;
  CopyFaceName(&logFont_, faceName);
  return CreateFont();
}

int GdiTextRenderer::SetHeight(int32_t height) {
  if (HeightTooLarge(height, source_)) return kGdiFontFailed;
  if (-std::abs(height) == logFont_.lfHeight) return 0;
  logFont_.lfHeight = -std::abs(height);
  return CreateFont();
}

int GdiTextRenderer::SetBoldItalic(bool bold, bool italic) {
  logFont_.lfWeight = bold ? host::FW_BOLD : host::FW_NORMAL;
  logFont_.lfItalic = italic ? 1 : 0;
  return CreateFont();
}

int GdiTextRenderer::SetOrientation(int32_t tenths) {
  if (tenths == logFont_.lfOrientation && tenths == logFont_.lfEscapement) return 0;
  logFont_.lfOrientation = logFont_.lfEscapement = tenths;
  return CreateFont();
}

int GdiTextRenderer::SetUnderlineStrikeOut(bool underline, bool strikeOut) {
  logFont_.lfUnderline = underline ? 1 : 0;
  logFont_.lfStrikeOut = strikeOut ? 1 : 0;
  return CreateFont();
}

int GdiTextRenderer::SetQuality(uint8_t quality) {
  logFont_.lfQuality = quality;
  return CreateFont();
}

std::vector<std::string_view> GdiTextRenderer::Lines(const char* text) const {
  // Views into the text: lines of any length, no copies.
  std::vector<std::string_view> lines;
  const std::string_view s(text);
  size_t start = 0, pos = 0;
  while (pos < s.size()) {
    if (s[pos] == '\n') {
      lines.push_back(s.substr(start, pos - start));
      start = ++pos;
      continue;
    }
    pos = sjis::Next(s, pos);
  }
  lines.push_back(s.substr(start));
  return lines;
}

int GdiTextRenderer::MeasureText(const char* text, Size* size, int32_t* offsetX, int32_t* offsetY,
                                 bool withDecoration, int32_t* glyphCount) {
  if (!text || !font_) return 0;
  const std::vector<std::string_view> lines = Lines(text);
  int64_t width = 0, height = 0, glyphs = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    host::TextSize extent;
    // A line and a size to fill: every line is measured.
    (void)font_->GetTextExtentPoint32A(lines[i].data(), int(lines[i].size()), &extent);
    width = std::max<int64_t>(width, extent.cx);
    height += extent.cy + (i + 1 < lines.size() ? lineSpacing_ : 0);
    for (size_t pos = 0; pos < lines[i].size(); pos = sjis::Next(lines[i], pos)) ++glyphs;
  }
  if (logFont_.lfItalic) width += std::abs(logFont_.lfHeight) / 3;
  int32_t ox = 0, oy = 0;
  if (withDecoration) {
    AddDecoration({style_, shadowOffsetX_, shadowOffsetY_, 1}, &width, &height, &ox, &oy);
  }
  if (size) *size = {Clamp32(width), Clamp32(height)};
  if (offsetX) *offsetX = ox;
  if (offsetY) *offsetY = oy;
  if (glyphCount) *glyphCount = Clamp32(glyphs);
  return Clamp32(int64_t(lines.size()));
}

int GdiTextRenderer::DrawTextToDc(host::MemoryDc* dc, int32_t x, int32_t y, const char* text,
                                  Rect* rect) {
  if (!dc || !text || !font_) return kTextNotReady;
  const host::GlyphFont* previousFont = dc->SelectFont(font_.get());
  const host::COLORREF previousText = dc->TextColor(), previousBack = dc->BkColor();
  const int previousMode = dc->BkMode();
  int32_t c = 0, s = 0;
  const bool turned = Turn(&c, &s);
  const bool opaque = transparentBack_ == 0;
  dc->SetBkColor(Ref(backColor_));
  bool drawn = true;
  int32_t lineX = x, lineY = y;
  int64_t width = 0, height = 0;
  const std::vector<std::string_view> lines = Lines(text);
  for (size_t i = 0; i < lines.size(); ++i) {
    const char* line = lines[i].data();
    const int count = int(lines[i].size());
    host::TextSize extent;
    // A line and a size to fill: every line is measured.
    (void)font_->GetTextExtentPoint32A(line, count, &extent);
    width = std::max<int64_t>(width, extent.cx);
    height += extent.cy + (i + 1 < lines.size() ? lineSpacing_ : 0);
    if (opaque && !turned) {
      // The line's box first, so that the decoration drawn next is not painted over.
      (void)dc->FillSolidRect({lineX, lineY, extent.cx, extent.cy}, Ref(backColor_));
    }
    if (count > 0) {
      dc->SetBkMode(host::TRANSPARENT);
      dc->SetTextColor(Ref(decorationColor_));
      if (style_ == kTextShadow) {
        drawn &= dc->TextOutA(lineX + shadowOffsetX_, lineY + shadowOffsetY_, line, count);
      } else if (style_ == kTextEdge) {
        for (int dy = -1; dy <= 1; ++dy) {
          for (int dx = -1; dx <= 1; ++dx) {
            if (dx || dy) drawn &= dc->TextOutA(lineX + dx, lineY + dy, line, count);
          }
        }
      }
      dc->SetBkMode(opaque && turned ? host::OPAQUE : host::TRANSPARENT);
      dc->SetTextColor(Ref(textColor_));
      drawn &= dc->TextOutA(lineX, lineY, line, count);
    }
    const int64_t step = int64_t(extent.cy) + lineSpacing_;
    lineX += turned ? MulFixed(step, s) : 0;
    lineY += turned ? MulFixed(step, c) : Clamp32(step);
  }
  dc->SetTextColor(previousText);
  dc->SetBkColor(previousBack);
  dc->SetBkMode(previousMode);
  dc->SelectFont(previousFont);
  if (rect) {
    int64_t left = 0, top = 0, right = width, bottom = height;
    if (style_ == kTextShadow) {
      left += std::min(shadowOffsetX_, 0), right += std::max(shadowOffsetX_, 0);
      top += std::min(shadowOffsetY_, 0), bottom += std::max(shadowOffsetY_, 0);
    } else if (style_ == kTextEdge) {
      --left, --top, ++right, ++bottom;
    }
    if (logFont_.lfItalic) right += std::abs(logFont_.lfHeight) / 3;
    GetRotatedRect(rect, Clamp32(left), Clamp32(top), Clamp32(right - left), Clamp32(bottom - top));
    *rect = Moved(*rect, x, y);
  }
  return drawn ? kTextDone : kTextNotReady;
}

CoverageMask GdiTextRenderer::Coverage::Mask() const {
  return {section ? section->Pixels() : nullptr, width, height, pitch};
}

int GdiTextRenderer::Paint(GdiTextRenderer& painter, const char* text, bool folded, Coverage* out) {
  Size size;
  int32_t ox = 0, oy = 0;
  painter.MeasureText(text, &size, &ox, &oy, true, nullptr);
  Rect box;
  painter.GetRotatedRect(&box, ox, oy, size.width, size.height);
  if (folded) {
    box = {FloorDiv(box.left, kSupersample) * kSupersample,
           FloorDiv(box.top, kSupersample) * kSupersample,
           -FloorDiv(-box.right, kSupersample) * kSupersample,
           -FloorDiv(-box.bottom, kSupersample) * kSupersample};
  }
  *out = Coverage{};
  if (box.IsEmpty()) return kTextDone;
  if (int64_t(box.Width()) * box.Height() > int64_t(host::GlyphFont::kMaxMaskBytes)) {
    return kGdiNoPicture;
  }
  out->section = host::DibSection::Create(box.Width(), box.Height(), 8);
  if (!out->section) return kGdiNoPicture;
  std::memset(out->section->Pixels(), 0, size_t(out->section->Pitch()) * size_t(box.Height()));
  host::MemoryDc dc;
  dc.Select(out->section.get());
  if (painter.DrawTextToDc(&dc, -box.left, -box.top, text, nullptr) != kTextDone) {
    return kGdiDrawFailed;
  }
  out->pitch = out->section->Pitch();
  if (!folded) {
    *out = {std::move(out->section), box.left, box.top, box.Width(), box.Height(), out->pitch};
    return kTextDone;
  }
  const int32_t w = box.Width() / kSupersample, h = box.Height() / kSupersample;
  FoldRowsToGrey8(out->section->Pixels(), out->pitch, w, h);
  out->left = box.left / kSupersample;
  out->top = box.top / kSupersample;
  out->width = w;
  out->height = h;
  return kTextDone;
}

int GdiTextRenderer::Draw(DrawMode mode, Surface* surface, int32_t x, int32_t y, const char* text,
                          Rect* rect, Point* endPoint) {
  if (mode == DrawMode::kString) return kTextNotReady;
  const bool layer = mode == DrawMode::kLayer;
  TextPixels target;
  if (!font_ || !ResolveTextPixels(surface, &target)) return kTextNotReady;
  if (layer && target.bits != 32) return kTextNotReady;
  if (rect) *rect = {x, y, x, y};
  if (endPoint) *endPoint = {x, y};
  if (!text) return kTextDone;

  const bool folded = antialiasLevel_ != 0;
  GdiTextRenderer painter(source_);
  if (int rc = PreparePainter(painter, folded); rc != kTextDone) return rc;
  Ink ink;
  if (int rc = PaintInk(painter, text, folded, x, y, &ink); rc != kTextDone) return rc;
  Size size;
  int32_t ox = 0, oy = 0;
  MeasureText(text, &size, &ox, &oy, true, nullptr);
  Rect box;
  GetRotatedRect(&box, ox, oy, size.width, size.height);
  box = Moved(box, x, y);
  if (layer) {
    PutLayerInk(target, ink, folded, box, rect);
  } else {
    PutSurfaceInk(target, ink, folded, box, rect);
  }
  if (endPoint) *endPoint = EndPoint(text, x, y);
  return kTextDone;
}

int GdiTextRenderer::PreparePainter(GdiTextRenderer& painter, bool folded) const {
  host::LOGFONTA logFont = logFont_;
  painter.lineSpacing_ = lineSpacing_;
  painter.textColor_ = {255, 255, 255};
  painter.decorationColor_ = {255, 255, 255};
  painter.style_ = kTextPlain;
  if (folded) {
    // Four times the size in a colour whose 16 sub-pixels sum to 240 at most.
    if (HeightTooLarge(int32_t(std::min<int64_t>(int64_t(std::abs(logFont.lfHeight)) * kSupersample,
                                                 INT32_MAX)),
                       source_)) {
      return kGdiDrawFailed;
    }
    logFont.lfHeight *= kSupersample;
    painter.lineSpacing_ = Clamp32(int64_t(lineSpacing_) * kSupersample);
    painter.textColor_ = {15, 15, 15};
  } else if (style_ == kTextEdge) {
    painter.style_ = kTextEdge;
  }
  painter.SetLogFont(logFont);
  return painter.CreateFont() != 0 ? kGdiDrawFailed : kTextDone;
}

int GdiTextRenderer::PaintInk(GdiTextRenderer& painter, const char* text, bool folded, int32_t x,
                              int32_t y, Ink* ink) const {
  Coverage first;
  int rc = Paint(painter, text, folded, &first);
  if (rc != kTextDone) return rc;
  const Coverage* decoration = nullptr;
  if (style_ == kTextEdge && !folded) {
    // The edged pass came first; the plain text goes over it.
    ink->edgePass = std::move(first);
    decoration = &ink->edgePass;
    ink->decorationX = x + decoration->left, ink->decorationY = y + decoration->top;
    painter.style_ = kTextPlain;
    rc = Paint(painter, text, false, &ink->text);
    if (rc != kTextDone) return rc;
  } else {
    ink->text = std::move(first);
    if (style_ == kTextShadow) {
      decoration = &ink->text;
      ink->decorationX = x + ink->text.left + shadowOffsetX_;
      ink->decorationY = y + ink->text.top + shadowOffsetY_;
    }
  }
  ink->textMask = ink->text.Mask();
  ink->decorationMask = decoration ? decoration->Mask() : CoverageMask{};
  ink->textX = x + ink->text.left, ink->textY = y + ink->text.top;
  if (style_ == kTextEdge && folded && ink->textMask.bits) {
    // One pixel around the folded text.
    const CoverageMask& textMask = ink->textMask;
    const int32_t w = textMask.width + 2 * kFoldedEdgeRadius;
    const int32_t h = textMask.height + 2 * kFoldedEdgeRadius;
    ink->edge.assign(size_t(GlyphPitch(w)) * size_t(h), 0);
    auto build = MmxEnabled() ? BuildEdgeMaskMmx : BuildEdgeMask;
    build(ink->edge.data(), GlyphPitch(w), textMask.bits, textMask.pitch, textMask.width,
          textMask.height, kFoldedEdgeRadius, kFoldedEdgeStrength);
    ink->decorationMask = {ink->edge.data(), w, h, GlyphPitch(w)};
    ink->decorationX = ink->textX - kFoldedEdgeRadius;
    ink->decorationY = ink->textY - kFoldedEdgeRadius;
  }
  return kTextDone;
}

// Colour over the box and the coverage as the alpha; decorated text blends its face over the
// decoration colour.
void GdiTextRenderer::PutLayerInk(const TextPixels& target, const Ink& ink, bool folded,
                                  const Rect& box, Rect* rect) const {
  const uint32_t textColor = PackedColor(textColor_),
                 decorationColor = PackedColor(decorationColor_);
  const MaskColors textColors{&textColor, ColorRamp::kNone};
  const MaskColors decorationColors{&decorationColor, ColorRamp::kNone};
  const CoverageMask& textMask = ink.textMask;
  const CoverageMask& decorationMask = ink.decorationMask;
  if (style_ == kTextPlain) {
    FillTextColor(
        target, Rect{ink.textX, ink.textY, ink.textX + textMask.width, ink.textY + textMask.height},
        textColors, false);
  } else {
    FillTextColor(target, box, style_ == kTextShadow ? textColors : decorationColors, true);
    if (decorationMask.bits && style_ == kTextShadow) {
      // A surface without pixels, or an area that misses it, is left as it is.
      (void)DrawMaskSolid(ink.decorationX, ink.decorationY, decorationColor_.r, decorationColor_.g,
                          decorationColor_.b,
                          MaskTarget{target.pixels, target.width, target.height, target.pitch},
                          MaskSource{decorationMask.bits, decorationMask.width,
                                     decorationMask.height, decorationMask.pitch});
    }
    if (decorationMask.bits)
      RaiseTextAlpha(target, ink.decorationX, ink.decorationY, decorationMask);
  }
  const MaskBlend blend = folded ? MaskBlend::kBlended : MaskBlend::kSolid;
  if (textMask.bits && style_ != kTextPlain) {
    PutMask(target, ink.textX, ink.textY, textMask, blend, textColors, rect);
  }
  if (textMask.bits) RaiseTextAlpha(target, ink.textX, ink.textY, textMask);
  UniteClipped(rect, box, target);
}

void GdiTextRenderer::PutSurfaceInk(const TextPixels& target, const Ink& ink, bool folded,
                                    const Rect& box, Rect* rect) const {
  if (transparentBack_ == 0) {
    const uint32_t back = PackedColor(backColor_);
    FillTextColor(target, box, MaskColors{&back, ColorRamp::kNone}, false);
    UniteClipped(rect, box, target);
  }
  const uint32_t textColor = PackedColor(textColor_),
                 decorationColor = PackedColor(decorationColor_);
  const MaskBlend blend = folded ? MaskBlend::kBlended : MaskBlend::kSolid;
  PutMask(target, ink.decorationX, ink.decorationY, ink.decorationMask, blend,
          MaskColors{&decorationColor, ColorRamp::kNone}, rect);
  PutMask(target, ink.textX, ink.textY, ink.textMask, blend,
          MaskColors{&textColor, ColorRamp::kNone}, rect);
}

// Where the last line ends along the run.
Point GdiTextRenderer::EndPoint(const char* text, int32_t x, int32_t y) const {
  const std::vector<std::string_view> lines = Lines(text);
  host::TextSize extent;
  int64_t down = 0;
  for (size_t i = 0; i + 1 < lines.size(); ++i) {
    // A line and a size to fill: every line is measured.
    (void)font_->GetTextExtentPoint32A(lines[i].data(), int(lines[i].size()), &extent);
    down += extent.cy + lineSpacing_;
  }
  (void)font_->GetTextExtentPoint32A(lines.back().data(), int(lines.back().size()), &extent);
  Rect end;
  GetRotatedRect(&end, extent.cx, Clamp32(down), 0, 0);
  return {end.left + x, end.top + y};
}

}  // namespace bw
