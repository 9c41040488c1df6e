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
  EXPECT_EQ(Pixel(2, 1), 0u);
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
  EXPECT_TRUE(sprite.HitTest(-7, -8, false));
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
  EXPECT_EQ(Count(0xFF0000), 0);
}

struct DispatchCall {
  int mode = -1;
  Surface* first = nullptr;
  Surface* second = nullptr;
  int32_t progress = 0, x = 0, y = 0;
  Surface* shared = nullptr;
  int calls = 0;
  int answer = 0;
} lastCall;

int FakeDispatch(int mode, Surface* first, Surface* second, int32_t progress, int32_t x, int32_t y,
                 int, Surface* shared) {
  lastCall.mode = mode, lastCall.first = first, lastCall.second = second;
  lastCall.progress = progress, lastCall.x = x, lastCall.y = y, lastCall.shared = shared;
  ++lastCall.calls;
  return lastCall.answer;
}

TEST_F(SpriteItemTest, TransitionsRunThroughTheDispatcher) {
  auto target = Picture(4, 4, 0x112233);
  auto drawn = Picture(4, 4, 0x445566);
  TransitionPrimitive item;
  // Until the transitions are installed every step fails.
  EXPECT_EQ(item.Init(drawn.get(), target.get(), 5, 0, 0, 10, 0, 0), kTransitionFirstStep);
  ASSERT_EQ(item.Init(nullptr, target.get(), 5, 1, 2, 10, 0, 0), 0);
  EXPECT_EQ(item.Draw(dest.get(), &clip, nullptr), 2);

  lastCall = {};
  const TransitionDispatchFn previous = SetTransitionDispatch(&FakeDispatch);
  EXPECT_EQ(item.SetProgress(20), 0) << "without a drawn surface only the progress is kept";
  EXPECT_EQ(lastCall.calls, 0);
  Surface* screen = drawn.get();
  SetTransitionScreen(screen);
  ASSERT_EQ(item.Draw(dest.get(), &clip, nullptr), kRenderDone);
  EXPECT_EQ(lastCall.first, nullptr);
  EXPECT_EQ(lastCall.second, target.get());
  EXPECT_EQ(lastCall.progress, 20);
  EXPECT_EQ(lastCall.x, 1) << "the position";
  EXPECT_EQ(lastCall.shared, screen);
  SetTransitionScreen(nullptr);

  // A mode the dispatcher would answer -1 for is refused before it can read as success.
  EXPECT_EQ(item.Init(nullptr, target.get(), 87, 0, 0, 0, 0, 0), kTransitionFirstStep);
  EXPECT_EQ(item.Init(nullptr, target.get(), -1, 0, 0, 0, 0, 0), kTransitionFirstStep);
  EXPECT_EQ(item.SetProgress(1), kTransitionNotReady);
  EXPECT_EQ(item.Init(nullptr, nullptr, 5, 0, 0, 0, 0, 0), kTransitionNoTarget);

  // With a drawn surface each step fills it and draws the target into it; the item blits it.
  ASSERT_EQ(item.Init(drawn.get(), target.get(), 86, 3, 4, 7, 0, 0), 0);
  EXPECT_EQ(lastCall.first, drawn.get());
  EXPECT_EQ(lastCall.x, 0) << "the two transition parameters";
  EXPECT_EQ(lastCall.mode, 86);
  lastCall.answer = 2;
  EXPECT_EQ(item.SetProgress(9), 3) << "n + 1";
  EXPECT_EQ(item.GetProgress(), 7) << "a failed step keeps the old progress";
  lastCall.answer = 0;
  ASSERT_EQ(item.Draw(dest.get(), &clip, nullptr), kRenderDone);
  EXPECT_EQ(Pixel(3, 4), 0x445566u);
  lastCall.calls = 0;
  EXPECT_EQ(item.Restore(), 0);
  EXPECT_EQ(lastCall.calls, 1) << "restore runs the kept progress again";

  // A destroyed drawn surface falls back to the target; a destroyed target leaves nothing.
  drawn.reset();
  target.reset();
  EXPECT_EQ(item.Draw(dest.get(), &clip, nullptr), kRenderMissing);
  SetTransitionDispatch(previous);
}

}  // namespace
}  // namespace bw
