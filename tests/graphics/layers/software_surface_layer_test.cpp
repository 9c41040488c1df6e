#include "graphics/layers/software_surface_layer.h"

#include <gtest/gtest.h>

#include <memory>

#include "common/global.h"
#include "graphics/device/direct3d_fixture.h"
#include "graphics/device/direct_draw_device.h"
#include "graphics/device/display_manager.h"
#include "graphics/device/render_item_sprite.h"
#include "graphics/layers/texture_layer.h"
#include "graphics/pixel/surface_rows.h"
#include "graphics/surface/composition_layer.h"
#include "host/clock.h"
#include "host/surface/surface_test_util.h"

namespace bw {
namespace {

class SoftwareLayerTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(device.Create(false, false, nullptr, nullptr, 0, true, 640, 480), 0);
    dest = host::MemorySurface::Create(8, 8, host::DirectDraw::DisplayFormat(32));
  }
  void TearDown() override { SetExclusiveModeLatched(false); }
  // A 4 x 4 picture: a gradient with one magenta pixel.
  static void Paint(ImageSurface* picture) {
    for (int y = 0; y < 4; ++y) {
      auto* row = reinterpret_cast<uint32_t*>(picture->GetRowPointer(y));
      for (int x = 0; x < 4; ++x) row[x] = 0xFF000000u | uint32_t(x * 0x40 << 16 | y * 0x40);
    }
    reinterpret_cast<uint32_t*>(picture->GetRowPointer(2))[1] = 0xFFFF00FFu;
  }
  host::VirtualClock clock;
  ScopedGlobal<host::ClockSource> useClock{&clock};
  DirectDrawDevice device;
  ScopedGlobal<DirectDrawDevice> display{&device};
  std::unique_ptr<host::MemorySurface> dest;
  const Rect clip{0, 0, 8, 8};
};

TEST_F(SoftwareLayerTest, LayerSpriteDrawsWhatAPictureSpriteDraws) {
  SoftwareSurfaceLayer layer;
  ASSERT_EQ(layer.Create(4, 4, 32, kLayerPlain), 0);
  EXPECT_EQ(layer.UpdateSurface(true), kUpdateNothing) << "nothing changed, nothing copied";
  Paint(&layer);
  layer.Invalidate(nullptr);
  ASSERT_EQ(layer.SetColorKeyRgb(255, 0, 255), 0);

  ImageSurface plain;
  ASSERT_EQ(plain.Create(4, 4, 32, kImagePlain), kSurfaceDone);
  Paint(&plain);
  DirectDrawImageSurface picture;
  ASSERT_EQ(picture.Create(4, 4, true, false, nullptr), 0);
  ASSERT_EQ(picture.CopyFromImage(&plain, 0, 0, nullptr, nullptr), 0);
  ASSERT_EQ(picture.SetColorKeyRgb(255, 0, 255), 0);

  auto other = host::MemorySurface::Create(8, 8, host::DirectDraw::DisplayFormat(32));
  LayerSpritePrimitive layerSprite;
  EXPECT_EQ(layerSprite.Init(&picture, nullptr, 0, 0), kSpriteNoDirectDraw) << "kind 7 only";
  ASSERT_EQ(layerSprite.Init(&layer, nullptr, 3, 2), 0);
  SpritePrimitive sprite;
  ASSERT_EQ(sprite.Init(&picture, nullptr, 3, 2), 0);
  ASSERT_EQ(layerSprite.Draw(dest.get(), &clip, nullptr), kRenderDone);
  ASSERT_EQ(sprite.Draw(other.get(), &clip, nullptr), kRenderDone);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x)
      ASSERT_EQ(host::test::Get(*dest, x, y), host::test::Get(*other, x, y)) << x << "," << y;
  EXPECT_EQ(testing_devices::Rgb(*dest, 4, 4), 0u) << "the keyed pixel stays out";
  EXPECT_FALSE(layer.IsChanged()) << "the draw took the dirty rectangles";
}

TEST_F(SoftwareLayerTest, ColorKeyAndPixelsComeBackAfterALoss) {
  ASSERT_EQ(device.SetDisplayMode(host::HWND{5}, 640, 480, 16, true), 0);  // 565
  SoftwareSurfaceLayer layer;
  EXPECT_EQ(layer.SetColorKeyRgb(255, 0, 255), kLayerKeyNoSurface);
  ASSERT_EQ(layer.Create(4, 4, 32, kLayerPlain), 0);
  Paint(&layer);
  ASSERT_EQ(layer.SetColorKeyFromPixel(1, 2), 0);
  EXPECT_EQ(layer.GetSurfaceColorKey(), 0xF81Fu) << "five red and five blue bits, no green";
  EXPECT_EQ(layer.GetColorKey(), 0xFF00FFu);
  EXPECT_EQ(layer.SetColorKeyFromPixel(4, 0), kLayerKeyNoSurface);

  layer.GetDirectDrawSurface()->SetLost(true);
  ASSERT_EQ(layer.Restore(1), 0);
  EXPECT_EQ(layer.GetSurfaceColorKey(), 0xF81Fu);
  EXPECT_EQ(host::test::Get(*layer.GetDirectDrawSurface(), 1, 2), 0xF81Fu)
      << "refilled from the picture";
  EXPECT_EQ(host::test::Get(*layer.GetDirectDrawSurface(), 3, 0), uint32_t(0xC0 >> 3) << 11);

  layer.Reset();
  EXPECT_EQ(layer.Restore(0), 0) << "nothing to restore";
}

}  // namespace
}  // namespace bw
