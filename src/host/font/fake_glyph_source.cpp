#include "host/font/fake_glyph_source.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "common/sjis.h"

namespace bw::host {
namespace {

constexpr uint32_t kIdeographicSpace = 0x8140;

class FakeFont final : public GlyphFont {
 public:
  FakeFont(const LOGFONTA& logFont, bool outlines) : logFont_(logFont), outlines_(outlines) {
    height_ = logFont.lfHeight == 0 ? 16 : std::abs(logFont.lfHeight);
    ascent_ = height_ - height_ / 8;
    TurnTenths(logFont.lfEscapement, &cos_, &sin_);
    metrics_.tmHeight = height_;
    metrics_.tmAscent = ascent_;
    metrics_.tmDescent = height_ - ascent_;
    metrics_.tmAveCharWidth = height_ / 2;
    metrics_.tmMaxCharWidth = height_;
    metrics_.tmWeight = logFont.lfWeight == FW_DONTCARE ? FW_NORMAL : logFont.lfWeight;
    metrics_.tmItalic = logFont.lfItalic != 0;
    metrics_.tmUnderlined = logFont.lfUnderline != 0;
    metrics_.tmStruckOut = logFont.lfStrikeOut != 0;
    metrics_.tmCharSet = SHIFTJIS_CHARSET;
    metrics_.tmFirstChar = 0x20;
    metrics_.tmLastChar = 0xFF;
    lines_.underlineSize = lines_.strikeOutSize = std::max(1, height_ / 16);
    lines_.underlineTop = -1;
    lines_.strikeOutTop = ascent_ / 3 + lines_.strikeOutSize;
  }

  const LOGFONTA& LogFont() const override { return logFont_; }
  void GetTextMetricsA(TEXTMETRICA* metrics) const override {
    if (metrics != nullptr) *metrics = metrics_;
  }
  TextLines Lines() const override { return lines_; }

  [[nodiscard]] bool GetTextExtentPoint32A(const char* text, int count,
                                           TextSize* size) const override {
    if (size == nullptr || count < 0 || (text == nullptr && count > 0)) return false;
    std::string_view s(text == nullptr ? "" : text, static_cast<size_t>(count));
    int64_t width = 0;
    for (size_t pos = 0; pos < s.size(); pos = sjis::Next(s, pos)) {
      width += Advance(sjis::CharAt(s, pos));
    }
    size->cx = static_cast<int32_t>(std::min<int64_t>(width, INT32_MAX));
    size->cy = height_;
    return true;
  }

