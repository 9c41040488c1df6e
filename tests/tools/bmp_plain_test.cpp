// Bitmaps as image editors write them, made plain for the engine's loader by the wgx tool: the
// larger headers, BGRA bit fields with their alpha, and 8-bit RLE whose rows carry a padding pixel.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lib/bmp/bmp_plain.h"
#include "resource/images/bmp_loader.h"

namespace bw::tools {
namespace {

using Bytes = std::vector<uint8_t>;

void Put(Bytes& b, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// A bottom-up bitmap: headers, the masks of a larger header, the table, then the pixel bytes.
Bytes Bitmap(uint32_t infoSize, int32_t width, int32_t height, uint16_t bits, uint32_t compression,
             const std::vector<uint32_t>& masks, const std::vector<uint32_t>& table,
             const Bytes& pixels) {
  Bytes info;
  Put(info, infoSize, 4);
  Put(info, static_cast<uint32_t>(width), 4);
  Put(info, static_cast<uint32_t>(height), 4);
  Put(info, 1, 2);
  Put(info, bits, 2);
  Put(info, compression, 4);
  Put(info, static_cast<uint32_t>(pixels.size()), 4);
  Put(info, 2835, 4);
  Put(info, 2835, 4);
  Put(info, bits <= 8 ? static_cast<uint32_t>(table.size()) : 0, 4);
  Put(info, 0, 4);
  for (uint32_t mask : masks) Put(info, mask, 4);
  info.resize(infoSize, 0);
  for (uint32_t entry : table) Put(info, entry, 4);
  Bytes file = {'B', 'M'};
  Put(file, static_cast<uint32_t>(14 + info.size() + pixels.size()), 4);
  Put(file, 0, 4);
  Put(file, static_cast<uint32_t>(14 + info.size()), 4);
  file.insert(file.end(), info.begin(), info.end());
  file.insert(file.end(), pixels.begin(), pixels.end());
  return file;
}

TEST(PlainBmp, TheLoaderReadsWhatImageEditorsWrite) {
  const std::vector<uint32_t> bgra = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
  const std::vector<uint32_t> palette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
  struct Case {
    const char* name;
    Bytes file;
    int bits;           // of the loaded picture
    Bytes firstPixels;  // the loaded bottom row's first bytes
  };
  const Case cases[] = {
      {"a 124-byte header with BGRA fields keeps its alpha",
       Bitmap(124, 2, 1, 32, 3, bgra, {}, {1, 2, 3, 0x80, 4, 5, 6, 0xFF}),
       32,
       {1, 2, 3, 0x80, 4, 5, 6, 0xFF}},
      {"a 108-byte header, 24 bits",
       Bitmap(108, 1, 1, 24, 0, bgra, {}, {7, 8, 9, 0}),
       24,
       {7, 8, 9}},
      {"8-bit RLE of width 3 with a padding pixel after each row",
       Bitmap(40, 3, 2, 8, 1, {}, palette, {3, 1, 1, 0, 0, 0, 0, 3, 2, 3, 1, 0, 0, 1}),
       8,
       {1, 1, 1}},
      {"the same under a 124-byte header",
       Bitmap(124, 3, 1, 8, 1, bgra, palette, {2, 2, 2, 0, 0, 1}),
       8,
       {2, 2, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes plain;
    std::string reason;
    ASSERT_TRUE(MakePlainBmp(c.file, &plain, &reason)) << reason;
    DibImage dib;
    ASSERT_EQ(BmpLoader::LoadToBuffers(plain, dib), 0);
    EXPECT_EQ(dib.bits, c.bits);
    const Bytes row(dib.Row(dib.Rows() - 1), dib.Row(dib.Rows() - 1) + c.firstPixels.size());
    EXPECT_EQ(row, c.firstPixels);
  }
}

TEST(PlainBmp, WhatIsNotReadIsNamed) {
  struct Case {
    const char* name;
    Bytes file;
    const char* reason;
  };
  const Case cases[] = {
      {"a 64-byte header", Bitmap(64, 1, 1, 24, 0, {}, {}, {1, 2, 3, 0}),
       "BMP header of 64 bytes is not read"},
      {"RLE cut inside a literal run", Bitmap(40, 4, 1, 8, 1, {}, {0, 1}, {0, 4, 1}),
       "8-bit RLE pixels are damaged"},
      {"no headers", Bytes{'B', 'M', 0}, "not a BMP file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes plain;
    std::string reason;
    EXPECT_FALSE(MakePlainBmp(c.file, &plain, &reason));
    EXPECT_NE(reason.find(c.reason), std::string::npos) << reason;
  }
}

}  // namespace
}  // namespace bw::tools
