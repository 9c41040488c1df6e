#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "lib/bmp/bmp_builder.h"
#include "resource/images/bmp_loader.h"

namespace bw {
namespace {

using Bytes = std::vector<uint8_t>;
using Rows = std::vector<std::vector<uint8_t>>;

// Rows of indices below 1 << bits, in file order.
Rows IndexRows(int width, int rows, int bits, int seed) {
  Rows out(rows, std::vector<uint8_t>(width));
  for (int y = 0; y < rows; ++y)
    for (int x = 0; x < width; ++x)
      out[y][x] = static_cast<uint8_t>(((x / 3) * 5 + y * seed + (x * y % 7 == 0)) % (1 << bits));
  return out;
}

std::vector<uint32_t> Palette(int entries) {
  std::vector<uint32_t> p;
  for (int i = 0; i < entries; ++i)
    p.push_back(0x00102030u * static_cast<uint32_t>(i + 1) & 0xFFFFFF);
  return p;
}

tools::BmpFields Fields(int32_t width, int32_t height, uint16_t bits, uint32_t compression,
                        std::vector<uint32_t> palette, Bytes data) {
  return {.width = width,
          .height = height,
          .bits = bits,
          .compression = compression,
          .palette = std::move(palette),
          .masks = {},
          .data = std::move(data),
          .dataOffset = {}};
}

int Load(const Bytes& file, DibImage& dib) {
  return BmpLoader::LoadToBuffers(file, dib);
}

TEST(BmpLoader, UnpacksRleToTheSamePictureAsUncompressed) {
  for (bool nibbles : {false, true}) {
    uint16_t bits = nibbles ? 4 : 8;
    SCOPED_TRACE(nibbles ? "RLE4" : "RLE8");
    // Long repeats, absolute runs of odd and even length, and short tails.
    Rows rows = IndexRows(37, 5, bits, 1);
    rows[1] = std::vector<uint8_t>(37, 2);
    rows[2][36] = 1;
    tools::BmpFields bmp = Fields(37, 5, bits, nibbles ? kBiRle4 : kBiRle8, Palette(1 << bits),
                                  tools::EncodeRle(rows, nibbles));
    DibImage dib;
    ASSERT_EQ(Load(tools::BuildBmp(bmp), dib), kBmpDone);
    EXPECT_EQ(std::tuple(dib.compression, dib.bits), std::tuple(kBiRgb, bits));
    EXPECT_EQ(dib.pixels, tools::PackIndexRows(rows, bits));

    // A row ended early leaves the rest of the row at 0.
    bmp.data = {3, nibbles ? uint8_t(0x11) : uint8_t(1), 0, 0,
                2, nibbles ? uint8_t(0x55) : uint8_t(5), 0, 1};
    bmp.height = 2;
    ASSERT_EQ(Load(tools::BuildBmp(bmp), dib), kBmpDone);
    Rows expected = {std::vector<uint8_t>(37, 0), std::vector<uint8_t>(37, 0)};
    expected[0][0] = expected[0][1] = expected[0][2] = 1;
    expected[1][0] = expected[1][1] = 5;
    EXPECT_EQ(dib.pixels, tools::PackIndexRows(expected, bits));
  }
}

TEST(BmpLoader, RefusesRleStreamsItCannotFollow) {
  struct Case {
    const char* what;
    Bytes data;
    int code;
  };
  Rows rows = IndexRows(8, 3, 8, 2);
  tools::RleFaults delta, omitEnd, pastRow;
  delta.delta = true;
  omitEnd.omitEnd = true;
  pastRow.runPastRow = true;
  const Case cases[] = {
      {"delta escape", tools::EncodeRle(rows, false, delta), kBmpBadRle},
      {"no end of picture", tools::EncodeRle(rows, false, omitEnd), kBmpBadRle},
      {"run past the end of a row", tools::EncodeRle(rows, false, pastRow), kBmpBadRle},
      {"absolute run past the end of a row",
       {0, 9, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 1},
       kBmpBadRle},
      {"rows past the last", {0, 0, 0, 0, 0, 0, 1, 1, 0, 1}, kBmpBadRle},
      {"absolute run cut short", {0, 5, 1, 2}, kBmpBadRle},
  };
  for (const auto& c : cases) {
    DibImage dib;
    EXPECT_EQ(Load(tools::BuildBmp(Fields(8, 3, 8, kBiRle8, Palette(256), c.data)), dib), c.code)
        << c.what;
  }
}

TEST(BmpLoader, ConvertsBitfieldsTo24Bits) {
  // 5-6-5: channels of 5, 6 and 5 bits shifted up to 8 bits.
  tools::BmpFields bmp =
      Fields(2, 1, 16, kBiBitfields, {}, {0xFF, 0xFF, 0x41, 0x08});  // white; r=1 g=2 b=1
  bmp.masks = std::array<uint32_t, 3>{0xF800, 0x07E0, 0x001F};
  DibImage dib;
  ASSERT_EQ(Load(tools::BuildBmp(bmp), dib), kBmpDone);
  EXPECT_EQ(std::tuple(dib.bits, dib.compression, dib.pitch), std::tuple(24, kBiRgb, 8u));
  EXPECT_EQ(Bytes(dib.pixels.begin(), dib.pixels.begin() + 6), (Bytes{0xF8, 0xFC, 0xF8, 8, 8, 8}));
}

TEST(BmpLoader, RefusesHeadersAndSizesTheDataCannotBack) {
  const tools::BmpFields good = Fields(4, 2, 8, 0, Palette(256), Bytes(8, 1));
  struct Case {
    const char* what;
    std::function<void(tools::BmpFields&)> change;
    int code;
  };
  const Case cases[] = {
      {"header size 12", [](auto& s) { s.infoSize = 12; }, kBmpBadFormat},
      {"more colours than the depth holds", [](auto& s) { s.usedColours = 257; }, kBmpBadFormat},
      {"palette past the end",
       [](auto& s) { s.usedColours = 200, s.palette.resize(10), s.data.clear(); }, kBmpBadFormat},
      {"huge row count", [](auto& s) { s.height = 0x7FFFFFFF; }, kBmpBadFormat},
      {"zero width", [](auto& s) { s.width = 0; }, kBmpBadFormat},
      {"2 bits", [](auto& s) { s.bits = 2, s.palette.resize(4); }, kBmpBadFormat},
      {"unknown compression", [](auto& s) { s.compression = 4; }, kBmpBadCompression},
      {"bitfields at 8 bits", [](auto& s) { s.compression = kBiBitfields; }, kBmpBadCompression},
      {"top-down RLE",
       [](auto& s) {
         s.compression = kBiRle8, s.height = -2, s.data = {0, 1};
       },
       kBmpBadFormat},
      {"RLE size its codes cannot reach",
       [](auto& s) {
         s.compression = kBiRle8, s.height = 100000, s.data = {0, 1};
       },
       kBmpBadRle},
  };
  for (const auto& c : cases) {
    tools::BmpFields bmp = good;
    c.change(bmp);
    DibImage dib;
    EXPECT_EQ(Load(tools::BuildBmp(bmp), dib), c.code) << c.what;
  }
  DibImage dib;
  EXPECT_EQ(Load({}, dib), kBmpNoData);
  EXPECT_EQ(Load({'B', 'A', 0, 0}, dib), kBmpBadFormat);
  Bytes file = tools::BuildBmp(good);
  Bytes farOffset = file;
  farOffset[10] = static_cast<uint8_t>(file.size() + 1);
  farOffset[11] = static_cast<uint8_t>((file.size() + 1) >> 8);
  EXPECT_EQ(Load(farOffset, dib), kBmpBadFormat) << "data offset past the end";
  for (size_t n = 1; n < file.size(); ++n)
    EXPECT_NE(Load(Bytes(file.begin(), file.begin() + n), dib), kBmpDone) << "cut at " << n;
}

// Saves through the writer callback into bytes.
int Save(Bytes& file, int mode, const Bytes& pixels, int32_t width, int32_t height, int bits,
         size_t pitch, const uint32_t* palette = nullptr) {
  file.clear();
  return BmpLoader::Save(
      mode, pixels, width, height, bits, pitch,
      [&](const void* p, size_t n) {
        auto* b = static_cast<const uint8_t*>(p);
        file.insert(file.end(), b, b + n);
        return true;
      },
      palette);
}

uint32_t U32At(const Bytes& b, size_t at) {
  uint32_t v;
  std::memcpy(&v, &b[at], 4);
  return v;
}

TEST(BmpSave, WritesTheFileLayout) {
  // 3 x 2 at 24 bits: pitch 12, file 54 + 24 = 78, rows bottom row first, padded with 0.
  Bytes pixels = {1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 12, 13, 14, 15, 16, 17, 18, 19};
  Bytes file;
  ASSERT_EQ(Save(file, kBmpSaveColour, pixels, 3, 2, 24, 9), kBmpDone);
  ASSERT_EQ(file.size(), 78u);
  EXPECT_EQ(std::tuple(U32At(file, 2), U32At(file, 10), U32At(file, 34)), std::tuple(78u, 54u, 24u))
      << "file size, pixel offset, image size";
  EXPECT_EQ(Bytes(file.begin() + 54, file.begin() + 66),
            (Bytes{11, 12, 13, 14, 15, 16, 17, 18, 19, 0, 0, 0}));

  // 8 bits without a palette gets the grey ramp and 256 used colours.
  Bytes indices = {0, 1, 2, 3, 4, 5};
  ASSERT_EQ(Save(file, kBmpSaveColour, indices, 3, 2, 8, 3), kBmpDone);
  EXPECT_EQ(std::tuple(U32At(file, 10), U32At(file, 46), U32At(file, 54 + 4 * 200)),
            std::tuple(54u + 1024, 256u, 0xC8C8C8u));
}

TEST(BmpSave, RoundTripsEveryMode) {
  const int32_t w = 5, h = 3;
  Bytes argb(w * h * 4);
  for (size_t i = 0; i < argb.size(); ++i) argb[i] = static_cast<uint8_t>(i * 29 + 7);
  auto pixelAt = [&](int x, int y, int byte) { return argb[(y * w + x) * 4 + byte]; };
  struct Case {
    int mode;
    int32_t height;
    uint16_t fileBits;
  };
  for (Case c : {Case{kBmpSaveColour, h, 24}, Case{kBmpSaveColour, -h, 24},
                 Case{kBmpSave32, -h, 32}, Case{kBmpSaveAlpha, h, 8}}) {
    SCOPED_TRACE(testing::Message() << "mode " << c.mode << " height " << c.height);
    Bytes file;
    ASSERT_EQ(Save(file, c.mode, argb, w, c.height, 32, w * 4), kBmpDone);
    DibImage dib;
    ASSERT_EQ(BmpLoader::LoadToBuffers(file, dib), kBmpDone);
    ASSERT_EQ(dib.bits, c.fileBits);
    ASSERT_EQ(dib.height, h) << "files are written bottom-up";
    for (int y = 0; y < h; ++y) {
      int srcY = c.height > 0 ? y : h - 1 - y;  // a negative height is a bottom-up source
      for (int x = 0; x < w; ++x) {
        const uint8_t* p = dib.Row(y) + x * c.fileBits / 8;
        if (c.mode == kBmpSaveAlpha) {
          ASSERT_EQ(p[0], pixelAt(x, srcY, 3));
        } else {
          for (int k = 0; k < c.fileBits / 8; ++k)
            ASSERT_EQ(p[k], pixelAt(x, srcY, k)) << x << "," << y;
        }
      }
    }
  }
  // 8 bits with a palette keeps indices and palette.
  Bytes indices = {9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 1, 2};
  auto palette = Palette(256);
  Bytes file;
  ASSERT_EQ(Save(file, kBmpSaveColour, indices, 6, 2, 8, 6, palette.data()), kBmpDone);
  DibImage dib;
  ASSERT_EQ(BmpLoader::LoadToBuffers(file, dib), kBmpDone);
  EXPECT_EQ(dib.palette, palette);
  EXPECT_EQ(Bytes(dib.Row(0), dib.Row(0) + 6), Bytes(indices.begin(), indices.begin() + 6));
}

TEST(BmpSave, RefusesWhatItCannotWrite) {
  Bytes pixels(64 * 4, 1);
  Bytes file;
  for (int bits : {16, 33})
    EXPECT_EQ(Save(file, kBmpSaveColour, pixels, 4, 4, bits, 16), kBmpNoData)
        << bits << "-bit pixels";
  EXPECT_EQ(Save(file, kBmpSaveColour, {}, 4, 4, 24, 12), kBmpNoData) << "no pixels";
  EXPECT_EQ(Save(file, kBmpSave32, pixels, 4, 4, 24, 12), kBmpBadMode);
  EXPECT_EQ(Save(file, 3, pixels, 4, 4, 32, 16), kBmpBadMode);
  EXPECT_EQ(Save(file, kBmpSaveColour, pixels, 4, 40, 24, 12), kBmpNoData)
      << "rows past the pixels";
  EXPECT_EQ(Save(file, kBmpSave32, pixels, 4, 4, 32, 4), kBmpNoData) << "a gap of 12 bytes a row";
  EXPECT_EQ(Save(file, kBmpSaveAlpha, pixels, 4, 4, 32, 12), kBmpNoData)
      << "rows narrower than their pixels";
  EXPECT_EQ(BmpLoader::Save(kBmpSaveColour, pixels, 4, 4, 24, 12, nullptr, nullptr), kBmpNoWriter);
  auto failing = [](const void*, size_t) { return false; };
  EXPECT_EQ(BmpLoader::Save(kBmpSaveColour, pixels, 4, 4, 24, 12, failing, nullptr),
            kBmpWriteFailed);
  auto sink = [](const void*, size_t) { return true; };
  int calls = 0;
  EXPECT_EQ(BmpLoader::Save(kBmpSaveColour, pixels, 4, 4, 24, 12, sink, nullptr,
                            [&](int, int) { return ++calls == 2 ? 1 : 0; }),
            kBmpProgressRefused);
  EXPECT_EQ(calls, 2);
}

}  // namespace
}  // namespace bw
