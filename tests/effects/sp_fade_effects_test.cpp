// The sprite fades "sp_fade", "sp_cfade" (its blend against a per-pixel reference) and "sp_gfade"
// on a virtual clock from 0.
#include <cmath>

#include "effects/sp_cfade_effect.h"
#include "effects/sp_effect_rig.h"
#include "effects/sp_fade_effect.h"
#include "effects/sp_gfade_effect.h"

namespace bw {
namespace {

// The rig keeps the sprites past the effects: a deleted effect finishes its pending slots.
class SpFade : public SpriteEffectRig {
 protected:
  // Sets the effect up with slots slots and adds it to the service.
  SpFadeEffect* Make(int32_t slots, int32_t remove = 0, int32_t notify = 0) {
    return Started<SpFadeEffect>(nullptr, {slots, remove, notify}, kSpFadeSetUp);
  }
  // A hidden sprite the test owns.
  Sprite& Hidden() {
    Sprite& sprite = *NewSprite();
    sprite.SetVisible(false);
    return sprite;
  }
  RunningHooks hooks;
};

TEST_F(SpFade, FadesInFromTheClockStartAndEnds) {
  SpFadeEffect* effect = Make(2);
  Sprite& sprite = Hidden();
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
  Sprite &half = *NewSprite(), &hidden = Hidden(), &opaque = *NewSprite();
  half.SetAlpha(128);
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

TEST_F(SpFade, DelaysAndEasedMovesAlongBothAxes) {
  SpFadeEffect* effect = Make(3);
  Sprite &slow = Hidden(), &fast = Hidden(), &both = Hidden();
  ASSERT_TRUE(both.SetPos(10, 200));
  ASSERT_EQ(effect->Command({1, 0, Word(&slow), 1000, 200, 1, 100, 0, 2}), 0);
  ASSERT_EQ(effect->Command({1, 1, Word(&fast), 1000, 0, 1, 100, 0, -2}), 0);
  ASSERT_EQ(effect->Command({1, 2, Word(&both), 1000, 0, 1, 110, 0, 0}), 0);
  At(0);
  EXPECT_FALSE(slow.IsVisible()) << "shown only once its delay has run out";
  At(200);
  EXPECT_FALSE(slow.IsVisible());
  At(500);
  EXPECT_EQ(std::pair(both.GetX(), both.GetY()), std::pair(60, 100));
  At(700);
  EXPECT_TRUE(slow.IsVisible());
  EXPECT_EQ(slow.GetX(), 25) << "exponent 2: t squared";
  EXPECT_EQ(fast.GetX(), 90) << "exponent -2 at 0.7: 1 - 0.3 squared, truncated";
  EXPECT_EQ(slow.GetAlpha(), 127);
  At(1000);
  EXPECT_EQ(std::pair(both.GetX(), both.GetY()), std::pair(110, 0));
}

TEST_F(SpFade, FinishPutsEveryPendingSpriteAtItsEnd) {
  SpFadeEffect* effect = Make(2, 0, 1);
  Sprite &in = Hidden(), &out = *NewSprite();
  ASSERT_EQ(effect->Command({1, 0, Word(&in), 1000, 5000, 1, 40, 50, 0}), 0);
  ASSERT_EQ(effect->Command({2, 1, Word(&out), 1000, 0}), 0);
  EXPECT_EQ(hooks.lowered, 1) << "once per running period";
  At(0);
  EXPECT_EQ(effect->Command({0}), 0);
  EXPECT_TRUE(in.IsVisible()) << "a fade-in ends shown, also before its delay ran out";
  EXPECT_EQ(std::tuple(in.GetAlpha(), in.GetX(), in.GetY()), std::tuple(255, 40, 50));
  EXPECT_EQ(std::tuple(out.IsVisible(), out.GetAlpha(), hooks.restored), std::tuple(false, 255, 1));
  EXPECT_EQ(effect->Query(ArgWords()), 0);
}

TEST_F(SpFade, TheRemoveFlagWaitsForEverySlotAndSetUpsFinishPendingSlotsOrRefuse) {
  SpFadeEffect* effect = Make(1, 1);
  SpFadeEffect* watch = effect;
  effect->SetOwnerSlot(&watch);
  Sprite& sprite = *NewSprite();
  ASSERT_EQ(effect->Command({2, 0, Word(&sprite), 100, 0}), 0);
  At(0, 16);
  EXPECT_NE(watch, nullptr) << "not removed while a slot is in use";
  EXPECT_LT(sprite.GetAlpha(), 255);
  At(100, 116);
  EXPECT_EQ(watch, nullptr) << "removed once every slot has finished";
  EXPECT_EQ(std::pair(sprite.IsVisible(), sprite.GetAlpha()), std::pair(false, 255));

  SpFadeEffect* again = Make(1);
  Sprite& pending = Hidden();
  ASSERT_EQ(again->Command({1, 0, Word(&pending), 1000, 500}), 0);
  EXPECT_EQ(again->Start(&timers, nullptr, {4, 0, 0}), kSpFadeSetUp);
  EXPECT_TRUE(timers.Contains(again->Handle())) << "a set-up again keeps the listing";
  EXPECT_TRUE(pending.IsVisible()) << "a new set-up finishes the pending slot first";
  EXPECT_EQ(std::tuple(pending.GetAlpha(), again->SlotCount()), std::tuple(255, 4u));

  SpFadeEffect refused;
  EXPECT_EQ(refused.Setup(nullptr, nullptr, {3}), kSpFadeBadArguments);
  EXPECT_EQ(refused.Setup(&timers, nullptr, {0}), kSpFadeBadArguments);
  EXPECT_EQ(refused.Command({1, 0, 0, 0, 0}), kSpFadeBadTarget) << "no slots yet";
}

TEST_F(SpFade, APauseMidFadeGoesOnWhereItStopped) {
  SpFadeEffect* effect = Make(1);
  Sprite& sprite = Hidden();
  ASSERT_EQ(effect->Command({1, 0, Word(&sprite), 1000, 0}), 0);
  At(0, 500);
  EXPECT_EQ(sprite.GetAlpha(), 127);
  timers.PauseAll(kTaskKindSpriteEffect);
  At(3000);
  timers.ResumeAll(kTaskKindSpriteEffect);
  At(3100);
  EXPECT_EQ(sprite.GetAlpha(), 153) << "600 ms of fading, not the whole span";
}

uint32_t OldPixel(int32_t i, int32_t j) {
  return uint32_t(40 + 5 * j) << 24 | uint32_t(6 * i) << 16 | 0x3000 | uint32_t(7 * j);
}
uint32_t NewPixel(int32_t i, int32_t j) {
  return uint32_t(i < 4 ? 0 : 255 - 3 * j) << 24 | 0x800000 | uint32_t(8 * i) << 8 | 0x11;
}

double Channel(uint32_t p, int shift) {
  return (p >> shift) & 0xFF;
}

class SpCfade : public SpriteEffectRig {
 protected:
  SpCfadeEffect* Make(Sprite* fresh, Sprite* old) {
    return Started<SpCfadeEffect>(&layer, {Word(fresh), Word(old), 50, 1000, 0}, kSpCfadeSetUp);
  }
};

// The old picture (40 x 30 at 10,10) faded by (255 - v) / 255, the new one (30 x 40 at 30,20)
// laid over at opacity v, nothing elsewhere in the union. The blend sprite takes the old sprite's
// place on the first frame with the old picture in it.
TEST_F(SpCfade, OverlappingPicturesBlendInTheWorkSurface) {
  Sprite* fresh = AddSprite(30, 40, 0, 30, 20);
  for (int32_t j = 0; j < 40; ++j) {
    for (int32_t i = 0; i < 30; ++i)
      reinterpret_cast<uint32_t*>(fresh->GetSource()->GetRowPointer(j))[i] = NewPixel(i, j);
  }
  Sprite* old = HandedSprite(40, 30, OldPixel, 10, 10);
  SpCfadeEffect* effect = Make(fresh, old);
  ASSERT_TRUE(effect->Overlapping());
  At(0);
  EXPECT_FALSE(old->IsVisible());
  EXPECT_TRUE(effect->BlendSprite()->IsVisible());
  EXPECT_EQ(test::PixelAt(*effect->WorkSurface(), 5, 5), OldPixel(5, 5));
  EXPECT_EQ(test::PixelAt(*effect->WorkSurface(), 30, 20), OldPixel(30, 20)) << "under the new one";
  At(400);
  const int v = 400 * 255 / 1000;
  const ImageSurface& work = *effect->WorkSurface();
  ASSERT_EQ(work.GetWidth(), 50);
  ASSERT_EQ(work.GetHeight(), 50);
  for (int32_t y = 0; y < 50; ++y) {
    for (int32_t x = 0; x < 50; ++x) {
      const int32_t ox = x, oy = y, nx = x - 20, ny = y - 10;
      const bool inOld = ox < 40 && oy < 30, inNew = nx >= 0 && nx < 30 && ny >= 0 && ny < 40;
      uint32_t d = inOld ? OldPixel(ox, oy) : 0;
      double a = Channel(d, 24) * (255 - v) / 255.0;
      double want[4] = {Channel(d, 0), Channel(d, 8), Channel(d, 16), a};
      if (inNew) {
        const uint32_t s = NewPixel(nx, ny);
        const double sa = Channel(s, 24);
        for (int c = 0; c < 3; ++c) {
          if (sa != 0 && a != 0)
            want[c] = want[c] * (255 - v) / 255.0 + Channel(s, 8 * c) * v / 255.0;
          else if (sa != 0)
            want[c] = Channel(s, 8 * c);
        }
        want[3] = a * (255 - v) / 255.0 + sa * v / 255.0;
      }
      const uint32_t got = test::PixelAt(work, x, y);
      for (int c = 0; c < 4; ++c) {
        ASSERT_LE(std::fabs(Channel(got, 8 * c) - want[c]), 2.0)
            << "channel " << c << " at " << x << "," << y;
      }
      if (!inOld && !inNew) {
        ASSERT_EQ(got, 0u) << "outside both at " << x << "," << y;
      }
    }
  }
  At(1000);
  EXPECT_TRUE(fresh->IsVisible());
  EXPECT_EQ(std::tuple(fresh->GetAlpha(), timers.Count()), std::tuple(255, 0u));
}

TEST_F(SpCfade, PicturesApartFadeByOpacityAndAMissingOrOffLayerOneLeavesTheOtherFading) {
  Sprite* fresh = AddSprite(20, 20, 0xFFFFFFFF, 300, 300);
  Sprite* old = HandedSprite(20, 20, OldPixel, 0, 0);
  SpCfadeEffect* effect = Make(fresh, old);
  EXPECT_FALSE(effect->Overlapping());
  At(0);
  EXPECT_EQ(fresh->GetAlpha(), 0);
  At(500);
  EXPECT_EQ(std::tuple(fresh->GetAlpha(), old->GetAlpha()), std::tuple(127, 128));
  At(1000);
  EXPECT_EQ(fresh->GetAlpha(), 255);

  Sprite* alone = AddSprite(20, 20, 0xFFFFFFFF, 10, 10);
  Make(alone, nullptr);
  At(1000, 1250);
  EXPECT_EQ(alone->GetAlpha(), 63) << "without an old sprite the new one fades in";
  timers.Clear();

  Sprite* outside = AddSprite(20, 20, 0xFFFFFFFF, 900, 10);
  outside->SetAlpha(77);
  Sprite* away = HandedSprite(20, 20, OldPixel, 890, 0);
  away->SetPos(630, 0);
  EXPECT_FALSE(Make(outside, away)->Overlapping());
  At(2000, 2500);
  EXPECT_EQ(outside->GetAlpha(), 77) << "a new sprite off the layer keeps its opacity";
  EXPECT_EQ(away->GetAlpha(), 128);
}

TEST_F(SpCfade, Refusals) {
  Sprite* sprite = AddSprite(20, 20, 0xFFFFFFFF, 10, 10);
  SpCfadeEffect effect;
  EXPECT_EQ(effect.Start(&timers, &layer, {Word(sprite), Word(sprite), 0, 100}),
            kSpCfadeBadArguments)
      << "an old sprite that is the new one would be deleted under the caller";
  EXPECT_EQ(effect.Start(&timers, &layer, {0, 0}), kSpCfadeNoPicture);
  Sprite* other = AddSprite(20, 20, 0xFFFFFFFF, 15, 15);
  CompositionLayer bare;
  EXPECT_EQ(effect.Start(&timers, &bare, {Word(sprite), Word(other)}), kSpCfadeNoSurface);
}

uint8_t AlphaOf(Sprite* sprite, int32_t x, int32_t y) {
  return static_cast<uint8_t>(test::PixelAt(*sprite->GetSource(), x, y) >> 24);
}

using SpGfade = SpriteEffectRig;

TEST_F(SpGfade, HardAndSoftEdgesAndDurationZeroAtOnce) {
  Sprite* sprite = AddSprite(40, 20, 0xFF336699, 0, 0);
  ASSERT_NE(Started<SpGfadeEffect>(nullptr, {Word(sprite), 1000, 0, 0}, kSpGfadeSetUp), nullptr);
  EXPECT_FALSE(sprite->IsVisible());
  At(0);
  EXPECT_FALSE(sprite->IsVisible()) << "nothing is drawn before the edge moves";
  At(500);
  EXPECT_TRUE(sprite->IsVisible());
  for (int32_t y : {0, 19}) {
    for (int32_t x = 0; x < 40; ++x)
      ASSERT_EQ(AlphaOf(sprite, x, y), x < 20 ? 255 : 0) << x << "," << y;
  }
  At(1000);
  EXPECT_EQ(timers.Count(), 0u);
  EXPECT_EQ(AlphaOf(sprite, 39, 19), 255) << "the end restores the picture's own alpha";

  // Duration 0 shows the sprite at once.
  Sprite* hidden = AddSprite(8, 8, 0xFFFFFFFF, 0, 0);
  hidden->SetVisible(false);
  SpGfadeEffect now;
  EXPECT_EQ(now.Start(&timers, nullptr, {Word(hidden), 0, 0, 4}), kSpGfadeEndedAtOnce);
  EXPECT_TRUE(hidden->IsVisible());

  // Large directions: a soft edge from below.
  Sprite* soft = AddSprite(8, 40, 0xC0FFFFFF, 0, 0);
  auto* effect = Started<SpGfadeEffect>(nullptr, {Word(soft), 1000, 7, 10}, kSpGfadeSetUp);
  ASSERT_NE(effect, nullptr);
  At(1000, 1500);  // 25 of the 50 pixels of travel: rows 39..25 passed, 24..15 under the edge
  EXPECT_EQ(AlphaOf(soft, 3, 39), 0xC0);
  EXPECT_EQ(AlphaOf(soft, 3, 25), 0xC0);
  EXPECT_EQ(AlphaOf(soft, 3, 14), 0);
  uint8_t previous = 0xC0;
  for (int32_t y = 24; y >= 15; --y) {
    const uint8_t a = AlphaOf(soft, 3, y);
    EXPECT_LE(a, previous) << "the ramp falls toward the hidden side, row " << y;
    previous = a;
  }
  EXPECT_GT(AlphaOf(soft, 3, 23), 0);
  EXPECT_LT(AlphaOf(soft, 3, 16), 0xC0);
  effect->Stop();
  EXPECT_EQ(AlphaOf(soft, 3, 0), 0xC0) << "a stop shows the whole picture";
}

}  // namespace
}  // namespace bw
