#include "graphics/text/outline_text_renderer.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string_view>

#include "graphics/pixel/text_kernels.h"
#include "graphics/text/text_angles.h"
#include "graphics/text/text_rules.h"
#include "platform/mmx_flag.h"

namespace bw {
namespace {

constexpr int32_t kBoldWeight = host::FW_BOLD;
// Synthetic bold never widens a glyph by more than this.
constexpr int kMaxThickening = 8;

// A glyph bitmap of the font's formats unpacked to one byte per pixel (0/1 or the grey level).
struct RawGlyph {
  int32_t width = 0, height = 0;
  std::vector<uint8_t> values;
  uint8_t& At(int32_t x, int32_t y) { return values[size_t(y) * size_t(width) + size_t(x)]; }
};

RawGlyph Unpack(const std::vector<uint8_t>& buffer, int32_t width, int32_t height, bool bits) {
  RawGlyph raw{width, height, std::vector<uint8_t>(size_t(width) * size_t(height))};
  const size_t pitch = bits ? (size_t(width) + 31) / 32 * 4 : (size_t(width) + 3) / 4 * 4;
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* row = buffer.data() + size_t(y) * pitch;
    for (int32_t x = 0; x < width; ++x) {
      raw.At(x, y) = bits ? (row[x >> 3] >> (7 - (x & 7))) & 1 : row[x];
    }
  }
  return raw;
}

// Each pixel the maximum of the t + 1 source pixels ending at it; t columns wider.
RawGlyph Thicken(const RawGlyph& in, int t) {
  RawGlyph out{in.width + t, in.height, std::vector<uint8_t>(size_t(in.width + t) * in.height)};
  for (int32_t y = 0; y < in.height; ++y) {
    const uint8_t* src = in.values.data() + size_t(y) * size_t(in.width);
    for (int32_t x = 0; x < out.width; ++x) {
      uint8_t v = 0;
      for (int32_t k = std::max(0, x - t); k <= std::min(x, in.width - 1); ++k) {
        v = std::max(v, src[k]);
      }
      out.At(x, y) = v;
    }
  }
  return out;
}

// Bits counted in factor x factor blocks.
RawGlyph Reduce(RawGlyph& in, int factor) {
  RawGlyph out{(in.width + factor - 1) / factor, (in.height + factor - 1) / factor, {}};
  out.values.assign(size_t(out.width) * size_t(out.height), 0);
  for (int32_t y = 0; y < in.height; ++y) {
    for (int32_t x = 0; x < in.width; ++x) out.At(x / factor, y / factor) += in.At(x, y);
  }
  return out;
}

}  // namespace

OutlineTextRenderer::OutlineTextRenderer(const host::GlyphSource& source, uint32_t cacheCapacity)
    : TextRenderer(source), cache_(cacheCapacity & 0xFFFF) {}

OutlineTextRenderer::~OutlineTextRenderer() {
  OutlineTextRenderer::ReleaseFont();
}

void OutlineTextRenderer::ReleaseFont() {
  plainFont_.reset();
  dc_.reset();
  font_.reset();
}

int OutlineTextRenderer::SetFont(int32_t height, bool bold, bool italic, const char* faceName) {
  if (faceName && !FaceNameFits(faceName)) return kOutlineNoFace;
  if (HeightTooLarge(height, source_)) return kOutlineFontFailed;
  if (faceName) {
    ForgetGlyphs();
    CopyFaceName(&logFont_, faceName);
  }
  const int32_t h = -std::abs(height);
  const bool heightChanged = h != logFont_.lfHeight;
  logFont_.lfHeight = h;
  // A ramp that cannot be had turns the gradation off.
  if (heightChanged && gradationOn_) (void)RebuildRamp();
  logFont_.lfItalic = italic ? 1 : 0;
  logFont_.lfWeight = bold ? kBoldWeight : host::FW_NORMAL;
  return CreateFont();
}

