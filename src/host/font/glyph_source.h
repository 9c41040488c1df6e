// The one way text renderers reach fonts: a glyph source makes fonts from a LOGFONTA, and a font
// answers what the engine asks of a font selected into a device context (text metrics, the
// metrics and bitmap of one CP932 glyph through a transform, text extents) and draws a run as a
// coverage mask for TextOutA. FreeTypeGlyphSource() draws the installed faces; tests use the
// fixed-metric fake (fake_glyph_source.h).
//
// A renderer creates its font with CreateFont (null: code 2 of its CreateFont), reads
// GetTextMetricsA for the ascent, asks GetGlyphOutlineA first for the buffer size of a grey
// format and, when that fails (a face without outlines), for GGO_BITMAP through a matrix scaled
// by 4 or 8, then fetches the bitmap and places it at the pen plus gmptGlyphOrigin; it measures
// each character's advance with GetTextExtentPoint32A.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "host/font/font_types.h"

namespace bw::host {

struct TextSize {
  int32_t cx = 0;
  int32_t cy = 0;
};

// A run of text as one coverage mask: what TextOutA paints in the text colour. Positions are
// in pixels, y down, from the reference point: the top-left corner of the first character
// cell, about which the run is turned by the escapement.
struct TextMask {
  int32_t left = 0;  // the mask's top-left corner
  int32_t top = 0;
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> coverage;  // width x height, top row first, 0..255
  int32_t endX = 0;               // where the pen stops on the baseline
  int32_t endY = 0;
};

// The underline's and strike-out's top edge above the baseline (y up) and thickness, in pixels.
struct TextLines {
  int32_t underlineTop = 0;
  int32_t underlineSize = 1;
  int32_t strikeOutTop = 0;
  int32_t strikeOutSize = 1;
};

class GlyphFont {
 public:
  virtual ~GlyphFont() = default;

  virtual const LOGFONTA& LogFont() const = 0;
  virtual void GetTextMetricsA(TEXTMETRICA* metrics) const = 0;
  virtual TextLines Lines() const = 0;

  // code: one CP932 character, a lead and trail byte as lead << 8 | trail. With GGO_METRICS
  // only the metrics are filled (answer 1). With a bitmap format and no buffer (or a buffer
  // size of 0) the answer is the buffer size the bitmap needs; with a buffer it is the size
  // written. Rows are top-down and padded to 4 bytes: GGO_BITMAP has 1 bit per pixel, most
  // significant first; the grey formats 1 byte per pixel, 0..4, 0..16 or 0..64. The matrix
  // applies in y-up glyph space before the escapement turns the glyph; gmCellIncX/Y is the
  // advance through both. A blank glyph (a space) answers 0 with a 1 x 1 black box. GDI_ERROR
  // for a code that is no CP932 character, an unknown format, a missing metrics record or
  // matrix, a buffer too small, a grey format on a face without outlines, or a glyph that
  // cannot be drawn.
  [[nodiscard]] virtual uint32_t GetGlyphOutlineA(uint32_t code, uint32_t format,
                                                  GLYPHMETRICS* metrics, uint32_t bufferSize,
                                                  void* buffer, const MAT2* matrix) const = 0;

  // The size of count bytes of CP932 text: the sum of the characters' advances by the cell
  // height, along the baseline whatever the escapement. False for a null text with a count, a
  // negative count or a null size.
  [[nodiscard]] virtual bool GetTextExtentPoint32A(const char* text, int count,
                                                   TextSize* size) const = 0;

  // Draws count bytes of CP932 text, turned by the escapement, with underline and strike-out as
  // the font asks: in grey for ANTIALIASED_QUALITY and CLEARTYPE_QUALITY (hard-edged where the
  // face has no outlines), else in hard-edged 0 and 255. A character that cannot be drawn is
  // skipped. False for the arguments GetTextExtentPoint32A refuses and for a mask larger than
  // kMaxMaskBytes.
  [[nodiscard]] bool DrawTextMask(const char* text, int count, TextMask* mask) const;

  static constexpr uint64_t kMaxMaskBytes = 64ull << 20;
};

class GlyphSource {
 public:
  virtual ~GlyphSource() = default;
  // The largest character or cell height (abs(lfHeight), and abs(lfWidth)) it makes fonts of.
  virtual int32_t MaxHeight() const = 0;
  // Null when the face cannot be found or opened, or the size is out of range.
  virtual std::unique_ptr<GlyphFont> CreateFont(const LOGFONTA& logFont) const = 0;
};

// The installed faces through FreeType and fontconfig (font.h).
const GlyphSource& FreeTypeGlyphSource();

// cos and sin of an angle in tenths of a degree, counter-clockwise, exact at the quarter turns.
void TurnTenths(int32_t tenths, double* cosine, double* sine);

}  // namespace bw::host
