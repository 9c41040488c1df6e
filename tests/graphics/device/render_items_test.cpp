#include "graphics/device/render_item_texture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/global.h"
#include "graphics/device/direct3d_device.h"
#include "graphics/device/direct3d_fixture.h"
#include "graphics/device/render_item.h"
#include "graphics/device/render_item_sprite.h"
#include "graphics/device/render_list.h"
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
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 4; ++x)
        host::test::Put(*texture.GetDirectDrawSurface(), x, y, 0xFF000000u | Texel(x, y));
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

class SpriteItemTest : public testing_devices::DirectDrawTarget {
 protected:
  std::unique_ptr<DirectDrawImageSurface> Picture(int32_t w, int32_t h, uint32_t rgb) {
    auto s = std::make_unique<DirectDrawImageSurface>();
    EXPECT_EQ(s->Create(w, h, true, false, nullptr), 0);
    EXPECT_EQ(s->FillColor(int(rgb >> 16), int(rgb >> 8 & 0xFF), int(rgb & 0xFF)), 0);
    return s;
  }
  uint32_t Pixel(int x, int y) const { return testing_devices::Rgb(*dest, x, y); }
  int Count(uint32_t rgb) const {
    int n = 0;
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x) n += Pixel(x, y) == rgb;
    return n;
  }
};

TEST_F(SpriteItemTest, BlitsClippedScaledAndKeyed) {
  auto red = Picture(4, 4, 0xFF0000);
  SpritePrimitive sprite;
  EXPECT_EQ(sprite.Init(nullptr, nullptr, 0, 0), kSpriteNoDirectDraw);
  ASSERT_EQ(sprite.Init(red.get(), nullptr, -2, 1), 0);
  ASSERT_EQ(sprite.Draw(dest.get(), &clip, nullptr), kRenderDone);
  EXPECT_EQ(Count(0xFF0000), 8) << "two columns of four rows show";
  EXPECT_EQ(Pixel(1, 4), 0xFF0000u);
  EXPECT_EQ(sprite.Draw(dest.get(), nullptr, nullptr), kRenderMissing);

  // A drawn size stretches the picture; the part outside the clip is cut in proportion.
  sprite.SetSizeAndPosition(16, 8, -4, 0);
  ASSERT_EQ(sprite.Draw(dest.get(), &clip, nullptr), kRenderDone);
  EXPECT_EQ(Count(0xFF0000), 64);

  // A keyed picture leaves the keyed colour out.
  auto keyed = Picture(2, 2, 0x00FF00);
  ASSERT_EQ(keyed->SetColorKeyRgb(0, 255, 0), 0);
  SpritePrimitive over;
  ASSERT_EQ(over.Init(keyed.get(), nullptr, 0, 0), 0);
  ASSERT_EQ(over.Draw(dest.get(), &clip, nullptr), kRenderDone);
  EXPECT_EQ(Count(0x00FF00), 0);

  // The source rectangle is limited to the picture.
  const Rect wide{1, 1, 10, 10};
  ASSERT_EQ(sprite.Init(red.get(), &wide, 0, 0), 0);
  EXPECT_EQ(sprite.SourceRect(), (Rect{1, 1, 4, 4}));
}

TEST_F(SpriteItemTest, HitTestsAreSignedAndReadTheKeyAndADestroyedSourceDrawsNothing) {
  auto picture = Picture(4, 4, 0x0000FF);
  SpritePrimitive sprite;
  ASSERT_EQ(sprite.Init(picture.get(), nullptr, -10, -10), 0);
  EXPECT_FALSE(sprite.HitTest(-6, -8, false));
  EXPECT_TRUE(sprite.HitTest(-7, -8, true)) << "no key: every pixel hits";
  ASSERT_EQ(picture->SetColorKeyRgb(0, 0, 255), 0);
  EXPECT_FALSE(sprite.HitTest(-7, -8, true)) << "the pixel is the key";
  EXPECT_TRUE(sprite.HitTest(-7, -8, false));
  SpritePrimitive other;
  ASSERT_EQ(other.Init(picture.get(), nullptr, -7, -7), 0);
  EXPECT_TRUE(sprite.Overlaps(other));

  // A destroyed source leaves the item drawing nothing.
  picture.reset();
  EXPECT_EQ(sprite.GetSource(), nullptr);
  EXPECT_EQ(sprite.Draw(dest.get(), &clip, nullptr), kRenderMissing);
  Rect r;
  EXPECT_FALSE(sprite.GetRect(&r));
}

// Records its name when drawn and answers a set code.
class FakeItem : public RenderItem {
 public:
  FakeItem(std::string name, std::vector<std::string>* log) : name_(std::move(name)), log_(log) {}
  uint8_t GetKind() const override { return kItemMovie; }
  int Draw(host::MemorySurface*, const Rect*, Direct3DDevice*) override {
    if (!IsEnabled()) return kRenderDone;
    log_->push_back(name_);
    return result;
  }
  int Restore() override {
    log_->push_back("restore " + name_);
    return result;
  }
  int result = kRenderDone;

