#include "graphics/surface/direct_draw_surface.h"

#include <gtest/gtest.h>

#include "graphics/device/direct3d_fixture.h"
#include "graphics/layers/text_layer.h"
#include "graphics/pixel/blend_tables.h"
#include "graphics/pixel/surface_rows.h"
#include "graphics/surface/image_surface.h"
#include "graphics/surface/surface_fixture.h"
#include "support/text_renderers.h"

namespace bw {
namespace {

class TextSurfaceTest : public testing_devices::Direct3DTarget,
                        public testing_text::FakeFaceRenderers {
 protected:
  void SetUp() override {
    Direct3DTarget::SetUp();
    outline.SetTextColor(255, 0, 0);
    ASSERT_EQ(image.Create(32, 32, 32, kImageDibSection | kImageDirtyList), 0);
  }
  static uint32_t Rgb(const DirectDrawImageSurface& s, int x, int y) {
    return testing_devices::Rgb(*s.GetDirectDrawSurface(), x, y);
  }
  uint32_t Shown(int x, int y) const { return testing_surfaces::Pixel(image, x, y) & 0xFFFFFF; }
  ImageSurface image;
};

TEST_F(TextSurfaceTest, DrawsItsTextAtTheMeasuredSizeAgainAfterALossOrRefuses) {
  DirectDrawSurface surface;
  ASSERT_EQ(surface.Load("AB", &gdi), 0);
  EXPECT_TRUE(surface.GetWidth() == 16 && surface.GetHeight() == 16);
  EXPECT_EQ(Rgb(surface, 2, 2), 0xFFFFFFu);
  // A lost surface draws its text again, with its key.
  ASSERT_EQ(surface.SetColorKeyRgb(0, 0, 0), 0);
  surface.GetDirectDrawSurface()->SetLost(true);
  EXPECT_EQ(surface.Restore(1), 0);
  EXPECT_EQ(Rgb(surface, 2, 2), 0xFFFFFFu);
  EXPECT_EQ(surface.GetColorKeyRgb(), 0u) << "the key is set again";
  EXPECT_EQ(surface.Load("AB", nullptr), kTextRenderNoRenderer + kTextSurfaceNoMemory);
  testing_text::FailingTextRenderer failing;
  EXPECT_EQ(surface.Load("AB", &failing), kTextRenderDrawFailed + kTextSurfaceNoMemory);
  EXPECT_EQ(surface.GetDirectDrawSurface(), nullptr);
}

TEST_F(TextSurfaceTest, ImagesCopyFromTextSurfacesAndTextLayers) {
  DirectDrawSurface surface;
  ASSERT_EQ(surface.Load("AB", &gdi), 0);
  EXPECT_EQ(image.BlitFromObject(&surface, 4, 4, nullptr), ImageSurface::kOpDone);
  EXPECT_EQ(Shown(6, 6), 0xFFFFFFu);
  EXPECT_EQ(image.GetDirtyList()->Bounds(), (Rect{4, 4, 20, 20}));

  TextLayer layer;
  ASSERT_EQ(layer.SetText(kFormat8888, "AB", &outline), 0);
  const Size doubled{32, 32};
  const Rect firstRows{0, 0, 16, 8};
  EXPECT_EQ(image.StretchBlitFromObject(&layer, &doubled, 0, 0, &firstRows), ImageSurface::kOpDone);
  EXPECT_EQ(Shown(4, 8), 0xFF0000u) << "layer pixel (2, 2), stretched";
  EXPECT_EQ(Shown(4, 0), 0u) << "layer row 0 is above the glyph";
}

}  // namespace
}  // namespace bw
