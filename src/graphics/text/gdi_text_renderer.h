// The renderer that lets the device context draw: straight into a context, or through a
// temporary 8-bit picture whose coverage is then put onto a surface (at four times the size and
// folded down when smoothing is asked for). It adds underline, strike-out, the font quality and
// an opaque background.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "graphics/text/text_blend.h"
#include "graphics/text/text_renderer.h"
#include "host/gdi/memory_dc.h"

namespace bw {

constexpr int kGdiFontFailed = 1;  // also a height beyond the glyph source's largest
constexpr int kGdiNoFace = 2;      // a null face, or one too long for the font record
// Codes of DrawText and DrawTextLayer beyond kTextNotReady.
constexpr int kGdiNoPicture = 2;
constexpr int kGdiDrawFailed = 3;

class GdiTextRenderer : public TextRenderer {
 public:
  explicit GdiTextRenderer(const host::GlyphSource& source);
  ~GdiTextRenderer() override;

  bool IsOutline() const override { return false; }
  void ReleaseFont() override;
  [[nodiscard]] int SetFont(int32_t height, bool bold, bool italic, const char* faceName) override;
  [[nodiscard]] int CreateFont() override;
  [[nodiscard]] int SetFaceName(const char* faceName) override;
  [[nodiscard]] int SetHeight(int32_t height) override;
  [[nodiscard]] int SetBoldItalic(bool bold, bool italic) override;
  [[nodiscard]] int SetOrientation(int32_t tenths) override;
  int MeasureText(const char* text, Size* size, int32_t* offsetX, int32_t* offsetY,
                  bool withDecoration, int32_t* glyphCount) override;
  [[nodiscard]] int DrawTextToDc(host::MemoryDc* dc, int32_t x, int32_t y, const char* text,
                                 Rect* rect) override;

  [[nodiscard]] int SetUnderlineStrikeOut(bool underline, bool strikeOut);
  [[nodiscard]] int SetQuality(uint8_t quality);

 private:
  // The text drawn in white on black into an 8-bit picture, or folded from four times the
  // size: the coverage and where its top-left lies from the text origin.
  struct Coverage {
    std::unique_ptr<host::DibSection> section;
    int32_t left = 0, top = 0, width = 0, height = 0;
    ptrdiff_t pitch = 0;
    CoverageMask Mask() const;
  };
  // The coverages a draw puts down and where on the target.
  struct Ink {
    Coverage text;
    Coverage edgePass;          // an unfolded edged text's decoration
    std::vector<uint8_t> edge;  // the edge built around folded text
    CoverageMask textMask, decorationMask;
    int32_t textX = 0, textY = 0, decorationX = 0, decorationY = 0;
  };
  // DrawString is the outline renderer's alone: kTextNotReady here.
  [[nodiscard]] int Draw(DrawMode mode, Surface* surface, int32_t x, int32_t y, const char* text,
                         Rect* rect, Point* endPoint) override;
  // The renderer that paints the coverage: white on black, at four times the size when folded.
  [[nodiscard]] int PreparePainter(GdiTextRenderer& painter, bool folded) const;
  [[nodiscard]] int PaintInk(GdiTextRenderer& painter, const char* text, bool folded, int32_t x,
                             int32_t y, Ink* ink) const;
  void PutLayerInk(const TextPixels& target, const Ink& ink, bool folded, const Rect& box,
                   Rect* rect) const;
  void PutSurfaceInk(const TextPixels& target, const Ink& ink, bool folded, const Rect& box,
                     Rect* rect) const;
  Point EndPoint(const char* text, int32_t x, int32_t y) const;
  // kTextDone, kGdiNoPicture or kGdiDrawFailed.
  [[nodiscard]] static int Paint(GdiTextRenderer& painter, const char* text, bool folded,
                                 Coverage* out);
  std::vector<std::string_view> Lines(const char* text) const;
};

}  // namespace bw
