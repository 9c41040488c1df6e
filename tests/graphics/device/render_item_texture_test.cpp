#include "graphics/device/render_item_texture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "graphics/device/direct3d_fixture.h"
#include "graphics/pixel/surface_rows.h"
#include "graphics/surface/directdraw_image_surface.h"

namespace bw {
namespace {

// A texture picture seen through the layer interface: content w x h in a texture of its own size.
class FakeTexture : public DirectDrawImageSurface, public Layer {
 public:
  int GetKind() const override { return kKindWgxPictureLayer; }
  int32_t GetWidth() const override { return DirectDrawImageSurface::GetWidth(); }
  int32_t GetHeight() const override { return DirectDrawImageSurface::GetHeight(); }
  int SetColorKeyRgb(int r, int g, int b) override {
    return DirectDrawImageSurface::SetColorKeyRgb(r, g, b);
  }
  int SetColorKeyFromPixel(int32_t x, int32_t y) override {
    return DirectDrawImageSurface::SetColorKeyFromPixel(x, y);
  }
  int64_t GetSurfaceColorKey() const override { return -1; }
  int ClearColorKey() override { return DirectDrawImageSurface::ClearColorKey(); }
  host::MemorySurface* GetDirectDrawSurface() const override {
    return DirectDrawImageSurface::GetDirectDrawSurface();
  }
  int GetPixelFormatCode() const override { return GetFormatCode(); }
  int32_t GetContentWidth() const override { return GetWidth(); }
  int32_t GetContentHeight() const override { return GetHeight(); }
  float GetTexU(int32_t x) const override {
    return float(TextureCoordinate(x, GetWidth(), GetWidth()));
  }
  float GetTexV(int32_t y) const override {
    return float(TextureCoordinate(y, GetHeight(), GetHeight()));
  }
};

class D3DSpriteTest : public testing_devices::Direct3DTarget {
 protected:
  void SetUp() override {
    Direct3DTarget::SetUp();
    // Four texels a row, each its own colour, opaque.
    ASSERT_EQ(texture.Create(4, 2, true, true, device.GetTextureFormat(kFormat8888)), 0);
    host::DdSurfaceDesc d;
    ASSERT_EQ(texture.GetDirectDrawSurface()->Lock(&d), host::kDdOk);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 4; ++x) {
        const uint32_t c = 0xFF000000u | Texel(x, y);
        std::memcpy(d.surface + y * d.pitch + x * 4, &c, 4);
      }
    EXPECT_EQ(0, texture.GetDirectDrawSurface()->Unlock());
  }
  static uint32_t Texel(int x, int y) {
    return uint32_t(0x10 * (x + 1)) << 16 | uint32_t(0x40 * y) << 8;
  }
  FakeTexture texture;
};

TEST_F(D3DSpriteTest, DrawsEveryTexelOnceAtItsPlace) {
  D3DSpritePrimitive sprite;
  EXPECT_EQ(sprite.Init(nullptr, nullptr, 0, 0), kD3DSpriteNoTexture);
  ASSERT_EQ(sprite.Init(&texture, nullptr, 3, 5), 0);
  EXPECT_EQ(sprite.GetState(D3DSpritePrimitive::kAlphaBlend), 1) << "a texture with alpha blends";
  ASSERT_EQ(DrawOne(&sprite), kRenderDone);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x) ASSERT_EQ(Shown(3 + x, 5 + y), Texel(x, y)) << x << "," << y;
  EXPECT_EQ(Shown(7, 5), 0u);

  // Twice the size: each texel covers two by two pixels.
  const Rect right{2, 0, 4, 2};
  ASSERT_EQ(sprite.Init(&texture, &right, 0, 8), 0);
  sprite.SetSize(4, 4);
  ASSERT_EQ(DrawOne(&sprite), kRenderDone);
  EXPECT_EQ(Shown(1, 9), Texel(2, 0));
  EXPECT_EQ(Shown(3, 11), Texel(3, 1));
}