 private:
  std::string name_;
  std::vector<std::string>* log_;
};

class RenderListTest : public testing::Test {
 protected:
  std::vector<std::string> Drawn() {
    log.clear();
    (void)list.DrawAll(nullptr, nullptr, nullptr);
    return log;
  }
  std::vector<std::string> log;
  RenderList list;
  FakeItem a{"a", &log}, b{"b", &log}, c{"c", &log};
};

using Names = std::vector<std::string>;

TEST_F(RenderListTest, DrawsByDescendingPriorityEqualsInTheirChosenOrder) {
  ASSERT_EQ(list.Insert(&a, 5, 0), 0);
  ASSERT_EQ(list.Insert(&b, 9, 0), 0);
  ASSERT_EQ(list.Insert(&c, 5, 0), 0);
  EXPECT_EQ(Drawn(), (Names{"b", "a", "c"}));
  list.Remove(&c);
  ASSERT_EQ(list.InsertBeforeEqual(&c, 5, 0), 0);
  EXPECT_EQ(Drawn(), (Names{"b", "c", "a"}));

  EXPECT_EQ(list.Insert(&a, 1, 0), kInsertListed);
  EXPECT_EQ(list.Insert(nullptr, 1, 0), kInsertNoItem);
  EXPECT_EQ(Drawn(), (Names{"b", "c", "a"})) << "a refused insert changes nothing";

  EXPECT_TRUE(list.SetPriority(&b, 5, true)) << "moved after the equals";
  EXPECT_EQ(Drawn(), (Names{"c", "a", "b"}));
  EXPECT_FALSE(list.SetPriority(&b, 5, true)) << "same priority, skipped";
  EXPECT_TRUE(list.SetPriorityBeforeEqual(&b, 5, false));
  EXPECT_EQ(Drawn(), (Names{"b", "c", "a"}));
  EXPECT_FALSE(list.SetPriority(nullptr, 1, false));

  // Drawing and restoring stop at the first failure.
  c.result = 4;
  log.clear();
  EXPECT_EQ(list.DrawAll(nullptr, nullptr, nullptr), 4);
  EXPECT_EQ(log, (Names{"b", "c"}));
  log.clear();
  EXPECT_EQ(list.Restore(), 4);
  EXPECT_EQ(log, (Names{"restore b", "restore c"}));
}

TEST_F(RenderListTest, FiltersRemovalAndItemsLeavingOnTheirOwn) {
  (void)list.Insert(&a, 1, 3);
  (void)list.Insert(&b, 7, 2);
  (void)list.Insert(&c, 7, 3);
  list.SetEnabledWhere(false, kAnyValue, 3);
  EXPECT_EQ(Drawn(), (Names{"b"}));
  list.SetEnabledWhere(true, 1, kAnyValue);
  EXPECT_EQ(Drawn(), (Names{"b", "a"}));

  list.RemoveByPriority(7);
  EXPECT_EQ(b.List(), nullptr);
  EXPECT_EQ(list.Count(), 1u);
  (void)list.Insert(&b, 7, 2);
  list.RemoveByType(3);
  EXPECT_EQ(list.Count(), 1u);
  EXPECT_EQ(a.List(), nullptr);
  {
    FakeItem brief{"brief", &log};
    (void)list.Insert(&brief, 0, 0);
    EXPECT_EQ(list.Count(), 2u);
  }
  EXPECT_EQ(list.Count(), 1u) << "a dying item leaves the list";
  list.Clear();
  EXPECT_EQ(b.List(), nullptr);
  EXPECT_EQ(list.Insert(&b, 1, 0), 0) << "a cleared item can be listed again";
}

// The coloured items drawn by a Direct3D device onto a 16 x 16 target.
using ColorItemTest = testing_devices::Direct3DTarget;

TEST_F(ColorItemTest, RectangleFillsExactlyItsPixels) {
  D3DRectPrimitive rect;
  ASSERT_EQ(rect.Set(4, 3, 0xFF00FF00u, -2, 14), 0);
  EXPECT_EQ(rect.BlendEnable(), 0) << "opaque: no blending";
  ASSERT_EQ(DrawOne(&rect), kRenderDone);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x)
      ASSERT_EQ(Shown(x, y), x < 2 && y >= 14 ? 0x00FF00u : 0u) << x << "," << y;
  }

  // Signed hit tests: an item placed partly off screen is hit where it shows.
  EXPECT_TRUE(rect.HitTest(-1, 15, true));
  EXPECT_FALSE(rect.HitTest(2, 14, false));
  D3DRectPrimitive other;
  (void)other.Set(2, 2, 0xFF000000u, 1, 16);
  EXPECT_TRUE(rect.Overlaps(other));
  other.SetPosition(2, 16);
  EXPECT_FALSE(rect.Overlaps(other)) << "touching edges do not overlap";
}