int OutlineTextRenderer::CreateFont() {
  if (logFont_.lfWeight == kBoldWeight) {
    host::LOGFONTA plain = logFont_;
    plain.lfWeight = host::FW_NORMAL;
    auto twin = source_.CreateFont(plain);
    if (!twin) {
      ReleaseFont();
      return kOutlinePlainFontFailed;
    }
    plainFont_ = std::move(twin);
  } else {
    plainFont_.reset();
  }
  auto font = source_.CreateFont(logFont_);
  if (!font) {
    ReleaseFont();
    return kOutlineFontFailed;
  }
  font_ = std::move(font);
  host::TEXTMETRICA metrics;
  font_->GetTextMetricsA(&metrics);
  int32_t c = 0, s = 0;
  if (!Turn(&c, &s)) {
    baselineX_ = 0;
    baselineY_ = metrics.tmAscent;
  } else {
    baselineX_ = MulFixed(metrics.tmAscent, s);
    baselineY_ = MulFixed(metrics.tmAscent, c);
  }
  return 0;
}

int OutlineTextRenderer::SetFaceName(const char* faceName) {
  if (!FaceNameFits(faceName)) return kOutlineNoFace;
  if (std::strncmp(faceName, logFont_.lfFaceName, host::kLfFaceSize) == 0) return 0;
  ForgetGlyphs();
  CopyFaceName(&logFont_, faceName);
  return CreateFont();
}

int OutlineTextRenderer::SetHeight(int32_t height) {
  if (HeightTooLarge(height, source_)) return kOutlineFontFailed;
  const int32_t h = -std::abs(height);
  if (h == logFont_.lfHeight) return 0;
  logFont_.lfHeight = h;
  // A ramp that cannot be had turns the gradation off.
  if (gradationOn_) (void)RebuildRamp();
  return CreateFont();
}

int OutlineTextRenderer::SetBoldItalic(bool bold, bool italic) {
  const int32_t weight = bold ? kBoldWeight : host::FW_NORMAL;
  if (weight == logFont_.lfWeight && logFont_.lfItalic == (italic ? 1 : 0)) return 0;
  logFont_.lfWeight = weight;
  logFont_.lfItalic = italic ? 1 : 0;
  return CreateFont();
}

int OutlineTextRenderer::SetOrientation(int32_t tenths) {
  if (tenths == logFont_.lfOrientation && tenths == logFont_.lfEscapement) return 0;
  ForgetGlyphs();
  logFont_.lfOrientation = logFont_.lfEscapement = tenths;
  if (texture_) texture_->SetOrientation(tenths);
  return CreateFont();
}

void OutlineTextRenderer::ForgetGlyphs() {
  borrowed_.reset();
  if (CachingOn()) cache_.Clear();
}

void OutlineTextRenderer::SetLogFont(const host::LOGFONTA& logFont) {
  ForgetGlyphs();
  TextRenderer::SetLogFont(logFont);
  if (texture_) texture_->SetOrientation(logFont_.lfOrientation);
}

int OutlineTextRenderer::RebuildRamp() {
  const int rc = gradationRamp_.Build(std::abs(logFont_.lfHeight), int32_t(gradationTop_),
                                      int32_t(gradationBottom_), 32);
  if (rc != kRampDone) gradationOn_ = false;
  return rc;
}

int OutlineTextRenderer::SetGradation(bool enable, uint32_t topColor, uint32_t bottomColor,
                                      bool rebuild) {
  if (enable) {
    gradationTop_ = topColor & 0xFFFFFF;
    gradationBottom_ = bottomColor & 0xFFFFFF;
    const bool differs = gradationRamp_.Count() != std::abs(logFont_.lfHeight) ||
                         uint32_t(gradationRamp_.Start()) != gradationTop_ ||
                         uint32_t(gradationRamp_.End()) != gradationBottom_ ||
                         !gradationRamp_.Colors();
    if (rebuild && differs) {
      const int rc = RebuildRamp();
      if (rc != kRampDone) return rc;
    }
  }
  gradationOn_ = enable;
  return 0;
}

void OutlineTextRenderer::SetEdge(int32_t strength, int32_t radius) {
  if (strength == edgeStrength_ && radius == edgeRadius_) return;
  ForgetGlyphs();
  edgeStrength_ = strength;
  edgeRadius_ = radius;
  if (texture_) texture_->SetEdge(strength, radius);
}

