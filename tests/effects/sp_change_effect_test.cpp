// "sp_change" on real sprites, checked on the drawn layer: style 0 aligned by the anchors and
// standing where a turned old picture stood; style 1 zooming the old picture to
// the new one's size; a zooming path that sets the zoom flag of the odd styles; pictures with
// placement offsets changed between sizes on their feet; style 2 at ratio 2 through the combined
// picture; the clamp after the path time; the refusals.
#include "effects/sp_change_effect.h"

#include <tuple>

#include "effects/sp_effect_rig.h"
#include "support/listed_task.h"

namespace bw {
namespace {

uint32_t Opaque(int32_t, int32_t) {
  return 0xFF808080;
}
uint32_t Red(int32_t, int32_t) {
  return 0xFFFF0000u;
}

class SpChange : public SpriteEffectRig {
 protected:
  SpChangeEffect* Make(const SpChangeParams& params, Sprite* fresh, Sprite* old,
                       const char* path = "c") {
    auto effect = std::make_unique<SpChangeEffect>();
    const int rc = effect->Start(&timers, const_cast<SpChangeParams*>(&params),
                                 {Word(fresh), Word(old), Word(path), 0, 0, 0, 1000, 0});
    EXPECT_EQ(rc, kSpChangeSetUp);
    return rc == kSpChangeSetUp ? test::HandOver(timers, std::move(effect)) : nullptr;
  }
};

TEST_F(SpChange, StyleZeroShowsTheNewPictureAtTheOldPlace) {
  Sprite* old = HandedSprite(80, 100, Opaque, 200, 300);
  Sprite* fresh = AddSprite(40, 120, 0xFF00FF00, 0, 0);
  SpChangeEffect* effect = Make({kChangeMoveNew, 0, 0}, fresh, old);
  int32_t opacity = 0;
  (void)effect->Query({0, 0, Word(&opacity)});
  EXPECT_EQ(opacity, -1) << "no point before the first update";
  // Standing on their bottom centres: (240, 400) for both.
  EXPECT_EQ(std::pair(fresh->GetX(), fresh->GetY()), std::pair(220, 280));
  At(0);
  EXPECT_EQ(std::pair(old->IsVisible(), fresh->IsVisible()), std::pair(false, true));
  At(1000);
  EXPECT_EQ(std::pair(timers.Count(), fresh->GetX()), std::pair(size_t{0}, 220));
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
    EXPECT_EQ(std::pair(fresh->IsVisible(), fresh->GetAlpha()), std::pair(true, 255));
    EXPECT_NE(layer.GetList().Find(fresh), nullptr);
    EXPECT_EQ(layer.GetList().Count(), 1u) << "only the new sprite is left";
    layer.GetList().Remove(fresh);
  }
}

constexpr uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kNone = 0;
constexpr int32_t kZoomUsed = 1 << 8;  // in the mode word of the query

// The old picture is turned a quarter about its feet (20, 20): they stand at (220, 220), and so
// must the new picture's feet (30, 30) once turned alike. A quarter turn takes (x, y) from the
// turning point to (y, -x), so about its origin (0, 0) the new sprite stands at (190, 250) and
// covers (190, 190)-(220, 250).
TEST_F(SpChange, StyleZeroStandsTheNewPictureWhereTheTurnedOldOneStood) {
  Sprite* old = HandedSprite(40, 20, Opaque, 200, 200);
  old->SetAnchor(-1, 20, 20);
  ASSERT_EQ(old->SetRotation(128, 1.0), kSpriteDone);
  Sprite* fresh = AddSprite(60, 30, 0xFF00FF00, 0, 0);
  Make({kChangeMoveNew, 0, 0}, fresh, old);
  EXPECT_EQ(fresh->GetAngle(), 128);
  At(0);
  ExpectShown({{191, 191, kGreen},
               {219, 249, kGreen},
               {205, 187, kNone, "not above the old picture's place"},
               {222, 220, kNone}});
}

// Style 1 with the zoom flag: the old 40 x 40 picture grows to the new one's 80 x 80 while its
// feet stay at (120, 140), where the new picture stands when it takes over.
TEST_F(SpChange, StyleOneZoomsTheOldPictureToTheNewOne) {
  Sprite* old = HandedSprite(40, 40, Red, 100, 100);
  Sprite* fresh = AddSprite(80, 80, 0xFF00FF00, 80, 60);
  SpChangeEffect* effect = Make({kChangeMoveOld, 0, 1}, fresh, old);
  int32_t modes = 0;
  (void)effect->Query({0, 0, 0, Word(&modes)});
  EXPECT_NE(modes & kZoomUsed, 0) << "the zoom between the pictures is the path's too";
  At(0);
  At(500);
  // Zoom 1.5: 60 x 60 from (90, 80).
  ExpectShown({{91, 81, kRed},
               {149, 139, kRed},
               {89, 100, kNone},
               {120, 141, kNone, "the feet stay"},
               {81, 61, kNone, "the new picture waits"}});
  At(1000);
  ExpectShown({{81, 61, kGreen}, {159, 139, kGreen}});
}

// A path that zooms or turns from its first point sets the zoom flag: style 5 goes back to 2, and
// style 1 zooms the old picture about its feet. Here the old 40 x 40 and the new 80 x 40 stand
// on (120, 140); "Z2" doubles both about their feet, where they still stand at the end.
TEST_F(SpChange, AZoomingPathSetsTheZoomFlagOfTheOddStyles) {
  Sprite* old = HandedSprite(40, 40, Red, 100, 100);
  Sprite* fresh = AddSprite(80, 40, 0xFF00FF00, 80, 100);
  SpChangeEffect* effect = Make({kChangeMoveOld, 0, 0}, fresh, old, "Z2c");
  EXPECT_TRUE(effect->Zooms());
  At(0);
  At(1000);
  ExpectShown({{41, 61, kGreen, "the new picture at its place, zoomed as the path ends"},
               {199, 139, kGreen},
               {120, 141, kNone}});

  struct Case {
    const char* path;
    uint8_t style;
    bool zooms;
  } const cases[] = {{"c", kChangePlainBlend, false},
                     {"Z1.5c", kChangeBlend, true},
                     {"R0.25c", kChangeBlend, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    Sprite* was = HandedSprite(40, 40, Opaque, 100, 100);
    Sprite* now = AddSprite(40, 40, 0xFF00FF00, 100, 100);
    SpChangeEffect* blend = Make({kChangeBlend, 30, 0}, now, was, c.path);
    EXPECT_EQ(std::tuple(blend->Style(), blend->Zooms()), std::tuple(c.style, c.zooms));
    timers.Clear();
    layer.GetList().Remove(now);
  }
}

// Placement offsets put a picture where it stands in the middle of the 640 x 480 layer, its feet on
// (320, 480): the old 40 x 40 at (300, 440) and the new 80 x 80 at (280, 400) both stand on their
// bottom centres. Shown elsewhere, the new picture is aligned by the offsets; changed between
// sizes, style 0 and style 2's combined picture grow from the old size about those feet, never
// past them, and the new sprite keeps its standing point as its anchor.
TEST_F(SpChange, PicturesChangedBetweenSizesKeepStandingOnTheirFeet) {
  uint32_t now = 0;
  for (uint8_t style : {kChangeMoveNew, kChangeBlend}) {
    SCOPED_TRACE(int(style));
    Sprite* old = HandedSprite(40, 40, Red, 100, 100);
    old->GetSource()->SetWord1(300);
    old->GetSource()->SetWord2(440);
    // Style 0 places the new sprite itself; style 2 takes the caller's place.
    const int32_t at = style == kChangeMoveNew ? 0 : 80;
    Sprite* fresh = AddSprite(80, 80, 0xFF00FF00, at, at - 20);
    fresh->GetSource()->SetWord1(280);
    fresh->GetSource()->SetWord2(400);
    SpChangeEffect* effect = Make({style, 30, 1}, fresh, old);
    EXPECT_EQ(std::tuple(fresh->GetX(), fresh->GetY()), std::tuple(80, 60))
        << "the offsets' difference, new less old";
    int32_t standX = 0, standY = 0;
    (void)effect->Query({0, 0, 0, 0, 0, 0, Word(&standX), Word(&standY)});
    EXPECT_EQ(std::tuple(standX, standY), std::tuple(40, 80));
    At(now);
    ExpectShown({{101, 101, kDrawn, "starts where the old picture stood"},
                 {139, 139, kDrawn},
                 {99, 120, kNone},
                 {120, 99, kNone}});
    At(now + 500);
    // Zoom 0.75 of the new size: 60 x 60 from (90, 80).
    ExpectShown({{91, 81, kDrawn}, {149, 139, kDrawn}, {120, 141, kNone, "not below the feet"}});
    At(now + 1000);
    ExpectShown({{81, 61, kGreen}, {159, 139, kGreen}});
    EXPECT_EQ(std::tuple(fresh->GetAnchorX(), fresh->GetAnchorY()), std::tuple(40.0, 80.0));
    layer.GetList().Remove(fresh);
    now += 2000;
  }
}

TEST_F(SpChange, StyleTwoAtRatioTwoBlendsThroughTheCombinedPicture) {
  Sprite* old = HandedSprite(80, 80, Opaque, 100, 100);
  Sprite* fresh = AddSprite(40, 40, 0xFF00FF00, 120, 140);
  SpChangeEffect* effect = Make({kChangeBlend, 30, 1}, fresh, old);
  EXPECT_EQ(effect->Style(), kChangeBlendReversed) << "the new picture is the narrower";
  const Sprite* combined = effect->Combined();
  ASSERT_NE(combined, nullptr);
  At(0);
  EXPECT_TRUE(combined->IsVisible());
  EXPECT_FALSE(old->IsVisible());
  EXPECT_EQ(combined->GetRectPtr()->Width(), 80);
  EXPECT_EQ(test::PixelAt(*combined->GetSource(), 40, 40), 0xFF808080u)
      << "the old picture shows first";
  At(500);
  EXPECT_EQ(combined->GetRectPtr()->Width(), 60);
  At(999);
  EXPECT_EQ(test::PixelAt(*combined->GetSource(), 40, 40) >> 8 & 0xFF, 0xFFu)
      << "almost the new one";
  At(1000);
  EXPECT_TRUE(fresh->IsVisible());
  EXPECT_EQ(std::pair(fresh->GetX(), fresh->GetY()), std::pair(120, 140))
      << "the path ends with the new picture at its own place";
}

TEST_F(SpChange, AfterThePathTimeTheBlendStaysAtItsEnd) {
  Sprite* old = HandedSprite(40, 40, Opaque, 100, 100);
  Sprite* fresh = AddSprite(40, 40, 0xFF00FF00, 100, 100);
  // The path takes longer than the path time: the blend value must not wrap past 255.
  SpChangeEffect* effect = Make({kChangeBlend, 30, 0}, fresh, old, "3000 c");
  At(0);
  At(2000);
  EXPECT_EQ(test::PixelAt(*effect->Combined()->GetSource(), 20, 20), 0xFF00FF00u);
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
  (void)old->SetZoom(80, 80);
  EXPECT_EQ(start(fresh, old, "c"), kSpChangeOldZoomed);
  EXPECT_EQ(timers.Count(), 0u);
}

}  // namespace
}  // namespace bw
