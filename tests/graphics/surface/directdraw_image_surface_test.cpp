#include "graphics/surface/directdraw_image_surface.h"

#include <gtest/gtest.h>

#include <vector>

#include "common/global.h"
#include "graphics/device/direct_draw_device.h"
#include "graphics/pixel/surface_rows.h"
#include "resource/images/bmp_loader.h"

namespace bw {
namespace {

std::vector<uint8_t> Bmp32(const std::vector<uint32_t>& pixels, int width, int height) {
  std::vector<uint8_t> out;
  const auto bytes = std::span(reinterpret_cast<const uint8_t*>(pixels.data()), pixels.size() * 4);
  EXPECT_EQ(BmpLoader::Save(
                kBmpSave32, bytes, width, height, 32, size_t(width) * 4,
                [&](const void* p, size_t n) {
                  out.insert(out.end(), static_cast<const uint8_t*>(p),
                             static_cast<const uint8_t*>(p) + n);
                  return true;
                },
                nullptr),
            kBmpDone);
  return out;
}

std::vector<uint8_t> savedBytes;
int ReadSaved(const std::string& name, std::vector<uint8_t>* bytes) {
  if (name != "PICTURE.BMP") return 2;
  *bytes = savedBytes;
  return 0;
}

class DirectDrawSurfaceTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(device.Create(false, false, nullptr, nullptr, 0, true, 640, 480), 0);
    ASSERT_EQ(device.SetDisplayMode(host::HWND{5}, 640, 480, 16, true), 0);  // 565
  }
  void TearDown() override { SetExclusiveModeLatched(false); }
  DirectDrawDevice device;
  ScopedGlobal<DirectDrawDevice> display{&device};
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

// At 8 bits the key is the palette index given as red, for the picture and for its surface.
TEST_F(DirectDrawSurfaceTest, AnEightBitKeyIsTheIndexGivenAsRed) {
  const host::DdPixelFormat indexed = host::DirectDraw::DisplayFormat(8);
  DirectDrawImageSurface s;
  ASSERT_EQ(s.Create(4, 4, true, false, &indexed), 0);
  ASSERT_EQ(s.SetColorKeyRgb(9, 100, 200), 0);
  EXPECT_EQ(s.GetColorKey(), 9u);
  host::DdColorKey key;
  ASSERT_EQ(s.GetDirectDrawSurface()->GetColorKey(host::kDdCKeySrcBlt, &key), host::kDdOk);
  EXPECT_EQ(key.low, 9u);
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
  savedBytes = Bmp32({0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF}, 2, 2);
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
}

}  // namespace
}  // namespace bw