TEST_F(D3DSpriteTest, VertexColoursAndAlphasKeepTheOtherHalf) {
  D3DSpritePrimitive sprite;
  ASSERT_EQ(sprite.Init(&texture, nullptr, 0, 0), 0);
  auto diffuse = [&sprite] {
    std::vector<uint32_t> out;
    for (const auto& v : sprite.Vertices()) out.push_back(v.diffuse);
    return out;
  };
  EXPECT_TRUE(sprite.SetVertexColor(1, 0xAB123456u));
  EXPECT_FALSE(sprite.SetVertexColor(4, 0)) << "a sprite has four vertices";
  EXPECT_TRUE(sprite.SetVertexAlpha(2, 300));
  EXPECT_TRUE(sprite.SetVertexAlpha(3, -5));
  // The colour keeps the alpha; alphas clamp to 0..255.
  EXPECT_EQ(diffuse(), (std::vector<uint32_t>{0xFFFFFFFF, 0xFF123456, 0xFFFFFFFF, 0x00FFFFFF}));
  sprite.SetVertexColors({0x000000, 0x0000FF, 0x00FF00, 0xFF0000, 0x123456});
  sprite.SetVertexAlphas({0x80, 0x40});
  // Values past the fourth are ignored.
  EXPECT_EQ(diffuse(), (std::vector<uint32_t>{0x80000000, 0x400000FF, 0xFF00FF00, 0x00FF0000}));

  // Black corners darken the texels they modulate.
  sprite.SetVertexColors({0, 0, 0, 0});
  sprite.SetVertexAlphas({255, 255, 255, 255});
  ASSERT_EQ(DrawOne(&sprite), kRenderDone);
  EXPECT_EQ(Shown(3, 1), 0u);
}

TEST_F(D3DSpriteTest, PixelHitTestSkipsTheColourKeyThroughScaleAndScroll) {
  D3DSpritePrimitive sprite;
  const Rect right{2, 0, 4, 2};
  ASSERT_EQ(sprite.Init(&texture, &right, 10, 8), 0);
  sprite.SetSize(4, 4);
  EXPECT_TRUE(sprite.HitTest(10, 8, true)) << "no key: every pixel hits";
  ASSERT_EQ(texture.SetColorKeyFromPixel(2, 0), 0);
  EXPECT_FALSE(sprite.HitTest(10, 8, true)) << "texel (2, 0) is the key";
  EXPECT_FALSE(sprite.HitTest(11, 9, true)) << "a drawn pixel of the same texel, scaled down";
  EXPECT_TRUE(sprite.HitTest(10, 10, true)) << "texel (2, 1)";
  EXPECT_TRUE(sprite.HitTest(10, 8, false)) << "without the test every point inside hits";
  sprite.SetSourceRect(-1, 0, &right);
  EXPECT_TRUE(sprite.HitTest(10, 8, true)) << "scrolled: texel (1, 0)";
  EXPECT_FALSE(sprite.HitTest(12, 8, true)) << "scrolled: texel (2, 0)";
}

TEST_F(D3DSpriteTest, TheLowestAngleAndAMissingTexture) {
  D3DSpritePrimitive sprite;
  ASSERT_EQ(sprite.Init(&texture, nullptr, 0, 0), 0);
  sprite.SetSize(100, 50);
  sprite.SetRotation(INT32_MIN, 4);  // the sanitizer traps a negated lowest angle

  device.Release();
  EXPECT_EQ(sprite.Draw(nullptr, nullptr, &device), kRenderNoDevice);
  EXPECT_EQ(sprite.Draw(nullptr, nullptr, nullptr), kRenderMissing);
  {
    FakeTexture brief;
    ASSERT_EQ(brief.Create(2, 2, true, false, nullptr), 0);
    ASSERT_EQ(sprite.Init(&brief, nullptr, 0, 0), 0);
  }
  EXPECT_EQ(sprite.GetTexture(), nullptr) << "a destroyed texture clears the item";
  EXPECT_EQ(sprite.Draw(nullptr, nullptr, &device), kRenderMissing);
}

}  // namespace
}  // namespace bw
