// The one interface every text goes through to be measured and drawn: a glyph-outline renderer
// that blends cached glyphs itself, and a GDI renderer that lets the device context draw. The
// concrete renderers live beside it; the display manager, the surfaces and the text layer reach
// them through this interface and make them through the factory that the application installs
// (Global<TextRendererFactory>), which holds the glyph source and the cache setting. Text is
// CP932, NUL-terminated; a null text is "no text".
#pragma once

#include <cstdint>
#include <memory>

#include "graphics/surface/quad_mapper.h"
#include "graphics/surface/surface.h"
#include "host/font/font_types.h"
#include "host/font/glyph_source.h"
#include "host/gdi/memory_dc.h"
#include "platform/rect.h"

namespace bw {

// Answers of the draw operations.
constexpr int kTextDone = 0;
// No font created, no surface, a surface without pixels or of a depth the operation does not
// draw, or an operation this kind of renderer does not have.
constexpr int kTextNotReady = 1;

// Answers of IsOutline as the kind number callers compare.
constexpr int kTextRendererGdi = 0;
constexpr int kTextRendererOutline = 1;

// Styles.
constexpr int kTextPlain = 0;
constexpr int kTextShadow = 1;
constexpr int kTextEdge = 2;

struct TextColor {
  uint8_t r = 0;
  uint8_t g = 0;
  uint8_t b = 0;
  friend bool operator==(const TextColor&, const TextColor&) = default;
};

class TextRenderer {
 public:
  // The font is made through source, which must outlive the renderer.
  explicit TextRenderer(const host::GlyphSource& source);
  TextRenderer(const TextRenderer&) = delete;
  TextRenderer& operator=(const TextRenderer&) = delete;

  // Slot 0.
  virtual ~TextRenderer();
  // Slot 1.
  virtual bool IsOutline() const = 0;
  int Kind() const { return IsOutline() ? kTextRendererOutline : kTextRendererGdi; }
  // Slot 2: the font and its device contexts go.
  virtual void ReleaseFont() = 0;
  // Slot 3: the set-up the display manager calls after construction; faceName null keeps the
  // face. A non-zero code means the renderer has no font.
  [[nodiscard]] virtual int SetFont(int32_t height, bool bold, bool italic,
                                    const char* faceName) = 0;
  // Slot 4.
  [[nodiscard]] virtual int CreateFont() = 0;
  // Slot 5.
  [[nodiscard]] virtual int SetFaceName(const char* faceName) = 0;
  // Slot 6.
  [[nodiscard]] virtual int SetHeight(int32_t height) = 0;
  // Slot 7.
  [[nodiscard]] virtual int SetBoldItalic(bool bold, bool italic) = 0;
  // Slot 8: tenths of a degree, counter-clockwise.
  [[nodiscard]] virtual int SetOrientation(int32_t tenths) = 0;
  // Slot 9: 0 hard-edged, 1 17 grey levels, 2 65 grey levels.
  virtual void SetAntialiasLevel(int level);
  // Slot 10: the number of lines (0 without text or font). size gets the unturned box; with
  // decoration the offsets get where the box starts relative to the text origin (0 or less).
  virtual int MeasureText(const char* text, Size* size, int32_t* offsetX, int32_t* offsetY,
                          bool withDecoration, int32_t* glyphCount) = 0;
  // Slot 11: draws onto an 8- or 32-bit picture (a DIB or image surface, or the picture of a
  // surface layer) at (x, y). rect gets the drawn box, endPoint where the pen stopped.
  [[nodiscard]] virtual int DrawText(Surface* surface, int32_t x, int32_t y, const char* text,
                                     Rect* rect, Point* endPoint);
  // Slot 12: colour plus coverage into a 32-bit picture (kTextNotReady at other depths).
  [[nodiscard]] virtual int DrawTextLayer(Surface* surface, int32_t x, int32_t y, const char* text,
                                          Rect* rect, Point* endPoint);

  // The colour and the alpha of a 32-bit picture, for text images with transparency. Only the
  // outline renderer has it; the GDI renderer answers kTextNotReady.
  [[nodiscard]] virtual int DrawString(Surface* surface, int32_t x, int32_t y, const char* text,
                                       Rect* rect, Point* endPoint);
  // Draws with the device context's own text drawing (x, y the top-left of the first line);
  // rect gets the covered box. Only the GDI renderer has it; the outline renderer answers
  // kTextNotReady, as does the GDI renderer without font, context or text.
  [[nodiscard]] virtual int DrawTextToDc(host::MemoryDc* dc, int32_t x, int32_t y, const char* text,
                                         Rect* rect);
  // Takes over a whole font description without creating the font (call CreateFont next); the
  // outline renderer forgets its cached glyphs.
  virtual void SetLogFont(const host::LOGFONTA& logFont);

