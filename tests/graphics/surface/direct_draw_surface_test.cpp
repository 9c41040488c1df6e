#include "graphics/surface/direct_draw_surface.h"

#include <gtest/gtest.h>

#include <cstring>

#include "graphics/device/direct3d_fixture.h"
#include "graphics/layers/text_layer.h"
#include "graphics/pixel/surface_rows.h"
#include "graphics/surface/image_surface.h"
#include "support/fake_text_renderer.h"

namespace bw {
namespace {

using testing_text::FakeTextRenderer;

// "AB" in the fake face at height 16: 16 x 16, white glyph boxes over columns 1..6 and 9..14,
// rows 1..13.
class TextSurfaceTest : public testing_devices::Direct3DTarget {
 protected:
  void SetUp() override {
    Direct3DTarget::SetUp();
    ASSERT_EQ(gdi.SetFont(16, false, false, nullptr), 0);
    ASSERT_EQ(outline.SetFont(16, false, false, nullptr), 0);
    outline.SetTextColor(255, 0, 0);
    ASSERT_EQ(image.Create(32, 32, 32, kImageDibSection | kImageDirtyList), 0);
  }
  static uint32_t Rgb(const DirectDrawImageSurface& s, int x, int y) {
    const host::MemorySurface* m = s.GetDirectDrawSurface();
    uint32_t v = 0;
    std::memcpy(&v, m->Pixels() + y * m->Pitch() + x * 4, 4);
    return v & 0xFFFFFF;
  }
  uint32_t Shown(int x, int y) const {
    uint32_t v = 0;
    std::memcpy(&v, image.GetRowPointer(y) + x * 4, 4);
    return v & 0xFFFFFF;
  }
  FakeTextRenderer gdi{false};
  FakeTextRenderer outline{true};
  ImageSurface image;
};

TEST_F(TextSurfaceTest, DrawsItsTextAtTheMeasuredSize) {
  DirectDrawSurface surface;
  ASSERT_EQ(surface.Load("AB", &gdi), 0);
  EXPECT_EQ(surface.GetKind(), kKindDirectDrawSurface);
  EXPECT_EQ(surface.GetWidth(), 16);
  EXPECT_EQ(surface.GetHeight(), 16);
  EXPECT_EQ(surface.GetPixels(), nullptr);
  EXPECT_EQ(Rgb(surface, 2, 2), 0xFFFFFFu);
  EXPECT_EQ(Rgb(surface, 0, 0), 0u);
}

TEST_F(TextSurfaceTest, RefusesWhatItCannotDrawAndStaysReleased) {
  DirectDrawSurface surface;
  EXPECT_EQ(surface.Load("", &gdi), kTextSurfaceNoText);
  EXPECT_EQ(surface.Load(nullptr, &gdi), kTextSurfaceNoText);
  EXPECT_EQ(surface.Load("AB", nullptr), kTextRenderNoRenderer + kTextSurfaceNoMemory);
  gdi.failDrawing = true;
  EXPECT_EQ(surface.Load("AB", &gdi), kTextRenderDrawFailed + kTextSurfaceNoMemory);
  EXPECT_EQ(surface.GetDirectDrawSurface(), nullptr);
  ScopedGlobal<DirectDrawDevice> none(nullptr);
  EXPECT_EQ(surface.Load("AB", &outline), kTextSurfaceNoText);
}

TEST_F(TextSurfaceTest, RestoreDrawsTheTextAgainWithItsKeyOrWithTheDefaultOnceForgotten) {
  DirectDrawSurface surface;
  ASSERT_EQ(surface.Load("AB", &gdi), 0);
  ASSERT_EQ(surface.SetColorKeyRgb(0, 0, 0), 0);
  surface.GetDirectDrawSurface()->SetLost(true);
  EXPECT_EQ(surface.Restore(1), 0);
  EXPECT_EQ(Rgb(surface, 2, 2), 0xFFFFFFu);
  EXPECT_EQ(surface.GetColorKeyRgb(), 0u) << "the key is set again";

  ScopedGlobal<TextRenderer> defaultRenderer(&outline);
  surface.ForgetTextRenderer(&gdi);
  EXPECT_EQ(surface.GetTextRenderer(), nullptr);
  EXPECT_EQ(surface.Restore(0), 0);
  EXPECT_EQ(Rgb(surface, 2, 2), 0xFF0000u) << "drawn by the default renderer";
}

TEST_F(TextSurfaceTest, CopiesFromTextSurfacesAndTextLayersThroughTheirContexts) {
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
  EXPECT_EQ(Shown(31, 31), 0xFF0000u) << "eight rows stretched over the whole image";
}

}  // namespace
}  // namespace bw
