#include "graphics/layers/texture_layer.h"

#include <gtest/gtest.h>

#include <cstring>

#include "graphics/device/direct3d_fixture.h"
#include "graphics/device/render_item_texture.h"
#include "graphics/layers/software_surface_layer.h"
#include "graphics/pixel/surface_rows.h"

namespace bw {
namespace {

class TextureLayerTest : public testing_devices::Direct3DTarget {
 protected:
  // Opaque colours, each pixel its own.
  static uint32_t Colour(int x, int y) {
    return 0xFF000000u | uint32_t(x * 0x30 << 16 | y * 0x50 << 8 | 0x11);
  }
  static void Paint(ImageSurface* picture) {
    for (int y = 0; y < picture->GetHeight(); ++y)
      for (int x = 0; x < picture->GetWidth(); ++x)
        reinterpret_cast<uint32_t*>(picture->GetRowPointer(y))[x] = Colour(x, y);
  }
};

TEST_F(TextureLayerTest, LayerSpriteShowsThePictureAndSurvivesALoss) {
  TextureLayer layer;
  ASSERT_EQ(layer.Create(kFormatX888, 4, 3, 32, kLayerPlain, true), 0);
  EXPECT_EQ(layer.UpdateTexture(true), kUpdateNothing);
  Paint(layer.GetImage());
  layer.Invalidate(nullptr);

  LayerD3DSpritePrimitive sprite;
  EXPECT_EQ(sprite.Init(nullptr, nullptr, 0, 0), kD3DSpriteNoTexture);
  ASSERT_EQ(sprite.Init(&layer, nullptr, 2, 5), 0);
  RenderList list;
  (void)list.Insert(&sprite, 0, 0);
  ASSERT_EQ(list.DrawAll(target.get(), nullptr, &device), kRenderDone);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x)
      ASSERT_EQ(Shown(2 + x, 5 + y), Colour(x, y) & 0xFFFFFF) << x << "," << y;
  EXPECT_EQ(Shown(6, 5), 0u);
  EXPECT_FALSE(layer.GetImage()->IsChanged());

  ASSERT_EQ(layer.SetColorKeyFromPixel(1, 1), 0);
  EXPECT_EQ(layer.GetColorKeyRgb(), Colour(1, 1) & 0xFFFFFF);
  layer.GetDirectDrawSurface()->SetLost(true);
  ASSERT_EQ(layer.Restore(1), 0);
  EXPECT_EQ(layer.GetColorKeyRgb(), Colour(1, 1) & 0xFFFFFF) << "the key is set again";
  host::DdSurfaceDesc desc;
  ASSERT_EQ(target->Lock(&desc), host::kDdOk);
  std::memset(desc.surface, 0, size_t(desc.pitch) * 16);
  EXPECT_EQ(0, target->Unlock());
  ASSERT_EQ(list.DrawAll(target.get(), nullptr, &device), kRenderDone);
  EXPECT_EQ(Shown(5, 7), Colour(3, 2) & 0xFFFFFF) << "the texture was refilled from the picture";
  list.Remove(&sprite);
}

// Sides follow the same rule as the picture layers' textures; only the refusal is this layer's.
TEST_F(TextureLayerTest, APictureLargerThanTheDeviceTakesIsRefusedNotScaled) {
  UseTextureLimits(0, 512);
  TextureLayer layer;
  EXPECT_EQ(layer.Create(kFormatX888, 640, 480, 32, kLayerPlain, true), kTextureLayerNoTexture);
  EXPECT_EQ(layer.GetDirectDrawSurface(), nullptr);
}

}  // namespace
}  // namespace bw
