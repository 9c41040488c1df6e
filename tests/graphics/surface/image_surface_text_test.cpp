#include <gtest/gtest.h>

#include "graphics/pixel/blend_tables.h"
#include "graphics/surface/image_surface.h"
#include "graphics/surface/rendered_text.h"
#include "graphics/surface/surface_fixture.h"
#include "platform/trig_tables.h"
#include "support/text_renderers.h"

namespace bw {
namespace {

class ImageTextTest : public testing::Test, public testing_text::FakeFaceRenderers {
 protected:
  static uint32_t Pixel(const ImageSurface& s, int x, int y) {
    return testing_surfaces::Pixel(s, x, y);
  }
  TrigTables trig;
  ScopedGlobal<TrigTables> trigScope{&trig};
};

TEST_F(ImageTextTest, CreateFromTextAnswersEachRefusal) {
  ImageSurface image;
  EXPECT_EQ(image.CreateFromText("", &gdi, kImageDibSection), ImageSurface::kTextEmpty);
  EXPECT_EQ(image.CreateFromText("AB", nullptr, kImageDibSection), ImageSurface::kTextNoRenderer);
  GdiTextRenderer fontless(testing_text::FakeSource());
  EXPECT_EQ(image.CreateFromText("AB", &fontless, kImageDibSection), ImageSurface::kTextNotCreated);
  testing_text::FailingTextRenderer failing;
  EXPECT_EQ(image.CreateFromText("AB", &failing, kImageDibSection), ImageSurface::kTextDrawFailed);
  EXPECT_EQ(image.GetPixels(), nullptr) << "the image that could not be drawn is released";
}

TEST_F(ImageTextTest, GdiTextIsKeyedAndATurnedOutlineTextSwapsTheSides) {
  ImageSurface image;
  ASSERT_EQ(image.CreateFromText("AB", &gdi, kImageDibSection), 0);
  EXPECT_EQ(Pixel(image, 2, 2) & 0xFFFFFF, 0xFFFFFFu);
  EXPECT_EQ(image.GetColorKey(), 0x00FF00u);
  EXPECT_TRUE(gdi.IsTransparentBack()) << "the renderer's background setting comes back";

  (void)outline.SetOrientation(900);
  ASSERT_EQ(image.CreateFromText("ABC", &outline, 0), 0);
  EXPECT_EQ(std::pair(image.GetWidth(), image.GetHeight()), std::pair(16, 24));
  int inked = 0;
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 16; ++x) inked += Pixel(image, x, y) != 0;
  EXPECT_GT(inked, 3 * 6 * 12) << "three turned glyph boxes inside the image";
}

TEST_F(ImageTextTest, DrawingMarksOnlyTheVisiblePartOfTheText) {
  ImageSurface image;
  ASSERT_EQ(image.Create(20, 20, 32, kImageDibSection | kImageDirtyList), 0);
  EXPECT_EQ(image.DrawTextWithRenderer(10, 12, "AB", &outline), 0);
  const Rect drawn = image.GetDirtyList()->Bounds();
  EXPECT_TRUE(drawn.left >= 10 && drawn.top >= 12 && drawn.right == 20 && drawn.bottom == 20);
  image.GetDirtyList()->Clear();
  EXPECT_EQ(image.DrawTextGdi(-4, 0, "AB", &gdi), 0);
  EXPECT_EQ(image.GetDirtyList()->Bounds(), (Rect{0, 0, 12, 16}));
  EXPECT_EQ(Pixel(image, 6, 2) & 0xFFFFFF, 0xFFFFFFu) << "the second glyph, through the context";

  EXPECT_EQ(image.DrawTextGdi(0, 0, "AB", &outline), ImageSurface::kTextNoRenderer);
  EXPECT_EQ(image.DrawTextOutline(0, 0, "AB", &gdi), ImageSurface::kTextNoRenderer);
  testing_text::FailingTextRenderer failing;
  EXPECT_EQ(image.DrawTextWithRenderer(0, 0, "AB", &failing),
            kGdiDrawFailed + ImageSurface::kTextNoRenderer);
}

}  // namespace
}  // namespace bw
