// The BMP and WGX picture files, read and written.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

#include "lib/bmp/bmp_builder.h"
#include "lib/wgx/sample_picture.h"
#include "lib/wgx/wgx_writer.h"
#include "resource/images/bmp_loader.h"
#include "resource/images/wgx_loader.h"
#include "resource/images/wgx_unpack.h"

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
  tools::BmpFields f;
  f.width = width, f.height = height, f.bits = bits, f.compression = compression;
  f.palette = std::move(palette), f.data = std::move(data);
  return f;
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
  Rows rows = IndexRows(8, 3, 8, 2);
  const std::pair<const char*, Bytes> cases[] = {
      {"delta escape", tools::EncodeRle(rows, false, {.delta = true})},
      {"no end of picture", tools::EncodeRle(rows, false, {.omitEnd = true})},
      {"run past the end of a row", tools::EncodeRle(rows, false, {.runPastRow = true})},
      {"absolute run past the end of a row", {0, 9, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 1}},
      {"rows past the last", {0, 0, 0, 0, 0, 0, 1, 1, 0, 1}},
      {"absolute run cut short", {0, 5, 1, 2}},
  };
  for (const auto& [what, data] : cases) {
    DibImage dib;
    EXPECT_EQ(Load(tools::BuildBmp(Fields(8, 3, 8, kBiRle8, Palette(256), data)), dib), kBmpBadRle)
        << what;
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

// Rows left in the file give the picture LoadToBuffers copies out; unpacked ones are the DIB's own.
TEST(BmpLoader, LeavesUncompressedRowsInTheFile) {
  tools::BmpFields bitfields = Fields(2, 1, 16, kBiBitfields, {}, {0xFF, 0xFF, 0x41, 0x08});
  bitfields.masks = std::array<uint32_t, 3>{0xF800, 0x07E0, 0x001F};
  const std::pair<tools::BmpFields, bool> cases[] = {
      {Fields(5, 3, 8, kBiRgb, Palette(256), tools::PackIndexRows(IndexRows(5, 3, 8, 3), 8)), true},
      {Fields(3, -2, 24, kBiRgb, {}, Bytes(24, 7)), true},
      {Fields(8, 3, 8, kBiRle8, Palette(256), tools::EncodeRle(IndexRows(8, 3, 8, 2), false)),
       false},
      {bitfields, false},
  };
  for (const auto& [fields, inFile] : cases) {
    SCOPED_TRACE(testing::Message() << fields.bits << " bits, compression " << fields.compression);
    const Bytes file = tools::BuildBmp(fields);
    DibImage copied, left;
    std::span<const uint8_t> rows;
    ASSERT_EQ(Load(file, copied), kBmpDone);
    ASSERT_EQ(BmpLoader::LoadRows(file, left, rows), kBmpDone);
    EXPECT_EQ(Bytes(rows.begin(), rows.end()), copied.pixels);
    EXPECT_EQ(std::tuple(left.width, left.height, left.bits, left.pitch, left.palette),
              std::tuple(copied.width, copied.height, copied.bits, copied.pitch, copied.palette));
    const bool inside = rows.data() >= file.data() && rows.data() < file.data() + file.size();
    EXPECT_EQ(inside, inFile);
    EXPECT_EQ(left.pixels.empty(), inFile);
  }
  // A refusal names no rows, even one that comes after the rows were found.
  DibImage dib;
  std::span<const uint8_t> rows;
  EXPECT_EQ(BmpLoader::LoadRows(Bytes{'B', 'M'}, dib, rows), kBmpBadFormat);
  EXPECT_TRUE(rows.empty());
  const Bytes file = tools::BuildBmp(cases[1].first);
  EXPECT_EQ(BmpLoader::LoadRows(file, dib, rows, [](int done, int total) { return done == total; }),
            kBmpProgressRefused);
  EXPECT_TRUE(rows.empty());
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

// 8 bits with a palette is the image surface's save test, through the loader manager.
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

// Streams that do not fit their picture: 8-bit ones of width bytes, 24-bit ones of width x height.
TEST(WgxUnpack, RefusesStreamsThatDoNotFitThePicture) {
  struct Case {
    const char* what;
    int depth;
    Bytes stream;
    uint32_t width, height;
  };
  const Case cases[] = {
      {"copy before the first byte", 8, {0xC0, 0xFF}, 1, 1},
      {"end code before the picture is full", 8, {0x41, 7, 0xFF}, 5, 1},
      {"no end code", 8, {0x41, 7}, 4, 1},
      {"fill past the end", 8, {0x41, 7, 0xFF}, 3, 1},
      {"copy past the end", 8, {0x01, 1, 2, 0x81, 0x00, 0xFF}, 4, 1},
      {"units after a full picture", 8, {0x00, 1, 0x00, 2, 0xFF}, 1, 1},
      {"empty input", 8, {}, 0, 1},
      {"row up from the top row", 24, {0x00, 1, 2, 3, 0xD0, 0xFF}, 4, 1},
      {"row up and left reaching before the start",
       24,
       {0x03, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 0xE0, 0xFF},
       4,
       2},
      {"row up and right onto itself (width 1)", 24, {0x00, 1, 2, 3, 0xF0, 0xFF}, 1, 2},
      {"distance copy before the start", 24, {0x00, 1, 2, 3, 0xB0, 0xFF}, 2, 1},
      {"fill past the end", 24, {0x40, 1, 2, 3, 0xFF}, 1, 1},
      {"end code early", 24, {0x00, 1, 2, 3, 0xFF}, 2, 1},
      {"no end code", 24, {0x00, 1, 2, 3}, 1, 1},
  };
  for (const auto& c : cases) {
    ByteReader in(c.stream.data(), c.stream.size());
    Bytes bytes(c.width);
    std::vector<uint32_t> words(size_t{c.width} * c.height);
    EXPECT_EQ(c.depth == 8 ? WgxUnpack8(in, bytes) : WgxUnpack24To32(in, words, c.width, c.height),
              kWgxBadStream)
        << c.depth << ": " << c.what;
  }
  const Bytes endOnly = {0xFF};
  ByteReader in(endOnly.data(), endOnly.size());
  EXPECT_EQ(WgxUnpack8(in, {}), 0) << "an empty picture is only the end code";
  EXPECT_TRUE(in.atEnd()) << "the reader must stop right after the end code";
}

// 24-bit copies from rows above: 0xD0-0xDF straight up, 0xE0-0xEF up and one to the left,
// 0xF0-0xFE up and one to the right, the low nibble one row less than the rows up. The first
// row is 1 2 3 (blue bytes), the second 4 5 6.
TEST(WgxUnpack, RowCopiesReachTheColumnTheirCodeNames) {
  const struct {
    Bytes codes;
    std::vector<uint32_t> lastRow;
  } cases[] = {{{0xD0, 0xD0, 0xD0}, {4, 5, 6}},
               {{0xF0, 0xE0, 0xE0}, {5, 4, 5}},
               {{0xD1, 0xE1, 0xE1}, {1, 1, 2}},
               {{0xF1, 0xF0, 0xE0}, {2, 6, 5}}};
  for (const auto& c : cases) {
    Bytes stream = {0x05, 1, 0, 0, 2, 0, 0, 3, 0, 0, 4, 0, 0, 5, 0, 0, 6, 0, 0};
    stream.insert(stream.end(), c.codes.begin(), c.codes.end());
    stream.push_back(0xFF);
    std::vector<uint32_t> pixels(9);
    ByteReader in(stream.data(), stream.size());
    ASSERT_EQ(WgxUnpack24To32(in, pixels, 3, 3), 0) << testing::PrintToString(c.codes);
    EXPECT_EQ(std::vector<uint32_t>(pixels.begin() + 6, pixels.end()), c.lastRow)
        << testing::PrintToString(c.codes);
  }

  // An 8-bit picture into 32 bits takes the palette's colour and the alpha asked for on top.
  std::array<uint32_t, 256> palette{};
  palette[7] = 0xEE123456;
  const Bytes indices = {0x01, 7, 0, 0xFF};
  std::vector<uint32_t> pixels(2);
  ByteReader in(indices.data(), indices.size());
  ASSERT_EQ(WgxUnpackPaletteTo32(in, pixels, palette, 0x80), 0);
  EXPECT_EQ(pixels, (std::vector<uint32_t>{0x80123456, 0x80000000}));
}

// Whole pictures in every layout are checked through the loader; here what lies outside them.
TEST(WgxUnpack, OutputsKeepTheirOtherBytesAndRefuseShortBuffers) {
  const Bytes stream = {0x01, 0x10, 0x20, 0x41, 0x30, 0xFF};  // 10 20 30 30 30 30
  const Bytes values = {0x10, 0x20, 0x30, 0x30, 0x30, 0x30};
  // 3 x 2 into a bottom-up 32-bit DIB's alpha bytes and into padded top-down rows.
  Bytes dib(12 * 2, 0x55), rows(5 * 2, 0x55);
  ByteReader in(stream.data(), stream.size());
  ASSERT_EQ(WgxUnpackAlphaToDib(in, dib, 3, 2, 12), 0);
  in = ByteReader(stream.data(), stream.size());
  ASSERT_EQ(WgxUnpack8Rows(in, rows, 3, 2, 5), 0);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) {
      EXPECT_EQ(dib[(1 - y) * 12 + 4 * x + 3], values[y * 3 + x]);
      EXPECT_EQ(dib[(1 - y) * 12 + 4 * x], 0x55) << "colour bytes stay";
      EXPECT_EQ(rows[y * 5 + x], values[y * 3 + x]);
    }
    EXPECT_EQ(rows[y * 5 + 3], 0x55) << "padding stays";
  }
  in = ByteReader(stream.data(), stream.size());
  EXPECT_EQ(WgxUnpack8ToDib(in, std::span<uint8_t>(dib).first(6), 3, 2, 4), kWgxBadOutput);

  const uint32_t width = 13, height = 9, pitch = 40;
  Bytes dib24(pitch * height);
  std::vector<uint32_t> packed(width * height);
  const Bytes stream24 = tools::EncodeWgx24(tools::MakeBackdrop(width, height, 3), width);
  in = ByteReader(stream24.data(), stream24.size());
  EXPECT_EQ(WgxUnpack24ToDib(in, dib24, width, height, width * 3 - 1), kWgxBadOutput);
  EXPECT_EQ(
      WgxUnpack24ToDib(in, std::span<uint8_t>(dib24).first((height - 1) * pitch + width * 3 - 1),
                       width, height, pitch),
      kWgxBadOutput);
  EXPECT_EQ(WgxUnpack24To32(in, std::span<uint32_t>(packed).first(10), width, height),
            kWgxBadOutput);
}

