// Font objects made from a LOGFONTA, answering what the engine asks of a font selected into a
// device context: text metrics, glyph metrics and bitmaps of one CP932 character, and text
// extents. FreeType draws the installed outline faces; a face without a bold or italic design
// gets them synthesised (a thickened outline, a slanted outline). Every call is safe from any
// thread.
//
// Sizes follow the system's rules: lfHeight < 0 asks for that character height (em size),
// lfHeight > 0 for that cell height (ascent + descent), 0 for kDefaultCharHeight. The
// escapement turns the glyphs counter-clockwise; text extents are measured along the baseline
// and do not turn.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "host/font/font_types.h"
#include "host/font/host_faces.h"

struct FT_FaceRec_;
struct FT_SizeRec_;

namespace bw::host {

struct TextSize {
  int32_t cx = 0;
  int32_t cy = 0;
};

class Font {
 public:
  static constexpr int32_t kDefaultCharHeight = 16;
  // Larger sizes are refused: one glyph would take more memory than a game ever needs.
  static constexpr int32_t kMaxPixelSize = 2048;

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
  // small, or a glyph that cannot be drawn.
  uint32_t GetGlyphOutlineA(uint32_t code, uint32_t format, GLYPHMETRICS* metrics,
                            uint32_t bufferSize, void* buffer, const MAT2* matrix) const;

  // The size of count bytes of CP932 text: the sum of the characters' advances by the cell
  // height. A byte that is no character measures as the face's missing-glyph sign. False for
  // a null text with a count, a negative count or a null size.
  bool GetTextExtentPoint32A(const char* text, int count, TextSize* size) const;

 private:
  friend std::unique_ptr<Font> CreateFontIndirectA(const LOGFONTA& logFont);
  Font() = default;

  int32_t AdvanceLocked(uint32_t glyphIndex) const;

  LOGFONTA logFont_;
  const HostFace* hostFace_ = nullptr;
  std::string installedFamily_;
  ::FT_FaceRec_* face_ = nullptr;  // shared, owned by the library
  ::FT_SizeRec_* size_ = nullptr;  // this font's own size on the face
  TEXTMETRICA metrics_;
  int32_t boldStrength_ = 0;  // pixels added to strokes and advances; 0 when not bold
  bool italic_ = false;
  double cos_ = 1.0;  // the escapement
  double sin_ = 0.0;
};

// Null when no face can be found or opened, or the size is out of range.
std::unique_ptr<Font> CreateFontIndirectA(const LOGFONTA& logFont);

}  // namespace bw::host
