#include "graphics/layers/wgx_picture_layer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "graphics/device/direct3d_fixture.h"
#include "graphics/device/render_item_texture.h"
#include "graphics/surface/surface_fixture.h"
#include "graphics/layers/canvas_layer.h"
#include "graphics/pixel/surface_rows.h"
#include "graphics/surface/image_surface.h"
#include "resource/images/builtin_loaders.h"
#include "resource/images/image_loader_manager.h"
#include "lib/wgx/wgx_writer.h"

namespace bw {
namespace {

TEST(TextureSizeTest, FollowsTheDeviceRules) {
  const TextureSize pow2 = ChooseTextureSize(300, 200, host::kD3dPTextureCapsPow2, 1, 1, 4096, 4096);
  EXPECT_EQ(pow2.width, 512);
  EXPECT_EQ(pow2.height, 256);
  EXPECT_FALSE(pow2.tooLarge);
  const TextureSize square = ChooseTextureSize(300, 200, host::kD3dPTextureCapsPow2 | host::kD3dPTextureCapsSquareOnly,
                                               1, 1, 4096, 4096);
  EXPECT_EQ(square.height, 512);
  const TextureSize wide = ChooseTextureSize(3000, 10, 0, 1, 1, 2048, 2048);
  EXPECT_EQ(wide.width, 2048);
  EXPECT_TRUE(wide.tooLarge);
  const TextureSize small = ChooseTextureSize(3, 1, 0, 8, 8, 2048, 2048);
  EXPECT_EQ(small.width, 8);
  EXPECT_EQ(small.height, 8);
}

// A 4 x 2 picture, each pixel its own colour.
tools::WgxPicture Picture(int depth) {
  tools::WgxPicture p;
  p.depth = depth;
  p.width = 4;
  p.height = 2;
  for (uint32_t i = 0; i < 8; ++i) {
    p.pixels.push_back(depth == 8 ? i : 0x80000000u | (0x20 * i) << 16 | (0xFF - 0x10 * i) << 8 | i);
    if (depth == 8) p.palette.push_back((0x20 * i) << 16 | (0xFF - 0x10 * i) << 8 | i);
  }
  p.offsetX = -3;
  p.offsetY = 7;
  return p;
}

class WgxLayerTest : public testing_devices::Direct3DTarget {
 protected:
  void SetUp() override {
    Direct3DTarget::SetUp();
    RegisterBuiltinLoaders(manager);
  }
  static uint32_t Texel(const WgxPictureLayer& layer, int x, int y) {
    host::MemorySurface* s = layer.GetDirectDrawSurface();
    uint32_t v = 0;
    std::memcpy(&v, s->Pixels() + y * s->Pitch() + x * 4, 4);
    return v;
  }
  int Load(WgxPictureLayer& layer, const std::vector<uint8_t>& bytes, int code = kFormat8888) {
    return layer.Load(code, nullptr, bytes.data(), bytes.size(), true);
  }
  ImageLoaderManager manager;
  ScopedGlobal<ImageLoaderManager> managerScope{&manager};
};

TEST_F(WgxLayerTest, DecodesEveryDepthAndHeaderFormIntoTheTexture) {
  for (int depth : {8, 24, 32})
    for (int form : {0, 1, 2}) {
      SCOPED_TRACE(testing::Message() << "depth " << depth << " form " << form);
      WgxPictureLayer layer;
      ASSERT_EQ(Load(layer, tools::WriteWgx(Picture(depth), {form, {}})), 0);
      EXPECT_EQ(layer.GetContentWidth(), 4);
      EXPECT_EQ(layer.GetContentHeight(), 2);
      EXPECT_EQ(layer.GetKind(), kKindWgxPictureLayer);
      const uint32_t alpha = depth == 32 ? 0x80000000u : 0xFF000000u;
      EXPECT_EQ(Texel(layer, 0, 0), alpha | 0x00FF00u);
      EXPECT_EQ(Texel(layer, 3, 1), alpha | (0x20u * 7) << 16 | (0xFFu - 0x70) << 8 | 7);
      EXPECT_EQ(int32_t(layer.GetWord1()), form ? -3 : 0);
      EXPECT_EQ(int32_t(layer.GetWord2()), form ? 7 : 0);
    }
}

TEST_F(WgxLayerTest, RefusesWhatItCannotLoadAndStaysEmpty) {
  WgxPictureLayer layer;
  tools::WgxWriteOptions sixteen;
  sixteen.faults.depthByte = 16;
  EXPECT_EQ(Load(layer, tools::WriteWgx(Picture(24), sixteen)), kWgxLayerBadPicture);
  EXPECT_EQ(layer.GetDirectDrawSurface(), nullptr);
  EXPECT_EQ(layer.GetContentWidth(), 0);
  const std::vector<uint8_t> cut{'W', 'G', 'X', 1, 24};
  EXPECT_EQ(Load(layer, cut), kWgxLayerBadPicture) << "a header longer than the data";
  tools::WgxWriteOptions overrun;
  overrun.faults.overrun = true;
  EXPECT_EQ(Load(layer, tools::WriteWgx(Picture(24), overrun)), kWgxLayerBadPicture);
  const std::vector<uint8_t> junk{1, 2, 3, 4, 5, 6};
  EXPECT_EQ(Load(layer, junk), kWgxLayerBadPicture) << "no loader knows it";
  EXPECT_EQ(layer.Load(kFormat8888, nullptr, nullptr, 0, true), kWgxLayerNoSource);
  EXPECT_EQ(layer.Load(kFormat8888, "missing.wgx", nullptr, 0, true), kWgxLayerNoSource);
  const std::vector<uint8_t> good = tools::WriteWgx(Picture(24));
  EXPECT_EQ(Load(layer, good, 16), kWgxLayerNoFormat) << "no 24-bit textures";
  {
    ScopedGlobal<ImageLoaderManager> none(nullptr);
    EXPECT_EQ(Load(layer, good), kWgxLayerBadPicture);
  }
  device.Release();
  EXPECT_EQ(Load(layer, good), kWgxLayerNoDevice);
  EXPECT_EQ(layer.GetDirectDrawSurface(), nullptr);
}

TEST_F(WgxLayerTest, OtherFormatsAndTooLargePicturesGoThroughTheLoader) {
  // A 1555 texture cannot take the direct decode: the loader's picture is converted into it.
  WgxPictureLayer layer;
  ASSERT_EQ(Load(layer, tools::WriteWgx(Picture(24), {1, {}}), kFormat1555), 0);
  EXPECT_EQ(layer.GetFormatCode(), kFormat1555);
  host::MemorySurface* s = layer.GetDirectDrawSurface();
  uint16_t texel = 0;
  std::memcpy(&texel, s->Pixels(), 2);
  EXPECT_EQ(texel & 0x3E0, 0x3E0) << "full green";
  EXPECT_EQ(int32_t(layer.GetWord1()), -3) << "the decoded picture's offsets";

  // Wider than the device's largest texture: scaled into it.
  tools::WgxPicture wide;
  wide.depth = 24, wide.width = 4097, wide.height = 1;
  wide.pixels.assign(4097, 0xFF0000u);
  WgxPictureLayer big;
  ASSERT_EQ(Load(big, tools::WriteWgx(wide)), 0);
  EXPECT_EQ(big.GetWidth(), 4096);
  EXPECT_EQ(big.GetContentWidth(), 4097);
  EXPECT_FLOAT_EQ(big.GetTexU(4096), float((4096.0 * 4096 / 4097 + 0.5) / 4096));
  EXPECT_EQ(Texel(big, 4095, 0) & 0xFFFFFF, 0xFF0000u);
}

TEST_F(WgxLayerTest, ReloadNeedsANameAndKeepsTheKey) {
  WgxPictureLayer layer;
  ASSERT_EQ(Load(layer, tools::WriteWgx(Picture(24))), 0);
  ASSERT_EQ(layer.SetColorKeyRgb(0, 0xFF, 0), 0);
  EXPECT_EQ(layer.Reload(true), 0) << "not lost: nothing to do";
  layer.GetDirectDrawSurface()->SetLost(true);
  EXPECT_EQ(layer.Restore(1), kReloadNoName) << "loaded from memory: nothing to load again from";
}

TEST_F(WgxLayerTest, TheDirect3DSpriteShowsTheLayerPixelForPixel) {
  WgxPictureLayer layer;
  ASSERT_EQ(Load(layer, tools::WriteWgx(Picture(24))), 0);
  D3DSpritePrimitive sprite;
  ASSERT_EQ(sprite.Init(&layer, nullptr, 5, 6), 0);
  RenderList list;
  list.Insert(&sprite, 0, 0);
  ASSERT_EQ(list.DrawAll(target.get(), nullptr, &device), kRenderDone);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x) ASSERT_EQ(Shown(5 + x, 6 + y), Texel(layer, x, y) & 0xFFFFFF) << x << "," << y;
}

// A layer of the software kind: its picture is its own image surface part.
class SoftwareKindLayer : public OffscreenLayer {
 public:
  int GetKind() const override { return kKindSoftwareSurfaceLayer; }
};

TEST_F(WgxLayerTest, ImageSurfacesCopyFromPictureLayersAndLayerParts) {
  WgxPictureLayer layer;
  ASSERT_EQ(Load(layer, tools::WriteWgx(Picture(24))), 0);
  ImageSurface image;
  ASSERT_EQ(image.Create(8, 8, 32, kImageDibSection), kSurfaceDone);
  ASSERT_EQ(image.BlitFromObject(&layer, -1, 6, nullptr), ImageSurface::kOpDone);
  EXPECT_EQ(testing_surfaces::Pixel(image, 0, 6) & 0xFFFFFF, Texel(layer, 1, 0) & 0xFFFFFF) << "clipped at the left";
  EXPECT_EQ(testing_surfaces::Pixel(image, 2, 7) & 0xFFFFFF, Texel(layer, 3, 1) & 0xFFFFFF);
  const Size twice{8, 4};
  ASSERT_EQ(image.StretchBlitFromObject(&layer, &twice, 0, 0, nullptr), ImageSurface::kOpDone);
  EXPECT_EQ(testing_surfaces::Pixel(image, 7, 3) & 0xFFFFFF, Texel(layer, 3, 1) & 0xFFFFFF);
  EXPECT_EQ(testing_surfaces::Pixel(image, 1, 0) & 0xFFFFFF, Texel(layer, 0, 0) & 0xFFFFFF);

  SoftwareKindLayer software;
  ASSERT_EQ(software.Create(2, 2, 32, false), 0);
  software.GetImage()->Fill(0xFF123456u, nullptr);
  ASSERT_EQ(image.BlitFromObject(&software, 5, 5, nullptr), ImageSurface::kOpDone);
  EXPECT_EQ(testing_surfaces::Pixel(image, 6, 6) & 0xFFFFFF, 0x123456u);
  EXPECT_EQ(image.BlitFromObject(nullptr, 0, 0, nullptr), ImageSurface::kOpNoPixels);
}

}  // namespace
}  // namespace bw
