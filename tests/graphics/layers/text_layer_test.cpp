#include "graphics/layers/text_layer.h"

#include <gtest/gtest.h>

#include <cstring>

#include "graphics/device/direct3d_fixture.h"
#include "graphics/pixel/surface_rows.h"
#include "support/fake_text_renderer.h"

namespace bw {
namespace {

using testing_text::FakeTextRenderer;

// The fake face at height 16: "AB" is 16 x 16; each glyph box covers columns 1..6 of its
// 8-pixel advance and rows 1..13. At four times the size, block (1, 1) is wholly inside the
// first glyph and row 15 lies below the baseline.
class TextLayerTest : public testing_devices::Direct3DTarget {
 protected:
  void SetUp() override {
    Direct3DTarget::SetUp();
    ASSERT_EQ(gdi.SetFont(16, false, false, nullptr), 0);
    ASSERT_EQ(outline.SetFont(16, false, false, nullptr), 0);
  }
  static uint32_t Texel(const TextLayer& layer, int x, int y) {
    const host::MemorySurface* s = layer.GetDirectDrawSurface();
    uint32_t v = 0;
    std::memcpy(&v, s->Pixels() + y * s->Pitch() + x * s->BytesPerPixel(),
                size_t(s->BytesPerPixel()));
    return v;
  }
  testing_text::FakeTextRendererFactory factory;
  ScopedGlobal<TextRendererFactory> factoryScope{&factory};
  FakeTextRenderer gdi{false};
  FakeTextRenderer outline{true};
};

TEST(FoldCoverageTest, SumsEachBlockAndRepeatsItsTopBits) {
  uint8_t picture[8 * 8] = {};
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) picture[y * 8 + x] = 15;  // block (0, 0) covered
  picture[4 * 8 + 5] = 15;                                // one sub-pixel of block (1, 1)
  FoldCoverage(picture, 8, 2, 2);
  EXPECT_EQ(picture[0], 246);
  EXPECT_EQ(picture[1], 0);
  EXPECT_EQ(picture[8], 0);
  EXPECT_EQ(picture[9], 15);
}

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
    EXPECT_EQ(layer.GetContentWidth(), 16);
    EXPECT_EQ(layer.GetContentHeight(), 16);
    EXPECT_EQ(layer.GetPixelFormatCode(), c.code);
    EXPECT_EQ(Texel(layer, 1, 1), c.covered);
    EXPECT_EQ(Texel(layer, 1, 15), c.empty);
    // The default GDI background is transparent: its colour is the key.
    EXPECT_EQ(layer.GetColorKeyRgb(), 0x00FF00u);
  }
}

TEST_F(TextLayerTest, SupersampledShadowAndEdgeColourTheirPlaneAndCoverIt) {
  gdi.SetSmoothing(1);
  gdi.SetDecorationColor(0, 0, 255);
  gdi.SetStyle(kTextShadow);
  gdi.SetShadowOffset(3, 3);
  TextLayer shadow;
  ASSERT_EQ(shadow.SetText(kFormat8888, "AB", &gdi), 0);
  EXPECT_EQ(shadow.GetContentWidth(), 19);
  EXPECT_EQ(Texel(shadow, 2, 2), 0xF6FFFFFFu) << "text";
  EXPECT_EQ(Texel(shadow, 8, 15), 0xF60000FFu) << "shadow only, covered by the second pass";

  gdi.SetStyle(kTextEdge);
  TextLayer edge;
  ASSERT_EQ(edge.SetText(kFormat8888, "AB", &gdi), 0);
  EXPECT_EQ(edge.GetContentWidth(), 18);
  EXPECT_EQ(Texel(edge, 2, 2), 0xFFF6F6FFu) << "text over the edge colour, opaque in the edge mask";
  const uint32_t corner = Texel(edge, 0, 0);
  EXPECT_EQ(corner & 0xFFFFFF, 0x0000FFu) << "edge colour outside the text";
  EXPECT_GT(corner >> 24, 0u);
  EXPECT_LT(corner >> 24, 255u) << "a soft edge";
  EXPECT_EQ(Texel(edge, 17, 17) >> 24, 0u) << "the mask lines up with the colour plane";
}

