// Font objects made from a LOGFONTA, answering what the engine asks of a font selected into a
// device context: text metrics, glyph metrics and bitmaps of one CP932 character, and text
// extents. FreeType draws the installed outline faces. They have a regular design only, so a
// weight of FW_SEMIBOLD or more thickens the outline and italic slants it. Every call is safe
// from any thread.
//
// Sizes follow the system's rules: lfHeight < 0 asks for that character height (em size),
// lfHeight > 0 for that cell height (ascent + descent), 0 for kDefaultCharHeight. The
// escapement turns the glyphs counter-clockwise; text extents are measured along the baseline
// and do not turn. A face name with a leading "@" names the same face for vertical writing:
// its double-byte characters take their vertical forms and stand a quarter turn
// counter-clockwise from the line, centred in their cells, so at 2700 they stand upright while
// single bytes turn with the line.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/font/font_types.h"
#include "host/font/glyph_source.h"
#include "host/font/host_faces.h"

struct FT_FaceRec_;
struct FT_SizeRec_;

namespace bw::host {

class Font : public GlyphFont {
 public:
  static constexpr int32_t kDefaultCharHeight = 16;
  // Larger sizes are refused: one glyph would take more memory than a game ever needs.
  static constexpr int32_t kMaxPixelSize = 2048;
  static constexpr uint64_t kMaxBitmapBytes = kMaxMaskBytes;

  ~Font() override;
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;

  const LOGFONTA& LogFont() const override { return logFont_; }
  // The name mapping's answer and the family of the face that really draws (the mapped family
  // when installed, else fontconfig's nearest Japanese face).
  const HostFace& Face() const { return *hostFace_; }
  const std::string& InstalledFamily() const { return installedFamily_; }
  bool Vertical() const { return vertical_; }

  void GetTextMetricsA(TEXTMETRICA* metrics) const override;
  TextLines Lines() const override { return lines_; }
  // Grey bitmaps are FreeType's 256 levels scaled to the format's; a glyph the matrix makes
  // larger than kMaxBitmapBytes answers GDI_ERROR.
  [[nodiscard]] uint32_t GetGlyphOutlineA(uint32_t code, uint32_t format, GLYPHMETRICS* metrics,
                                          uint32_t bufferSize, void* buffer,
                                          const MAT2* matrix) const override;
  // A byte that is no character measures as the face's missing-glyph sign.
  [[nodiscard]] bool GetTextExtentPoint32A(const char* text, int count,
                                           TextSize* size) const override;

 private:
  friend std::unique_ptr<Font> CreateFontIndirectA(const LOGFONTA& logFont);
  Font() = default;

  // Under the library's lock, with this font's size active.
  int32_t AdvanceLocked(uint32_t glyphIndex) const;
  // The glyph that draws a CP932 code, and whether it stands upright in a vertical face.
  uint32_t GlyphLocked(uint32_t code, char32_t c, bool* upright) const;
  // Loads and draws a glyph into the face's slot, where the bitmap stays until the next load.
  [[nodiscard]] bool RenderLocked(uint32_t glyphIndex, bool upright, bool mono, const MAT2& matrix,
                                  GLYPHMETRICS* metrics, bool* blank) const;

  LOGFONTA logFont_;
  const HostFace* hostFace_ = nullptr;
  bool vertical_ = false;
  std::string installedFamily_;
  ::FT_FaceRec_* face_ = nullptr;  // shared, owned by the library
  ::FT_SizeRec_* size_ = nullptr;  // this font's own size on the face
  TEXTMETRICA metrics_;
  int32_t boldStrength_ = 0;  // pixels added to strokes and advances; 0 when not bold
  bool italic_ = false;
  TextLines lines_;
  double cos_ = 1.0;  // the escapement
  double sin_ = 0.0;
};

// Null when no face can be found or opened, or the size is out of range.
std::unique_ptr<Font> CreateFontIndirectA(const LOGFONTA& logFont);

}  // namespace bw::host
