#include "graphics/layers/text_layer.h"

#include <gtest/gtest.h>

#include "graphics/device/direct3d_fixture.h"
#include "graphics/pixel/blend_tables.h"
#include "graphics/pixel/surface_rows.h"
#include "host/surface/surface_test_util.h"
#include "support/text_renderers.h"

namespace bw {
namespace {

// At four times the size, block (1, 1) lies wholly inside the first glyph and row 15 below the
// baseline.
class TextLayerTest : public testing_devices::Direct3DTarget,
                      public testing_text::FakeFaceRenderers {
 protected:
  void SetUp() override {
    Direct3DTarget::SetUp();
    BuildBlendTables();
  }
  static uint32_t Texel(const TextLayer& layer, int x, int y) {
    return host::test::Get(*layer.GetDirectDrawSurface(), x, y);
  }
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

}  // namespace
}  // namespace bw
