// "sp_gfade" on real sprites: the hard edge, the soft edge from below (direction 7), the end
// states.
#include "effects/sp_gfade_effect.h"

#include "effects/sp_effect_rig.h"
#include "support/listed_task.h"

namespace bw {
namespace {

class SpGfade : public SpriteEffectRig {
 protected:
  uint8_t AlphaOf(Sprite* sprite, int32_t x, int32_t y) {
    return static_cast<uint8_t>(test::PixelAt(*sprite->GetSource(), x, y) >> 24);
  }
};

TEST_F(SpGfade, HardAndSoftEdgesAndDurationZeroAtOnce) {
  Sprite* sprite = AddSprite(40, 20, 0xFF336699, 0, 0);
  auto* effect = new SpGfadeEffect;
  ASSERT_EQ(effect->Start(&timers, nullptr, {Word(sprite), 1000, 0, 0}), kSpGfadeSetUp);
  effect = test::HandOver(timers, std::unique_ptr<SpGfadeEffect>(effect));
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
  effect = new SpGfadeEffect;
  ASSERT_EQ(effect->Start(&timers, nullptr, {Word(soft), 1000, 7, 10}), kSpGfadeSetUp);
  effect = test::HandOver(timers, std::unique_ptr<SpGfadeEffect>(effect));
  At(1000);
  At(1500);  // 25 of the 50 pixels of travel: rows 39..25 passed, 24..15 under the edge
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
