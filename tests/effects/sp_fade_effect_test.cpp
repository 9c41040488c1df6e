// "sp_fade" on a virtual clock from 0: fades, delays, moves, finishing, pausing, the hooks.
#include "effects/sp_fade_effect.h"

#include "effects/sp_effect_rig.h"
#include "support/listed_task.h"

namespace bw {
namespace {

int started = 0;
int ended = 0;

// The rig keeps the sprites past the effects: a deleted effect finishes its pending slots.
class SpFade : public SpriteEffectRig {
 protected:
  void SetUp() override {
    SpriteEffectRig::SetUp();
    started = ended = 0;
    SetEffectRunningHooks([] { ++started; }, [] { ++ended; });
  }
  void TearDown() override { SetEffectRunningHooks(nullptr, nullptr); }

  // Sets the effect up with slots slots and adds it to the service.
  SpFadeEffect* Make(int32_t slots, int32_t remove = 0, int32_t notify = 0) {
    auto* effect = new SpFadeEffect;
    EXPECT_EQ(effect->Start(&timers, nullptr, {slots, remove, notify}), kSpFadeSetUp);
    effect = test::HandOver(timers, std::unique_ptr<SpFadeEffect>(effect));
    return effect;
  }
};

TEST_F(SpFade, FadesInFromTheClockStartAndEnds) {
  SpFadeEffect* effect = Make(2);
  Sprite& sprite = *NewSprite();
  sprite.SetVisible(false);
  ASSERT_EQ(effect->Command({1, 0, Word(&sprite), 1000, 0}), kSpFadeTargetSet);
  At(0);
  EXPECT_TRUE(sprite.IsVisible()) << "no delay: shown on the first update";
  EXPECT_EQ(sprite.GetAlpha(), 0);
  At(0);
  EXPECT_EQ(sprite.GetAlpha(), 0) << "a slot started at clock 0 does not start again";
  At(400);
  EXPECT_EQ(sprite.GetAlpha(), 102);
  At(1000);
  EXPECT_EQ(sprite.GetAlpha(), 255);
  EXPECT_TRUE(effect->IsRunning()) << "the update that finds no slot in use stops it";
  At(1016);
  EXPECT_FALSE(effect->IsRunning());
  EXPECT_EQ(timers.Count(), 1u) << "without the remove flag the effect stays listed";
}

TEST_F(SpFade, DurationsScaleWithTheDistanceAndZeroEndsAtOnce) {
  SpFadeEffect* effect = Make(3);
  Sprite& half = *NewSprite();
  Sprite& hidden = *NewSprite();
  Sprite& opaque = *NewSprite();
  half.SetAlpha(128);
  hidden.SetVisible(false);
  ASSERT_EQ(effect->Command({2, 0, Word(&half), 1000, 0}), 0);
  ASSERT_EQ(effect->Command({2, 1, Word(&hidden), 1000, 0}), 0);
  ASSERT_EQ(effect->Command({1, 2, Word(&opaque), 0, 0}), 0) << "duration 0 counts as 1";
  EXPECT_EQ(effect->Command({2, 3, Word(&half), 1000, 0}), kSpFadeBadTarget);
  At(0);
  EXPECT_TRUE(hidden.IsVisible()) << "a hidden sprite shows at opacity 0";
  At(1);
  EXPECT_FALSE(hidden.IsVisible()) << "distance 0 ends on the next update";
  EXPECT_EQ(std::pair(hidden.GetAlpha(), opaque.GetAlpha()), std::pair(255, 255));
  At(250);
  EXPECT_EQ(half.GetAlpha(), 65) << "128/255 of the time: 501 ms";
  At(501);
  EXPECT_EQ(std::pair(half.IsVisible(), half.GetAlpha()), std::pair(false, 255));
}

TEST_F(SpFade, DelaysAndEasedMoves) {
  SpFadeEffect* effect = Make(2);
  Sprite& slow = *NewSprite();
  Sprite& fast = *NewSprite();
  slow.SetVisible(false);
  fast.SetVisible(false);
  ASSERT_EQ(effect->Command({1, 0, Word(&slow), 1000, 200, 1, 100, 0, 2}), 0);
  ASSERT_EQ(effect->Command({1, 1, Word(&fast), 1000, 0, 1, 100, 0, -2}), 0);
  At(0);
  EXPECT_FALSE(slow.IsVisible()) << "shown only once its delay has run out";
  At(200);
  EXPECT_FALSE(slow.IsVisible());
  At(700);
  EXPECT_TRUE(slow.IsVisible());
  EXPECT_EQ(slow.GetX(), 25) << "exponent 2: t squared";
  EXPECT_EQ(fast.GetX(), 90) << "exponent -2 at 0.7: 1 - 0.3 squared, truncated";
  EXPECT_EQ(slow.GetAlpha(), 127);
}

TEST_F(SpFade, FinishPutsEveryPendingSpriteAtItsEnd) {
  SpFadeEffect* effect = Make(2, 0, 1);
  Sprite& in = *NewSprite();
  Sprite& out = *NewSprite();
  in.SetVisible(false);
  ASSERT_EQ(effect->Command({1, 0, Word(&in), 1000, 5000, 1, 40, 50, 0}), 0);
  ASSERT_EQ(effect->Command({2, 1, Word(&out), 1000, 0}), 0);
  EXPECT_EQ(started, 1) << "once per running period";
  At(0);
  EXPECT_EQ(effect->Command({0}), 0);
  EXPECT_TRUE(in.IsVisible()) << "a fade-in ends shown, also before its delay ran out";
  EXPECT_EQ(std::tuple(in.GetAlpha(), in.GetX(), in.GetY()), std::tuple(255, 40, 50));
  EXPECT_EQ(std::tuple(out.IsVisible(), out.GetAlpha(), ended), std::tuple(false, 255, 1));
  EXPECT_EQ(effect->Query(ArgWords()), 0);
}

TEST_F(SpFade, TheRemoveFlagWaitsForEverySlotAndANewSetUpDropsNothing) {
  SpFadeEffect* effect = Make(1, 1);
  SpFadeEffect* watch = effect;
  effect->SetOwnerSlot(&watch);
  Sprite& sprite = *NewSprite();
  ASSERT_EQ(effect->Command({2, 0, Word(&sprite), 100, 0}), 0);
  At(0);
  At(16);
  EXPECT_NE(watch, nullptr) << "not removed while a slot is in use";
  EXPECT_LT(sprite.GetAlpha(), 255);
  At(100);
  At(116);
  EXPECT_EQ(watch, nullptr) << "removed once every slot has finished";
  EXPECT_EQ(std::pair(sprite.IsVisible(), sprite.GetAlpha()), std::pair(false, 255));

  SpFadeEffect* again = Make(1);
  Sprite& pending = *NewSprite();
  pending.SetVisible(false);
  ASSERT_EQ(again->Command({1, 0, Word(&pending), 1000, 500}), 0);
  EXPECT_EQ(again->Start(&timers, nullptr, {4, 0, 0}), kSpFadeSetUp);
  EXPECT_TRUE(timers.Contains(again->Handle())) << "a set-up again keeps the listing";
  EXPECT_TRUE(pending.IsVisible()) << "a new set-up finishes the pending slot first";
  EXPECT_EQ(std::tuple(pending.GetAlpha(), again->SlotCount()), std::tuple(255, 4u));
}

TEST_F(SpFade, APauseMidFadeGoesOnWhereItStopped) {
  SpFadeEffect* effect = Make(1);
  Sprite& sprite = *NewSprite();
  sprite.SetVisible(false);
  ASSERT_EQ(effect->Command({1, 0, Word(&sprite), 1000, 0}), 0);
  At(0);
  At(500);
  EXPECT_EQ(sprite.GetAlpha(), 127);
  timers.PauseAll(kTaskKindSpriteEffect);
  At(3000);
  timers.ResumeAll(kTaskKindSpriteEffect);
  At(3100);
  EXPECT_EQ(sprite.GetAlpha(), 153) << "600 ms of fading, not the whole span";
}

TEST_F(SpFade, SetUpRefusals) {
  SpFadeEffect effect;
  EXPECT_EQ(effect.Setup(nullptr, nullptr, {3}), kSpFadeBadArguments);
  EXPECT_EQ(effect.Setup(&timers, nullptr, {0}), kSpFadeBadArguments);
  EXPECT_EQ(effect.Command({1, 0, 0, 0, 0}), kSpFadeBadTarget) << "no slots yet";
}

TEST_F(SpFade, AMoveGoesAlongBothAxes) {
  SpFadeEffect* effect = Make(1);
  Sprite& s = *NewSprite();
  s.SetVisible(false);
  ASSERT_TRUE(s.SetPos(10, 200));
  ASSERT_EQ(effect->Command({1, 0, Word(&s), 1000, 0, 1, 110, 0, 0}), 0);
  At(0);
  At(500);
  EXPECT_EQ(std::pair(s.GetX(), s.GetY()), std::pair(60, 100));
  At(1000);
  EXPECT_EQ(std::pair(s.GetX(), s.GetY()), std::pair(110, 0));
}

}  // namespace
}  // namespace bw
