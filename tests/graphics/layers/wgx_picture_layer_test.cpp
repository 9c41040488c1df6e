#include "graphics/layers/wgx_picture_layer.h"

#include <gtest/gtest.h>

#include "graphics/device/direct3d_fixture.h"
#include "graphics/device/render_item_texture.h"
#include "graphics/layers/canvas_layer.h"
#include "graphics/pixel/surface_rows.h"
#include "graphics/surface/image_surface.h"
#include "graphics/surface/surface_fixture.h"
#include "host/surface/surface_test_util.h"
#include "lib/wgx/wgx_writer.h"
#include "resource/images/builtin_loaders.h"
#include "resource/images/image_loader_manager.h"

namespace bw {
namespace {

// A 4 x 2 picture, each pixel its own colour.
tools::WgxPicture Picture(int depth) {
  tools::WgxPicture p;
  p.depth = depth;
  p.width = 4;
  p.height = 2;
  for (uint32_t i = 0; i < 8; ++i) {
    p.pixels.push_back(depth == 8 ? i
                                  : 0x80000000u | (0x20 * i) << 16 | (0xFF - 0x10 * i) << 8 | i);
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
    return host::test::Get(*layer.GetDirectDrawSurface(), x, y);
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
      EXPECT_EQ(std::pair(layer.GetContentWidth(), layer.GetContentHeight()), std::pair(4, 2));
      const uint32_t alpha = depth == 32 ? 0x80000000u : 0xFF000000u;
      EXPECT_EQ(Texel(layer, 0, 0), alpha | 0x00FF00u);
      EXPECT_EQ(Texel(layer, 3, 1), alpha | (0x20u * 7) << 16 | (0xFFu - 0x70) << 8 | 7);
      EXPECT_EQ(std::pair(int32_t(layer.GetWord1()), int32_t(layer.GetWord2())),
                form ? std::pair(-3, 7) : std::pair(0, 0));
    }
}

TEST_F(WgxLayerTest, RefusesWhatItCannotLoadAndStaysEmpty) {
  WgxPictureLayer layer;
  tools::WgxWriteOptions sixteen;
  sixteen.faults.depthByte = 16;
  EXPECT_EQ(Load(layer, tools::WriteWgx(Picture(24), sixteen)), kWgxLayerBadPicture);
  EXPECT_EQ(layer.GetContentWidth(), 0);
  EXPECT_EQ(layer.Load(kFormat8888, "missing.wgx", nullptr, 0, true), kWgxLayerNoSource);
  const std::vector<uint8_t> good = tools::WriteWgx(Picture(24));
  EXPECT_EQ(Load(layer, good, 16), kWgxLayerNoFormat) << "no 24-bit textures";
  device.Release();
  EXPECT_EQ(Load(layer, good), kWgxLayerNoDevice);
  EXPECT_EQ(layer.GetDirectDrawSurface(), nullptr);
}

// A w x h picture whose pixels tell their column and row.
tools::WgxPicture Gradient(uint32_t w, uint32_t h) {
  tools::WgxPicture p;
  p.width = w;
  p.height = h;
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x)
      p.pixels.push_back((x & 0xFF) << 16 | (y & 0xFF) << 8 | x >> 8);
  return p;
}

TEST_F(WgxLayerTest, TextureSidesFollowTheDeviceLimits) {
  const std::vector<uint8_t> bytes = tools::WriteWgx(Gradient(300, 200));
  struct Case {
    uint32_t caps;
    int32_t width, height;
    const char* what;
  } cases[] = {
      {host::kD3dPTextureCapsPow2, 512, 256, "powers of two"},
      {host::kD3dPTextureCapsPow2 | host::kD3dPTextureCapsNonPow2Conditional, 300, 200,
       "other sizes allowed conditionally"},
      {host::kD3dPTextureCapsSquareOnly, 300, 300, "square, any size"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    UseTextureLimits(c.caps, 4096);
    WgxPictureLayer layer;
    ASSERT_EQ(Load(layer, bytes, kFormatX888), 0);
    EXPECT_EQ(std::pair(layer.GetWidth(), layer.GetHeight()), std::pair(c.width, c.height));
    EXPECT_FLOAT_EQ(layer.GetTexU(299), 299.5f / float(c.width));
    EXPECT_EQ(Texel(layer, 299, 199) & 0xFFFFFF, 0x2BC701u) << "the picture sits at the top left";
  }
}

TEST_F(WgxLayerTest, APictureLargerThanTheDeviceTakesIsScaledIntoIt) {
  UseTextureLimits(host::kD3dPTextureCapsPow2, 256);
  WgxPictureLayer layer;
  ASSERT_EQ(Load(layer, tools::WriteWgx(Gradient(300, 200)), kFormatX888), 0);
  EXPECT_EQ(std::pair(layer.GetWidth(), layer.GetHeight()), std::pair(256, 256))
      << "512 cut to the maximum";
  EXPECT_FLOAT_EQ(layer.GetTexU(150), float((256 * 150 / 300 + 0.5) / 256));
  // The picture fills min(300, 256) x min(200, 256) texels: column 255 shows a column near 299.
  EXPECT_GE(Texel(layer, 255, 0) >> 16 & 0xFF, 0x20u);
  EXPECT_EQ(Texel(layer, 255, 0) & 0xFF, 1u) << "a column from 256 on";
}

}  // namespace
}  // namespace bw
