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

// A layer of the software kind: its picture is its own image surface part.
class SoftwareKindLayer : public OffscreenLayer {
 public:
  int GetKind() const override { return kKindSoftwareSurfaceLayer; }
};

}  // namespace
}  // namespace bw
