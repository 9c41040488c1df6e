// "sp_change" on real sprites: style 0 aligned by the anchors and zooming from ratio 2, style 2
// at ratio 2 through the combined picture, the clamp after the path time, and the refusals.
#include "effects/sp_change_effect.h"

#include "effects/sp_effect_rig.h"
#include "graphics/pixel/blend_tables.h"

namespace bw {
namespace {

uint32_t Opaque(int32_t, int32_t) {
  return 0xFF808080;
}

class SpChange : public SpriteEffectRig {
 protected:
  void SetUp() override {
    SpriteEffectRig::SetUp();
    BuildBlendTables();
  }
  SpChangeEffect* Make(const SpChangeParams& params, Sprite* fresh, Sprite* old,
                       const char* path = "c") {
    auto* effect = new SpChangeEffect;
    const int rc = effect->Start(&timers, const_cast<SpChangeParams*>(&params),
                                 {Word(fresh), Word(old), Word(path), 0, 0, 0, 1000, 0});
    EXPECT_EQ(rc, kSpChangeSetUp);
    return effect;
  }
};

TEST_F(SpChange, StyleZeroShowsTheNewPictureAtTheOldPlace) {
  Sprite* old = HandedSprite(80, 100, Opaque, 200, 300);
  Sprite* fresh = AddSprite(40, 120, 0xFF00FF00, 0, 0);
  SpChangeEffect* effect = Make({kChangeMoveNew, 0, 0}, fresh, old);
  int32_t opacity = 0;
  effect->Query({0, 0, Word(&opacity)});
  EXPECT_EQ(opacity, -1) << "no point before the first update";
  // Standing on their bottom centres: (240, 400) for both.
  EXPECT_EQ(fresh->GetX(), 220);
  EXPECT_EQ(fresh->GetY(), 280);
  At(0);
  EXPECT_FALSE(old->IsVisible());
  EXPECT_TRUE(fresh->IsVisible());
  At(1000);
  EXPECT_EQ(timers.Count(), 0u);
  EXPECT_EQ(fresh->GetX(), 220);
}

// Stopped before its first frame, the effect still leaves the new sprite standing where the
// path ends: the old one goes with the effect.
TEST_F(SpChange, StoppedBeforeItsFirstFrameTheNewSpriteStands) {
  for (uint8_t style : {kChangeMoveNew, kChangeMoveOld, kChangeBlend}) {
    SCOPED_TRACE(int(style));
    Sprite* old = HandedSprite(40, 40, Opaque, 100, 100);
    Sprite* fresh = AddSprite(40, 40, 0xFF00FF00, 0, 0);
    Make({style, 0, 0}, fresh, old, "p10,0");
    EXPECT_FALSE(fresh->IsVisible());
    timers.Clear();
    EXPECT_TRUE(fresh->IsVisible());
    EXPECT_EQ(fresh->GetAlpha(), 255);
    EXPECT_NE(layer.GetList().Find(fresh), nullptr);
    EXPECT_EQ(layer.GetList().Count(), 1u) << "only the new sprite is left";
    layer.GetList().Remove(fresh);
  }
}

TEST_F(SpChange, StyleZeroAtRatioTwoShrinksFromTheOldWidth) {
  Sprite* old = HandedSprite(80, 80, Opaque, 100, 100);
  Sprite* fresh = AddSprite(40, 40, 0xFF00FF00, 0, 0);
  SpChangeEffect* effect = Make({kChangeMoveNew, 0, 1}, fresh, old);
  EXPECT_DOUBLE_EQ(effect->Ratio(), 2.0);
  At(0);
  EXPECT_EQ(fresh->GetRectPtr()->Width(), 80) << "starts at twice its own width";
  At(500);
  EXPECT_EQ(fresh->GetRectPtr()->Width(), 60);
  At(1000);
  EXPECT_EQ(fresh->GetRectPtr()->Width(), 40) << "ends at its own width";
}

TEST_F(SpChange, StyleTwoAtRatioTwoBlendsThroughTheCombinedPicture) {
  Sprite* old = HandedSprite(80, 80, Opaque, 100, 100);
  Sprite* fresh = AddSprite(40, 40, 0xFF00FF00, 120, 140);
  SpChangeEffect* effect = Make({kChangeBlend, 30, 1}, fresh, old);
  EXPECT_EQ(effect->Style(), kChangeBlendReversed) << "the new picture is the narrower";
  EXPECT_DOUBLE_EQ(effect->Ratio(), 0.5);
  const Sprite* combined = effect->Combined();
  ASSERT_NE(combined, nullptr);
  At(0);
  EXPECT_TRUE(combined->IsVisible());
  EXPECT_FALSE(old->IsVisible());
  EXPECT_EQ(combined->GetRectPtr()->Width(), 80);
  EXPECT_EQ(Pixel(*combined->GetSource(), 40, 40), 0xFF808080u) << "the old picture shows first";
  At(500);
  EXPECT_EQ(combined->GetRectPtr()->Width(), 60);
  At(999);
  EXPECT_EQ(Pixel(*combined->GetSource(), 40, 40) >> 8 & 0xFF, 0xFFu) << "almost the new one";
  At(1000);
  EXPECT_TRUE(fresh->IsVisible());
  EXPECT_EQ(fresh->GetX(), 120) << "the path ends with the new picture at its own place";
  EXPECT_EQ(fresh->GetY(), 140);
}

TEST_F(SpChange, AfterThePathTimeTheBlendStaysAtItsEnd) {
  Sprite* old = HandedSprite(40, 40, Opaque, 100, 100);
  Sprite* fresh = AddSprite(40, 40, 0xFF00FF00, 100, 100);
  // The path takes longer than the path time: the blend value must not wrap past 255.
  SpChangeEffect* effect = Make({kChangeBlend, 30, 0}, fresh, old, "3000 c");
  At(0);
  At(2000);
  EXPECT_EQ(Pixel(*effect->Combined()->GetSource(), 20, 20), 0xFF00FF00u);
}

TEST_F(SpChange, Refusals) {
  Sprite* fresh = AddSprite(40, 40, 0xFF00FF00, 100, 100);
  SpChangeParams params;
  SpChangeEffect effect;
  auto start = [&](Sprite* a, Sprite* b, const char* path) {
    return effect.Start(&timers, &params, {Word(a), Word(b), Word(path), 0, 0, 0, 100});
  };
  EXPECT_EQ(start(fresh, fresh, "c"), kSpChangeBadArguments)
      << "the old sprite being the new one would be deleted under the caller";
  EXPECT_EQ(start(fresh, nullptr, "c"), kSpChangeBadArguments);
  Sprite* old = AddSprite(40, 40, 0xFF00FF00, 100, 100);
  EXPECT_EQ(start(fresh, old, "c ?"), kSpChangePathRefused);
  old->SetZoom(80, 80);
  EXPECT_EQ(start(fresh, old, "c"), kSpChangeOldZoomed);
  EXPECT_EQ(timers.Count(), 0u);
}

}  // namespace
}  // namespace bw
