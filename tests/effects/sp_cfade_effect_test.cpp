// "sp_cfade" on real sprites: the overlapping blend against a per-pixel reference, the opacity
// fades of pictures apart, a missing or off-layer picture, and the refusals.
#include "effects/sp_cfade_effect.h"

#include <cmath>

#include "effects/sp_effect_rig.h"
#include "support/listed_task.h"

namespace bw {
namespace {

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
    auto effect = std::make_unique<SpCfadeEffect>();
    EXPECT_EQ(effect->Start(&timers, &layer, {Word(fresh), Word(old), 50, 1000, 0}), kSpCfadeSetUp);
    return test::HandOver(timers, std::move(effect));
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

TEST_F(SpCfade, PicturesApartFadeByOpacity) {
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
}

TEST_F(SpCfade, AMissingOrOffLayerPictureLeavesTheOtherFading) {
  Sprite* alone = AddSprite(20, 20, 0xFFFFFFFF, 10, 10);
  Make(alone, nullptr);
  At(0);
  At(250);
  EXPECT_EQ(alone->GetAlpha(), 63) << "without an old sprite the new one fades in";
  timers.Clear();

  Sprite* outside = AddSprite(20, 20, 0xFFFFFFFF, 900, 10);
  outside->SetAlpha(77);
  Sprite* old = HandedSprite(20, 20, OldPixel, 890, 0);
  old->SetPos(630, 0);
  SpCfadeEffect* effect = Make(outside, old);
  EXPECT_FALSE(effect->Overlapping());
  At(2000);
  At(2500);
  EXPECT_EQ(outside->GetAlpha(), 77) << "a new sprite off the layer keeps its opacity";
  EXPECT_EQ(old->GetAlpha(), 128);
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

}  // namespace
}  // namespace bw