TEST_F(ColorItemTest, DrawAnswersForWhatIsMissing) {
  D3DRectPrimitive rect;
  (void)rect.Set(2, 2, 0xFFFFFFFFu, 0, 0);
  EXPECT_EQ(rect.Draw(target.get(), nullptr, nullptr), kRenderMissing);
  D3DPolygonPrimitive empty;
  EXPECT_EQ(empty.Draw(target.get(), nullptr, &device), kRenderMissing);
  device.Release();
  EXPECT_EQ(rect.Draw(target.get(), nullptr, &device), kRenderNoDevice);
  RenderList list;
  (void)list.Insert(&rect, 0, 0);
  EXPECT_EQ(list.DrawAll(target.get(), nullptr, &device), kRenderNoDevice)
      << "drawn without a scene";
}

class DeviceTest : public testing::Test {
 protected:
  void SetUp() override {
    host::SetDisplayModeSize(320, 240);
    SetExclusiveModeLatched(false);
  }
  void TearDown() override {
    host::SetDisplayModeSize(640, 480);
    SetExclusiveModeLatched(false);
  }
};

TEST_F(DeviceTest, ModeSwitchFallsBackToExclusiveAndStaysThere) {
  DirectDrawDevice device;
  ASSERT_EQ(device.Create(false, false, nullptr, nullptr, 0, true, 320, 240), 0);
  EXPECT_EQ(device.SetDisplayMode(host::HWND{3}, 320, 240, 24, true), kModeDepthNotAllowed);
  ASSERT_EQ(device.SetDisplayMode(host::HWND{3}, 320, 240, 16, true), 0);
  EXPECT_TRUE(ExclusiveModeLatched()) << "the normal level refused the mode";
  EXPECT_EQ(device.DisplayDepth(), 16);
  EXPECT_EQ(device.SetDisplayMode(host::HWND{3}, 320, 240, 16, true), kModeNoDirectDrawOrSameDepth);

  ASSERT_EQ(device.RestoreMode(true), 0);
  EXPECT_EQ(device.CooperativeState(), kCoopNormal);
  ASSERT_EQ(device.SetDisplayMode(host::HWND{3}, 320, 240, 32, false), 0);
  EXPECT_EQ(device.CooperativeState(), kCoopExclusive) << "later switches go straight to exclusive";

  DirectDrawDevice none;
  EXPECT_EQ(none.SetDisplayMode(host::HWND{3}, 320, 240, 32, false), kModeNoDirectDrawOrSameDepth);
  EXPECT_EQ(none.RestoreMode(false), kRestoreNoDirectDraw);
}

using Direct3DTest = testing_devices::Direct3DTarget;

TEST_F(Direct3DTest, CacheSkipsRepeatsAndReappliesAfterARestore) {
  ASSERT_EQ(device.Create(target.get(), nullptr, false), 0);
  host::D3dDevice* d3d = device.GetDevice();
  int calls = d3d->StateCalls();
  ASSERT_EQ(device.SetCullMode(1), 0);
  ASSERT_EQ(device.SetCullMode(1), 0);
  EXPECT_EQ(d3d->StateCalls(), calls + 1) << "a repeated value is not sent";
  ASSERT_EQ(device.SetColorOp(2), 0);
  ASSERT_EQ(device.SetAlphaRef(0), 0);
  ASSERT_EQ(device.SetAlphaRef(0), 0);
  EXPECT_EQ(d3d->StateCalls(), calls + 4) << "alpha reference 0 counts as unknown";
  ASSERT_EQ(device.SetTextureFactor(0x80FFFFFF), 0);

  host::DirectDraw* dd = device.GetDirectDraw();
  ASSERT_NE(dd, nullptr);
  DirectDrawImageSurface texture;
  const host::DdPixelFormat format = *device.GetTextureFormat(kFormat8888);
  ASSERT_EQ(texture.Create(4, 4, false, true, &format), 0);
  ASSERT_EQ(device.SetTexture(&texture), 0);
  ASSERT_EQ(device.SetTexture(&texture), 0);
  EXPECT_EQ(d3d->StateCalls(), calls + 6) << "the bound surface is not bound again";
  EXPECT_EQ(d3d->GetTexture(0), texture.GetDirectDrawSurface());

  // A new device starts from its defaults: the cache sends every known value once.
  ASSERT_EQ(device.Create(target.get(), nullptr, false), 0);
  d3d = device.GetDevice();
  calls = d3d->StateCalls();
  ASSERT_EQ(device.RenderStateCache(), 0);
  EXPECT_EQ(d3d->StateCalls(), calls + 4) << "cull, colour op, texture factor and the texture";
  uint32_t factor = 0;
  EXPECT_EQ(0, d3d->GetRenderState(host::kRsTextureFactor, &factor));
  EXPECT_EQ(factor, 0x80FFFFFFu);
  EXPECT_EQ(d3d->GetTexture(0), texture.GetDirectDrawSurface());
  ASSERT_EQ(device.SetCullMode(1), 0);
  EXPECT_EQ(d3d->StateCalls(), calls + 4) << "and then skips again";

  d3d->SetRefusesStates(true);
  EXPECT_EQ(device.SetCullMode(2), kStateRefused);
  EXPECT_EQ(device.RenderStateCache(), kStateRefused);
}

}  // namespace
}  // namespace bw
