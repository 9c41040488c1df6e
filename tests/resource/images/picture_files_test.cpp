// The picture files: BMP and WGX read and written, the HVD and HVA animation files, first against
// bytes laid out by hand from the formats' field tables, read by the loaders and written by the
// animation writer, and the conversion of DIB rows into every destination format.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

#include "common/global.h"
#include "graphics/surface/hva_data.h"
#include "lib/bmp/bmp_builder.h"
#include "lib/hva/hv_writer.h"
#include "lib/wgx/sample_picture.h"
#include "lib/wgx/wgx_writer.h"
#include "resource/images/bmp_loader.h"
#include "resource/images/builtin_loaders.h"
#include "resource/images/dib_convert.h"
#include "resource/images/hvd_animation.h"
#include "resource/images/image_loader_manager.h"
#include "resource/images/wgx_loader.h"
#include "resource/images/wgx_unpack.h"
#include "support/game_folder.h"

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

// Two ranges: record 1 ends the first (a < 0, b < 1); record 2 (a < 0, b = 1) does not end one.
// clang-format off
const Bytes kHvd = {
    'H', 'V', 'D', 0,                                            // magic
    1, 2, 3, 4, 5, 6, 2, 0, 9, 10, 11, 12,                       // header, 2 ranges at 6
    4, 0, 0, 0, 0xAA, 0xBB, 0xCC, 0xDD,                          // blob of 4 bytes
    4, 0, 0, 0,                                                  // 4 records
    5, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 2, 0, 0, 0,              // 5, 1, 0x100, blob + 2
    0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // -1, 0: ends range 0
    0xFE, 0xFF, 0xFF, 0xFF, 1, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0,  // -2, 1
    7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,              // 7, 0
    2, 0, 0, 0,                                                  // 2 entries
    3, 0, 'r', 'u', 'n', 0x02, 0x01, 0xFF, 0xFF,                 // "run", 0x0102, 0xFFFF
    0, 0, 1, 0, 2, 0,                                            // "", 1, 2
};
// clang-format on

TEST(HvKnownAnswer, HvdFieldsStandWhereTheTableSays) {
  HvdAnimation anim;
  ASSERT_EQ(anim.Load(kHvd), kHvdLoaded);
  EXPECT_EQ(std::tuple(anim.GetHeader()[0], anim.GetHeader()[11]), std::tuple(1, 12));
  ASSERT_EQ(anim.Frames().size(), 5u) << "four records and the sentinel";
  EXPECT_EQ(std::tuple(anim.Frames()[0].c, anim.Frames()[2].a), std::tuple(0x100u, -2));
  ASSERT_NE(anim.FrameData(0), nullptr);
  EXPECT_EQ(*anim.FrameData(0), 0xCC);
  EXPECT_EQ(anim.GetRangeEnd(0), 1) << "record 1 ends the first range";
  ASSERT_EQ(anim.Entries().size(), 2u);
  EXPECT_EQ(anim.Entries()[0].name, "run");
  EXPECT_EQ(std::tuple(anim.Entries()[0].p, anim.Entries()[0].q, anim.Entries()[1].q),
            std::tuple(0x0102, 0xFFFF, 2));

  const tools::HvdFile file{{1, 2, 3, 4, 5, 6, 0, 0, 9, 10, 11, 12},
                            2,
                            {0xAA, 0xBB, 0xCC, 0xDD},
                            {{5, 1, 0x100, 2}, {-1, 0, 0, 0}, {-2, 1, 0, 3}, {7, 0, 0, 0}},
                            {{"run", 0x0102, 0xFFFF}, {"", 1, 2}}};
  EXPECT_EQ(tools::WriteHvd(file), kHvd);
}

// A 1 x 1 24-bit bitmap of the colour 0x102030.
// clang-format off
const Bytes kBmp = {
    'B', 'M', 58, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,  // file header: 58 bytes, pixels at 54
    40, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0, 4, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // the info header's last four fields
    0x30, 0x20, 0x10, 0,                             // blue, green, red, row padding
};
// clang-format on

TEST(HvKnownAnswer, HvaFieldsStandWhereTheTableSays) {
  // clang-format off
  Bytes hva = {
      'H', 'V', 'A', 0,                                        // magic
      0x80, 0x02, 0xE0, 0x01, 0, 0, 1, 0, 0, 0, 0, 0,          // 640, 480, one range at 6
      2, 0, 0, 0, 0x77, 0x77,                                  // a skipped block of 2
      2, 0, 0, 0,                                              // 2 records
      0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0,          // 0, 1, 2, 3
      0xFD, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // -3: ends the range
      1, 0, 0, 0,                                              // one picture
      58, 0, 0, 0, 74, 0, 0, 0, 0, 0, 0, 0,                    // 58 bytes at 74, key (0, 0)
  };
  // clang-format on
  ASSERT_EQ(hva.size(), 74u);
  hva.insert(hva.end(), kBmp.begin(), kBmp.end());

  ImageLoaderManager images;
  RegisterBuiltinLoaders(images);
  ScopedGlobal<ImageLoaderManager> published(&images);
  HvaData data;
  ASSERT_EQ(data.Load(hva), kHvaLoaded);
  EXPECT_EQ(std::tuple(data.GetHeader()[0], data.GetHeader()[1], data.GetHeader()[2]),
            std::tuple(640, 480, 1));
  ASSERT_EQ(data.Frames().size(), 3u);
  EXPECT_EQ(std::tuple(data.Frames()[0].d, data.Frames()[1].a), std::tuple(3u, -3));
  EXPECT_EQ(data.Pictures().size(), 1u) << "its keys are the HVA data test's";

  EXPECT_EQ(
      tools::WriteHva({640, 480, 1, {0x77, 0x77}, {{0, 1, 2, 3}, {-3, 0, 0, 0}}, {{kBmp, 0, 0}}}),
      hva);
}

