#include "graphics/device/render_item_sprite.h"

#include <gtest/gtest.h>

#include <memory>

#include "common/global.h"
#include "graphics/device/direct3d_fixture.h"
#include "graphics/device/direct_draw_device.h"
#include "graphics/surface/directdraw_image_surface.h"

namespace bw {
namespace {

class SpriteItemTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(device.Create(false, false, nullptr, nullptr, 0, true, 640, 480), 0);
    dest = host::MemorySurface::Create(8, 8, host::DirectDraw::DisplayFormat(32));
  }
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
  DirectDrawDevice device;
  ScopedGlobal<DirectDrawDevice> display{&device};
  std::unique_ptr<host::MemorySurface> dest;
  const Rect clip{0, 0, 8, 8};
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

TEST_F(SpriteItemTest, HitTestsAreSignedAndReadTheKey) {
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
}

TEST_F(SpriteItemTest, ADestroyedSourceLeavesTheItemDrawingNothing) {
  auto picture = Picture(4, 4, 0xFF0000);
  SpritePrimitive sprite;
  ASSERT_EQ(sprite.Init(picture.get(), nullptr, 0, 0), 0);
  picture.reset();
  EXPECT_EQ(sprite.GetSource(), nullptr);
  EXPECT_EQ(sprite.Draw(dest.get(), &clip, nullptr), kRenderMissing);
  Rect r;
  EXPECT_FALSE(sprite.GetRect(&r));
}

}  // namespace
}  // namespace bw
