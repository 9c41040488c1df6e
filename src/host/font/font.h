// Font objects made from a LOGFONTA, answering what the engine asks of a font selected into a
// device context: text metrics, glyph metrics and bitmaps of one CP932 character, and text
// extents. FreeType draws the installed outline faces. They have a regular design only, so a
// weight of FW_SEMIBOLD or more thickens the outline and italic slants it. Every call is safe
// from any thread.
//
// Sizes follow the system's rules: lfHeight < 0 asks for that character height (em size),
// lfHeight > 0 for that cell height (ascent + descent), 0 for kDefaultCharHeight. The
// escapement turns the glyphs counter-clockwise; text extents are measured along the baseline
// and do not turn.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/font/font_types.h"
#include "host/font/host_faces.h"

struct FT_FaceRec_;
struct FT_SizeRec_;

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
  int32_t endX = 0;  // where the pen stops on the baseline
  int32_t endY = 0;
};

class Font {
 public:
  static constexpr int32_t kDefaultCharHeight = 16;
  // Larger sizes are refused: one glyph would take more memory than a game ever needs.
  static constexpr int32_t kMaxPixelSize = 2048;
  static constexpr uint64_t kMaxBitmapBytes = 64ull << 20;

  ~Font();
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;

  const LOGFONTA& LogFont() const { return logFont_; }
  // The name mapping's answer and the family of the face that really draws (the mapped family
  // when installed, else fontconfig's nearest Japanese face).
  const HostFace& Face() const { return *hostFace_; }
  const std::string& InstalledFamily() const { return installedFamily_; }

  void GetTextMetricsA(TEXTMETRICA* metrics) const;

  // code: one CP932 character, a lead and trail byte as lead << 8 | trail. With GGO_METRICS
  // only the metrics are filled (answer 1). With a bitmap format and no buffer (or a buffer
  // size of 0) the answer is the buffer size the bitmap needs; with a buffer it is the size
  // written. Rows are top-down and padded to 4 bytes: GGO_BITMAP has 1 bit per pixel, most
  // significant first; the grey formats 1 byte per pixel, 0..4, 0..16 or 0..64. A blank glyph
  // (a space) answers 0 with a 1 x 1 black box, as the system does. GDI_ERROR for a code that
  // is no CP932 character, an unknown format, a missing metrics record or matrix, a buffer too
  // small, or a glyph that cannot be drawn (also one the matrix makes larger than
  // kMaxBitmapBytes).
  uint32_t GetGlyphOutlineA(uint32_t code, uint32_t format, GLYPHMETRICS* metrics,
                            uint32_t bufferSize, void* buffer, const MAT2* matrix) const;

  // The size of count bytes of CP932 text: the sum of the characters' advances by the cell
  // height. A byte that is no character measures as the face's missing-glyph sign. False for
  // a null text with a count, a negative count or a null size.
  bool GetTextExtentPoint32A(const char* text, int count, TextSize* size) const;

  // Draws count bytes of CP932 text with underline and strike-out as the font asks, in grey
  // for ANTIALIASED_QUALITY and CLEARTYPE_QUALITY, else in hard-edged 0 and 255. A character
  // that cannot be drawn is skipped. False for the arguments GetTextExtentPoint32A refuses and
  // for a mask larger than kMaxBitmapBytes.
  bool DrawTextMask(const char* text, int count, TextMask* mask) const;

 private:
  friend std::unique_ptr<Font> CreateFontIndirectA(const LOGFONTA& logFont);
  Font() = default;

  // Under the library's lock, with this font's size active.
  int32_t AdvanceLocked(uint32_t glyphIndex) const;
  // Loads and draws a glyph into the face's slot, where the bitmap stays until the next load.
  bool RenderLocked(uint32_t glyphIndex, bool mono, const MAT2& matrix, GLYPHMETRICS* metrics,
                    bool* blank) const;

  LOGFONTA logFont_;
  const HostFace* hostFace_ = nullptr;
  std::string installedFamily_;
  ::FT_FaceRec_* face_ = nullptr;  // shared, owned by the library
  ::FT_SizeRec_* size_ = nullptr;  // this font's own size on the face
  TEXTMETRICA metrics_;
  int32_t boldStrength_ = 0;  // pixels added to strokes and advances; 0 when not bold
  bool italic_ = false;
  // The underline's and strike-out's top edge above the baseline (y up) and thickness.
  int32_t underlineTop_ = 0;
  int32_t underlineSize_ = 1;
  int32_t strikeOutTop_ = 0;
  int32_t strikeOutSize_ = 1;
  double cos_ = 1.0;  // the escapement
  double sin_ = 0.0;
};

// Null when no face can be found or opened, or the size is out of range.
std::unique_ptr<Font> CreateFontIndirectA(const LOGFONTA& logFont);

}  // namespace bw::host