  // The bounding box of the width x height box whose top-left corner is (x, y), turned with it
  // by the orientation about (0, 0). A plain rectangle at angle 0 or without the sine table.
  void GetRotatedRect(Rect* out, int32_t x, int32_t y, int32_t width, int32_t height) const;

  bool HasFont() const { return font_ != nullptr; }
  const host::GlyphFont* GetFont() const { return font_.get(); }
  const host::LOGFONTA& GetLogFont() const { return logFont_; }
  const host::GlyphSource& GetGlyphSource() const { return source_; }

  // 0 (as constructed): the text is drawn through device contexts; set: the renderer may draw
  // onto surfaces directly (smoothed).
  uint8_t GetSmoothing() const { return smoothing_; }
  void SetSmoothing(uint8_t smoothing) { smoothing_ = smoothing; }
  int GetAntialiasLevel() const { return antialiasLevel_; }
  TextColor GetTextColor() const { return textColor_; }
  void SetTextColor(uint8_t r, uint8_t g, uint8_t b) { textColor_ = {r, g, b}; }
  int GetStyle() const { return style_; }
  void SetStyle(int style) { style_ = uint8_t(style); }
  TextColor GetDecorationColor() const { return decorationColor_; }
  void SetDecorationColor(uint8_t r, uint8_t g, uint8_t b) { decorationColor_ = {r, g, b}; }
  int32_t GetShadowOffsetX() const { return shadowOffsetX_; }
  int32_t GetShadowOffsetY() const { return shadowOffsetY_; }
  void SetShadowOffset(int32_t x, int32_t y) { shadowOffsetX_ = x, shadowOffsetY_ = y; }
  int32_t GetLineSpacing() const { return lineSpacing_; }
  void SetLineSpacing(int32_t spacing) { lineSpacing_ = spacing; }
  // The background of opaque GDI text; transparent (1) in a new renderer.
  void SetBackColor(bool transparent, uint8_t r, uint8_t g, uint8_t b) {
    transparentBack_ = transparent ? 1 : 0, backColor_ = {r, g, b};
  }
  bool IsTransparentBack() const { return transparentBack_ != 0; }
  TextColor GetBackColor() const { return backColor_; }

 protected:
  // The three draw operations above, in one routine of each renderer.
  enum class DrawMode { kText, kLayer, kString };
  [[nodiscard]] virtual int Draw(DrawMode mode, Surface* surface, int32_t x, int32_t y,
                                 const char* text, Rect* rect, Point* endPoint) = 0;
  // The look of the glyphs changes: what a renderer keeps of them goes.
  virtual void ForgetGlyphs() {}
  // The orientation as the 512-step table turns it: false at step 0 or without the table (the
  // text runs unturned); else the 16.16 cosine and sine.
  bool Turn(int32_t* cosine, int32_t* sine) const;

  const host::GlyphSource& source_;
  std::unique_ptr<host::GlyphFont> font_;
  std::unique_ptr<host::MemoryDc> dc_;
  host::LOGFONTA logFont_;
  uint8_t antialiasLevel_ = 2;
  TextColor textColor_{255, 255, 255};
  uint8_t style_ = kTextPlain;
  TextColor decorationColor_{0, 0, 0};
  int32_t shadowOffsetX_ = 0;
  int32_t shadowOffsetY_ = 0;
  int32_t lineSpacing_ = 0;
  TextColor backColor_{0, 255, 0};
  uint8_t transparentBack_ = 1;
  uint8_t smoothing_ = 0;
};

// Makes renderers for the display manager and the surfaces; the application installs it as
// Global<TextRendererFactory>. Null when the renderer cannot be had. The new renderer has no
// font until its SetFont or CreateFont succeeds.
class TextRendererFactory {
 public:
  virtual ~TextRendererFactory() = default;
  virtual std::unique_ptr<TextRenderer> CreateGdiTextRenderer() = 0;
  virtual std::unique_ptr<TextRenderer> CreateOutlineTextRenderer() = 0;
};

}  // namespace bw