int OutlineTextRenderer::SetTexture(const char* fileName, int32_t count, int32_t cellWidth,
                                    int32_t cellHeight, int sets) {
  if (!texture_) {
    texture_ = std::make_unique<TextTexture>(logFont_.lfOrientation);
    texture_->SetEdge(edgeStrength_, edgeRadius_);
  }
  return texture_->Load(fileName, count, cellWidth, cellHeight, sets);
}

int32_t OutlineTextRenderer::CountGlyphs(const char* text) const {
  if (!text) return 0;
  const std::string_view s(text);
  int32_t count = 0;
  TextUnit unit;
  for (size_t pos = 0; NextTextUnit(s, pos, &unit);) {
    if (unit.kind != TextUnit::Kind::kNewline) ++count;
  }
  return count;
}

int32_t OutlineTextRenderer::CharWidth(const char* bytes, size_t length) const {
  const bool bold = logFont_.lfWeight == kBoldWeight && plainFont_;
  const host::GlyphFont& font = bold ? *plainFont_ : *font_;
  host::TextSize size;
  if (!font.GetTextExtentPoint32A(bytes, int(length), &size)) return 0;
  return bold ? Clamp32(int64_t(size.cx) + size.cx / 50 + 1) : size.cx;
}

const GlyphRef* OutlineTextRenderer::CachedGlyph(uint32_t code, int32_t size, bool edge, bool bold,
                                                 bool italic) {
  if (!Cacheable(size)) return nullptr;
  return cache_.Lookup(GlyphCache::Key(code, size, edge, bold, italic),
                       GlyphCache::Hash(code, size, edge, bold, italic));
}

