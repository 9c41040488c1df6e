// The renderer that fetches each character's glyph from the font, keeps it in the glyph cache
// and blends it itself: grey levels, synthetic bold, a soft edge, a drop shadow, a vertical
// colour gradation and picture glyphs.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "graphics/pixel/pixel_format.h"
#include "graphics/text/glyph_cache.h"
#include "graphics/text/text_blend.h"
#include "graphics/text/text_renderer.h"
#include "graphics/text/text_texture.h"

namespace bw {

// Codes of CreateFont and the setters that call it.
constexpr int kOutlinePlainFontFailed = 1;
constexpr int kOutlineFontFailed = 2;  // also a height beyond the glyph source's largest
constexpr int kOutlineNoFace = 3;      // a null face, or one too long for the font record

class OutlineTextRenderer : public TextRenderer {
 public:
  OutlineTextRenderer(const host::GlyphSource& source, uint32_t cacheCapacity);
  ~OutlineTextRenderer() override;

  bool IsOutline() const override { return true; }
  void ReleaseFont() override;
  [[nodiscard]] int SetFont(int32_t height, bool bold, bool italic, const char* faceName) override;
  [[nodiscard]] int CreateFont() override;
  [[nodiscard]] int SetFaceName(const char* faceName) override;
  [[nodiscard]] int SetHeight(int32_t height) override;
  [[nodiscard]] int SetBoldItalic(bool bold, bool italic) override;
  [[nodiscard]] int SetOrientation(int32_t tenths) override;
  int MeasureText(const char* text, Size* size, int32_t* offsetX, int32_t* offsetY,
                  bool withDecoration, int32_t* glyphCount) override;
  void SetLogFont(const host::LOGFONTA& logFont) override;

  // The ramp builder's code when the ramp cannot be had (gradation then goes off).
  [[nodiscard]] int SetGradation(bool enable, uint32_t topColor, uint32_t bottomColor,
                                 bool rebuild);
  void SetEdge(int32_t strength, int32_t radius);
  // kTexture* codes; the renderer keeps working without picture glyphs on failure.
  [[nodiscard]] int SetTexture(const char* fileName, int32_t count, int32_t cellWidth,
                               int32_t cellHeight, int sets);
  // Null without a texture.
  TextTexture* GetTexture() { return texture_.get(); }
  // Characters as the draw operations see them ("@@" and "@" with its digits count one).
  int32_t CountGlyphs(const char* text) const;
  // Null when the glyph cannot be had even as a bitmap.
  GlyphRef GetGlyph(uint32_t code, int32_t size, bool edge, bool bold, bool italic,
                    bool fromTexture, int32_t picture = 0);
  // The same glyph without a hold on it, as a cache hit costs least: good until the renderer
  // next fetches or forgets a glyph.
  const GlyphBitmap* BorrowGlyph(uint32_t code, int32_t size, bool edge, bool bold, bool italic,
                                 bool fromTexture, int32_t picture = 0);

  // Set: bold glyphs keep the font's own weight and only bitmap fallbacks are thickened.
  void SetOwnBold(bool on) { ownBold_ = on; }
  bool GradationOn() const { return gradationOn_; }
  uint32_t GradationTop() const { return gradationTop_; }
  uint32_t GradationBottom() const { return gradationBottom_; }
  const GlyphCache& Cache() const { return cache_; }
  int32_t GetEdgeStrength() const { return edgeStrength_; }
  int32_t GetEdgeRadius() const { return edgeRadius_; }

 private:
  struct DrawState;
  [[nodiscard]] int Draw(DrawMode mode, Surface* surface, int32_t x, int32_t y, const char* text,
                         Rect* rect, Point* endPoint) override;
  void ForgetGlyphs() override;
  DrawState PrepareDraw(DrawMode mode, const TextPixels& target, Rect* rect) const;
  void FillLayerBox(const DrawState& state, const char* text, int32_t x, int32_t y);
  void PutEdge(const DrawState& state, const GlyphBitmap& edge, Point pen);
  void PutGlyph(DrawState& state, const GlyphBitmap& glyph, Point pen);
  GlyphRef RenderGlyph(uint32_t code, bool edge, bool bold);
  int32_t CharWidth(const char* bytes, size_t length) const;
  bool CachingOn() const { return cache_.Capacity() != 0; }
  // Sizes past the key's ten bits would be found under a small size's key.
  bool Cacheable(int32_t size) const {
    return CachingOn() && size >= 0 && size < GlyphCache::kKeyedSizes;
  }
  const GlyphRef* CachedGlyph(uint32_t code, int32_t size, bool edge, bool bold, bool italic);
  [[nodiscard]] int RebuildRamp();

  GlyphCache cache_;
  GlyphRef borrowed_;  // the last glyph lent that the cache does not hold
  std::unique_ptr<TextTexture> texture_;
  std::unique_ptr<host::GlyphFont> plainFont_;
  uint32_t gradationTop_ = 0xFFFFFF;
  uint32_t gradationBottom_ = 0;
  AlphaRampTable gradationRamp_;
  bool gradationOn_ = false;
  int32_t edgeStrength_ = 1024;
  int32_t edgeRadius_ = 2;
  int32_t baselineX_ = 0;
  int32_t baselineY_ = 0;
  bool ownBold_ = false;
};

}  // namespace bw
