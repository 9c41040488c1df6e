#include "host/font/glyph_source.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <string_view>

#include "common/sjis.h"

namespace bw::host {
namespace {

// A box of pixels, y down, right and bottom exclusive.
struct Box {
  int64_t left = std::numeric_limits<int64_t>::max();
  int64_t top = std::numeric_limits<int64_t>::max();
  int64_t right = std::numeric_limits<int64_t>::min();
  int64_t bottom = std::numeric_limits<int64_t>::min();

  bool Empty() const { return left >= right || top >= bottom; }
  void Add(int64_t l, int64_t t, int64_t r, int64_t b) {
    if (l >= r || t >= b) return;
    left = std::min(left, l);
    top = std::min(top, t);
    right = std::max(right, r);
    bottom = std::max(bottom, b);
  }
};

// A line under or through the text: from the run's start to its end along the baseline,
// between below and below + size pixels down from it, turned with the text.
struct Bar {
  double below = 0;
  double size = 0;
};

struct Placed {
  int64_t x, y;
  uint32_t width, rows;
  std::vector<uint8_t> coverage;
};

// One glyph as 0..255 coverage, or false when it cannot be drawn; a blank glyph has no rows.
bool FetchGlyph(const GlyphFont& font, uint32_t code, bool grey, GLYPHMETRICS* gm, Placed* placed) {
  const MAT2 identity;
  uint32_t format = grey ? GGO_GRAY8_BITMAP : GGO_BITMAP;
  uint32_t size = font.GetGlyphOutlineA(code, format, gm, 0, nullptr, &identity);
  if (size == GDI_ERROR && grey) {
    format = GGO_BITMAP;  // a face without outlines
    size = font.GetGlyphOutlineA(code, format, gm, 0, nullptr, &identity);
  }
  if (size == GDI_ERROR) return false;
  placed->width = placed->rows = 0;
  if (size == 0) return true;
  std::vector<uint8_t> bits(size);
  if (font.GetGlyphOutlineA(code, format, gm, size, bits.data(), &identity) != size) return false;
  uint32_t width = gm->gmBlackBoxX, rows = gm->gmBlackBoxY;
  uint64_t pitch = format == GGO_BITMAP ? (width + 31ull) / 32 * 4 : (width + 3ull) / 4 * 4;
  if (pitch * rows > size) return false;
  placed->width = width;
  placed->rows = rows;
  placed->coverage.assign(size_t{width} * rows, 0);
  for (uint32_t y = 0; y < rows; ++y) {
    const uint8_t* src = &bits[y * pitch];
    uint8_t* dst = &placed->coverage[size_t{y} * width];
    for (uint32_t x = 0; x < width; ++x) {
      dst[x] = format == GGO_BITMAP ? (src[x / 8] & (0x80 >> (x % 8)) ? 255 : 0)
                                    : static_cast<uint8_t>(std::min(64, int{src[x]}) * 255 / 64);
    }
  }
  return true;
}

}  // namespace

void TurnTenths(int32_t tenths, double* cosine, double* sine) {
  int32_t a = tenths % 3600;
  if (a < 0) a += 3600;
  switch (a) {
    case 0:
      *cosine = 1;
      *sine = 0;
      return;
    case 900:
      *cosine = 0;
      *sine = 1;
      return;
    case 1800:
      *cosine = -1;
      *sine = 0;
      return;
    case 2700:
      *cosine = 0;
      *sine = -1;
      return;
    default:
      break;
  }
  double radians = a * std::numbers::pi / 1800.0;
  *cosine = std::cos(radians);
  *sine = std::sin(radians);
}

bool GlyphFont::DrawTextMask(const char* text, int count, TextMask* mask) const {
  if (mask == nullptr || count < 0 || (text == nullptr && count > 0)) return false;
  std::string_view s(text == nullptr ? "" : text, static_cast<size_t>(count));
  const LOGFONTA& lf = LogFont();
  bool grey = lf.lfQuality == ANTIALIASED_QUALITY || lf.lfQuality == CLEARTYPE_QUALITY;
  TEXTMETRICA tm;
  GetTextMetricsA(&tm);
  double cosine = 1, sine = 0;
  TurnTenths(lf.lfEscapement, &cosine, &sine);
  // Unit vectors along the text and down from it, y down, and the baseline's start.
  const double alongX = cosine, alongY = -sine;
  const double downX = sine, downY = cosine;
  const double originX = tm.tmAscent * downX, originY = tm.tmAscent * downY;

  std::vector<Placed> glyphs;
  Box box;
  int64_t pen = 0;
  for (size_t pos = 0; pos < s.size(); pos = sjis::Next(s, pos)) {
    size_t length = sjis::Next(s, pos) - pos;
    TextSize advance;
    if (!GetTextExtentPoint32A(s.data() + pos, static_cast<int>(length), &advance)) return false;
    GLYPHMETRICS gm;
    Placed placed;
    if (FetchGlyph(*this, sjis::CharAt(s, pos), grey, &gm, &placed) && placed.rows > 0) {
      placed.x = std::lround(originX + pen * alongX) + gm.gmptGlyphOrigin.x;
      placed.y = std::lround(originY + pen * alongY) - gm.gmptGlyphOrigin.y;
      box.Add(placed.x, placed.y, placed.x + placed.width, placed.y + placed.rows);
      glyphs.push_back(std::move(placed));
    }
    pen += advance.cx;
  }

  TextLines lines = Lines();
  std::vector<Bar> bars;
  if (lf.lfUnderline != 0)
    bars.push_back(Bar{-1.0 * lines.underlineTop, 1.0 * lines.underlineSize});
  if (lf.lfStrikeOut != 0)
    bars.push_back(Bar{-1.0 * lines.strikeOutTop, 1.0 * lines.strikeOutSize});
  if (pen == 0) bars.clear();
  for (const Bar& bar : bars) {
    double minX = originX, minY = originY, maxX = originX, maxY = originY;
    for (double u : {0.0, static_cast<double>(pen)}) {
      for (double v : {bar.below, bar.below + bar.size}) {
        double x = originX + u * alongX + v * downX, y = originY + u * alongY + v * downY;
        minX = std::min(minX, x);
        minY = std::min(minY, y);
        maxX = std::max(maxX, x);
        maxY = std::max(maxY, y);
      }
    }
    box.Add(static_cast<int64_t>(std::floor(minX)), static_cast<int64_t>(std::floor(minY)),
            static_cast<int64_t>(std::ceil(maxX)), static_cast<int64_t>(std::ceil(maxY)));
  }

  *mask = TextMask{};
  mask->endX = static_cast<int32_t>(std::lround(pen * alongX));
  mask->endY = static_cast<int32_t>(std::lround(pen * alongY));
  if (box.Empty()) return true;
  uint64_t width = static_cast<uint64_t>(box.right - box.left);
  uint64_t height = static_cast<uint64_t>(box.bottom - box.top);
  if (width * height > kMaxMaskBytes) return false;
  mask->left = static_cast<int32_t>(box.left);
  mask->top = static_cast<int32_t>(box.top);
  mask->width = static_cast<int32_t>(width);
  mask->height = static_cast<int32_t>(height);
  mask->coverage.assign(width * height, 0);
  for (const Placed& g : glyphs) {
    for (uint32_t row = 0; row < g.rows; ++row) {
      uint8_t* dst = &mask->coverage[(g.y - box.top + row) * width + (g.x - box.left)];
      const uint8_t* src = &g.coverage[size_t{row} * g.width];
      for (uint32_t x = 0; x < g.width; ++x) dst[x] = std::max(dst[x], src[x]);
    }
  }
  // Bars: every pixel whose centre lies on the line.
  for (const Bar& bar : bars) {
    for (uint64_t y = 0; y < height; ++y) {
      for (uint64_t x = 0; x < width; ++x) {
        double cx = box.left + x + 0.5 - originX, cy = box.top + y + 0.5 - originY;
        double u = cx * alongX + cy * alongY, v = cx * downX + cy * downY;
        if (u >= 0 && u < pen && v >= bar.below && v < bar.below + bar.size) {
          mask->coverage[y * width + x] = 255;
        }
      }
    }
  }
  return true;
}

}  // namespace bw::host
