#include <gtest/gtest.h>

#include <cstring>

#include "graphics/surface/image_surface.h"
#include "graphics/surface/rendered_text.h"
#include "platform/trig_tables.h"
#include "support/fake_text_renderer.h"

namespace bw {
namespace {

using testing_text::FakeTextRenderer;

class ImageTextTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(gdi.SetFont(16, false, false, nullptr), 0);
    ASSERT_EQ(outline.SetFont(16, false, false, nullptr), 0);
  }
  static uint32_t Pixel(const ImageSurface& s, int x, int y) {
    uint32_t v = 0;
    std::memcpy(&v, s.GetRowPointer(y) + x * 4, 4);
    return v;
  }
  FakeTextRenderer gdi{false};
  FakeTextRenderer outline{true};
  TrigTables trig;
  ScopedGlobal<TrigTables> trigScope{&trig};
};

TEST_F(ImageTextTest, CreateFromTextAnswersEachRefusal) {
  ImageSurface image;
  EXPECT_EQ(image.CreateFromText("", &gdi, kImageDibSection), ImageSurface::kTextEmpty);
  EXPECT_EQ(image.CreateFromText("AB", nullptr, kImageDibSection), ImageSurface::kTextNoRenderer);
  FakeTextRenderer fontless{false};
  EXPECT_EQ(image.CreateFromText("AB", &fontless, kImageDibSection), ImageSurface::kTextNotCreated);
  gdi.failDrawing = true;
  EXPECT_EQ(image.CreateFromText("AB", &gdi, kImageDibSection), ImageSurface::kTextDrawFailed);
  EXPECT_EQ(image.GetPixels(), nullptr) << "the image that could not be drawn is released";
  ScopedGlobal<TextRenderer> defaultRenderer(&outline);
  EXPECT_EQ(image.CreateFromText("AB", nullptr, 0), 0) << "null takes the default renderer";
}

TEST_F(ImageTextTest, GdiTextGetsItsBackgroundAsTheKey) {
  ImageSurface image;
  ASSERT_EQ(image.CreateFromText("AB", &gdi, kImageDibSection), 0);
  EXPECT_EQ(image.GetWidth(), 16);
  EXPECT_EQ(image.GetHeight(), 16);
  EXPECT_EQ(Pixel(image, 0, 0) & 0xFFFFFF, 0x00FF00u);
  EXPECT_EQ(Pixel(image, 2, 2) & 0xFFFFFF, 0xFFFFFFu);
  EXPECT_EQ(image.GetColorKey(), 0x00FF00u);
  EXPECT_TRUE(gdi.IsTransparentBack()) << "the renderer's background setting comes back";
}

TEST_F(ImageTextTest, AnOutlineTextTurnedAQuarterSwapsTheImageSides) {
  outline.SetOrientation(900);
  ImageSurface image;
  ASSERT_EQ(image.CreateFromText("ABC", &outline, 0), 0);
  EXPECT_EQ(image.GetWidth(), 16);
  EXPECT_EQ(image.GetHeight(), 24);
  EXPECT_EQ(Pixel(image, 0, 0), 0xFFFFFFFFu) << "the turned text fills the image";
  EXPECT_EQ(Pixel(image, 15, 23), 0xFFFFFFFFu);
}

TEST_F(ImageTextTest, DrawingMarksOnlyTheVisiblePartOfTheText) {
  ImageSurface image;
  ASSERT_EQ(image.Create(20, 20, 32, kImageDibSection | kImageDirtyList), 0);
  EXPECT_EQ(image.DrawTextWithRenderer(10, 12, "AB", &outline), 0);
  EXPECT_EQ(image.GetDirtyList()->Bounds(), (Rect{10, 12, 20, 20}));
  EXPECT_TRUE(image.IsChanged());
  image.GetDirtyList()->Clear();
  EXPECT_EQ(image.DrawTextGdi(-4, 0, "AB", &gdi), 0);
  EXPECT_EQ(image.GetDirtyList()->Bounds(), (Rect{0, 0, 12, 16}));
  EXPECT_EQ(Pixel(image, 6, 2) & 0xFFFFFF, 0xFFFFFFu)
      << "the second glyph, drawn through the context";

  EXPECT_EQ(image.DrawTextGdi(0, 0, "AB", &outline), ImageSurface::kTextNoRenderer);
  EXPECT_EQ(image.DrawTextOutline(0, 0, "AB", &gdi), ImageSurface::kTextNoRenderer);
  EXPECT_EQ(image.DrawTextOutline(0, 0, "", &outline), ImageSurface::kTextEmpty);
  outline.failDrawing = true;
  EXPECT_EQ(image.DrawTextOutline(0, 0, "AB", &outline),
            kTextNotReady + ImageSurface::kTextNoRenderer);
  ImageSurface plain;
  ASSERT_EQ(plain.Create(20, 20, 32, kImagePlain), 0);
  EXPECT_EQ(plain.DrawTextGdi(0, 0, "AB", &gdi), ImageSurface::kTextEmpty) << "no device context";
}

}  // namespace
}  // namespace bw
