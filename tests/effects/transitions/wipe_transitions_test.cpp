#include "effects/transitions/wipe_transitions.h"

#include <gtest/gtest.h>

#include "common/global.h"
#include "graphics/pixel/blend_tables.h"
#include "graphics/surface/image_surface.h"
#include "host/clock.h"
#include "platform/timer_service.h"

namespace bw {
namespace {

constexpr int32_t kW = 35, kH = 21;
constexpr uint32_t kDuration = 100;

class WipeTransitionsTest : public testing::Test {
 protected:
  void SetUp() override {
    BuildBlendTables();
    ASSERT_EQ(target.Create(kW, kH, 32, 0), 0);
    ASSERT_EQ(source.Create(kW, kH, 32, 0), 0);
    (void)target.Fill(0xFF000000u, nullptr);
    // Half-transparent white drawn with the alpha blend: each draw of a pixel raises it again,
    // so its level counts the draws.
    (void)source.Fill(0x80FFFFFFu, nullptr);
  }
  // A source kind drawn with the alpha blend over the whole source, or an area kind adding 1 to
  // every channel over the whole target.
  uint32_t StartCounting(int kind, uint32_t duration = kDuration) {
    WipeWords w;
    if (IsSourceWipe(kind)) {
      w = {0, 0, 1, 65535, 0, 0, 0, 0};
    } else {
      w = {65535, 0, 0, 0, 1, 1, 1, 1};
    }
    clock.SetMilliseconds(kStart);
    return wipes.Start(kind, duration, &target, &source, w);
  }
  // Steps the wipes at elapsed ms after the start.
  void RunAt(uint32_t elapsed) {
    clock.SetMilliseconds(kStart + elapsed);
    timers.RunDue(kStart + elapsed);
  }
  // How often each pixel was drawn: 0, 1 or more (2).
  int Draws(int32_t x, int32_t y, int kind) const {
    const uint32_t level = target.GetPixel(x, y) & 0xFF;
    if (!IsSourceWipe(kind)) return int(level);
    return level == 0 ? 0 : level < 0xA0 ? 1 : 2;
  }
  int CountDrawn(int kind) const {
    int drawn = 0;
    for (int32_t y = 0; y < kH; ++y) {
      for (int32_t x = 0; x < kW; ++x) drawn += Draws(x, y, kind) ? 1 : 0;
    }
    return drawn;
  }

