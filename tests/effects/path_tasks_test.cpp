// The path tasks on a virtual clock from 1000: the point text, straight and spline paths,
// easing, delay, pause, loop, the frame-priority hooks, and the render-item target.
#include "effects/path_tasks.h"

#include <cmath>
#include <memory>
#include <vector>

#include "effects/display_effect.h"
#include "effects/natural_spline.h"
#include "effects/sp_effect_rig.h"
#include "graphics/device/render_item.h"
#include "support/listed_task.h"

namespace bw {
namespace {

int lowered = 0;
int restored = 0;

// The rig's sprite and picture outlive the tasks.
class PathTasks : public SpriteEffectRig {
 protected:
  void SetUp() override {
    SpriteEffectRig::SetUp();
    clock.SetMilliseconds(1000);
    lowered = restored = 0;
    SetEffectRunningHooks([] { ++lowered; }, [] { ++restored; });
    ImageSurface& picture = *pictures.emplace_back(std::make_unique<ImageSurface>());
    ASSERT_EQ(picture.Create(40, 30, 32, kImagePlain), kSurfaceDone);
    ASSERT_EQ(sprite.SetImage(&picture, nullptr, 0, 0), kSpriteDone);
  }
  void TearDown() override { SetEffectRunningHooks(nullptr, nullptr); }

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
  At(1000);
  At(1500);
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
    At(now);
    At(now += 500);
    EXPECT_EQ(sprite.GetX(), expected) << easing;
    timers.Clear();
  }
}

// An ease-out steep enough to reach the end early stays on the last point, opacity too.
TEST_F(PathTasks, ASteepEaseOutEndsOnTheLastPoint) {
  sprite.SetAlpha(0);
  Move("(100,50,100)(300,70,200)", 500, -1000.0);
  At(1000);
  At(1500);
  EXPECT_EQ(std::tuple(sprite.GetX(), sprite.GetY(), sprite.GetAlpha()), std::tuple(300, 70, 200));
}

TEST_F(PathTasks, APauseOf500msContinuesFromTheSamePlace) {
  MovePathTask* task = Move("(1000,0,255)", 1000);
  At(1000);
  At(1250);
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
  EXPECT_EQ(lowered, 1) << "a state given as held is only armed";
  At(1000);
  At(1200);
  EXPECT_EQ(std::tuple(sprite.IsVisible(), sprite.GetX()), std::tuple(false, 0));
  At(1300);
  EXPECT_TRUE(sprite.IsVisible());
  At(1350);
  EXPECT_EQ(sprite.GetX(), 50);
  At(1400);
  EXPECT_FALSE(sprite.IsVisible()) << "hidden again at the end";
  EXPECT_EQ(restored, 1);

  sprite.SetPos(0, 0);
  Move("(100,0,255)", 100, 0.0, true);
  EXPECT_EQ(lowered, 1) << "a loop never lowers the priority";
  At(2000);
  At(2150);
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
  MovePathTask* task =
      Started(std::make_unique<MovePathTask>(100, 0, false, 0.0, kPathMoveTarget, false, false, 1),
              "(40,50,60)");
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
  At(1000);
  At(1050);
  // The centre and the bottom edge keep their places; the shifts do not add up.
  EXPECT_EQ(std::tuple(sprite.GetWidth(), sprite.GetX(), sprite.GetY()), std::tuple(60, 90, 90));
  At(1100);
  EXPECT_EQ(std::tuple(sprite.GetX(), sprite.GetY()), std::tuple(80, 80));

  ASSERT_EQ(sprite.SetZoom(0, 0), kSpriteDone);
  Started(std::make_unique<RotateZoomPathTask>(100, 0, false, 0.0, true, false, false, 1),
          "(128,3.0,0)");
  At(2000);
  At(2050);
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
  At(1000);
  At(1050);
  EXPECT_EQ(std::tuple(rect.GetX(), rect.Vertices()[0].diffuse >> 24), std::tuple(50, 0x80u));

  D3DRenderStatePrimitive state;
  MovePathTask refused(100, 0, false, 0.0, kPathMoveTarget, false, false, 1);
  ASSERT_EQ(refused.SetPathText("(1,1,1)"), kPathTaskDone);
  EXPECT_EQ(refused.StartOnItem(&timers, &state), kPathTaskRefused);
  EXPECT_EQ(refused.StartOnItem(nullptr, &rect), kPathTaskMissing);
}

}  // namespace
}  // namespace bw
