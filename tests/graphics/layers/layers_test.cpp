#include "graphics/layers/software_surface_layer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "graphics/device/direct3d_fixture.h"
#include "graphics/device/render_item_sprite.h"
#include "graphics/device/render_item_texture.h"
#include "graphics/layers/canvas_layer.h"
#include "graphics/layers/fake_filter.h"
#include "graphics/layers/layer.h"
#include "graphics/layers/text_layer.h"
#include "graphics/layers/texture_layer.h"
#include "graphics/layers/wgx_picture_layer.h"
#include "graphics/pixel/blend_reference.h"
#include "graphics/pixel/surface_rows.h"
#include "graphics/surface/color_rect_object.h"
#include "graphics/surface/composition_layer.h"
#include "graphics/surface/image_surface.h"
#include "graphics/surface/pixel_library.h"
#include "graphics/surface/surface_fixture.h"
#include "host/clock.h"
#include "host/ddraw/direct_draw.h"
#include "host/gdi/memory_dc.h"
#include "host/surface/surface_test_util.h"
#include "lib/wgx/wgx_writer.h"
#include "resource/images/builtin_loaders.h"
#include "resource/images/image_loader_manager.h"
#include "support/text_renderers.h"

namespace bw {
namespace {

// Texel (x, y) of a layer's texture.
uint32_t Texel(const Layer& layer, int x, int y) {
  return host::test::Get(*layer.GetDirectDrawSurface(), x, y);
}

class SoftwareLayerTest : public testing_devices::DirectDrawTarget {
 protected:
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

TEST_F(TextureLayerTest, LayerSpriteShowsThePictureAndSurvivesALossAndTooLargeAPictureIsRefused) {
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
  host::test::Fill(*target, 0);
  ASSERT_EQ(list.DrawAll(target.get(), nullptr, &device), kRenderDone);
  EXPECT_EQ(Shown(5, 7), Colour(3, 2) & 0xFFFFFF) << "the texture was refilled from the picture";
  list.Remove(&sprite);

  // Sides follow the same rule as the picture layers' textures; only the refusal is this layer's.
  UseTextureLimits(0, 512);
  TextureLayer large;
  EXPECT_EQ(large.Create(kFormatX888, 640, 480, 32, kLayerPlain, true), kTextureLayerNoTexture);
  EXPECT_EQ(large.GetDirectDrawSurface(), nullptr);
}

// At four times the size, block (1, 1) lies wholly inside the first glyph and row 15 below the
// baseline.
class TextLayerTest : public testing_devices::Direct3DTarget,
                      public testing_text::FakeFaceRenderers {
 protected:
  ScopedGlobal<TextRendererFactory> factoryScope{&factory};
};

TEST_F(TextLayerTest, SupersampledGdiTextWritesItsCoverageIntoEveryAlphaFormat) {
  gdi.SetSmoothing(1);
  struct Case {
    int code;
    uint32_t covered, empty;
  };
  for (const Case& c : {Case{kFormat1555, 0xFFFF, 0x7FFF}, Case{kFormat4444, 0xFFFF, 0x0FFF},
                        Case{kFormat8888, 0xF6FFFFFF, 0x00FFFFFF}}) {
    SCOPED_TRACE(c.code);
    TextLayer layer;
    ASSERT_EQ(layer.SetText(c.code, "AB", &gdi), 0);
    EXPECT_EQ(Texel(layer, 1, 1), c.covered);
    EXPECT_EQ(Texel(layer, 1, 15), c.empty);
    EXPECT_EQ(layer.GetColorKeyRgb(), 0x00FF00u) << "a transparent GDI background is the key";
  }
}

TEST_F(TextLayerTest, SupersampledShadowAndEdgeLineUpWithTheirColourPlane) {
  gdi.SetSmoothing(1);
  gdi.SetDecorationColor(0, 0, 255);
  gdi.SetStyle(kTextShadow);
  gdi.SetShadowOffset(3, 3);
  TextLayer shadow, edge;
  ASSERT_EQ(shadow.SetText(kFormat8888, "AB", &gdi), 0);
  EXPECT_EQ(Texel(shadow, 8, 15), 0xF60000FFu) << "shadow only, covered by the second pass";
  gdi.SetStyle(kTextEdge);
  ASSERT_EQ(edge.SetText(kFormat8888, "AB", &gdi), 0);
  EXPECT_EQ(Texel(edge, 2, 2), 0xFFF6F6FFu) << "text over the edge colour, opaque in the edge mask";
  EXPECT_EQ(Texel(edge, 17, 17) >> 24, 0u);
}

TEST_F(TextLayerTest, UnsmoothedTextIsKeyedOrOpaqueOnItsAlpha) {
  TextLayer keyed;
  ASSERT_EQ(keyed.SetText(kFormat565, "AB", &gdi), 0);
  EXPECT_EQ(Texel(keyed, 0, 0), 0x07E0u) << "background (0, 255, 0)";
  EXPECT_EQ(keyed.GetSurfaceColorKey(), 0x07E0);

  TextLayer inverted;
  gdi.SetBackColor(false, 0, 0, 0);
  ASSERT_EQ(inverted.SetText(kFormat8888, "AB", &gdi), 0);
  EXPECT_EQ(Texel(inverted, 0, 0), 0x00000000u);
  EXPECT_EQ(Texel(inverted, 2, 2), 0xFFFFFFFFu);
  EXPECT_EQ(inverted.GetSurfaceColorKey(), -1) << "an opaque background sets no key";
}

TEST_F(TextLayerTest, ATextTooLargeForTheDeviceIsScaledIntoTheTexture) {
  UseTextureLimits(0, 8);
  TextLayer layer;
  ASSERT_EQ(layer.SetText(kFormat565, "AB", &gdi), 0);
  EXPECT_EQ(std::pair(layer.GetWidth(), layer.GetContentWidth()), std::pair(8, 16));
  EXPECT_EQ(Texel(layer, 0, 7), 0x07E0u) << "below the baseline";
  EXPECT_EQ(Texel(layer, 1, 1), 0xFFFFu) << "text, scaled by half";
  EXPECT_FLOAT_EQ(layer.GetTexU(15), 1.0f);
}

TEST_F(TextLayerTest, RefusalsLeaveTheLayerEmpty) {
  TextLayer layer;
  EXPECT_EQ(layer.SetText(kFormat565, "", &gdi), kTextLayerNoDevice);
  EXPECT_EQ(layer.SetText(kFormat565, "AB", nullptr), kTextLayerNoRenderer + kTextLayerNoMemory);
  GdiTextRenderer fontless(testing_text::FakeSource());
  EXPECT_EQ(layer.SetText(kFormat565, "AB", &fontless),
            kDdsNoDevice + kTextLayerCreateBase + kTextLayerNoMemory);
  testing_text::FailingTextRenderer failing;
  EXPECT_EQ(layer.SetText(kFormat565, "AB", &failing),
            kTextDrawDcFailed + kTextLayerDrawBase + kTextLayerNoMemory);
  EXPECT_EQ(layer.GetDirectDrawSurface(), nullptr);
}

TEST_F(TextLayerTest, RestoreDrawsALostTextAgainWithTheDefaultRenderer) {
  ScopedGlobal<TextRenderer> defaultRenderer(&gdi);
  TextLayer layer;
  ASSERT_EQ(layer.SetText(kFormat565, "AB", nullptr), 0);
  layer.GetDirectDrawSurface()->SetLost(true);
  EXPECT_EQ(layer.Restore(1), 0);
  EXPECT_EQ(Texel(layer, 2, 2), 0xFFFFu);
  EXPECT_EQ(layer.GetColorKeyRgb(), 0x00FF00u);
}

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

using testing_layers::FakeFilter;

int g_attached = 0;
int g_detached = 0;

class FilterTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(a_.Create(8, 8, 32, kLayerComposed), kLayerDone);
    ASSERT_EQ(b_.Create(8, 8, 32, kLayerComposed), kLayerDone);
    ASSERT_EQ(pictureA_.Create(8, 8, 32, 0), kSurfaceDone);
    ASSERT_EQ(pictureB_.Create(8, 8, 32, 0), kSurfaceDone);
    (void)a_.GetCompositionLayer()->SetBackgroundImage(&pictureA_, 0, 0, false);
    (void)b_.GetCompositionLayer()->SetBackgroundImage(&pictureB_, 0, 0, false);
    g_attached = g_detached = 0;
    SetLayerFilterHooks([] { ++g_attached; }, [] { ++g_detached; });
  }
  void TearDown() override { SetLayerFilterHooks(nullptr, nullptr); }
  ImageSurface* BackgroundOf(SurfaceLayer& layer) {
    ImageSurface* picture = nullptr;
    layer.GetCompositionLayer()->GetBackground(&picture, nullptr, nullptr, nullptr, nullptr,
                                               nullptr);
    return picture;
  }
  ImageSurface pictureA_, pictureB_;
  CanvasLayer a_, b_;
  int deleted_ = 0;
};

TEST_F(FilterTest,
       AttachingASecondFilterDetachesAndAppliesTheFirstAndASharedOneWaitsForItsLastOwner) {
  auto* first = new FakeFilter(0, &deleted_);
  EXPECT_EQ(a_.AttachSource(first, kAttachExchangeBackgrounds, true, true), kAttachNoLinkedLayer);
  ASSERT_EQ(a_.SetLinkedLayer(&b_), kLayerDone);
  ASSERT_EQ(a_.AttachSource(first, kAttachExchangeBackgrounds, true, true), kLayerDone);
  EXPECT_EQ(g_attached, 1);

  auto* second = new FakeFilter(2, &deleted_);
  ASSERT_EQ(a_.AttachSource(second, kAttachPlain, false, false), kLayerDone);
  EXPECT_EQ(deleted_, 1) << "the first filter went";
  EXPECT_EQ(g_detached, 1);
  EXPECT_EQ(BackgroundOf(a_), &pictureB_) << "its exchange ran, its apply flag being set";
  EXPECT_EQ(BackgroundOf(b_), &pictureA_);

  ASSERT_EQ(a_.SetLinkedLayer(nullptr), kLayerDone);
  EXPECT_EQ(a_.AttachSource(nullptr, kAttachPlain, false, false), kLayerDone)
      << "null detaches even without a linked layer";
  EXPECT_EQ(deleted_, 2);
  EXPECT_FALSE(a_.HasSource());
  EXPECT_EQ(g_detached, 1) << "the second filter asked for no notice";

  // A shared filter survives until its last owner lets go.
  ASSERT_EQ(a_.SetLinkedLayer(&b_), kLayerDone);
  auto* shared = new FakeFilter(3, &deleted_);
  shared->shareCount = 2;
  for (int round = 0; round < 3; ++round) {
    ASSERT_EQ(a_.AttachSource(shared, kAttachPlain, false, false), kLayerDone);
    a_.DetachSource(false);
    EXPECT_EQ(deleted_, round == 2 ? 3 : 2) << "shared filter, round " << round;
  }
  (void)b_.GetCompositionLayer()->SetBackgroundImage(nullptr, 0, 0, false);
  FakeFilter local(0, &deleted_);
  EXPECT_EQ(a_.AttachSource(&local, kAttachExchangeBackgrounds, false, false), kAttachNoBackground);
}

TEST(OffscreenLayer, RecordsComposingInvalidatesOnlyWhileComposingLinksItsShapeAndTakesNoFilter) {
  OffscreenLayer layer;
  ASSERT_EQ(layer.Create(8, 8, 32, true), kLayerDone);
  CompositionLayer* composition = layer.GetCompositionLayer();
  ASSERT_NE(composition, nullptr);
  DirtyRectList own;
  layer.SetActiveDirtyList(&own);
  EXPECT_TRUE(layer.SetComposing(false));
  EXPECT_EQ(layer.GetActiveDirtyList(), &own) << "only the flag changes";
  composition->DiscardDirty();
  layer.SetChanged(false);
  const Rect r{1, 2, 3, 4};
  layer.Invalidate(&r);
  EXPECT_EQ(own.Count() + composition->Dirty().Count(), 0) << "nothing while not composing";
  EXPECT_FALSE(layer.IsChanged());
  layer.SetComposing(true);
  layer.Invalidate(&r);
  EXPECT_EQ(composition->Dirty().Bounds(), r);

  OffscreenLayer partner;
  ASSERT_EQ(partner.Create(8, 8, 32, true), kLayerDone);
  ASSERT_EQ(layer.SetLinkedLayer(&partner), kLayerDone);
  int deleted = 0;
  FakeFilter filter(0, &deleted);
  EXPECT_EQ(layer.AttachSource(&filter, kAttachPlain, false, false), kOffscreenNoFilter);
  EXPECT_EQ(deleted, 0) << "a refused filter stays its owner's";
  // Only a layer of the same shape links.
  OffscreenLayer a, b, deeper;
  ASSERT_EQ(a.Create(16, 8, 32, false), kLayerDone);
  ASSERT_EQ(b.Create(16, 8, 32, true), kLayerDone);
  ASSERT_EQ(deeper.Create(16, 8, 8, false), kLayerDone);
  ASSERT_EQ(a.SetLinkedLayer(&b), kLayerDone);
  EXPECT_EQ(a.SetLinkedLayer(&deeper), kLinkRefused);
  EXPECT_EQ(a.GetLinkedLayer(), &b) << "a refused link keeps the previous one";
  OffscreenLayer bad;
  EXPECT_EQ(bad.Create(16, 8, 24, true), kLayerNoPicture);
  EXPECT_EQ(bad.GetCompositionLayer(), nullptr);
}

// A composed canvas linked to a partner of its size, presented into a device context.
class CanvasLayerTest : public testing::Test {
 protected:
  void Make(int32_t w, int32_t h) {
    ASSERT_EQ(canvas.Create(w, h, 32, kLayerComposed), kLayerDone);
    ASSERT_EQ(partner.Create(w, h, 32, kLayerComposed), kLayerDone);
    ASSERT_EQ(canvas.SetLinkedLayer(&partner), kLayerDone);
    section = host::DibSection::Create(w, h, 32);
    dc.Select(section.get());
  }
  int Present() { return canvas.PresentFrame(host::HWND{}, &dc, nullptr, 0, true); }
  uint32_t Shown(int x, int y) const {
    return testing_surfaces::PixelAt(section->Pixels(), section->Pitch(), x, y);
  }
  host::VirtualClock clock;
  ScopedGlobal<host::ClockSource> useClock{&clock};
  CanvasLayer canvas, partner;
  std::unique_ptr<host::DibSection> section;
  host::MemoryDc dc;
};

TEST_F(CanvasLayerTest, AFilteredCanvasIsDrawnBandByBandUntilTheFilterEnds) {
  Make(100, 40);
  auto* filter = new FakeFilter(2);
  filter->framesToFinish = 2;
  ASSERT_EQ(canvas.AttachSource(filter, kAttachPlain, false, false), kLayerDone);
  ASSERT_EQ(Present(), kPresentDone);
  EXPECT_EQ(Shown(99, 31), 0xFF000000u) << "a canvas 100 wide goes in bands of 32";
  EXPECT_EQ(Shown(99, 32), 0xFF000020u);
  EXPECT_EQ(Shown(0, 39), 0xFF000020u) << "the last band is shorter";
  EXPECT_TRUE(canvas.HasSource());
  EXPECT_EQ(Present(), 1) << "the filter ended";
  EXPECT_FALSE(canvas.HasSource());
}

// A change that reads the page it brings in shows that page as it is now, whether the page is
// redrawn whole before the change's bands or, being too large for the cache, band by band just
// before each.
TEST_F(CanvasLayerTest, TheIncomingPageIsUpToDateInEveryBandOfAChange) {
  ScopedPixelLibrary library{&BuiltInPixelLibrary()};
  constexpr int32_t kW = 640, kH = 480;
  Make(kW, kH);
  CompositionLayer& page = *partner.GetCompositionLayer();
  page.SetBackgroundColor(0x203040, true);
  ColorRectObject box;
  (void)box.Create(300, 250, 0xC0E08020u, 0, 0);
  (void)page.GetList().Add(&box, 1, 0);
  ImageSurface expected;
  ASSERT_EQ(expected.Create(kW, kH, 32, 0), kSurfaceDone);
  for (const bool byRows : {false, true}) {
    SCOPED_TRACE(byRows);
    auto* filter = new FakeFilter(0);
    filter->copiesSecond = true;
    filter->readsOnlyItsRows = byRows;
    ASSERT_EQ(canvas.AttachSource(filter, kAttachExchangeObjects, false, false), kLayerDone);
    for (int frame = 0; frame < 4; ++frame) {
      box.SetPos(frame * 101, frame * 53);
      // The whole page at times: too much for the cache, so drawn by rows.
      if (frame % 2 == 1) (void)page.InvalidateAll();
      ASSERT_EQ(Present(), kPresentDone);
      ASSERT_EQ(page.RenderTo(&expected, kRenderAll, 0, false), kComposeDone);
      for (int y = 0; y < kH; ++y) {
        ASSERT_EQ(std::memcmp(section->Pixels() + y * section->Pitch(), expected.GetRowPointer(y),
                              size_t(kW) * 4),
                  0)
            << "frame " << frame << ", row " << y;
      }
    }
    canvas.DetachSource(false);
  }
}

}  // namespace
}  // namespace bw
