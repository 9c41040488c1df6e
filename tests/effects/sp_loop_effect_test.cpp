// "sp_loop" on a picture from the game folder: the two views, both directions, the counts, the
// stop request and the failures.
#include "effects/sp_loop_effect.h"

#include "effects/sp_effect_rig.h"
#include "support/listed_task.h"

namespace bw {
namespace {

class SpLoop : public SpriteEffectRig {
 protected:
  void SetUp() override {
    SpriteEffectRig::SetUp();
    WritePicture("STRIP.WGX", 100, 10, std::vector<uint32_t>(1000, 0xFF102030));
  }
  SpLoopEffect* Make(int32_t view, int32_t direction, int32_t count) {
    auto* effect = new SpLoopEffect;
    EXPECT_EQ(effect->Start(&timers, &layer,
                            {Word("STRIP.WGX"), 5, 7, view, 255, 3, direction, 1000, count, 0}),
              kSpLoopSetUp);
    effect = test::HandOver(timers, std::unique_ptr<SpLoopEffect>(effect));
    return effect;
  }
  static std::pair<int32_t, int32_t> Span(const Sprite& s) {
    return {s.GetSourceRect().left, s.GetSourceRect().right};
  }
};

TEST_F(SpLoop, ScrollsThroughTheViewEitherWayCountsPeriodsAndStopsAtABoundary) {
  SpLoopEffect* effect = Make(60, kLoopLeftward, 2);
  EXPECT_EQ(layer.GetList().Count(), 2u);
  At(0);
  EXPECT_EQ(Span(effect->First()), std::pair(0, 60));
  EXPECT_FALSE(effect->Second().IsVisible());
  At(500);
  EXPECT_EQ(Span(effect->First()), std::pair(50, 100));
  EXPECT_EQ(Span(effect->Second()), std::pair(0, 10));
  EXPECT_EQ(effect->Second().GetX(), 55) << "the wrapped part follows the first";
  At(1999);
  EXPECT_EQ(timers.Count(), 1u);
  At(2000);
  EXPECT_EQ(timers.Count(), 0u) << "the last period ends the loop";
  EXPECT_EQ(layer.GetList().Count(), 0u);

  // Rightward, the whole picture runs from the other end.
  effect = Make(0, kLoopRightward, 0);
  At(3000);
  At(3250);
  EXPECT_EQ(Span(effect->First()), std::pair(75, 100));
  EXPECT_EQ(Span(effect->Second()), std::pair(0, 75));

  // An endless loop ends at a period's boundary once asked.
  effect->Stop();
  At(5000);
  EXPECT_EQ(timers.Count(), 1u) << "Stop alone does not end a loop";
  EXPECT_EQ(effect->Command({2, 40, 50}), 0);
  At(5100);
  EXPECT_EQ(effect->First().GetX(), 40);
  EXPECT_EQ(effect->Command({0}), 0);
  At(5999);
  EXPECT_EQ(timers.Count(), 1u);
  At(6000);
  EXPECT_EQ(timers.Count(), 0u);
}

TEST_F(SpLoop, SetupFailures) {
  SpLoopEffect effect;
  EXPECT_EQ(effect.Start(&timers, nullptr, {Word("STRIP.WGX")}), kSpLoopBadArguments);
  EXPECT_EQ(effect.Start(&timers, &layer, {Word("NONE.WGX")}), kSpLoopNoPicture);
  EXPECT_EQ(effect.Start(&timers, &layer, {Word("STRIP.WGX"), 0, 0, 101}), kSpLoopViewTooLarge);
  EXPECT_EQ(effect.Update(0), kSpLoopNothingShown);
  EXPECT_EQ(effect.Command({1, 0}), 1);
}

}  // namespace
}  // namespace bw
