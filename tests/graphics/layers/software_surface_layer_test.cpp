#include "graphics/layers/software_surface_layer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "common/global.h"
#include "graphics/device/direct_draw_device.h"
#include "graphics/device/display_manager.h"
#include "graphics/device/render_item_sprite.h"
#include "graphics/layers/fake_filter.h"
#include "graphics/layers/texture_layer.h"
#include "graphics/pixel/surface_rows.h"
#include "graphics/surface/composition_layer.h"
#include "host/clock.h"

namespace bw {
namespace {

using testing_layers::FakeFilter;

class SoftwareLayerTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(device.Create(false, false, nullptr, nullptr, 0, true, 640, 480), 0);
    dest = host::MemorySurface::Create(8, 8, host::DirectDraw::DisplayFormat(32));
  }
  void TearDown() override { SetExclusiveModeLatched(false); }
  static uint32_t Read(host::MemorySurface* s, int x, int y) {
    host::DdSurfaceDesc desc;
    EXPECT_EQ(s->Lock(&desc), host::kDdOk);
    uint32_t v = 0;
    std::memcpy(&v, desc.surface + y * desc.pitch + x * int(desc.pixelFormat.rgbBitCount / 8),
                desc.pixelFormat.rgbBitCount / 8);
    s->Unlock();
    return desc.pixelFormat.rgbBitCount == 32 ? v & 0xFFFFFF : v;
  }
  // A 4 x 4 picture: a gradient with one magenta pixel.
  static void Paint(ImageSurface* picture) {
    for (int y = 0; y < 4; ++y) {
      auto* row = reinterpret_cast<uint32_t*>(picture->GetRowPointer(y));
      for (int x = 0; x < 4; ++x) row[x] = 0xFF000000u | uint32_t(x * 0x40 << 16 | y * 0x40);
    }
    reinterpret_cast<uint32_t*>(picture->GetRowPointer(2))[1] = 0xFFFF00FFu;
  }
  host::VirtualClock clock;
  host::ScopedClock useClock{&clock};
  DirectDrawDevice device;
  ScopedGlobal<DirectDrawDevice> display{&device};
  std::unique_ptr<host::MemorySurface> dest;
  const Rect clip{0, 0, 8, 8};
};

TEST_F(SoftwareLayerTest, CreateRefusesWithoutDeviceAndStartsBlack) {
  SoftwareSurfaceLayer layer;
  {
    ScopedGlobal<DirectDrawDevice> none(nullptr);
    EXPECT_EQ(layer.Create(4, 4, 32, kLayerPlain), kSoftLayerNoDevice);
  }
  EXPECT_EQ(layer.Create(0, 4, 32, kLayerPlain), kSoftLayerNoSurface);
  EXPECT_EQ(layer.GetDirectDrawSurface(), nullptr) << "a failed create resets the layer";
  EXPECT_EQ(layer.Create(4, 4, 32, 3), kSoftLayerOtherFailure);
  ASSERT_EQ(layer.Create(4, 4, 32, kLayerComposedWithUpperList), 0);
  EXPECT_NE(layer.GetUpperList(), nullptr);
  EXPECT_EQ(layer.GetActiveDirtyList(), nullptr);
  EXPECT_EQ(Read(layer.GetDirectDrawSurface(), 3, 3), 0u);
  EXPECT_EQ(layer.Recreate(8), 0);
  EXPECT_EQ(layer.GetBitsPerPixel(), 8);
  EXPECT_EQ(layer.GetActiveDirtyList(), nullptr) << "still composing";
}

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
  EXPECT_EQ(layerSprite.GetKind(), kItemLayerSprite);
  SpritePrimitive sprite;
  ASSERT_EQ(sprite.Init(&picture, nullptr, 3, 2), 0);
  ASSERT_EQ(layerSprite.Draw(dest.get(), &clip, nullptr), kRenderDone);
  ASSERT_EQ(sprite.Draw(other.get(), &clip, nullptr), kRenderDone);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) ASSERT_EQ(Read(dest.get(), x, y), Read(other.get(), x, y)) << x << "," << y;
  EXPECT_EQ(Read(dest.get(), 4, 4), 0u) << "the keyed pixel stays out";
  EXPECT_EQ(Read(dest.get(), 6, 5), 0xC000C0u);
  EXPECT_FALSE(layer.IsChanged()) << "the draw took the dirty rectangles";
}