GlyphRef OutlineTextRenderer::GetGlyph(uint32_t code, int32_t size, bool edge, bool bold,
                                       bool italic, bool fromTexture, int32_t picture) {
  if (fromTexture) return texture_ ? texture_->GetCell(picture, antialiasLevel_, edge) : nullptr;
  if (const GlyphRef* hit = CachedGlyph(code, size, edge, bold, italic)) return *hit;
  GlyphRef glyph;
  try {
    glyph = RenderGlyph(code, edge, bold);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  if (glyph && Cacheable(size)) {
    cache_.Insert(GlyphCache::Key(code, size, edge, bold, italic),
                  GlyphCache::Hash(code, size, edge, bold, italic), glyph);
  }
  return glyph;
}

const GlyphBitmap* OutlineTextRenderer::BorrowGlyph(uint32_t code, int32_t size, bool edge,
                                                    bool bold, bool italic, bool fromTexture,
                                                    int32_t picture) {
  if (!fromTexture) {
    if (const GlyphRef* hit = CachedGlyph(code, size, edge, bold, italic)) return hit->get();
  }
  borrowed_ = GetGlyph(code, size, edge, bold, italic, fromTexture, picture);
  return borrowed_.get();
}

GlyphRef OutlineTextRenderer::RenderGlyph(uint32_t code, bool edge, bool bold) {
  if (!font_) return nullptr;
  const host::GlyphFont& font = *font_;
  const int level = antialiasLevel_;
  host::MAT2 matrix;
  host::GLYPHMETRICS gm;
  uint32_t format = level == 0   ? host::GGO_BITMAP
                    : level == 1 ? host::GGO_GRAY4_BITMAP
                                 : host::GGO_GRAY8_BITMAP;
  int shift = 0;
  uint32_t need = font.GetGlyphOutlineA(code, format, &gm, 0, nullptr, &matrix);
  if (need == host::GDI_ERROR && level != 0) {
    // A face without outlines: its bitmap at 4 or 8 times the size, counted down below.
    shift = level == 1 ? 2 : 3;
    matrix.eM11 = matrix.eM22 = host::FixedFromInt(int16_t(1 << shift));
    format = host::GGO_BITMAP;
    need = font.GetGlyphOutlineA(code, format, &gm, 0, nullptr, &matrix);
  }
  if (need == host::GDI_ERROR) return nullptr;
  const bool fallback = shift != 0;

  auto glyph = std::make_shared<GlyphBitmap>();
  char bytes[2] = {char(code >> 8), char(code & 0xFF)};
  const bool twoBytes = code > 0xFF;
  const int32_t w = CharWidth(twoBytes ? bytes : bytes + 1, twoBytes ? 2 : 1);
  int32_t c = 0, s = 0;
  if (logFont_.lfOrientation == kVerticalAngle) {
    glyph->advanceY = w;
  } else if (Turn(&c, &s)) {
    glyph->advanceX = MulFixed(w, c);
    glyph->advanceY = -MulFixed(w, s);
  } else {
    glyph->advanceX = w;
  }
  glyph->originX = (gm.gmptGlyphOrigin.x >> shift) + baselineX_;
  glyph->originY = baselineY_ - (gm.gmptGlyphOrigin.y >> shift);
  if (need == 0) return glyph;  // a blank: it moves the pen only

  std::vector<uint8_t> buffer(need);
  if (font.GetGlyphOutlineA(code, format, &gm, need, buffer.data(), &matrix) == host::GDI_ERROR) {
    return nullptr;
  }
  RawGlyph raw =
      Unpack(buffer, int32_t(gm.gmBlackBoxX), int32_t(gm.gmBlackBoxY), format == host::GGO_BITMAP);
  if (bold && (fallback || !ownBold_)) {
    const int t = int(std::min<int64_t>((int64_t(std::abs(logFont_.lfHeight)) << shift) / 50 + 1,
                                        kMaxThickening));
    raw = Thicken(raw, t);
    glyph->originX -= (t / 2) >> shift;
  }
  if (fallback) raw = Reduce(raw, 1 << shift);
  glyph->width = raw.width;
  glyph->height = raw.height;
  glyph->pitch = GlyphPitch(raw.width);
  glyph->pixels.assign(size_t(glyph->pitch) * size_t(raw.height), 0);
  for (int32_t y = 0; y < raw.height; ++y) {
    uint8_t* row = glyph->pixels.data() + size_t(y) * size_t(glyph->pitch);
    for (int32_t x = 0; x < raw.width; ++x) {
      const uint8_t v = raw.At(x, y);
      row[x] = level == 0 ? (v ? 255 : 0) : v;
    }
  }
  if (level != 0 && raw.width > 0 && raw.height > 0) {
    auto scale = MmxEnabled() ? ScaleGreyRowsMmx : ScaleGreyRows;
    scale(glyph->pixels.data(), glyph->pitch - raw.width, raw.width, raw.height,
          GreyLevelShift(level));
  }
  if (!edge) return glyph;
  return MakeEdgeGlyph(*glyph, level == 0, edgeRadius_, edgeStrength_);
}

int OutlineTextRenderer::MeasureText(const char* text, Size* size, int32_t* offsetX,
                                     int32_t* offsetY, bool withDecoration, int32_t* glyphCount) {
  if (!text || !font_) return 0;
  const std::string_view s(text);
  const int64_t lineHeight = std::abs(logFont_.lfHeight);
  int64_t lineWidth = 0, width = 0, height = 0;
  int32_t lines = 1, glyphs = 0;
  TextUnit unit;
  for (size_t pos = 0; NextTextUnit(s, pos, &unit);) {
    switch (unit.kind) {
      case TextUnit::Kind::kNewline:
        width = std::max(width, lineWidth);
        lineWidth = 0;
        height += lineHeight + lineSpacing_;
        lines = lines == INT32_MAX ? lines : lines + 1;
        continue;
      case TextUnit::Kind::kPicture:
        lineWidth += texture_ ? texture_->CellWidth() : 0;
        break;
      case TextUnit::Kind::kChar:
        lineWidth += CharWidth(text + unit.pos, unit.length);
        break;
    }
    ++glyphs;
  }
  width = std::max(width, lineWidth);
  height += lineHeight;
  if (logFont_.lfItalic) width += lineHeight / 3;
  int32_t ox = 0, oy = 0;
  if (withDecoration) {
    AddDecoration({style_, shadowOffsetX_, shadowOffsetY_, bw::EdgeRadius(edgeRadius_)}, &width,
                  &height, &ox, &oy);
  }
  if (size) *size = {Clamp32(width), Clamp32(height)};
  if (offsetX) *offsetX = ox;
  if (offsetY) *offsetY = oy;
  if (glyphCount) *glyphCount = glyphs;
  return lines;
}

}  // namespace bw
