#include "host/gdi/memory_dc.h"

#include <gtest/gtest.h>

#include <cstring>

namespace bw::host {
namespace {

uint32_t Pixel32(const DibSection& s, int x, int y) {
  uint32_t v;
  std::memcpy(&v, s.Pixels() + y * s.Pitch() + 4 * x, 4);
  return v;
}

TEST(DibSection, RefusesWhatItCannotHold) {
  EXPECT_EQ(DibSection::Create(0, 4, 32), nullptr);
  EXPECT_EQ(DibSection::Create(4, 4, 4), nullptr);
  EXPECT_EQ(DibSection::Create(70000, 70000, 32), nullptr) << "pitch x height beyond the limit";
  EXPECT_EQ(RowPitch(0x7FFFFFFF, 32), 0) << "a row beyond the limit";
  auto s = DibSection::Create(3, 2, 24);
  ASSERT_NE(s, nullptr);
  uint32_t red = 0xFFFF0000;
  EXPECT_EQ(s->SetColorTable(255, 4, &red), 1) << "stops after entry 255";
  EXPECT_EQ(s->ColorTable()[255], 0x00FF0000u);
}

TEST(BitBlt, CopiesClippedAndConvertsThroughTheColourTable) {
  auto src8 = DibSection::Create(4, 3, 8);
  auto dst32 = DibSection::Create(5, 5, 32);
  ASSERT_TRUE(src8 && dst32);
  uint32_t colors[2] = {0x00112233, 0x00445566};
  src8->SetColorTable(0, 2, colors);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) src8->Pixels()[y * src8->Pitch() + x] = uint8_t((x + y) & 1);
  MemoryDc from, to;
  EXPECT_FALSE(BitBlt(to, 0, 0, 4, 3, from, 0, 0)) << "no sections selected";
  from.Select(src8.get());
  to.Select(dst32.get());
  ASSERT_TRUE(BitBlt(to, 3, -1, 4, 3, from, 0, 0));
  EXPECT_EQ(Pixel32(*dst32, 3, 0), 0x00445566u) << "source (0, 1)";
  EXPECT_EQ(Pixel32(*dst32, 4, 0), 0x00112233u) << "source (1, 1)";
  EXPECT_EQ(Pixel32(*dst32, 2, 0), 0u) << "left of the rectangle";
  EXPECT_EQ(Pixel32(*dst32, 3, 2), 0u) << "below the source's last row";

  MemoryDc back;
  back.Select(src8.get());
  EXPECT_FALSE(BitBlt(back, 0, 0, 2, 2, to, 0, 0)) << "32 to 8 bits is not a memory copy";

  auto big = DibSection::Create(4, 4, 32);
  MemoryDc stretched;
  stretched.Select(big.get());
  ASSERT_TRUE(StretchBlt(stretched, 0, 0, 4, 4, to, 3, 0, 2, 2));
  EXPECT_EQ(Pixel32(*big, 0, 0), 0x00445566u);
  EXPECT_EQ(Pixel32(*big, 1, 1), 0x00445566u);
  EXPECT_EQ(Pixel32(*big, 2, 0), 0x00112233u);
  EXPECT_EQ(Pixel32(*big, 3, 3), Pixel32(*dst32, 4, 1));
}

}  // namespace
}  // namespace bw::host