  // Wipes start at the clock's reading: a wall clock would let a loaded machine skip steps.
  static constexpr uint32_t kStart = 5000;
  host::VirtualClock clock{kStart};
  ScopedGlobal<host::ClockSource> publishedClock{&clock};
  TimerService timers;
  WipeTransitions wipes{&timers};
  ImageSurface target, source;
};

TEST_F(WipeTransitionsTest, EveryBandKindDrawsEachPixelOnceAtIrregularSteps) {
  for (int kind = 2; kind < kWipeKinds; ++kind) {
    (void)target.Fill(0xFF000000u, nullptr);
    const uint32_t handle = StartCounting(kind);
    ASSERT_NE(handle, 0u) << kind;
    for (uint32_t elapsed : {1u, 2u, 9u, 10u, 33u, 34u, 35u, 61u, 62u, 97u}) {
      RunAt(elapsed);
      ASSERT_TRUE(wipes.IsRunning(handle)) << kind;
    }
    RunAt(kDuration + 40);
    EXPECT_FALSE(wipes.IsRunning(handle)) << "an ended wipe reads as gone, kind " << kind;
    for (int32_t y = 0; y < kH; ++y) {
      for (int32_t x = 0; x < kW; ++x) {
        ASSERT_EQ(Draws(x, y, kind), 1) << "kind " << kind << " pixel " << x << "," << y;
      }
    }
  }
}

TEST_F(WipeTransitionsTest, FadesEndPureBlackOrWhiteWhateverFramesWereSkipped) {
  (void)target.Fill(0xFF808080u, nullptr);
  (void)wipes.Start(0, kDuration, &target, nullptr, {65535});
  RunAt(40);
  EXPECT_NE(target.GetPixel(3, 3) & 0xFFFFFF, 0u);
  RunAt(kDuration + 500);
  EXPECT_EQ(target.GetPixel(3, 3) & 0xFFFFFF, 0u);
  (void)wipes.Start(1, 0, &target, nullptr, {0, 0, 5, 5});
  RunAt(kDuration + 501);
  EXPECT_EQ(target.GetPixel(4, 4) & 0xFFFFFF, 0xFFFFFFu) << "duration 0 ends at the first step";
  EXPECT_EQ(target.GetPixel(5, 5) & 0xFFFFFF, 0u) << "outside the area";
}

TEST_F(WipeTransitionsTest, StripesAndCascadesCountTheirSteps) {
  // 35 columns: three stripes (16, 16, 3), so a cascade takes 3 + 15 = 18 steps.
  const uint32_t cascade = StartCounting(18, 18);
  RunAt(1);
  EXPECT_EQ(CountDrawn(18), kH) << "one column after one of 18 steps";
  (void)wipes.Cancel(cascade);
  (void)target.Fill(0xFF000000u, nullptr);
  StartCounting(15, 16);
  RunAt(1);
  EXPECT_EQ(CountDrawn(15), 3 * kH) << "the last column of each of three stripes";
  EXPECT_EQ(Draws(2, 0, 15), 1) << "the partial stripe lies at the left";
}

TEST_F(WipeTransitionsTest, WordsSelectAreasAndColours) {
  const Rect clip{2, 3, 10, 12};
  target.SetClipRect(&clip);
  WipeTransition whole(10, kDuration, &target, nullptr, {65535, 0, 0, 0, 300, 200, 100, 50}, 0);
  (void)whole.Update(kDuration);
  const uint32_t pixel = target.GetPixel(5, 5);
  EXPECT_EQ(pixel & 0xFF, 50u * 128 / 256) << "code 300: a half blend of the colour";
  EXPECT_EQ((pixel >> 16) & 0xFF, 200u * 128 / 256);
  EXPECT_EQ(target.GetPixel(1, 1) & 0xFFFFFF, 0u) << "x = 65535: the clip rectangle";
  target.SetClipRect(nullptr);

  // x = 65535 for a source kind is 0, and a4 = 65535 the whole source.
  (void)target.Fill(0xFF000000u, nullptr);
  WipeTransition copy(2, kDuration, &target, &source, {65535, 4, 1, 65535, 0, 0, 0, 0}, 0);
  (void)copy.Update(kDuration);
  EXPECT_EQ(std::tuple(Draws(0, 4, 2), Draws(kW - 1, kH - 1, 2), Draws(0, 3, 2)),
            std::tuple(1, 1, 0));
}

TEST_F(WipeTransitionsTest, AWipeStartedAtClockZeroAndAPausedWipeGoOnWhereTheyStood) {
  WipeTransition rows(20, kDuration, &target, &source, {0, 0, 1, 65535}, 0);
  EXPECT_EQ(rows.Update(50), kTaskStepContinue) << "start time 0 is not the finished mark";
  EXPECT_GT(CountDrawn(20), 0);
  rows.Pause(60);
  rows.Resume(560);
  EXPECT_EQ(rows.Update(561), kTaskStepContinue);
  EXPECT_LT(CountDrawn(20), kW * kH) << "the paused span does not count";
  EXPECT_EQ(rows.Update(600), kTaskStepFinished);
  EXPECT_EQ(CountDrawn(20), kW * kH);
}

TEST_F(WipeTransitionsTest, HandlesOutliveTheirWipesSafely) {
  const uint32_t first = StartCounting(14);
  EXPECT_EQ(wipes.Finish(first), kWipeDone);
  EXPECT_EQ(CountDrawn(14), kW * kH);
  RunAt(1);  // the service drops it
  const uint32_t second = StartCounting(14);
  ASSERT_NE(second, first);
  EXPECT_EQ(wipes.Cancel(first), kWipeDone);
  EXPECT_TRUE(wipes.IsRunning(second)) << "a stale handle leaves a newer wipe alone";
  EXPECT_EQ(wipes.Start(22, 10, &target, &source, {}), 0u);
}

}  // namespace
}  // namespace bw
