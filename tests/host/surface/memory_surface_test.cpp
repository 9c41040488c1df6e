#include "host/surface/memory_surface.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <random>
#include <vector>

#include "host/surface/surface_test_util.h"

namespace bw::host {
namespace {

using test::Format, test::Get, test::Put, test::Rgb32, test::Rgb565;

// One of each format class the engine tells apart, "other" being a 32-bit BGR layout.
std::vector<DdPixelFormat> AllFormats() {
  return {Format(32, 0xFF, 0xFF00, 0xFF0000, 0),        Format(8, 0, 0, 0, 0),
          Format(16, 0x7C00, 0x03E0, 0x001F, 0),        Rgb565(),
          Format(24, 0xFF0000, 0xFF00, 0xFF, 0),        Rgb32(),
          Format(16, 0x7C00, 0x03E0, 0x001F, 0x8000),   Format(16, 0x0F00, 0x00F0, 0x000F, 0xF000),
          Format(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000u)};
}

// Random pixels drawn from a few values so that keys hit often.
void FillRandom(MemorySurface& s, std::mt19937& rng) {
  const uint32_t mask = s.BytesPerPixel() == 4 ? 0xFFFFFFFFu : (1u << (8 * s.BytesPerPixel())) - 1;
  const uint32_t values[4] = {0x12345678u & mask, 0x00ABCDEFu & mask, 0x7Fu, 0x0u};
  for (int y = 0; y < s.Height(); ++y)
    for (int x = 0; x < s.Width(); ++x) Put(s, x, y, values[rng() % 4]);
}

struct Copy {
  std::vector<uint32_t> pixels;
  int width, height;
  uint32_t at(int x, int y) const { return pixels[size_t(y * width + x)]; }
};

Copy Snapshot(const MemorySurface& s) {
  Copy c{{}, s.Width(), s.Height()};
  for (int y = 0; y < s.Height(); ++y)
    for (int x = 0; x < s.Width(); ++x) c.pixels.push_back(Get(s, x, y));
  return c;
}

// What a blit of src's s onto dest's d (inside clip) must leave: nearest source pixel by
// centres, key pixels skipped, everything else untouched.
Copy Reference(const Copy& before, const Copy& src, DdRect d, DdRect s, DdRect clip, bool keyed,
               uint32_t key) {
  Copy out = before;
  for (int y = std::max(d.top, clip.top); y < std::min(d.bottom, clip.bottom); ++y) {
    for (int x = std::max(d.left, clip.left); x < std::min(d.right, clip.right); ++x) {
      const double fx = s.left + (x - d.left + 0.5) * (s.right - s.left) / (d.right - d.left);
      const double fy = s.top + (y - d.top + 0.5) * (s.bottom - s.top) / (d.bottom - d.top);
      const uint32_t v = src.at(int(fx), int(fy));
      if (keyed && v == key) continue;
      out.pixels[size_t(y * out.width + x)] = v;
    }
  }
  return out;
}

TEST(MemorySurface, BlitsMatchTheReferenceInEveryFormat) {
  std::mt19937 rng(7);
  for (const DdPixelFormat& f : AllFormats()) {
    SCOPED_TRACE(testing::Message() << "bits " << f.rgbBitCount << " red " << f.rBitMask);
    auto src = MemorySurface::Create(13, 9, f);
    auto dst = MemorySurface::Create(20, 17, f);
    ASSERT_TRUE(src && dst);
    for (int round = 0; round < 6; ++round) {
      FillRandom(*src, rng);
      FillRandom(*dst, rng);
      const bool keyed = round % 2 == 1;
      const DdColorKey key{0x7F, 0x7F};
      ASSERT_EQ(src->SetColorKey(kDdCKeySrcBlt, keyed ? &key : nullptr), kDdOk);
      const Copy before = Snapshot(*dst), source = Snapshot(*src);
      const DdRect whole{0, 0, 20, 17};
      if (round < 2) {  // fast blit, 1:1
        DdRect s{2, 1, 11, 8};
        ASSERT_EQ(dst->BltFast(5, 4, src.get(), &s, keyed ? kDdBltFastSrcColorKey : 0), kDdOk);
        const Copy want = Reference(before, source, {5, 4, 14, 11}, s, whole, keyed, 0x7F);
        EXPECT_EQ(Snapshot(*dst).pixels, want.pixels) << "fast blit";
      } else if (round < 4) {  // stretched up and down
        DdRect s{1, 0, 12, 9}, d{-0, 2, 19, 7};
        ASSERT_EQ(dst->Blt(&d, src.get(), &s, keyed ? kDdBltKeySrc : 0, nullptr), kDdOk);
        const Copy want = Reference(before, source, d, s, whole, keyed, 0x7F);
        EXPECT_EQ(Snapshot(*dst).pixels, want.pixels) << "stretched blit";
      } else {  // clipped by a clip list, hanging over the edges
        MemoryClipper clipper;
        const DdRect c1{0, 0, 8, 17}, c2{12, 3, 30, 9};
        clipper.SetClipList({c1, c2});
        dst->SetClipper(&clipper);
        DdRect d{-5, -2, 25, 15};
        ASSERT_EQ(dst->Blt(&d, src.get(), nullptr, keyed ? kDdBltKeySrc : 0, nullptr), kDdOk);
        Copy want = Reference(before, source, d, {0, 0, 13, 9}, c1, keyed, 0x7F);
        want = Reference(want, source, d, {0, 0, 13, 9}, {12, 3, 20, 9}, keyed, 0x7F);
        EXPECT_EQ(Snapshot(*dst).pixels, want.pixels) << "clipped blit";
        dst->SetClipper(nullptr);
      }
    }
  }
}

TEST(MemorySurface, BlitsRefuseWhatDoesNotFit) {
  auto a = MemorySurface::Create(8, 8, Rgb32());
  auto b = MemorySurface::Create(8, 8, Rgb32());
  auto c16 = MemorySurface::Create(8, 8, Rgb565());
  DdRect over{4, 4, 9, 8}, empty{3, 3, 3, 5};
  EXPECT_EQ(a->Blt(&over, b.get(), nullptr, 0, nullptr), kDdErrInvalidRect) << "no clipper";
  EXPECT_EQ(a->Blt(&empty, b.get(), nullptr, 0, nullptr), kDdErrInvalidRect);
  EXPECT_EQ(a->Blt(nullptr, b.get(), &over, 0, nullptr), kDdErrInvalidRect) << "source outside";
  EXPECT_EQ(a->BltFast(4, 0, b.get(), nullptr, 0), kDdErrInvalidRect);
  EXPECT_EQ(a->Blt(nullptr, c16.get(), nullptr, 0, nullptr), kDdErrInvalidPixelFormat);
  EXPECT_EQ(a->Blt(nullptr, b.get(), nullptr, kDdBltKeySrc, nullptr), kDdErrNoColorKey);
  DdBltFx fx;
  EXPECT_EQ(a->Blt(&over, kDdBltColorFill, &fx), kDdErrInvalidRect);
  MemoryClipper clipper;
  a->SetClipper(&clipper);
  DdRect huge{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
  EXPECT_EQ(a->Blt(&huge, b.get(), nullptr, 0, nullptr), kDdErrInvalidRect) << "even with a clipper";
  a->SetClipper(nullptr);
  EXPECT_EQ(a->BltFast(INT32_MAX, 0, b.get(), nullptr, 0), kDdErrInvalidRect);
  DdSurfaceDesc d;
  ASSERT_EQ(b->Lock(&d), kDdOk);
  EXPECT_EQ(a->Blt(nullptr, b.get(), nullptr, 0, nullptr), kDdErrSurfaceBusy) << "locked source";
  b->Unlock();
  b->SetLost(true);
  EXPECT_EQ(a->BltFast(0, 0, b.get(), nullptr, 0), kDdErrSurfaceLost);
}

TEST(MemorySurface, BlitWithinOneSurfaceReadsTheOldPixels) {
  auto s = MemorySurface::Create(6, 1, Rgb32());
  for (int x = 0; x < 6; ++x) Put(*s, x, 0, uint32_t(x + 1));
  DdRect src{0, 0, 4, 1};
  ASSERT_EQ(s->BltFast(2, 0, s.get(), &src, 0), kDdOk);
  EXPECT_EQ(Snapshot(*s).pixels, (std::vector<uint32_t>{1, 2, 1, 2, 3, 4}));
}

}  // namespace
}  // namespace bw::host