TEST_F(SoftwareLayerTest, ComposedLayerRedrawsIntoItsSurface) {
  SoftwareSurfaceLayer layer;
  ASSERT_EQ(layer.Create(4, 4, 32, kLayerComposed), 0);
  layer.GetCompositionLayer()->SetBackgroundRgb(0, 0x80, 0, true);
  EXPECT_EQ(layer.UpdateSurface(true), kUpdateDone);
  EXPECT_EQ(Read(layer.GetDirectDrawSurface(), 2, 2), 0x008000u);
  EXPECT_EQ(layer.UpdateSurface(true), 0) << "nothing dirty is -1, answered as 0";
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
  EXPECT_EQ(layer.GetDirectDrawSurface()->IsLost(), host::kDdOk);
  EXPECT_EQ(layer.GetSurfaceColorKey(), 0xF81Fu);
  EXPECT_EQ(Read(layer.GetDirectDrawSurface(), 1, 2), 0xF81Fu) << "refilled from the picture";
  EXPECT_EQ(Read(layer.GetDirectDrawSurface(), 3, 0), uint32_t(0xC0 >> 3) << 11);

  EXPECT_EQ(layer.ClearColorKey(), 0);
  EXPECT_EQ(layer.GetColorKey(), kNoColorKey);
  layer.Reset();
  EXPECT_EQ(layer.Restore(0), 0) << "nothing to restore";
  EXPECT_EQ(layer.ClearColorKey(), 0);
}

TEST_F(SoftwareLayerTest, FilterDrawsInBandsByWidth) {
  struct Case {
    int32_t width;
    int32_t rows;
  } cases[] = {{320, 8}, {319, 16}, {30, 50}};
  for (const Case& c : cases) {
    SoftwareSurfaceLayer layer, partner;
    ASSERT_EQ(layer.Create(c.width, 50, 32, kLayerComposed), 0);
    ASSERT_EQ(partner.Create(c.width, 50, 32, kLayerComposed), 0);
    ASSERT_EQ(layer.SetLinkedLayer(&partner), 0);
    auto* filter = new FakeFilter;
    filter->finishAfterUpdates = 10;
    ASSERT_EQ(layer.AttachSource(filter, kAttachPlain, false, false), 0);
    ASSERT_EQ(layer.UpdateSurface(true), 0);
    const size_t expected = size_t((50 + c.rows - 1) / c.rows);
    ASSERT_EQ(filter->bands.size(), expected) << c.width;
    EXPECT_EQ(filter->bands[0], (Rect{0, 0, c.width, std::min(50, c.rows)}));
    EXPECT_EQ(filter->bands.back().bottom, 50) << "the last band is shorter";
    EXPECT_TRUE(filter->readsLinked);
    const int32_t lastTop = filter->bands.back().top;
    EXPECT_EQ(Read(layer.GetDirectDrawSurface(), c.width - 1, 49), uint32_t(lastTop));
    layer.AttachSource(nullptr, kAttachPlain, false, false);
  }
}

TEST_F(SoftwareLayerTest, FinishedFilterIsDetachedWithoutDrawing) {
  SoftwareSurfaceLayer layer, partner;
  ASSERT_EQ(layer.Create(8, 8, 32, kLayerComposed), 0);
  ASSERT_EQ(partner.Create(8, 8, 32, kLayerComposed), 0);
  ASSERT_EQ(layer.SetLinkedLayer(&partner), 0);
  int drawn = 0;
  auto* filter = new FakeFilter(3);
  filter->finishAfterUpdates = 0;
  filter->bandsDrawn = &drawn;
  ASSERT_EQ(layer.AttachSource(filter, kAttachPlain, false, false), 0);
  EXPECT_EQ(layer.UpdateSurface(true), 0);
  EXPECT_FALSE(layer.HasSource());
  EXPECT_EQ(drawn, 0);
}

TEST_F(SoftwareLayerTest, DisplayManagerCreatesLayersAndLayerSprites) {
  DisplayManager manager;
  SoftwareSurfaceLayer* layer = nullptr;
  EXPECT_EQ(manager.CreateSoftwareSurfaceLayer(&layer, 0, 4, 32, kLayerPlain), kSoftLayerNoSurface);
  EXPECT_EQ(layer, nullptr);
  ASSERT_EQ(manager.CreateSoftwareSurfaceLayer(&layer, 4, 4, 32, kLayerPlain), 0);
  ASSERT_NE(layer, nullptr);
  LayerSpritePrimitive* item = nullptr;
  EXPECT_EQ(manager.CreateLayerSpritePrimitive(&item, nullptr, nullptr, 0, 0), kSpriteNoDirectDraw);
  EXPECT_EQ(item, nullptr);
  ASSERT_EQ(manager.CreateLayerSpritePrimitive(&item, layer, nullptr, 1, 1), 0);
  EXPECT_EQ(manager.DestroyLayer(layer), 0);
  EXPECT_EQ(item->Draw(dest.get(), &clip, nullptr), kRenderMissing) << "the item let go of the layer";
  EXPECT_EQ(manager.DestroyRenderItem(item), 0);

  // Without the Direct3D path there are no texture layers.
  TextureLayer* texture = nullptr;
  EXPECT_EQ(manager.CreateTextureLayer(&texture, kFormatX888, 4, 4, 32, kLayerPlain, true),
            kTextureLayerNoDevice);
  EXPECT_EQ(texture, nullptr);
  LayerD3DSpritePrimitive* d3dItem = nullptr;
  EXPECT_EQ(manager.CreateLayerD3DSpritePrimitive(&d3dItem, nullptr, nullptr, 0, 0),
            kD3DSpriteNoTexture);
}

}  // namespace
}  // namespace bw
