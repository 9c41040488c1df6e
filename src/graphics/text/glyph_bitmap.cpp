#include "graphics/text/glyph_bitmap.h"

#include <algorithm>
#include <new>

#include "common/sjis.h"
#include "graphics/pixel/text_kernels.h"
#include "platform/mmx_flag.h"

namespace bw {

GlyphRef MakeEdgeGlyph(const GlyphBitmap& glyph, bool hardEdged, int32_t radius, int32_t strength) {
  const int r = EdgeRadius(radius);
  try {
    auto out = std::make_shared<GlyphBitmap>();
    out->originX = glyph.originX - r;
    out->originY = glyph.originY - r;
    out->advanceX = glyph.advanceX;
    out->advanceY = glyph.advanceY;
    if (glyph.IsBlank()) return out;
    out->width = glyph.width + 2 * r;
    out->height = glyph.height + 2 * r;
    out->pitch = GlyphPitch(out->width);
    out->pixels.assign(size_t(out->pitch) * size_t(out->height), 0);
    if (!hardEdged) {
      auto build = MmxEnabled() ? BuildEdgeMaskMmx : BuildEdgeMask;
      build(out->pixels.data(), out->pitch, glyph.pixels.data(), glyph.pitch, glyph.width,
            glyph.height, r, strength);
      return out;
    }
    // Every set pixel stamps the offsets within distance r.
    std::vector<std::pair<int, int>> taps;
    for (int dy = -r; dy <= r; ++dy) {
      for (int dx = -r; dx <= r; ++dx) {
        if (EdgeDistance(dx, dy) <= r) taps.emplace_back(dx, dy);
      }
    }
    for (int32_t y = 0; y < glyph.height; ++y) {
      const uint8_t* row = glyph.Row(y);
      for (int32_t x = 0; x < glyph.width; ++x) {
        if (row[x] < 128) continue;
        for (auto [dx, dy] : taps) {
          out->pixels[size_t(y + r + dy) * size_t(out->pitch) + size_t(x + r + dx)] = 255;
        }
      }
    }
    return out;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

bool NextTextUnit(std::string_view text, size_t& pos, TextUnit* unit) {
  if (pos >= text.size()) return false;
  const char c = text[pos];
  *unit = TextUnit{};
  if (c == '\n') {
    unit->kind = TextUnit::Kind::kNewline;
    unit->pos = pos++;
    unit->length = 1;
    return true;
  }
  if (c == '@') {
    if (pos + 1 < text.size() && text[pos + 1] == '@') {
      unit->code = '@';
      unit->pos = pos + 1;
      unit->length = 1;
      pos += 2;
      return true;
    }
    unit->kind = TextUnit::Kind::kPicture;
    unit->pos = pos++;
    int digits = 0;
    while (digits < kMaxPictureDigits && pos < text.size() && text[pos] >= '0' &&
           text[pos] <= '9') {
      unit->picture = unit->picture * 10 + (text[pos++] - '0');
      ++digits;
    }
    unit->length = pos - unit->pos;
    return true;
  }
  unit->pos = pos;
  unit->length = sjis::CharLength(text, pos);
  unit->code = sjis::CharAt(text, pos);
  pos += unit->length;
  return true;
}

}  // namespace bw
