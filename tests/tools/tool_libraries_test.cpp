// The tools' libraries checked against the engine's readers where no reader's own round trip
// reaches the case: bitmaps as image editors write them made plain for the loader, the main
// script's code blocks, the WGX writer's streams, and the text sample sheets. The Ogg Vorbis
// writer's tones are the decoder's test.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <span>
#include <string>
#include <vector>

#include "common/byte_reader.h"
#include "lib/bmp/bmp_plain.h"
#include "lib/le_bytes.h"
#include "lib/sob/sob_assembler.h"
#include "lib/textshot/message_sheet.h"
#include "lib/textshot/text_sheet.h"
#include "lib/tob/tob_syntax.h"
#include "lib/wgx/wgx_writer.h"
#include "resource/images/bmp_loader.h"
#include "resource/images/wgx_unpack.h"

namespace bw::tools {
namespace {

using Bytes = std::vector<uint8_t>;
using tob::syntax::AssembleFragment;
using tob::syntax::Fragment;
using tob::syntax::ReadCodeBlock;

// Bitmaps as image editors write them: the larger headers, BGRA bit fields with their alpha, and
// 8-bit RLE whose rows carry a padding pixel.

// A bottom-up bitmap: headers, the masks of a larger header, the table, then the pixel bytes.
Bytes Bitmap(uint32_t infoSize, int32_t width, int32_t height, uint16_t bits, uint32_t compression,
             const std::vector<uint32_t>& masks, const std::vector<uint32_t>& table,
             const Bytes& pixels) {
  Bytes info;
  for (uint32_t field : {infoSize, uint32_t(width), uint32_t(height)}) PutLe(info, field, 4);
  PutLe(info, 1, 2);  // one plane
  PutLe(info, bits, 2);
  for (uint32_t field : {compression, uint32_t(pixels.size()), 2835u, 2835u,
                         bits <= 8 ? uint32_t(table.size()) : 0u, 0u})
    PutLe(info, field, 4);
  for (uint32_t mask : masks) PutLe(info, mask, 4);
  info.resize(infoSize, 0);
  for (uint32_t entry : table) PutLe(info, entry, 4);
  Bytes file = {'B', 'M'};
  for (size_t field : {14 + info.size() + pixels.size(), size_t{0}, 14 + info.size()})
    PutLe(file, static_cast<uint32_t>(field), 4);
  file.insert(file.end(), info.begin(), info.end());
  file.insert(file.end(), pixels.begin(), pixels.end());
  return file;
}

TEST(PlainBmp, TheLoaderReadsWhatImageEditorsWrite) {
  const std::vector<uint32_t> bgra = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
  const std::vector<uint32_t> palette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
  struct Case {
    const char* name;
    int bits;           // of the loaded picture
    Bytes firstPixels;  // the loaded bottom row's first bytes
    Bytes file;
  };
  // clang-format off
  const Case cases[] = {
      {"a 124-byte header with BGRA fields keeps its alpha", 32, {1, 2, 3, 0x80, 4, 5, 6, 0xFF},
       Bitmap(124, 2, 1, 32, 3, bgra, {}, {1, 2, 3, 0x80, 4, 5, 6, 0xFF})},
      {"108-byte header, 24 bits", 24, {7, 8, 9}, Bitmap(108, 1, 1, 24, 0, bgra, {}, {7, 8, 9, 0})},
      {"8-bit RLE of width 3 with a padding pixel after each row", 8, {1, 1, 1},
       Bitmap(40, 3, 2, 8, 1, {}, palette, {3, 1, 1, 0, 0, 0, 0, 3, 2, 3, 1, 0, 0, 1})},
      {"the same under a 124-byte header", 8, {2, 2, 0},
       Bitmap(124, 3, 1, 8, 1, bgra, palette, {2, 2, 2, 0, 0, 1})},
  };
  // clang-format on
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
  // A 64-byte header, RLE cut inside a literal run, no headers.
  const std::pair<Bytes, const char*> cases[] = {
      {Bitmap(64, 1, 1, 24, 0, {}, {}, {1, 2, 3, 0}), "BMP header of 64 bytes is not read"},
      {Bitmap(40, 4, 1, 8, 1, {}, {0, 1}, {0, 4, 1}), "8-bit RLE pixels are damaged"},
      {Bytes{'B', 'M', 0}, "not a BMP file"},
  };
  for (const auto& [file, why] : cases) {
    Bytes plain;
    std::string reason;
    EXPECT_FALSE(MakePlainBmp(file, &plain, &reason)) << why;
    EXPECT_NE(reason.find(why), std::string::npos) << reason;
  }
}

// A main-script code block is read whole or refused with the reason: cut anywhere, or with a
// count or size past what it holds, it never reads past its end.
TEST(TobCodeBlock, CutOrOverlongBlocksAreRefused) {
  const std::string source = ".sob0\nset 1, var:0\nret\n";
  const sob::AssembleResult whole = sob::Assemble(source);
  ASSERT_TRUE(whole.ok) << whole.error;
  Fragment f;
  std::string error;
  ASSERT_TRUE(ReadCodeBlock(whole.bytes, true, f, error)) << error;
  EXPECT_FALSE(f.code.empty());
  EXPECT_EQ(f.area.size(), 5u + 8u) << "five one-byte counts and the variable's link";

  for (size_t n = 0; n < whole.bytes.size(); ++n) {
    error.clear();
    EXPECT_FALSE(ReadCodeBlock(std::span(whole.bytes.data(), n), false, f, error)) << n;
    EXPECT_EQ(error, "main-script code: the code block is cut short") << n;
  }
  // A count past the lists, and lists past the block.
  const std::pair<sob::FaultSwitches, const char*> cases[] = {
      {{.oversizeCount = 1000}, "main-script code: the link lists are cut short"},
      {{.oversizeSize = 1000}, "main-script code: the code block is cut short"},
  };
  for (const auto& [faults, reason] : cases) {
    const sob::AssembleResult spoilt = sob::Assemble(source, faults);
    ASSERT_TRUE(spoilt.ok) << reason;
    EXPECT_FALSE(ReadCodeBlock(spoilt.bytes, false, f, error)) << reason;
    EXPECT_EQ(error, reason);
  }
}

// An expression keeps its code's and its lists' sizes in 16 bits: more is refused, not wrapped.
TEST(TobCodeBlock, ExpressionsPastSixteenBitSizesAreRefused) {
  Fragment f;
  std::string error;
  EXPECT_TRUE(AssembleFragment(".space 65000 | ret", true, f, error)) << error;
  EXPECT_FALSE(AssembleFragment(".space 70000 | ret", true, f, error));
  EXPECT_EQ(error, "an expression's code or link lists pass 65535 bytes");
  EXPECT_TRUE(AssembleFragment(".space 70000 | ret", false, f, error)) << "a statement's are 32";
}

// The WGX writer's streams against the engine's own unpacking.

// 0, 1, ..., 0, 1 then bytes seen nowhere before: the only thing to copy is the pair that comes
// back `distance` bytes later.
Bytes LonePairAt(size_t distance) {
  Bytes bytes(distance);
  std::iota(bytes.begin(), bytes.end(), uint8_t{0});
  bytes.insert(bytes.end(), {0, 1, 200, 201, 202});
  return bytes;
}

TEST(WgxWriter, ShortPairCopiesNeverSpellTheEndCode) {
  for (size_t distance = 2; distance <= 40; ++distance) {
    SCOPED_TRACE(distance);
    const Bytes bytes = LonePairAt(distance);
    const Bytes stream = EncodeWgx8(bytes);
    EXPECT_EQ(std::count(stream.begin(), stream.end(), 0xFF), 1) << "only the end code";
    Bytes out(bytes.size());
    ByteReader in(stream.data(), stream.size());
    ASSERT_EQ(WgxUnpack8(in, out), 0);
    EXPECT_EQ(out, bytes);
    EXPECT_EQ(in.position(), stream.size()) << "the stream ends at its end code";
  }
}

// The sample sheets the text and message pictures are checked against: each sample is drawn
// where its text measures.

uint32_t At(const ImageSurface& s, int32_t x, int32_t y) {
  uint32_t v = 0;
  std::memcpy(&v, s.GetRowPointer(y) + x * 4, 4);
  return v & 0xFFFFFF;
}

int Count(const ImageSurface& s, const Rect& r, bool (*test)(uint32_t)) {
  int n = 0;
  for (int32_t y = r.top; y < r.bottom; ++y)
    for (int32_t x = r.left; x < r.right; ++x) n += test(At(s, x, y));
  return n;
}

bool Inked(uint32_t v) {
  return v != kSheetBackground;
}

// Inked pixels further than margin outside every sample's box.
int Strays(const ImageSurface& s, const std::vector<TextSample>& samples, int32_t margin) {
  int strays = 0;
  for (int32_t y = 0; y < s.GetHeight(); ++y)
    for (int32_t x = 0; x < s.GetWidth(); ++x) {
      const bool near = std::any_of(samples.begin(), samples.end(), [&](const TextSample& t) {
        return x >= t.box.left - margin && x < t.box.right + margin && y >= t.box.top - margin &&
               y < t.box.bottom + margin;
      });
      if (!near && Inked(At(s, x, y)) && strays++ < 3)
        ADD_FAILURE() << "ink outside every box at " << x << ", " << y;
    }
  return strays;
}

// Every window inks its own rectangle and nothing lies outside them; the link is tinted by its
// highlight and the wait mark stands after the text. Every text sample inks its measured box.
TEST(SheetsTest, SamplesWindowsAndMarksAreWhereTheyWereLaidOut) {
  ImageSurface sheet;
  std::vector<TextSample> samples;
  MessageMarks marks;
  std::string error;
  ASSERT_TRUE(DrawMessageSheet(&sheet, &samples, &marks, &error)) << error;
  ASSERT_EQ(samples.size(), 5u);
  ASSERT_EQ(std::pair(sheet.GetWidth(), sheet.GetHeight()),
            std::pair(kMessageSheetWidth, kMessageSheetHeight));
  for (const TextSample& s : samples)
    EXPECT_GT(Count(sheet, s.box, Inked), s.box.Width() * s.box.Height() * 9 / 10) << s.name;
  EXPECT_EQ(Strays(sheet, samples, 0), 0);

  const auto blue = [](uint32_t v) { return (v & 0xFF) > ((v >> 16) & 0xFF) + 60; };
  EXPECT_GT(Count(sheet, marks.link, blue), marks.link.Width() * marks.link.Height() / 3);
  const auto yellow = [](uint32_t v) {
    return ((v >> 16) & 0xFF) > 0x90 && ((v >> 8) & 0xFF) > 0x90 && (v & 0xFF) < 0x60;
  };
  EXPECT_GT(Count(sheet, marks.waitMark, yellow), 20);

  // A face made bold grows its outline by a pixel on every side, past the em the line measures:
  // one pixel around each box is allowed.
  ImageSurface text;
  std::vector<TextSample> lines;
  ASSERT_TRUE(DrawTextSheet(&text, &lines, &error)) << error;
  ASSERT_EQ(lines.size(), 12u);
  ASSERT_EQ(std::pair(text.GetWidth(), text.GetHeight()), std::pair(kSheetWidth, kSheetHeight));
  for (const TextSample& s : lines)
    EXPECT_GT(Count(text, s.box, Inked), s.box.Width() * s.box.Height() / 20) << s.name;
  EXPECT_EQ(Strays(text, lines, 1), 0);
}

}  // namespace
}  // namespace bw::tools