// 12 records in 3 ranges: records 4 and 9 end ranges; a plain record has a >= 0.
tools::HvdFile ThreeRanges() {
  tools::HvdFile file{
      {1, 2, 3, 4, 5, 6, 0, 0, 9, 10, 11, 12}, 3, {10, 11, 12, 13, 14, 15, 16, 17}, {}, {}};
  for (int i = 0; i < 12; ++i) {
    HvdFrame f{i, 5, static_cast<uint32_t>(100 + i), static_cast<uint32_t>(i % 10)};
    if (i == 4 || i == 9) f.a = -3, f.b = 0;
    file.frames.push_back(f);
  }
  file.entries = {{"walk", 1, 2}, {"", 3, 4}, {"\x83\x41", 0xFFFF, 0}};
  return file;
}

TEST(HvdAnimation, CutsRecordsIntoRangesAndKeepsTheRest) {
  auto file = ThreeRanges();
  HvdAnimation anim;
  ASSERT_EQ(anim.Load(tools::WriteHvd(file)), kHvdLoaded);
  // Range -1 and 3 do not exist; the last range ends at the sentinel.
  for (auto [range, start, end] :
       {std::tuple(-1, -1, -1), {0, 0, 4}, {1, 5, 9}, {2, 10, 12}, {3, -1, -1}}) {
    EXPECT_EQ(anim.GetRangeStart(range), start) << range;
    EXPECT_EQ(anim.GetRangeEnd(range), end) << range;
  }
  for (auto [frame, range, offset] : {std::tuple(7, 1, 2), {12, 2, 2}, {0, 0, 0}, {13, -1, -1}}) {
    int at = -1;
    EXPECT_EQ(anim.FindRange(frame, &at), range) << frame;
    EXPECT_EQ(at, offset) << frame;
  }
  EXPECT_EQ(anim.LongestRange(), 5u);
  // Records point into the blob while their offset lies inside it.
  ASSERT_NE(anim.FrameData(3), nullptr);
  EXPECT_EQ(*anim.FrameData(3), 13);
  EXPECT_EQ(anim.FrameData(8), nullptr) << "offset 8 is past a blob of 8 bytes";

  file.blob.clear();
  ASSERT_EQ(anim.Load(tools::WriteHvd(file)), kHvdLoaded) << "a file without a blob";
  EXPECT_TRUE(anim.Blob().empty());
  for (size_t i = 0; i < anim.Frames().size(); ++i) EXPECT_EQ(anim.FrameData(i), nullptr);
}

TEST(HvdAnimation, RefusesBadFilesAndUnreadableNames) {
  auto good = ThreeRanges();
  struct Case {
    const char* what;
    Bytes bytes;
    int code;
  };
  auto fewerEnds = good;
  fewerEnds.frames[9].a = 1;  // only one end record: the sentinel ends range 1, range 2 is missing
  auto noRanges = good;
  noRanges.rangeCount = 0;
  tools::HvdFaults wrongMagic, manyFrames, manyEntries;
  wrongMagic.wrongMagic = true;
  manyFrames.frameCount = 0x10000000;
  manyEntries.entryCount = 0x40000000;
  const Case cases[] = {
      {"wrong magic", tools::WriteHvd(good, wrongMagic), kHvdWrongMagic},
      {"range count 0", tools::WriteHvd(noRanges), kHvdNoRanges},
      {"ranges past the sentinel", tools::WriteHvd(fewerEnds), kHvdBadFrames},
      {"frame count beyond the bytes", tools::WriteHvd(good, manyFrames), kHvdBadFrames},
      {"entry count beyond the bytes", tools::WriteHvd(good, manyEntries), kHvdBadEntryNameLength},
  };
  for (const auto& c : cases) {
    HvdAnimation anim;
    EXPECT_EQ(anim.Load(c.bytes), c.code) << c.what;
    EXPECT_EQ(anim.GetRangeStart(0), -1) << c.what << ": a failed load answers no ranges";
    EXPECT_EQ(anim.FindRange(0, nullptr), -1) << c.what;
  }

  // A load by name is the object natives' test; a name that cannot be read answers 1 and leaves
  // nothing of the earlier load.
  test::GameFolder game;
  HvdAnimation anim;
  ASSERT_EQ(anim.Load(tools::WriteHvd(ThreeRanges())), kHvdLoaded);
  EXPECT_EQ(anim.Load("ANIM\\MISSING.HVD"), kHvdCannotOpen);
  EXPECT_EQ(std::tuple(anim.GetRangeStart(0), anim.Entries().empty()), std::tuple(-1, true));
  EXPECT_EQ(anim.Load(static_cast<const char*>(nullptr)), kHvdCannotOpen);
}

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
