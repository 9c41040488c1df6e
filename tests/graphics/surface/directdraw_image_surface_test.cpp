#include "graphics/surface/directdraw_image_surface.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "graphics/device/direct3d_fixture.h"
#include "graphics/pixel/surface_rows.h"
#include "graphics/surface/directdraw_ops.h"
#include "host/ddraw/direct_draw.h"
#include "host/surface/surface_test_util.h"
#include "lib/bmp/bmp_builder.h"

namespace bw {
namespace {

std::vector<uint8_t> savedBytes;
int ReadSaved(const std::string& name, std::vector<uint8_t>* bytes) {
  if (name != "PICTURE.BMP") return 2;
  *bytes = savedBytes;
  return 0;
}

class DirectDrawSurfaceTest : public testing_devices::DirectDrawTarget {
 protected:
  void SetUp() override {
    DirectDrawTarget::SetUp();
    ASSERT_EQ(device.SetDisplayMode(host::HWND{5}, 640, 480, 16, true), 0);  // 565
  }
};

TEST_F(DirectDrawSurfaceTest, CreateRefusesAndClassifies) {
  DirectDrawImageSurface s;
  EXPECT_EQ(s.Create(4, 4, false, true, nullptr), kDdsNoDevice) << "a texture needs a format";
  {
    ScopedGlobal<DirectDrawDevice> none(nullptr);
    EXPECT_EQ(s.Create(4, 4, false, false, nullptr), kDdsNoDevice);
  }
  ASSERT_EQ(s.Create(5, 3, false, false, nullptr), 0);
  EXPECT_EQ(s.GetFormatCode(), kFormat565);
  EXPECT_TRUE(s.InVideoMemory());

  host::DdPixelFormat argb = host::DirectDraw::DisplayFormat(32);
  argb.rgbAlphaBitMask = 0xFF000000u;
  ASSERT_EQ(s.Create(2, 2, true, false, &argb), 0);
  EXPECT_EQ(s.GetFormatCode(), kFormatX888) << "a plain surface ignores alpha";
  EXPECT_FALSE(s.InVideoMemory());
  ASSERT_EQ(s.Create(2, 2, false, true, &argb), 0);
  EXPECT_EQ(s.GetFormatCode(), kFormat8888);
}

TEST_F(DirectDrawSurfaceTest, KeysAndRestoreComeBack) {
  DirectDrawImageSurface s;
  ASSERT_EQ(s.Create(4, 4, false, false, nullptr), 0);
  ASSERT_EQ(s.FillColor(0, 0, 255), 0);
  ASSERT_EQ(s.SetColorKeyRgb(0, 0, 255), 0);
  EXPECT_EQ(s.GetColorKey(), 0x001Fu);
  host::DdColorKey key;

  EXPECT_EQ(s.SetColorKeyFromPixel(4, 0), kDdsNoSurface);
  EXPECT_EQ(s.GetColorKey(), 0x001Fu) << "a refused pixel key leaves the keys alone";

  s.GetDirectDrawSurface()->SetLost(true);
  ASSERT_EQ(s.Restore(1), 0);
  EXPECT_EQ(s.GetPixel(3, 3), 0x001Fu) << "refilled with the remembered colour";
  ASSERT_EQ(s.GetDirectDrawSurface()->GetColorKey(host::kDdCKeySrcBlt, &key), host::kDdOk);
  EXPECT_EQ(key.low, 0x001Fu) << "the RGB key is set again";
  EXPECT_EQ(s.Restore(1), 0) << "nothing lost: left alone";

  // A pixel key is read again from its position after the picture comes back.
  // Red and green over blue and white, rows bottom first.
  const uint8_t bgra[16] = {255, 0, 0, 255, 255, 255, 255, 255, 0, 0, 255, 255, 0, 255, 0, 255};
  tools::BmpFields bmp;
  bmp.width = 2, bmp.height = 2, bmp.bits = 32, bmp.data.assign(bgra, bgra + 16);
  savedBytes = tools::BuildBmp(bmp);
  PictureReader previous = SetPictureReader(&ReadSaved);
  DirectDrawImageSurface picture;
  EXPECT_EQ(picture.Load("MISSING.BMP", {}, 0), kDdsNoPicture);
  ASSERT_EQ(picture.Load("PICTURE.BMP", {}, 0), 0);
  ASSERT_EQ(picture.SetColorKeyFromPixel(1, 0), 0);
  picture.GetDirectDrawSurface()->SetLost(true);
  ASSERT_EQ(picture.Restore(1), 0);
  EXPECT_EQ(picture.GetPixel(0, 0), 0xF800u) << "reloaded by name";
  EXPECT_EQ(picture.GetColorKey(), 0x07E0u);
  SetPictureReader(previous);

  ASSERT_EQ(picture.ClearColorKey(), 0);
  EXPECT_EQ(picture.GetDirectDrawSurface()->GetColorKey(host::kDdCKeySrcBlt, &key),
            host::kDdErrNoColorKey);

  // At 8 bits the key is the palette index given as red, for the picture and for its surface.
  const host::DdPixelFormat indexed = host::DirectDraw::DisplayFormat(8);
  ASSERT_EQ(s.Create(4, 4, true, false, &indexed), 0);
  ASSERT_EQ(s.SetColorKeyRgb(9, 100, 200), 0);
  EXPECT_EQ(s.GetColorKey(), 9u);
  ASSERT_EQ(s.GetDirectDrawSurface()->GetColorKey(host::kDdCKeySrcBlt, &key), host::kDdOk);
  EXPECT_EQ(key.low, 9u);
}

std::unique_ptr<host::MemorySurface> Numbered(int w, int h, uint32_t base) {
  auto s = host::MemorySurface::Create(w, h, host::DirectDraw::DisplayFormat(32));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) host::test::Put(*s, x, y, base + uint32_t(y * 256 + x));
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