TEST(WgxLoader, RefusesBadHeaders) {
  struct Case {
    const char* what;
    Bytes bytes;
    int code;
  };
  const Case cases[] = {
      {"wrong magic", {'W', 'G', 'Y', 24, 1, 0, 1, 0}, kWgxWrongMagic},
      {"depth 16", {'W', 'G', 'X', 16, 1, 0, 1, 0}, kWgxBadData},
      {"chunk length 0 (would loop)",
       {'W', 'G', 'X', 2, 24, 1, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0},
       kWgxBadData},
      {"chunk length 3 (would run backwards)",
       {'W', 'G', 'X', 2, 24, 1, 0, 1, 0, 0, 0, 0, 0, 1, 3, 0, 0, 0, 0},
       kWgxBadData},
      {"chunk list without its closing flag",
       {'W', 'G', 'X', 2, 24, 1, 0, 1, 0, 0, 0, 0, 0, 1, 4, 0, 0, 0},
       kWgxBadData},
      {"65535 x 65535 (16 GB) behind a few bytes of stream",
       {'W', 'G', 'X', 32, 0xFF, 0xFF, 0xFF, 0xFF, 0x60, 0xFF, 0, 0, 0, 0xFF},
       kWgxBadData},
  };
  for (const auto& c : cases) {
    WgxLoader loader;
    DibImage dib;
    EXPECT_EQ(loader.LoadToBuffers(c.bytes, dib), c.code) << c.what;
  }
  EXPECT_FALSE(WgxLoader::IsSupported(Bytes{'W', 'G', 'X'})) << "needs four bytes";
  EXPECT_TRUE(WgxLoader::IsSupported(Bytes{'W', 'G', 'X', 0}));
}