TEST_F(TextLayerTest, PlainGdiTextKeysItsBackgroundOrInvertsTheAlpha) {
  TextLayer keyed;
  ASSERT_EQ(keyed.SetText(kFormat565, "AB", &gdi), 0);
  EXPECT_EQ(Texel(keyed, 0, 0), 0x07E0u) << "background (0, 255, 0)";
  EXPECT_EQ(Texel(keyed, 2, 2), 0xFFFFu) << "white text";
  EXPECT_EQ(keyed.GetColorKeyRgb(), 0x00FF00u);
  EXPECT_EQ(keyed.GetSurfaceColorKey(), 0x07E0);

  TextLayer alpha;
  gdi.SetBackColor(false, 0, 0, 0);
  ASSERT_EQ(alpha.SetText(kFormat8888, "AB", &gdi), 0);
  EXPECT_EQ(Texel(alpha, 0, 0), 0x00000000u) << "background transparent";
  EXPECT_EQ(Texel(alpha, 2, 2), 0xFFFFFFFFu) << "text opaque";
  EXPECT_EQ(alpha.GetSurfaceColorKey(), -1) << "an opaque background sets no key";
  EXPECT_FALSE(gdi.IsTransparentBack()) << "the renderer's own setting comes back";
}

TEST_F(TextLayerTest, OutlineTextIsDrawnWithAlphaOrOnItsKeyedBackground) {
  TextLayer alpha;
  ASSERT_EQ(alpha.SetText(kFormat8888, "AB", &outline), 0);
  EXPECT_EQ(Texel(alpha, 5, 5), 0xFFFFFFFFu);
  EXPECT_EQ(alpha.GetSurfaceColorKey(), -1);
  TextLayer keyed;
  ASSERT_EQ(keyed.SetText(kFormat565, "AB", &outline), 0);
  EXPECT_EQ(Texel(keyed, 5, 5), 0xFFFFu);
  EXPECT_EQ(keyed.GetColorKeyRgb(), 0x00FF00u);
}

TEST_F(TextLayerTest, ATextTooLargeForTheDeviceIsScaledIntoTheTexture) {
  UseTextureLimits(0, 8);
  TextLayer layer;
  ASSERT_EQ(layer.SetText(kFormat565, "AB", &gdi), 0);
  EXPECT_EQ(layer.GetWidth(), 8);
  EXPECT_EQ(layer.GetContentWidth(), 16);
  EXPECT_EQ(Texel(layer, 0, 7), 0x07E0u) << "below the baseline";
  EXPECT_EQ(Texel(layer, 1, 1), 0xFFFFu) << "text, scaled by half";
  EXPECT_FLOAT_EQ(layer.GetTexU(15), 1.0f) << "the last content column ends the texture";
}

TEST_F(TextLayerTest, RefusalsLeaveTheLayerEmpty) {
  TextLayer layer;
  EXPECT_EQ(layer.SetText(kFormat565, "", &gdi), kTextLayerNoDevice);
  EXPECT_EQ(layer.SetText(kFormat565, "AB", nullptr), kTextLayerNoRenderer + kTextLayerNoMemory)
      << "no renderer and no default";
  EXPECT_EQ(layer.SetText(3, "AB", &gdi), kTextLayerNoFormat + kTextLayerNoMemory);
  FakeTextRenderer fontless{false};
  EXPECT_EQ(layer.SetText(kFormat565, "AB", &fontless),
            kDdsNoDevice + kTextLayerCreateBase + kTextLayerNoMemory)
      << "a text that measures nothing makes no texture";
  gdi.failDrawing = true;
  EXPECT_EQ(layer.SetText(kFormat565, "AB", &gdi),
            kTextDrawDcFailed + kTextLayerDrawBase + kTextLayerNoMemory);
  EXPECT_EQ(layer.GetDirectDrawSurface(), nullptr);
  EXPECT_EQ(layer.GetContentWidth(), 0);
  EXPECT_TRUE(layer.GetText().empty());
  ScopedGlobal<Direct3DDevice> none(nullptr);
  EXPECT_EQ(layer.SetText(kFormat565, "AB", &outline), kTextLayerNoDevice);
}

TEST_F(TextLayerTest, RestoreDrawsALostTextAgainWithTheDefaultRenderer) {
  ScopedGlobal<TextRenderer> defaultRenderer(&gdi);
  TextLayer layer;
  ASSERT_EQ(layer.SetText(kFormat565, "AB", nullptr), 0);
  host::MemorySurface* before = layer.GetDirectDrawSurface();
  EXPECT_EQ(layer.Restore(1), 0);
  EXPECT_EQ(layer.GetDirectDrawSurface(), before) << "a surface that is not lost stays";
  before->SetLost(true);
  EXPECT_EQ(layer.Restore(1), 0);
  EXPECT_EQ(Texel(layer, 2, 2), 0xFFFFu);
  EXPECT_EQ(layer.GetColorKeyRgb(), 0x00FF00u);
  gdi.failDrawing = true;
  EXPECT_EQ(layer.Restore(0), 1);
  EXPECT_EQ(layer.GetDirectDrawSurface(), nullptr) << "a failed restore clears the layer";
}

}  // namespace
}  // namespace bw
