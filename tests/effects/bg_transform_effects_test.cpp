// The transform layer effects at fixed clock steps: the view a zoom shows, eased time, the end
// state of a zero duration, the path walker and the blur's pixels.
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "effects/bg_blur_effect.h"
#include "effects/bg_panime_effect.h"
#include "effects/bg_zoom_effect.h"
#include "support/bg_effect_rig.h"
#include "support/pixel_reference.h"

namespace bw {
namespace {

using test::CodedX;
using test::CodedY;
using test::PixelAt;

class BgTransform : public test::LayerEffectRig {};

TEST(BgEase, HalfwayAtSeventyOneAndTwentyNinePercent) {
  EXPECT_LT(EasedProgress(700, 1000, 2.0), 0.5);
  EXPECT_GE(EasedProgress(710, 1000, 2.0), 0.5);
  EXPECT_LT(EasedProgress(280, 1000, -2.0), 0.5);
  EXPECT_GE(EasedProgress(300, 1000, -2.0), 0.5);
  EXPECT_DOUBLE_EQ(EasedProgress(250, 1000, 0.0), 0.25);
  EXPECT_DOUBLE_EQ(EasedProgress(999, 1000, 0.0), 1.0) << "near the end counts as the end";
}

// A view pushed back inside from the far edge shows in the zoom command's test.
TEST(BgZoomView, StaysInsideThePicture) {
  EXPECT_EQ(ZoomView(128, 64, 10, 10, 0.5), (Rect{0, 0, 128, 64})) << "wider than the picture";
  EXPECT_EQ(ZoomView(128, 64, 300, 200, 0.5), (Rect{0, 0, 128, 64}))
      << "wider, centred beyond the far edge";
}

TEST_F(BgTransform, ZoomMovesTheViewFromClockZero) {
  const char two[] = "2.0";
  DisplayEffect* zoom = Make("bg_zoom", {0, 32, Word(two), 0, 1000});
  ASSERT_NE(zoom, nullptr);
  // A start at clock 0 is a start: the next step goes on from it rather than starting again.
  (void)zoom->Update(0);
  EXPECT_EQ(View(), (Rect{0, 0, 128, 64}));
  (void)zoom->Update(500);
  EXPECT_EQ(View(), (Rect{0, 8, 96, 56}));
  int32_t out[4] = {};
  EXPECT_EQ(zoom->Query({Word(&out[0]), Word(&out[1]), 0, Word(&out[3])}), 0);
  EXPECT_EQ(std::tuple(out[0], out[1], out[3]), std::tuple(0, 16, 32));
  EXPECT_EQ(zoom->Update(1000), kTaskStepFinished);
  EXPECT_EQ(View(), (Rect{0, 16, 64, 48}));
  // A second zoom starts from the view the first one left.
  const char four[] = "4";
  DisplayEffect* closer = Make("bg_zoom", {0, 32, Word(four), 0, 100});
  ASSERT_NE(closer, nullptr);
  (void)closer->Update(7);
  EXPECT_EQ(View(), (Rect{0, 16, 64, 48}));
}

TEST_F(BgTransform, ZoomRefusalsAndZeroDuration) {
  const char two[] = "2", zero[] = "0", negative[] = "-2";
  int code = 0;
  EXPECT_EQ(Make("bg_zoom", {0, 0, Word(two), 0, 0}, &code), nullptr);
  EXPECT_EQ(code, kBgEndStateApplied);
  EXPECT_EQ(View(), (Rect{0, 0, 64, 32}));
  for (const char* bad : {zero, negative}) {
    EXPECT_EQ(Make("bg_zoom", {0, 0, Word(bad), 0, 100}, &code), nullptr);
    EXPECT_EQ(code, kBgZoomBadArguments) << bad;
  }
  OffscreenLayer plain;
  ASSERT_EQ(plain.Create(8, 8, 32, false), kLayerDone);
  std::unique_ptr<DisplayEffect> zoom(effects.Create("bg_zoom"));
  EXPECT_EQ(zoom->Setup(&timers, static_cast<SurfaceLayer*>(&plain), {0, 0, Word(two), 0, 100}),
            kBgZoomBadArguments);
  Composition().SetBackgroundColor(0, true);
  EXPECT_EQ(zoom->Setup(&timers, Item(), {0, 0, Word(two), 0, 100}), kBgZoomNoPicture);
}

TEST_F(BgTransform, CommandsApplyAtOnce) {
  const char two[] = "2";
  int32_t x = -1, y = -1, w = -1, h = -1;
  EffectArgsCommand zoom = effects.FindArgsCommand("bg_zoom");
  ASSERT_NE(zoom, nullptr);
  EXPECT_EQ(zoom({Word(Item()), 127, 0, Word(two), Word(&x), Word(&y), Word(&w), Word(&h)}), 0);
  EXPECT_EQ((Rect{x, y, x + w, y + h}), (Rect{64, 0, 128, 32}));
  EXPECT_EQ(View(), (Rect{64, 0, 128, 32}));
  OffscreenLayer plain;
  ASSERT_EQ(plain.Create(8, 8, 32, false), kLayerDone);
  EXPECT_EQ(zoom({Word(static_cast<SurfaceLayer*>(&plain)), 0, 0, Word(two)}), kBgNoLayer);

  (void)Composition().SetBackgroundImage(&picture, 0, 0, true);
  const char path[] = "P7,3";
  EffectArgsCommand panime = effects.FindArgsCommand("bg_panime");
  ASSERT_NE(panime, nullptr);
  EXPECT_EQ(panime({Word(Item()), Word(path), Word(&x), Word(&y)}), 0);
  int32_t scrollX = 0, scrollY = 0;
  Composition().GetBackground(nullptr, &scrollX, &scrollY, nullptr, nullptr, nullptr);
  EXPECT_EQ(std::tuple(std::pair(scrollX, scrollY), x), std::tuple(std::pair(7, 3), 7));
}

TEST_F(BgTransform, RotTurnsFromTheLayersState) {
  const char half[] = "0.5";
  DisplayEffect* rot = Make("bg_rot", {32, 16, 128, Word(half), 0, 1000});
  ASSERT_NE(rot, nullptr);
  (void)rot->Update(100);
  (void)rot->Update(600);
  int32_t x = 0, y = 0;
  int angle = 0;
  double scale = 0;
  ASSERT_TRUE(Composition().GetRotation(&x, &y, &angle, &scale));
  EXPECT_EQ(std::tuple(x, angle), std::tuple(16, 64));
  EXPECT_DOUBLE_EQ(scale, 0.75);
  rot->Stop();
  ASSERT_TRUE(Composition().GetRotation(&x, &y, &angle, &scale));
  EXPECT_EQ(angle, 128);
  int code = 0;
  EXPECT_EQ(Make("bg_rot", {0, 0, 0, Word(half), 0, 0}, &code), nullptr);
  EXPECT_EQ(code, kBgEndStateApplied);
}

// Scroll position of the layer's picture.
std::pair<int32_t, int32_t> Scroll(CompositionLayer& layer) {
  int32_t x = 0, y = 0;
  layer.GetBackground(nullptr, &x, &y, nullptr, nullptr, nullptr);
  return {x, y};
}

TEST_F(BgTransform, PanimeWalksRecordsAndLoops) {
  const char path[] = "P10,0 100 P20,0";
  for (bool loop : {false, true}) {
    (void)Composition().SetBackgroundImage(&picture, 0, 0, true);
    DisplayEffect* pan = Make("bg_panime", {Word(path), 1000, 65535, 0, 0, loop, 0});
    ASSERT_NE(pan, nullptr);
    (void)pan->Update(0);
    (void)pan->Update(500);
    EXPECT_EQ(Scroll(Composition()), std::make_pair(5, 0));
    int32_t qx = 0, qy = 0;
    EXPECT_EQ(pan->Query({Word(&qx), Word(&qy)}), 0);
    EXPECT_EQ(qx, 10);
    // Time left over at a record's end carries into the next one.
    (void)pan->Update(1050);
    EXPECT_EQ(Scroll(Composition()), std::make_pair(15, 0));
    if (!loop) {
      EXPECT_EQ(pan->Update(1100), kTaskStepFinished);
      EXPECT_EQ(Scroll(Composition()), std::make_pair(20, 0));
      timers.Clear();
      continue;
    }
    // Looping, the path starts again from the first record after the start state.
    EXPECT_EQ(pan->Update(1600), kTaskStepContinue);
    EXPECT_EQ(Scroll(Composition()), std::make_pair(5, 0));
    timers.Clear();
  }
}

TEST_F(BgTransform, PanimeShortRecordsDoOnePassPerUpdate) {
  const char path[] = "1 P10,0 P20,0 P30,0";
  DisplayEffect* pan = Make("bg_panime", {Word(path), 1, 65535, 0, 0, 1, 0});
  ASSERT_NE(pan, nullptr);
  (void)pan->Update(0);
  EXPECT_EQ(pan->Update(5000), kTaskStepContinue);
  EXPECT_EQ(Scroll(Composition()).first % 10, 0);
  timers.Clear();
  int code = 0;
  const char end[] = "P3,4";
  EXPECT_EQ(Make("bg_panime", {Word(end), 0, 65535, 0, 0, 0, 0}, &code), nullptr);
  EXPECT_EQ(code, kBgEndStateApplied);
  EXPECT_EQ(Scroll(Composition()), std::make_pair(3, 4));
  const char bad[] = "P3,4 #";
  EXPECT_EQ(Make("bg_panime", {Word(bad), 100, 65535, 0, 0, 0, 0}, &code), nullptr);
  EXPECT_EQ(code, kBgPanimeRefused);
}

TEST_F(BgTransform, BlurZoomPixelsAndTrail) {
  const char two[] = "2";
  // Zoom 2 about (0, 0): every target pixel shows the picture at half its coordinates.
  DisplayEffect* blur = Make("bg_blur", {0, 0, 0, Word(two), 0, Word(two), 0, 1000, 255});
  ASSERT_NE(blur, nullptr);
  for (auto [x, y] : {std::pair{0, 0}, {10, 6}, {63, 31}}) {
    const uint32_t p = PixelAt(Work(), x, y);
    EXPECT_EQ(CodedX(p), reference::StretchSourceIndex(x, 32, 64)) << x << "," << y;
    EXPECT_EQ(CodedY(p), reference::StretchSourceIndex(y, 16, 32)) << x << "," << y;
  }
  timers.Clear();
  EXPECT_EQ(Composition().GetWorkSurface(), nullptr) << "the work surface goes at the end";

  // Half opacity from zoom 1 to 2: the opaque start frame, nothing in the first 16 ms, then
  // each frame over the last.
  const char one[] = "1";
  blur = Make("bg_blur", {0, 0, 0, Word(one), 0, Word(two), 0, 1000, 128});
  ASSERT_NE(blur, nullptr);
  const uint32_t start = PixelAt(Work(), 40, 20);
  EXPECT_EQ(start, test::Coded(40, 20));
  (void)blur->Update(0);
  (void)blur->Update(10);
  EXPECT_EQ(PixelAt(Work(), 40, 20), start);
  (void)blur->Update(500);
  const uint32_t trail = PixelAt(Work(), 40, 20);
  EXPECT_NE(trail, start);
  EXPECT_EQ(trail >> 24, 0xFFu) << "opaque over opaque";
  const uint32_t now = test::Coded(26, 13);  // zoom 1.5 about (0, 0)
  for (int shift : {0, 8, 16}) {
    const int a = int(start >> shift & 0xFF), b = int(now >> shift & 0xFF);
    const int mixed = int(trail >> shift & 0xFF);
    EXPECT_GE(mixed, std::min(a, b)) << "channel at bit " << shift;
    EXPECT_LE(mixed, std::max(a, b)) << "channel at bit " << shift;
  }
}

TEST_F(BgTransform, BlurTurnsAndReadsPointLists) {
  const char one[] = "1", quarter[] = "128";
  // A quarter turn about (32, 16): the picture's (32 + d, 16) lands at (32, 16 + d).
  DisplayEffect* blur =
      Make("bg_blur", {0, 32, 16, Word(one), Word(quarter), Word(one), Word(quarter), 1000, 255});
  ASSERT_NE(blur, nullptr);
  const uint32_t p = PixelAt(Work(), 32, 26);
  EXPECT_NEAR(CodedX(p), 42, 1);
  EXPECT_NEAR(CodedY(p), 16, 1);
  timers.Clear();

  const char points[] = "(0,0,2)(20,0,2)(20,10,2)";
  blur = Make("bg_blur", {Word(points), 0, 1000, 255});
  ASSERT_NE(blur, nullptr);
  (void)blur->Update(0);
  (void)blur->Update(250);  // halfway along the first of two segments: zoom 2 about (10, 0)
  EXPECT_EQ(PixelAt(Work(), 0, 0), test::Coded(5, 0));
  timers.Clear();
  int code = 0;
  const char single[] = "(1,1,1)";
  EXPECT_EQ(Make("bg_blur", {Word(single), 0, 1000, 255}, &code), nullptr);
  EXPECT_EQ(code, kBgBlurFewPoints);
}

}  // namespace
}  // namespace bw
