// The redrawing layer effects on coordinate-coded pictures: which source pixel each work pixel
// shows, the fade envelope's states, counted periods and the partner cross-fade.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "effects/bg_loop_effect.h"
#include "effects/bg_rast_effect.h"
#include "support/bg_effect_rig.h"

namespace bw {
namespace {

using test::Coded;
using test::PixelAt;

constexpr uint32_t kFill = 0xFF0000FE;

class BgWave : public test::LayerEffectRig {};

TEST(BgFadeEnvelope, FadesFromTheLevelReachedAndZeroFadesAreInstant) {
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
}

TEST_F(BgWave, RastShiftsRowsAndKeepsOrFillsTheRest) {
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
  int code = 0;
  // Rows and period of 0 are taken as 1.
  DisplayEffect* rast = Make("bg_rast", {4, 0, 0, 0, 0, 0, 0, 0});
  ASSERT_NE(rast, nullptr);
  EXPECT_EQ(rast->Update(3), kTaskStepContinue);
  EXPECT_EQ(Make("bg_rast", {4, 8, 100, 0, 0, 0, 0, 0}, &code), nullptr);
  EXPECT_EQ(code, kBgWaveHasWorkSurface);
  timers.Clear();
  ImageSurface small;
  test::FillCoded(small, 32, 16);
  (void)Composition().SetBackgroundImage(&small, 0, 0, true);
  EXPECT_EQ(Make("bg_rast", {4, 8, 100, 0, 0, 0, 0, 0}, &code), nullptr);
  EXPECT_EQ(code, kBgWavePictureSmaller);
  EXPECT_EQ(Composition().GetWorkSurface(), nullptr) << "a refused set-up leaves no work surface";

  // A picture that goes while the effects run ends them; they read it no more.
  auto doomed = std::make_unique<ImageSurface>();
  test::FillCoded(*doomed, 2 * kWidth, 2 * kHeight);
  (void)Composition().SetBackgroundImage(doomed.get(), 0, 0, true);
  const char two[] = "2";
  DisplayEffect* running[] = {Make("bg_rast", {4, 8, 100, 0, 0, 0, 0, 0}),
                              Make("bg_blur", {0, 0, 0, Word(two), 0, Word(two), 0, 1000, 255})};
  doomed.reset();
  for (DisplayEffect* effect : running) {
    ASSERT_NE(effect, nullptr);
    EXPECT_NE(effect->Update(10), kTaskStepContinue) << effect->GetKeyword();
  }
}

TEST(BgHazeTable, OneTripleIsThatSineWave) {
  TrigTables trig;
  const std::vector<int32_t> table = BgHazeEffect::BuildTable(trig, {{1, 0, 65536}}, 512);
  ASSERT_EQ(table.size(), 512u);
  EXPECT_EQ(std::tuple(table[0], table[128], table[384]), std::tuple(0, 65536, -65536));
  std::vector<WaveTriple> waves;
  EXPECT_EQ(ParseWaveText("(1,2,3)(4,5)", waves), 2u);
  EXPECT_EQ(std::tuple(waves[1].k, waves[1].amplitude), std::tuple(4, 0));
  EXPECT_EQ(ParseWaveText("1,2,3", waves), 0u);
  EXPECT_EQ(ParseWaveText("\x81(1,2,3", waves), 0u) << "a trail byte is no bracket";
}

TEST_F(BgWave, HazeDisplacesRowsAndRefusesBadWaves) {
  // Phase 128 of k 0 is a constant wave: every row takes the row 16 below, 16 to the right.
  const char constant[] = "(0,128,16)";
  for (int fill : {0, 1}) {
    DisplayEffect* haze = Make("bg_haze", {Word(constant), 64, 1000, 0, 0, 0, fill, 0});
    ASSERT_NE(haze, nullptr);
    (void)haze->Update(0);
    EXPECT_EQ(PixelAt(Work(), 20, 2), Coded(4, 18));
    EXPECT_EQ(PixelAt(Work(), 3, 2), fill ? kFill : Coded(3, 2)) << "fill " << fill;
    timers.Clear();
  }
  // An amplitude whose displacement passes 32 bits sends every row off the picture.
  const char huge[] = "(0,128,5000000)";
  DisplayEffect* haze = Make("bg_haze", {Word(huge), 64, 1000, 0, 0, 0, 1, 0});
  ASSERT_NE(haze, nullptr);
  (void)haze->Update(0);
  EXPECT_EQ(PixelAt(Work(), 40, 10), kFill);
  timers.Clear();

  const char none[] = "1,2,3";
  int code = 0;
  for (auto [text, n] : {std::pair{constant, 0}, {constant, -4}, {none, 64}}) {
    EXPECT_EQ(Make("bg_haze", {Word(text), n, 1000, 0, 0, 0, 0, 0}, &code), nullptr);
    EXPECT_EQ(code, kBgHazeBadWave) << text << " n " << n;
  }
  EXPECT_EQ(Make("bg_haze", {0, 64, 1000, 0, 0, 0, 0, 0}, &code), nullptr);
  EXPECT_EQ(code, kBgHazeBadWave);
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

  int code = 0;
  ImageSurface narrow;
  test::FillCoded(narrow, 32, 64);
  (void)Composition().SetBackgroundImage(&narrow, 0, 0, true);
  EXPECT_EQ(Make("bg_loop", {0, 1000, 0, 0}, &code), nullptr);
  EXPECT_EQ(code, kBgLoopPictureNarrower);
}

TEST_F(BgWave, CrossBlendsWithThePartnerOncePerPeriod) {
  // The pixels below show the rise to the partner; the fall back is read off the level.
  EXPECT_EQ(BgCrossEffect::Level(750, 1000), 128);

  int code = 0;
  EXPECT_EQ(Make("bg_cross", {1000, 1, 0, 0, 0}, &code), nullptr);
  EXPECT_EQ(code, kBgCrossNoPartner);
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
  EXPECT_EQ(Make("bg_cross", {1000, 1, 0, 0, 0}, &code), nullptr);
  EXPECT_EQ(code, kBgCrossSizesDiffer);
  timers.Clear();
  (void)layer.SetLinkedLayer(nullptr);
}

}  // namespace
}  // namespace bw
