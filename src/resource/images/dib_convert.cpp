#include "resource/images/dib_convert.h"

#include <algorithm>
#include <cstring>

#include "resource/images/pack16.h"

namespace bw {
namespace {

constexpr uint32_t kCompressionNone = 0;

// What one converter writes: target bytes per pixel, and the value of a palette entry and of
// a 16-bit (5-5-5), 24-bit or 32-bit source pixel.
struct Target {
  int bytes;
  uint32_t (*fromIndex)(uint32_t index, uint32_t entry);
  uint32_t (*from16)(uint32_t word);
  uint32_t (*from24)(uint32_t rgb);
  uint32_t (*from32)(uint32_t argb);
};

inline uint32_t Grey(uint32_t rgb) {
  return (77 * (rgb >> 16 & 0xFF) + 150 * (rgb >> 8 & 0xFF) + 29 * (rgb & 0xFF)) >> 8;
}

const Target kTo32{4, [](uint32_t, uint32_t e) { return e | 0xFF000000u; },
                   [](uint32_t w) { return Expand555(w) | 0xFF000000u; },
                   [](uint32_t c) { return c | 0xFF000000u; }, [](uint32_t c) { return c; }};
const Target kDibTo32{4, [](uint32_t, uint32_t e) { return e; }, Expand555,
                      [](uint32_t c) { return c; }, [](uint32_t c) { return c & 0x00FFFFFFu; }};
const Target kDibTo8{1, [](uint32_t i, uint32_t) { return i; },
                     [](uint32_t w) { return Grey(Expand555(w)); }, Grey, Grey};
const Target kTo555{2, [](uint32_t, uint32_t e) { return To555(e); },
                    [](uint32_t w) { return w & 0x7FFF; }, To555, To555};
const Target kTo565{2, [](uint32_t, uint32_t e) { return To565(e); },
                    [](uint32_t w) { return (w & 0x1F) | (w & 0x7FE0) << 1; }, To565, To565};
const Target kTo1555{2, [](uint32_t, uint32_t e) { return To555(e) | 0x8000; },
                     [](uint32_t w) { return w | 0x8000; },
                     [](uint32_t c) { return To555(c) | 0x8000; },
                     [](uint32_t c) { return To555(c) | (c >> 31) << 15; }};
const Target kTo4444{2, [](uint32_t, uint32_t e) { return To444(e) | 0xF000; },
                     [](uint32_t w) { return To444(Expand555(w)) | 0xF000; },
                     [](uint32_t c) { return To444(c) | 0xF000; },
                     [](uint32_t c) { return To444(c) | (c >> 28) << 12; }};
const Target kTo24{3, [](uint32_t, uint32_t e) { return e & 0xFFFFFF; }, Expand555,
                   [](uint32_t c) { return c; }, [](uint32_t c) { return c & 0xFFFFFF; }};

inline void Store(uint8_t* p, int bytes, uint32_t v) {
  switch (bytes) {
    case 1:
      *p = static_cast<uint8_t>(v);
      break;
    case 2: {
      uint16_t w = static_cast<uint16_t>(v);
      std::memcpy(p, &w, 2);
      break;
    }
    case 3:
      p[0] = uint8_t(v), p[1] = uint8_t(v >> 8), p[2] = uint8_t(v >> 16);
      break;
    default:
      std::memcpy(p, &v, 4);
      break;
  }
}

// Calls emit(i, value) for the w pixels of a row from source column x: indexes for 1, 4 and 8
// bits, the little-endian word for 16 and 32, blue | green << 8 | red << 16 for 24.
template <typename Emit>
void ReadRow(const uint8_t* row, int bits, int x, int w, Emit emit) {
  switch (bits) {
    case 1: {
      const uint8_t* p = row + (x >> 3);
      int bit = 7 - (x & 7);
      for (int i = 0; i < w; ++i) {
        emit(i, uint32_t(*p >> bit & 1));
        if (--bit < 0) bit = 7, ++p;
      }
      break;
    }
    case 4: {
      const uint8_t* p = row + (x >> 1);
      bool low = x & 1;
      for (int i = 0; i < w; ++i) {
        emit(i, uint32_t(low ? *p & 0x0F : *p >> 4));
        if (low) ++p;
        low = !low;
      }
      break;
    }
    case 8:
      for (int i = 0; i < w; ++i) emit(i, uint32_t{row[x + i]});
      break;
    case 16:
      for (int i = 0; i < w; ++i) emit(i, uint32_t(row[2 * (x + i)] | row[2 * (x + i) + 1] << 8));
      break;
    case 24:
      for (int i = 0; i < w; ++i) {
        const uint8_t* p = row + 3 * (x + i);
        emit(i, uint32_t(p[0] | p[1] << 8 | p[2] << 16));
      }
      break;
    default:
      for (int i = 0; i < w; ++i) {
        uint32_t v;
        std::memcpy(&v, row + 4 * (x + i), 4);
        emit(i, v);
      }
      break;
  }
}

bool Convert(const Target& t, uint8_t* pixels, const Rect& rect, ptrdiff_t pitch,
             const DibSource& s) {
  if (!s.info || !s.bits || !pixels) return false;
  const BitmapInfoHeader& h = s.info->header;
  const int bits = h.bitCount;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
  if ((bits == 4 || bits == 8) && h.compression != kCompressionNone) return false;
  const int w = rect.Width();
  const int rows = rect.Height();
  if (w <= 0 || rows <= 0) return true;
  // Every byte the rectangle reads must lie inside the source given.
  if (h.height <= 0 || s.pitch <= 0 || s.x < 0 || s.y < 0) return false;
  if (int64_t{s.y} + rows > h.height) return false;
  int64_t endByte = ((int64_t{s.x} + w) * bits + 7) / 8;
  int64_t firstRow = int64_t{h.height} - s.y - 1;  // the rectangle's top row, highest in memory
  if (endByte > s.pitch || firstRow * s.pitch + endByte > int64_t(s.size)) return false;

  uint32_t table[256] = {};
  if (bits <= 8) {
    uint32_t count = 1u << bits;
    if (h.clrUsed != 0) count = std::min(h.clrUsed, count);
    for (uint32_t i = 0; i < count; ++i) table[i] = t.fromIndex(i, s.info->colors[i]);
  }
  const uint8_t* row = s.bits + firstRow * s.pitch;
  uint8_t* out = pixels + ptrdiff_t{rect.top} * pitch + ptrdiff_t{rect.left} * t.bytes;
  for (int y = 0; y < rows; ++y, row -= s.pitch, out += pitch) {
    if (bits <= 8) {
      ReadRow(row, bits, s.x, w,
              [&](int i, uint32_t v) { Store(out + i * t.bytes, t.bytes, table[v]); });
    } else if (t.bytes == 3 && bits == 24) {
      std::memcpy(out, row + 3 * s.x, size_t(w) * 3);
    } else {
      auto from = bits == 16 ? t.from16 : bits == 24 ? t.from24 : t.from32;
      ReadRow(row, bits, s.x, w,
              [&](int i, uint32_t v) { Store(out + i * t.bytes, t.bytes, from(v)); });
    }
  }
  return true;
}

}  // namespace

bool ConvertRowsTo32(uint8_t* pixels, const Rect& rect, ptrdiff_t pitch, const DibSource& src) {
  return Convert(kTo32, pixels, rect, pitch, src);
}
bool ConvertDibRowsTo32(uint8_t* pixels, const Rect& rect, ptrdiff_t pitch, const DibSource& src) {
  return Convert(kDibTo32, pixels, rect, pitch, src);
}
bool ConvertDibRowsTo8(uint8_t* pixels, const Rect& rect, ptrdiff_t pitch, const DibSource& src) {
  return Convert(kDibTo8, pixels, rect, pitch, src);
}
bool ConvertRowsTo555(uint8_t* pixels, const Rect& rect, ptrdiff_t pitch, const DibSource& src) {
  return Convert(kTo555, pixels, rect, pitch, src);
}
bool ConvertRowsTo565(uint8_t* pixels, const Rect& rect, ptrdiff_t pitch, const DibSource& src) {
  return Convert(kTo565, pixels, rect, pitch, src);
}
bool ConvertRowsTo1555(uint8_t* pixels, const Rect& rect, ptrdiff_t pitch, const DibSource& src) {
  return Convert(kTo1555, pixels, rect, pitch, src);
}
bool ConvertRowsTo4444(uint8_t* pixels, const Rect& rect, ptrdiff_t pitch, const DibSource& src) {
  return Convert(kTo4444, pixels, rect, pitch, src);
}
bool ConvertRowsTo24(uint8_t* pixels, const Rect& rect, ptrdiff_t pitch, const DibSource& src) {
  return Convert(kTo24, pixels, rect, pitch, src);
}

}  // namespace bw