tools::WgxWriteOptions Form(int form, tools::WgxFaults faults = {}) {
  return {form, faults};
}

tools::WgxPicture Picture(int depth, uint32_t width, uint32_t height, uint32_t seed) {
  tools::WgxPicture p{depth, width, height, tools::MakeBackdrop(width, height, seed),
                      {},    -7,    300,    {{1, 2, 3}, {}}};
  if (depth == 8) {
    for (auto& px : p.pixels) px = (px >> 4) & 0xFF;
    for (uint32_t i = 0; i < 256; ++i) p.palette.push_back(i * 0x010101u ^ 0x00A05000);
  } else if (depth == 24) {
    for (auto& px : p.pixels) px &= 0xFFFFFF;
  }
  return p;
}

TEST(WgxLoader, RoundTripsEveryDepthAndForm) {
  for (int depth : {8, 24, 32}) {
    for (int form : {0, 1, 2}) {
      for (auto [w, h] : {std::pair<uint32_t, uint32_t>{37, 23}, {1, 5}, {300, 2}, {0, 0}}) {
        SCOPED_TRACE(testing::Message()
                     << "depth " << depth << " form " << form << " size " << w << "x" << h);
        auto picture = Picture(depth, w, h, depth * 10 + form);
        Bytes file = tools::WriteWgx(picture, Form(form));
        WgxLoader loader;
        DibImage dib;
        ASSERT_EQ(loader.LoadToBuffers(file, dib), 0);
        ASSERT_EQ(std::tuple(dib.bits, uint32_t(dib.width), uint32_t(dib.height)),
                  std::tuple(depth, w, h));
        EXPECT_EQ(std::tuple(dib.offsetX, dib.offsetY),
                  form ? std::tuple(-7, 300) : std::tuple(0, 0));
        EXPECT_EQ(loader.GetPaletteCount(), form == 2 ? 13u : 0u);
        if (depth == 8) {
          EXPECT_EQ(dib.palette, picture.palette);
        }
        for (uint32_t y = 0; y < h; ++y) {
          const uint8_t* row = dib.Row(y);
          for (uint32_t x = 0; x < w; ++x) {
            uint32_t want = picture.pixels[y * w + x], got = 0;
            std::memcpy(&got, row + x * depth / 8, depth / 8);
            ASSERT_EQ(got, want) << x << "," << y;
          }
        }

        // Converting into a destination is the image surface's load test; here the one flag
        // it cannot see.
        std::vector<uint8_t> buffer;
        bool askedAlpha = false;
        auto destination = [&](int dw, int dh, int, bool alpha, bool) {
          askedAlpha = alpha;
          buffer.assign(size_t(dw) * 4 * dh, 0);
          return WgxDestination{buffer, size_t(dw) * 4, nullptr};
        };
        ASSERT_EQ(loader.Load(file, destination, false), 0);
        EXPECT_EQ(askedAlpha, depth == 32) << "only 32-bit pictures carry alpha";
      }
    }
  }
}

