#include "host/font/font.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_ADVANCES_H
#include FT_OUTLINE_H
#include FT_SIZES_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>
#include <optional>
#include <string_view>

#include "common/sjis.h"
#include "host/cp932.h"
#include "host/font/font_library.h"

namespace bw::host {
namespace {

constexpr int32_t kDigitizedAspect = 96;
// The slant of synthesised italics: x grows by this much of y (16.16), about 12 degrees.
constexpr FT_Fixed kItalicShear = 0x0366A;
constexpr uint8_t kFirstChar = 0x20;
constexpr uint8_t kLastChar = 0xFF;
constexpr uint8_t kDefaultChar = 0x1F;
constexpr uint8_t kBreakChar = 0x20;
constexpr uint32_t kMetricsAnswer = 1;

int64_t RoundDiv(int64_t numerator, int64_t denominator) {
  return numerator >= 0 ? (numerator + denominator / 2) / denominator
                        : -((-numerator + denominator / 2) / denominator);
}

// Decodes one UTF-8 sequence that our own codec produced.
char32_t DecodeUtf8(std::string_view s) {
  auto byte = [&](size_t i) { return static_cast<uint8_t>(s[i]); };
  uint8_t b0 = byte(0);
  if (b0 < 0x80) return b0;
  if (b0 < 0xE0) return static_cast<char32_t>((b0 & 0x1F) << 6 | (byte(1) & 0x3F));
  if (b0 < 0xF0) {
    return static_cast<char32_t>((b0 & 0x0F) << 12 | (byte(1) & 0x3F) << 6 | (byte(2) & 0x3F));
  }
  return static_cast<char32_t>((b0 & 0x07) << 18 | (byte(1) & 0x3F) << 12 | (byte(2) & 0x3F) << 6 |
                               (byte(3) & 0x3F));
}

// The Unicode character of a CP932 code (a byte, or lead << 8 | trail); none when the code is
// no CP932 character.
std::optional<char32_t> CodePointOf(uint32_t code) {
  char bytes[2];
  size_t length = 0;
  if (code > 0xFFFF) return std::nullopt;
  if (code > 0xFF) {
    if (!sjis::IsLeadByte(static_cast<uint8_t>(code >> 8))) return std::nullopt;
    bytes[length++] = static_cast<char>(code >> 8);
  } else if (sjis::IsLeadByte(static_cast<uint8_t>(code))) {
    return std::nullopt;
  }
  bytes[length++] = static_cast<char>(code & 0xFF);
  Cp932Conversion utf8 = Cp932ToUtf8(std::string_view(bytes, length));
  if (!utf8.ok || utf8.text.empty()) return std::nullopt;
  return DecodeUtf8(utf8.text);
}

FT_Fixed ToFixed(double v) {
  return static_cast<FT_Fixed>(std::lround(v * 65536.0));
}

int32_t Levels(uint32_t format) {
  switch (format) {
    case GGO_BITMAP:
      return 1;
    case GGO_GRAY2_BITMAP:
      return 4;
    case GGO_GRAY4_BITMAP:
      return 16;
    case GGO_GRAY8_BITMAP:
      return 64;
    default:
      return 0;
  }
}

// Size, ascent and descent of a face for a LOGFONTA, in 26.6 and whole pixels.
struct Scale {
  FT_F26Dot6 ppemX = 0;
  FT_F26Dot6 ppemY = 0;
  int32_t ascent = 0;
  int32_t descent = 0;
};

std::optional<Scale> ScaleFor(FT_Face face, const LOGFONTA& logFont) {
  const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  int64_t upem = face->units_per_EM;
  int64_t winAscent = os2 != nullptr ? os2->usWinAscent : face->ascender;
  int64_t winDescent = os2 != nullptr ? os2->usWinDescent : -face->descender;
  if (winAscent + winDescent <= 0) {
    winAscent = face->ascender;
    winDescent = -face->descender;
  }
  int64_t cell = winAscent + winDescent;
  if (upem <= 0 || cell <= 0) return std::nullopt;

  int64_t height = logFont.lfHeight == 0 ? -Font::kDefaultCharHeight : logFont.lfHeight;
  int64_t width = std::abs(static_cast<int64_t>(logFont.lfWidth));
  if (std::abs(height) > Font::kMaxPixelSize || width > Font::kMaxPixelSize) return std::nullopt;

  Scale scale;
  if (height < 0) {
    scale.ppemY = -height * 64;
    scale.ascent = static_cast<int32_t>(RoundDiv(winAscent * -height, upem));
    scale.descent = static_cast<int32_t>(RoundDiv(winDescent * -height, upem));
  } else {
    scale.ppemY = RoundDiv(height * 64 * upem, cell);
    scale.ascent = static_cast<int32_t>(RoundDiv(height * winAscent, cell));
    scale.descent = static_cast<int32_t>(height - scale.ascent);
  }
  scale.ppemY = std::max<FT_F26Dot6>(scale.ppemY, 64);
  int64_t average = os2 != nullptr && os2->xAvgCharWidth > 0 ? os2->xAvgCharWidth : upem / 2;
  scale.ppemX =
      width == 0 ? scale.ppemY : std::max<FT_F26Dot6>(RoundDiv(width * 64 * upem, average), 64);
  if (scale.ppemX > Font::kMaxPixelSize * 64) return std::nullopt;
  return scale;
}

TEXTMETRICA MetricsFor(FT_Face face, const LOGFONTA& logFont, const Scale& scale,
                       uint8_t pitchAndFamily) {
  const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  const auto* hhea = static_cast<const TT_HoriHeader*>(FT_Get_Sfnt_Table(face, FT_SFNT_HHEA));
  int64_t upem = face->units_per_EM;
  auto toPixelsX = [&](int64_t units) {
    return static_cast<int32_t>(RoundDiv(units * scale.ppemX, upem * 64));
  };
  auto toPixelsY = [&](int64_t units) {
    return static_cast<int32_t>(RoundDiv(units * scale.ppemY, upem * 64));
  };

  TEXTMETRICA tm;
  tm.tmAscent = scale.ascent;
  tm.tmDescent = scale.descent;
  tm.tmHeight = scale.ascent + scale.descent;
  tm.tmInternalLeading = tm.tmHeight - static_cast<int32_t>(RoundDiv(scale.ppemY, 64));
  if (os2 != nullptr && hhea != nullptr) {
    int64_t gap = hhea->Line_Gap -
                  ((os2->usWinAscent + os2->usWinDescent) - (hhea->Ascender - hhea->Descender));
    tm.tmExternalLeading = std::max(0, toPixelsY(gap));
  }
  int64_t average = os2 != nullptr && os2->xAvgCharWidth > 0 ? os2->xAvgCharWidth : upem / 2;
  tm.tmAveCharWidth = toPixelsX(average);
  tm.tmMaxCharWidth = toPixelsX(face->bbox.xMax - face->bbox.xMin);
  tm.tmWeight = logFont.lfWeight == FW_DONTCARE ? FW_NORMAL : logFont.lfWeight;
  tm.tmDigitizedAspectX = kDigitizedAspect;
  tm.tmDigitizedAspectY = kDigitizedAspect;
  tm.tmFirstChar = kFirstChar;
  tm.tmLastChar = kLastChar;
  tm.tmDefaultChar = kDefaultChar;
  tm.tmBreakChar = kBreakChar;
  tm.tmItalic = logFont.lfItalic != 0 ? 1 : 0;
  tm.tmUnderlined = logFont.lfUnderline != 0 ? 1 : 0;
  tm.tmStruckOut = logFont.lfStrikeOut != 0 ? 1 : 0;
  bool fixed = (pitchAndFamily & 0x03) == FIXED_PITCH;
  tm.tmPitchAndFamily = static_cast<uint8_t>((pitchAndFamily & 0xF0) | TMPF_VECTOR | TMPF_TRUETYPE |
                                             (fixed ? 0 : TMPF_FIXED_PITCH));
  // The faces map CP932 codes whatever character set is asked for.
  tm.tmCharSet = SHIFTJIS_CHARSET;
  return tm;
}

TextLines LinesFor(FT_Face face, const Scale& scale) {
  const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  int64_t perEm = static_cast<int64_t>(face->units_per_EM) * 64;
  auto toPixels = [&](int64_t units) {
    return static_cast<int32_t>(RoundDiv(units * scale.ppemY, perEm));
  };
  TextLines lines;
  lines.underlineSize = std::max(1, toPixels(face->underline_thickness));
  lines.underlineTop = toPixels(face->underline_position) + lines.underlineSize / 2;
  if (os2 != nullptr && os2->yStrikeoutSize > 0) {
    lines.strikeOutSize = std::max(1, toPixels(os2->yStrikeoutSize));
    lines.strikeOutTop = toPixels(os2->yStrikeoutPosition);
  } else {
    lines.strikeOutSize = lines.underlineSize;
    lines.strikeOutTop = (scale.ascent * 3 + 5) / 10 + lines.strikeOutSize;
  }
  return lines;
}

// Copies a rendered bitmap into rows of pitch bytes, grey values scaled to 0..levels.
void CopyBitmap(const FT_Bitmap& bitmap, int32_t levels, uint32_t pitch, uint8_t* out) {
  bool bits = bitmap.pixel_mode == FT_PIXEL_MODE_MONO;
  size_t rowBytes = bits ? (bitmap.width + 7) / 8 : bitmap.width;
  size_t srcPitch = static_cast<size_t>(std::abs(bitmap.pitch));
  for (unsigned row = 0; row < bitmap.rows; ++row) {
    unsigned srcRow = bitmap.pitch >= 0 ? row : bitmap.rows - 1 - row;
    const uint8_t* src = bitmap.buffer + srcRow * srcPitch;
    uint8_t* dst = out + static_cast<size_t>(row) * pitch;
    std::memset(dst, 0, pitch);
    if (bits) {
      std::memcpy(dst, src, rowBytes);
    } else {
      for (size_t x = 0; x < rowBytes; ++x) {
        dst[x] = static_cast<uint8_t>((src[x] * levels + 127) / 255);
      }
    }
  }
}

class FreeTypeSource final : public GlyphSource {
 public:
  int32_t MaxHeight() const override { return Font::kMaxPixelSize; }
  std::unique_ptr<GlyphFont> CreateFont(const LOGFONTA& logFont) const override {
    return CreateFontIndirectA(logFont);
  }
};

}  // namespace

std::unique_ptr<Font> CreateFontIndirectA(const LOGFONTA& logFont) {
  std::unique_ptr<Font> font(new Font);
  font->logFont_ = logFont;
  size_t nameLength = strnlen(logFont.lfFaceName, kLfFaceSize);
  std::string_view name(logFont.lfFaceName, nameLength);
  font->hostFace_ = &MapFaceName(name);
  font->vertical_ = IsVerticalFaceName(name);
  font->italic_ = logFont.lfItalic != 0;
  TurnTenths(logFont.lfEscapement, &font->cos_, &font->sin_);

  FontLibrary& library = FontLibrary::Instance();
  std::lock_guard lock(library.Mutex());
  const FontLibrary::Face& face = library.Open(std::string(font->hostFace_->family));
  if (face.face == nullptr) return nullptr;
  std::optional<Scale> scale = ScaleFor(face.face, logFont);
  if (!scale) return nullptr;
  FT_Size size = nullptr;
  if (FT_New_Size(face.face, &size) != 0) return nullptr;
  if (FT_Activate_Size(size) != 0 ||
      FT_Set_Char_Size(face.face, scale->ppemX, scale->ppemY, 72, 72) != 0) {
    FT_Done_Size(size);
    return nullptr;
  }
  font->face_ = face.face;
  font->size_ = size;
  font->installedFamily_ = face.family;
  font->metrics_ = MetricsFor(face.face, logFont, *scale, font->hostFace_->pitchAndFamily);
  font->lines_ = LinesFor(face.face, *scale);
  if (font->metrics_.tmWeight >= FW_SEMIBOLD) {
    int32_t pixels = static_cast<int32_t>(RoundDiv(scale->ppemY, 64));
    font->boldStrength_ = std::max(1, (pixels + 12) / 24);
  }
  return font;
}

Font::~Font() {
  if (size_ == nullptr) return;
  std::lock_guard lock(FontLibrary::Instance().Mutex());
  FT_Done_Size(size_);
}

void Font::GetTextMetricsA(TEXTMETRICA* metrics) const {
  if (metrics != nullptr) *metrics = metrics_;
}

int32_t Font::AdvanceLocked(uint32_t glyphIndex) const {
  FT_Fixed advance = 0;
  if (FT_Get_Advance(face_, glyphIndex, FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP, &advance) != 0) {
    return 0;
  }
  return static_cast<int32_t>((advance + 0x8000) >> 16) + boldStrength_;
}

bool Font::GetTextExtentPoint32A(const char* text, int count, TextSize* size) const {
  if (size == nullptr || count < 0 || (text == nullptr && count > 0)) return false;
  std::string_view s(text == nullptr ? "" : text, static_cast<size_t>(count));
  int64_t width = 0;
  {
    std::lock_guard lock(FontLibrary::Instance().Mutex());
    FT_Activate_Size(size_);
    for (size_t pos = 0; pos < s.size(); pos = sjis::Next(s, pos)) {
      uint32_t code = sjis::CharAt(s, pos);
      std::optional<char32_t> cp = CodePointOf(code);
      bool upright = false;
      width += AdvanceLocked(cp ? GlyphLocked(code, *cp, &upright) : 0);
    }
  }
  size->cx = static_cast<int32_t>(std::min<int64_t>(width, std::numeric_limits<int32_t>::max()));
  size->cy = metrics_.tmHeight;
  return true;
}

uint32_t Font::GlyphLocked(uint32_t code, char32_t c, bool* upright) const {
  *upright = vertical_ && code > 0xFF;
  if (!*upright) return FT_Get_Char_Index(face_, c);
  return FontLibrary::VerticalGlyph(FontLibrary::Instance().Open(std::string(hostFace_->family)),
                                    c);
}

bool Font::RenderLocked(uint32_t glyphIndex, bool upright, bool mono, const MAT2& matrix,
                        GLYPHMETRICS* metrics, bool* blank) const {
  int32_t advance = AdvanceLocked(glyphIndex);
  FT_Int32 flags = FT_LOAD_NO_BITMAP | (mono ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_NORMAL);
  if (FT_Load_Glyph(face_, glyphIndex, flags) != 0) return false;
  FT_GlyphSlot slot = face_->glyph;
  if (slot->format != FT_GLYPH_FORMAT_OUTLINE) return false;
  FT_Outline* outline = &slot->outline;

  if (boldStrength_ > 0) {
    FT_Pos strength = boldStrength_ * 64;
    FT_Outline_EmboldenXY(outline, strength, strength);  // grows right and up
  }
  if (italic_) {
    FT_Matrix shear{0x10000, kItalicShear, 0, 0x10000};
    FT_Outline_Transform(outline, &shear);
  }
  FT_Matrix user{FixedToRaw(matrix.eM11), FixedToRaw(matrix.eM21), FixedToRaw(matrix.eM12),
                 FixedToRaw(matrix.eM22)};
  bool identity = user.xx == 0x10000 && user.xy == 0 && user.yx == 0 && user.yy == 0x10000;
  if (!identity) FT_Outline_Transform(outline, &user);
  // An upright glyph turns a quarter more than the line: (cos, sin) of the angle + 900.
  double glyphCos = upright ? -sin_ : cos_, glyphSin = upright ? cos_ : sin_;
  if (!(glyphCos == 1.0 && glyphSin == 0.0)) {
    FT_Matrix turn{ToFixed(glyphCos), ToFixed(-glyphSin), ToFixed(glyphSin), ToFixed(glyphCos)};
    FT_Outline_Transform(outline, &turn);
  }
  if (upright) {
    // Centre the turned em box (advance by cell height) in the character's cell: du along
    // the line and dv down from it, from the pen's point on the baseline.
    const double ascent = metrics_.tmAscent, cell = metrics_.tmHeight;
    double du = (advance - cell) / 2.0 + ascent, dv = (cell + advance) / 2.0 - ascent;
    double x = du * cos_ + dv * sin_, yDown = -du * sin_ + dv * cos_;
    FT_Outline_Translate(outline, std::lround(x * 64), std::lround(-yDown * 64));
  }

  // The pen's move: the advance through the same matrix, then turned.
  double ax = advance * (user.xx / 65536.0);
  double ay = advance * (user.yx / 65536.0);
  metrics->gmCellIncX = static_cast<int16_t>(std::lround(ax * cos_ - ay * sin_));
  metrics->gmCellIncY = static_cast<int16_t>(std::lround(ax * sin_ + ay * cos_));

  *blank = outline->n_points == 0;
  if (*blank) {
    metrics->gmBlackBoxX = 1;
    metrics->gmBlackBoxY = 1;
    metrics->gmptGlyphOrigin = GlyphPoint{0, 0};
    return true;
  }
  FT_BBox box;
  FT_Outline_Get_CBox(outline, &box);
  uint64_t boxWidth = static_cast<uint64_t>((box.xMax - box.xMin) / 64 + 2);
  uint64_t boxHeight = static_cast<uint64_t>((box.yMax - box.yMin) / 64 + 2);
  if (boxWidth * boxHeight > kMaxBitmapBytes) return false;  // a matrix blew it up
  if (FT_Render_Glyph(slot, mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) != 0) {
    return false;
  }
  if (slot->bitmap.pixel_mode != (mono ? FT_PIXEL_MODE_MONO : FT_PIXEL_MODE_GRAY)) return false;
  metrics->gmBlackBoxX = slot->bitmap.width;
  metrics->gmBlackBoxY = slot->bitmap.rows;
  metrics->gmptGlyphOrigin = GlyphPoint{slot->bitmap_left, slot->bitmap_top};
  return true;
}

uint32_t Font::GetGlyphOutlineA(uint32_t code, uint32_t format, GLYPHMETRICS* metrics,
                                uint32_t bufferSize, void* buffer, const MAT2* matrix) const {
  if (metrics == nullptr || matrix == nullptr) return GDI_ERROR;
  int32_t levels = Levels(format);
  if (levels == 0 && format != GGO_METRICS) return GDI_ERROR;
  std::optional<char32_t> cp = CodePointOf(code);
  if (!cp) return GDI_ERROR;
  bool mono = format == GGO_BITMAP;

  std::lock_guard lock(FontLibrary::Instance().Mutex());
  if (FT_Activate_Size(size_) != 0) return GDI_ERROR;
  bool upright = false;
  uint32_t glyph = GlyphLocked(code, *cp, &upright);  // 0: the missing-glyph sign, as drawn
  bool blank = false;
  if (!RenderLocked(glyph, upright, mono, *matrix, metrics, &blank)) return GDI_ERROR;
  if (format == GGO_METRICS) return kMetricsAnswer;
  if (blank) return 0;
  const FT_Bitmap& bitmap = face_->glyph->bitmap;

  uint64_t pitch = mono ? (bitmap.width + 31ull) / 32 * 4 : (bitmap.width + 3ull) / 4 * 4;
  uint64_t needed = pitch * bitmap.rows;
  if (needed >= GDI_ERROR) return GDI_ERROR;
  if (buffer == nullptr || bufferSize == 0) return static_cast<uint32_t>(needed);
  if (bufferSize < needed) return GDI_ERROR;
  CopyBitmap(bitmap, levels, static_cast<uint32_t>(pitch), static_cast<uint8_t*>(buffer));
  return static_cast<uint32_t>(needed);
}

const GlyphSource& FreeTypeGlyphSource() {
  static const FreeTypeSource source;
  return source;
}

}  // namespace bw::host