  uint32_t GetGlyphOutlineA(uint32_t code, uint32_t format, GLYPHMETRICS* gm, uint32_t bufferSize,
                            void* buffer, const MAT2* matrix) const override {
    if (gm == nullptr || matrix == nullptr || !IsCharacter(code)) return GDI_ERROR;
    int32_t levels = format == GGO_GRAY2_BITMAP   ? 4
                     : format == GGO_GRAY4_BITMAP ? 16
                     : format == GGO_GRAY8_BITMAP ? 64
                                                  : 0;
    if (format != GGO_METRICS && format != GGO_BITMAP && levels == 0) return GDI_ERROR;
    if (levels != 0 && !outlines_) return GDI_ERROR;

    // The glyph's box in y-up glyph space, then through the matrix and the escapement.
    int32_t advance = Advance(code);
    double m11 = FixedToRaw(matrix->eM11) / 65536.0, m12 = FixedToRaw(matrix->eM12) / 65536.0;
    double m21 = FixedToRaw(matrix->eM21) / 65536.0, m22 = FixedToRaw(matrix->eM22) / 65536.0;
    // Glyph space to device space, y up: the matrix (x' = m11 x + m21 y, y' = m12 x + m22 y),
    // then the turn.
    auto map = [&](double x, double y, double* ox, double* oy) {
      double mx = m11 * x + m21 * y, my = m12 * x + m22 * y;
      *ox = mx * cos_ - my * sin_;
      *oy = mx * sin_ + my * cos_;
    };
    double incX, incY;
    map(advance, 0, &incX, &incY);
    gm->gmCellIncX = static_cast<int16_t>(std::lround(incX));
    gm->gmCellIncY = static_cast<int16_t>(std::lround(incY));
    bool blank = code == ' ' || code == kIdeographicSpace || advance < 2 || ascent_ < 2;
    if (blank) {
      gm->gmBlackBoxX = gm->gmBlackBoxY = 1;
      gm->gmptGlyphOrigin = GlyphPoint{0, 0};
      return format == GGO_METRICS ? 1 : 0;
    }
    double x0 = 1, x1 = advance - 1, y0 = 0, y1 = ascent_ - 1;
    double minX = 1e300, maxX = -1e300, minY = 1e300, maxY = -1e300;
    for (double x : {x0, x1}) {
      for (double y : {y0, y1}) {
        double ox, oy;
        map(x, y, &ox, &oy);
        minX = std::min(minX, ox), maxX = std::max(maxX, ox);
        minY = std::min(minY, oy), maxY = std::max(maxY, oy);
      }
    }
    int64_t left = std::lround(minX), right = std::lround(maxX);
    int64_t bottom = std::lround(minY), top = std::lround(maxY);
    if (right <= left || top <= bottom) return GDI_ERROR;  // a matrix that flattens it
    uint64_t width = static_cast<uint64_t>(right - left);
    uint64_t rows = static_cast<uint64_t>(top - bottom);
    if (width * rows > kMaxMaskBytes) return GDI_ERROR;
    gm->gmBlackBoxX = static_cast<uint32_t>(width);
    gm->gmBlackBoxY = static_cast<uint32_t>(rows);
    gm->gmptGlyphOrigin = GlyphPoint{static_cast<int32_t>(left), static_cast<int32_t>(top)};
    if (format == GGO_METRICS) return 1;

    uint64_t pitch = levels == 0 ? (width + 31) / 32 * 4 : (width + 3) / 4 * 4;
    uint64_t needed = pitch * rows;
    if (needed >= GDI_ERROR) return GDI_ERROR;
    if (buffer == nullptr || bufferSize == 0) return static_cast<uint32_t>(needed);
    if (bufferSize < needed) return GDI_ERROR;
    auto* out = static_cast<uint8_t*>(buffer);
    std::memset(out, 0, needed);
    // A pixel is inked when its centre maps back inside the box.
    double det = m11 * m22 - m21 * m12;
    if (det == 0) return GDI_ERROR;
    for (uint64_t row = 0; row < rows; ++row) {
      for (uint64_t col = 0; col < width; ++col) {
        double px = double(left) + double(col) + 0.5, py = double(top) - double(row) - 0.5;
        double mx = px * cos_ + py * sin_, my = -px * sin_ + py * cos_;  // undo the turn
        double gx = (m22 * mx - m21 * my) / det, gy = (m11 * my - m12 * mx) / det;
        if (gx < x0 || gx >= x1 || gy < y0 || gy >= y1) continue;
        uint8_t* line = out + row * pitch;
        if (levels == 0) {
          line[col / 8] |= static_cast<uint8_t>(0x80 >> (col % 8));
        } else {
          line[col] = static_cast<uint8_t>(levels);
        }
      }
    }
    return static_cast<uint32_t>(needed);
  }

 private:
  static bool IsCharacter(uint32_t code) {
    if (code > 0xFFFF) return false;
    if (code > 0xFF) return sjis::IsLeadByte(static_cast<uint8_t>(code >> 8));
    return !sjis::IsLeadByte(static_cast<uint8_t>(code));
  }
  int32_t Advance(uint32_t code) const { return code > 0xFF ? height_ : height_ / 2; }

  LOGFONTA logFont_;
  bool outlines_;
  int32_t height_ = 0;
  int32_t ascent_ = 0;
  double cos_ = 1, sin_ = 0;
  TEXTMETRICA metrics_;
  TextLines lines_;
};

}  // namespace

std::unique_ptr<GlyphFont> FakeGlyphSource::CreateFont(const LOGFONTA& logFont) const {
  if (std::abs(static_cast<int64_t>(logFont.lfHeight)) > kMaxHeight ||
      std::abs(static_cast<int64_t>(logFont.lfWidth)) > kMaxHeight) {
    return nullptr;
  }
  return std::make_unique<FakeFont>(logFont, outlines_);
}

}  // namespace bw::host
