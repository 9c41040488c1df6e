#include "graphics/surface/directdraw_ops.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "graphics/device/direct3d_fixture.h"
#include "graphics/pixel/surface_rows.h"
#include "host/ddraw/direct_draw.h"

namespace bw {
namespace {

std::unique_ptr<host::MemorySurface> Numbered(int w, int h, uint32_t base) {
  auto s = host::MemorySurface::Create(w, h, host::DirectDraw::DisplayFormat(32));
  host::DdSurfaceDesc d;
  EXPECT_EQ(0, s->Lock(&d));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint32_t v = base + uint32_t(y * 256 + x);
      std::memcpy(d.surface + y * d.pitch + x * 4, &v, 4);
    }
  EXPECT_EQ(0, s->Unlock());
  return s;
}

using testing_devices::Rgb;

TEST(DirectDrawCopies, ClipToTheBoundsAndHonourKeys) {
  auto target = Numbered(10, 10, 0x10000);
  auto source = Numbered(6, 6, 0x20000);
  const Rect bounds{2, 2, 8, 8};
  const Rect src{0, 0, 6, 6};
  EXPECT_EQ(DirectDrawBltFast(nullptr, source.get(), 0, 0, &src, &bounds, 0xFFFFFFFF),
            kDdOpMissing);
  EXPECT_EQ(DirectDrawBltFast(target.get(), source.get(), 20, 0, &src, &bounds, 0xFFFFFFFF),
            kDdOpDone);
  EXPECT_EQ(Rgb(*target, 2, 2), 0x10202u) << "nothing left: nothing drawn";

  ASSERT_EQ(DirectDrawBltFast(target.get(), source.get(), 0, 1, &src, &bounds, 0xFFFFFFFF),
            kDdOpDone);
  EXPECT_EQ(Rgb(*target, 1, 2), 0x10201u) << "left of the bounds";
  EXPECT_EQ(Rgb(*target, 2, 2), 0x20102u) << "source shifted by the cut";
  EXPECT_EQ(Rgb(*target, 5, 6), 0x20505u);
  EXPECT_EQ(Rgb(*target, 6, 6), 0x10606u) << "past the source";

  // Keyed: the source's key pixel leaves the target alone.
  const host::DdColorKey key{0x20000, 0x20000};
  EXPECT_EQ(0, source->SetColorKey(host::kDdCKeySrcBlt, &key));
  ASSERT_EQ(DirectDrawBltFast(target.get(), source.get(), 2, 2, &src, &bounds, 0x20000), kDdOpDone);
  EXPECT_EQ(Rgb(*target, 2, 2), 0x20102u) << "key pixel skipped";
  EXPECT_EQ(Rgb(*target, 3, 2), 0x20001u);

  // Stretched: a 2x enlargement cut at the bounds maps back to half the cut in the source.
  auto fresh = Numbered(10, 10, 0x10000);
  const Rect dest{0, 0, 12, 12};
  ASSERT_EQ(DirectDrawBlt(fresh.get(), &dest, source.get(), &src, &bounds, 0xFFFFFFFF), kDdOpDone);
  EXPECT_EQ(std::tuple(Rgb(*fresh, 2, 2), Rgb(*fresh, 7, 7), Rgb(*fresh, 8, 8)),
            std::tuple(0x20101u, 0x20303u, 0x10808u));
  source->SetLost(true);
  EXPECT_EQ(DirectDrawBlt(fresh.get(), &dest, source.get(), &src, &bounds, 0xFFFFFFFF),
            kDdOpRefused);
}

TEST(InvertPixelMemory, MasksByFormatAndMode) {
  std::vector<uint16_t> p16(4 * 2, 0x1234);
  const Rect all{0, 0, 4, 2};
  EXPECT_EQ(
      InvertPixelMemory(1, kFormat565, reinterpret_cast<uint8_t*>(p16.data()), 8, &all, nullptr),
      kDdOpBadMode);
  EXPECT_EQ(p16[0], 0x1234) << "refused modes change nothing";
  ASSERT_EQ(
      InvertPixelMemory(0, kFormat565, reinterpret_cast<uint8_t*>(p16.data()), 8, &all, nullptr),
      kDdOpDone);
  EXPECT_EQ(p16[7], 0x1234 ^ 0xFFFF);

  struct Case {
    int format, mode;
    uint32_t before, after;
  };
  const Case cases[] = {
      {kFormat555, 0, 0x8000, 0xFFFF},          {kFormat1555, 2, 0x1234, 0x9234},
      {kFormat4444, 1, 0xA123, 0x5EDC},         {kFormat8888, 0, 0x80102030, 0x80EFDFCF},
      {kFormat8888, 2, 0x80102030, 0x7F102030},
  };
  for (const Case& c : cases) {
    uint32_t px = c.before;
    const Rect one{0, 0, 1, 1};
    ASSERT_EQ(
        InvertPixelMemory(c.mode, c.format, reinterpret_cast<uint8_t*>(&px), 4, &one, nullptr),
        kDdOpDone);
    const uint32_t mask = c.format == kFormat8888 || c.format == kFormatX888 ? 0xFFFFFFFF : 0xFFFF;
    EXPECT_EQ(px & mask, c.after) << "format " << c.format << " mode " << c.mode;
  }
  uint8_t rgb[6] = {1, 2, 3, 4, 5, 6};
  const Rect first{0, 0, 1, 1}, bounds{5, 5, 9, 9};
  ASSERT_EQ(InvertPixelMemory(0, kFormat24, rgb, 6, &first, nullptr), kDdOpDone);
  EXPECT_EQ(std::pair(rgb[0], rgb[3]), std::pair(uint8_t(0xFE), uint8_t(4)));
  EXPECT_EQ(InvertPixelMemory(2, kFormatX888, rgb, 6, &first, nullptr), kDdOpBadMode);
  EXPECT_EQ(InvertPixelMemory(0, kFormatPalette8, rgb, 6, &first, nullptr), kDdOpBadFormat);
  EXPECT_EQ(InvertPixelMemory(0, kFormat24, rgb, 6, &first, &bounds), kDdOpNothingLeft);
}

}  // namespace
}  // namespace bw
