// The path-driven sprite effects ("sp_panime", and "sp_change" as the drawn layer shows it) and
// the path tasks, on real sprites at fixed clock steps.
#include <cmath>
#include <memory>
#include <tuple>
#include <vector>

#include "effects/natural_spline.h"
#include "effects/path_tasks.h"
#include "effects/sp_change_effect.h"
#include "effects/sp_effect_rig.h"
#include "effects/sp_panime_effect.h"
#include "graphics/device/render_item.h"

namespace bw {
namespace {

class SpPanime : public SpriteEffectRig {
 protected:
  SpPanimeEffect* Make(Sprite* sprite, const char* path, int32_t ms, int32_t loop = 0) {
    return Started<SpPanimeEffect>(nullptr, {Word(sprite), Word(path), ms, loop, 0},
                                   kSpPanimeSetUp);
  }
};

TEST_F(SpPanime, MovesAndFadesAlongThePathThenEnds) {
  Sprite* sprite = AddSprite(40, 40, 0xFF00FF00, 100, 50);
  SpPanimeEffect* effect = Make(sprite, "P200,50O0 300 P200,350", 1000);
  int32_t opacity = 0;
  (void)effect->Query({0, 0, Word(&opacity)});
  EXPECT_EQ(opacity, -1) << "no record reached yet";
  At(0, 500);
  EXPECT_EQ(std::tuple(sprite->GetX(), sprite->GetAlpha()), std::tuple(150, 128));
  At(1150);
  EXPECT_EQ(sprite->GetY(), 200) << "the 150 ms left over carry into the 300 ms segment";
  EXPECT_EQ(sprite->GetAlpha(), 0);
  int32_t x = 0;
  (void)effect->Query({Word(&x), 0, Word(&opacity)});
  EXPECT_EQ(std::tuple(x, opacity), std::tuple(200, 0));
  At(1300);
  EXPECT_EQ(sprite->GetY(), 350);
  EXPECT_EQ(timers.Count(), 0u) << "the end of a path without a loop finishes the effect";
}

TEST_F(SpPanime, EasesShapeTheProgress) {
  struct Case {
    const char* path;
    uint32_t at;
    int32_t x;
  } const cases[] = {
      {"A P200,0", 250, 114},  // cosine: (cos(3/8 turn) + 1) / 2 of 100
      {"A P200,0", 500, 150},   {"A2 P200,0", 500, 125},
      {"A-2 P200,0", 500, 175}, {"1 P200,0", 0, 200},  // a segment under 2 ms shows its end
  };
  for (const Case& c : cases) {
    Sprite* sprite = AddSprite(10, 10, 0xFFFFFFFF, 100, 0);
    clock.SetMilliseconds(0);
    Make(sprite, c.path, 1000);
    At(0, c.at);
    EXPECT_EQ(sprite->GetX(), c.x) << c.path << " at " << c.at;
    timers.Clear();
  }
}

TEST_F(SpPanime, DurationZeroPutsTheEndStateAtOnce) {
  Sprite* sprite = AddSprite(40, 40, 0xFF0000FF, 10, 10);
  SpPanimeEffect effect;
  EXPECT_EQ(effect.Start(&timers, nullptr, {Word(sprite), Word("P300,20O40"), 0, 0, 0}),
            kSpPanimeEndedAtOnce);
  EXPECT_EQ(std::tuple(sprite->GetX(), sprite->GetAlpha(), timers.Count()),
            std::tuple(300, 40, 0u));
  EXPECT_EQ(effect.Start(&timers, nullptr, {Word(sprite), Word("P1,1 ?"), 100, 0, 0}),
            kSpPanimePathRefused);
  EXPECT_EQ(effect.Start(&timers, nullptr, {0, Word("P1,1"), 100, 0, 0}), kSpPanimeBadArguments);
}

TEST_F(SpPanime, ALoopOfTinySegmentsGoesRoundOncePerUpdate) {
  Sprite* sprite = AddSprite(10, 10, 0xFFFFFFFF, 0, 0);
  Make(sprite, "1 P5,0 1 P9,0", 1000, 1);
  At(0, 100000);  // would spin for ever without the bound
  EXPECT_EQ(timers.Count(), 1u) << "a looping path keeps running";
  At(100003);
  EXPECT_EQ(timers.Count(), 1u);
}

TEST_F(SpPanime, PausedPathsGoOnWhereTheyStopped) {
  Sprite* sprite = AddSprite(10, 10, 0xFFFFFFFF, 0, 0);
  SpPanimeEffect* effect = Make(sprite, "P100,0", 1000);
  At(0, 200);
  effect->Pause(200);
  effect->Resume(700);
  At(800);
  EXPECT_EQ(sprite->GetX(), 30);
}

TEST_F(SpPanime, CommandSetsTheBandThatOrdersPriorities) {
  Sprite* back = AddSprite(10, 10, 0xFFFFFFFF, 0, 0, 5);
  Sprite* sprite = AddSprite(10, 10, 0xFFFFFFFF, 0, 0, 20);
  EXPECT_EQ(SpPanimeEffect::PathCommand({0, 30, 5}), 0);
  EXPECT_EQ(SpPanimeEffect::PathCommand({1, 0, Word("P1,1")}), kSpPanimeBadArguments);

  // "B" puts the sprite behind an equal priority when its path reaches it.
  Make(sprite, "B P10,0", 100);
  At(0);
  const auto& nodes = layer.GetList().Nodes();
  ASSERT_EQ(nodes.size(), 2u);
  EXPECT_EQ(std::tuple(nodes.front().object, nodes.back().priority), std::tuple(back, 5u));
}

constexpr auto Opaque = [](int32_t, int32_t) { return 0xFF808080u; };
constexpr auto Red = [](int32_t, int32_t) { return 0xFFFF0000u; };

class SpChange : public SpriteEffectRig {
 protected:
  SpChangeEffect* Make(const SpChangeParams& params, Sprite* fresh, Sprite* old,
                       const char* path = "c") {
    return Started<SpChangeEffect>(const_cast<SpChangeParams*>(&params),
                                   {Word(fresh), Word(old), Word(path), 0, 0, 0, 1000, 0},
                                   kSpChangeSetUp);
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
  At(0, 500);
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
  At(0, 1000);
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

TEST_F(SpChange, StyleTwoBlendsThroughTheCombinedPictureAndStaysAtItsEnd) {
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

  // A path longer than the path time: the blend value must not wrap past 255.
  Sprite* now = AddSprite(40, 40, 0xFF00FF00, 100, 100);
  SpChangeEffect* slow =
      Make({kChangeBlend, 30, 0}, now, HandedSprite(40, 40, Opaque, 100, 100), "3000 c");
  At(2000, 4000);
  EXPECT_EQ(test::PixelAt(*slow->Combined()->GetSource(), 20, 20), 0xFF00FF00u);
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

// The rig's sprite and picture outlive the tasks.
class PathTasks : public SpriteEffectRig {
 protected:
  void SetUp() override {
    SpriteEffectRig::SetUp();
    clock.SetMilliseconds(1000);
    ImageSurface& picture = *pictures.emplace_back(std::make_unique<ImageSurface>());
    ASSERT_EQ(picture.Create(40, 30, 32, kImagePlain), kSurfaceDone);
    ASSERT_EQ(sprite.SetImage(&picture, nullptr, 0, 0), kSpriteDone);
  }

  // A straight move task (armed priority) started on the sprite with the given text.
  MovePathTask* Move(const char* text, uint32_t segment, double easing = 0.0, bool loop = false,
                     bool spline = false) {
    return Started(std::make_unique<MovePathTask>(segment, 0, false, easing, kPathMoveTarget,
                                                  spline, loop, kPriorityArmed),
                   text);
  }
  // The task on the path text, started on the sprite and listed.
  template <typename T>
  T* Started(std::unique_ptr<T> task, const char* text) {
    EXPECT_EQ(task->SetPathText(text), kPathTaskDone) << text;
    EXPECT_EQ(task->StartOnSprite(&timers, &sprite), kPathTaskDone) << text;
    return test::HandOver(timers, std::move(task));
  }

  Sprite& sprite = *NewSprite();
  RunningHooks hooks;
};

TEST_F(PathTasks, PointTextCountsParenthesesAndZeroFillsMissingNumbers) {
  MovePathTask straight(100, 0, false, 0.0, kPathMoveTarget, false, false, 1);
  EXPECT_EQ(straight.SetPathText(nullptr), kPathTaskMissing);
  EXPECT_EQ(straight.SetPathText("10,20,30"), kPathTaskRefused) << "no parenthesis, no point";
  ASSERT_EQ(straight.SetPathText("(0x10, -5 ,0b11)\t(7,8,0x1FF)"), kPathTaskDone);
  ASSERT_EQ(straight.PointCount(), 3u);
  EXPECT_EQ(std::tuple(straight.PointA(1), straight.PointB(1), straight.PointOpacity(1)),
            std::tuple(16, -5, 3));
  EXPECT_EQ(straight.PointOpacity(2), 0xFF) << "the opacity keeps its low byte";
  // 0x83 0x28 is one character: its trail byte is no parenthesis.
  ASSERT_EQ(straight.SetPathText("(1,2,3)\x83\x28"), kPathTaskDone);
  EXPECT_EQ(straight.PointCount(), 2u);
  ASSERT_EQ(straight.SetPathText("(1,x,3)(4,5,6)"), kPathTaskDone);
  EXPECT_EQ(straight.PointA(2), 0) << "reading stops at the first word that is no number";

  MovePathTask spline(100, 0, false, 0.0, kPathMoveTarget, true, false, 1);
  EXPECT_EQ(spline.SetPoints(1, std::vector<int32_t>{1, 2, 3}.data()), kPathTaskMissing);

  RotateZoomPathTask turn(100, 0, false, 0.0, true, true, false, 1);
  ASSERT_EQ(turn.SetPathText("(128,1.5,200)(-64,abc,9)"), kPathTaskDone);
  EXPECT_EQ(std::pair(turn.PointA(1), turn.PointB(1)), std::pair(128.0, 1.5));
  EXPECT_EQ(std::pair(turn.PointB(2), int(turn.PointOpacity(2))), std::pair(0.0, 9))
      << "a zoom word that is no number zooms by 0";
  ASSERT_EQ(turn.SetPathText("(1,00000000000000000000000000000001.5,7)"), kPathTaskDone);
  EXPECT_EQ(std::pair(turn.PointB(1), int(turn.PointOpacity(1))), std::pair(0.0, 0))
      << "a zoom word past 31 characters is not read";
}

// One straight point moves the sprite from where it stands; easing bends time over the whole
// path, so 2.0 at half time is a quarter of the way and -2.0 three quarters.
TEST_F(PathTasks, StraightSegmentsFollowTheEasedTime) {
  sprite.SetPos(10, 0);
  Move("(110,0,255)", 1000);
  At(1000, 1500);
  EXPECT_EQ(sprite.GetX(), 60);
  At(2000);
  EXPECT_EQ(std::pair(sprite.GetX(), timers.Count()), std::pair(110, size_t{0}))
      << "a finished task is deleted";

  const std::pair<double, int32_t> cases[] = {{2.0, 50}, {-2.0, 150}, {NAN, 100}};
  uint32_t now = 3000;
  for (auto [easing, expected] : cases) {
    sprite.SetPos(0, 0);
    clock.SetMilliseconds(now);
    MovePathTask* task = Move("(100,0,255)(200,0,255)", 500, easing);
    EXPECT_EQ(task->Easing(), std::isnan(easing) ? 0.0 : easing) << "a non-finite easing is 0";
    At(now, now + 500);
    now += 500;
    EXPECT_EQ(sprite.GetX(), expected) << easing;
    timers.Clear();
  }
  // An ease-out steep enough to reach the end early stays on the last point, opacity too.
  sprite.SetAlpha(0);
  clock.SetMilliseconds(now);
  Move("(100,50,100)(300,70,200)", 500, -1000.0);
  At(now, now + 500);
  EXPECT_EQ(std::tuple(sprite.GetX(), sprite.GetY(), sprite.GetAlpha()), std::tuple(300, 70, 200));
}

TEST_F(PathTasks, APauseOf500msContinuesFromTheSamePlace) {
  MovePathTask* task = Move("(1000,0,255)", 1000);
  At(1000, 1250);
  EXPECT_EQ(sprite.GetX(), 250);
  ASSERT_TRUE(timers.PauseTask(task->Handle()));
  At(1750);
  EXPECT_EQ(sprite.GetX(), 250);
  ASSERT_TRUE(timers.ResumeTask(task->Handle()));
  At(1760);
  EXPECT_EQ(sprite.GetX(), 260) << "the motion resumes 500 ms later";
  At(2500);
  EXPECT_EQ(sprite.GetX(), 1000);
}

// The priority is lowered once by a task that ends, restored when it is deleted; a loop never
// lowers it. The delay holds the start; a shown-while-running target appears after it.
TEST_F(PathTasks, DelayLoopAndThePriorityHooks) {
  sprite.SetVisible(false);
  Started(std::make_unique<MovePathTask>(100, 300, true, 0.0, kPathMoveTarget, false, false, 2),
          "(100,0,255)");
  EXPECT_EQ(hooks.lowered, 1) << "a state given as held is only armed";
  At(1000, 1200);
  EXPECT_EQ(std::tuple(sprite.IsVisible(), sprite.GetX()), std::tuple(false, 0));
  At(1300);
  EXPECT_TRUE(sprite.IsVisible());
  At(1350);
  EXPECT_EQ(sprite.GetX(), 50);
  At(1400);
  EXPECT_FALSE(sprite.IsVisible()) << "hidden again at the end";
  EXPECT_EQ(hooks.restored, 1);

  sprite.SetPos(0, 0);
  Move("(100,0,255)", 100, 0.0, true);
  EXPECT_EQ(hooks.lowered, 1) << "a loop never lowers the priority";
  At(2000, 2150);
  EXPECT_EQ(sprite.GetX(), 0) << "the loop starts again from point 0";
  At(2200);
  EXPECT_EQ(std::tuple(sprite.GetX(), timers.Count()), std::tuple(50, 1u));
}

// The natural spline itself is checked against a dense solution with the motion paths; here the
// task's use of it: the sprite's start as the first knot, the segment and the fraction of it.
TEST_F(PathTasks, SplinePositionsFollowTheNaturalSpline) {
  sprite.SetPos(0, 0);
  Move("(100,-40,255)(130,200,255)(-60,90,255)(10,10,255)", 100, 0.0, false, true);
  const std::vector<double> xs{0, 100, 130, -60, 10}, ys{0, -40, 200, 90, 10};
  const std::vector<double> tx = NaturalSplineTerms(xs), ty = NaturalSplineTerms(ys);
  At(1000);
  for (uint32_t ms = 17; ms < 400; ms += 37) {
    At(1000 + ms);
    const size_t i = ms / 100;
    const double t = (ms % 100) / 100.0;
    EXPECT_LT(std::abs(sprite.GetX() - EvaluateNaturalSpline(xs, tx, i, t)), 1.0) << ms;
    EXPECT_LT(std::abs(sprite.GetY() - EvaluateNaturalSpline(ys, ty, i, t)), 1.0) << ms;
  }
}

// Kind ids tell the target; Stop puts it at the end; only the target's own going unbinds it.
TEST_F(PathTasks, KindIdsStopAndUnbinding) {
  DisplayObjectList upper(&layer);
  layer.SetSecondList(&upper);
  (void)upper.Add(&sprite, 0, 0);
  MovePathTask* task = Move("(40,50,60)", 100);
  EXPECT_EQ(task->GetKindId(), kTaskKindSpriteMovePath + 1) << "in the upper list";
  EXPECT_EQ(task->SetPathText("(1,1,1)"), kPathTaskRunning);
  EXPECT_FALSE(task->IsBoundTo(&layer));
  task->Unbind(&layer);
  EXPECT_TRUE(task->IsBoundTo(static_cast<DisplayObject*>(&sprite))) << "not its target";
  EXPECT_TRUE(timers.RemoveByHandle(task->Handle()));

  EXPECT_EQ(sprite.GetX(), 40) << "stopped at the last point";
  upper.Remove(&sprite);
  layer.SetSecondList(nullptr);
}

TEST_F(PathTasks, SizeAndRotateZoomSteps) {
  sprite.SetPos(100, 100);
  Started(std::make_unique<SizePathTask>(100, 0, false, 0.0, kPathAnchorCentre, kPathAnchorEnd,
                                         false, true, false, 1),
          "(80,50,255)");
  At(1000, 1050);
  // The centre and the bottom edge keep their places; the shifts do not add up.
  EXPECT_EQ(std::tuple(sprite.GetWidth(), sprite.GetX(), sprite.GetY()), std::tuple(60, 90, 90));
  At(1100);
  EXPECT_EQ(std::tuple(sprite.GetX(), sprite.GetY()), std::tuple(80, 80));

  ASSERT_EQ(sprite.SetZoom(0, 0), kSpriteDone);
  Started(std::make_unique<RotateZoomPathTask>(100, 0, false, 0.0, true, false, false, 1),
          "(128,3.0,0)");
  At(2000, 2050);
  // Without opacity the alpha stays.
  EXPECT_EQ(std::tuple(sprite.GetAngle(), sprite.GetScale(), sprite.GetAlpha()),
            std::tuple(64, 2.0, 255));
}

TEST_F(PathTasks, RenderItemsMoveAndFadeByTheirKind) {
  D3DRectPrimitive rect;
  ASSERT_EQ(rect.Set(10, 10, 0x40FFFFFF, 0, 0), 0);
  auto move = std::make_unique<MovePathTask>(100, 0, false, 0.0, kPathMoveTarget, false, false, 1);
  ASSERT_EQ(move->SetPathText("(100,20,0xC0)"), kPathTaskDone);
  ASSERT_EQ(move->StartOnItem(&timers, &rect), kPathTaskDone);
  test::HandOver(timers, std::move(move));
  At(1000, 1050);
  EXPECT_EQ(std::tuple(rect.GetX(), rect.Vertices()[0].diffuse >> 24), std::tuple(50, 0x80u));

  D3DRenderStatePrimitive state;
  MovePathTask refused(100, 0, false, 0.0, kPathMoveTarget, false, false, 1);
  ASSERT_EQ(refused.SetPathText("(1,1,1)"), kPathTaskDone);
  EXPECT_EQ(refused.StartOnItem(&timers, &state), kPathTaskRefused);
  EXPECT_EQ(refused.StartOnItem(nullptr, &rect), kPathTaskMissing);
}

}  // namespace
}  // namespace bw
