#include "resource/images/dib_convert.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <vector>

namespace bw {
namespace {

// A bottom-up test bitmap of random bytes and a random palette.
struct Dib {
  BitmapInfo info;
  std::vector<uint8_t> bits;
  ptrdiff_t pitch = 0;

  Dib(std::mt19937& rng, int width, int height, int bitCount, uint32_t clrUsed = 0) {
    info.header.width = width;
    info.header.height = height;
    info.header.bitCount = static_cast<uint16_t>(bitCount);
    info.header.clrUsed = clrUsed;
    pitch = ((width * bitCount + 31) / 32) * 4;
    bits.resize(size_t(pitch) * height);
    for (auto& b : bits) b = static_cast<uint8_t>(rng());
    for (auto& c : info.colors) c = static_cast<uint32_t>(rng());
  }
  DibSource Source(int x, int y) const { return {&info, bits.data(), bits.size(), pitch, x, y}; }

  // The raw value of picture pixel (x, y), counted from the top, by plain bit addressing.
  uint32_t Raw(int x, int y) const {
    const uint8_t* row = bits.data() + (info.header.height - 1 - y) * pitch;
    int n = info.header.bitCount;
    if (n < 8) {
      int bit = x * n;
      return (row[bit / 8] >> (8 - n - bit % 8)) & ((1 << n) - 1);
    }
    uint32_t v = 0;
    for (int i = 0; i < n / 8; ++i) v |= uint32_t{row[x * n / 8 + i]} << (8 * i);
    return v;
  }
};

struct Channels {
  uint32_t a, r, g, b;
};
Channels Split(uint32_t c) {
  return {c >> 24, c >> 16 & 0xFF, c >> 8 & 0xFF, c & 0xFF};
}

// The source pixel as 8-bit channels and whether the picture has alpha at all.
struct SourcePixel {
  Channels c;
  bool hasAlpha;
  bool indexed;
  uint32_t index;
  bool pastPalette;
};

SourcePixel Decode(const Dib& d, int x, int y) {
  uint32_t raw = d.Raw(x, y);
  int n = d.info.header.bitCount;
  if (n <= 8) {
    uint32_t count =
        d.info.header.clrUsed ? std::min<uint32_t>(d.info.header.clrUsed, 1u << n) : 1u << n;
    return {Split(d.info.colors[raw]), false, true, raw, raw >= count};
  }
  if (n == 16) {
    return {
        {0, (raw >> 10 & 31) << 3, (raw >> 5 & 31) << 3, (raw & 31) << 3}, false, false, 0, false};
  }
  Channels c = Split(raw);
  if (n == 24) c.a = 0;
  return {c, n == 32, false, 0, false};
}

using Converter = bool (*)(uint8_t*, const Rect&, ptrdiff_t, const DibSource&);

struct Case {
  const char* name;
  Converter convert;
  int bytes;
  std::function<uint32_t(const SourcePixel&, uint32_t raw)> expect;
};

uint32_t Pack(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
  return a << 24 | r << 16 | g << 8 | b;
}

const Case kCases[] = {
    {"ConvertRowsTo32", ConvertRowsTo32, 4,
     [](const SourcePixel& p, uint32_t raw) {
       return p.hasAlpha ? raw : Pack(255, p.c.r, p.c.g, p.c.b);
     }},
    {"ConvertDibRowsTo32", ConvertDibRowsTo32, 4,
     [](const SourcePixel& p, uint32_t) {
       return Pack(p.indexed ? p.c.a : 0, p.c.r, p.c.g, p.c.b);
     }},
    {"ConvertDibRowsTo8", ConvertDibRowsTo8, 1,
     [](const SourcePixel& p, uint32_t) {
       return p.indexed ? p.index : (77 * p.c.r + 150 * p.c.g + 29 * p.c.b) >> 8;
     }},
    {"ConvertRowsTo555", ConvertRowsTo555, 2,
     [](const SourcePixel& p, uint32_t) {
       return (p.c.r >> 3) << 10 | (p.c.g >> 3) << 5 | p.c.b >> 3;
     }},
    {"ConvertRowsTo565", ConvertRowsTo565, 2,
     [](const SourcePixel& p, uint32_t) {
       return (p.c.r >> 3) << 11 | (p.c.g >> 2) << 5 | p.c.b >> 3;
     }},
    {"ConvertRowsTo1555", ConvertRowsTo1555, 2,
     [](const SourcePixel& p, uint32_t) {
       uint32_t alpha = p.hasAlpha ? p.c.a >> 7 : 1;
       return alpha << 15 | (p.c.r >> 3) << 10 | (p.c.g >> 3) << 5 | p.c.b >> 3;
     }},
    {"ConvertRowsTo4444", ConvertRowsTo4444, 2,
     [](const SourcePixel& p, uint32_t) {
       uint32_t alpha = p.hasAlpha ? p.c.a >> 4 : 15;
       return alpha << 12 | (p.c.r >> 4) << 8 | (p.c.g >> 4) << 4 | p.c.b >> 4;
     }},
    {"ConvertRowsTo24", ConvertRowsTo24, 3,
     [](const SourcePixel& p, uint32_t) { return Pack(0, p.c.r, p.c.g, p.c.b); }},
};

// Random colour counts put indexes past the table, which convert to 0.
TEST(DibConvert, EveryConverterMatchesItsTableOnRandomRectangles) {
  std::mt19937 rng(5);
  for (const Case& c : kCases) {
    for (int bits : {1, 4, 8, 16, 24, 32}) {
      for (int round = 0; round < 12; ++round) {
        int sw = 1 + rng() % 40, sh = 1 + rng() % 12;
        uint32_t clrUsed = round % 3 == 0 && bits <= 8 ? 1 + rng() % (1u << bits) : 0;
        Dib dib(rng, sw, sh, bits, clrUsed);
        int w = 1 + rng() % sw, h = 1 + rng() % sh;
        int sx = rng() % (sw - w + 1), sy = rng() % (sh - h + 1);
        int tw = w + 3, th = h + 2;
        ptrdiff_t tpitch = tw * c.bytes + 4;
        std::vector<uint8_t> target(tpitch * th, 0xCD);
        std::vector<uint8_t> expect = target;
        const Rect rect{1, th - h, 1 + w, th};
        for (int y = 0; y < h; ++y) {
          for (int x = 0; x < w; ++x) {
            SourcePixel p = Decode(dib, sx + x, sy + y);
            uint32_t v = p.pastPalette ? 0 : c.expect(p, dib.Raw(sx + x, sy + y));
            uint8_t* out = expect.data() + (rect.top + y) * tpitch + (rect.left + x) * c.bytes;
            for (int i = 0; i < c.bytes; ++i) out[i] = static_cast<uint8_t>(v >> (8 * i));
          }
        }
        ASSERT_TRUE(c.convert(target.data(), rect, tpitch, dib.Source(sx, sy)))
            << c.name << " " << bits << " bits";
        ASSERT_EQ(target, expect) << c.name << " " << bits << " bits, round " << round << ", x "
                                  << sx << " w " << w;
      }
    }
  }
}

TEST(DibConvert, RefusesWhatItCannotReadSafely) {
  std::mt19937 rng(2);
  std::vector<uint8_t> target(64 * 64, 0xAA);
  const std::vector<uint8_t> untouched = target;
  const Rect rect{0, 0, 4, 4};
  for (const Case& c : kCases) {
    for (int bits : {0, 2, 3, 5, 12, 15, 33}) {
      Dib bad(rng, 8, 8, 8);
      bad.info.header.bitCount = static_cast<uint16_t>(bits);
      EXPECT_FALSE(c.convert(target.data(), rect, 64, bad.Source(0, 0))) << c.name << " " << bits;
    }
    for (int bits : {4, 8}) {
      Dib compressed(rng, 8, 8, bits);
      compressed.info.header.compression = 1;
      EXPECT_FALSE(c.convert(target.data(), rect, 64, compressed.Source(0, 0))) << c.name;
    }
    Dib dib(rng, 4, 8, 32);
    DibSource shortData = dib.Source(0, 0);
    shortData.size -= 1;  // the top row, last in memory, is cut short
    EXPECT_FALSE(c.convert(target.data(), rect, 64, shortData)) << c.name;
    EXPECT_FALSE(c.convert(target.data(), rect, 64, dib.Source(1, 0))) << c.name << " past the row";
    EXPECT_FALSE(c.convert(target.data(), rect, 64, dib.Source(0, 5)))
        << c.name << " past the rows";
    EXPECT_FALSE(c.convert(target.data(), rect, 64, dib.Source(-1, 0))) << c.name;
  }
  EXPECT_EQ(target, untouched) << "a refused conversion writes nothing";
}

}  // namespace
}  // namespace bw
