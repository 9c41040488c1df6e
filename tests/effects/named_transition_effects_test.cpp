// The named transitions' class side: set-up arguments and refusals, the progress laws at fixed
// times, and one frame drawn through a layer's band.
#include "effects/named_transition_effects.h"

#include "effects/filter_effect_rig.h"

namespace bw {
namespace {

class NamedTransitions : public FilterEffectRig {
 protected:
  void SetUp() override {
    FilterEffectRig::SetUp();
    ASSERT_EQ(rule.Create(64, 32, 8, 0), 0);
    ASSERT_EQ(wide.Create(64, 32, 32, 0), 0);
  }
  ImageSurface rule, wide;
};

TEST_F(NamedTransitions, ProgressLawsAtFixedTimes) {
  ExpectProgressLaws<NamedTransition>({
      {"cross", {1000}, {{5000, 0}, {5500, 127}, {5999, 254}, {6000, 255}}, 255},
      {"rule", {1000, Word(&rule), 16}, {{0, 0}, {250, 63}, {9000, 255}}, 255},
      {"trans", {1000, 0x101, 1}, {{0, 256}, {500, 128}, {1000, 0}}, 0},
      {"rotaxis", {1000, 3}, {{0, 0}, {500, 128}, {2000, 256}}, 256},
      {"tone", {1000, 0xFF00FF, 1}, {{0, 255}, {200, 204}, {1000, 0}}, 0},
      {"mosaic", {1600, 9, 8}, {{0, 0}, {800, 8}, {1700, 16}}, 16},
      {"scroll", {1000, 0, 0}, {{0, 0}, {500, 32}, {1000, 64}}, 64},
  });
}

TEST_F(NamedTransitions, ScrollEasesFromItsTextAndFades) {
  const char two[] = "2";
  const char minusTwo[] = "-2";
  struct Case {
    const char* easing;
    uint32_t mode;
    int32_t position, fade;
  } const cases[] = {
      {nullptr, 3, 32, 127},
      {two, 3, 16, 63},
      {minusTwo, 4, 48, 64},
  };
  for (const Case& c : cases) {
    std::unique_ptr<FilterEffect> filter(transitions.Create("scroll"));
    ASSERT_EQ(filter->SetUp(&layer, {1000, 2, static_cast<ArgWord>(c.mode), Word(c.easing)}), 0);
    auto* scroll = static_cast<ScrollTransition*>(filter.get());
    (void)filter->Advance(0);
    EXPECT_EQ(scroll->FadeLevel(), c.mode == 4 ? 255 : 0);
    (void)filter->Advance(500);
    EXPECT_EQ(scroll->Progress(), c.position) << (c.easing ? c.easing : "linear");
    EXPECT_EQ(scroll->FadeLevel(), c.fade) << (c.easing ? c.easing : "linear");
  }
}

TEST_F(NamedTransitions, WaveRisesAndFallsBackToFlat) {
  std::unique_ptr<FilterEffect> filter = Make("wave", {1, 0, 20, 512, 0xFF000000, 0x00FFFFFF});
  ASSERT_NE(filter, nullptr);
  auto* wave = static_cast<WaveTransition*>(filter.get());
  (void)filter->Advance(10);
  (void)filter->Advance(10);
  EXPECT_EQ(wave->Frame().amplitude, 0);
  (void)filter->Advance(11);
  EXPECT_EQ(wave->Frame().amplitude, 20) << "the peak at half time";
  (void)filter->Advance(12);
  EXPECT_EQ(std::tuple(wave->Frame().amplitude, filter->IsFinished()), std::tuple(0, 1));
  EXPECT_EQ(wave->Frame().gapColor, 0xFFFFFFFFu) << "colour B at level 255, colour A's alpha";
  EXPECT_EQ(WaveGapColor(0x80102030, 0x00FFFFFF, 0), 0x80102030u);
}

TEST_F(NamedTransitions, SetUpRefusals) {
  ExpectSetUpCodes({
      {"cross", &layer, {}, kFilterBadArguments},
      {"rule", &layer, {100, Word(&wide), 8}, kFilterUnsuitableSurface},
      {"rule", &layer, {100, 0, 8}, kFilterBadArguments},
      {"scroll", &layer, {100, 4, 0}, kFilterBadArguments},
      {"rotaxis", &layer, {100, 4}, kFilterBadArguments},
      {"trans", &layer, {100, 87}, kFilterBadArguments},
      {"cross", nullptr, {100}, kFilterBadArguments},
      {"cross", &shallow, {100}, kFilterUnsuitableSurface},
  });
  std::unique_ptr<FilterEffect> wave(transitions.Create("wave"));
  {
    ScopedGlobal<TrigTables> none(nullptr);
    EXPECT_EQ(wave->SetUp(&layer, {100, 0, 4, 4, 0, 0}), 5) << "no sine table";
  }
}

TEST_F(NamedTransitions, AFinishedCrossDrawsTheNewPictureThroughTheLayersBand) {
  std::unique_ptr<FilterEffect> cross = Make("cross", {100});
  ImageSurface before, after;
  ASSERT_EQ(before.Create(64, 32, 32, 0), 0);
  ASSERT_EQ(after.Create(64, 32, 32, 0), 0);
  (void)before.Fill(0xFF000000u, nullptr);
  (void)after.Fill(0xFF4080C0u, nullptr);
  LayerFilter& asLayerSees = *cross;
  (void)asLayerSees.Update(0);
  (void)asLayerSees.Update(100);
  ASSERT_TRUE(asLayerSees.IsDone());
  asLayerSees.DrawBand(FilterBand{&wide, Rect{0, 8, 64, 16}, &before, &after});
  EXPECT_EQ(wide.GetPixel(5, 10) & 0xFFFFFF, 0x4080C0u);
  EXPECT_EQ(wide.GetPixel(5, 20) & 0xFFFFFF, 0u) << "outside the band";
}

}  // namespace
}  // namespace bw
