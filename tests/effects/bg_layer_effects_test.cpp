// The layer effects at fixed clock steps on coordinate-coded pictures: which source pixel each
// redrawn work pixel shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <tuple>
#include <vector>

#include "effects/bg_blur_effect.h"
#include "effects/bg_loop_effect.h"
#include "effects/bg_panime_effect.h"
#include "effects/bg_rast_effect.h"
#include "effects/bg_zoom_effect.h"
#include "support/bg_effect_rig.h"
#include "support/pixel_reference.h"

namespace bw {
namespace {

using test::Coded;
using test::CodedX;
using test::CodedY;
using test::PixelAt;

class BgTransform : public test::LayerEffectRig {
 protected:
  // The code of a set-up that must be refused.
  int Refused(const char* keyword, ArgWords words) {
    int code = 0;
    EXPECT_EQ(Make(keyword, words, &code), nullptr) << keyword;
    return code;
  }
};

// Scroll position of the layer's picture.
std::pair<int32_t, int32_t> Scroll(CompositionLayer& layer) {
  int32_t x = 0, y = 0;
  layer.GetBackground(nullptr, &x, &y, nullptr, nullptr, nullptr);
  return {x, y};
}

TEST(BgEase, HalfwayAtSeventyOneAndTwentyNinePercent) {
  EXPECT_LT(EasedProgress(700, 1000, 2.0), 0.5);
  EXPECT_GE(EasedProgress(710, 1000, 2.0), 0.5);
  EXPECT_LT(EasedProgress(280, 1000, -2.0), 0.5);
  EXPECT_GE(EasedProgress(300, 1000, -2.0), 0.5);
  EXPECT_DOUBLE_EQ(EasedProgress(250, 1000, 0.0), 0.25);
  EXPECT_DOUBLE_EQ(EasedProgress(999, 1000, 0.0), 1.0) << "near the end counts as the end";
}

TEST_F(BgTransform, ZoomMovesTheViewFromClockZero) {
  DisplayEffect* zoom = Make("bg_zoom", {0, 32, Word("2.0"), 0, 1000});
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
  DisplayEffect* closer = Make("bg_zoom", {0, 32, Word("4"), 0, 100});
  ASSERT_NE(closer, nullptr);
  (void)closer->Update(7);
  EXPECT_EQ(View(), (Rect{0, 16, 64, 48}));
}

// A view pushed back inside from the far edge shows in the zoom command's test.
TEST_F(BgTransform, ZoomRefusalsZeroDurationAndViewsInsideThePicture) {
  EXPECT_EQ(ZoomView(128, 64, 10, 10, 0.5), (Rect{0, 0, 128, 64})) << "wider than the picture";
  EXPECT_EQ(ZoomView(128, 64, 300, 200, 0.5), (Rect{0, 0, 128, 64}))
      << "wider, centred beyond the far edge";
  EXPECT_EQ(Refused("bg_zoom", {0, 0, Word("2"), 0, 0}), kBgEndStateApplied);
  EXPECT_EQ(View(), (Rect{0, 0, 64, 32}));
  for (const char* bad : {"0", "-2"}) {
    EXPECT_EQ(Refused("bg_zoom", {0, 0, Word(bad), 0, 100}), kBgZoomBadArguments) << bad;
  }
  OffscreenLayer plain;
  ASSERT_EQ(plain.Create(8, 8, 32, false), kLayerDone);
  std::unique_ptr<DisplayEffect> zoom(effects.Create("bg_zoom"));
  EXPECT_EQ(zoom->Setup(&timers, static_cast<SurfaceLayer*>(&plain), {0, 0, Word("2"), 0, 100}),
            kBgZoomBadArguments);
  Composition().SetBackgroundColor(0, true);
  EXPECT_EQ(zoom->Setup(&timers, Item(), {0, 0, Word("2"), 0, 100}), kBgZoomNoPicture);
}

TEST_F(BgTransform, CommandsApplyAtOnce) {
  int32_t x = -1, y = -1, w = -1, h = -1;
  EffectArgsCommand zoom = effects.FindArgsCommand("bg_zoom");
  ASSERT_NE(zoom, nullptr);
  EXPECT_EQ(zoom({Word(Item()), 127, 0, Word("2"), Word(&x), Word(&y), Word(&w), Word(&h)}), 0);
  EXPECT_EQ((Rect{x, y, x + w, y + h}), (Rect{64, 0, 128, 32}));
  EXPECT_EQ(View(), (Rect{64, 0, 128, 32}));
  OffscreenLayer plain;
  ASSERT_EQ(plain.Create(8, 8, 32, false), kLayerDone);
  EXPECT_EQ(zoom({Word(static_cast<SurfaceLayer*>(&plain)), 0, 0, Word("2")}), kBgNoLayer);

  (void)Composition().SetBackgroundImage(&picture, 0, 0, true);
  EffectArgsCommand panime = effects.FindArgsCommand("bg_panime");
  ASSERT_NE(panime, nullptr);
  EXPECT_EQ(panime({Word(Item()), Word("P7,3"), Word(&x), Word(&y)}), 0);
  EXPECT_EQ(std::tuple(Scroll(Composition()), x), std::tuple(std::pair(7, 3), 7));
}

TEST_F(BgTransform, RotTurnsFromTheLayersState) {
  DisplayEffect* rot = Make("bg_rot", {32, 16, 128, Word("0.5"), 0, 1000});
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
  EXPECT_EQ(Refused("bg_rot", {0, 0, 0, Word("0.5"), 0, 0}), kBgEndStateApplied);
}

TEST_F(BgTransform, PanimeWalksRecordsAndLoops) {
  for (bool loop : {false, true}) {
    (void)Composition().SetBackgroundImage(&picture, 0, 0, true);
    DisplayEffect* pan = Make("bg_panime", {Word("P10,0 100 P20,0"), 1000, 65535, 0, 0, loop, 0});
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
  DisplayEffect* pan = Make("bg_panime", {Word("1 P10,0 P20,0 P30,0"), 1, 65535, 0, 0, 1, 0});
  ASSERT_NE(pan, nullptr);
  (void)pan->Update(0);
  EXPECT_EQ(pan->Update(5000), kTaskStepContinue);
  EXPECT_EQ(Scroll(Composition()).first % 10, 0);
  timers.Clear();
  EXPECT_EQ(Refused("bg_panime", {Word("P3,4"), 0, 65535, 0, 0, 0, 0}), kBgEndStateApplied);
  EXPECT_EQ(Scroll(Composition()), std::make_pair(3, 4));
  EXPECT_EQ(Refused("bg_panime", {Word("P3,4 #"), 100, 65535, 0, 0, 0, 0}), kBgPanimeRefused);
}

TEST_F(BgTransform, BlurZoomPixelsAndTrail) {
  // Zoom 2 about (0, 0): every target pixel shows the picture at half its coordinates.
  DisplayEffect* blur = Make("bg_blur", {0, 0, 0, Word("2"), 0, Word("2"), 0, 1000, 255});
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
  blur = Make("bg_blur", {0, 0, 0, Word("1"), 0, Word("2"), 0, 1000, 128});
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
  // A quarter turn about (32, 16): the picture's (32 + d, 16) lands at (32, 16 + d).
  DisplayEffect* blur =
      Make("bg_blur", {0, 32, 16, Word("1"), Word("128"), Word("1"), Word("128"), 1000, 255});
  ASSERT_NE(blur, nullptr);
  const uint32_t p = PixelAt(Work(), 32, 26);
  EXPECT_NEAR(CodedX(p), 42, 1);
  EXPECT_NEAR(CodedY(p), 16, 1);
  timers.Clear();

  blur = Make("bg_blur", {Word("(0,0,2)(20,0,2)(20,10,2)"), 0, 1000, 255});
  ASSERT_NE(blur, nullptr);
  (void)blur->Update(0);
  (void)blur->Update(250);  // halfway along the first of two segments: zoom 2 about (10, 0)
  EXPECT_EQ(PixelAt(Work(), 0, 0), test::Coded(5, 0));
  timers.Clear();
  EXPECT_EQ(Refused("bg_blur", {Word("(1,1,1)"), 0, 1000, 255}), kBgBlurFewPoints);
}

constexpr uint32_t kFill = 0xFF0000FE;

using BgWave = BgTransform;

TEST_F(BgWave, TheFadeEnvelopeFadesFromTheLevelReachedAndRastShiftsRows) {
  // The envelope fades from the level reached; zero fades are instant.
  FadeEnvelope e;
  bool done = false;
  e.Set(1000, 0, 1000, 1000);
  EXPECT_EQ(e.Step(500, &done), 500);
  EXPECT_TRUE(e.RequestFadeOut());
  EXPECT_FALSE(e.RequestFadeOut());
  EXPECT_EQ(e.Step(600, &done), 500);
  EXPECT_EQ(e.State(), FadeEnvelope::kFadingOut);
  EXPECT_EQ(e.Step(1100, &done), 250);
  e.Step(1600, &done);
  EXPECT_TRUE(done);

  e.Set(8, 100, 0, 0);
  EXPECT_EQ(e.Step(0, &done), 8);
  EXPECT_EQ(e.State(), FadeEnvelope::kFull);
  e.Step(100, &done);
  EXPECT_TRUE(done) << "the hold ran out and a zero fade-out ends at once";

  // Amplitude times time passes 32 bits.
  e.Set(40000, 0, 100000, 1);
  EXPECT_EQ(e.Step(60000, &done), 24000);

  for (int fill : {0, 1}) {
    // Amplitude 8, a wave every 32 rows: row 0 moves left by 8, row 8 stays, row 16 moves
    // right by 8.
    DisplayEffect* rast = Make("bg_rast", {8, 32, 1000, 0, 0, 100, fill, 0});
    ASSERT_NE(rast, nullptr);
    EXPECT_EQ(rast->Update(0), kTaskStepContinue);
    EXPECT_EQ(PixelAt(Work(), 0, 0), Coded(8, 0));
    EXPECT_EQ(PixelAt(Work(), 5, 8), Coded(5, 8));
    EXPECT_EQ(PixelAt(Work(), 8, 16), Coded(0, 16));
    EXPECT_EQ(PixelAt(Work(), 3, 16), fill ? kFill : Coded(3, 16)) << "fill " << fill;
    EXPECT_EQ(rast->Command({}), 0);
    EXPECT_EQ(rast->Command({}), kBgWaveFadingOut);
    (void)rast->Update(10);
    EXPECT_EQ(rast->Update(110), kTaskStepFinished);
    EXPECT_EQ(Composition().GetWorkSurface(), nullptr);
    timers.Clear();
  }
}

TEST_F(BgWave, RastRefusals) {
  // Rows and period of 0 are taken as 1.
  DisplayEffect* rast = Make("bg_rast", {4, 0, 0, 0, 0, 0, 0, 0});
  ASSERT_NE(rast, nullptr);
  EXPECT_EQ(rast->Update(3), kTaskStepContinue);
  EXPECT_EQ(Refused("bg_rast", {4, 8, 100, 0, 0, 0, 0, 0}), kBgWaveHasWorkSurface);
  timers.Clear();
  ImageSurface small;
  test::FillCoded(small, 32, 16);
  (void)Composition().SetBackgroundImage(&small, 0, 0, true);
  EXPECT_EQ(Refused("bg_rast", {4, 8, 100, 0, 0, 0, 0, 0}), kBgWavePictureSmaller);
  EXPECT_EQ(Composition().GetWorkSurface(), nullptr) << "a refused set-up leaves no work surface";

  // A picture that goes while the effects run ends them; they read it no more.
  auto doomed = std::make_unique<ImageSurface>();
  test::FillCoded(*doomed, 2 * kWidth, 2 * kHeight);
  (void)Composition().SetBackgroundImage(doomed.get(), 0, 0, true);
  DisplayEffect* running[] = {Make("bg_rast", {4, 8, 100, 0, 0, 0, 0, 0}),
                              Make("bg_blur", {0, 0, 0, Word("2"), 0, Word("2"), 0, 1000, 255})};
  doomed.reset();
  for (DisplayEffect* effect : running) {
    ASSERT_NE(effect, nullptr);
    EXPECT_NE(effect->Update(10), kTaskStepContinue) << effect->GetKeyword();
  }
}

TEST_F(BgWave, HazeTablesDisplaceRowsAndBadWavesAreRefused) {
  // One triple is that sine wave.
  const std::vector<int32_t> table = BgHazeEffect::BuildTable(trig, {{1, 0, 65536}}, 512);
  ASSERT_EQ(table.size(), 512u);
  EXPECT_EQ(std::tuple(table[0], table[128], table[384]), std::tuple(0, 65536, -65536));
  std::vector<WaveTriple> waves;
  EXPECT_EQ(ParseWaveText("(1,2,3)(4,5)", waves), 2u);
  EXPECT_EQ(std::tuple(waves[1].k, waves[1].amplitude), std::tuple(4, 0));
  EXPECT_EQ(ParseWaveText("1,2,3", waves), 0u);
  EXPECT_EQ(ParseWaveText("\x81(1,2,3", waves), 0u) << "a trail byte is no bracket";
  // Phase 128 of k 0 is a constant wave: every row takes the row 16 below, 16 to the right.
  for (int fill : {0, 1}) {
    DisplayEffect* haze = Make("bg_haze", {Word("(0,128,16)"), 64, 1000, 0, 0, 0, fill, 0});
    ASSERT_NE(haze, nullptr);
    (void)haze->Update(0);
    EXPECT_EQ(PixelAt(Work(), 20, 2), Coded(4, 18));
    EXPECT_EQ(PixelAt(Work(), 3, 2), fill ? kFill : Coded(3, 2)) << "fill " << fill;
    timers.Clear();
  }
  // An amplitude whose displacement passes 32 bits sends every row off the picture.
  DisplayEffect* haze = Make("bg_haze", {Word("(0,128,5000000)"), 64, 1000, 0, 0, 0, 1, 0});
  ASSERT_NE(haze, nullptr);
  (void)haze->Update(0);
  EXPECT_EQ(PixelAt(Work(), 40, 10), kFill);
  timers.Clear();

  for (auto [text, n] : {std::pair{"(0,128,16)", 0}, {"(0,128,16)", -4}, {"1,2,3", 64}}) {
    EXPECT_EQ(Refused("bg_haze", {Word(text), n, 1000, 0, 0, 0, 0, 0}), kBgHazeBadWave)
        << text << " n " << n;
  }
  EXPECT_EQ(Refused("bg_haze", {0, 64, 1000, 0, 0, 0, 0, 0}), kBgHazeBadWave);
}

TEST_F(BgWave, LoopScrollsWrapsAndCountsPeriods) {
  DisplayEffect* loop = Make("bg_loop", {0, 1000, 3, 0});
  ASSERT_NE(loop, nullptr);
  (void)loop->Update(0);
  (void)loop->Update(750);  // a quarter of the width left: 96
  EXPECT_EQ(PixelAt(Work(), 0, 5), Coded(96, 5));
  EXPECT_EQ(PixelAt(Work(), 32, 5), Coded(0, 5)) << "wrapped";
  EXPECT_EQ(loop->Update(2999), kTaskStepContinue);
  EXPECT_EQ(loop->Update(3000), kBgLoopCountDone);
  EXPECT_EQ(Composition().GetWorkSurface(), nullptr);
  timers.Clear();

  loop = Make("bg_loop", {3, 1000, 0, 0});
  ASSERT_NE(loop, nullptr);
  (void)loop->Update(0);
  (void)loop->Update(250);  // downward: the picture's row 48 comes first
  EXPECT_EQ(PixelAt(Work(), 7, 0), Coded(7, 48));
  EXPECT_EQ(loop->Update(5000), kTaskStepContinue) << "endless until asked";
  EXPECT_EQ(loop->Command({0}), 0);
  EXPECT_EQ(loop->Update(5500), kTaskStepContinue);
  EXPECT_EQ(loop->Update(6000), kBgLoopCountDone);
  timers.Clear();

  ImageSurface narrow;
  test::FillCoded(narrow, 32, 64);
  (void)Composition().SetBackgroundImage(&narrow, 0, 0, true);
  EXPECT_EQ(Refused("bg_loop", {0, 1000, 0, 0}), kBgLoopPictureNarrower);
}

TEST_F(BgWave, CrossBlendsWithThePartnerOncePerPeriod) {
  // The pixels below show the rise to the partner; the fall back is read off the level.
  EXPECT_EQ(BgCrossEffect::Level(750, 1000), 128);

  EXPECT_EQ(Refused("bg_cross", {1000, 1, 0, 0, 0}), kBgCrossNoPartner);
  OffscreenLayer partner;
  ASSERT_EQ(partner.Create(kWidth, kHeight, 32, true), kLayerDone);
  ASSERT_EQ(layer.SetLinkedLayer(&partner), kLayerDone);
  ImageSurface other;
  ASSERT_EQ(other.Create(2 * kWidth, 2 * kHeight, 32, kImagePlain), 0);
  (void)other.Fill(0xFF123456, nullptr);
  (void)partner.GetCompositionLayer()->SetBackgroundImage(&other, 0, 0, true);

  for (int swap : {0, 1}) {
    DisplayEffect* cross = Make("bg_cross", {1000, 1, 0, swap, 0});
    ASSERT_NE(cross, nullptr);
    CompositionLayer& into = swap ? *partner.GetCompositionLayer() : Composition();
    (void)cross->Update(0);
    EXPECT_EQ(PixelAt(*into.GetWorkSurface(), 9, 9), Coded(9, 9)) << "swap " << swap;
    (void)cross->Update(500);
    EXPECT_EQ(PixelAt(*into.GetWorkSurface(), 9, 9), 0xFF123456u) << "swap " << swap;
    EXPECT_EQ(cross->Update(1000), kTaskStepFinished);
    EXPECT_EQ(into.GetWorkSurface(), nullptr);
    timers.Clear();
  }
  ImageSurface small;
  test::FillCoded(small, 32, 16);
  (void)partner.GetCompositionLayer()->SetBackgroundImage(&small, 0, 0, true);
  EXPECT_EQ(Refused("bg_cross", {1000, 1, 0, 0, 0}), kBgCrossSizesDiffer);
  timers.Clear();
  (void)layer.SetLinkedLayer(nullptr);
}

}  // namespace
}  // namespace bw
