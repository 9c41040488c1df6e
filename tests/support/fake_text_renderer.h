// A text renderer for tests of what holds rendered text: it measures one line through the
// fixed-metric fake glyph source, draws GDI text through the device context, and as an
// "outline" renderer paints each text's box in the text colour (alpha 255 for the drawing with
// alpha). A switch makes every drawing fail.
#pragma once

#include <cstdlib>
#include <cstring>
#include <memory>

#include "graphics/surface/surface.h"
#include "graphics/text/text_renderer.h"
#include "host/font/fake_glyph_source.h"

namespace bw::testing_text {

inline const host::FakeGlyphSource& FakeSource() {
  static const host::FakeGlyphSource source;
  return source;
}

class FakeTextRenderer : public TextRenderer {
 public:
  explicit FakeTextRenderer(bool outline) : TextRenderer(FakeSource()), outline_(outline) {}

  bool failDrawing = false;

  bool IsOutline() const override { return outline_; }
  void ReleaseFont() override { font_.reset(); }
  int SetFont(int32_t height, bool bold, bool italic, const char* faceName) override {
    if (faceName && std::strlen(faceName) >= sizeof(logFont_.lfFaceName)) return outline_ ? 3 : 2;
    if (faceName) std::strcpy(logFont_.lfFaceName, faceName);
    logFont_.lfHeight = -std::abs(height);
    logFont_.lfWeight = bold ? 700 : 400;
    logFont_.lfItalic = italic ? 1 : 0;
    return CreateFont();
  }
  int CreateFont() override {
    font_ = source_.CreateFont(logFont_);
    return font_ ? 0 : 2;
  }
  int SetFaceName(const char* faceName) override {
    return SetFont(logFont_.lfHeight, false, false, faceName);
  }
  int SetHeight(int32_t height) override { return SetFont(height, false, false, nullptr); }
  int SetBoldItalic(bool, bool) override { return 0; }
  int SetOrientation(int32_t tenths) override {
    logFont_.lfOrientation = logFont_.lfEscapement = tenths;
    return 0;
  }
  void SetAntialiasLevel(int level) override { antialiasLevel_ = uint8_t(level); }
  // One line: the text's extent by the character height; decorations as the GDI renderer adds
  // them.
  int MeasureText(const char* text, Size* size, int32_t* offsetX, int32_t* offsetY,
                  bool withDecoration, int32_t* glyphCount) override {
    host::TextSize extent;
    if (!font_ || !text || !font_->GetTextExtentPoint32A(text, int(std::strlen(text)), &extent))
      return 0;
    *size = {extent.cx, std::abs(logFont_.lfHeight)};
    int32_t x = 0, y = 0;
    if (withDecoration && style_ == kTextShadow) {
      size->width += std::abs(shadowOffsetX_), size->height += std::abs(shadowOffsetY_);
      x = std::min(shadowOffsetX_, 0), y = std::min(shadowOffsetY_, 0);
    } else if (withDecoration && style_ == kTextEdge) {
      size->width += 2, size->height += 2, x = y = -1;
    }
    if (offsetX) *offsetX = x;
    if (offsetY) *offsetY = y;
    if (glyphCount) *glyphCount = int32_t(std::strlen(text));
    return 1;
  }
  int DrawText(Surface* surface, int32_t x, int32_t y, const char* text, Rect* rect,
               Point* end) override {
    return Paint(surface, x, y, text, rect, end, false);
  }
  int DrawTextLayer(Surface* surface, int32_t x, int32_t y, const char* text, Rect* rect,
                    Point* end) override {
    return Paint(surface, x, y, text, rect, end, true);
  }
  int DrawString(Surface* surface, int32_t x, int32_t y, const char* text, Rect* rect,
                 Point* end) override {
    return Paint(surface, x, y, text, rect, end, true);
  }
  int DrawTextToDc(host::MemoryDc* dc, int32_t x, int32_t y, const char* text, Rect*) override {
    if (outline_ || failDrawing || !font_ || !dc || !text) return kTextNotReady;
    dc->SelectFont(font_.get());
    dc->SetBkMode(transparentBack_ ? host::TRANSPARENT : host::OPAQUE);
    dc->SetBkColor(host::RGB(backColor_.r, backColor_.g, backColor_.b));
    const int count = int(std::strlen(text));
    if (style_ == kTextShadow) {
      dc->SetTextColor(host::RGB(decorationColor_.r, decorationColor_.g, decorationColor_.b));
      dc->TextOutA(x + shadowOffsetX_, y + shadowOffsetY_, text, count);
    }
    dc->SetTextColor(host::RGB(textColor_.r, textColor_.g, textColor_.b));
    const bool drawn = dc->TextOutA(x, y, text, count);
    dc->SelectFont(nullptr);
    return drawn ? kTextDone : kTextNotReady;
  }

 private:
  // Paints the text's box at (x, y) of a 32-bit picture in the text colour.
  int Paint(Surface* surface, int32_t x, int32_t y, const char* text, Rect* rect, Point* end,
            bool alpha) {
    Size size;
    if (failDrawing || !surface || !surface->GetPixels() ||
        MeasureText(text, &size, nullptr, nullptr, false, nullptr) == 0) {
      return kTextNotReady;
    }
    const uint32_t color = uint32_t(alpha ? 0xFF000000u : 0) | uint32_t(textColor_.r) << 16 |
                           uint32_t(textColor_.g) << 8 | textColor_.b;
    Rect box;
    GetRotatedRect(&box, 0, 0, size.width, size.height);
    box = {box.left + x, box.top + y, box.right + x, box.bottom + y};
    for (int32_t row = std::max(box.top, 0); row < std::min(box.bottom, surface->GetHeight());
         ++row)
      for (int32_t col = std::max(box.left, 0); col < std::min(box.right, surface->GetWidth());
           ++col)
        std::memcpy(surface->GetRowPointer(row) + col * 4, &color, 4);
    if (rect) *rect = box;
    if (end) *end = {box.right, y};
    return kTextDone;
  }

  bool outline_;
};

class FakeTextRendererFactory : public TextRendererFactory {
 public:
  std::unique_ptr<TextRenderer> CreateGdiTextRenderer() override {
    return std::make_unique<FakeTextRenderer>(false);
  }
  std::unique_ptr<TextRenderer> CreateOutlineTextRenderer() override {
    return std::make_unique<FakeTextRenderer>(true);
  }
};

}  // namespace bw::testing_text