// A stream fault found only at the last unit, or any cut, still hands nothing out.
TEST(WgxLoader, RefusesOverrunningAndTruncatedFilesAtEveryDepth) {
  for (int depth : {8, 24, 32}) {
    DibImage dib;
    EXPECT_EQ(WgxLoader().LoadToBuffers(
                  tools::WriteWgx(Picture(depth, 16, 9, 5), Form(0, {.overrun = true})), dib),
              kWgxBadData)
        << depth;
    EXPECT_EQ(dib.width, 0) << "nothing is handed out";
    Bytes file = tools::WriteWgx(Picture(depth, 20, 10, 9), Form(2));
    for (size_t n = 0; n < file.size(); ++n) {
      DibImage cutDib;
      int rc = WgxLoader().LoadToBuffers(Bytes(file.begin(), file.begin() + n), cutDib);
      EXPECT_TRUE(rc == kWgxBadData || rc == kWgxWrongMagic)
          << "depth " << depth << " cut at " << n << ": " << rc;
    }
  }
}

TEST(WgxLoader, DestinationFailures) {
  Bytes file = tools::WriteWgx(Picture(24, 8, 6, 2));
  WgxLoader loader;
  EXPECT_EQ(loader.Load(file, nullptr, false), kWgxNoDestination);
  std::vector<uint8_t> small(10);
  for (const WgxDestination& given : {WgxDestination{}, WgxDestination{small, 32}}) {
    EXPECT_EQ(loader.Load(
                  file, [&](int, int, int, bool, bool) { return given; }, false),
              kWgxNoBuffer);
  }
}

}  // namespace
}  // namespace bw
